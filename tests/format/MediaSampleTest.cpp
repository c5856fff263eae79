#include "FormatTestSupport.h"
#include "KelmWriter.h"
#include "Mp4Check.h"
#include "container/DecoderConfig.h"

extern "C" {
#include <libavcodec/avcodec.h>
}

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <functional>
#include <memory>
#include <vector>

using namespace KcFormatTest;

namespace {

struct SDecoded {
    int frames = 0;
    int errors = 0;
    int width = 0;
    int height = 0;
    int sampleRate = 0;
    int channels = 0;
};

struct SCodecFreer {
    void operator()(AVCodecContext* p) const { avcodec_free_context(&p); }
};
struct SFrameFreer {
    void operator()(AVFrame* p) const { av_frame_free(&p); }
};
struct SPacketFreer {
    void operator()(AVPacket* p) const { av_packet_free(&p); }
};

// Decodes packets as a player would, with the configuration as the ES record carries it; any
// error the decoder notices, concealed or not, counts.
SDecoded Decode(AVCodecID codecId, const std::vector<uint8_t>& config,
                const std::vector<const std::vector<uint8_t>*>& packets)
{
    SDecoded result;
    const AVCodec* pCodec = avcodec_find_decoder(codecId);
    if (!pCodec) {
        ADD_FAILURE() << "no decoder";
        return result;
    }
    std::unique_ptr<AVCodecContext, SCodecFreer> context(avcodec_alloc_context3(pCodec));
    context->extradata = static_cast<uint8_t*>(av_mallocz(config.size() + AV_INPUT_BUFFER_PADDING_SIZE));
    std::memcpy(context->extradata, config.data(), config.size());
    context->extradata_size = static_cast<int>(config.size());
    context->err_recognition = AV_EF_EXPLODE;
    context->thread_count = 1;
    if (avcodec_open2(context.get(), pCodec, nullptr) < 0) {
        ADD_FAILURE() << "decoder refused the configuration";
        return result;
    }
    std::unique_ptr<AVFrame, SFrameFreer> frame(av_frame_alloc());
    std::unique_ptr<AVPacket, SPacketFreer> packet(av_packet_alloc());
    auto drain = [&]() {
        for (;;) {
            const int rc = avcodec_receive_frame(context.get(), frame.get());
            if (rc == AVERROR(EAGAIN) || rc == AVERROR_EOF)
                return;
            if (rc < 0) {
                ++result.errors;
                return;
            }
            ++result.frames;
            if (frame->decode_error_flags != 0 || (frame->flags & AV_FRAME_FLAG_CORRUPT))
                ++result.errors;
            result.width = frame->width;
            result.height = frame->height;
            result.sampleRate = frame->sample_rate;
            result.channels = frame->ch_layout.nb_channels;
            av_frame_unref(frame.get());
        }
    };
    for (const std::vector<uint8_t>* pData : packets) {
        if (av_new_packet(packet.get(), static_cast<int>(pData->size())) < 0) {
            ADD_FAILURE() << "out of memory";
            return result;
        }
        std::memcpy(packet->data, pData->data(), pData->size());
        if (avcodec_send_packet(context.get(), packet.get()) < 0)
            ++result.errors;
        av_packet_unref(packet.get());
        drain();
    }
    avcodec_send_packet(context.get(), nullptr);
    drain();
    return result;
}

// The configuration a reader gets out of an ES info text.
std::vector<uint8_t> ConfigFromInfo(const std::string& info)
{
    UtilsNameSpace::CFastDynArray<uint8_t> out;
    EXPECT_TRUE(KELMNameSpace::ExtractDecoderConfig(info, out, nullptr));
    return std::vector<uint8_t>(out.Data(), out.Data() + out.Count());
}

std::vector<const std::vector<uint8_t>*> DataOf(const std::vector<KcTest::SPacket>& packets)
{
    std::vector<const std::vector<uint8_t>*> list;
    for (const KcTest::SPacket& packet : packets)
        list.push_back(&packet.data);
    return list;
}

TEST(MediaSampleTest, HasTheShapeTheWriterReliesOn)
{
    const KcTest::SMediaSample& s = KcTest::MediaSample();
    EXPECT_EQ(s.width, 320);
    EXPECT_EQ(s.height, 240);
    EXPECT_EQ(s.sampleRate, 48000);
    EXPECT_EQ(s.channels, 1);
    ASSERT_EQ(s.video.size(), 100u);
    EXPECT_GE(s.audio.size(), 188u);
    for (size_t i = 0; i < s.video.size(); ++i) {
        EXPECT_EQ(s.video[i].key, i % 25 == 0) << i;
        EXPECT_NEAR(s.video[i].pts, i * 0.04, 1e-9) << i;
    }
    ASSERT_EQ(s.sps.size(), 1u);
    ASSERT_EQ(s.pps.size(), 1u);
    EXPECT_EQ(s.sps[0][0] & 0x1F, 7);
    EXPECT_EQ(s.pps[0][0] & 0x1F, 8);
    // AAC-LC (object type 2) at 48 kHz (index 3), one channel
    ASSERT_GE(s.audioSpecificConfig.size(), 2u);
    EXPECT_EQ(s.audioSpecificConfig[0], 0x11);
    EXPECT_EQ(s.audioSpecificConfig[1] & 0xF8, 0x88);
}

TEST(MediaSampleTest, VideoPacketsAreLengthPrefixedNalUnits)
{
    for (const KcTest::SPacket& packet : KcTest::MediaSample().video) {
        const std::vector<uint8_t>& d = packet.data;
        bool hasIdr = false;
        size_t at = 0;
        while (at + 4 < d.size()) {
            const size_t length =
                (size_t(d[at]) << 24) | (size_t(d[at + 1]) << 16) | (size_t(d[at + 2]) << 8) | d[at + 3];
            ASSERT_GT(length, 0u);
            hasIdr = hasIdr || (d[at + 4] & 0x1F) == 5;
            at += 4 + length;
        }
        EXPECT_EQ(at, d.size());
        EXPECT_EQ(hasIdr, packet.key);
    }
}

// The layout the export reads parameter sets from: format id 1, bytes 1-4 skipped, the SPS count
// in the low 5 bits of byte 5, 16-bit lengths, then the PPS count as a whole byte.
TEST(MediaSampleTest, VideoConfigurationHoldsTheParameterSetsInTheExportLayout)
{
    const KcTest::SMediaSample& s = KcTest::MediaSample();
    const std::vector<uint8_t> c = ConfigFromInfo(KcTest::VideoEsInfo());
    ASSERT_GE(c.size(), 6u);
    EXPECT_EQ(c[0], 1);
    ASSERT_EQ(c[5] & 0x1F, 1);
    size_t p = 6;
    const size_t spsLength = (size_t(c[p]) << 8) | c[p + 1];
    p += 2;
    ASSERT_LE(p + spsLength, c.size());
    EXPECT_EQ(std::vector<uint8_t>(c.begin() + p, c.begin() + p + spsLength), s.sps[0]);
    p += spsLength;
    ASSERT_LT(p, c.size());
    ASSERT_EQ(c[p], 1);
    ++p;
    const size_t ppsLength = (size_t(c[p]) << 8) | c[p + 1];
    p += 2;
    ASSERT_LE(p + ppsLength, c.size());
    EXPECT_EQ(std::vector<uint8_t>(c.begin() + p, c.begin() + p + ppsLength), s.pps[0]);
}

TEST(MediaSampleTest, VideoDecodesWithTheConfigurationFromEsInfo)
{
    const KcTest::SMediaSample& s = KcTest::MediaSample();
    const SDecoded d = Decode(AV_CODEC_ID_H264, ConfigFromInfo(KcTest::VideoEsInfo()), DataOf(s.video));
    EXPECT_EQ(d.errors, 0);
    EXPECT_EQ(d.frames, 100);
    EXPECT_EQ(d.width, 320);
    EXPECT_EQ(d.height, 240);
}

// The lenient base64 pads the AudioSpecificConfig with zero bytes; the decoder must still take it.
TEST(MediaSampleTest, AudioDecodesWithTheConfigurationFromEsInfo)
{
    const KcTest::SMediaSample& s = KcTest::MediaSample();
    const SDecoded d = Decode(AV_CODEC_ID_AAC, ConfigFromInfo(KcTest::AudioEsInfo()), DataOf(s.audio));
    EXPECT_EQ(d.errors, 0);
    EXPECT_GE(d.frames, int(s.audio.size()) - 1);
    EXPECT_EQ(d.sampleRate, 48000);
    EXPECT_EQ(d.channels, 1);
}

// Units read back from a written recording, looped three times with a gap in the middle, play
// without a decoding error when taken with the configuration of their ES record.
TEST(MediaSampleTest, WrittenRecordingDecodes)
{
    CTempDir dir;
    const double t0 = KcTest::UtcSeconds(2026, 3, 1, 22, 0, 0);
    KcTest::SRecordingOptions options;
    options.startUtc = t0;
    options.endUtc = t0 + 12;
    options.gaps.push_back({t0 + 5.3, t0 + 6.1});
    KcTest::WriteRecordingFile(dir.Path("d.kelm"), options);
    const std::vector<SReadRecord> records = ReadRecords(dir.Path("d.kelm"));

    std::vector<uint8_t> videoConfig, audioConfig;
    for (const SReadRecord& record : records)
        if (record.tag.type() == kelm::ESES)
            (record.tag.es().estype() == kelm::AVVIDEO ? videoConfig : audioConfig) =
                ConfigFromInfo(record.tag.es().info());
    std::vector<const std::vector<uint8_t>*> video, audio;
    for (const SReadRecord* pUnit : UnitsOf(records, 1))
        video.push_back(&pUnit->payload);
    for (const SReadRecord* pUnit : UnitsOf(records, 2))
        audio.push_back(&pUnit->payload);

    const SDecoded v = Decode(AV_CODEC_ID_H264, videoConfig, video);
    EXPECT_EQ(v.errors, 0);
    EXPECT_EQ(v.frames, int(video.size()));
    const SDecoded a = Decode(AV_CODEC_ID_AAC, audioConfig, audio);
    EXPECT_EQ(a.errors, 0);
    EXPECT_GE(a.frames, int(audio.size()) - 1);
}

// Offset of the first media data byte, after the box header; 0 when there is none.
size_t MediaDataStart(const std::string& bytes)
{
    for (size_t at = 0; at + 8 <= bytes.size();) {
        const uint32_t size = Be32(bytes, at);
        if (bytes.compare(at + 4, 4, "mdat") == 0)
            return at + 8;
        if (size < 8)
            return 0;
        at += size;
    }
    return 0;
}

// Every key frame's IDR slice turned into filler data in place: the frames that follow lose
// their reference, the file's layout stays as it was.
void RemoveIdrSlices(std::string& bytes)
{
    for (const KcTest::SPacket& packet : KcTest::MediaSample().video) {
        const std::string unit(packet.data.begin(), packet.data.end());
        for (size_t at = 0; packet.key && at + 5 <= unit.size(); at += 4 + Be32(unit, at)) {
            if ((unit[at + 4] & 0x1F) != 5)
                continue;
            const size_t found = bytes.find(unit.substr(at, 4 + Be32(unit, at)));
            ASSERT_NE(found, std::string::npos);
            bytes[found + 4] = 0x0C;
        }
    }
}

struct SDamageCase {
    const char* pName;
    std::function<void(std::string&)> damage;
};

void PrintTo(const SDamageCase& c, std::ostream* pStream)
{
    *pStream << c.pName;
}

class Mp4CheckTest : public ::testing::TestWithParam<SDamageCase> {};

// The decode check counts what libavformat and libavcodec return and flag, not only what they
// log: each damage of a good file shows among the decoding errors.
TEST_P(Mp4CheckTest, CountsTheDamageOfAGoodFile)
{
    CTempDir dir;
    const std::string path = dir.Path("sample.mp4");
    std::string error;
    ASSERT_TRUE(KcTest::WriteSampleMp4(path, &error)) << error;
    const KcTest::SMp4Report good = KcTest::InspectMp4(path);
    ASSERT_EQ(good.tracks.size(), 2u);
    EXPECT_EQ(good.libraryErrors, 0);
    for (const KcTest::STrackReport& track : good.tracks)
        EXPECT_EQ(track.decodeErrors, 0) << track.codec;

    std::string bytes = ReadAll(path);
    GetParam().damage(bytes);
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
    const KcTest::SMp4Report damaged = KcTest::InspectMp4(path);
    ASSERT_TRUE(damaged.bOpened);
    const KcTest::STrackReport* pVideo = damaged.Find("h264");
    ASSERT_NE(pVideo, nullptr);
    EXPECT_GT(pVideo->decodeErrors, 0);
}

INSTANTIATE_TEST_SUITE_P(Damages, Mp4CheckTest,
                         ::testing::Values(SDamageCase{"IdrSlicesRemoved", RemoveIdrSlices},
                                           SDamageCase{"MediaDataOverwritten",
                                                       [](std::string& bytes) {
                                                           const size_t start = MediaDataStart(bytes);
                                                           ASSERT_GT(start, 0u);
                                                           const size_t at = start + (bytes.size() - start) / 3;
                                                           std::fill(bytes.begin() + at, bytes.begin() + at + 4000,
                                                                     '\x5A');
                                                       }},
                                           SDamageCase{"FileCut",
                                                       [](std::string& bytes) { bytes.resize(bytes.size() * 2 / 3); }}),
                         [](const ::testing::TestParamInfo<SDamageCase>& p) { return p.param.pName; });

} // namespace
