// The worker base: the common failure path of a job and a worker's life on its own thread.

#include "WorkersTestSupport.h"

#include "workers/KcWorker.h"

#include <QPointer>
#include <QTest>
#include <QThread>

#include <functional>
#include <new>
#include <stdexcept>

using KcWorkers::CancelFlag;
using KcWorkers::CKcWorker;
using KcWorkers::ExportedSrids;
using namespace KcWorkersTest;

namespace {

class CTestWorker : public CKcWorker {
public:
    CTestWorker(KELMNameSpace::CKELMExport& storage, ExportedSrids& entries, CancelFlag& cancelFlag,
                std::function<void(CTestWorker&)> job)
        : CKcWorker(storage, entries, cancelFlag),
          m_job(std::move(job))
    {
    }

protected:
    void process() override { m_job(*this); }

private:
    std::function<void(CTestWorker&)> m_job;
};

// Stands in for the work manager as the receiver of the common reports.
class CTestReceiver : public QObject {
public:
    void onCompletionError(QString qsError, QString qsLogError, ulong) { errors << qsError + "|" + qsLogError; }
    void onFileError(ulong, QString qsFileName, QString, int) { fileErrors << qsFileName; }
    void onFileWarning(ulong, QString qsFileName, QString, int) { fileWarnings << qsFileName; }

    QStringList errors;
    QStringList fileErrors;
    QStringList fileWarnings;
};

class WorkerBaseTest : public ::testing::Test {
protected:
    // Runs the job on the calling thread; returns the worker's signals in emission order.
    QStringList Run(std::function<void(CTestWorker&)> job)
    {
        CTestWorker worker(m_storage, m_entries, m_cancelFlag, std::move(job));
        QStringList slSignals;
        QObject::connect(&worker, &CKcWorker::workCompletionError,
                         [&](QString qsError, QString qsLogError, ulong ulUnits) {
                             slSignals << QStringLiteral("error:%1|%2|%3").arg(qsError, qsLogError).arg(ulUnits);
                         });
        QObject::connect(&worker, &CKcWorker::workDone, [&] { slSignals << QStringLiteral("done"); });
        worker.doWork();
        return slSignals;
    }

    KELMNameSpace::CKELMExport m_storage;
    ExportedSrids m_entries;
    CancelFlag m_cancelFlag{0};
};

TEST_F(WorkerBaseTest, EveryFailureBecomesOneCompletionErrorBeforeWorkDone)
{
    EXPECT_EQ(Run([](CTestWorker&) {}), QStringList{"done"});
    EXPECT_EQ(Run([](CTestWorker&) { throw KcMain::KcException("Für den Benutzer", "For the log"); }),
              (QStringList{"error:Für den Benutzer|For the log|0", "done"}));
    EXPECT_EQ(Run([](CTestWorker&) { throw std::bad_alloc(); }),
              (QStringList{"error:Out of memory|Out of memory|0", "done"}));
    EXPECT_EQ(Run([](CTestWorker&) { throw std::runtime_error("boom"); }),
              (QStringList{"error:Unknown exception|Unknown exception|0", "done"}));
    EXPECT_EQ(Run([](CTestWorker&) { throw 42; }),
              (QStringList{"error:Unknown exception|Unknown exception|0", "done"}));
}

TEST_F(WorkerBaseTest, WorkerOnItsThreadReportsAndDeletesItselfAndTheThread)
{
    CTestReceiver receiver;
    QPointer<CKcWorker> pWorker = new CTestWorker(m_storage, m_entries, m_cancelFlag, [](CTestWorker& worker) {
        emit worker.fileError(1, "bad.kelm", "broken", 14);
        emit worker.fileWarning(1, "odd.kelm", "odd", 14);
        throw KcMain::KcException("user", "log");
    });
    QPointer<QThread> pThread = new QThread;
    ASSERT_TRUE(KcWorkers::connectWorkerThread(pWorker.data(), pThread.data(), &receiver));
    pThread->start();

    // Both are gone once the thread has finished and its deferred deletion has run here.
    for (int i = 0; i < kWaitMs / 50 && pThread; ++i)
        QTest::qWait(50);
    EXPECT_TRUE(pWorker.isNull());
    EXPECT_TRUE(pThread.isNull());
    EXPECT_EQ(receiver.errors, QStringList{"user|log"});
    EXPECT_EQ(receiver.fileErrors, QStringList{"bad.kelm"});
    EXPECT_EQ(receiver.fileWarnings, QStringList{"odd.kelm"});
}

TEST_F(WorkerBaseTest, MissingPieceMakesNoConnection)
{
    CTestWorker worker(m_storage, m_entries, m_cancelFlag, [](CTestWorker&) {});
    QThread thread;
    CTestReceiver receiver;
    EXPECT_FALSE(KcWorkers::connectWorkerThread(&worker, &thread, static_cast<CTestReceiver*>(nullptr)));
    EXPECT_FALSE(KcWorkers::connectWorkerThread(&worker, static_cast<QThread*>(nullptr), &receiver));
    EXPECT_FALSE(KcWorkers::connectWorkerThread(static_cast<CKcWorker*>(nullptr), &thread, &receiver));
}

} // namespace
