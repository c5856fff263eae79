// The parser reads ahead in blocks and reads through or jumps over skipped payloads. Records of
// every size, wherever they fall against the blocks, must arrive whole, at the right positions,
// and a file cut anywhere must end as it did when every field was read on its own, whatever the
// block size and skip threshold.
#include "ParserTestSupport.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace KcParserTest {
namespace {

using KcTest::CKelmWriter;

// Keeps a copy of every payload it is given.
class CPayloadReceiver : public CRecordingReceiver {
public:
    std::vector<std::vector<uint8_t>> payloads;

    bool OnUnit(int32_t esno, double time, const uint8_t* pPayload, uint32_t payloadSize) override
    {
        payloads.emplace_back(pPayload, pPayload + (pPayload ? payloadSize : 0));
        return CRecordingReceiver::OnUnit(esno, time, pPayload, payloadSize);
    }
};

using KELMNameSpace::SParseReading;

// Block sizes from one byte (every field straddles) to the default, skip thresholds from jumping
// over every gap to reading through all of them.
const SParseReading kReadings[] = {
    {1, 0}, {7, 3}, {2048, 0}, {2048, 5000}, {4096, 100000}, {65536, 0}, {65536, UINT64_MAX}, SParseReading(),
};

std::string Describe(const SParseReading& reading)
{
    return "block " + std::to_string(reading.blockSize) + ", threshold " + std::to_string(reading.skipThreshold);
}

std::vector<uint8_t> PayloadOf(uint32_t unit, uint32_t size)
{
    std::vector<uint8_t> payload(size);
    for (uint32_t i = 0; i < size; ++i)
        payload[i] = static_cast<uint8_t>(unit * 31 + i);
    return payload;
}

// A STREAM info whose length is chosen: the Srid behind padding.
std::string PaddedSridInfo(const std::string& srid, size_t padding)
{
    return "{\"pad\":\"" + std::string(padding, 'p') + "\",\"user-metadata\":{\"srid\":\"" + srid + "\"}}";
}

std::string ReadWholeFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteWholeFile(const std::string& path, const std::string& content)
{
    std::ofstream(path, std::ios::binary | std::ios::trunc) << content;
}

TEST_F(CParserTest, RecordsOfEverySizeArriveWholeAtTheirPositions)
{
    const std::string path = PathOf("sizes.kelm");
    std::vector<uint64_t> positions{0};
    std::vector<std::string> items;
    std::vector<std::vector<uint8_t>> payloads;
    {
        CKelmWriter writer(path);
        writer.WriteStream();
        items.push_back("StreamTag CAM1");
        positions.push_back(writer.BytesWritten());
        writer.WriteVideoES(1);
        items.push_back("VideoES 1 codec=2");
        positions.push_back(writer.BytesWritten());
        // Payloads from empty to several windows long, so that records start, end and straddle
        // everywhere against the windows; now and then a header longer than a window.
        const uint32_t special[] = {2047, 2048, 2049, 4095, 4096, 4097, 100000};
        for (uint32_t i = 0; i < 400; ++i) {
            if (i % 40 == 39) {
                const std::string srid = "CAM" + std::to_string(i);
                writer.WriteStream(kelm::TB90KHz, PaddedSridInfo(srid, (i * 131) % 6000));
                items.push_back("StreamTag " + srid);
                positions.push_back(writer.BytesWritten());
            }
            const uint32_t size = i < std::size(special) ? special[i] : (i * 997) % 6000;
            payloads.push_back(PayloadOf(i, size));
            writer.WriteUnit(1, 900000 + i * 3600, payloads.back());
            items.push_back("Unit 1");
            positions.push_back(writer.BytesWritten());
        }
        ASSERT_TRUE(writer.Close());
    }
    items.push_back("VideoStreamEnd 1 frames=400");

    for (const SParseReading& reading : kReadings)
        for (bool bSkip : {true, false}) {
            SCOPED_TRACE(Describe(reading) + (bSkip ? ", skipping payloads" : ", reading payloads"));
            CPayloadReceiver receiver;
            const SParseResult result = Parse(path, &receiver, bSkip, reading);
            ASSERT_TRUE(result.ok) << Narrow(result.error.message);
            EXPECT_EQ(receiver.Items(), items);
            EXPECT_EQ(receiver.positions, positions);
            ASSERT_EQ(receiver.payloads.size(), payloads.size());
            for (size_t i = 0; i < payloads.size(); ++i) {
                const std::vector<uint8_t> expected = bSkip ? std::vector<uint8_t>() : payloads[i];
                EXPECT_EQ(receiver.payloads[i], expected) << "unit " << i;
            }
        }
}

// The last record is cut after every one of its framing and header bytes and at many places in
// its payload, which is larger than a window and follows small records read ahead with it.
TEST_F(CParserTest, LastRecordCutAnywhereWarnsForTheFieldItLacks)
{
    const std::string fullPath = PathOf("full.kelm");
    uint64_t recordStart = 0;
    uint64_t headerEnd = 0;
    uint64_t recordEnd = 0;
    const uint32_t kPayload = 5000;
    {
        CKelmWriter writer(fullPath);
        writer.WriteStream();
        writer.WriteVideoES(1);
        for (uint32_t i = 0; i < 20; ++i)
            writer.WriteUnit(1, 900000 + i * 3600, PayloadOf(i, 370));
        recordStart = writer.BytesWritten();
        writer.WriteUnit(1, 900000 + 20 * 3600, PayloadOf(20, kPayload));
        recordEnd = writer.BytesWritten();
        headerEnd = recordEnd - kPayload;
        ASSERT_TRUE(writer.Close());
    }
    const std::string content = ReadWholeFile(fullPath);
    ASSERT_EQ(content.size(), recordEnd);

    std::vector<uint64_t> cuts;
    for (uint64_t cut = recordStart + 1; cut <= headerEnd; ++cut)
        cuts.push_back(cut);
    for (uint64_t cut = headerEnd + 97; cut < recordEnd; cut += 97)
        cuts.push_back(cut);
    cuts.push_back(recordEnd - 1);

    const std::string path = PathOf("cut.kelm");
    for (uint64_t cut : cuts) {
        WriteWholeFile(path, content.substr(0, cut));
        const uint64_t kept = cut - recordStart;
        std::string expected; // the warning, none when fewer than 4 bytes are left
        if (cut >= headerEnd)
            expected = "Unexpected end of file before binary data read";
        else if (kept >= 12)
            expected = "Unexpected end of file before protobuf data read";
        else if (kept >= 8)
            expected = "Unexpected end of file before binary data size read";
        else if (kept >= 4)
            expected = "Unexpected end of file before protobuf data size read";

        for (const SParseReading& reading : kReadings)
            for (bool bSkip : {true, false}) {
                SCOPED_TRACE("cut at " + std::to_string(cut) + ", " + Describe(reading)
                             + (bSkip ? ", skipping" : ", reading"));
                CPayloadReceiver receiver;
                const SParseResult result = Parse(path, &receiver, bSkip, reading);
                ASSERT_TRUE(result.ok) << Narrow(result.error.message);
                if (expected.empty()) {
                    EXPECT_TRUE(receiver.warnings.empty());
                } else {
                    ASSERT_EQ(receiver.warnings.size(), 1u);
                    EXPECT_EQ(receiver.warnings[0].code, 14);
                    EXPECT_EQ(Narrow(receiver.warnings[0].message), expected);
                }
                ASSERT_EQ(result.summaries.size(), 1u);
                EXPECT_EQ(result.summaries[0].frameCount, 20u);
                EXPECT_EQ(receiver.positions.back(), cut);
                ASSERT_EQ(receiver.payloads.size(), 20u);
                EXPECT_EQ(receiver.payloads.back(), bSkip ? std::vector<uint8_t>() : PayloadOf(19, 370));
            }
    }
}

} // namespace
} // namespace KcParserTest
