// Content loading: what the model holds after loading several files, which files end on the black
// list, and what a cancellation keeps.

#include "ContentTestSupport.h"

#include <algorithm>
#include <ostream>

using namespace KcContentTest;
using KELMNameSpace::BlackList;
using KELMNameSpace::SFileRecord;
using KELMNameSpace::SRecording;
using KELMNameSpace::SridMap;

namespace {

const SRecording* FindRecording(const SridMap& content, const std::wstring& srid)
{
    auto sridIt = content.find(srid);
    if (sridIt == content.end() || sridIt->second.size() != 1)
        return nullptr;
    auto recordingIt = sridIt->second.find(std::wstring());
    return recordingIt == sridIt->second.end() ? nullptr : &recordingIt->second;
}

uint64_t SumFrames(const std::vector<KELMNameSpace::SMediaPart>& parts)
{
    uint64_t frames = 0;
    for (const auto& part : parts)
        frames += part.frameCount;
    return frames;
}

class ContentLoadTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.Valid());
        m_storage.SetContentLoadEventSync(&m_sync);
    }

    std::string WriteFile(const std::string& name, const KcTest::SRecordingOptions& options,
                          KcTest::SWriteResult* pResult = nullptr)
    {
        const std::string path = m_dir.Path(name);
        KcTest::SWriteResult result = KcTest::WriteRecordingFile(path, options);
        EXPECT_TRUE(result.ok) << path;
        if (pResult)
            *pResult = result;
        return path;
    }

    bool Load(const std::vector<std::string>& paths) { return m_storage.LoadContent(WidePaths(paths), &m_error); }

    CTempDir m_dir;
    CKELMStorage m_storage;
    CRecordingSync m_sync;
    SErrorInfo m_error;
};

TEST_F(ContentLoadTest, MergesCamerasFilesAndPartsInLoadOrder)
{
    // One file of camera B, then camera A cut into two hourly files.
    KcTest::SWriteResult resultB;
    const std::string fileB = WriteFile("b.kelm", Recording("CAM_B", At(100), At(104)), &resultB);
    KcTest::SRecordingOptions optionsA = Recording("CAM_A", At(3594), At(3606));
    const KcTest::SWriteResult resultA = KcTest::WriteHourlyFiles(m_dir.Path(), optionsA);
    ASSERT_TRUE(resultA.ok);
    ASSERT_EQ(resultA.files.size(), 2u);

    ASSERT_TRUE(Load({fileB, resultA.files[0], resultA.files[1]})) << m_error.code;
    EXPECT_TRUE(m_storage.IsContentLoaded());
    EXPECT_TRUE(m_storage.GetBlackList().empty());
    EXPECT_TRUE(m_sync.warnings.empty());
    EXPECT_TRUE(m_sync.errors.empty());

    const SridMap& content = m_storage.GetSridMap();
    ASSERT_EQ(content.size(), 2u);
    EXPECT_EQ(content.begin()->first, L"CAM_A");

    // Numbering restarts per camera: each camera's only recording is its first.
    const SRecording* pA = FindRecording(content, L"CAM_A");
    const SRecording* pB = FindRecording(content, L"CAM_B");
    ASSERT_TRUE(pA && pB);
    EXPECT_EQ(pA->displayNumber, L"1");
    EXPECT_EQ(pB->displayNumber, L"1");

    // Camera A: one part per kind and file, in the order of the files.
    ASSERT_EQ(pA->videoParts.size(), 2u);
    ASSERT_EQ(pA->audioParts.size(), 2u);
    EXPECT_DOUBLE_EQ(pA->videoParts[0].startTime, resultA.video.firstTime);
    EXPECT_DOUBLE_EQ(pA->videoParts[1].endTime, resultA.video.lastTime);
    EXPECT_LT(pA->videoParts[0].endTime, pA->videoParts[1].startTime);
    EXPECT_LT(pA->audioParts[0].endTime, pA->audioParts[1].startTime);
    EXPECT_EQ(SumFrames(pA->videoParts), resultA.video.units);
    EXPECT_EQ(SumFrames(pA->audioParts), resultA.audio.units);
    EXPECT_EQ(pA->videoParts[0].payloadBytes + pA->videoParts[1].payloadBytes, resultA.video.payloadBytes);
    EXPECT_EQ(pA->videoParts[0].codec, static_cast<uint32_t>(KELMNameSpace::H264Video));
    EXPECT_EQ(pA->audioParts[0].codec, static_cast<uint32_t>(KELMNameSpace::RawAACAudio));
    EXPECT_DOUBLE_EQ(pA->videoStart, resultA.video.firstTime);
    EXPECT_DOUBLE_EQ(pA->videoEnd, resultA.video.lastTime);
    EXPECT_DOUBLE_EQ(pA->audioStart, resultA.audio.firstTime);
    EXPECT_DOUBLE_EQ(pA->audioEnd, resultA.audio.lastTime);

    ASSERT_EQ(pA->files.size(), 2u);
    for (uint32_t i = 0; i < 2; ++i) {
        auto fileIt = pA->files.find(Wide(resultA.files[i]));
        ASSERT_NE(fileIt, pA->files.end());
        const SFileRecord& file = fileIt->second;
        EXPECT_EQ(file.path, fileIt->first);
        EXPECT_EQ(file.inputIndex, i + 1);
        EXPECT_EQ(file.fileSize, FileSize(resultA.files[i]));
        EXPECT_EQ(file.videoParts, std::vector<uint32_t>{i});
        EXPECT_EQ(file.audioParts, std::vector<uint32_t>{i});
        const auto& video = pA->videoParts[i];
        const auto& audio = pA->audioParts[i];
        EXPECT_DOUBLE_EQ(file.startTime, std::min(video.startTime, audio.startTime));
        EXPECT_DOUBLE_EQ(file.endTime, std::max(video.endTime, audio.endTime));
    }

    EXPECT_EQ(SumFrames(pB->videoParts), resultB.video.units);
    EXPECT_EQ(pB->files.begin()->second.inputIndex, 0u);

    // Every file is sized first, then visited in input order; the first visit knows no size yet.
    const std::vector<std::string> expectedEvents = {
        "SizingStart", "Sized 0",     "Sized 1",    "Sized 2",     "SizingEnd",  "LoadStart", "FileStart 0",
        "FileDone 0",  "FileStart 1", "FileDone 1", "FileStart 2", "FileDone 2", "LoadEnd"};
    EXPECT_EQ(m_sync.events, expectedEvents);
    EXPECT_EQ(m_sync.startSizes, std::vector<uint64_t>(3, 0));
    EXPECT_EQ(m_sync.sizedFiles, 3u);
    EXPECT_EQ(m_sync.sizedTotal, resultB.fileBytes + resultA.fileBytes);
}

TEST_F(ContentLoadTest, FileWithSeveralStreamContextsGivesOnePartPerContext)
{
    const std::string path = m_dir.Path("two-contexts.kelm");
    KcTest::SWriteResult first;
    KcTest::SWriteResult second;
    {
        KcTest::CKelmWriter writer(path);
        // Audio first, so that the file's start comes from its second part.
        KcTest::SRecordingOptions early = Recording("CAM1", At(0), At(3));
        early.videoGaps.push_back({early.startUtc, early.startUtc + 1});
        writer.WriteRecording(early, &first);
        writer.WriteRecording(Recording("CAM1", At(60), At(62)), &second);
        ASSERT_TRUE(writer.Close());
    }

    ASSERT_TRUE(Load({path}));
    const SRecording* pRecording = FindRecording(m_storage.GetSridMap(), L"CAM1");
    ASSERT_NE(pRecording, nullptr);
    ASSERT_EQ(pRecording->videoParts.size(), 2u);
    ASSERT_EQ(pRecording->audioParts.size(), 2u);
    EXPECT_EQ(pRecording->videoParts[0].frameCount, first.video.units);
    EXPECT_EQ(pRecording->videoParts[1].frameCount, second.video.units);

    ASSERT_EQ(pRecording->files.size(), 1u);
    const SFileRecord& file = pRecording->files.begin()->second;
    EXPECT_EQ(file.videoParts, (std::vector<uint32_t>{0, 1}));
    EXPECT_EQ(file.audioParts, (std::vector<uint32_t>{0, 1}));
    ASSERT_LT(first.audio.firstTime, first.video.firstTime);
    EXPECT_DOUBLE_EQ(file.startTime, first.audio.firstTime);
    EXPECT_DOUBLE_EQ(file.endTime, std::max(second.video.lastTime, second.audio.lastTime));
    EXPECT_DOUBLE_EQ(pRecording->videoStart, first.video.firstTime);
    EXPECT_DOUBLE_EQ(pRecording->videoEnd, second.video.lastTime);
}

TEST_F(ContentLoadTest, UnsupportedCodecsWarnPerStreamAndLeaveAnEmptyRecording)
{
    KcTest::SRecordingOptions refused = Recording("CAM_X", At(0), At(2));
    refused.videoCodec = kelm::AnnexBH264Video;
    refused.audioCodec = kelm::ADTSAACAudio;
    const std::string refusedPath = WriteFile("refused.kelm", refused);
    // Usable video next to refused audio still makes the file useful.
    KcTest::SRecordingOptions halfRefused = Recording("CAM_Y", At(0), At(2));
    halfRefused.audioCodec = kelm::WavAudio;
    const std::string halfPath = WriteFile("half.kelm", halfRefused);

    ASSERT_TRUE(Load({refusedPath, halfPath}));
    EXPECT_EQ(m_storage.GetBlackList(), BlackList{0});

    ASSERT_EQ(m_sync.warnings.size(), 3u);
    EXPECT_EQ(m_sync.warnings[0].inputIndex, 0u);
    EXPECT_EQ(m_sync.warnings[0].path, Wide(refusedPath));
    EXPECT_EQ(m_sync.warnings[0].info.code, 29);
    EXPECT_EQ(m_sync.warnings[0].info.message, L"Video codec 'AnnexBH264Video' not supported");
    EXPECT_EQ(m_sync.warnings[1].info.code, 29);
    EXPECT_EQ(m_sync.warnings[1].info.message, L"Audio codec 'ADTSAACAudio' not supported");
    EXPECT_EQ(m_sync.warnings[2].inputIndex, 1u);
    EXPECT_EQ(m_sync.warnings[2].info.message, L"Audio codec 'WavAudio' not supported");

    // The camera is known, with its file but without any part.
    const SRecording* pRefused = FindRecording(m_storage.GetSridMap(), L"CAM_X");
    ASSERT_NE(pRefused, nullptr);
    EXPECT_TRUE(pRefused->videoParts.empty());
    EXPECT_TRUE(pRefused->audioParts.empty());
    ASSERT_EQ(pRefused->files.size(), 1u);
    EXPECT_EQ(pRefused->files.begin()->second.startTime, 0);
    EXPECT_EQ(pRefused->displayNumber, L"1");

    const SRecording* pHalf = FindRecording(m_storage.GetSridMap(), L"CAM_Y");
    ASSERT_NE(pHalf, nullptr);
    EXPECT_EQ(pHalf->videoParts.size(), 1u);
    EXPECT_TRUE(pHalf->audioParts.empty());
    EXPECT_TRUE(pHalf->files.begin()->second.audioParts.empty());
}

TEST_F(ContentLoadTest, FilesThatGiveNothingAreBlackListedAndLoadingGoesOn)
{
    // Streams declared but without a single unit: quietly useless.
    const std::string emptyStreams = m_dir.Path("no-units.kelm");
    {
        KcTest::CKelmWriter writer(emptyStreams);
        writer.WriteStream(kelm::TB90KHz, KcTest::SridInfo("CAM_EMPTY"));
        writer.WriteVideoES(1);
        writer.WriteAudioES(2);
        writer.WriteFinished();
        ASSERT_TRUE(writer.Close());
    }
    // A complete stream context followed by a header that does not parse: the file fails as a
    // whole, although the context before the damage was summarised.
    const std::string broken = m_dir.Path("broken.kelm");
    {
        KcTest::CKelmWriter writer(broken);
        writer.WriteRecording(Recording("CAM_BROKEN", At(0), At(2)));
        writer.WriteFault(KcTest::EFault::UnparsableHeader);
        ASSERT_TRUE(writer.Close());
    }
    const std::string missing = m_dir.Path("missing.kelm");
    const std::string good = WriteFile("good.kelm", Recording("CAM_GOOD", At(0), At(2)));

    ASSERT_TRUE(Load({emptyStreams, broken, good, missing})) << m_error.code;
    EXPECT_EQ(m_storage.GetBlackList(), (BlackList{0, 1, 3}));
    EXPECT_TRUE(m_sync.warnings.empty());

    const SridMap& content = m_storage.GetSridMap();
    ASSERT_EQ(content.size(), 1u);
    EXPECT_EQ(content.begin()->first, L"CAM_GOOD");

    // The broken file is reported once, by its parse; the missing one by sizing and by its parse.
    std::vector<uint32_t> reported;
    for (const SFileReport& error : m_sync.errors)
        reported.push_back(error.inputIndex);
    EXPECT_EQ(reported, (std::vector<uint32_t>{3, 1, 3}));
    EXPECT_EQ(m_sync.errors[1].info.code, 1);
    EXPECT_EQ(m_sync.errors[1].info.message, L"Protobuf data parsing error");
    EXPECT_EQ(m_sync.errors[0].info.code, 26);
    EXPECT_EQ(m_sync.errors[2].info.code, 26);
    EXPECT_FALSE(m_sync.Saw("FileDone 1"));
    EXPECT_TRUE(m_sync.Saw("FileDone 0"));
    EXPECT_TRUE(m_sync.Saw("LoadEnd"));
}

TEST_F(ContentLoadTest, ParserWarningsReachTheEventSyncAndItsAnswerDecides)
{
    KcTest::SRecordingOptions options = Recording("CAM1", At(0), At(2));
    options.finished = false;
    const std::string truncated = m_dir.Path("truncated.kelm");
    {
        KcTest::CKelmWriter writer(truncated);
        writer.WriteRecording(options);
        writer.WriteFault(KcTest::EFault::TruncatedInBinaryData);
        ASSERT_TRUE(writer.Close());
    }
    const std::string good = WriteFile("good.kelm", Recording("CAM2", At(0), At(2)));

    // Going on keeps what was read before the cut.
    ASSERT_TRUE(Load({truncated, good}));
    ASSERT_EQ(m_sync.warnings.size(), 1u);
    EXPECT_EQ(m_sync.warnings[0].inputIndex, 0u);
    EXPECT_EQ(m_sync.warnings[0].path, Wide(truncated));
    EXPECT_EQ(m_sync.warnings[0].info.code, 14);
    EXPECT_EQ(m_sync.warnings[0].info.message, L"Unexpected end of file before binary data read");
    EXPECT_TRUE(m_storage.GetBlackList().empty());
    EXPECT_EQ(m_storage.GetSridMap().size(), 2u);

    // Stopping there cancels the whole load.
    CRecordingSync stopping;
    stopping.cancelAt = "FileWarning 0";
    m_storage.SetContentLoadEventSync(&stopping);
    SErrorInfo error;
    EXPECT_FALSE(m_storage.LoadContent(WidePaths({truncated, good}), &error));
    EXPECT_EQ(error.code, 4);
    EXPECT_EQ(error.message, L"Cancelled");
    EXPECT_TRUE(m_storage.IsContentLoaded());
    EXPECT_EQ(m_storage.GetBlackList(), (BlackList{0, 1}));
    EXPECT_TRUE(m_storage.GetSridMap().empty());
    EXPECT_FALSE(stopping.Saw("FileError 0"));
}

TEST_F(ContentLoadTest, CodecWarningAnsweredFalseCancels)
{
    KcTest::SRecordingOptions refused = Recording("CAM_X", At(0), At(2));
    refused.videoCodec = kelm::MPEG2Video;
    const std::string refusedPath = WriteFile("refused.kelm", refused);
    const std::string good = WriteFile("good.kelm", Recording("CAM1", At(0), At(2)));

    m_sync.cancelAt = "FileWarning 0";
    EXPECT_FALSE(Load({refusedPath, good}));
    EXPECT_EQ(m_error.code, 4);
    EXPECT_EQ(m_storage.GetBlackList(), (BlackList{0, 1}));
    EXPECT_FALSE(m_sync.Saw("FileDone 0"));
    EXPECT_FALSE(m_sync.Saw("FileStart 1"));
    EXPECT_FALSE(m_sync.Saw("LoadEnd"));
}

// Five files of one camera; the load is stopped at various points.
struct SCancelCase {
    const char* name;
    std::string cancelAt; // event answered false; empty: the first progress report past the
                          // start of the third file
    bool bLoaded;         // the storage counts as loaded afterwards
    BlackList blackList;
    size_t videoParts;
};

void PrintTo(const SCancelCase& cancelCase, std::ostream* pStream)
{
    *pStream << cancelCase.name;
}

class ContentLoadCancelTest : public ContentLoadTest, public ::testing::WithParamInterface<SCancelCase> {};

TEST_P(ContentLoadCancelTest, KeepsWhatWasLoadedAndBlackListsTheRest)
{
    const SCancelCase& param = GetParam();
    std::vector<std::string> paths;
    for (int i = 0; i < 5; ++i)
        paths.push_back(WriteFile("part" + std::to_string(i) + ".kelm", Recording("CAM1", At(i * 10), At(i * 10 + 2))));

    if (param.cancelAt.empty())
        m_sync.onProgress = [](const SProgressCall& call) { return !(call.fileIndex == 2 && call.position > 0); };
    else
        m_sync.cancelAt = param.cancelAt;

    EXPECT_FALSE(Load(paths));
    EXPECT_EQ(m_error.code, 4);
    EXPECT_EQ(m_error.message, L"Cancelled");
    EXPECT_EQ(m_storage.IsContentLoaded(), param.bLoaded);
    EXPECT_EQ(m_storage.GetBlackList(), param.blackList);
    if (param.cancelAt != "LoadEnd") {
        EXPECT_FALSE(m_sync.Saw("LoadEnd"));
    }
    EXPECT_TRUE(m_sync.errors.empty());

    const SRecording* pRecording = FindRecording(m_storage.GetSridMap(), L"CAM1");
    if (param.videoParts == 0) {
        EXPECT_EQ(pRecording, nullptr);
        return;
    }
    ASSERT_NE(pRecording, nullptr);
    ASSERT_EQ(pRecording->videoParts.size(), param.videoParts);
    EXPECT_EQ(pRecording->files.size(), param.videoParts);
    // The parts kept are those of the first files, in order.
    for (size_t i = 1; i < param.videoParts; ++i)
        EXPECT_LT(pRecording->videoParts[i - 1].endTime, pRecording->videoParts[i].startTime);
}

INSTANTIATE_TEST_SUITE_P(CancelPoints, ContentLoadCancelTest,
                         ::testing::Values(SCancelCase{"SizingStart", "SizingStart", false, {}, 0},
                                           SCancelCase{"Sizing", "Sized 3", false, {}, 0},
                                           SCancelCase{"SizingEnd", "SizingEnd", false, {}, 0},
                                           SCancelCase{"LoadStart", "LoadStart", false, {}, 0},
                                           SCancelCase{"ThirdFileStart", "FileStart 2", true, {2, 3, 4}, 2},
                                           SCancelCase{"InsideThirdFile", "", true, {2, 3, 4}, 2},
                                           SCancelCase{"ThirdFileDone", "FileDone 2", true, {3, 4}, 3},
                                           SCancelCase{"LoadEnd", "LoadEnd", true, {}, 5}),
                         [](const ::testing::TestParamInfo<SCancelCase>& caseInfo) {
                             return std::string(caseInfo.param.name);
                         });

TEST_F(ContentLoadTest, NewLoadReplacesThePreviousContent)
{
    const std::string first = WriteFile("first.kelm", Recording("CAM1", At(0), At(2)));
    KcTest::SRecordingOptions refused = Recording("CAM2", At(0), At(2));
    refused.videoCodec = kelm::RawYUVPlanes;
    refused.audio = false;
    const std::string second = WriteFile("second.kelm", refused);

    ASSERT_TRUE(Load({second, first}));
    EXPECT_EQ(m_storage.GetSridMap().size(), 2u);
    EXPECT_EQ(m_storage.GetBlackList(), BlackList{0});

    ASSERT_TRUE(Load({first}));
    EXPECT_EQ(m_storage.GetSridMap().size(), 1u);
    EXPECT_TRUE(m_storage.GetBlackList().empty());
    const SRecording* pRecording = FindRecording(m_storage.GetSridMap(), L"CAM1");
    ASSERT_NE(pRecording, nullptr);
    EXPECT_EQ(pRecording->videoParts.size(), 1u);

    m_storage.ClearContent();
    EXPECT_FALSE(m_storage.IsContentLoaded());
    EXPECT_TRUE(m_storage.GetSridMap().empty());
    EXPECT_TRUE(m_storage.GetBlackList().empty());
}

TEST_F(ContentLoadTest, EmptyPathListLoadsNothingAndSucceeds)
{
    ASSERT_TRUE(Load({}));
    EXPECT_TRUE(m_storage.IsContentLoaded());
    EXPECT_TRUE(m_storage.GetSridMap().empty());
    EXPECT_TRUE(m_storage.GetBlackList().empty());
    EXPECT_TRUE(m_sync.progress.empty());
    EXPECT_EQ(m_sync.events, (std::vector<std::string>{"SizingStart", "SizingEnd", "LoadStart", "LoadEnd"}));
}

} // namespace
