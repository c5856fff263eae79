#pragma once

#include "export/ExportTypes.h"
#include "export/KELMExport.h"
#include "export/Mp4FileProvider.h"
#include "export/Mp4Writer.h"

#include <cstdint>
#include <string>
#include <vector>

namespace KELMNameSpace {

// A target is written under its name plus this and gets its own name only once it is complete,
// so that no half-written file ever carries a final name nor replaces a finished one.
constexpr const wchar_t* kPartialTargetSuffix = L".part";

// For a process about to end at once: waits (up to 2 s) for a target file being created now, and
// every target opened later waits for ever before its file is created, so the partial files
// present when this returns are all there will be.
void StopCreatingTargets();

// Where one track of the open target stands on the target's tick line.
struct STrackTicks {
    uint64_t samples = 0;
    int64_t lastTick = 0;
    int64_t lastInterval = 0; // between the last two samples; 0 while there is one
};

// The MP4 file of one day fragment. One target is open at a time; opening one starts its counters,
// clock and video afresh. It is written under its partial name, and its close either dates it and
// gives it its own name or deletes it; a target still open when this object ends is deleted, so
// that no file without its index is left. Every operation answers whether the run goes on.
class CExportTarget {
public:
    explicit CExportTarget(CKELMExport::IExportEventSync& eventSync)
        : m_eventSync(eventSync)
    {
    }
    ~CExportTarget();
    CExportTarget(const CExportTarget&) = delete;
    CExportTarget& operator=(const CExportTarget&) = delete;

    bool IsOpen() const { return m_writer.IsOpen(); }
    // Creates the fragment's partial file and declares a track for every kind the day has.
    // bOpened false: the fragment is given up (its error was reported).
    bool Open(const SExportFragment& fragment, double utcToLocalOffset, bool& bOpened);
    // The target is unusable and is deleted at its close; its units need not be written.
    bool IsFailed() const { return m_bFailed; }
    // A new input file begins: its first unit may close the gap to what the target holds.
    void BeginFile() { m_bNewFilePending = true; }
    // Another video stream description: video starts again at a sync sample with the new sets.
    void RestartVideo()
    {
        m_bVideoStarted = false;
        m_bVideoParameterSetsPrepended = false;
    }
    bool WriteAudioUnit(double localTime, const uint8_t* pPayload, uint32_t payloadSize);
    // The prefix (the parameter sets) goes into the first sync sample since the video started.
    bool WriteVideoUnit(double localTime, const uint8_t* pPayload, uint32_t payloadSize,
                        const std::vector<uint8_t>& parameterSetPrefix);
    // Closes the open target (nothing without one). bReport false closes it without reports, as a
    // run that already stops does.
    bool Close(bool bReport);

    // What the open target holds, by the rule of the fragment estimate, so that the two compare.
    uint64_t Size() const { return 16 * (m_audioFrames + m_videoFrames) + m_audioBytes + m_videoBytes + 1500; }
    uint64_t EstimatedSize() const { return m_estimatedSize; }
    const std::wstring& FileName() const { return m_fileName; }

    // The library's log output while the run lasts: errors fail the target, and a report answered
    // with false stops the run at the next operation.
    void OnLibraryLog(bool bError, const std::wstring& message);

private:
    bool DeclareTracks(const SExportFragment& fragment);
    bool WriteSample(bool bAudio, const uint8_t* pSample, size_t size, int64_t tick, bool bSync);
    // Dates the complete partial file and gives it its final name; false (reported) when it
    // cannot have that name.
    bool Publish(const std::wstring& partialPath, const std::wstring& path, bool& bReporting, bool& bResult);
    // Removes the partial file of a target that is not kept. A file that cannot be removed is
    // reported with its path; false when that report was answered with false.
    bool Discard(const std::wstring& path);
    // Reports the error of the target; the answer is the result.
    bool ReportError(const SErrorInfo& error);

    int64_t TickOf(double localTime) const;
    int64_t ContentEndTick() const;
    void ShortenOverlongGap(double localTime, int64_t& tick);
    bool PlaceOnClock(const STrackTicks& track, double localTime, int64_t& tick);

    CKELMExport::IExportEventSync& m_eventSync;
    UtilsNameSpace::CMp4FileProvider m_provider; // its first error is the library error
    CMp4Writer m_writer{m_provider};             // open = a target is open

    // A report made from inside the library's log output was answered with false.
    bool m_bStopRequested = false;
    bool m_bFailed = false;
    // A sync sample was written since the last video stream description or target start.
    bool m_bVideoStarted = false;
    bool m_bVideoParameterSetsPrepended = false;
    bool m_bNewFilePending = false;
    // False only while a target is closed without reporting.
    bool m_bReportLibraryMessages = true;

    uint64_t m_audioFrames = 0;
    uint64_t m_audioBytes = 0;
    uint64_t m_videoFrames = 0;
    uint64_t m_videoBytes = 0;

    // One clock per target: a unit at local time t sits at
    // tick = clockOriginTick + floor((t - clockOriginTime) x 48000). Both tracks share it, so they
    // stay in sync; closing a gap between files moves the origin.
    bool m_bClockStarted = false;
    double m_clockOriginTime = 0;
    int64_t m_clockOriginTick = 0;
    STrackTicks m_audioTicks;
    STrackTicks m_videoTicks;

    std::wstring m_path;        // the final name
    std::wstring m_partialPath; // what is written until the close
    std::wstring m_fileName;
    double m_utcToLocalOffset = 0; // of the run, to give the target UTC times
    double m_lastUnitTime = 0;     // local time of the latest unit placed in the target
    uint64_t m_estimatedSize = 0;

    std::vector<uint8_t> m_joinedSample; // reused for the unit that gets the prefix
    SErrorInfo m_error;                  // the record of reports made here
};

} // namespace KELMNameSpace
