// The same faults on the user's path: the work manager analyses three cameras, then one container
// vanishes and one camera's folder cannot be made. The job ends normally, names both faults with
// their batch, counts only the file it created, and that file plays.
#include "FaultsSupport.h"

#include "FixedZone.h"
#include "Wait.h"
#include "workers/WorkManager.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

using KcWorkers::CWorkManager;
using namespace KcFaultsTest;

namespace {

const auto kConvertedFrm = qOverload<>(&CWorkManager::activateVideosConvertedFrm);
const auto kConvertedFrmError = qOverload<QString>(&CWorkManager::activateVideosConvertedFrm);

class WorkManagerFaultTest : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_in.isValid());
        ASSERT_TRUE(m_out.isValid());
        ASSERT_TRUE(m_manager.isInitialized());
    }

    bool WaitIdle() { return KcTest::WaitIdle(m_manager); }

    std::string InPath(const QString& qsName) const { return QDir(m_in.path()).filePath(qsName).toStdString(); }

    KcTest::CFixedZone m_zone;
    QTemporaryDir m_in;
    QTemporaryDir m_out;
    CWorkManager m_manager{QStringLiteral("/nonexistent-desktop")};
};

} // namespace

TEST_F(WorkManagerFaultTest, VanishedContainerAndBlockedFolderLeaveTheOtherCameraIntact)
{
    const double t = Local(2026, 3, 1, 10, 0, 0);
    for (const char* srid : {"CAM1", "CAM2", "CAM3"})
        ASSERT_TRUE(KcTest::WriteRecordingFile(InPath(QString(srid) + ".kelm"), Recording(srid, t, t + 4)).ok);

    m_manager.setSrcFilesAndFolders({m_in.path()});
    m_manager.onStartKelmFilesSearching();
    ASSERT_TRUE(WaitIdle());
    m_manager.onStartKelmFilesAnalyzing();
    ASSERT_TRUE(WaitIdle());
    m_manager.setExportLocation(m_out.path());
    uint32_t batchCount = 0;
    ASSERT_TRUE(m_manager.prepareExportBatches(&batchCount)) << m_manager.lastLogError().toStdString();
    ASSERT_EQ(batchCount, 3u);

    // After the analysis: CAM1's container is gone and CAM2's folder is taken by a plain file.
    const std::string vanished = InPath("CAM1.kelm");
    ASSERT_TRUE(QFile::remove(QString::fromStdString(vanished)));
    const QString qsConverted = QDir(m_out.path()).filePath("Converted");
    ASSERT_TRUE(QDir().mkpath(qsConverted));
    {
        QFile blocker(QDir(qsConverted).filePath("CAM2"));
        ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    }

    QSignalSpy results(&m_manager, &CWorkManager::exportResults);
    QSignalSpy exportErrors(&m_manager, &CWorkManager::exportError);
    QSignalSpy fileErrors(&m_manager, &CWorkManager::fileError);
    QSignalSpy batchFinished(&m_manager, &CWorkManager::fragmentExportFinished);
    QSignalSpy converted(&m_manager, kConvertedFrm);
    QSignalSpy convertedError(&m_manager, kConvertedFrmError);
    m_manager.onStartExport();
    ASSERT_TRUE(WaitIdle());

    // The vanished container, named with its batch and the file system's words.
    ASSERT_EQ(fileErrors.size(), 1);
    EXPECT_EQ(fileErrors[0][0].value<ulong>(), 1ul);
    EXPECT_EQ(fileErrors[0][1].toString().toStdString(), vanished);
    EXPECT_TRUE(fileErrors[0][2].toString().contains(QString::fromStdString(vanished)))
        << fileErrors[0][2].toString().toStdString();
    EXPECT_NE(fileErrors[0][3].toInt(), 0);

    // The folder that cannot be made, with its batch and target.
    ASSERT_EQ(exportErrors.size(), 1);
    EXPECT_EQ(exportErrors[0][0].value<ulong>(), 2ul);
    EXPECT_TRUE(exportErrors[0][1].toString().startsWith("Target path '" + QDir(qsConverted).filePath("CAM2/")))
        << exportErrors[0][1].toString().toStdString();
    EXPECT_TRUE(exportErrors[0][2].toString().startsWith(QDir(qsConverted).filePath("CAM2/")))
        << exportErrors[0][2].toString().toStdString();

    // The job itself ends normally: all three batches, one file created of three.
    EXPECT_EQ(batchFinished.size(), 3);
    ASSERT_EQ(results.size(), 1);
    EXPECT_EQ(results[0][0].value<ulong>(), 1ul);
    EXPECT_EQ(results[0][1].value<ulong>(), 3ul);
    EXPECT_EQ(converted.size(), 1);
    EXPECT_TRUE(convertedError.isEmpty());

    const std::vector<std::string> files = FilesUnder(qsConverted.toStdString());
    ASSERT_EQ(files.size(), 2u) << "the blocker and CAM3's file";
    EXPECT_EQ(files[0], "CAM2");
    EXPECT_EQ(files[1].rfind("CAM3/Camera", 0), 0u) << files[1];
    ExpectIntactMp4(qsConverted.toStdString() + "/" + files[1]);
}
