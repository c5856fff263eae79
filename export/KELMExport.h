#pragma once

#include "container/KELMStorage.h"
#include "export/ExportTypes.h"

#include <cstdint>
#include <string>
#include <vector>

namespace KELMNameSpace {

class CExportKELMItemsReceiver;
// The state of one export run; it exists only while the run lasts (ExportRun.h).
struct SExportRun;

// The engine object: the storage's content loading, and the export of the loaded model: requests
// cut into day fragments and batches, and the run that writes them into MP4 files.
class CKELMExport : public CKELMStorage {
public:
    CKELMExport() = default;

    // Drops the prepared batches with the content they were cut from.
    void ClearContent() override;

    // ---- fragment preparation

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

    // ---- the run

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
    friend class CExportKELMItemsReceiver;

    static IExportEventSync* SharedExportEventSyncStub()
    {
        // Stateless, so every storage can share it.
        static CExportEventSyncStub s_stub;
        return &s_stub;
    }

    // What the parser gives during a run, routed to the target of the batch's camera. Each
    // answers whether to go on.
    bool ExportStreamContext(const std::wstring& srid, const std::wstring& subSourceKey);
    bool ExportAudioES(int32_t esno, uint32_t codec, const uint8_t* pConfig, uint32_t configSize);
    bool ExportVideoES(int32_t esno, uint32_t codec, const uint8_t* pConfig, uint32_t configSize);
    bool ExportUnit(int32_t esno, double time, const uint8_t* pPayload, uint32_t payloadSize);
    bool ExportFileWarning(const SErrorInfo& warning);
    bool ReportExportProgress(uint64_t position);
    // Closes the open target, counting it into the batch's progress.
    bool CloseTarget(bool bReport);

    // Local time = UTC + UTCTimeToLocalTimeOffset.
    bool m_bOffsetSet = false;
    double m_UTCTimeToLocalTimeOffset = 0;
    IExportEventSync* m_pExportEventSync = SharedExportEventSyncStub();
    SExportRun* m_pRun = nullptr;              // valid only while a run lasts
    std::vector<SExportBatch> m_exportBatches; // in the order of preparation
};

} // namespace KELMNameSpace
