#include "Mp4Check.h"

#include "MediaSample.h"
#include "container/TextConvert.h"
#include "export/DecoderSetup.h"
#include "export/Mp4FileProvider.h"
#include "export/Mp4Writer.h"

#include <cstring>
#include <fstream>
#include <memory>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

namespace KcTest {

namespace {

class CErrorCounter : public KELMNameSpace::ILibraryLogSink {
public:
    CErrorCounter() { KELMNameSpace::SetLibraryLogSink(this); }
    ~CErrorCounter() override { KELMNameSpace::SetLibraryLogSink(nullptr); }
    void OnLibraryLog(bool bError, const std::wstring&) override { m_errors += bError ? 1 : 0; }
    int Errors() const { return m_errors; }

private:
    int m_errors = 0;
};

struct SInputCloser {
    void operator()(AVFormatContext* p) const { avformat_close_input(&p); }
};
struct SCodecFreer {
    void operator()(AVCodecContext* p) const { avcodec_free_context(&p); }
};
struct SPacketFreer {
    void operator()(AVPacket* p) const { av_packet_free(&p); }
};
struct SFrameFreer {
    void operator()(AVFrame* p) const { av_frame_free(&p); }
};
using CodecPtr = std::unique_ptr<AVCodecContext, SCodecFreer>;

void Receive(AVCodecContext& codec, AVFrame& frame, STrackReport& track)
{
    for (;;) {
        const int result = avcodec_receive_frame(&codec, &frame);
        if (result == AVERROR(EAGAIN) || result == AVERROR_EOF)
            return;
        if (result < 0) {
            ++track.decodeErrors;
            return;
        }
        ++track.frames;
        // A frame the decoder had to conceal, or whose reference it never saw, still comes out.
        if ((frame.flags & AV_FRAME_FLAG_CORRUPT) != 0 || frame.decode_error_flags != 0)
            ++track.decodeErrors;
        av_frame_unref(&frame);
    }
}

} // namespace

const STrackReport* SMp4Report::Find(const std::string& codec) const
{
    for (const STrackReport& track : tracks) {
        if (track.codec == codec)
            return &track;
    }
    return nullptr;
}

namespace {

// Walks the top-level boxes: a player that streams the file wants the index first.
bool IndexBeforeMediaData(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    uint64_t position = 0;
    unsigned char head[16];
    while (file.seekg(static_cast<std::streamoff>(position)) && file.read(reinterpret_cast<char*>(head), 8)) {
        uint64_t size = (uint64_t(head[0]) << 24) | (uint64_t(head[1]) << 16) | (uint64_t(head[2]) << 8) | head[3];
        if (size == 1 && file.read(reinterpret_cast<char*>(head + 8), 8)) {
            size = 0;
            for (int i = 8; i < 16; ++i)
                size = (size << 8) | head[i];
        }
        if (std::memcmp(head + 4, "moov", 4) == 0)
            return true;
        if (std::memcmp(head + 4, "mdat", 4) == 0 || size < 8)
            return false;
        position += size;
    }
    return false;
}

} // namespace

SMp4Report InspectMp4(const std::string& path)
{
    SMp4Report report;
    report.bIndexFirst = IndexBeforeMediaData(path);
    CErrorCounter errors;
    AVFormatContext* pRawInput = nullptr;
    if (avformat_open_input(&pRawInput, path.c_str(), nullptr, nullptr) < 0)
        return report;
    std::unique_ptr<AVFormatContext, SInputCloser> pInput(pRawInput);
    report.bOpened = true;
    if (const AVDictionaryEntry* pEntry = av_dict_get(pInput->metadata, "creation_time", nullptr, 0))
        report.creationTime = pEntry->value;
    const AVRational tickBase = {1, KELMNameSpace::kMp4TicksPerSecond};

    std::vector<CodecPtr> codecs;
    for (unsigned i = 0; i < pInput->nb_streams; ++i) {
        const AVStream& stream = *pInput->streams[i];
        STrackReport track;
        track.codec = avcodec_get_name(stream.codecpar->codec_id);
        track.durationTicks = av_rescale_q(stream.duration, stream.time_base, tickBase);
        report.tracks.push_back(track);
        const AVCodec* pDecoder = avcodec_find_decoder(stream.codecpar->codec_id);
        CodecPtr pCodec(pDecoder ? avcodec_alloc_context3(pDecoder) : nullptr);
        if (pCodec)
            pCodec->flags |= AV_CODEC_FLAG_OUTPUT_CORRUPT; // hand damaged frames out, flagged, to count them
        if (!pCodec || avcodec_parameters_to_context(pCodec.get(), stream.codecpar) < 0
            || avcodec_open2(pCodec.get(), pDecoder, nullptr) < 0)
            pCodec.reset();
        codecs.push_back(std::move(pCodec));
    }

    std::unique_ptr<AVPacket, SPacketFreer> pPacket(av_packet_alloc());
    std::unique_ptr<AVFrame, SFrameFreer> pFrame(av_frame_alloc());
    while (av_read_frame(pInput.get(), pPacket.get()) >= 0) {
        const unsigned index = static_cast<unsigned>(pPacket->stream_index);
        STrackReport& track = report.tracks[index];
        track.ticks.push_back(av_rescale_q(pPacket->pts, pInput->streams[index]->time_base, tickBase));
        track.keys.push_back((pPacket->flags & AV_PKT_FLAG_KEY) != 0);
        // A sample the file ends inside of arrives short and flagged.
        if ((pPacket->flags & AV_PKT_FLAG_CORRUPT) != 0)
            ++track.decodeErrors;
        if (!codecs[index] || avcodec_send_packet(codecs[index].get(), pPacket.get()) < 0)
            ++track.decodeErrors;
        else
            Receive(*codecs[index], *pFrame, track);
        av_packet_unref(pPacket.get());
    }
    for (size_t i = 0; i < codecs.size(); ++i) {
        STrackReport& track = report.tracks[i];
        // Samples the index lists but the file no longer holds: a player stops short.
        const int64_t listed = pInput->streams[i]->nb_frames;
        if (listed > static_cast<int64_t>(track.ticks.size()))
            track.decodeErrors += static_cast<int>(listed - static_cast<int64_t>(track.ticks.size()));
        if (!codecs[i])
            continue;
        if (avcodec_send_packet(codecs[i].get(), nullptr) < 0)
            ++track.decodeErrors;
        Receive(*codecs[i], *pFrame, track);
        track.width = codecs[i]->width;
        track.height = codecs[i]->height;
        track.sampleRate = codecs[i]->sample_rate;
        track.channels = codecs[i]->ch_layout.nb_channels;
    }
    report.libraryErrors = errors.Errors();
    return report;
}

bool WriteSampleMp4(const std::string& path, std::string* pError)
{
    const SMediaSample& sample = MediaSample();
    UtilsNameSpace::CMp4FileProvider provider;
    KELMNameSpace::CMp4Writer writer(provider);
    UtilsNameSpace::SErrorInfo error;
    constexpr uint64_t kVideoInterval = KELMNameSpace::kMp4TicksPerSecond / 25; // the sample's frame rate
    constexpr uint64_t kAudioInterval = 1024;                                   // an AAC frame
    bool bOk = writer.Create(UtilsNameSpace::Utf8ToWide(path), &error);
    writer.SetExpectedSamples(sample.video.size(), sample.audio.size());
    bOk = bOk && writer.AddVideoTrack(sample.sps, sample.pps, &error)
          && writer.AddAudioTrack(sample.audioSpecificConfig.data(), sample.audioSpecificConfig.size(), &error)
          && writer.WriteHeader(&error);
    size_t v = 0;
    size_t a = 0;
    while (bOk && (v < sample.video.size() || a < sample.audio.size())) {
        if (v < sample.video.size() && (a >= sample.audio.size() || v * kVideoInterval <= a * kAudioInterval)) {
            const std::vector<uint8_t>& data = sample.video[v].data;
            bOk = writer.WriteSample(KELMNameSpace::EMp4Track::Video, data.data(), data.size(), v * kVideoInterval,
                                     KELMNameSpace::IsSyncSample(data.data(), data.size()), &error);
            ++v;
        } else {
            const std::vector<uint8_t>& data = sample.audio[a].data;
            bOk = writer.WriteSample(KELMNameSpace::EMp4Track::Audio, data.data(), data.size(), a * kAudioInterval,
                                     true, &error);
            ++a;
        }
    }
    bOk = bOk && writer.Close(&error);
    if (!bOk) {
        writer.Abort();
        if (pError)
            *pError = UtilsNameSpace::WideToUtf8(error.message);
    }
    return bOk;
}

} // namespace KcTest
