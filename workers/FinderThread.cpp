#include "FinderThread.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>

namespace KcWorkers {

namespace {

// After the last count the walk lingers a little, so that the final numbers stay readable before
// the search is reported finished. Slept in slices so that a stop ends it at once.
constexpr int kFinalPauseMs = 500;
constexpr int kPauseSliceMs = 50;

} // namespace

CFinderThread::CFinderThread(QObject* pParent) : QThread(pParent) {}

CFinderThread::~CFinderThread()
{
    // The owner stops and waits for the walk; this only guards against a forgotten stop.
    requestStop();
    wait();
}

void CFinderThread::setLists(const QStringList* pSourceList, QStringList* pOutputList)
{
    m_pSourceList = pSourceList;
    m_pOutputList = pOutputList;
}

void CFinderThread::prepareRun()
{
    m_bPrepared = m_pSourceList && m_pOutputList;
    // Cleared here rather than in the walk, so that a stop requested right after the start is
    // not lost.
    m_bStopRequested.store(false);
    m_slPathsToWalk = m_pSourceList ? *m_pSourceList : QStringList();
}

bool CFinderThread::isKelmFilePath(const QString& qsPath)
{
    return qsPath.toLower().endsWith(QLatin1String(".kelm"));
}

void CFinderThread::checkFile(const QString& qsPath)
{
    if (isKelmFilePath(qsPath)) {
        m_pOutputList->append(qsPath);
        m_nKelmFilesFound.fetch_add(1);
    }
    m_nFilesSeen.fetch_add(1);
}

void CFinderThread::run()
{
    if (!m_bPrepared)
        return;

    m_pOutputList->clear();
    m_nFilesSeen.exchange(0);
    m_nKelmFilesFound.exchange(0);
    emit startFindFiles();

    for (const QString& qsPath : qAsConst(m_slPathsToWalk)) {
        if (stopRequested())
            break;
        const QFileInfo info(qsPath);
        if (info.isDir()) {
            // Files only, no links, nothing hidden; unreadable folders are skipped by the iterator.
            QDirIterator it(qsPath, QDir::Files | QDir::NoSymLinks, QDirIterator::Subdirectories);
            while (!stopRequested() && it.hasNext())
                checkFile(it.next());
        } else if (info.isFile()) {
            checkFile(qsPath);
        }
        // A path that no longer exists is skipped without counting.
    }

    if (m_nKelmFilesFound.load() < 1)
        return;
    emit findFiles(m_nFilesSeen.load(), m_nKelmFilesFound.load());
    if (!m_bFinalPause)
        return;
    for (int nSlept = 0; nSlept < kFinalPauseMs && !stopRequested(); nSlept += kPauseSliceMs)
        msleep(kPauseSliceMs);
}

} // namespace KcWorkers
