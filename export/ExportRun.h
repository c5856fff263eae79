#pragma once

#include "export/DecoderSetup.h"
#include "export/ExportTarget.h"
#include "export/ExportTypes.h"
#include "export/KELMExport.h"

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

namespace KELMNameSpace {

// The state of one export run, owned by the run and reached from the export object while it lasts:
// the batch being written, its streams, the progress, and the target.
struct SExportRun {
    explicit SExportRun(CKELMExport::IExportEventSync& eventSync)
        : target(eventSync)
    {
    }

    uint32_t batchId = 0;
    // The batch's camera; the descriptions and units of other cameras' stream contexts are skipped.
    std::wstring batchSrid;
    std::wstring batchSubSourceKey;
    bool bOtherCamera = false;
    int32_t audioEsno = 0;
    int32_t videoEsno = 0;
    uint64_t batchEstimatedTotal = 0;

    // Progress.
    uint64_t bytesAtLastRateSample = 0;
    uint64_t completedFilesBytes = 0;
    uint64_t totalBytes = 0;
    double rate = 0;                     // bytes per second; 0 = unknown
    uint64_t batchClosedTargetsSize = 0; // sizes of this batch's targets already closed
    SClockTime lastRateSample;

    uint32_t audioCodec = 0; // 0 = no usable audio stream in this batch
    uint32_t videoCodec = 0;
    const SFileRecord* pCurrentFile = nullptr;
    std::deque<SExportFragment> pendingFragments; // the front one is the current target

    ParameterSetList pictureParameterSets;
    ParameterSetList sequenceParameterSets;
    std::vector<uint8_t> audioDecoderConfig;
    // Every sequence parameter set, then every picture parameter set, each behind a 4-byte length.
    std::vector<uint8_t> parameterSetPrefix;

    SErrorInfo error; // the record of reports made here

    CExportTarget target;
};

} // namespace KELMNameSpace
