#pragma once

#include "container/ContentModel.h"

#include <cstdint>
#include <string>
#include <vector>

namespace KELMNameSpace {

// Export requests and their preparation into day fragments. Request and fragment times are local
// seconds: UTC + the export object's UTCTimeToLocalTimeOffset.

struct SExportRequest {
    double endTime = 0;
    double startTime = 0;
    std::wstring srid;            // key into SridMap; first part of target names
    std::wstring displayNumber;   // "1", "2", ...; second part of target names
    std::wstring subSourceKey;    // key into the Srid's RecordingMap
    std::wstring targetDirectory; // ends with a path separator; joined to names by concatenation
};

// One future MP4 file: one local day of one request that has media.
struct SExportFragment {
    uint64_t estimatedSize = 0;
    double endTime = 0;   // end of the last clipped file span
    double startTime = 0; // start of the first clipped file span; 0 until a file contributes
    double windowEnd = 0;
    double windowStart = 0;
    std::vector<SMediaPart> audioParts; // copies clipped to the window, local times
    std::vector<SMediaPart> videoParts;
    std::wstring targetFileName;
    std::wstring targetDirectory;
};

// One prepared request.
struct SExportBatch {
    uint32_t id = 0;
    // The camera of the request: a file may hold other cameras' stream contexts too.
    std::wstring srid;
    std::wstring subSourceKey;
    uint64_t estimatedTotalSize = 0;
    std::vector<SExportFragment> fragments; // in day order
    // The files that contributed a part, in order of contribution; a file spanning two days is
    // listed once per day. Copies, so that a batch stays valid whatever happens to the model.
    std::vector<SFileRecord> files;
};

} // namespace KELMNameSpace
