#pragma once

#include <QObject>
#include <QStringList>

class QTimerEvent;

namespace KcWorkers {

class CFinderThread;

// Runs the search for container files on the finder thread and reports its counters once a
// second, then finished() once the walk has ended. Lives on the GUI thread.
class CKelmFilesFinder : public QObject {
    Q_OBJECT

public:
    explicit CKelmFilesFinder(QObject* pParent = nullptr);
    ~CKelmFilesFinder() override;

    // Stops a running search, then hands the lists to the walk (see CFinderThread::setLists).
    void setLists(const QStringList* pSourceList, QStringList* pOutputList);
    // Starts a walk over the source list; a walk still running is stopped first.
    void start();
    // False when no walk was running or it did not end in time.
    bool stop();
    bool isRunning() const;
    // Whether a walk lingers after its final count (on by default, for the desktop program).
    void setFinalPause(bool bPause);

    static constexpr int kStopWaitMs = 10000;
    static constexpr int kReportIntervalMs = 1000;

signals:
    void startFindFiles();
    void findFiles(int countTotal, int countKelm);
    void pathSkipped(QString qsPath, QString qsReason);
    void finished();

protected:
    void timerEvent(QTimerEvent* pEvent) override;

private slots:
    void onThreadFinished();

private:
    void killReportTimer();

    CFinderThread* m_pThread;
    int m_nTimerId = -1;
    int m_nRunsPending = 0; // walks started whose end has not arrived yet
};

} // namespace KcWorkers
