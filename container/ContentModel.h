#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace KELMNameSpace {

// The content model built by content loading. All times are UTC seconds since 1970 in doubles.

// One recorded interval: one usable audio or video stream of one stream context of one file.
struct SMediaPart {
    uint64_t frameCount = 0;
    uint64_t payloadBytes = 0;
    double endTime = 0;
    double startTime = 0;
    uint32_t codec = 0;
    // As the stream's description gave it: the AudioSpecificConfig, or the H.264 decoder setup
    // data. An export declares each track with its first part's configuration.
    std::vector<uint8_t> decoderConfig;
};

// One file that contributed a stream to a recording. Parts are referred to by their index in the
// recording's lists, so a copied model stays consistent.
struct SFileRecord {
    uint32_t inputIndex = 0;
    uint64_t fileSize = 0;
    double startTime = 0; // 0 = not set
    double endTime = 0;
    std::wstring path;                // the key of this record in SRecording::files
    std::vector<uint32_t> audioParts; // indexes into SRecording::audioParts, in order of creation
    std::vector<uint32_t> videoParts; // indexes into SRecording::videoParts, in order of creation
};

struct SRecording {
    double audioEnd = 0;
    double audioStart = 0;
    double videoEnd = 0;
    double videoStart = 0;
    std::vector<SMediaPart> audioParts;
    std::vector<SMediaPart> videoParts;
    std::map<std::wstring, SFileRecord> files; // by file path
    std::wstring displayNumber;                // "1", "2", ... in order of creation
};

// Sub-source key -> recording (the key is always empty today, so one recording per Srid).
using RecordingMap = std::map<std::wstring, SRecording>;
// Srid -> recordings.
using SridMap = std::map<std::wstring, RecordingMap>;
// Input indexes of the files that contributed no part, in input order.
using BlackList = std::vector<uint32_t>;

} // namespace KELMNameSpace
