// Sizing, progress percentages and the remaining-time estimate of content loading.

#include "ContentTestSupport.h"

#include <cmath>

using namespace KcContentTest;
using KELMNameSpace::SFileEntry;
using KELMNameSpace::SLoadProgress;

namespace {

class LoadProgressTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.Valid());
        m_storage.SetContentLoadEventSync(&m_sync);
    }

    // Files of the given lengths in seconds, so that their sizes differ.
    std::vector<std::string> WriteFiles(const std::vector<int>& seconds)
    {
        std::vector<std::string> paths;
        int start = 0;
        for (size_t i = 0; i < seconds.size(); ++i) {
            const std::string path = m_dir.Path("f" + std::to_string(i) + ".kelm");
            EXPECT_TRUE(KcTest::WriteRecordingFile(path, Recording("CAM1", At(start), At(start + seconds[i]))).ok);
            start += seconds[i] + 10;
            paths.push_back(path);
        }
        return paths;
    }

    static std::vector<SFileEntry> Entries(const std::vector<std::string>& paths)
    {
        std::vector<SFileEntry> entries(paths.size());
        for (size_t i = 0; i < paths.size(); ++i) {
            entries[i].inputIndex = static_cast<uint32_t>(i);
            entries[i].path = Wide(paths[i]);
        }
        return entries;
    }

    CTempDir m_dir;
    CKELMStorage m_storage;
    CRecordingSync m_sync;
};

TEST_F(LoadProgressTest, EstimateScalesTheSizedFilesUpToAllFiles)
{
    const std::vector<std::string> paths = WriteFiles({1, 2, 3, 4});
    std::vector<uint64_t> sizes;
    for (const std::string& path : paths)
        sizes.push_back(FileSize(path));
    ASSERT_NE(sizes[0], sizes[1]);

    struct SCase {
        uint32_t limit;
        uint64_t expected;
    };
    const uint64_t firstTwo = sizes[0] + sizes[1];
    const uint64_t firstThree = firstTwo + sizes[2];
    const SCase cases[] = {
        {2, firstTwo * 2},
        {3, static_cast<uint64_t>(static_cast<double>(firstThree) / 0.75)},
        {4, firstThree + sizes[3]},
        {500, firstThree + sizes[3]},
    };
    for (const SCase& test : cases) {
        SCOPED_TRACE(test.limit);
        CRecordingSync sync;
        m_storage.SetContentLoadEventSync(&sync);
        m_storage.SetSizingFileLimit(test.limit);
        SLoadProgress progress;
        ASSERT_TRUE(m_storage.EstimateTotalSize(Entries(paths), progress, nullptr));
        EXPECT_EQ(progress.estimatedTotalBytes, test.expected);
        const uint32_t sized = std::min<uint32_t>(test.limit, 4);
        EXPECT_EQ(sync.sizedFiles, sized);
        EXPECT_EQ(sync.sizes, std::vector<uint64_t>(sizes.begin(), sizes.begin() + sized));
    }
}

TEST_F(LoadProgressTest, FileThatCannotBeSizedIsReportedAndCountsAsEmpty)
{
    std::vector<std::string> paths = WriteFiles({1});
    paths.insert(paths.begin(), m_dir.Path("missing.kelm"));
    m_storage.SetSizingFileLimit(2);
    SLoadProgress progress;
    ASSERT_TRUE(m_storage.EstimateTotalSize(Entries(paths), progress, nullptr));
    EXPECT_EQ(progress.estimatedTotalBytes, FileSize(paths[1]));
    ASSERT_EQ(m_sync.errors.size(), 1u);
    EXPECT_EQ(m_sync.errors[0].inputIndex, 0u);
    EXPECT_EQ(m_sync.errors[0].info.code, 26);
    EXPECT_EQ(m_sync.events, (std::vector<std::string>{"SizingStart", "FileError 0", "Sized 1", "SizingEnd"}));

    // A false answer to the error stops the sizing.
    CRecordingSync stopping;
    stopping.cancelAt = "FileError 0";
    m_storage.SetContentLoadEventSync(&stopping);
    SErrorInfo error;
    EXPECT_FALSE(m_storage.EstimateTotalSize(Entries(paths), progress, &error));
    EXPECT_EQ(error.code, 4);
    EXPECT_EQ(error.message, L"Cancelled");
    EXPECT_FALSE(stopping.Saw("SizingEnd"));
}

TEST_F(LoadProgressTest, PercentagesFollowFilePositionAndBytesDone)
{
    const std::vector<std::string> paths = WriteFiles({2, 1, 3});
    std::vector<uint64_t> sizes;
    uint64_t total = 0;
    for (const std::string& path : paths) {
        sizes.push_back(FileSize(path));
        total += sizes.back();
    }

    ASSERT_TRUE(m_storage.LoadContent(WidePaths(paths), nullptr));
    ASSERT_FALSE(m_sync.progress.empty());

    uint64_t finished = 0;
    uint32_t file = 0;
    uint64_t lastDone = 0;
    for (size_t i = 0; i < m_sync.progress.size(); ++i) {
        const SProgressCall& call = m_sync.progress[i];
        SCOPED_TRACE(i);
        if (call.fileIndex != file) {
            ASSERT_EQ(call.fileIndex, file + 1);
            finished += sizes[file];
            file = call.fileIndex;
            EXPECT_EQ(call.position, 0u); // every file starts at 0
        }
        EXPECT_EQ(call.bytesDone, finished + call.position);
        EXPECT_GE(call.bytesDone, lastDone);
        lastDone = call.bytesDone;
        EXPECT_FLOAT_EQ(call.filePercent, static_cast<float>(call.position) / static_cast<float>(sizes[file]) * 100.0f);
        EXPECT_FLOAT_EQ(call.totalPercent, static_cast<float>(call.bytesDone) / static_cast<float>(total) * 100.0f);
        // Each file's last report is its end.
        const bool bLastOfFile = i + 1 == m_sync.progress.size() || m_sync.progress[i + 1].fileIndex != file;
        if (bLastOfFile) {
            EXPECT_EQ(call.position, sizes[file]);
        }
    }
    EXPECT_EQ(file, 2u);
    EXPECT_EQ(m_sync.progress.back().totalPercent, 100.0f);
    EXPECT_EQ(m_sync.progress.back().filePercent, 100.0f);
}

TEST_F(LoadProgressTest, TotalPercentStopsAtHundredWhenTheEstimateFallsShort)
{
    // Sizing only the small first file underestimates the total.
    const std::vector<std::string> paths = WriteFiles({1, 4});
    const uint64_t estimate = FileSize(paths[0]) * 2;
    ASSERT_LT(estimate, FileSize(paths[0]) + FileSize(paths[1]));
    m_storage.SetSizingFileLimit(1);
    // A clock a second further on every reading, so that each report carries an estimate.
    auto pNow = std::make_shared<int64_t>(1000);
    m_storage.SetClock([pNow]() {
        SClockTime now;
        now.seconds = (*pNow)++;
        return now;
    });

    ASSERT_TRUE(m_storage.LoadContent(WidePaths(paths), nullptr));
    bool bClamped = false;
    for (const SProgressCall& call : m_sync.progress) {
        EXPECT_LE(call.totalPercent, 100.0f);
        if (call.bytesDone >= estimate) {
            EXPECT_EQ(call.totalPercent, 100.0f);
            ASSERT_TRUE(call.remaining.bValid);
            EXPECT_EQ(call.remaining.seconds, 0.0);
            bClamped = bClamped || call.position < FileSize(paths[1]);
        } else if (call.remaining.bValid) {
            EXPECT_GT(call.remaining.seconds, 0.0);
        }
    }
    EXPECT_TRUE(bClamped);
}

// Relative comparison for the estimates, which are quotients of byte counts.
void ExpectSeconds(const SRemainingTime& remaining, double expected)
{
    ASSERT_TRUE(remaining.bValid);
    EXPECT_NEAR(remaining.seconds, expected, std::fabs(expected) * 1e-12);
}

TEST_F(LoadProgressTest, RemainingTimeUsesASpeedSampledOncePerClockSecond)
{
    const std::vector<std::string> paths = WriteFiles({3});
    const double total = static_cast<double>(FileSize(paths[0]));
    // The first reading starts the load; then one reading per progress report.
    m_storage.SetClock(ScriptedClock({100800, 100900, 101300, 101400, 102300}));

    ASSERT_TRUE(m_storage.LoadContent(WidePaths(paths), nullptr));
    const std::vector<SProgressCall>& calls = m_sync.progress;
    ASSERT_GT(calls.size(), 6u);
    auto done = [&](size_t i) { return static_cast<double>(calls[i].bytesDone); };

    // Same second as the start: no speed yet.
    EXPECT_FALSE(calls[0].remaining.bValid);
    // Half a second later, in the next second: the first sample is the speed.
    const double firstRate = done(1) / 0.5;
    ExpectSeconds(calls[1].remaining, (total - done(1)) / firstRate);
    // Within that second the speed stays.
    ExpectSeconds(calls[2].remaining, (total - done(2)) / firstRate);
    // A second later the new sample weighs a quarter.
    const double speed = 0.75 * firstRate + 0.25 * (done(3) - done(1)) / 1.0;
    ExpectSeconds(calls[3].remaining, (total - done(3)) / speed);
    ExpectSeconds(calls[4].remaining, (total - done(4)) / speed);
    ExpectSeconds(calls.back().remaining, 0.0);
}

TEST_F(LoadProgressTest, ClockSteppingBackKeepsTheSpeed)
{
    const std::vector<std::string> paths = WriteFiles({3});
    const double total = static_cast<double>(FileSize(paths[0]));
    m_storage.SetClock(ScriptedClock({100500, 100600, 101500, 50000, 51000}));

    ASSERT_TRUE(m_storage.LoadContent(WidePaths(paths), nullptr));
    const std::vector<SProgressCall>& calls = m_sync.progress;
    ASSERT_GT(calls.size(), 5u);
    auto done = [&](size_t i) { return static_cast<double>(calls[i].bytesDone); };

    // Measured from the start of the load, not from the report without a sample.
    const double firstRate = done(1) / 1.0;
    ExpectSeconds(calls[1].remaining, (total - done(1)) / firstRate);
    // The step back gives no sample, but sampling goes on from there.
    ExpectSeconds(calls[2].remaining, (total - done(2)) / firstRate);
    const double speed = 0.75 * firstRate + 0.25 * (done(3) - done(2)) / 1.0;
    ExpectSeconds(calls[3].remaining, (total - done(3)) / speed);
}

} // namespace
