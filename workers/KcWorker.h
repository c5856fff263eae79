#pragma once

#include "ExportEntry.h"
#include "KELMExport.h"

#include <QByteArray>
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
    bConnected &= bool(QObject::connect(pWorker, &CKcWorker::workCompletionError, pReceiver,
                                        &TReceiver::onCompletionError));
    bConnected &= bool(QObject::connect(pWorker, &CKcWorker::fileError, pReceiver, &TReceiver::onFileError));
    bConnected &= bool(QObject::connect(pWorker, &CKcWorker::fileWarning, pReceiver, &TReceiver::onFileWarning));
    return bConnected;
}

// Wide engine text to QString and back (UTF-32 here).
QString toQString(const std::wstring& text);
std::wstring toWString(const QString& qsText);

} // namespace KcWorkers
