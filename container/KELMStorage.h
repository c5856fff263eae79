#pragma once

#include "container/ContentModel.h"
#include "container/ErrorInfo.h"
#include "container/KelmParser.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace KELMNameSpace {

using UtilsNameSpace::SErrorInfo;

class CKELMStorage;

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
    bool bUsed = false; // the file contributed at least one media part
    uint32_t inputIndex = 0;
    uint64_t size = 0; // 0 until the parser reports it
    std::wstring path;
};

// The progress record of one load.
struct SLoadProgress {
    uint64_t estimatedTotalBytes = 0;
    uint64_t bytesAtLastSample = 0;
    uint64_t finishedFilesBytes = 0;
    double speed = 0; // bytes per second; 0 = unknown
    SFileEntry* pCurrentEntry = nullptr;
    SClockTime lastSampleTime;
    uint32_t positionsUnreported = 0; // positions of the current file passed over since the last report
};

// The parser receiver of content loading: file size, position and warnings of the current file.
class CContentLoadKELMItemsReceiver : public CKELMItemsReceiverStub {
public:
    explicit CContentLoadKELMItemsReceiver(CKELMStorage* pStorage)
        : m_pStorage(pStorage)
    {
    }

    bool OnFileSize(uint64_t fileSize) override;
    bool OnPosition(uint64_t bytesConsumed) override;
    bool OnParseWarning(const SErrorInfo& warning) override;

private:
    CKELMStorage* m_pStorage;
};

// Loads .kelm files into the content model (cameras, recordings, media parts). The export of the
// model builds on this object.
class CKELMStorage {
public:
    // What content loading reports. Every operation answers whether to go on; false cancels the
    // load with code 4 "Cancelled".
    class IContentLoadEventSync {
    public:
        virtual ~IContentLoadEventSync() = default;

        virtual bool OnLoadStart() = 0;
        virtual bool OnLoadEnd() = 0;
        virtual bool OnLoadProgress(uint64_t filePosition, uint64_t bytesDone, float filePercent, float totalPercent,
                                    const SRemainingTime& remaining) = 0;
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
    // Between the start and the end of a file, one position in this many is reported.
    static constexpr uint32_t kPositionsPerReport = 16;

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

    // Empties the content model and the black list; an object built on this one drops what it
    // made of the content as well.
    virtual void ClearContent();

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

private:
    friend class CContentLoadKELMItemsReceiver;

    // Merges one stream summary of a parsed file into the model; false when the event sync
    // cancelled on a codec warning.
    bool MergeSummary(SFileEntry& entry, const SStreamSummary& summary);
    // The progress step run on every position the parser reports: the event sync hears the start
    // and the end of each file and every kPositionsPerReport-th position between them.
    bool ReportLoadProgress(uint64_t position);

    bool m_bContentLoaded = false;
    CContentLoadKELMItemsReceiver m_contentLoadReceiver;
    IContentLoadEventSync* m_pContentLoadEventSync;
    SLoadProgress* m_pLoadProgress = nullptr; // valid only while a load runs
    SridMap m_sridMap;
    BlackList m_blackList;

    ClockFunction m_clock;
    uint32_t m_sizingFileLimit = kDefaultSizingFileLimit;
};

} // namespace KELMNameSpace
