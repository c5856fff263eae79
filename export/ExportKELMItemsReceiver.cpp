#include "export/ExportKELMItemsReceiver.h"

namespace KELMNameSpace {

bool CExportKELMItemsReceiver::OnStreamTag(const std::wstring& srid, const std::wstring& subSourceKey)
{
    return m_pStorage->ExportStreamContext(srid, subSourceKey);
}

bool CExportKELMItemsReceiver::OnAudioES(int32_t esno, AudioCodecId codec, const uint8_t* pConfig, uint32_t configSize)
{
    return m_pStorage->ExportAudioES(esno, codec, pConfig, configSize);
}

bool CExportKELMItemsReceiver::OnVideoES(int32_t esno, VideoCodecId codec, const uint8_t* pConfig, uint32_t configSize)
{
    return m_pStorage->ExportVideoES(esno, codec, pConfig, configSize);
}

bool CExportKELMItemsReceiver::OnUnit(int32_t esno, double time, const uint8_t* pPayload, uint32_t payloadSize)
{
    return m_pStorage->ExportUnit(esno, time, pPayload, payloadSize);
}

bool CExportKELMItemsReceiver::OnPosition(uint64_t bytesConsumed)
{
    return m_pStorage->ReportExportProgress(bytesConsumed);
}

bool CExportKELMItemsReceiver::OnParseWarning(const SErrorInfo& warning)
{
    return m_pStorage->ExportFileWarning(warning);
}

} // namespace KELMNameSpace
