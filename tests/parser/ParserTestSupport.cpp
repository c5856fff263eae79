#include "ParserTestSupport.h"

#include <algorithm>
#include <filesystem>

#include <unistd.h>

namespace KcParserTest {

bool CRecordingReceiver::Record(const char* pOperation, const std::string& details)
{
    events.push_back(details.empty() ? std::string(pOperation) : std::string(pOperation) + " " + details);
    m_calls.emplace_back(pOperation);
    if (refuse != pOperation)
        return true;
    return std::count(m_calls.begin(), m_calls.end(), refuse) != refuseAt;
}

static std::string End(int32_t esno, uint64_t frameCount)
{
    return std::to_string(esno) + " frames=" + std::to_string(frameCount);
}

bool CRecordingReceiver::OnControlTag()
{
    return Record("ControlTag");
}
bool CRecordingReceiver::OnFinishedTag()
{
    return Record("FinishedTag");
}
bool CRecordingReceiver::OnErrorTag(int32_t code)
{
    return Record("ErrorTag", std::to_string(code));
}
bool CRecordingReceiver::OnStreamTag(const std::wstring& srid, const std::wstring& subSourceKey)
{
    return Record("StreamTag", Narrow(srid) + (subSourceKey.empty() ? "" : "/" + Narrow(subSourceKey)));
}
bool CRecordingReceiver::OnAudioStreamEnd(int32_t esno, uint64_t n, double)
{
    return Record("AudioStreamEnd", End(esno, n));
}
bool CRecordingReceiver::OnAudioES(int32_t esno, KELMNameSpace::AudioCodecId codec, const uint8_t* pConfig,
                                   uint32_t size)
{
    configs.emplace_back(pConfig, pConfig + size);
    return Record("AudioES", std::to_string(esno) + " codec=" + std::to_string(codec));
}
bool CRecordingReceiver::OnAuxStreamEnd(int32_t esno, uint64_t n, double)
{
    return Record("AuxStreamEnd", End(esno, n));
}
bool CRecordingReceiver::OnAuxES(int32_t esno)
{
    return Record("AuxES", std::to_string(esno));
}
bool CRecordingReceiver::OnMuxStreamEnd(int32_t esno, uint64_t n, double)
{
    return Record("MuxStreamEnd", End(esno, n));
}
bool CRecordingReceiver::OnMuxES(int32_t esno)
{
    return Record("MuxES", std::to_string(esno));
}
bool CRecordingReceiver::OnSignallingStreamEnd(int32_t esno, uint64_t n, double)
{
    return Record("SignallingStreamEnd", End(esno, n));
}
bool CRecordingReceiver::OnSignallingES(int32_t esno)
{
    return Record("SignallingES", std::to_string(esno));
}
bool CRecordingReceiver::OnSubtitlesStreamEnd(int32_t esno, uint64_t n, double)
{
    return Record("SubtitlesStreamEnd", End(esno, n));
}
bool CRecordingReceiver::OnSubtitlesES(int32_t esno)
{
    return Record("SubtitlesES", std::to_string(esno));
}
bool CRecordingReceiver::OnVideoStreamEnd(int32_t esno, uint64_t n, double)
{
    return Record("VideoStreamEnd", End(esno, n));
}
bool CRecordingReceiver::OnVideoES(int32_t esno, KELMNameSpace::VideoCodecId codec, const uint8_t* pConfig,
                                   uint32_t size)
{
    configs.emplace_back(pConfig, pConfig + size);
    return Record("VideoES", std::to_string(esno) + " codec=" + std::to_string(codec));
}
bool CRecordingReceiver::OnUnit(int32_t esno, double, const uint8_t* pPayload, uint32_t payloadSize)
{
    if (pPayload)
        bUnitPayloadNull = false;
    unitPayloadSizes.push_back(payloadSize);
    return Record("Unit", std::to_string(esno));
}
bool CRecordingReceiver::OnFileSize(uint64_t fileSize)
{
    return Record("FileSize", std::to_string(fileSize));
}
bool CRecordingReceiver::OnPosition(uint64_t bytesConsumed)
{
    positions.push_back(bytesConsumed);
    return Record("Position", std::to_string(bytesConsumed));
}
bool CRecordingReceiver::OnParseWarning(const UtilsNameSpace::SErrorInfo& warning)
{
    warnings.push_back(warning);
    return Record("Warning", std::to_string(warning.code) + " " + Narrow(warning.message));
}

std::vector<std::string> CRecordingReceiver::Items() const
{
    std::vector<std::string> items;
    for (const std::string& event : events) {
        if (event.rfind("Position", 0) != 0 && event.rfind("FileSize", 0) != 0)
            items.push_back(event);
    }
    return items;
}

void CParserTest::SetUp()
{
    const ::testing::TestInfo* pInfo = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string(pInfo->test_suite_name()) + "." + pInfo->name();
    std::replace(name.begin(), name.end(), '/', '_');
    m_dir =
        (std::filesystem::temp_directory_path() / ("kc-parser-" + std::to_string(::getpid()) + "-" + name)).string();
    std::filesystem::remove_all(m_dir);
    std::filesystem::create_directories(m_dir);
}

void CParserTest::TearDown()
{
    std::error_code ignored;
    std::filesystem::remove_all(m_dir, ignored);
}

SParseResult CParserTest::Parse(const std::string& path, CRecordingReceiver* pReceiver, bool bSkipPayloads,
                                const KELMNameSpace::SParseReading& reading)
{
    SParseResult result;
    result.ok = KELMNameSpace::ParseContainer(KcTest::Wide(path), bSkipPayloads, pReceiver, &result.summaries,
                                              &result.error, reading);
    return result;
}

} // namespace KcParserTest
