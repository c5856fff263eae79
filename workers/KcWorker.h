#pragma once

#include "export/KELMExport.h"
#include "workers/ExportEntry.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QThread>

#include <atomic>
#include <exception>

namespace KcMain {

// The failure of a job: a translated text for the user and an English one for the log. Thrown
// inside a job and turned into one completion report at its end.
class KcException : public std::exception {
public:
    KcException(const QString& qsUserText, const QString& qsLogText);

    const QString& userText() const { return m_qsUserText; }
    const QString& logText() const { return m_qsLogText; }
    const char* what() const noexcept override { return m_logTextUtf8.constData(); }

private:
    QString m_qsUserText;
    QString m_qsLogText;
    QByteArray m_logTextUtf8;
};

} // namespace KcMain

namespace KcWorkers {

// Written by the GUI thread (0 = go on, 1 = cancel) and polled by the workers' engine callbacks.
using CancelFlag = std::atomic<int>;

// Decides which progress reports of the engine go on to the GUI thread. Each queued signal wakes
// that thread up, and an estimate of the remaining time that wavers around a whole second would
// otherwise send one for nearly every record. A change of what is shown as a number (the percent,
// the batch) always passes; a new estimate passes at most a few times a second.
class CProgressGate {
public:
    // True when a report with these values is to be sent; shownState packs the numbers shown.
    bool pass(uint64_t shownState, double fWholeSeconds);
    // The next report passes whatever it holds.
    void reset() { m_bSent = false; }

private:
    static constexpr qint64 kEstimateIntervalMs = 250;

    bool m_bSent = false;
    uint64_t m_lastShownState = 0;
    double m_fLastWholeSeconds = 0;
    QElapsedTimer m_sinceSent;
};

// The base of the analyzer and the exporter: a job that runs once on a thread of its own and
// reports back through queued signals, workDone() always last.
class CKcWorker : public QObject {
    Q_OBJECT

public:
    CKcWorker(KELMNameSpace::CKELMExport& storage, ExportedSrids& exportedSrids, CancelFlag& cancelFlag,
              QObject* pParent = nullptr);
    ~CKcWorker() override;

signals:
    void workStarted();
    void workDone();
    void workCompletionError(QString qsError, QString qsLogError, ulong ulUnitsProcessed);
    void filesProcessed(ulong ulFilesProcessed, ulong ulFilesTotal);
    void progressState(int percent, double fEstimatedTime);
    void fileError(ulong ulContext, QString qsFileName, QString qsError, int nCode);
    void fileWarning(ulong ulContext, QString qsFileName, QString qsWarning, int nCode);

public slots:
    // Runs the job. A KcException, memory exhaustion or anything else thrown by it becomes one
    // workCompletionError; workDone() follows in every case.
    void doWork();

protected:
    // The job itself; it reports a failure by throwing.
    virtual void process() = 0;

    bool isCancelRequested() const { return m_pCancelFlag->load(std::memory_order_relaxed) != 0; }

    KELMNameSpace::CKELMExport* m_pStorage;
    ExportedSrids* m_pExportedSrids;
    CancelFlag* m_pCancelFlag;
};

// Puts a worker on its (not yet started) thread so that both delete themselves once the job is
// over, and routes the common reports to the receiver's onCompletionError, onFileError and
// onFileWarning. True only when every connection was made; the caller then adds its own
// connections and starts the thread.
template <class TReceiver>
bool connectWorkerThread(CKcWorker* pWorker, QThread* pThread, TReceiver* pReceiver)
{
    if (!pWorker || !pThread || !pReceiver)
        return false;

    pWorker->moveToThread(pThread);

    bool bConnected = true;
    bConnected &= bool(QObject::connect(pThread, &QThread::started, pWorker, &CKcWorker::doWork));
    bConnected &= bool(QObject::connect(pWorker, &CKcWorker::workDone, pWorker, &QObject::deleteLater));
    bConnected &= bool(QObject::connect(pWorker, &CKcWorker::workDone, pThread, &QThread::quit));
    bConnected &= bool(QObject::connect(pThread, &QThread::finished, pThread, &QObject::deleteLater));
    bConnected &=
        bool(QObject::connect(pWorker, &CKcWorker::workCompletionError, pReceiver, &TReceiver::onCompletionError));
    bConnected &= bool(QObject::connect(pWorker, &CKcWorker::fileError, pReceiver, &TReceiver::onFileError));
    bConnected &= bool(QObject::connect(pWorker, &CKcWorker::fileWarning, pReceiver, &TReceiver::onFileWarning));
    return bConnected;
}

// Wide engine text to QString and back (UTF-32 here).
QString toQString(const std::wstring& text);
std::wstring toWString(const QString& qsText);

} // namespace KcWorkers
