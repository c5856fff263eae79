// The export run end to end: recordings written by the container writer are exported, and every
// MP4 file is read back and decoded as a player would.
#include "ExportRunSupport.h"

#include "ChildProcess.h"
#include "MediaSample.h"
#include "Mp4Check.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <functional>
#include <map>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace KcExportTest;
using KELMNameSpace::SExportFragment;
using KELMNameSpace::SExportRequest;

namespace {

constexpr int32_t kVideo = 1;
constexpr int32_t kAudio = 2;

class ExportRunTest : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_scratch.Valid());
        m_storage.SetExportEventSync(&m_sync);
    }

    std::string Write(const std::string& name, const KcTest::SRecordingOptions& options)
    {
        const std::string path = m_scratch.Path(name);
        EXPECT_TRUE(KcTest::WriteRecordingFile(path, options).ok);
        return path;
    }

    std::string Out(const std::string& srid = "CAM1") const { return m_scratch.Path("out/" + srid) + "/"; }

    // Loads the files and prepares one batch per request.
    void Prepare(const std::vector<std::string>& paths, const std::vector<SExportRequest>& requests)
    {
        LoadAndSetOffset(m_storage, paths);
        for (const SExportRequest& request : requests) {
            SErrorInfo error;
            ASSERT_TRUE(m_storage.PrepareExportFragments(request, nullptr, nullptr, &error)) << Narrow(error.message);
        }
    }

    const SExportFragment& Fragment(size_t batch, size_t index) const
    {
        return m_storage.GetExportBatches().at(batch).fragments.at(index);
    }
    std::string TargetPath(const SExportFragment& fragment) const
    {
        return Narrow(fragment.targetDirectory + fragment.targetFileName);
    }

    CScratch m_scratch;
    CKELMExport m_storage;
    CRecordingExportSync m_sync;
};

// Times of the units of one stream an export writes into [start, end]: per file, video begins at
// its first sync sample inside the window.
std::vector<double> WrittenTimes(const std::vector<std::string>& files, int32_t esno, double start, double end)
{
    std::vector<double> times;
    for (const std::string& file : files) {
        bool bStarted = false;
        for (const SUnit& unit : ReadUnits(file)) {
            if (unit.esno != esno || unit.localTime < start || unit.localTime > end)
                continue;
            bStarted = bStarted || unit.bSync;
            if (bStarted)
                times.push_back(unit.localTime);
        }
    }
    return times;
}

// Each sample sits at its unit's time on the 48 kHz line, counted from a unit time placed at a
// tick, give or take one tick.
void ExpectTicksFollowTimes(const std::vector<int64_t>& ticks, size_t first, const std::vector<double>& times,
                            double originTime, int64_t originTick)
{
    ASSERT_LE(first + times.size(), ticks.size());
    for (size_t i = 0; i < times.size(); ++i) {
        const double expected = static_cast<double>(originTick) + (times[i] - originTime) * 48000.0;
        ASSERT_NEAR(static_cast<double>(ticks[first + i]), expected, 1.0) << "sample " << first + i;
    }
}

void ExpectPlayable(const KcTest::SMp4Report& report, const std::vector<std::string>& codecs)
{
    ASSERT_TRUE(report.bOpened);
    EXPECT_EQ(report.libraryErrors, 0);
    std::vector<std::string> found;
    for (const KcTest::STrackReport& track : report.tracks) {
        found.push_back(track.codec);
        EXPECT_EQ(track.decodeErrors, 0) << track.codec;
        EXPECT_EQ(static_cast<size_t>(track.frames), track.ticks.size()) << track.codec;
        EXPECT_TRUE(std::adjacent_find(track.ticks.begin(), track.ticks.end(), std::greater_equal<int64_t>())
                    == track.ticks.end())
            << track.codec << ": ticks do not strictly increase";
        if (track.codec == "h264") {
            ASSERT_FALSE(track.keys.empty());
            EXPECT_TRUE(track.keys.front());
        }
    }
    std::sort(found.begin(), found.end());
    EXPECT_EQ(found, codecs);
}

// The target holds exactly the units the files give for the fragment, each at its own time on
// one clock that starts at the first of them.
void ExpectHoldsTheUnits(const std::string& target, const SExportFragment& fragment,
                         const std::vector<std::string>& files)
{
    const KcTest::SMp4Report report = KcTest::InspectMp4(target);
    ExpectPlayable(report, {"aac", "h264"});
    ASSERT_TRUE(report.Find("h264") && report.Find("aac"));
    const std::vector<double> video = WrittenTimes(files, kVideo, fragment.startTime, fragment.endTime);
    const std::vector<double> audio = WrittenTimes(files, kAudio, fragment.startTime, fragment.endTime);
    ASSERT_EQ(report.Find("h264")->ticks.size(), video.size());
    ASSERT_EQ(report.Find("aac")->ticks.size(), audio.size());
    const double origin = std::min(video.front(), audio.front());
    ExpectTicksFollowTimes(report.Find("h264")->ticks, 0, video, origin, 0);
    ExpectTicksFollowTimes(report.Find("aac")->ticks, 0, audio, origin, 0);
}

} // namespace

TEST_F(ExportRunTest, OneDayWithAudioAndVideo)
{
    const double t = Local(2026, 3, 1, 10, 0, 0);
    const std::string file = Write("a.kelm", Recording("CAM1", t, t + 30));
    // The window starts in the middle of a group of pictures.
    Prepare({file}, {Request("CAM1", t + 0.5, t + 25, Out())});
    SErrorInfo error;
    ASSERT_TRUE(m_storage.RunExport(&error)) << Narrow(error.message);

    const SExportFragment& fragment = Fragment(0, 0);
    EXPECT_TRUE(m_sync.errors.empty() && m_sync.warnings.empty());
    EXPECT_EQ(m_sync.targetStarts, std::vector<std::string>{TargetPath(fragment)});
    EXPECT_EQ(m_sync.targetEnds, std::vector<std::string>{Narrow(fragment.targetFileName)});

    const KcTest::SMp4Report report = KcTest::InspectMp4(TargetPath(fragment));
    ExpectPlayable(report, {"aac", "h264"});
    const std::vector<double> video = WrittenTimes({file}, kVideo, fragment.startTime, fragment.endTime);
    const std::vector<double> audio = WrittenTimes({file}, kAudio, fragment.startTime, fragment.endTime);
    ASSERT_TRUE(report.Find("h264") && report.Find("aac"));
    EXPECT_EQ(report.Find("h264")->ticks.size(), video.size());
    EXPECT_EQ(report.Find("aac")->ticks.size(), audio.size());
    // Half a second of pictures before the first sync sample is dropped.
    EXPECT_NEAR(video.front(), t + 1, 1e-6);
    EXPECT_LT(audio.front(), t + 0.6);
}

class ExportRunTimesTest : public ExportRunTest, public testing::WithParamInterface<double> {};

// A gap inside one file is kept at its real length, from two seconds to a camera that was off
// overnight while the file stayed open.
TEST_P(ExportRunTimesTest, SamplesKeepTheTimesOfTheirUnits)
{
    const double gap = GetParam();
    const double t = Local(2026, 3, 1, 10, 0, 0);
    KcTest::SRecordingOptions options = Recording("CAM1", t, t + 18 + gap);
    options.audioGaps.push_back({options.startUtc, options.startUtc + 1.5}); // sound starts later
    options.gaps.push_back({options.startUtc + 5, options.startUtc + 5 + gap});
    const std::string file = Write("a.kelm", options);
    Prepare({file}, {Request("CAM1", t, t + gap + 60, Out())});
    SErrorInfo error;
    ASSERT_TRUE(m_storage.RunExport(&error)) << Narrow(error.message);
    EXPECT_TRUE(m_sync.errors.empty()) << Narrow(m_sync.errors.front().message);

    const SExportFragment& fragment = Fragment(0, 0);
    const KcTest::SMp4Report report = KcTest::InspectMp4(TargetPath(fragment));
    ExpectPlayable(report, {"aac", "h264"});
    const std::vector<double> video = WrittenTimes({file}, kVideo, fragment.startTime, fragment.endTime);
    const std::vector<double> audio = WrittenTimes({file}, kAudio, fragment.startTime, fragment.endTime);
    ASSERT_TRUE(report.Find("h264") && report.Find("aac"));
    ASSERT_EQ(report.Find("h264")->ticks.size(), video.size());
    ASSERT_EQ(report.Find("aac")->ticks.size(), audio.size());
    const auto before = [&](const std::vector<double>& times) {
        return std::vector<double>(times.begin(), std::lower_bound(times.begin(), times.end(), t + 5));
    };
    const std::vector<double> video1 = before(video), audio1 = before(audio);
    const std::vector<double> video2(video.begin() + video1.size(), video.end());
    const std::vector<double> audio2(audio.begin() + audio1.size(), audio.end());
    const std::vector<int64_t>& videoTicks = report.Find("h264")->ticks;
    const std::vector<int64_t>& audioTicks = report.Find("aac")->ticks;
    ExpectTicksFollowTimes(videoTicks, 0, video1, video.front(), 0);
    ExpectTicksFollowTimes(audioTicks, 0, audio1, video.front(), 0);
    EXPECT_NEAR(static_cast<double>(audioTicks.front()), 1.5 * 48000, 1024);
    // Readers refuse 2^31 ticks and more between two samples: a gap longer than 12.4 h keeps
    // most of its length, and both tracks keep their distances after it.
    double originTime = video.front();
    int64_t originTick = 0;
    if (gap * 48000 >= INT32_MAX) {
        originTime = std::min(video2.front(), audio2.front());
        originTick = std::min(videoTicks[video1.size()], audioTicks[audio1.size()]);
        EXPECT_GT(originTick - videoTicks[video1.size() - 1], 12 * 3600 * 48000LL);
        EXPECT_LT(audioTicks[audio1.size()] - audioTicks[audio1.size() - 1], int64_t(INT32_MAX));
    }
    ExpectTicksFollowTimes(videoTicks, video1.size(), video2, originTime, originTick);
    ExpectTicksFollowTimes(audioTicks, audio1.size(), audio2, originTime, originTick);
    // The last picture lasts a picture, not the gap.
    EXPECT_LT(report.Find("h264")->durationTicks - report.Find("h264")->ticks.back(), 48000);
}

INSTANTIATE_TEST_SUITE_P(Gaps, ExportRunTimesTest, testing::Values(2.0, 13 * 3600.0));

// A file may hold several cameras one after the other; each camera's file holds its own frames
// only, from the shared file and from the next file of its own.
TEST_F(ExportRunTest, EachCameraGetsOnlyItsOwnFrames)
{
    const double t = Local(2026, 3, 1, 10, 0, 0);
    const KcTest::SRecordingOptions a1 = Recording("CAMA", t, t + 60);
    const KcTest::SRecordingOptions b = Recording("CAMB", t + 30, t + 90);
    const KcTest::SRecordingOptions a2 = Recording("CAMA", t + 60, t + 120);
    const std::string shared = m_scratch.Path("shared.kelm");
    {
        KcTest::CKelmWriter writer(shared);
        writer.WriteRecording(a1);
        writer.WriteRecording(b);
        ASSERT_TRUE(writer.Close());
    }
    const std::string next = Write("next.kelm", a2);
    // The same recordings one camera per file tell which units each MP4 must hold.
    const std::vector<std::vector<std::string>> alone = {{Write("alone-a1.kelm", a1), Write("alone-a2.kelm", a2)},
                                                         {Write("alone-b.kelm", b)}};
    Prepare({shared, next}, {Request("CAMA", t, t + 3600, Out("CAMA")), Request("CAMB", t, t + 3600, Out("CAMB"))});
    SErrorInfo error;
    ASSERT_TRUE(m_storage.RunExport(&error)) << Narrow(error.message);
    EXPECT_TRUE(m_sync.errors.empty() && m_sync.warnings.empty());

    for (size_t batch = 0; batch < 2; ++batch) {
        SCOPED_TRACE(Narrow(Fragment(batch, 0).targetFileName));
        ExpectHoldsTheUnits(TargetPath(Fragment(batch, 0)), Fragment(batch, 0), alone[batch]);
    }
}

// A day whose first file lacks one kind still gets that kind from its later files.
TEST_F(ExportRunTest, KindMissingFromTheFirstFileIsKept)
{
    const double t = Local(2026, 3, 1, 10, 0, 0);
    for (const bool bVideoFirst : {true, false}) {
        SCOPED_TRACE(bVideoFirst ? "video first" : "audio first");
        CKELMExport storage;
        CRecordingExportSync sync;
        storage.SetExportEventSync(&sync);
        KcTest::SRecordingOptions first = Recording("CAM1", t, t + 10);
        (bVideoFirst ? first.audio : first.video) = false;
        const std::string prefix = bVideoFirst ? "v-" : "a-";
        const std::string a = Write(prefix + "a.kelm", first);
        const std::string b = Write(prefix + "b.kelm", Recording("CAM1", t + 10, t + 20));
        LoadAndSetOffset(storage, {a, b});
        SErrorInfo error;
        ASSERT_TRUE(
            storage.PrepareExportFragments(Request("CAM1", t, t + 60, Out(prefix + "CAM1")), nullptr, nullptr, &error));
        ASSERT_TRUE(storage.RunExport(&error)) << Narrow(error.message);
        EXPECT_TRUE(sync.errors.empty());

        const SExportFragment& fragment = storage.GetExportBatches().at(0).fragments.at(0);
        ExpectHoldsTheUnits(TargetPath(fragment), fragment, {a, b});
    }
}

class ExportRunGapTest : public ExportRunTest, public testing::WithParamInterface<double> {};

// Time between two files is kept up to half a second; a longer gap is closed for both tracks at
// once, so they stay in sync.
TEST_P(ExportRunGapTest, GapBetweenFiles)
{
    const double gap = GetParam();
    const double t = Local(2026, 3, 1, 10, 0, 0);
    const std::string first = Write("a.kelm", Recording("CAM1", t, t + 10));
    const std::string second = Write("b.kelm", Recording("CAM1", t + 10 + gap, t + 20 + gap));
    Prepare({first, second}, {Request("CAM1", t, t + 60, Out())});
    SErrorInfo error;
    ASSERT_TRUE(m_storage.RunExport(&error)) << Narrow(error.message);

    const SExportFragment& fragment = Fragment(0, 0);
    const KcTest::SMp4Report report = KcTest::InspectMp4(TargetPath(fragment));
    ExpectPlayable(report, {"aac", "h264"});
    const KcTest::STrackReport& video = *report.Find("h264");
    const KcTest::STrackReport& audio = *report.Find("aac");
    const std::vector<double> video1 = WrittenTimes({first}, kVideo, fragment.startTime, fragment.endTime);
    const std::vector<double> audio1 = WrittenTimes({first}, kAudio, fragment.startTime, fragment.endTime);
    const std::vector<double> video2 = WrittenTimes({second}, kVideo, fragment.startTime, fragment.endTime);
    const std::vector<double> audio2 = WrittenTimes({second}, kAudio, fragment.startTime, fragment.endTime);
    ASSERT_EQ(video.ticks.size(), video1.size() + video2.size());
    ASSERT_EQ(audio.ticks.size(), audio1.size() + audio2.size());
    ExpectTicksFollowTimes(video.ticks, 0, video1, video1.front(), 0);
    ExpectTicksFollowTimes(audio.ticks, 0, audio1, video1.front(), 0);

    double originTime = video1.front();
    int64_t originTick = 0;
    if (gap > 0.5) {
        const size_t v = video1.size() - 1;
        const size_t a = audio1.size() - 1;
        originTick = std::max(2 * video.ticks[v] - video.ticks[v - 1], 2 * audio.ticks[a] - audio.ticks[a - 1]);
        originTime = std::min(video2.front(), audio2.front());
        EXPECT_EQ(std::min(video.ticks[v + 1], audio.ticks[a + 1]), originTick);
    }
    ExpectTicksFollowTimes(video.ticks, video1.size(), video2, originTime, originTick);
    ExpectTicksFollowTimes(audio.ticks, audio1.size(), audio2, originTime, originTick);
}

INSTANTIATE_TEST_SUITE_P(Gaps, ExportRunGapTest, testing::Values(0.3, 10.0));

TEST_F(ExportRunTest, SpanOverMidnightGivesOneFilePerDay)
{
    const std::string a = Write("a.kelm", Recording("CAM1", Local(2026, 3, 1, 22, 0, 0), Local(2026, 3, 1, 22, 0, 5)));
    // Midnight falls inside a group of pictures: the second day starts at the next sync sample.
    const std::string b =
        Write("b.kelm", Recording("CAM1", Local(2026, 3, 1, 23, 59, 50.5), Local(2026, 3, 2, 0, 0, 10)));
    const std::string c = Write("c.kelm", Recording("CAM1", Local(2026, 3, 2, 1, 59, 55), Local(2026, 3, 2, 2, 0, 0)));
    Prepare({a, b, c}, {Request("CAM1", Local(2026, 3, 1, 22, 0, 0), Local(2026, 3, 2, 2, 0, 0), Out())});
    int clockCalls = 0;
    m_storage.SetClock([&clockCalls] {
        const int call = clockCalls++; // a quarter of a second per reading
        return KELMNameSpace::SClockTime{1000 + call / 4, static_cast<uint32_t>(250 * (call % 4))};
    });
    SErrorInfo error;
    ASSERT_TRUE(m_storage.RunExport(&error)) << Narrow(error.message);

    EXPECT_EQ(m_scratch.FilesUnder("out"), (std::vector<std::string>{"CAM1/CAM1_1_01.03.26_22.00-00.00.mp4",
                                                                     "CAM1/CAM1_1_02.03.26_00.00-02.00.mp4"}));
    const std::vector<std::vector<std::string>> files = {{a, b}, {b, c}};
    for (size_t day = 0; day < 2; ++day) {
        const SExportFragment& fragment = Fragment(0, day);
        SCOPED_TRACE(Narrow(fragment.targetFileName));
        const KcTest::SMp4Report report = KcTest::InspectMp4(TargetPath(fragment));
        ExpectPlayable(report, {"aac", "h264"});
        ASSERT_TRUE(report.Find("h264") && report.Find("aac"));
        EXPECT_EQ(report.Find("h264")->ticks.size(),
                  WrittenTimes(files[day], kVideo, fragment.windowStart, fragment.windowEnd).size());
        EXPECT_EQ(report.Find("aac")->ticks.size(),
                  WrittenTimes(files[day], kAudio, fragment.windowStart, fragment.windowEnd).size());
    }

    // Progress: the run's share only grows and ends complete; so does the batch's, across its two
    // targets; the remaining time is known once a clock second has passed.
    const std::vector<SProgress>& progress = m_sync.progress;
    ASSERT_FALSE(progress.empty());
    EXPECT_FALSE(progress.front().remaining.bValid);
    EXPECT_TRUE(progress.back().remaining.bValid);
    uint64_t fileBytes = 0;
    for (const KELMNameSpace::SFileRecord& file : m_storage.GetExportBatches()[0].files)
        fileBytes += file.fileSize;
    EXPECT_EQ(progress.back().totalBytes, fileBytes);
    EXPECT_EQ(progress.back().totalPercent, 100.0f);
    std::vector<std::wstring> targetNames;
    for (size_t i = 1; i < progress.size(); ++i) {
        EXPECT_GE(progress[i].totalPercent, progress[i - 1].totalPercent) << i;
        EXPECT_GE(progress[i].batchPercent, progress[i - 1].batchPercent) << i;
        if (!progress[i].targetName.empty() && (targetNames.empty() || targetNames.back() != progress[i].targetName))
            targetNames.push_back(progress[i].targetName);
    }
    EXPECT_EQ(targetNames, (std::vector<std::wstring>{Fragment(0, 0).targetFileName, Fragment(0, 1).targetFileName}));
}

struct SStreamCase {
    const char* name;
    int32_t audioCodec;
    int32_t videoCodec;
    std::vector<uint8_t> videoConfig; // empty: the sample's
    std::vector<std::pair<int32_t, std::string>> warnings;
    int32_t errorCode; // 0: none; else the first error's code
    std::vector<std::string> codecs;
};

class ExportRunStreamTest : public ExportRunTest, public testing::WithParamInterface<SStreamCase> {};

// Streams that cannot be converted are warned about; the rest of the file still is.
TEST_P(ExportRunStreamTest, UnusableStreamIsLeftOut)
{
    const SStreamCase& c = GetParam();
    const double t = Local(2026, 3, 1, 10, 0, 0);
    KcTest::SRecordingOptions options = Recording("CAM1", t, t + 5);
    options.audioCodec = c.audioCodec;
    options.videoCodec = c.videoCodec;
    if (!c.videoConfig.empty())
        options.videoEsInfo = KcTest::DecoderConfigInfo(c.videoConfig);
    Prepare({Write("a.kelm", options)}, {Request("CAM1", t, t + 60, Out())});
    SErrorInfo error;
    ASSERT_TRUE(m_storage.RunExport(&error)) << Narrow(error.message);

    std::vector<std::pair<int32_t, std::string>> warnings;
    for (const SErrorInfo& warning : m_sync.warnings)
        warnings.emplace_back(warning.code, Narrow(warning.message));
    EXPECT_EQ(warnings, c.warnings);
    EXPECT_EQ(m_sync.errors.empty() ? 0 : m_sync.errors.front().code, c.errorCode);
    ExpectPlayable(KcTest::InspectMp4(TargetPath(Fragment(0, 0))), c.codecs);
}

const SStreamCase kStreamCases[] = {
    {"AdtsAudio",
     kelm::ADTSAACAudio,
     kelm::H264Video,
     {},
     {{29, "Audio codec 'ADTSAACAudio' not supported"}},
     0,
     {"h264"}},
    {"AnnexBVideo",
     kelm::RawAACAudio,
     kelm::AnnexBH264Video,
     {},
     {{29, "Video codec 'AnnexBH264Video' not supported"}},
     0,
     {"aac"}},
    {"ShortSetupData",
     kelm::RawAACAudio,
     kelm::H264Video,
     {1, 0x64, 0},
     {{14, "H264ParamsSets get error: Too small decoder setup data size"}},
     14,
     {"aac"}},
    {"SetupDataFormatId",
     kelm::RawAACAudio,
     kelm::H264Video,
     {0, 0x64, 0, 0x0D, 0xFF, 0xE1, 0, 0},
     {{14, "H264ParamsSets get error: Invalid decoder setup data format ID"}},
     14,
     {"aac"}},
};

INSTANTIATE_TEST_SUITE_P(Cases, ExportRunStreamTest, testing::ValuesIn(kStreamCases),
                         [](const testing::TestParamInfo<SStreamCase>& caseInfo) {
                             return std::string(caseInfo.param.name);
                         });

TEST_F(ExportRunTest, TargetDirectoryThatCannotBeCreated)
{
    const double t = Local(2026, 3, 1, 10, 0, 0);
    const std::string blocker = m_scratch.Path("blocker");
    ASSERT_TRUE(KcTest::CKelmWriter(blocker).Close());
    Prepare({Write("a.kelm", Recording("CAM1", t, t + 5))}, {Request("CAM1", t, t + 60, blocker + "/sub/")});
    SErrorInfo error;
    ASSERT_TRUE(m_storage.RunExport(&error)) << Narrow(error.message);

    ASSERT_EQ(m_sync.errors.size(), 1u);
    EXPECT_EQ(Narrow(m_sync.errors[0].message).rfind("Target path '" + blocker + "/sub/' creation error: ", 0), 0u)
        << Narrow(m_sync.errors[0].message);
    EXPECT_TRUE(m_sync.targetEnds.empty());
    EXPECT_EQ(m_sync.Count("BatchEnd"), 1u);
    EXPECT_EQ(m_sync.Count("ExportEnd"), 1u);
}

TEST_F(ExportRunTest, FullDeviceDeletesTheTarget)
{
    const double t = Local(2026, 3, 1, 10, 0, 0);
    // Full-size frames, so that the disk fills while samples are written, past the write buffer.
    KcTest::SRecordingOptions recording = Recording("CAM1", t, t + 40);
    recording.payload = KcTest::EPayload::Synthetic;
    Prepare({Write("a.kelm", recording)}, {Request("CAM1", t, t + 60, Out())});
    const std::string target = TargetPath(Fragment(0, 0));

    // The limit applies to the child only, which reports through a pipe.
    std::string result;
    ASSERT_TRUE(KcTest::RunWithFileSizeLimit(
        300 * 1024,
        [&]() {
            SErrorInfo error;
            std::string text = m_storage.RunExport(&error) ? "ok" : "failed";
            for (const SErrorInfo& reported : m_sync.errors)
                text += "\n" + std::to_string(reported.code) + "|" + Narrow(reported.message);
            text += "\nends " + std::to_string(m_sync.targetEnds.size());
            return text;
        },
        result));

    // One report for the target, not one per unit that could not be written; whichever track's
    // sample filled the device, the file named is the partial one.
    const auto expected = [&](const char* pTrack) {
        return std::string("ok\n24|") + pTrack + " sample write error: File '" + target
               + ".part' write error: Not enough space on storage device or file exceeds the file size limit"
                 "\nends 0";
    };
    EXPECT_TRUE(result == expected("Video") || result == expected("Audio")) << result;
    EXPECT_FALSE(std::filesystem::exists(target));
    EXPECT_FALSE(std::filesystem::exists(target + ".part"));
}

TEST_F(ExportRunTest, TargetWithoutASyncSampleIsDeleted)
{
    const double t = Local(2026, 3, 1, 10, 0, 0);
    const std::string path = m_scratch.Path("a.kelm");
    {
        const KcTest::SMediaSample& sample = KcTest::MediaSample();
        KcTest::CKelmWriter writer(path);
        writer.WriteStream();
        writer.WriteVideoES(kVideo);
        for (size_t i = 1; i < sample.video.size() && !sample.video[i].key; ++i)
            writer.WriteUnitAt(kVideo, t - kOffset + 0.04 * static_cast<double>(i), sample.video[i].data);
        writer.WriteFinished();
        ASSERT_TRUE(writer.Close());
    }
    Prepare({path}, {Request("CAM1", t, t + 60, Out())});
    SErrorInfo error;
    ASSERT_TRUE(m_storage.RunExport(&error)) << Narrow(error.message);

    ASSERT_EQ(m_sync.errors.size(), 1u);
    EXPECT_EQ(m_sync.errors[0].code, 21);
    EXPECT_EQ(Narrow(m_sync.errors[0].message), "Zero number of audio and video frames in the target file");
    EXPECT_EQ(m_sync.targetStarts.size(), 1u);
    EXPECT_TRUE(m_sync.targetEnds.empty());
    EXPECT_TRUE(m_scratch.FilesUnder("out").empty());
}

TEST_F(ExportRunTest, RunNeedsLoadedContentAndPreparedBatches)
{
    SErrorInfo error;
    EXPECT_FALSE(m_storage.RunExport(&error));
    EXPECT_EQ(error.code, 28);
    EXPECT_EQ(Narrow(error.message), "Content not loaded");

    const double t = Local(2026, 3, 1, 10, 0, 0);
    LoadAndSetOffset(m_storage, {Write("a.kelm", Recording("CAM1", t, t + 1))});
    EXPECT_FALSE(m_storage.RunExport(&error));
    EXPECT_EQ(error.code, 21);
    EXPECT_EQ(Narrow(error.message), "No prepared fragments");
    EXPECT_TRUE(m_sync.events.empty());
}

// Two batches whose files make every report happen: an unsupported sound stream (Warning), a file
// cut after loading (FileWarning), one deleted after loading (FileError) and a camera whose
// pictures never start (Error).
class ExportRunStopTest : public ExportRunTest, public testing::WithParamInterface<std::pair<const char*, size_t>> {
protected:
    void PrepareEveryReport()
    {
        const double t = Local(2026, 3, 1, 10, 0, 0);
        KcTest::SRecordingOptions adts = Recording("CAM1", t, t + 4);
        adts.audioCodec = kelm::ADTSAACAudio;
        const std::string cut = Write("c.kelm", Recording("CAM1", t + 20, t + 24));
        const std::string gone = Write("d.kelm", Recording("CAM1", t + 30, t + 34));
        KcTest::SRecordingOptions stillborn = Recording("CAM2", t, t + 4);
        stillborn.audio = false;
        stillborn.videoEsInfo = KcTest::DecoderConfigInfo({1, 0x64, 0, 0x0D, 0xFF}); // no picture size
        Prepare({Write("a.kelm", adts), Write("b.kelm", Recording("CAM1", t + 10, t + 14)), cut, gone,
                 Write("e.kelm", stillborn)},
                {Request("CAM1", t, t + 60, Out("CAM1")), Request("CAM2", t, t + 60, Out("CAM2"))});
        std::filesystem::resize_file(cut, std::filesystem::file_size(cut) - 10);
        std::filesystem::remove(gone);
    }
};

TEST_F(ExportRunStopTest, EveryReportInItsOrder)
{
    PrepareEveryReport();
    SErrorInfo error;
    ASSERT_TRUE(m_storage.RunExport(&error)) << Narrow(error.message);
    std::vector<std::string> kinds = m_sync.Kinds();
    kinds.erase(std::remove(kinds.begin(), kinds.end(), "Progress"), kinds.end());
    EXPECT_EQ(kinds, (std::vector<std::string>{"ExportStart", "BatchStart", "FileStart", "Warning",     "TargetStart",
                                               "FileDone",    "FileStart",  "FileDone",  "FileStart",   "FileWarning",
                                               "FileDone",    "FileStart",  "FileError", "TargetEnd",   "BatchEnd",
                                               "BatchStart",  "FileStart",  "Warning",   "TargetStart", "Error",
                                               "FileDone",    "Error",      "BatchEnd",  "ExportEnd"}));
    EXPECT_EQ(m_scratch.FilesUnder("out").size(), 1u);
}

// Whatever report answers false, the run stops there with "Cancelled", and only the targets that
// were completed are left.
TEST_P(ExportRunStopTest, StopsAtTheReport)
{
    PrepareEveryReport();
    m_sync.stopKind = GetParam().first;
    m_sync.stopAt = GetParam().second;
    SErrorInfo error;
    EXPECT_FALSE(m_storage.RunExport(&error));
    EXPECT_EQ(error.code, 4);
    EXPECT_EQ(Narrow(error.message), "Cancelled");
    ASSERT_FALSE(m_sync.events.empty());
    EXPECT_EQ(m_sync.events.back().first, m_sync.stopKind);
    EXPECT_EQ(m_sync.Count(m_sync.stopKind), m_sync.stopAt);

    std::vector<std::string> left;
    for (const std::string& file : m_scratch.FilesUnder("out"))
        left.push_back(std::filesystem::path(file).filename().string());
    EXPECT_EQ(left, m_sync.targetEnds);
    // The day's first file has no usable sound, its later files do: the sound is not lost.
    for (const std::string& file : m_scratch.FilesUnder("out"))
        ExpectPlayable(KcTest::InspectMp4(m_scratch.Path("out/" + file)), {"aac", "h264"});
}

INSTANTIATE_TEST_SUITE_P(Reports, ExportRunStopTest,
                         testing::Values(std::make_pair("ExportStart", 1), std::make_pair("BatchStart", 1),
                                         std::make_pair("FileStart", 2), std::make_pair("Warning", 1),
                                         std::make_pair("TargetStart", 1), std::make_pair("Progress", 60),
                                         std::make_pair("FileDone", 1), std::make_pair("FileWarning", 1),
                                         std::make_pair("FileError", 1), std::make_pair("TargetEnd", 1),
                                         std::make_pair("BatchEnd", 1), std::make_pair("Error", 1),
                                         std::make_pair("ExportEnd", 1)),
                         [](const testing::TestParamInfo<std::pair<const char*, size_t>>& caseInfo) {
                             return std::string(caseInfo.param.first);
                         });
