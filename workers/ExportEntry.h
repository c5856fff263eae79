#pragma once

#include "export/ExportTypes.h"

#include <cstdint>
#include <map>
#include <string>

namespace KcWorkers {

// One camera and local day as the user sees it: a date pane in the videos-found form and, while
// enabled, one MP4 file of the export.
struct SExportEntry {
    std::wstring srid;
    std::wstring subSourceKey;
    std::wstring displayNumber; // "1", "2", ...
    bool bEnabled = true;
    KELMNameSpace::SExportFragment fragment; // the day as prepared; local times
    uint32_t batchId = 0;                    // renewed every time the batches are prepared
};

// Export key -> entry. The key starts with the zero-padded local day number, so the map is
// ordered by day, then display number, then Srid.
using ExportedSrids = std::map<std::wstring, SExportEntry>;

// Seconds truncated to the unsigned 32-bit count the day numbers and requests are built on;
// values outside that range (and NaN) are clamped instead of overflowing.
uint32_t truncateToUint32Seconds(double seconds);

// Local day number (12 digits) + display number + Srid + sub-source key.
std::wstring makeExportKey(const SExportEntry& entry);

} // namespace KcWorkers
