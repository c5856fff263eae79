#include "KelmWriter.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>

namespace KcTest {

namespace {

constexpr uint32_t kWireVarint = 0;
constexpr uint32_t kWireLengthDelimited = 2;
constexpr int kVideoFps = 25;
constexpr int kAacFrameSamples = 1024;
constexpr int kAudioRate = 48000;

// Ticks per second of a time base; unsupported values are written with 90 kHz ticks.
int64_t TicksPerSecond(int timebase)
{
    return timebase == kelm::TB1KHz ? 1000 : 90000;
}

void Count(SKindStats& stats, double t, uint32_t size)
{
    if (stats.units == 0)
        stats.firstTime = t;
    stats.lastTime = t;
    ++stats.units;
    stats.payloadBytes += size;
}

void Merge(SKindStats& into, const SKindStats& from)
{
    if (from.units == 0)
        return;
    if (into.units == 0)
        into.firstTime = from.firstTime;
    into.lastTime = from.lastTime;
    into.units += from.units;
    into.payloadBytes += from.payloadBytes;
}

// Days since 1970-01-01 of a proleptic Gregorian date (H. Hinnant's days_from_civil).
int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d)
{
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

std::string HourFileName(const std::string& srid, double hourStart)
{
    const time_t seconds = static_cast<time_t>(hourStart);
    struct tm utc {};
    gmtime_r(&seconds, &utc);
    char stamp[64];
    std::snprintf(stamp, sizeof stamp, "-%04d%02d%02d-%02d00.kelm", utc.tm_year + 1900, utc.tm_mon + 1, utc.tm_mday,
                  utc.tm_hour);
    return srid + stamp;
}

// A sample packet grown to about size bytes by a filler-data NAL unit (type 12), which decoders
// skip: real pictures at the byte rate of a larger camera.
std::vector<uint8_t> PaddedPacket(const SPacket& packet, uint32_t size)
{
    std::vector<uint8_t> data = packet.data;
    if (size < data.size() + 6)
        return data;
    const uint32_t nalSize = static_cast<uint32_t>(size - data.size() - 4);
    data.push_back(uint8_t(nalSize >> 24));
    data.push_back(uint8_t(nalSize >> 16));
    data.push_back(uint8_t(nalSize >> 8));
    data.push_back(uint8_t(nalSize));
    data.push_back(0x0C);
    data.insert(data.end(), nalSize - 2, 0xFF);
    data.push_back(0x80); // rbsp trailing bits
    return data;
}

// Payloads of the synthetic mode: NAL-like units (4-byte length, then the NAL header byte) so that
// readers looking at NAL types see key frames where they are meant to be.
std::vector<uint8_t> SyntheticNal(uint32_t size, uint8_t nalHeader)
{
    size = std::max<uint32_t>(size, 5);
    std::vector<uint8_t> data(size, 0);
    const uint32_t nalSize = size - 4;
    data[0] = uint8_t(nalSize >> 24);
    data[1] = uint8_t(nalSize >> 16);
    data[2] = uint8_t(nalSize >> 8);
    data[3] = uint8_t(nalSize);
    data[4] = nalHeader;
    return data;
}

void WriteWithOptions(CKelmWriter& writer, const SRecordingOptions& options, double from, double to,
                      SWriteResult& result)
{
    writer.WriteStream(options.timebase, options.streamInfo.empty() ? SridInfo(options.srid) : options.streamInfo);
    if (options.video)
        writer.WriteVideoES(options.videoEsno, options.videoCodec,
                            options.videoEsInfo.empty() ? VideoEsInfo() : options.videoEsInfo);
    if (options.audio)
        writer.WriteAudioES(options.audioEsno, options.audioCodec,
                            options.audioEsInfo.empty() ? AudioEsInfo() : options.audioEsInfo);
    writer.WriteUnits(options, from, to, &result);
    if (options.finished)
        writer.WriteFinished();
}

} // namespace

double UtcSeconds(int year, int month, int day, int hour, int minute, double second)
{
    const int64_t days = DaysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day));
    return static_cast<double>(days * 86400 + hour * 3600 + minute * 60) + second;
}

std::string SridInfo(const std::string& srid)
{
    return "{\"user-metadata\":{\"srid\":\"" + srid + "\"}}";
}

// ---- CRawProto

void CRawProto::RawVarint(uint64_t value)
{
    while (value >= 0x80) {
        m_data += char(uint8_t(value) | 0x80);
        value >>= 7;
    }
    m_data += char(uint8_t(value));
}

void CRawProto::Key(uint32_t field, uint32_t wireType)
{
    RawVarint((uint64_t(field) << 3) | wireType);
}

CRawProto& CRawProto::Varint(uint32_t field, uint64_t value)
{
    Key(field, kWireVarint);
    RawVarint(value);
    return *this;
}

CRawProto& CRawProto::Bytes(uint32_t field, const std::string& bytes)
{
    Key(field, kWireLengthDelimited);
    RawVarint(bytes.size());
    m_data += bytes;
    return *this;
}

CRawProto& CRawProto::Message(uint32_t field, const CRawProto& message)
{
    return Bytes(field, message.Data());
}

CRawProto& CRawProto::Append(const google::protobuf::MessageLite& message)
{
    message.AppendPartialToString(&m_data);
    return *this;
}

// ---- CKelmWriter

CKelmWriter::CKelmWriter(const std::string& path)
    : m_buffer(1 << 20)
{
    m_pFile = std::fopen(path.c_str(), "wb");
    if (m_pFile)
        std::setvbuf(m_pFile, m_buffer.data(), _IOFBF, m_buffer.size());
    m_failed = m_pFile == nullptr;
}

CKelmWriter::~CKelmWriter()
{
    Close();
}

bool CKelmWriter::Close()
{
    if (m_pFile) {
        if (std::fclose(m_pFile) != 0)
            m_failed = true;
        m_pFile = nullptr;
    }
    return !m_failed;
}

void CKelmWriter::WriteBytes(const void* pData, size_t size)
{
    if (!m_pFile || size == 0)
        return;
    if (std::fwrite(pData, 1, size, m_pFile) != size)
        m_failed = true;
    m_bytes += size;
}

void CKelmWriter::WriteBytes(std::initializer_list<uint8_t> bytes)
{
    WriteBytes(bytes.begin(), bytes.size());
}

void CKelmWriter::WriteFraming(uint32_t protobufSize, uint32_t binarySize, const uint8_t* pRecordId)
{
    const uint8_t framing[12] = {
        pRecordId[0],
        pRecordId[1],
        pRecordId[2],
        pRecordId[3],
        uint8_t(protobufSize >> 24),
        uint8_t(protobufSize >> 16),
        uint8_t(protobufSize >> 8),
        uint8_t(protobufSize),
        uint8_t(binarySize >> 24),
        uint8_t(binarySize >> 16),
        uint8_t(binarySize >> 8),
        uint8_t(binarySize),
    };
    WriteBytes(framing, sizeof framing);
}

void CKelmWriter::WriteRawRecord(const std::string& header, const uint8_t* pPayload, uint32_t size)
{
    WriteFraming(static_cast<uint32_t>(header.size()), size);
    WriteBytes(header.data(), header.size());
    WriteBytes(pPayload, size);
}

void CKelmWriter::WriteRecord(const kelm::Tag& tag, const uint8_t* pPayload, uint32_t size)
{
    // Partial serialization: faults with missing required fields go through here as well.
    m_header.clear();
    tag.AppendPartialToString(&m_header);
    WriteRawRecord(m_header, pPayload, size);
}

void CKelmWriter::WriteRecord(const kelm::Tag& tag, const std::vector<uint8_t>& payload)
{
    WriteRecord(tag, payload.data(), static_cast<uint32_t>(payload.size()));
}

void CKelmWriter::WriteStream(int timebase, const std::string& info, const std::vector<uint8_t>& payload)
{
    if (!kelm::Timebase_IsValid(timebase)) {
        WriteStreamWithRawTimebase(static_cast<uint32_t>(timebase), info);
        return;
    }
    m_timebase = timebase;
    kelm::Tag tag;
    tag.set_type(kelm::STREAM);
    kelm::Stream* pStream = tag.mutable_stream();
    pStream->set_stream_magic("KELMSTREAM"); // required: a default value alone does not count
    pStream->set_packetization(kelm::RAW);
    pStream->set_timebase(static_cast<kelm::Timebase>(timebase));
    pStream->set_info(info);
    WriteRecord(tag, payload);
}

void CKelmWriter::WriteES(int32_t esno, kelm::ESType type, int32_t codec, const std::string& info,
                          const std::vector<uint8_t>& payload)
{
    kelm::Tag tag;
    tag.set_type(kelm::ESES);
    kelm::ES* pEs = tag.mutable_es();
    pEs->set_esno(esno);
    pEs->set_estype(type);
    pEs->set_escodec(codec);
    if (!info.empty())
        pEs->set_info(info);
    WriteRecord(tag, payload);
}

void CKelmWriter::WriteVideoES(int32_t esno, int32_t codec, const std::string& info)
{
    WriteES(esno, kelm::AVVIDEO, codec, info);
}

void CKelmWriter::WriteAudioES(int32_t esno, int32_t codec, const std::string& info)
{
    WriteES(esno, kelm::AVAUDIO, codec, info);
}

void CKelmWriter::WriteUnit(int32_t esno, uint64_t pts, const uint8_t* pPayload, uint32_t size, bool rap)
{
    kelm::Unit* pUnit = m_unitTag.mutable_unit();
    m_unitTag.set_type(kelm::UNIT);
    pUnit->set_esno(esno);
    pUnit->set_dts(pts);
    pUnit->set_pts(pts);
    pUnit->set_length(size);
    pUnit->set_rap(rap);
    m_lastPts = pts;
    WriteRecord(m_unitTag, pPayload, size);
}

void CKelmWriter::WriteUnit(int32_t esno, uint64_t pts, const std::vector<uint8_t>& payload, bool rap)
{
    WriteUnit(esno, pts, payload.data(), static_cast<uint32_t>(payload.size()), rap);
}

uint64_t CKelmWriter::PtsOf(double utcSeconds) const
{
    return static_cast<uint64_t>(std::llround(utcSeconds * static_cast<double>(TicksPerSecond(m_timebase))));
}

void CKelmWriter::WriteUnitAt(int32_t esno, double utcSeconds, const std::vector<uint8_t>& payload, bool rap)
{
    WriteUnit(esno, PtsOf(utcSeconds), payload, rap);
}

void CKelmWriter::WriteError(int32_t code, const std::vector<uint8_t>& payload)
{
    kelm::Tag tag;
    tag.set_type(kelm::ERROR);
    tag.mutable_error()->set_code(code);
    tag.mutable_error()->set_domain("test");
    WriteRecord(tag, payload);
}

void CKelmWriter::WriteControl(const std::vector<uint8_t>& payload)
{
    kelm::Tag tag;
    tag.set_type(kelm::CONTROL);
    tag.mutable_control()->set_length(static_cast<uint32_t>(payload.size()));
    tag.mutable_control()->set_cname("keepalive");
    WriteRecord(tag, payload);
}

void CKelmWriter::WriteFinished(const std::vector<uint8_t>& payload)
{
    kelm::Tag tag;
    tag.set_type(kelm::FINISHED);
    tag.mutable_finish()->set_finish_magic("KELMFINISH");
    WriteRecord(tag, payload);
}

void CKelmWriter::WriteTagWithRawType(uint64_t tagType)
{
    WriteRawRecord(CRawProto().Varint(1, tagType).Data());
}

void CKelmWriter::WriteESWithRawType(int32_t esno, uint64_t esType, int32_t codec)
{
    CRawProto es;
    // int32 fields are sign-extended to 64 bits on the wire.
    es.Varint(1, static_cast<uint64_t>(static_cast<int64_t>(esno)))
        .Varint(3, esType)
        .Varint(4, static_cast<uint64_t>(static_cast<int64_t>(codec)));
    WriteRawRecord(CRawProto().Varint(1, kelm::ESES).Message(3, es).Data());
}

void CKelmWriter::WriteStreamWithRawTimebase(uint64_t timebase, const std::string& info)
{
    m_timebase = static_cast<int>(timebase);
    CRawProto stream;
    stream.Bytes(1, "KELMSTREAM").Varint(2, kelm::RAW).Varint(3, timebase).Bytes(5, info);
    WriteRawRecord(CRawProto().Varint(1, kelm::STREAM).Message(2, stream).Data());
}

void CKelmWriter::WriteFault(EFault fault)
{
    kelm::Tag control;
    control.set_type(kelm::CONTROL);
    control.mutable_control()->set_length(0);
    std::string controlHeader;
    control.SerializePartialToString(&controlHeader);
    const uint32_t controlSize = static_cast<uint32_t>(controlHeader.size());
    const uint32_t keep = std::min<uint32_t>(m_truncateKeep, 3);

    switch (fault) {
    case EFault::BadRecordId: {
        const uint8_t badId[4] = {0xFE, 0xED, 0x5E, 0xEE};
        WriteFraming(controlSize, 0, badId);
        WriteBytes(controlHeader.data(), controlHeader.size());
        break;
    }
    case EFault::ZeroProtobufSize:
        WriteFraming(0, 0);
        break;
    case EFault::OversizedProtobufSize:
        WriteFraming(kMaxProtobufDataSize + 1, 0);
        break;
    case EFault::OversizedBinarySize:
        WriteFraming(controlSize, kMaxBinaryDataSize + 1);
        break;
    case EFault::TruncatedBeforeProtobufSize: {
        const uint8_t size[4] = {0, 0, 0, uint8_t(controlSize)};
        WriteBytes(kRecordId, 4);
        WriteBytes(size, keep);
        break;
    }
    case EFault::TruncatedBeforeBinarySize: {
        const uint8_t sizes[8] = {0, 0, 0, uint8_t(controlSize), 0, 0, 0, 0};
        WriteBytes(kRecordId, 4);
        WriteBytes(sizes, 4 + keep);
        break;
    }
    case EFault::TruncatedInProtobufData:
        WriteFraming(controlSize, 0);
        WriteBytes(controlHeader.data(), controlSize / 2);
        break;
    case EFault::TruncatedInBinaryData: {
        const std::vector<uint8_t>& frame = MediaSample().video.front().data;
        kelm::Tag tag;
        tag.set_type(kelm::UNIT);
        kelm::Unit* pUnit = tag.mutable_unit();
        const uint64_t pts = m_lastPts + static_cast<uint64_t>(TicksPerSecond(m_timebase) / kVideoFps);
        pUnit->set_esno(1);
        pUnit->set_dts(pts);
        pUnit->set_pts(pts);
        pUnit->set_length(frame.size());
        std::string header;
        tag.SerializePartialToString(&header);
        WriteFraming(static_cast<uint32_t>(header.size()), static_cast<uint32_t>(frame.size()));
        WriteBytes(header.data(), header.size());
        WriteBytes(frame.data(), frame.size() / 2);
        break;
    }
    case EFault::UnparsableHeader:
        WriteFraming(4, 0);
        WriteBytes({0xFF, 0xFF, 0xFF, 0xFF});
        break;
    case EFault::UnitWithoutLength: {
        kelm::Tag tag;
        tag.set_type(kelm::UNIT);
        tag.mutable_unit()->set_esno(1);
        tag.mutable_unit()->set_dts(m_lastPts + 1);
        tag.mutable_unit()->set_pts(m_lastPts + 1);
        WriteRecord(tag);
        break;
    }
    }
}

void CKelmWriter::WriteUnits(const SRecordingOptions& options, double from, double to, SWriteResult* pResult)
{
    // Everything is compared in ticks: seconds near 2^31 lose the last digits of a 90 kHz tick,
    // and a frame on a span's edge must fall on the same side every time.
    const int64_t rate = TicksPerSecond(m_timebase);
    const double tickSeconds = 1.0 / static_cast<double>(rate);
    auto ticks = [&](double seconds) {
        return static_cast<int64_t>(std::llround(seconds * static_cast<double>(rate)));
    };
    const int64_t base = ticks(options.startUtc);
    const int64_t fromTicks = std::max(ticks(from), base);
    const int64_t toTicks = ticks(to);
    auto videoPts = [&](int64_t k) { return base + k * rate / kVideoFps; };
    auto audioPts = [&](int64_t j) { return base + j * kAacFrameSamples * rate / kAudioRate; };
    auto inAny = [&](const std::vector<SSpan>& spans, int64_t pts) {
        for (const SSpan& span : spans)
            if (pts >= ticks(span.start) && pts < ticks(span.end))
                return true;
        return false;
    };

    // First grid positions at or after from (the estimate may be one early).
    const int64_t skip = fromTicks - base;
    int64_t k = std::max<int64_t>(0, skip * kVideoFps / rate - 1);
    int64_t j = std::max<int64_t>(0, skip * kAudioRate / (rate * kAacFrameSamples) - 1);
    while (videoPts(k) < fromTicks)
        ++k;
    while (audioPts(j) < fromTicks)
        ++j;

    const bool synthetic = options.payload == EPayload::Synthetic;
    const SMediaSample* pSample = synthetic ? nullptr : &MediaSample();
    std::vector<uint8_t> keyNal, otherNal, audioFrame;
    if (synthetic) {
        keyNal = SyntheticNal(options.syntheticKeyBytes, 0x65);
        otherNal = SyntheticNal(options.syntheticOtherBytes, 0x41);
        audioFrame.assign(std::max<uint32_t>(options.syntheticAudioBytes, 1), 0);
    }
    std::vector<std::vector<uint8_t>> paddedVideo;
    if (options.payload == EPayload::PaddedSample) {
        for (const SPacket& packet : pSample->video)
            paddedVideo.push_back(
                PaddedPacket(packet, packet.key ? options.syntheticKeyBytes : options.syntheticOtherBytes));
    }
    const uint32_t gop = std::max<uint32_t>(options.syntheticGopFrames, 1);

    SWriteResult local;
    uint64_t loopIndex = 0;   // video frames since the loop last started at its key frame
    bool restartVideo = true; // the first unit and the first after a gap start the loop again
    bool videoDone = !options.video;
    bool audioDone = !options.audio;
    while (!videoDone || !audioDone) {
        const int64_t vPts = videoPts(k);
        const int64_t aPts = audioPts(j);
        if (vPts >= toTicks)
            videoDone = true;
        if (aPts >= toTicks)
            audioDone = true;
        if (!videoDone && (audioDone || vPts <= aPts)) {
            ++k;
            if (inAny(options.gaps, vPts) || inAny(options.videoGaps, vPts)) {
                restartVideo = true;
                continue;
            }
            if (restartVideo) {
                loopIndex = 0;
                restartVideo = false;
            }
            const uint8_t* pData;
            uint32_t size;
            bool key;
            if (synthetic) {
                key = loopIndex % gop == 0;
                const std::vector<uint8_t>& nal = key ? keyNal : otherNal;
                pData = nal.data();
                size = static_cast<uint32_t>(nal.size());
            } else {
                const size_t index = loopIndex % pSample->video.size();
                const SPacket& packet = pSample->video[index];
                const std::vector<uint8_t>& data = paddedVideo.empty() ? packet.data : paddedVideo[index];
                key = packet.key;
                pData = data.data();
                size = static_cast<uint32_t>(data.size());
            }
            ++loopIndex;
            WriteUnit(options.videoEsno, static_cast<uint64_t>(vPts), pData, size, key);
            Count(local.video, static_cast<double>(vPts) * tickSeconds, size);
        } else if (!audioDone) {
            ++j;
            if (inAny(options.gaps, aPts) || inAny(options.audioGaps, aPts))
                continue;
            // Audio frames stand alone, so the sample frame follows the grid position.
            const std::vector<uint8_t>& frame =
                synthetic ? audioFrame : pSample->audio[static_cast<size_t>(j - 1) % pSample->audio.size()].data;
            WriteUnit(options.audioEsno, static_cast<uint64_t>(aPts), frame, true);
            Count(local.audio, static_cast<double>(aPts) * tickSeconds, static_cast<uint32_t>(frame.size()));
        }
    }
    if (pResult) {
        Merge(pResult->video, local.video);
        Merge(pResult->audio, local.audio);
    }
}

void CKelmWriter::WriteRecording(const SRecordingOptions& options, SWriteResult* pResult)
{
    SWriteResult local;
    WriteWithOptions(*this, options, options.startUtc, options.endUtc, local);
    if (pResult) {
        Merge(pResult->video, local.video);
        Merge(pResult->audio, local.audio);
    }
}

SWriteResult WriteRecordingFile(const std::string& path, const SRecordingOptions& options)
{
    SWriteResult result;
    CKelmWriter writer(path);
    writer.WriteRecording(options, &result);
    result.ok = writer.Close();
    result.files.push_back(path);
    result.fileBytes = writer.BytesWritten();
    return result;
}

SWriteResult WriteHourlyFiles(const std::string& dir, const SRecordingOptions& options)
{
    SWriteResult result;
    for (double hour = std::floor(options.startUtc / 3600) * 3600; hour < options.endUtc; hour += 3600) {
        const std::string path = dir + "/" + HourFileName(options.srid, hour);
        CKelmWriter writer(path);
        WriteWithOptions(writer, options, std::max(hour, options.startUtc), std::min(hour + 3600, options.endUtc),
                         result);
        if (!writer.Close())
            result.ok = false;
        result.files.push_back(path);
        result.fileBytes += writer.BytesWritten();
    }
    return result;
}

} // namespace KcTest
