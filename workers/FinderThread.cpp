#include "workers/FinderThread.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <climits>

#include <dirent.h>
#include <sys/stat.h>

namespace KcWorkers {

namespace {

// After the last count the walk lingers a little, so that the final numbers stay readable before
// the search is reported finished. Slept in slices so that a stop ends it at once.
constexpr int kFinalPauseMs = 500;
constexpr int kPauseSliceMs = 50;

// Longer paths cannot be opened by name, so the files under them cannot be read.
constexpr int kMaxPathBytes = PATH_MAX - 1;

// The length of the valid UTF-8 sequence at pBytes (1 to 4), or 0 when none starts there.
int validUtf8Length(const unsigned char* pBytes, int available)
{
    const unsigned char lead = pBytes[0];
    int length = 0;
    if (lead < 0x80)
        return 1;
    if (lead >= 0xC2 && lead <= 0xDF)
        length = 2;
    else if (lead >= 0xE0 && lead <= 0xEF)
        length = 3;
    else if (lead >= 0xF0 && lead <= 0xF4)
        length = 4;
    if (length == 0 || length > available)
        return 0;
    for (int i = 1; i < length; ++i) {
        if ((pBytes[i] & 0xC0) != 0x80)
            return 0;
    }
    // Overlong forms, surrogates and code points past U+10FFFF.
    if ((lead == 0xE0 && pBytes[1] < 0xA0) || (lead == 0xED && pBytes[1] > 0x9F) || (lead == 0xF0 && pBytes[1] < 0x90)
        || (lead == 0xF4 && pBytes[1] > 0x8F))
        return 0;
    return length;
}

} // namespace

QString escapedFileName(const QByteArray& rawPath)
{
    QString qsText;
    const auto* pBytes = reinterpret_cast<const unsigned char*>(rawPath.constData());
    const int size = rawPath.size();
    for (int i = 0; i < size;) {
        const int length = validUtf8Length(pBytes + i, size - i);
        if (length == 0 || pBytes[i] < 0x20 || pBytes[i] == 0x7F) {
            qsText += QStringLiteral("\\x")
                      + QString::number(uint(pBytes[i]), 16).rightJustified(2, QLatin1Char('0')).toUpper();
            ++i;
            continue;
        }
        qsText += QString::fromUtf8(rawPath.constData() + i, length);
        i += length;
    }
    return qsText;
}

CFinderThread::CFinderThread(QObject* pParent)
    : QThread(pParent)
{
}

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

// Files only, no links, nothing hidden; unreadable folders are skipped. The names are read as
// bytes, so that one that does not survive the way into text and back (not UTF-8) or a path too
// long to open is reported once instead of vanishing.
void CFinderThread::walkFolder(const QByteArray& rootPath)
{
    QList<QByteArray> folders{rootPath};
    while (!folders.isEmpty() && !stopRequested()) {
        const QByteArray folder = folders.takeLast();
        DIR* pDir = ::opendir(folder.constData());
        if (!pDir) {
            if (errno == ENAMETOOLONG)
                emit pathSkipped(escapedFileName(folder), tr("the path is too long"));
            continue;
        }
        QList<QByteArray> subfolders;
        while (const dirent* pEntry = ::readdir(pDir)) {
            if (stopRequested())
                break;
            const QByteArray name(pEntry->d_name);
            if (name.startsWith('.'))
                continue; // hidden, and "." and ".."
            const QByteArray path = folder.endsWith('/') ? folder + name : folder + '/' + name;
            struct stat status {};
            if (path.size() > kMaxPathBytes) {
                emit pathSkipped(escapedFileName(path), tr("the path is too long"));
                continue;
            }
            if (::lstat(path.constData(), &status) != 0)
                continue;
            const bool bFolder = S_ISDIR(status.st_mode);
            if (!bFolder && !S_ISREG(status.st_mode))
                continue;
            const QString qsPath = QFile::decodeName(path);
            if (QFile::encodeName(qsPath) != path) {
                if (bFolder || isKelmFilePath(qsPath))
                    emit pathSkipped(escapedFileName(path), tr("the name is not valid UTF-8"));
                if (!bFolder)
                    m_nFilesSeen.fetch_add(1);
                continue;
            }
            if (bFolder)
                subfolders.append(path);
            else
                checkFile(qsPath);
        }
        ::closedir(pDir);
        // Depth first, each folder's entries in the order the system lists them.
        for (auto it = subfolders.crbegin(); it != subfolders.crend(); ++it)
            folders.append(*it);
    }
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
            walkFolder(QFile::encodeName(QDir::cleanPath(qsPath)));
        } else if (info.isFile()) {
            checkFile(qsPath);
        } else if (qsPath.contains(QChar::ReplacementCharacter)) {
            // A name given in bytes that are not UTF-8 arrives here already changed.
            emit pathSkipped(qsPath, tr("the name is not valid UTF-8"));
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
