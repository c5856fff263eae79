#pragma once

#include "export/KELMExport.h"

namespace KELMNameSpace {

// The parser receiver of an export run: stream descriptions and media units go to the target
// writer, positions to the progress report, warnings to the run's file warnings. Made by each run.
class CExportKELMItemsReceiver : public CKELMItemsReceiverStub {
public:
    explicit CExportKELMItemsReceiver(CKELMExport* pStorage)
        : m_pStorage(pStorage)
    {
    }

    bool OnStreamTag(const std::wstring& srid, const std::wstring& subSourceKey) override;
    bool OnAudioES(int32_t esno, AudioCodecId codec, const uint8_t* pConfig, uint32_t configSize) override;
    bool OnVideoES(int32_t esno, VideoCodecId codec, const uint8_t* pConfig, uint32_t configSize) override;
    bool OnUnit(int32_t esno, double time, const uint8_t* pPayload, uint32_t payloadSize) override;
    bool OnPosition(uint64_t bytesConsumed) override;
    bool OnParseWarning(const SErrorInfo& warning) override;

private:
    CKELMExport* m_pStorage;
};

} // namespace KELMNameSpace
