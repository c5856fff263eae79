#pragma once

// The synthetic sample (tests/data/sample-320x240.mp4, made by tools/make-samples) as packets:
// 4 s of 320x240 H.264 at 25 fps with one-second GOPs and no B-frames, and mono 48 kHz AAC-LC.

#include <cstdint>
#include <string>
#include <vector>

namespace KcTest {

struct SPacket {
    std::vector<uint8_t> data; // H.264: NAL units behind 4-byte big-endian lengths; AAC: raw frame
    bool key = false;
    double pts = 0; // seconds, as the file gives them
};

struct SMediaSample {
    std::vector<SPacket> video; // decode order = presentation order; video[0] is a key frame
    std::vector<SPacket> audio;
    std::vector<uint8_t> avcC; // H.264 decoder configuration record (the MP4 extradata)
    std::vector<std::vector<uint8_t>> sps;
    std::vector<std::vector<uint8_t>> pps;
    std::vector<uint8_t> audioSpecificConfig;
    int width = 0;
    int height = 0;
    int sampleRate = 0;
    int channels = 0;
};

// Path of a file in tests/data.
std::string TestDataPath(const std::string& name);

// The sample, read once with libavformat. Aborts the test program when it cannot be read.
const SMediaSample& MediaSample();

// Standard base64 (RFC 4648) with padding.
std::string EncodeBase64(const uint8_t* pData, size_t size);
std::string EncodeBase64(const std::vector<uint8_t>& data);

// An ES info text carrying the configuration: {"...","decoderConfig":"binary-dataXXX:<base64>"}.
std::string DecoderConfigInfo(const std::vector<uint8_t>& config);

// ES info texts with the sample's configurations: the avcC record for video (what the export
// reads its parameter sets from), the AudioSpecificConfig for audio.
std::string VideoEsInfo();
std::string AudioEsInfo();

} // namespace KcTest
