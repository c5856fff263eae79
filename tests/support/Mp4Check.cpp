#include "Mp4Check.h"

#include "Mp4Writer.h"

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

SMp4Report InspectMp4(const std::string& path)
{
    SMp4Report report;
    CErrorCounter errors;
    AVFormatContext* pRawInput = nullptr;
    if (avformat_open_input(&pRawInput, path.c_str(), nullptr, nullptr) < 0)
        return report;
    std::unique_ptr<AVFormatContext, SInputCloser> pInput(pRawInput);
    report.bOpened = true;
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
        if (!pCodec || avcodec_parameters_to_context(pCodec.get(), stream.codecpar) < 0 ||
            avcodec_open2(pCodec.get(), pDecoder, nullptr) < 0)
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
        if (!codecs[index] || avcodec_send_packet(codecs[index].get(), pPacket.get()) < 0)
            ++track.decodeErrors;
        else
            Receive(*codecs[index], *pFrame, track);
        av_packet_unref(pPacket.get());
    }
    for (size_t i = 0; i < codecs.size(); ++i) {
        STrackReport& track = report.tracks[i];
        if (!codecs[i])
            continue;
        avcodec_send_packet(codecs[i].get(), nullptr);
        Receive(*codecs[i], *pFrame, track);
        track.width = codecs[i]->width;
        track.height = codecs[i]->height;
        track.sampleRate = codecs[i]->sample_rate;
        track.channels = codecs[i]->ch_layout.nb_channels;
    }
    report.libraryErrors = errors.Errors();
    return report;
}

} // namespace KcTest
