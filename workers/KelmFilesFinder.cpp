#include "workers/KelmFilesFinder.h"

#include "workers/FinderThread.h"

#include <QTimerEvent>

namespace KcWorkers {

CKelmFilesFinder::CKelmFilesFinder(QObject* pParent)
    : QObject(pParent),
      m_pThread(new CFinderThread)
{
    connect(m_pThread, &QThread::finished, this, &CKelmFilesFinder::onThreadFinished);
    connect(m_pThread, &CFinderThread::startFindFiles, this, &CKelmFilesFinder::startFindFiles);
    connect(m_pThread, &CFinderThread::findFiles, this, &CKelmFilesFinder::findFiles);
    connect(m_pThread, &CFinderThread::pathSkipped, this, &CKelmFilesFinder::pathSkipped);
}

CKelmFilesFinder::~CKelmFilesFinder()
{
    killReportTimer();
    if (m_pThread->isRunning()) {
        m_pThread->requestStop();
        m_pThread->wait(kStopWaitMs);
    }
    delete m_pThread;
}

void CKelmFilesFinder::setLists(const QStringList* pSourceList, QStringList* pOutputList)
{
    stop();
    m_pThread->setLists(pSourceList, pOutputList);
}

void CKelmFilesFinder::start()
{
    killReportTimer();
    if (m_pThread->isRunning()) {
        m_pThread->requestStop();
        m_pThread->wait(kStopWaitMs);
    }
    // A walk that ignores the stop keeps the thread; its own end is then the one reported.
    if (m_pThread->isRunning())
        return;
    m_pThread->prepareRun();
    ++m_nRunsPending;
    m_pThread->start(QThread::InheritPriority);
    m_nTimerId = startTimer(kReportIntervalMs, Qt::CoarseTimer);
}

bool CKelmFilesFinder::stop()
{
    killReportTimer();
    if (!m_pThread->isRunning())
        return false;
    m_pThread->requestStop();
    return m_pThread->wait(kStopWaitMs);
}

void CKelmFilesFinder::setFinalPause(bool bPause)
{
    stop();
    m_pThread->setFinalPause(bPause);
}

bool CKelmFilesFinder::isRunning() const
{
    return m_pThread->isRunning();
}

void CKelmFilesFinder::timerEvent(QTimerEvent* pEvent)
{
    if (pEvent->timerId() != m_nTimerId) {
        QObject::timerEvent(pEvent);
        return;
    }
    emit findFiles(m_pThread->filesSeen(), m_pThread->kelmFilesFound());
}

void CKelmFilesFinder::onThreadFinished()
{
    // The end of a walk that a new start has already replaced is not reported: the new walk
    // reports its own end.
    if (m_nRunsPending > 0)
        --m_nRunsPending;
    if (m_nRunsPending > 0)
        return;
    killReportTimer();
    emit finished();
}

void CKelmFilesFinder::killReportTimer()
{
    if (m_nTimerId != -1) {
        killTimer(m_nTimerId);
        m_nTimerId = -1;
    }
}

} // namespace KcWorkers
