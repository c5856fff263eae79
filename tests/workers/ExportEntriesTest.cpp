// Export entries: their keys, the detection of one entry per camera and local day (also for
// cameras without usable video), the preparation of the batches, and the analyzer's load.

#include "WorkersTestSupport.h"

#include "workers/KelmFilesAnalyzer.h"
#include "workers/KelmFilesExporter.h"

#include <QSignalSpy>

using KcWorkers::ExportedSrids;
using KcWorkers::SExportEntry;
using namespace KcWorkersTest;

namespace {

std::wstring DayPrefix(unsigned long dayNumber)
{
    wchar_t text[16] = {};
    std::swprintf(text, 16, L"%012lu", dayNumber);
    return text;
}

TEST(ExportKeyTest, DayNumberThenDisplayNumberSridAndSubSourceKey)
{
    struct {
        double windowStart;
        const wchar_t* displayNumber;
        const wchar_t* srid;
        const wchar_t* subSourceKey;
        const wchar_t* key;
    } const cases[] = {
        {86400.0 * 20513, L"1", L"CAM1", L"", L"0000000205131CAM1"},
        {86400.0 * 20513 + 86399.9, L"2", L"12-34", L"", L"000000020513212-34"}, // same day to the last ms
        {86400.0 * 20514, L"1", L"CAM1", L"x", L"0000000205141CAM1x"},
        {0.0, L"1", L"A", L"", L"0000000000001A"},
    };
    for (const auto& testCase : cases) {
        SExportEntry entry;
        entry.fragment.windowStart = testCase.windowStart;
        entry.displayNumber = testCase.displayNumber;
        entry.srid = testCase.srid;
        entry.subSourceKey = testCase.subSourceKey;
        EXPECT_EQ(KcWorkers::makeExportKey(entry), testCase.key);
    }
}

class ExportEntriesTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_dir.isValid()); }

    void Load(const std::vector<std::string>& paths)
    {
        UtilsNameSpace::SErrorInfo error;
        ASSERT_TRUE(m_storage.LoadContent(WidePaths(paths), &error)) << error.code;
    }

    // The log text of the failure, empty on success.
    QString Detect()
    {
        try {
            KcWorkers::detectExportParameters(m_storage, m_entries, QStringLiteral("/export/"));
        } catch (const KcMain::KcException& exception) {
            return exception.logText();
        }
        return QString();
    }

    CFixedZone m_zone;
    QTemporaryDir m_dir;
    KELMNameSpace::CKELMExport m_storage;
    ExportedSrids m_entries;
};

TEST_F(ExportEntriesTest, RecordingOverThreeLocalDaysGivesThreeEntriesDifferingInTheDayOnly)
{
    KcTest::SRecordingOptions options;
    options.srid = "CAM1";
    options.startUtc = LocalToUtc(2026, 3, 1, 23, 59, 58);
    options.endUtc = LocalToUtc(2026, 3, 3, 0, 0, 2);
    options.gaps.push_back({LocalToUtc(2026, 3, 2, 0, 0, 2), LocalToUtc(2026, 3, 2, 23, 59, 58)});
    Load({WriteRecording(m_dir, "cam1.kelm", options)});

    ASSERT_EQ(Detect(), QString());
    const unsigned long firstDay = LocalDayNumber(2026, 3, 1);
    std::vector<std::wstring> expectedKeys;
    for (unsigned long day = firstDay; day < firstDay + 3; ++day)
        expectedKeys.push_back(DayPrefix(day) + L"1CAM1");
    std::vector<std::wstring> keys;
    for (const auto& keyAndEntry : m_entries) {
        keys.push_back(keyAndEntry.first);
        const SExportEntry& entry = keyAndEntry.second;
        EXPECT_TRUE(entry.bEnabled);
        EXPECT_EQ(entry.batchId, 1u);
        EXPECT_EQ(entry.srid, L"CAM1");
        EXPECT_EQ(entry.fragment.targetDirectory, L"/export/");
    }
    EXPECT_EQ(keys, expectedKeys);
    EXPECT_EQ(m_storage.GetUTCTimeToLocalTimeOffset(), double(kZoneOffset));
    // The last day reaches the last frame (00:00:01.96 at 25 frames a second), not the whole second before it.
    EXPECT_GE(m_entries.rbegin()->second.fragment.endTime, LocalToUtc(2026, 3, 3, 0, 0, 1.96) + kZoneOffset);
}

TEST_F(ExportEntriesTest, CameraWithoutUsableVideoIsLeftOutWhileOthersAreKept)
{
    // "BAD" sorts first: its only stream has a codec the loader refuses, so it has no video span.
    KcTest::SRecordingOptions refused = WithinOneDay("BAD");
    refused.videoCodec = kelm::AnnexBH264Video;
    refused.audio = false;
    Load({WriteRecording(m_dir, "bad.kelm", refused), WriteRecording(m_dir, "good.kelm", WithinOneDay("GOOD"))});
    ASSERT_EQ(m_storage.GetSridMap().count(L"BAD"), 1u);
    ASSERT_EQ(m_storage.GetBlackList(), (KELMNameSpace::BlackList{0}));

    ASSERT_EQ(Detect(), QString());
    ASSERT_EQ(m_entries.size(), 1u);
    EXPECT_EQ(m_entries.begin()->first, DayPrefix(LocalDayNumber(2026, 3, 1)) + L"1GOOD");
    EXPECT_EQ(m_storage.GetUTCTimeToLocalTimeOffset(), double(kZoneOffset));
}

TEST_F(ExportEntriesTest, NoCameraWithVideoFailsAndLeavesNoEntries)
{
    KcTest::SRecordingOptions refused = WithinOneDay("BAD");
    refused.videoCodec = kelm::AnnexBH264Video;
    refused.audio = false;
    Load({WriteRecording(m_dir, "bad.kelm", refused)});
    m_entries[L"stale"] = SExportEntry();

    EXPECT_EQ(Detect(), QStringLiteral("Internal error: failed arranging videofiles by dates"));
    EXPECT_TRUE(m_entries.empty());
}

// A camera clock that was reset (time 0) or dates far past 2106 must not take the other cameras
// down: its video is left out, named once with its files, and the rest is analyzed.
TEST_F(ExportEntriesTest, VideoDatedOutsideTheUsableRangeIsLeftOutAndNamed)
{
    const double kFarFuture = 4294967295.0 - 1800; // local time passes the 32-bit range
    struct {
        const char* pName;
        double badStart;      // of camera "ODD", 4 s long; -1 = no such camera
        bool bGoodCamera;     // "GOOD" within one day
        bool bOddHasGoodFile; // "ODD" also has a file within one day
        const char* pFailure; // the log text, empty for success
        std::vector<std::wstring> srids;
        const char* pWarning;
    } const cases[] = {
        {"clock reset",
         0,
         true,
         false,
         "",
         {L"GOOD"},
         "Camera ODD skipped: its video is dated before 1970 or after 2106, in "},
        {"far future",
         kFarFuture,
         true,
         false,
         "",
         {L"GOOD"},
         "Camera ODD skipped: its video is dated before 1970 or after 2106, in "},
        {"far future alone",
         kFarFuture,
         false,
         false,
         "No recording can be converted: the video is dated before 1970 or after 2106",
         {},
         "Camera ODD skipped: its video is dated before 1970 or after 2106, in "},
        {"one bad file of a camera",
         0,
         false,
         true,
         "",
         {L"ODD"},
         "Camera ODD: video dated before 1970 or after 2106 left out, in "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.pName);
        QTemporaryDir dir;
        std::vector<std::string> paths;
        KcTest::SRecordingOptions odd = WithinOneDay("ODD");
        odd.startUtc = c.badStart;
        odd.endUtc = c.badStart + 4;
        const std::string badPath = WriteRecording(dir, "odd-bad.kelm", odd);
        paths.push_back(badPath);
        if (c.bOddHasGoodFile)
            paths.push_back(WriteRecording(dir, "odd-good.kelm", WithinOneDay("ODD")));
        if (c.bGoodCamera)
            paths.push_back(WriteRecording(dir, "good.kelm", WithinOneDay("GOOD")));
        KELMNameSpace::CKELMExport storage;
        UtilsNameSpace::SErrorInfo error;
        ASSERT_TRUE(storage.LoadContent(WidePaths(paths), &error)) << error.code;

        QStringList warnings;
        QString failure;
        ExportedSrids entries;
        try {
            KcWorkers::detectExportParameters(storage, entries, QStringLiteral("/export/"),
                                              [&](const QString& qsFile, const QString& qsWarning) {
                                                  warnings << qsFile + QStringLiteral(" | ") + qsWarning;
                                              });
        } catch (const KcMain::KcException& exception) {
            failure = exception.logText();
        }
        EXPECT_EQ(failure, QString::fromUtf8(c.pFailure));
        std::vector<std::wstring> srids;
        for (const auto& keyAndEntry : entries)
            srids.push_back(keyAndEntry.second.srid);
        EXPECT_EQ(srids, c.srids);
        const QString qsBad = QString::fromStdString(badPath);
        EXPECT_EQ(warnings, QStringList{qsBad + QStringLiteral(" | ") + QString::fromUtf8(c.pWarning) + qsBad});
    }
}

TEST_F(ExportEntriesTest, NothingLoadedFails)
{
    EXPECT_EQ(Detect(), QStringLiteral("Internal error: analyzing results are empty"));
}

TEST_F(ExportEntriesTest, EnabledDaysBecomeBatchesAimedAtTheCameraFolder)
{
    Load({WriteRecording(m_dir, "cam1.kelm", AcrossMidnight("CAM1"))});
    ASSERT_EQ(Detect(), QString());
    ASSERT_EQ(m_entries.size(), 2u);

    EXPECT_EQ(KcWorkers::prepareExportBatches(m_storage, m_entries, QStringLiteral("/out/")), 2u);
    EXPECT_EQ(KcWorkers::preparedBatchCount(), 2u);
    std::vector<uint32_t> batchIds;
    for (const auto& keyAndEntry : m_entries)
        batchIds.push_back(keyAndEntry.second.batchId);
    EXPECT_EQ(batchIds, (std::vector<uint32_t>{1, 2}));
    const auto& batches = m_storage.GetExportBatches();
    ASSERT_EQ(batches.size(), 2u);
    for (const auto& batch : batches) {
        ASSERT_EQ(batch.fragments.size(), 1u);
        EXPECT_EQ(batch.fragments[0].targetDirectory, L"/out/Converted/CAM1/Camera1/");
    }

    // With every day switched off nothing is prepared; the entries keep their old ids.
    for (auto& keyAndEntry : m_entries)
        keyAndEntry.second.bEnabled = false;
    EXPECT_EQ(KcWorkers::prepareExportBatches(m_storage, m_entries, QStringLiteral("/out/")), 0u);
    EXPECT_EQ(KcWorkers::preparedBatchCount(), 0u);
    EXPECT_TRUE(m_storage.GetExportBatches().empty());
    EXPECT_EQ(m_entries.rbegin()->second.batchId, 2u);
}

TEST_F(ExportEntriesTest, AnalyzerCancelledAfterTheFirstFileKeepsWhatItLoaded)
{
    const std::vector<std::string> paths = {WriteRecording(m_dir, "a.kelm", WithinOneDay("CAM_A")),
                                            WriteRecording(m_dir, "b.kelm", WithinOneDay("CAM_B"))};
    const std::vector<std::wstring> inputFiles = WidePaths(paths);
    KELMNameSpace::SridMap loaded;
    KELMNameSpace::BlackList blackList;
    KcWorkers::CancelFlag cancelFlag{0};
    const QString qsLocation = QStringLiteral("/export/");
    auto* pStubSync = m_storage.GetContentLoadEventSync();

    KcWorkers::CKelmFilesAnalyzer analyzer(inputFiles, m_storage, loaded, m_entries, blackList, cancelFlag, qsLocation);
    QSignalSpy files(&analyzer, &KcWorkers::CKelmFilesAnalyzer::filesProcessed);
    QSignalSpy units(&analyzer, &KcWorkers::CKelmFilesAnalyzer::sridsFinallyLoaded);
    QSignalSpy failures(&analyzer, &KcWorkers::CKcWorker::workCompletionError);
    QSignalSpy done(&analyzer, &KcWorkers::CKcWorker::workDone);
    QObject::connect(&analyzer, &KcWorkers::CKelmFilesAnalyzer::filesProcessed, [&] { cancelFlag.store(1); });
    analyzer.doWork();

    ASSERT_EQ(files.size(), 1);
    EXPECT_EQ(files[0], (QList<QVariant>{U(1), U(2)}));
    EXPECT_TRUE(failures.isEmpty());
    ASSERT_EQ(units.size(), 1);
    EXPECT_EQ(units[0][0].toULongLong(), 1u);
    EXPECT_EQ(done.size(), 1);
    EXPECT_EQ(loaded.count(L"CAM_A"), 1u);
    EXPECT_EQ(blackList, (KELMNameSpace::BlackList{1}));
    ASSERT_EQ(m_entries.size(), 1u);
    EXPECT_EQ(m_entries.begin()->second.srid, L"CAM_A");
    EXPECT_EQ(m_storage.GetContentLoadEventSync(), pStubSync);
}

} // namespace
