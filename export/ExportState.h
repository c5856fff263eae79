#pragma once

#include "DecoderSetup.h"
#include "ExportTypes.h"
#include "KELMStorage.h"
#include "Mp4FileProvider.h"
#include "Mp4Writer.h"

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

namespace KELMNameSpace {

// A target is written under its name plus this and gets its own name only once it is complete,
// so that no half-written file ever carries a final name nor replaces a finished one.
constexpr const wchar_t* kPartialTargetSuffix = L".part";

// Where one track of the open target stands on the target's tick line.
struct STrackTicks {
    uint64_t samples = 0;
    int64_t lastTick = 0;
    int64_t lastInterval = 0; // between the last two samples; 0 while there is one
};

// The state of one export run, owned by the run and reached from the storage while it lasts.
struct SExportState {
    // A report made from inside the library's log output was answered with false.
    bool bStopRequested = false;
    // The current target is unusable and is deleted when closed.
    bool bTargetFailed = false;
    // A sync sample was written since the last video stream description or target start.
    bool bVideoStarted = false;
    bool bVideoParameterSetsPrepended = false;
    // A new file began: its first unit may close the gap to what the target holds.
    bool bNewFilePending = false;
    // False only while a target is closed without reporting.
    bool bReportLibraryMessages = true;
    uint32_t batchId = 0;
    // The batch's camera; the descriptions and units of other cameras' stream contexts are skipped.
    std::wstring batchSrid;
    std::wstring batchSubSourceKey;
    bool bOtherCamera = false;
    int32_t audioEsno = 0;
    int32_t videoEsno = 0;
    uint64_t batchEstimatedTotal = 0;

    // Counters of the current target.
    uint64_t audioFrames = 0;
    uint64_t audioBytes = 0;
    uint64_t videoFrames = 0;
    uint64_t videoBytes = 0;

    // Progress.
    uint64_t bytesAtLastRateSample = 0;
    uint64_t completedFilesBytes = 0;
    uint64_t totalBytes = 0;
    double rate = 0; // bytes per second; 0 = unknown
    uint64_t batchClosedTargetsSize = 0; // sizes of this batch's targets already closed
    SClockTime lastRateSample;

    // One clock per target: a unit at local time t sits at
    // tick = clockOriginTick + floor((t - clockOriginTime) x 48000). Both tracks share it, so they
    // stay in sync; closing a gap between files moves the origin.
    bool bClockStarted = false;
    double clockOriginTime = 0;
    int64_t clockOriginTick = 0;
    STrackTicks audioTicks;
    STrackTicks videoTicks;

    UtilsNameSpace::CMp4FileProvider provider; // its first error is the library error
    CMp4Writer writer{provider};               // open = a target is open
    std::wstring targetPath;        // the final name
    std::wstring targetPartialPath; // what is written until the close
    std::wstring targetFileName;
    double utcToLocalOffset = 0;    // of the run, to give the target UTC times
    double lastUnitTime = 0;        // local time of the latest unit placed in the target
    uint64_t targetEstimatedSize = 0;

    uint32_t audioCodec = 0; // 0 = no usable audio stream in this batch
    uint32_t videoCodec = 0;
    const SFileRecord* pCurrentFile = nullptr;
    std::deque<SExportFragment> pendingFragments; // the front one is the current target

    ParameterSetList pictureParameterSets;
    ParameterSetList sequenceParameterSets;
    std::vector<uint8_t> audioDecoderConfig;
    // Every sequence parameter set, then every picture parameter set, each behind a 4-byte length.
    std::vector<uint8_t> parameterSetPrefix;
    std::vector<uint8_t> joinedSample; // reused for the unit that gets the prefix

    SErrorInfo error; // the record of reports made here
};

// Removes the partial file of a target that is not kept. A file that cannot be removed is reported
// with its path; false when that report was answered with false.
bool DiscardPartialTarget(CKELMStorage::IExportEventSync& eventSync, SExportState& state, const std::wstring& path);

// What the open target holds, by the rule of the fragment estimate, so that the two compare.
inline uint64_t TargetSize(const SExportState& state)
{
    return 16 * (state.audioFrames + state.videoFrames) + state.audioBytes + state.videoBytes + 1500;
}

} // namespace KELMNameSpace
