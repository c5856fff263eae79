#pragma once

#include "KelmWriter.h"
#include "TestText.h"
#include "container/KelmParser.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace KcParserTest {

// Writes down every call as a short line ("StreamTag CAM1", "Unit 1 size=0", "Warning 14 ...")
// and answers false to the n-th call of one chosen operation.
class CRecordingReceiver : public KELMNameSpace::IKELMItemsReceiver {
public:
    std::vector<std::string> events;
    std::vector<UtilsNameSpace::SErrorInfo> warnings;
    std::vector<uint64_t> positions;
    std::vector<std::vector<uint8_t>> configs; // of OnAudioES/OnVideoES, in order
    std::vector<uint32_t> unitPayloadSizes;
    bool bUnitPayloadNull = true; // every OnUnit got a null payload

    std::string refuse; // operation name without "On", e.g. "VideoES"
    int refuseAt = 1;   // which call of it answers false

    bool OnControlTag() override;
    bool OnFinishedTag() override;
    bool OnErrorTag(int32_t code) override;
    bool OnStreamTag(const std::wstring& srid, const std::wstring& subSourceKey) override;
    bool OnAudioStreamEnd(int32_t esno, uint64_t frameCount, double lastTime) override;
    bool OnAudioES(int32_t esno, KELMNameSpace::AudioCodecId codec, const uint8_t* pConfig, uint32_t size) override;
    bool OnAuxStreamEnd(int32_t esno, uint64_t frameCount, double lastTime) override;
    bool OnAuxES(int32_t esno) override;
    bool OnMuxStreamEnd(int32_t esno, uint64_t frameCount, double lastTime) override;
    bool OnMuxES(int32_t esno) override;
    bool OnSignallingStreamEnd(int32_t esno, uint64_t frameCount, double lastTime) override;
    bool OnSignallingES(int32_t esno) override;
    bool OnSubtitlesStreamEnd(int32_t esno, uint64_t frameCount, double lastTime) override;
    bool OnSubtitlesES(int32_t esno) override;
    bool OnVideoStreamEnd(int32_t esno, uint64_t frameCount, double lastTime) override;
    bool OnVideoES(int32_t esno, KELMNameSpace::VideoCodecId codec, const uint8_t* pConfig, uint32_t size) override;
    bool OnUnit(int32_t esno, double time, const uint8_t* pPayload, uint32_t payloadSize) override;
    bool OnFileSize(uint64_t fileSize) override;
    bool OnPosition(uint64_t bytesConsumed) override;
    bool OnParseWarning(const UtilsNameSpace::SErrorInfo& warning) override;

    // The events without the Position and FileSize lines.
    std::vector<std::string> Items() const;

private:
    bool Record(const char* pOperation, const std::string& details = std::string());
    std::vector<std::string> m_calls; // operation names, for refuseAt
};

// The outcome of one parse.
struct SParseResult {
    bool ok = false;
    UtilsNameSpace::SErrorInfo error;
    std::vector<KELMNameSpace::SStreamSummary> summaries;
};

// Each test gets a fresh folder for its containers.
class CParserTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    std::string PathOf(const std::string& name) const { return m_dir + "/" + name; }
    SParseResult Parse(const std::string& path, CRecordingReceiver* pReceiver = nullptr, bool bSkipPayloads = true,
                       const KELMNameSpace::SParseReading& reading = KELMNameSpace::SParseReading());

    std::string m_dir;
};

using KcTest::Narrow;

} // namespace KcParserTest
