#include "MediaSample.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include <cstdio>
#include <cstdlib>
#include <memory>

namespace KcTest {

namespace {

[[noreturn]] void Fail(const std::string& what)
{
    std::fprintf(stderr, "Media sample: %s\n", what.c_str());
    std::abort();
}

struct SInputCloser {
    void operator()(AVFormatContext* pContext) const { avformat_close_input(&pContext); }
};
struct SPacketFreer {
    void operator()(AVPacket* pPacket) const { av_packet_free(&pPacket); }
};

uint32_t ReadBe16(const std::vector<uint8_t>& data, size_t at)
{
    return (uint32_t(data[at]) << 8) | data[at + 1];
}

// Splits the avcC record into its parameter sets; the layout is fixed by ISO/IEC 14496-15.
void SplitAvcC(SMediaSample& sample)
{
    const std::vector<uint8_t>& c = sample.avcC;
    if (c.size() < 7 || c[0] != 1)
        Fail("unexpected avcC record");
    size_t p = 5;
    const unsigned spsCount = c[p++] & 0x1F;
    for (unsigned i = 0; i < spsCount; ++i) {
        if (p + 2 > c.size() || p + 2 + ReadBe16(c, p) > c.size())
            Fail("short avcC record");
        const size_t length = ReadBe16(c, p);
        sample.sps.emplace_back(c.begin() + p + 2, c.begin() + p + 2 + length);
        p += 2 + length;
    }
    if (p >= c.size())
        Fail("short avcC record");
    const unsigned ppsCount = c[p++];
    for (unsigned i = 0; i < ppsCount; ++i) {
        if (p + 2 > c.size() || p + 2 + ReadBe16(c, p) > c.size())
            Fail("short avcC record");
        const size_t length = ReadBe16(c, p);
        sample.pps.emplace_back(c.begin() + p + 2, c.begin() + p + 2 + length);
        p += 2 + length;
    }
}

SMediaSample Load()
{
    const std::string path = TestDataPath("sample-320x240.mp4");
    AVFormatContext* pRaw = nullptr;
    if (avformat_open_input(&pRaw, path.c_str(), nullptr, nullptr) < 0)
        Fail("cannot open " + path + " (run tools/make-samples)");
    std::unique_ptr<AVFormatContext, SInputCloser> input(pRaw);
    if (avformat_find_stream_info(input.get(), nullptr) < 0)
        Fail("no stream information in " + path);

    const int videoIndex = av_find_best_stream(input.get(), AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    const int audioIndex = av_find_best_stream(input.get(), AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
    if (videoIndex < 0 || audioIndex < 0)
        Fail("the sample needs a video and an audio stream");
    const AVStream* pVideo = input->streams[videoIndex];
    const AVStream* pAudio = input->streams[audioIndex];
    if (pVideo->codecpar->codec_id != AV_CODEC_ID_H264 || pAudio->codecpar->codec_id != AV_CODEC_ID_AAC)
        Fail("the sample must hold H.264 and AAC");

    SMediaSample sample;
    const AVCodecParameters* pV = pVideo->codecpar;
    const AVCodecParameters* pA = pAudio->codecpar;
    sample.avcC.assign(pV->extradata, pV->extradata + pV->extradata_size);
    sample.audioSpecificConfig.assign(pA->extradata, pA->extradata + pA->extradata_size);
    sample.width = pV->width;
    sample.height = pV->height;
    sample.sampleRate = pA->sample_rate;
    sample.channels = pA->ch_layout.nb_channels;
    SplitAvcC(sample);

    std::unique_ptr<AVPacket, SPacketFreer> packet(av_packet_alloc());
    while (av_read_frame(input.get(), packet.get()) >= 0) {
        const AVStream* pStream = input->streams[packet->stream_index];
        std::vector<SPacket>* pList = packet->stream_index == videoIndex   ? &sample.video
                                      : packet->stream_index == audioIndex ? &sample.audio
                                                                           : nullptr;
        if (pList) {
            SPacket p;
            p.data.assign(packet->data, packet->data + packet->size);
            p.key = (packet->flags & AV_PKT_FLAG_KEY) != 0;
            p.pts = packet->pts == AV_NOPTS_VALUE ? 0 : packet->pts * av_q2d(pStream->time_base);
            pList->push_back(std::move(p));
        }
        av_packet_unref(packet.get());
    }
    if (sample.video.empty() || sample.audio.empty() || !sample.video.front().key)
        Fail("the sample must start with a key frame and hold audio");
    return sample;
}

} // namespace

std::string TestDataPath(const std::string& name)
{
    return std::string(KC_TEST_DATA_DIR) + "/" + name;
}

const SMediaSample& MediaSample()
{
    static const SMediaSample sample = Load();
    return sample;
}

std::string EncodeBase64(const uint8_t* pData, size_t size)
{
    static const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string text;
    text.reserve((size + 2) / 3 * 4);
    for (size_t i = 0; i < size; i += 3) {
        const size_t n = size - i < 3 ? size - i : 3;
        uint32_t group = uint32_t(pData[i]) << 16;
        if (n > 1)
            group |= uint32_t(pData[i + 1]) << 8;
        if (n > 2)
            group |= pData[i + 2];
        text += kAlphabet[(group >> 18) & 0x3F];
        text += kAlphabet[(group >> 12) & 0x3F];
        text += n > 1 ? kAlphabet[(group >> 6) & 0x3F] : '=';
        text += n > 2 ? kAlphabet[group & 0x3F] : '=';
    }
    return text;
}

std::string EncodeBase64(const std::vector<uint8_t>& data)
{
    return EncodeBase64(data.data(), data.size());
}

std::string DecoderConfigInfo(const std::vector<uint8_t>& config)
{
    // Other members around the configuration, as cameras write them, so that readers do not
    // rely on its position.
    return "{\"version\":1,\"decoderConfig\":\"binary-dataXXX:" + EncodeBase64(config) + "\",\"shared\":false}";
}

std::string VideoEsInfo()
{
    return DecoderConfigInfo(MediaSample().avcC);
}

std::string AudioEsInfo()
{
    return DecoderConfigInfo(MediaSample().audioSpecificConfig);
}

} // namespace KcTest
