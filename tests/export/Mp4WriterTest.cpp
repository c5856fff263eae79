#include "export/Mp4Writer.h"

#include "ChildProcess.h"
#include "MediaSample.h"
#include "Mp4Check.h"
#include "TempDir.h"
#include "TestText.h"
#include "container/TextConvert.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

extern "C" {
#include <libavutil/log.h>
}

using namespace KELMNameSpace;
using KcTest::Narrow;
using UtilsNameSpace::CMp4FileProvider;
using UtilsNameSpace::SErrorInfo;

namespace {

constexpr uint64_t kVideoInterval = kMp4TicksPerSecond / 25; // the sample's frame rate
constexpr uint64_t kAudioInterval = 1024;                    // AAC frame at 48 kHz

class CLogCollector : public ILibraryLogSink {
public:
    CLogCollector() { SetLibraryLogSink(this); }
    ~CLogCollector() override { SetLibraryLogSink(nullptr); }
    void OnLibraryLog(bool bError, const std::wstring& message) override { m_messages.emplace_back(bError, message); }
    std::vector<std::pair<bool, std::wstring>> m_messages;
};

struct SWritePlan {
    bool bDeclareVideo = true;
    bool bDeclareAudio = true;
    bool bWriteVideo = true;
    bool bWriteAudio = true;
    uint64_t audioStart = 0; // ticks
    // Samples announced for room for the index at the front (none: a second pass moves it).
    uint64_t announcedVideo = 0;
    uint64_t announcedAudio = 0;
};

class Mp4WriterTest : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_folder.Valid()); }

    // Writes the sample's units in time order, as an export delivers them.
    void WriteSample(const std::string& path, const SWritePlan& plan)
    {
        const KcTest::SMediaSample& sample = KcTest::MediaSample();
        SErrorInfo error;
        ASSERT_TRUE(m_writer.Create(UtilsNameSpace::Utf8ToWide(path), &error)) << Narrow(error.message);
        m_writer.SetExpectedSamples(plan.announcedVideo, plan.announcedAudio);
        if (plan.bDeclareVideo) {
            ASSERT_TRUE(m_writer.AddVideoTrack(sample.sps, sample.pps, &error)) << Narrow(error.message);
        }
        if (plan.bDeclareAudio) {
            ASSERT_TRUE(
                m_writer.AddAudioTrack(sample.audioSpecificConfig.data(), sample.audioSpecificConfig.size(), &error))
                << Narrow(error.message);
        }
        ASSERT_TRUE(m_writer.WriteHeader(&error)) << Narrow(error.message);

        const size_t videoCount = plan.bWriteVideo ? sample.video.size() : 0;
        const size_t audioCount = plan.bWriteAudio ? sample.audio.size() : 0;
        size_t v = 0;
        size_t a = 0;
        while (v < videoCount || a < audioCount) {
            const uint64_t videoTick = v * kVideoInterval;
            const uint64_t audioTick = plan.audioStart + a * kAudioInterval;
            if (v < videoCount && (a >= audioCount || videoTick <= audioTick)) {
                const KcTest::SPacket& packet = sample.video[v++];
                ASSERT_TRUE(m_writer.WriteSample(EMp4Track::Video, packet.data.data(), packet.data.size(), videoTick,
                                                 IsSyncSample(packet.data.data(), packet.data.size()), &error))
                    << Narrow(error.message);
            } else {
                const KcTest::SPacket& packet = sample.audio[a++];
                ASSERT_TRUE(m_writer.WriteSample(EMp4Track::Audio, packet.data.data(), packet.data.size(), audioTick,
                                                 true, &error))
                    << Narrow(error.message);
            }
        }
        ASSERT_TRUE(m_writer.Close(&error)) << Narrow(error.message);
    }

    static std::vector<int64_t> Ticks(size_t count, uint64_t start, uint64_t interval)
    {
        std::vector<int64_t> ticks;
        for (size_t i = 0; i < count; ++i)
            ticks.push_back(static_cast<int64_t>(start + i * interval));
        return ticks;
    }

    KcTest::CTempDir m_folder;
    CMp4FileProvider m_provider;
    CMp4Writer m_writer{m_provider};
};

TEST_F(Mp4WriterTest, BothTracksDecodeAtTheirTicks)
{
    const KcTest::SMediaSample& sample = KcTest::MediaSample();
    const std::string path = m_folder.Path("both.mp4");
    {
        CLogCollector log;
        WriteSample(path, SWritePlan());
        EXPECT_TRUE(log.m_messages.empty()) << Narrow(log.m_messages.front().second);
    }

    const KcTest::SMp4Report report = KcTest::InspectMp4(path);
    ASSERT_TRUE(report.bOpened);
    ASSERT_EQ(report.tracks.size(), 2u);
    EXPECT_EQ(report.libraryErrors, 0);

    const KcTest::STrackReport* pVideo = report.Find("h264");
    ASSERT_NE(pVideo, nullptr);
    EXPECT_EQ(pVideo->ticks, Ticks(sample.video.size(), 0, kVideoInterval));
    EXPECT_EQ(pVideo->frames, static_cast<int>(sample.video.size()));
    EXPECT_EQ(pVideo->decodeErrors, 0);
    ASSERT_FALSE(pVideo->keys.empty());
    EXPECT_TRUE(pVideo->keys.front());
    for (size_t i = 0; i < sample.video.size() && i < pVideo->keys.size(); ++i)
        EXPECT_EQ(pVideo->keys[i], sample.video[i].key) << i;
    EXPECT_EQ(pVideo->width, sample.width);
    EXPECT_EQ(pVideo->height, sample.height);
    // The last sample lasts as long as the interval before it.
    EXPECT_EQ(pVideo->durationTicks, static_cast<int64_t>(sample.video.size() * kVideoInterval));

    const KcTest::STrackReport* pAudio = report.Find("aac");
    ASSERT_NE(pAudio, nullptr);
    EXPECT_EQ(pAudio->ticks, Ticks(sample.audio.size(), 0, kAudioInterval));
    EXPECT_EQ(pAudio->frames, static_cast<int>(sample.audio.size()));
    EXPECT_EQ(pAudio->decodeErrors, 0);
    EXPECT_EQ(pAudio->sampleRate, sample.sampleRate);
    EXPECT_EQ(pAudio->channels, sample.channels);
    EXPECT_EQ(pAudio->durationTicks, static_cast<int64_t>(sample.audio.size() * kAudioInterval));
}

TEST_F(Mp4WriterTest, AudioStartingLaterStartsLaterInTheFile)
{
    const std::string path = m_folder.Path("late-audio.mp4");
    SWritePlan plan;
    plan.audioStart = 36000; // three quarters of a second
    WriteSample(path, plan);

    const KcTest::SMp4Report report = KcTest::InspectMp4(path);
    const KcTest::STrackReport* pVideo = report.Find("h264");
    const KcTest::STrackReport* pAudio = report.Find("aac");
    ASSERT_TRUE(pVideo && pAudio);
    EXPECT_EQ(pVideo->ticks.front(), 0);
    EXPECT_EQ(pAudio->ticks, Ticks(KcTest::MediaSample().audio.size(), plan.audioStart, kAudioInterval));
    EXPECT_EQ(pAudio->decodeErrors + pVideo->decodeErrors + report.libraryErrors, 0);
}

struct STrackPlanCase {
    const char* name;
    SWritePlan plan;
    std::vector<std::string> codecs; // the tracks the file holds
    bool bSecondPass = false;        // the room kept for the index was too small
};

// A track declared at the first sample may never get one (its stream ends before another
// starts): the file must still play, without that track.
const STrackPlanCase kTrackPlanCases[] = {
    {"VideoOnly", {true, false, true, false, 0}, {"h264"}},
    {"AudioOnly", {false, true, false, true, 0}, {"aac"}},
    {"DeclaredAudioUnused", {true, true, true, false, 0}, {"h264"}},
    {"DeclaredVideoUnused", {true, true, false, true, 0}, {"aac"}},
    // Whether the index fits the room kept for it or not, it ends up in front of the media.
    {"RoomKeptForTheIndex", {true, true, true, true, 0, 5000, 5000}, {"h264", "aac"}},
    {"TooLittleRoomForTheIndex", {true, true, true, true, 0, 1, 1}, {"h264", "aac"}, true},
    {"TooLittleRoomForTheAudioIndex", {false, true, false, true, 0, 0, 1}, {"aac"}, true},
};

class Mp4WriterTrackPlan : public Mp4WriterTest, public testing::WithParamInterface<STrackPlanCase> {};

TEST_P(Mp4WriterTrackPlan, HoldsTheTracksThatGotSamples)
{
    const std::string path = m_folder.Path("plan.mp4");
    WriteSample(path, GetParam().plan);

    const KcTest::SMp4Report report = KcTest::InspectMp4(path);
    ASSERT_TRUE(report.bOpened);
    std::vector<std::string> codecs;
    for (const KcTest::STrackReport& track : report.tracks) {
        codecs.push_back(track.codec);
        EXPECT_GT(track.frames, 0) << track.codec;
        EXPECT_EQ(static_cast<size_t>(track.frames), track.ticks.size()) << track.codec;
        EXPECT_EQ(static_cast<size_t>(track.frames),
                  track.codec == "h264" ? KcTest::MediaSample().video.size() : KcTest::MediaSample().audio.size());
        EXPECT_EQ(track.decodeErrors, 0) << track.codec;
    }
    EXPECT_EQ(codecs, GetParam().codecs);
    EXPECT_EQ(report.libraryErrors, 0);
    EXPECT_TRUE(report.bIndexFirst);
    EXPECT_EQ(m_writer.UsedSecondPass(), GetParam().bSecondPass);
}

INSTANTIATE_TEST_SUITE_P(Cases, Mp4WriterTrackPlan, testing::ValuesIn(kTrackPlanCases),
                         [](const testing::TestParamInfo<STrackPlanCase>& caseInfo) {
                             return std::string(caseInfo.param.name);
                         });

// A sample of zero length is dropped by players, and a lone sample has no interval before it.
TEST_F(Mp4WriterTest, LoneSamplesArePlayed)
{
    const KcTest::SMediaSample& sample = KcTest::MediaSample();
    for (EMp4Track kind : {EMp4Track::Video, EMp4Track::Audio}) {
        const bool bVideo = kind == EMp4Track::Video;
        const std::string path = m_folder.Path(bVideo ? "lone-video.mp4" : "lone-audio.mp4");
        SErrorInfo error;
        ASSERT_TRUE(m_writer.Create(UtilsNameSpace::Utf8ToWide(path), &error));
        ASSERT_TRUE(bVideo ? m_writer.AddVideoTrack(sample.sps, sample.pps, &error)
                           : m_writer.AddAudioTrack(sample.audioSpecificConfig.data(),
                                                    sample.audioSpecificConfig.size(), &error));
        ASSERT_TRUE(m_writer.WriteHeader(&error));
        const KcTest::SPacket& packet = bVideo ? sample.video.front() : sample.audio.front();
        ASSERT_TRUE(m_writer.WriteSample(kind, packet.data.data(), packet.data.size(), 0, true, &error));
        ASSERT_TRUE(m_writer.Close(&error));

        const KcTest::SMp4Report report = KcTest::InspectMp4(path);
        ASSERT_EQ(report.tracks.size(), 1u);
        EXPECT_EQ(report.tracks[0].frames, 1) << report.tracks[0].codec;
        EXPECT_GT(report.tracks[0].durationTicks, 0) << report.tracks[0].codec;
    }
}

TEST_F(Mp4WriterTest, OneWriterServesTargetsInTurn)
{
    WriteSample(m_folder.Path("first.mp4"), SWritePlan());
    WriteSample(m_folder.Path("second.mp4"), SWritePlan());
    EXPECT_EQ(KcTest::InspectMp4(m_folder.Path("first.mp4")).tracks.size(), 2u);
    EXPECT_EQ(KcTest::InspectMp4(m_folder.Path("second.mp4")).tracks.size(), 2u);
}

TEST_F(Mp4WriterTest, CreationReportsTheFileSystemError)
{
    const std::string path = m_folder.Path("missing/target.mp4");
    SErrorInfo error;
    EXPECT_FALSE(m_writer.Create(UtilsNameSpace::Utf8ToWide(path), &error));
    EXPECT_EQ(error.code, 26);
    EXPECT_EQ(Narrow(error.message), "Target file creation error: File '" + path + "' path not found");
    EXPECT_FALSE(m_writer.IsOpen());
}

TEST_F(Mp4WriterTest, UnusableConfigurationsLeaveTheirTrackOut)
{
    const KcTest::SMediaSample& sample = KcTest::MediaSample();
    const std::string path = m_folder.Path("config.mp4");
    SErrorInfo error;
    ASSERT_TRUE(m_writer.Create(UtilsNameSpace::Utf8ToWide(path), &error));

    EXPECT_FALSE(m_writer.AddVideoTrack({}, sample.pps, &error));
    EXPECT_EQ(error.code, 14);
    EXPECT_EQ(Narrow(error.message).rfind("Video track creation error: ", 0), 0u) << Narrow(error.message);
    const uint8_t badConfig[] = {0x01, 0x88};
    EXPECT_FALSE(m_writer.AddAudioTrack(badConfig, sizeof(badConfig), &error));
    EXPECT_EQ(error.code, 14);
    EXPECT_EQ(Narrow(error.message).rfind("Audio decoder configuration set error: ", 0), 0u) << Narrow(error.message);
    SErrorInfo headerError;
    EXPECT_FALSE(m_writer.WriteHeader(&headerError)); // nothing to write yet

    ASSERT_TRUE(m_writer.AddAudioTrack(sample.audioSpecificConfig.data(), sample.audioSpecificConfig.size(), &error));
    ASSERT_TRUE(m_writer.WriteHeader(&error)) << Narrow(error.message);
    EXPECT_FALSE(m_writer.HasTrack(EMp4Track::Video));
    const KcTest::SPacket& frame = sample.audio.front();
    ASSERT_TRUE(m_writer.WriteSample(EMp4Track::Audio, frame.data.data(), frame.data.size(), 0, true, &error));
    // The muxer would reject a time that does not move forward, and a unit with nowhere to go.
    EXPECT_FALSE(m_writer.WriteSample(EMp4Track::Audio, frame.data.data(), frame.data.size(), 0, true, &error));
    EXPECT_EQ(error.code, 13);
    const KcTest::SPacket& picture = sample.video.front();
    EXPECT_FALSE(m_writer.WriteSample(EMp4Track::Video, picture.data.data(), picture.data.size(), 0, true, &error));
    EXPECT_EQ(Narrow(error.message).rfind("Video sample write error: ", 0), 0u) << Narrow(error.message);
    ASSERT_TRUE(m_writer.Close(&error)) << Narrow(error.message);

    const KcTest::SMp4Report report = KcTest::InspectMp4(path);
    ASSERT_EQ(report.tracks.size(), 1u);
    EXPECT_EQ(report.tracks[0].frames, 1);
}

TEST_F(Mp4WriterTest, AbortLeavesAFileWithoutIndex)
{
    const KcTest::SMediaSample& sample = KcTest::MediaSample();
    const std::string path = m_folder.Path("aborted.mp4");
    SErrorInfo error;
    ASSERT_TRUE(m_writer.Create(UtilsNameSpace::Utf8ToWide(path), &error));
    ASSERT_TRUE(m_writer.AddVideoTrack(sample.sps, sample.pps, &error));
    ASSERT_TRUE(m_writer.WriteHeader(&error));
    const KcTest::SPacket& picture = sample.video.front();
    ASSERT_TRUE(m_writer.WriteSample(EMp4Track::Video, picture.data.data(), picture.data.size(), 0, true, &error));
    m_writer.Abort();
    EXPECT_FALSE(m_writer.IsOpen());
    EXPECT_FALSE(m_provider.IsOpen());
    EXPECT_TRUE(KcTest::InspectMp4(path).tracks.empty());
}

// A file size limit makes the write fail like a full disk (EFBIG); the child process keeps the
// limit away from the test program.
TEST_F(Mp4WriterTest, FullStorageReportsTheProviderError)
{
    const KcTest::SMediaSample& sample = KcTest::MediaSample();
    const std::string path = m_folder.Path("full.mp4");
    std::string result;
    ASSERT_TRUE(KcTest::RunWithFileSizeLimit(
        100 * 1024,
        [&]() {
            SErrorInfo error;
            std::string text = "no failure";
            bool bOk = m_writer.Create(UtilsNameSpace::Utf8ToWide(path), &error)
                       && m_writer.AddVideoTrack(sample.sps, sample.pps, &error) && m_writer.WriteHeader(&error);
            for (uint64_t i = 0; bOk && i < 50 * sample.video.size(); ++i) {
                const KcTest::SPacket& packet = sample.video[i % sample.video.size()];
                bOk = m_writer.WriteSample(EMp4Track::Video, packet.data.data(), packet.data.size(), i * kVideoInterval,
                                           packet.key, &error);
            }
            if (!bOk)
                text = std::to_string(error.code) + "|" + Narrow(error.message);
            // Closing cannot write the index either, and says why.
            if (!m_writer.Close(&error))
                text += "\n" + std::to_string(error.code) + "|" + Narrow(error.message);
            return text;
        },
        result));
    const std::string reason =
        "File '" + path + "' write error: Not enough space on storage device or file exceeds the file size limit";
    EXPECT_EQ(result, "24|Video sample write error: " + reason + "\n24|Target file close error: " + reason);
}

struct SLogCase {
    const char* name;
    int level;
    const char* text;
    bool bReported;
    bool bError;
    const wchar_t* message;
};

const SLogCase kLogCases[] = {
    {"Error", AV_LOG_ERROR, "moov atom not written\n", true, true, L"libavformat error: moov atom not written"},
    {"Fatal", AV_LOG_FATAL, "gone", true, true, L"libavformat error: gone"},
    {"Warning", AV_LOG_WARNING, "odd timestamps\n", true, false, L"libavformat warning: odd timestamps"},
    {"Info", AV_LOG_INFO, "chatter\n", false, false, L""},
    {"Debug", AV_LOG_DEBUG, "details\n", false, false, L""},
};

class LibraryLog : public testing::TestWithParam<SLogCase> {};

TEST_P(LibraryLog, ReportsErrorsAndWarningsOnly)
{
    const SLogCase& c = GetParam();
    CLogCollector log;
    av_log(nullptr, c.level, "%s", c.text);
    if (!c.bReported) {
        EXPECT_TRUE(log.m_messages.empty());
        return;
    }
    ASSERT_EQ(log.m_messages.size(), 1u);
    EXPECT_EQ(log.m_messages[0].first, c.bError);
    EXPECT_EQ(log.m_messages[0].second, c.message);
}

INSTANTIATE_TEST_SUITE_P(Cases, LibraryLog, testing::ValuesIn(kLogCases),
                         [](const testing::TestParamInfo<SLogCase>& caseInfo) {
                             return std::string(caseInfo.param.name);
                         });

TEST(LibraryLogLength, IsCutAt65536Characters)
{
    CLogCollector log;
    const std::string longText(70000, 'x');
    av_log(nullptr, AV_LOG_ERROR, "%s", longText.c_str());
    ASSERT_EQ(log.m_messages.size(), 1u);
    EXPECT_EQ(log.m_messages[0].second.size(), std::wstring(L"libavformat error: ").size() + 65536);
}

} // namespace
