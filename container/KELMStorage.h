#pragma once

#include "ContentModel.h"
#include "ErrorInfo.h"
#include "ExportTypes.h"
#include "KelmParser.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace KELMNameSpace {

using UtilsNameSpace::SErrorInfo;

class CKELMStorage;
class CExportKELMItemsReceiver;
// The state of one export run; it exists only while the run lasts (export/ExportState.h).
struct SExportState;

// Wall-clock reading with millisecond resolution, as the progress estimates sample it.
struct SClockTime {
    int64_t seconds = 0;
    uint32_t milliseconds = 0;
};

using ClockFunction = std::function<SClockTime()>;

// The system clock (UTC seconds and milliseconds since 1970).
SClockTime SystemClockNow();

// Estimate of the time a long operation still needs.
struct SRemainingTime {
    bool bValid = false;
    double seconds = 0;
};

// One input path during a load; discarded afterwards.
struct SFileEntry {
    bool bUsed = false;       // the file contributed at least one media part
    uint32_t inputIndex = 0;
    uint64_t size = 0;        // 0 until the parser reports it
    std::wstring path;
};

// The progress record of one load.
struct SLoadProgress {
    uint64_t estimatedTotalBytes = 0;
    uint64_t bytesAtLastSample = 0;
    uint64_t finishedFilesBytes = 0;
    double speed = 0;                   // bytes per second; 0 = unknown
    SFileEntry* pCurrentEntry = nullptr;
    SClockTime lastSampleTime;
};

// The parser receiver of content loading: file size, position and warnings of the current file.
class CContentLoadKELMItemsReceiver : public CKELMItemsReceiverStub {
public:
    explicit CContentLoadKELMItemsReceiver(CKELMStorage* pStorage) : m_pStorage(pStorage) {}

    bool OnFileSize(uint64_t fileSize) override;
    bool OnPosition(uint64_t bytesConsumed) override;
    bool OnParseWarning(const SErrorInfo& warning) override;

private:
    CKELMStorage* m_pStorage;
};

// The engine object: loads .kelm files into the content model (cameras, recordings, media parts)
// and exports prepared day fragments of it into MP4 files.
class CKELMStorage {
public:
    // What content loading reports. Every operation answers whether to go on; false cancels the
    // load with code 4 "Cancelled".
    class IContentLoadEventSync {
    public:
        virtual ~IContentLoadEventSync() = default;

        virtual bool OnLoadStart() = 0;
        virtual bool OnLoadEnd() = 0;
        virtual bool OnLoadProgress(uint64_t filePosition, uint64_t bytesDone, float filePercent,
                                    float totalPercent, const SRemainingTime& remaining) = 0;
        // entrySize is 0 on this first visit of the file.
        virtual bool OnFileStart(const std::wstring& path, uint32_t inputIndex, uint64_t entrySize) = 0;
        virtual bool OnFileDone(const std::wstring& path, uint32_t inputIndex) = 0;
        virtual bool OnFileError(const std::wstring& path, uint32_t inputIndex, const SErrorInfo& error) = 0;
        virtual bool OnFileWarning(const std::wstring& path, uint32_t inputIndex, const SErrorInfo& warning) = 0;
        virtual bool OnFileSized(const std::wstring& path, uint32_t inputIndex, uint64_t size) = 0;
        virtual bool OnSizingStart() = 0;
        virtual bool OnSizingEnd(uint32_t filesSized, uint64_t totalSize) = 0;
    };

    class CContentLoadEventSyncStub : public IContentLoadEventSync {
    public:
        bool OnLoadStart() override { return true; }
        bool OnLoadEnd() override { return true; }
        bool OnLoadProgress(uint64_t, uint64_t, float, float, const SRemainingTime&) override { return true; }
        bool OnFileStart(const std::wstring&, uint32_t, uint64_t) override { return true; }
        bool OnFileDone(const std::wstring&, uint32_t) override { return true; }
        bool OnFileError(const std::wstring&, uint32_t, const SErrorInfo&) override { return true; }
        bool OnFileWarning(const std::wstring&, uint32_t, const SErrorInfo&) override { return true; }
        bool OnFileSized(const std::wstring&, uint32_t, uint64_t) override { return true; }
        bool OnSizingStart() override { return true; }
        bool OnSizingEnd(uint32_t, uint64_t) override { return true; }
    };

    // Sizing opens at most this many files and extrapolates the rest.
    static constexpr uint32_t kDefaultSizingFileLimit = 500;

    CKELMStorage();
    CKELMStorage(const CKELMStorage&) = delete;
    CKELMStorage& operator=(const CKELMStorage&) = delete;
    virtual ~CKELMStorage();

    // ---- content loading

    // Parses every file once (payloads skipped) into the content model. True when every file was
    // visited; false with code 4 "Cancelled" when an event-sync answer or the parse stopped it.
    // After a cancellation past the start the model keeps what was loaded, the files not merged
    // are black-listed and the storage counts as loaded.
    bool LoadContent(const std::vector<std::wstring>& paths, SErrorInfo* pError);

    // Sizes at most the sizing limit's first files and scales their sum up to all of them.
    bool EstimateTotalSize(const std::vector<SFileEntry>& entries, SLoadProgress& progress, SErrorInfo* pError);

    // Empties the content model, the black list and the prepared export batches.
    void ClearContent();

    bool IsContentLoaded() const { return m_bContentLoaded; }
    const SridMap& GetSridMap() const { return m_sridMap; }
    const BlackList& GetBlackList() const { return m_blackList; }

    // Not owned; null restores the stub that answers true to everything.
    void SetContentLoadEventSync(IContentLoadEventSync* pEventSync);
    IContentLoadEventSync* GetContentLoadEventSync() const { return m_pContentLoadEventSync; }

    // Progress estimates read this clock; an empty function restores the system clock.
    void SetClock(ClockFunction clock);
    SClockTime Now() const { return m_clock(); }

    // 0 is taken as 1, so that the extrapolation always has a sample.
    void SetSizingFileLimit(uint32_t limit) { m_sizingFileLimit = limit ? limit : 1; }
    uint32_t GetSizingFileLimit() const { return m_sizingFileLimit; }

    // ---- export: fragment preparation

    // Offset used to turn the model's UTC times into the local times of requests and fragments.
    // Refused with code 12 while batches are prepared, since they were cut with the old offset.
    bool SetUTCTimeToLocalTimeOffset(double offsetSeconds, SErrorInfo* pError);
    double GetUTCTimeToLocalTimeOffset() const { return m_UTCTimeToLocalTimeOffset; }
    bool IsUTCTimeToLocalTimeOffsetSet() const { return m_bOffsetSet; }
    // The offset of the computer's own time zone at this moment (daylight saving included).
    static bool GetDefaultUTCTimeToLocalTimeOffset(double& offsetSeconds, SErrorInfo* pError);

    // Cuts the request into local days and appends one batch with a fragment per day that has
    // media. When pFragments is given it is emptied and receives a copy of every fragment; the
    // batch id is written to pBatchId only when the batch has a fragment. A request that finds no
    // media succeeds without a batch.
    bool PrepareExportFragments(const SExportRequest& request, std::vector<SExportFragment>* pFragments,
                                uint32_t* pBatchId, SErrorInfo* pError);
    // Empties the batch list; the next batch gets id 1 again.
    void ClearPreparedFragments() { m_exportBatches.clear(); }
    const std::vector<SExportBatch>& GetExportBatches() const { return m_exportBatches; }

    // "<Srid>_<display number>_DD.MM.YY_hh.mm-hh.mm.mp4" (the display number only when the Srid
    // has neither "_" nor "-"); the end is rounded up to a whole minute.
    static bool MakeTargetFileName(const std::wstring& srid, const std::wstring& displayNumber,
                                   double StartLocalTimeInSec, double EndLocalTimeInSec, std::wstring& name,
                                   SErrorInfo* pError);

    // ---- export: the run

    // What an export run reports. Every operation answers whether to go on; false stops the run
    // with code 4 "Cancelled".
    class IExportEventSync {
    public:
        virtual ~IExportEventSync() = default;

        virtual bool OnExportStart() = 0;
        virtual bool OnExportEnd() = 0;
        virtual bool OnError(const SErrorInfo& error) = 0;
        // The target values are 0 and the name empty while no target file is open.
        virtual bool OnExportProgress(uint64_t fileBytesRead, float filePercent, uint32_t batchId,
                                      uint64_t batchBytesDone, float batchPercent, const std::wstring& targetFileName,
                                      uint64_t targetSize, float targetPercent, uint64_t totalBytesDone,
                                      float totalPercent, const SRemainingTime& remaining) = 0;
        virtual bool OnWarning(const SErrorInfo& warning) = 0;
        virtual bool OnBatchStart(uint32_t batchId) = 0;
        virtual bool OnBatchEnd() = 0;
        virtual bool OnFileStart(const std::wstring& path, uint32_t inputIndex, uint64_t fileSize) = 0;
        virtual bool OnFileDone(const std::wstring& path, uint32_t inputIndex) = 0;
        virtual bool OnFileError(const std::wstring& path, uint32_t inputIndex, const SErrorInfo& error) = 0;
        virtual bool OnFileWarning(const std::wstring& path, uint32_t inputIndex, const SErrorInfo& warning) = 0;
        virtual bool OnTargetStart(const std::wstring& targetPath) = 0;
        virtual bool OnTargetEnd(const std::wstring& targetFileName) = 0;
    };

    class CExportEventSyncStub : public IExportEventSync {
    public:
        bool OnExportStart() override { return true; }
        bool OnExportEnd() override { return true; }
        bool OnError(const SErrorInfo&) override { return true; }
        bool OnExportProgress(uint64_t, float, uint32_t, uint64_t, float, const std::wstring&, uint64_t, float,
                              uint64_t, float, const SRemainingTime&) override
        {
            return true;
        }
        bool OnWarning(const SErrorInfo&) override { return true; }
        bool OnBatchStart(uint32_t) override { return true; }
        bool OnBatchEnd() override { return true; }
        bool OnFileStart(const std::wstring&, uint32_t, uint64_t) override { return true; }
        bool OnFileDone(const std::wstring&, uint32_t) override { return true; }
        bool OnFileError(const std::wstring&, uint32_t, const SErrorInfo&) override { return true; }
        bool OnFileWarning(const std::wstring&, uint32_t, const SErrorInfo&) override { return true; }
        bool OnTargetStart(const std::wstring&) override { return true; }
        bool OnTargetEnd(const std::wstring&) override { return true; }
    };

    // Writes every prepared batch into MP4 files, one per fragment. True when every batch was
    // gone through (single targets may still have failed and been reported); false with code 28,
    // 21 (no prepared fragments) or 4 (stopped). Runs of all storages are serialised.
    bool RunExport(SErrorInfo* pError);

    // Not owned; null restores the stub that answers true to everything.
    void SetExportEventSync(IExportEventSync* pEventSync)
    {
        m_pExportEventSync = pEventSync ? pEventSync : SharedExportEventSyncStub();
    }
    IExportEventSync* GetExportEventSync() const { return m_pExportEventSync; }

private:
    friend class CContentLoadKELMItemsReceiver;
    friend class CExportKELMItemsReceiver;
    friend class CExportLibraryLogSink;

    static IExportEventSync* SharedExportEventSyncStub()
    {
        // Stateless, so every storage can share it.
        static CExportEventSyncStub s_stub;
        return &s_stub;
    }

    // The target writer, reached from the export receiver during a run. Each answers whether
    // to go on.
    bool ExportStreamContext(const std::wstring& srid, const std::wstring& subSourceKey);
    bool ExportAudioES(int32_t esno, uint32_t codec, const uint8_t* pConfig, uint32_t configSize);
    bool ExportVideoES(int32_t esno, uint32_t codec, const uint8_t* pConfig, uint32_t configSize);
    bool ExportUnit(int32_t esno, double time, const uint8_t* pPayload, uint32_t payloadSize);
    bool OpenTarget(bool& bOpened); // bOpened false: the front fragment was given up
    bool DeclareTracks(const SExportFragment& fragment);
    bool WriteAudioUnit(double localTime, const uint8_t* pPayload, uint32_t payloadSize);
    bool WriteVideoUnit(double localTime, const uint8_t* pPayload, uint32_t payloadSize);
    bool WriteSample(bool bAudio, const uint8_t* pSample, size_t size, int64_t tick, bool bSync);
    bool CloseTarget(bool bReport);
    // Dates the complete partial file and gives it its final name; false (reported) when it
    // cannot have that name.
    bool PublishTarget(const std::wstring& partialPath, const std::wstring& path, bool& bReporting, bool& bResult);
    // Reports the error of a target; the answer is the result.
    bool ReportTargetError(const SErrorInfo& error);
    bool ReportExportProgress(uint64_t position);
    void OnExportLibraryLog(bool bError, const std::wstring& message);

    // Merges one stream summary of a parsed file into the model; false when the event sync
    // cancelled on a codec warning.
    bool MergeSummary(SFileEntry& entry, const SStreamSummary& summary);
    // The progress step run on every position the parser reports.
    bool ReportLoadProgress(uint64_t position);

    bool m_bContentLoaded = false;
    // Export fragment preparation: local time = UTC + UTCTimeToLocalTimeOffset.
    bool m_bOffsetSet = false;
    double m_UTCTimeToLocalTimeOffset = 0;
    CContentLoadKELMItemsReceiver m_contentLoadReceiver;
    // The export receiver (CExportKELMItemsReceiver) is made by each run, so that this object
    // needs nothing of the export library.
    IContentLoadEventSync* m_pContentLoadEventSync;
    IExportEventSync* m_pExportEventSync = SharedExportEventSyncStub();
    SExportState* m_pExportState = nullptr; // valid only while a run lasts
    SLoadProgress* m_pLoadProgress = nullptr; // valid only while a load runs
    std::vector<SExportBatch> m_exportBatches; // in the order of preparation
    SridMap m_sridMap;
    BlackList m_blackList;

    ClockFunction m_clock;
    uint32_t m_sizingFileLimit = kDefaultSizingFileLimit;
};

} // namespace KELMNameSpace
