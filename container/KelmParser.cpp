#include "container/KelmParser.h"

#include "container/DecoderConfig.h"
#include "container/FastDynArray.h"
#include "container/File.h"
#include "container/TextConvert.h"

#include "KELM.pb.h"

#include <google/protobuf/stubs/logging.h>
#include <jansson.h>

#include <algorithm>
#include <cstring>
#include <cwctype>
#include <map>
#include <memory>
#include <mutex>

namespace KELMNameSpace {

using UtilsNameSpace::CFastDynArray;
using UtilsNameSpace::CFile;
using UtilsNameSpace::kErrBadData;
using UtilsNameSpace::kErrGeneral;
using UtilsNameSpace::kErrNotFound;
using UtilsNameSpace::kErrNotSupported;
using UtilsNameSpace::NarrowToWide;
using UtilsNameSpace::PrefixErrorInfo;
using UtilsNameSpace::SetCancelled;
using UtilsNameSpace::SetErrorInfo;
using UtilsNameSpace::SetOutOfMemory;
using UtilsNameSpace::WideToNarrow;

const wchar_t* AudioCodecName(uint32_t codec)
{
    switch (codec) {
    case ADTSAACAudio:
        return L"ADTSAACAudio";
    case AudioAvCodec:
        return L"AudioAvCodec";
    case MPEG2Audio:
        return L"MPEG2Audio";
    case RawAACAudio:
        return L"RawAACAudio";
    case RawPCMAudio:
        return L"RawPCMAudio";
    case WavAudio:
        return L"WavAudio";
    default:
        return L"Unknown audio codec";
    }
}

const wchar_t* VideoCodecName(uint32_t codec)
{
    switch (codec) {
    case AnnexBH264Video:
        return L"AnnexBH264Video";
    case H264Video:
        return L"H264Video";
    case MPEG2Video:
        return L"MPEG2Video";
    case RawYUVPlanes:
        return L"RawYUVPlanes";
    case VideoAvcodec:
        return L"VideoAvcodec";
    default:
        return L"Unknown video codec";
    }
}

const wchar_t* StreamKindName(uint32_t kind)
{
    switch (kind) {
    case StreamKindAudio:
        return L"Audio";
    case StreamKindAux:
        return L"Aux";
    case StreamKindMux:
        return L"Mux";
    case StreamKindSignalling:
        return L"Signalling";
    case StreamKindSubtitles:
        return L"Subtitles";
    case StreamKindVideo:
        return L"Video";
    default:
        return nullptr;
    }
}

namespace {

constexpr uint8_t kRecordId[4] = {0xFE, 0xED, 0x5E, 0xED};
constexpr uint32_t kMaxProtobufDataSize = 0x100000;
constexpr uint32_t kMaxBinaryDataSize = 0x1000000;
// Cameras declare a handful of elementary streams per context; each declared stream costs memory
// until the context ends, so a context declaring more is malformed data.
constexpr size_t kMaxStreamsPerContext = 256;
// With the largest record behind it, the window stays well within its 32-bit count.
constexpr uint32_t kMaxBlockSize = 0x10000000;
// The system copies a read into memory several times slower on some processors (measured: a
// quarter of the speed on AMD EPYC) when the buffer's address and the file offset disagree in
// their low bits, as with malloc's 16-byte alignment against a block-aligned offset. Reads
// therefore land at an address that agrees with their file offset modulo this.
constexpr uint32_t kReadAlignment = 64;

// Numbers in messages read as unsigned 32-bit decimals (a negative ES number as 4294967295 for
// -1), the same text whatever the width of long on the platform.
std::wstring Decimal(int64_t value)
{
    return std::to_wstring(static_cast<uint32_t>(value));
}

AudioCodecId MapAudioCodec(int32_t escodec)
{
    switch (escodec) {
    case kelm::ADTSAACAudio:
        return ADTSAACAudio;
    case kelm::AudioAvcodec:
        return AudioAvCodec;
    case kelm::MPEG2Audio:
        return MPEG2Audio;
    case kelm::RawAACAudio:
        return RawAACAudio;
    case kelm::RawPCMAudio:
        return RawPCMAudio;
    case kelm::WavAudio:
        return WavAudio;
    default:
        return AudioCodecUnknown;
    }
}

VideoCodecId MapVideoCodec(int32_t escodec)
{
    switch (escodec) {
    case kelm::AnnexBH264Video:
        return AnnexBH264Video;
    case kelm::H264Video:
        return H264Video;
    case kelm::MPEG2Video:
        return MPEG2Video;
    case kelm::RawYUVPlanes:
        return RawYUVPlanes;
    case kelm::VideoAvcodec:
        return VideoAvcodec;
    default:
        return VideoCodecUnknown;
    }
}

// A record that fails to parse is reported to the caller; protobuf's own complaint about it on
// stderr would only clutter the console of a program that already reports the error.
void DiscardProtobufLog(google::protobuf::LogLevel, const char*, int, const std::string&)
{
}

void QuietProtobufLog()
{
    static std::once_flag once;
    std::call_once(once, [] { google::protobuf::SetLogHandler(&DiscardProtobufLog); });
}

struct SJsonDeleter {
    void operator()(json_t* pJson) const { json_decref(pJson); }
};

// The Srid of a stream context from the JSON text of Stream.info. Fails with code 14 for text
// that is not JSON and code 26 when no naming key holds a non-empty string.
bool SridFromJson(const std::string& info, std::string& srid, SErrorInfo* pError)
{
    std::unique_ptr<json_t, SJsonDeleter> root(json_loadb(info.data(), info.size(), 0, nullptr));
    if (!root) {
        SetErrorInfo(pError, kErrBadData, L"broken json");
        return false;
    }
    const json_t* pScope = root.get();
    if (const json_t* pMetadata = json_object_get(root.get(), "user-metadata"))
        pScope = pMetadata;
    for (const char* key : {"vrid", "srid", "sid", "cid"}) {
        const json_t* pValue = json_object_get(pScope, key);
        if (!pValue)
            continue;
        // A value of another type names nothing; it counts as an absent key.
        if (!json_is_string(pValue))
            continue;
        srid.assign(json_string_value(pValue), json_string_length(pValue));
        if (srid.empty())
            break;
        return true;
    }
    SetErrorInfo(pError, kErrNotFound, L" tag not found");
    return false;
}

// Reads an optionally signed decimal number the way "%d" does: leading blanks, a sign, at least
// one digit. Values saturate instead of overflowing.
bool ScanDecimal(const std::wstring& text, size_t& pos, size_t end, int64_t& value)
{
    while (pos < end && std::iswspace(static_cast<wint_t>(text[pos])))
        ++pos;
    bool bNegative = false;
    if (pos < end && (text[pos] == L'+' || text[pos] == L'-')) {
        bNegative = text[pos] == L'-';
        ++pos;
    }
    if (pos >= end || text[pos] < L'0' || text[pos] > L'9')
        return false;
    constexpr int64_t kLimit = int64_t(1) << 40;
    int64_t magnitude = 0;
    for (; pos < end && text[pos] >= L'0' && text[pos] <= L'9'; ++pos) {
        if (magnitude < kLimit)
            magnitude = magnitude * 10 + (text[pos] - L'0');
    }
    value = bNegative ? -magnitude : magnitude;
    return true;
}

} // namespace

// Recorders name their files "<camera>-<start>-<end>.kelm" with end - start = 59 (one minute);
// the camera part is the Srid of files whose stream information does not name one.
bool SridFromFileName(const std::wstring& path, std::string& srid)
{
    const size_t slash = path.rfind(L'/');
    const size_t nameStart = slash == std::wstring::npos ? 0 : slash + 1;
    const size_t dot = path.rfind(L'.');
    // Only the name itself counts: a dot or hyphen in a folder name says nothing about the camera.
    if (dot == std::wstring::npos || dot < nameStart)
        return false;
    const size_t lastHyphen = path.rfind(L'-', dot);
    if (lastHyphen == std::wstring::npos || lastHyphen < nameStart || lastHyphen == 0)
        return false;
    const size_t firstHyphen = path.rfind(L'-', lastHyphen - 1);
    if (firstHyphen == std::wstring::npos || firstHyphen < nameStart)
        return false;

    // "-%d-%d" over the text from the first hyphen up to the dot.
    size_t pos = firstHyphen + 1;
    int64_t first = 0;
    int64_t second = 0;
    if (!ScanDecimal(path, pos, dot, first))
        return false;
    if (pos >= dot || path[pos] != L'-')
        return false;
    ++pos;
    if (!ScanDecimal(path, pos, dot, second))
        return false;
    if (second - first != 59)
        return false;
    srid = WideToNarrow(path.substr(nameStart, firstHyphen - nameStart));
    return !srid.empty();
}

namespace {

// One run over one file. Owns the file, the buffers and the stream table; the receiver and the
// summary list belong to the caller.
class CContainerParse {
public:
    CContainerParse(const std::wstring& filePath, bool bSkipPayloads, IKELMItemsReceiver& receiver,
                    std::vector<SStreamSummary>* pSummaries, SErrorInfo* pError, const SParseReading& reading)
        : m_filePath(filePath),
          m_bSkipPayloads(bSkipPayloads),
          m_receiver(receiver),
          m_pSummaries(pSummaries),
          m_pError(pError),
          m_blockSize(std::clamp<uint32_t>(reading.blockSize, 1, kMaxBlockSize)),
          m_skipThreshold(reading.skipThreshold)
    {
    }

    bool Run();

private:
    // What the record loop does after a record.
    enum class EFlow { Next, EndOfFile, Fail };

    EFlow ReadRecord();
    EFlow HandleTag();
    EFlow HandleStream();
    EFlow HandleES();
    EFlow HandleUnit();

    bool Take(uint32_t count, const uint8_t*& pBytes);
    uint8_t* Window() { return m_window.Data() + m_windowPad; }
    uint32_t WindowCount() const { return m_window.Count() - m_windowPad; }
    // The pad in front of the window bytes that makes the byte at fileOffset agree with it in
    // its address (see kReadAlignment), for the storage as it is now.
    uint32_t PadFor(uint64_t fileOffset) const
    {
        return static_cast<uint32_t>((fileOffset - reinterpret_cast<uintptr_t>(m_window.Data())) % kReadAlignment);
    }
    bool Bring(uint64_t offset, uint32_t count);
    bool ReadExactly(uint64_t from, uint64_t offset, uint64_t end);
    // The window could not grow.
    bool OutOfMemory()
    {
        SetOutOfMemory(m_pError);
        return false;
    }
    bool ReadBigEndian(uint32_t& value);
    EFlow ReadFailed(const wchar_t* pContext);
    EFlow Fatal(int32_t code, const std::wstring& message);
    EFlow Cancelled();
    EFlow Truncated(const wchar_t* pMessage);
    EFlow Warn(int32_t code, const std::wstring& message);
    EFlow CheckNoPayload(const wchar_t* pMessage);
    EFlow Answer(bool bGoOn) { return bGoOn ? EFlow::Next : Cancelled(); }
    bool EmitSummaries();

    const std::wstring& m_filePath;
    const bool m_bSkipPayloads;
    IKELMItemsReceiver& m_receiver;
    std::vector<SStreamSummary>* m_pSummaries;
    SErrorInfo* m_pError;
    const uint32_t m_blockSize;
    const uint64_t m_skipThreshold;

    CFile m_file;
    uint64_t m_size = 0;
    uint64_t m_remaining = 0;
    bool m_bTruncated = false;
    // Bytes of the file from m_windowStart on, behind m_windowPad unused bytes of the storage, as
    // many as the window counts: the last block read,
    // or more when a record reaches beyond it.
    CFastDynArray<uint8_t> m_window;
    uint64_t m_windowStart = 0;
    uint32_t m_windowPad = 0;
    CFastDynArray<uint8_t> m_config;
    uint32_t m_binaryDataSize = 0;
    const uint8_t* m_pPayload = nullptr; // the record's payload when it was read, else null
    kelm::Tag m_tag;
    std::string m_srid;
    std::string m_subSourceKey;
    // Nothing is defined before the first STREAM record; 0 is as unsupported as LOCAL.
    int m_timebase = kelm::LOCAL;
    SErrorInfo m_warning;
    std::map<int32_t, SStreamSummary> m_streams;
};

bool CContainerParse::Run()
{
    if (!m_file.Open(m_filePath, CFile::OpenExisting, false, m_pError))
        return false;
    if (!m_file.GetSize(m_size, m_pError)) {
        PrefixErrorInfo(m_pError, L"File size get error: ");
        return false;
    }
    if (!m_receiver.OnFileSize(m_size) || !m_receiver.OnPosition(0)) {
        SetCancelled(m_pError);
        return false;
    }

    m_file.AdviseSequentialRead();
    m_remaining = m_size;
    if (!m_window.Reserve(static_cast<uint32_t>(std::min<uint64_t>(m_blockSize, m_size)) + kReadAlignment)) {
        SetOutOfMemory(m_pError);
        return false;
    }
    while (m_remaining >= 4) {
        const EFlow flow = ReadRecord();
        if (flow == EFlow::Fail)
            return false;
        if (flow == EFlow::EndOfFile)
            break;
        if (!m_receiver.OnPosition(m_size - m_remaining)) {
            SetCancelled(m_pError);
            return false;
        }
    }

    if ((m_remaining > 0 || m_bTruncated) && !m_receiver.OnPosition(m_size)) {
        SetCancelled(m_pError);
        return false;
    }
    return EmitSummaries();
}

CContainerParse::EFlow CContainerParse::ReadRecord()
{
    const uint8_t* recordId = nullptr;
    if (!Take(sizeof(kRecordId), recordId))
        return ReadFailed(L"RecordID read error: ");
    m_remaining -= 4;
    if (std::memcmp(recordId, kRecordId, sizeof(kRecordId)) != 0)
        return Fatal(kErrBadData, L"Invalid RecordID value");

    if (m_remaining < 4)
        return Truncated(L"Unexpected end of file before protobuf data size read");
    uint32_t protobufDataSize = 0;
    if (!ReadBigEndian(protobufDataSize))
        return ReadFailed(L"ProtobufDataSize read error: ");
    m_remaining -= 4;
    if (protobufDataSize == 0)
        return Fatal(kErrBadData, L"Zero ProtobufDataSize value");
    if (protobufDataSize > kMaxProtobufDataSize)
        return Fatal(kErrBadData, L"Invalid ProtobufDataSize value");

    if (m_remaining < 4)
        return Truncated(L"Unexpected end of file before binary data size read");
    if (!ReadBigEndian(m_binaryDataSize))
        return ReadFailed(L"BinaryDataSize read error: ");
    m_remaining -= 4;
    if (m_binaryDataSize > kMaxBinaryDataSize)
        return Fatal(kErrBadData, L"Invalid BinaryDataSize value");

    if (m_remaining < protobufDataSize)
        return Truncated(L"Unexpected end of file before protobuf data read");
    const uint8_t* pHeader = nullptr;
    if (!Take(protobufDataSize, pHeader))
        return ReadFailed(L"Protobuf data read error: ");
    m_remaining -= protobufDataSize;
    // Decoded while the header is at hand (taking the payload may move the window under it); a
    // header that does not parse counts only after the payload, as its checks come first.
    // ParseFromArray also checks that every required field is present.
    const bool bHeaderParsed = m_tag.ParseFromArray(pHeader, static_cast<int>(protobufDataSize));

    if (m_remaining < m_binaryDataSize)
        return Truncated(L"Unexpected end of file before binary data read");
    // A skipped payload is passed over by the offset alone: the file position is never used.
    m_pPayload = nullptr;
    if (!m_bSkipPayloads && !Take(m_binaryDataSize, m_pPayload))
        return ReadFailed(L"BinaryData data read error: ");
    m_remaining -= m_binaryDataSize;

    if (!bHeaderParsed)
        return Fatal(kErrGeneral, L"Protobuf data parsing error");
    return HandleTag();
}

CContainerParse::EFlow CContainerParse::HandleTag()
{
    switch (m_tag.type()) {
    case kelm::STREAM:
        return HandleStream();
    case kelm::ESES:
        return HandleES();
    case kelm::UNIT:
        return HandleUnit();
    case kelm::ERROR:
        if (!m_receiver.OnErrorTag(m_tag.error().code()))
            return Cancelled();
        return CheckNoPayload(L"Non-zero BinaryDataSize in ERROR tag");
    case kelm::FINISHED:
        if (!EmitSummaries())
            return EFlow::Fail;
        m_srid.clear();
        m_subSourceKey.clear();
        if (!m_receiver.OnFinishedTag())
            return Cancelled();
        return CheckNoPayload(L"Non-zero BinaryDataSize in FINISHED tag");
    case kelm::CONTROL:
        // Control records may carry data of their own; it is not ours to judge.
        return Answer(m_receiver.OnControlTag());
    default:
        return Warn(kErrBadData, L"Unknown TagType value: " + Decimal(m_tag.type()));
    }
}

CContainerParse::EFlow CContainerParse::HandleStream()
{
    // A Tag without its Stream message reads the default instance: time base 0, refused below.
    const kelm::Stream& stream = m_tag.stream();
    m_timebase = stream.timebase();
    if (m_timebase != kelm::TB90KHz && m_timebase != kelm::TB1KHz)
        return Fatal(kErrNotSupported, L"KELM time base '" + Decimal(m_timebase) + L"' not supported");

    // The JSON step's reason is the one reported: the file name is only a fallback.
    SErrorInfo sridError;
    std::string srid;
    if (!SridFromJson(stream.info(), srid, &sridError) && !SridFromFileName(m_filePath, srid))
        return Fatal(sridError.code, L"get error: " + sridError.message);
    m_srid = srid;
    m_subSourceKey.clear();

    if (!m_receiver.OnStreamTag(NarrowToWide(m_srid), NarrowToWide(m_subSourceKey)))
        return Cancelled();
    return CheckNoPayload(L"Non-zero BinaryDataSize in STREAM tag");
}

CContainerParse::EFlow CContainerParse::HandleES()
{
    const kelm::ES& es = m_tag.es();
    if (m_streams.size() >= kMaxStreamsPerContext && m_streams.count(es.esno()) == 0)
        return Fatal(kErrBadData, L"New stream ID '" + Decimal(es.esno()) + L"' exceeds the limit of "
                                      + Decimal(int64_t(kMaxStreamsPerContext)) + L" streams");
    const auto inserted = m_streams.try_emplace(es.esno());
    SStreamSummary& stream = inserted.first->second;
    if (!inserted.second && stream.frameCount > 0)
        return Fatal(kErrBadData, L"New stream ID '" + Decimal(es.esno()) + L"' already used");
    // A re-declaration before any unit starts the stream afresh.
    stream = SStreamSummary();
    stream.esno = es.esno();
    stream.srid = NarrowToWide(m_srid);
    stream.subSourceKey = NarrowToWide(m_subSourceKey);

    bool bGoOn = true;
    switch (es.estype()) {
    case kelm::MUX:
        stream.kind = StreamKindMux;
        bGoOn = m_receiver.OnMuxES(stream.esno);
        break;
    case kelm::AUX:
        stream.kind = StreamKindAux;
        bGoOn = m_receiver.OnAuxES(stream.esno);
        break;
    case kelm::SIGNALLING:
        stream.kind = StreamKindSignalling;
        bGoOn = m_receiver.OnSignallingES(stream.esno);
        break;
    case kelm::SUBTITLES:
        stream.kind = StreamKindSubtitles;
        bGoOn = m_receiver.OnSubtitlesES(stream.esno);
        break;
    case kelm::AVAUDIO:
    case kelm::AVVIDEO: {
        const bool bAudio = es.estype() == kelm::AVAUDIO;
        stream.kind = bAudio ? StreamKindAudio : StreamKindVideo;
        stream.codec = bAudio ? static_cast<uint32_t>(MapAudioCodec(es.escodec()))
                              : static_cast<uint32_t>(MapVideoCodec(es.escodec()));
        if (stream.codec == 0) {
            const wchar_t* pWhat = bAudio ? L"Unknown ESAudioCodec value: " : L"Unknown ESVideoCodec value: ";
            if (Warn(kErrBadData, pWhat + Decimal(es.escodec())) == EFlow::Fail)
                return EFlow::Fail;
        }

        // A missing configuration is normal for many streams; only a damaged one is worth a word.
        m_config.Clear();
        SErrorInfo configError;
        if (!ExtractDecoderConfig(es.info(), m_config, &configError)) {
            m_config.Clear();
            if (configError.code != kErrNotFound
                && Warn(kErrGeneral, L"Decoder config get error: " + configError.message) == EFlow::Fail)
                return EFlow::Fail;
        }
        const uint8_t* pConfig = m_config.Count() ? m_config.Data() : nullptr;
        if (pConfig)
            stream.decoderConfig.assign(pConfig, pConfig + m_config.Count());
        bGoOn =
            bAudio
                ? m_receiver.OnAudioES(stream.esno, static_cast<AudioCodecId>(stream.codec), pConfig, m_config.Count())
                : m_receiver.OnVideoES(stream.esno, static_cast<VideoCodecId>(stream.codec), pConfig, m_config.Count());
        break;
    }
    default:
        // Unreachable with the closed schema enum (such a header does not parse), kept for
        // schemas that grow.
        if (Warn(kErrBadData, L"Unknown ESType value: " + Decimal(es.estype())) == EFlow::Fail)
            return EFlow::Fail;
        break;
    }
    if (!bGoOn)
        return Cancelled();
    return CheckNoPayload(L"Non-zero BinaryDataSize in ESES tag");
}

CContainerParse::EFlow CContainerParse::HandleUnit()
{
    const kelm::Unit& unit = m_tag.unit();
    const auto found = m_streams.find(unit.esno());
    if (found == m_streams.end())
        return Warn(kErrBadData, L"UINT stream '" + Decimal(unit.esno()) + L"' not found");
    SStreamSummary& stream = found->second;

    const uint64_t pts = unit.pts();
    if (stream.frameCount > 0 && pts <= stream.lastPts)
        return Warn(kErrBadData, L"Frame timestamp less then or equal to previous frame timestamp");

    double seconds = 0;
    if (m_timebase == kelm::TB90KHz)
        seconds = static_cast<double>(pts) * (1.0 / 90000.0);
    else if (m_timebase == kelm::TB1KHz)
        seconds = static_cast<double>(pts) * 0.001;
    else
        return Warn(kErrNotSupported, L"KELM time base '" + Decimal(m_timebase) + L"' not supported");

    if (stream.frameCount == 0) {
        stream.firstPts = pts;
        stream.firstTime = seconds;
    }
    stream.lastPts = pts;
    stream.lastTime = seconds;
    ++stream.frameCount;
    stream.payloadBytes += m_binaryDataSize;

    const bool bGoOn = m_pPayload ? m_receiver.OnUnit(stream.esno, seconds, m_pPayload, m_binaryDataSize)
                                  : m_receiver.OnUnit(stream.esno, seconds, nullptr, 0);
    return Answer(bGoOn);
}

// The next count bytes of the file, at the parse offset (size - remaining), from the window.
// Null for count 0.
bool CContainerParse::Take(uint32_t count, const uint8_t*& pBytes)
{
    pBytes = nullptr;
    if (count == 0)
        return true;
    const uint64_t offset = m_size - m_remaining;
    if (!Bring(offset, count))
        return false;
    pBytes = Window() + (offset - m_windowStart);
    return true;
}

// Makes the window hold the bytes [offset, offset + count), which all lie inside the file's size.
// Reads go on from where the last one ended, a block at a time: the front of a record the window
// already holds is kept, and a gap up to the skip threshold (skipped payloads) is read through,
// whole blocks of it dropped. Only a longer gap is jumped over.
bool CContainerParse::Bring(uint64_t offset, uint32_t count)
{
    const uint64_t windowEnd = m_windowStart + WindowCount();
    const uint64_t end = offset + count;
    if (offset >= m_windowStart && end <= windowEnd)
        return true;

    uint64_t from = offset; // where the window starts after the refill
    uint32_t held = 0;      // bytes of it the window already has
    if (offset >= m_windowStart && offset < windowEnd) {
        held = static_cast<uint32_t>(windowEnd - offset);
        std::memmove(m_window.Data(), Window() + (offset - m_windowStart), held);
    } else if (offset >= windowEnd && offset - windowEnd <= m_skipThreshold) {
        from = windowEnd;
        while (offset - from >= m_blockSize) {
            if (!m_window.Resize(m_blockSize + kReadAlignment))
                return OutOfMemory();
            uint64_t done = 0;
            m_file.ReadAt(from, m_window.Data() + PadFor(from), m_blockSize, done, nullptr);
            if (done < m_blockSize) {
                // Bytes nobody needs did not arrive: whatever went wrong shows for the needed ones.
                from = offset;
                break;
            }
            from += m_blockSize;
        }
    }

    const uint64_t readAt = from + held;
    const uint64_t wanted = std::max<uint64_t>(end - readAt, std::min<uint64_t>(m_blockSize, m_size - readAt));
    // The held bytes are at the front of the storage now; they move behind the pad.
    if (!m_window.Resize(static_cast<uint32_t>(kReadAlignment + held + wanted)))
        return OutOfMemory();
    m_windowPad = PadFor(from);
    if (held > 0 && m_windowPad > 0)
        std::memmove(Window(), m_window.Data(), held);
    m_windowStart = from;
    // Only done matters here: a failure beyond the needed bytes shows when they are needed.
    uint64_t done = 0;
    m_file.ReadAt(readAt, Window() + held, wanted, done, nullptr);
    if (readAt + done < end)
        return ReadExactly(readAt + done, offset, end);
    // Shrinking the count never needs memory.
    (void)m_window.Resize(static_cast<uint32_t>(m_windowPad + readAt + done - from));
    return true;
}

// Reads once more exactly the needed bytes that did not arrive, from arrived on, so that a failure
// or the end of the file is reported for them, not for bytes beyond.
bool CContainerParse::ReadExactly(uint64_t arrived, uint64_t offset, uint64_t end)
{
    if (arrived < offset) {
        // Not even the gap before them arrived: the window starts afresh at them.
        m_windowStart = offset;
        arrived = offset;
        m_windowPad = 0;
        if (!m_window.Resize(static_cast<uint32_t>(end - offset)))
            return OutOfMemory();
    }
    if (!m_file.ReadAt(arrived, Window() + (arrived - m_windowStart), end - arrived, m_pError)) {
        m_window.Clear();
        m_windowPad = 0;
        return false;
    }
    if (!m_window.Resize(static_cast<uint32_t>(m_windowPad + end - m_windowStart)))
        return OutOfMemory();
    return true;
}

bool CContainerParse::ReadBigEndian(uint32_t& value)
{
    const uint8_t* bytes = nullptr;
    if (!Take(4, bytes))
        return false;
    value = (uint32_t(bytes[0]) << 24) | (uint32_t(bytes[1]) << 16) | (uint32_t(bytes[2]) << 8) | bytes[3];
    return true;
}

CContainerParse::EFlow CContainerParse::ReadFailed(const wchar_t* pContext)
{
    PrefixErrorInfo(m_pError, pContext);
    return EFlow::Fail;
}

CContainerParse::EFlow CContainerParse::Fatal(int32_t code, const std::wstring& message)
{
    SetErrorInfo(m_pError, code, message);
    return EFlow::Fail;
}

CContainerParse::EFlow CContainerParse::Cancelled()
{
    SetCancelled(m_pError);
    return EFlow::Fail;
}

// A cut-off last record is tolerated: what was read so far still counts when the receiver agrees.
CContainerParse::EFlow CContainerParse::Truncated(const wchar_t* pMessage)
{
    m_bTruncated = true;
    if (Warn(kErrBadData, pMessage) == EFlow::Fail)
        return EFlow::Fail;
    return EFlow::EndOfFile;
}

CContainerParse::EFlow CContainerParse::Warn(int32_t code, const std::wstring& message)
{
    m_warning.code = code;
    m_warning.message = message;
    return Answer(m_receiver.OnParseWarning(m_warning));
}

// Judged on the declared size, so a skipping parse warns exactly like a reading one.
CContainerParse::EFlow CContainerParse::CheckNoPayload(const wchar_t* pMessage)
{
    if (m_binaryDataSize == 0)
        return EFlow::Next;
    return Warn(kErrBadData, pMessage);
}

// Closes a stream context: reports its streams, hands them to the caller and forgets them.
bool CContainerParse::EmitSummaries()
{
    bool bGoOn = true;
    for (const auto& entry : m_streams) {
        const SStreamSummary& stream = entry.second;
        switch (stream.kind) {
        case StreamKindAudio:
            bGoOn = m_receiver.OnAudioStreamEnd(stream.esno, stream.frameCount, stream.lastTime);
            break;
        case StreamKindAux:
            bGoOn = m_receiver.OnAuxStreamEnd(stream.esno, stream.frameCount, stream.lastTime);
            break;
        case StreamKindMux:
            bGoOn = m_receiver.OnMuxStreamEnd(stream.esno, stream.frameCount, stream.lastTime);
            break;
        case StreamKindSignalling:
            bGoOn = m_receiver.OnSignallingStreamEnd(stream.esno, stream.frameCount, stream.lastTime);
            break;
        case StreamKindSubtitles:
            bGoOn = m_receiver.OnSubtitlesStreamEnd(stream.esno, stream.frameCount, stream.lastTime);
            break;
        case StreamKindVideo:
            bGoOn = m_receiver.OnVideoStreamEnd(stream.esno, stream.frameCount, stream.lastTime);
            break;
        default:
            break;
        }
        if (!bGoOn)
            break;
    }
    if (bGoOn && m_pSummaries) {
        for (const auto& entry : m_streams)
            m_pSummaries->push_back(entry.second);
    }
    m_streams.clear();
    if (!bGoOn)
        SetCancelled(m_pError);
    return bGoOn;
}

} // namespace

bool ParseContainer(const std::wstring& filePath, bool bSkipPayloads, IKELMItemsReceiver* pReceiver,
                    std::vector<SStreamSummary>* pSummaries, SErrorInfo* pError)
{
    return ParseContainer(filePath, bSkipPayloads, pReceiver, pSummaries, pError, SParseReading());
}

bool ParseContainer(const std::wstring& filePath, bool bSkipPayloads, IKELMItemsReceiver* pReceiver,
                    std::vector<SStreamSummary>* pSummaries, SErrorInfo* pError, const SParseReading& reading)
{
    static CKELMItemsReceiverStub sharedStub;
    QuietProtobufLog();
    CContainerParse parse(filePath, bSkipPayloads, pReceiver ? *pReceiver : sharedStub, pSummaries, pError, reading);
    return parse.Run();
}

} // namespace KELMNameSpace
