#include "export/DecoderSetup.h"

namespace KELMNameSpace {

using UtilsNameSpace::SErrorInfo;
using UtilsNameSpace::SetErrorInfo;

namespace {

constexpr uint8_t kNalTypeMask = 0x1F;
constexpr uint8_t kNalIdrSlice = 5;
constexpr uint8_t kNalSequenceParameterSet = 7;
constexpr uint8_t kNalPictureParameterSet = 8;
constexpr size_t kNalLengthSize = 4;

uint16_t ReadBe16(const uint8_t* p)
{
    return static_cast<uint16_t>((p[0] << 8) | p[1]);
}

uint32_t ReadBe32(const uint8_t* p)
{
    return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | uint32_t(p[3]);
}

void AppendBe32(std::vector<uint8_t>& out, size_t value)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<uint8_t>(value >> shift));
}

// Reads one list of parameter sets (2-byte lengths); a zero length gives no entry.
bool ReadParameterSets(const uint8_t* pData, size_t size, size_t& p, unsigned count, ParameterSetList& sets,
                       const wchar_t* pSizeMessage, const wchar_t* pDataMessage, SErrorInfo* pError)
{
    for (unsigned i = 0; i < count; ++i) {
        if (p + 1 >= size) {
            SetErrorInfo(pError, UtilsNameSpace::kErrBadData, pSizeMessage);
            return false;
        }
        const size_t length = ReadBe16(pData + p);
        p += 2;
        if (length == 0)
            continue;
        if (p + length > size) {
            SetErrorInfo(pError, UtilsNameSpace::kErrBadData, pDataMessage);
            return false;
        }
        sets.emplace_back(pData + p, pData + p + length);
        p += length;
    }
    return true;
}

// Bit reader over the payload of a NAL unit, with emulation prevention bytes removed. Reading past
// the end sets the failure flag and yields zeros.
class CBitReader {
public:
    CBitReader(const uint8_t* pData, size_t size)
    {
        m_bytes.reserve(size);
        size_t zeros = 0;
        for (size_t i = 0; i < size; ++i) {
            if (zeros >= 2 && pData[i] == 3) {
                zeros = 0;
                continue;
            }
            zeros = pData[i] == 0 ? zeros + 1 : 0;
            m_bytes.push_back(pData[i]);
        }
    }

    bool Failed() const { return m_bFailed; }

    uint32_t Bits(unsigned count)
    {
        uint32_t value = 0;
        for (unsigned i = 0; i < count; ++i)
            value = (value << 1) | Bit();
        return value;
    }

    uint32_t Bit()
    {
        if (m_position >= m_bytes.size() * 8) {
            m_bFailed = true;
            return 0;
        }
        const uint32_t bit = (m_bytes[m_position / 8] >> (7 - m_position % 8)) & 1;
        ++m_position;
        return bit;
    }

    // Exp-Golomb, unsigned; values beyond 32 bits are treated as damage.
    uint32_t Ue()
    {
        unsigned zeros = 0;
        while (Bit() == 0) {
            if (m_bFailed || ++zeros > 31) {
                m_bFailed = true;
                return 0;
            }
        }
        return static_cast<uint32_t>((uint64_t(1) << zeros) - 1 + Bits(zeros));
    }

    int32_t Se()
    {
        const uint32_t code = Ue();
        return code & 1 ? static_cast<int32_t>((code + 1) / 2) : -static_cast<int32_t>(code / 2);
    }

private:
    std::vector<uint8_t> m_bytes;
    size_t m_position = 0;
    bool m_bFailed = false;
};

// A delta_scale lies in -128..127; a larger one is damage (and would overflow the sum below).
bool SkipScalingList(CBitReader& reader, int size)
{
    int lastScale = 8;
    int nextScale = 8;
    for (int j = 0; j < size && !reader.Failed(); ++j) {
        if (nextScale != 0) {
            const int32_t delta = reader.Se();
            if (delta < -128 || delta > 127)
                return false;
            nextScale = (lastScale + delta + 256) % 256;
        }
        lastScale = nextScale == 0 ? lastScale : nextScale;
    }
    return true;
}

bool HasChromaFormat(uint32_t profile)
{
    switch (profile) {
    case 100:
    case 110:
    case 122:
    case 244:
    case 44:
    case 83:
    case 86:
    case 118:
    case 128:
    case 138:
    case 139:
    case 134:
    case 135:
        return true;
    default:
        return false;
    }
}

int AacSampleRate(CBitReader& reader)
{
    static const int kRates[] = {96000, 88200, 64000, 48000, 44100, 32000, 24000,
                                 22050, 16000, 12000, 11025, 8000,  7350};
    const uint32_t index = reader.Bits(4);
    if (index == 15)
        return static_cast<int>(reader.Bits(24));
    return index < sizeof(kRates) / sizeof(kRates[0]) ? kRates[index] : 0;
}

uint32_t AacObjectType(CBitReader& reader)
{
    const uint32_t type = reader.Bits(5);
    return type == 31 ? 32 + reader.Bits(6) : type;
}

} // namespace

bool ParseDecoderSetupData(const uint8_t* pData, size_t size, ParameterSetList& pictureParameterSets,
                           ParameterSetList& sequenceParameterSets, SErrorInfo* pError)
{
    if (size < 6) {
        SetErrorInfo(pError, UtilsNameSpace::kErrBadData, L"Too small decoder setup data size");
        return false;
    }
    if (pData[0] != 1) {
        SetErrorInfo(pError, UtilsNameSpace::kErrBadData, L"Invalid decoder setup data format ID");
        return false;
    }
    size_t p = 6;
    ParameterSetList sequenceSets;
    if (!ReadParameterSets(pData, size, p, pData[5] & 0x1F, sequenceSets,
                           L"Not enough decoder setup data size for SequenceParamsSet NALSize",
                           L"Not enough decoder setup data size for SequenceParamsSet", pError))
        return false;
    if (p >= size) {
        SetErrorInfo(pError, UtilsNameSpace::kErrBadData,
                     L"Not enough decoder setup data size for PictureParamsSetsCount");
        return false;
    }
    const unsigned pictureCount = pData[p];
    ParameterSetList pictureSets;
    if (pictureCount != 0) {
        ++p;
        if (!ReadParameterSets(pData, size, p, pictureCount, pictureSets,
                               L"Not enough decoder setup data size for PictureParamsSet NALSize",
                               L"Not enough decoder setup data size for PictureParamsSet", pError))
            return false;
    }
    pictureParameterSets = std::move(pictureSets);
    sequenceParameterSets = std::move(sequenceSets);
    return true;
}

void BuildParameterSetPrefix(const ParameterSetList& sequenceParameterSets,
                             const ParameterSetList& pictureParameterSets, std::vector<uint8_t>& prefix)
{
    prefix.clear();
    for (const ParameterSetList* pList : {&sequenceParameterSets, &pictureParameterSets}) {
        for (const std::vector<uint8_t>& set : *pList) {
            AppendBe32(prefix, set.size());
            prefix.insert(prefix.end(), set.begin(), set.end());
        }
    }
}

bool IsSyncSample(const uint8_t* pUnit, size_t size)
{
    size_t p = 0;
    while (size - p > kNalLengthSize) {
        const uint64_t length = ReadBe32(pUnit + p);
        p += kNalLengthSize;
        if (length != 0) {
            const uint8_t type = pUnit[p] & kNalTypeMask;
            if (type == kNalIdrSlice || type == kNalSequenceParameterSet || type == kNalPictureParameterSet)
                return true;
        }
        if (length > size - p)
            break;
        p += length;
    }
    return false;
}

bool ReadPictureSize(const uint8_t* pSps, size_t size, int& width, int& height)
{
    if (size < 4 || (pSps[0] & kNalTypeMask) != kNalSequenceParameterSet)
        return false;
    CBitReader reader(pSps + 1, size - 1);
    const uint32_t profile = reader.Bits(8);
    reader.Bits(16); // constraint flags, level
    reader.Ue();     // seq_parameter_set_id
    uint32_t chromaFormat = 1;
    bool bSeparateColourPlanes = false;
    if (HasChromaFormat(profile)) {
        chromaFormat = reader.Ue();
        if (chromaFormat > 3)
            return false;
        if (chromaFormat == 3)
            bSeparateColourPlanes = reader.Bit() != 0;
        reader.Ue();  // bit_depth_luma_minus8
        reader.Ue();  // bit_depth_chroma_minus8
        reader.Bit(); // qpprime_y_zero_transform_bypass_flag
        if (reader.Bit()) {
            const int lists = chromaFormat != 3 ? 8 : 12;
            for (int i = 0; i < lists && !reader.Failed(); ++i) {
                if (reader.Bit() && !SkipScalingList(reader, i < 6 ? 16 : 64))
                    return false;
            }
        }
    }
    reader.Ue(); // log2_max_frame_num_minus4
    const uint32_t pocType = reader.Ue();
    if (pocType == 0) {
        reader.Ue(); // log2_max_pic_order_cnt_lsb_minus4
    } else if (pocType == 1) {
        reader.Bit(); // delta_pic_order_always_zero_flag
        reader.Se();  // offset_for_non_ref_pic
        reader.Se();  // offset_for_top_to_bottom_field
        const uint32_t cycle = reader.Ue();
        if (cycle > 255)
            return false;
        for (uint32_t i = 0; i < cycle && !reader.Failed(); ++i)
            reader.Se();
    } else if (pocType != 2) {
        return false;
    }
    reader.Ue();  // max_num_ref_frames
    reader.Bit(); // gaps_in_frame_num_value_allowed_flag
    const uint64_t widthInMbs = uint64_t(reader.Ue()) + 1;
    const uint64_t heightInMapUnits = uint64_t(reader.Ue()) + 1;
    const bool bFrameMbsOnly = reader.Bit() != 0;
    if (!bFrameMbsOnly)
        reader.Bit(); // mb_adaptive_frame_field_flag
    reader.Bit();     // direct_8x8_inference_flag
    uint64_t cropLeft = 0, cropRight = 0, cropTop = 0, cropBottom = 0;
    if (reader.Bit()) {
        cropLeft = reader.Ue();
        cropRight = reader.Ue();
        cropTop = reader.Ue();
        cropBottom = reader.Ue();
    }
    if (reader.Failed())
        return false;

    const uint64_t frameHeightFactor = bFrameMbsOnly ? 1 : 2;
    const uint32_t chromaArrayType = bSeparateColourPlanes ? 0 : chromaFormat;
    const uint64_t cropUnitX = chromaArrayType == 1 || chromaArrayType == 2 ? 2 : 1;
    const uint64_t cropUnitY = (chromaArrayType == 1 ? 2 : 1) * frameHeightFactor;
    const uint64_t fullWidth = widthInMbs * 16;
    const uint64_t fullHeight = heightInMapUnits * 16 * frameHeightFactor;
    const uint64_t cropX = (cropLeft + cropRight) * cropUnitX;
    const uint64_t cropY = (cropTop + cropBottom) * cropUnitY;
    constexpr uint64_t kMaxSide = 1 << 16;
    if (fullWidth > kMaxSide || fullHeight > kMaxSide || cropX >= fullWidth || cropY >= fullHeight)
        return false;
    width = static_cast<int>(fullWidth - cropX);
    height = static_cast<int>(fullHeight - cropY);
    return true;
}

bool ReadAacConfig(const uint8_t* pConfig, size_t size, SAacConfig& config)
{
    CBitReader reader(pConfig, size);
    uint32_t objectType = AacObjectType(reader);
    int sampleRate = AacSampleRate(reader);
    const uint32_t channelConfig = reader.Bits(4);
    int frameLength = 1024;
    if (objectType == 5 || objectType == 29) {
        // Explicit SBR: the decoder outputs the extension rate, two core frames' worth per frame.
        sampleRate = AacSampleRate(reader);
        objectType = AacObjectType(reader);
        frameLength = 2048;
    }
    switch (objectType) {
    case 1:
    case 2:
    case 3:
    case 4:
    case 6:
    case 7:
    case 17:
    case 19:
    case 20:
    case 21:
    case 22:
    case 23:
        if (reader.Bit()) // frameLengthFlag of the GASpecificConfig
            frameLength = frameLength / 1024 * 960;
        break;
    default:
        break;
    }
    static const int kChannels[] = {0, 1, 2, 3, 4, 5, 6, 8, 0, 0, 0, 7, 8, 24, 8, 0};
    if (reader.Failed() || sampleRate <= 0 || objectType == 0)
        return false;
    config.sampleRate = sampleRate;
    config.channels = kChannels[channelConfig];
    config.frameLength = frameLength;
    return true;
}

} // namespace KELMNameSpace
