// Where the Srid of a stream context comes from: the stream information, else the file name.
#include "ParserTestSupport.h"

#include "container/TextConvert.h"

namespace KcParserTest {
namespace {

struct SFileNameCase {
    const char* pPath;
    const char* pSrid; // null: no Srid
};

class SridFromFileNameTest : public ::testing::TestWithParam<SFileNameCase> {};

TEST_P(SridFromFileNameTest, TakesTheNameBeforeAMinuteSpan)
{
    std::string srid;
    const bool bFound = KELMNameSpace::SridFromFileName(UtilsNameSpace::Utf8ToWide(GetParam().pPath), srid);
    if (GetParam().pSrid) {
        EXPECT_TRUE(bFound);
        EXPECT_EQ(srid, GetParam().pSrid);
    } else {
        EXPECT_FALSE(bFound) << srid;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Names, SridFromFileNameTest,
    ::testing::Values(SFileNameCase{"/data/1234-0-59.kelm", "1234"}, SFileNameCase{"1234-1200-1259.kelm", "1234"},
                      SFileNameCase{"/d/cam-7-1200-1259.kelm", "cam-7"}, SFileNameCase{"/d/Камера-0-59.kelm", "Камера"},
                      // "%d" reads a sign and skips blanks; text after the second number is ignored.
                      SFileNameCase{"/d/12-+0-59.kelm", "12"}, SFileNameCase{"/d/12- 0- 59.kelm", "12"},
                      SFileNameCase{"/d/12-0-59x.kelm", "12"}, SFileNameCase{"/d/12-0-59.part.kelm", "12"},
                      SFileNameCase{"/d/12-0-58.kelm", nullptr}, SFileNameCase{"/d/12-0-60.kelm", nullptr},
                      SFileNameCase{"/d/12-a-59.kelm", nullptr}, SFileNameCase{"/d/12-0-59", nullptr},
                      SFileNameCase{"/d/0-59.kelm", nullptr}, SFileNameCase{"/d/-0-59.kelm", nullptr},
                      SFileNameCase{"/d/12-0.d/x-59.kelm", nullptr}, SFileNameCase{"/d/12-0-59.d/x.kelm", nullptr}));

struct SStreamInfoCase {
    const char* pName;
    const char* pInfo;
    const char* pFileName;
    const char* pSrid; // null: the parse fails with code and message
    int32_t code;
    const char* pMessage;
};

class SridFromStreamTest : public CParserTest, public ::testing::WithParamInterface<SStreamInfoCase> {};

TEST_P(SridFromStreamTest, NamesTheContextOrFails)
{
    const SStreamInfoCase& c = GetParam();
    const std::string path = PathOf(c.pFileName);
    {
        KcTest::CKelmWriter writer(path);
        writer.WriteStream(kelm::TB90KHz, c.pInfo);
        writer.WriteVideoES(1);
        ASSERT_TRUE(writer.Close());
    }
    CRecordingReceiver receiver;
    const SParseResult result = Parse(path, &receiver);
    if (!c.pSrid) {
        EXPECT_FALSE(result.ok);
        EXPECT_EQ(result.error.code, c.code);
        EXPECT_EQ(Narrow(result.error.message), c.pMessage);
        return;
    }
    ASSERT_TRUE(result.ok) << Narrow(result.error.message);
    ASSERT_FALSE(receiver.events.empty());
    EXPECT_EQ(receiver.Items().front(), std::string("StreamTag ") + c.pSrid);
    ASSERT_EQ(result.summaries.size(), 1u);
    EXPECT_EQ(Narrow(result.summaries[0].srid), c.pSrid);
}

const SStreamInfoCase kStreamInfoCases[] = {
    {"UserMetadataWinsOverRoot", R"({"vrid":"root","user-metadata":{"srid":"meta"}})", "a.kelm", "meta", 0, ""},
    {"KeysInOrder", R"({"cid":"c","sid":"s","srid":"r","vrid":"v"})", "a.kelm", "v", 0, ""},
    {"LaterKeyWhenEarlierAbsent", R"({"cid":"c","sid":"s"})", "a.kelm", "s", 0, ""},
    {"NonStringCountsAsAbsent", R"({"vrid":17,"srid":{"x":1},"sid":"s"})", "a.kelm", "s", 0, ""},
    {"Utf8Srid", R"({"srid":"Камера 2"})", "a.kelm", "Камера 2", 0, ""},
    {"MetadataWithoutKeys", R"({"srid":"root","user-metadata":{}})", "a.kelm", nullptr, 26,
     "get error:  tag not found"},
    {"EmptyValue", R"({"vrid":"","srid":"r"})", "a.kelm", nullptr, 26, "get error:  tag not found"},
    {"ArrayRoot", R"(["srid"])", "a.kelm", nullptr, 26, "get error:  tag not found"},
    {"EmptyInfo", "", "a.kelm", nullptr, 14, "get error: broken json"},
    {"BrokenJsonFallsBackToFileName", "not json", "77-0-59.kelm", "77", 0, ""},
    {"MissingKeyFallsBackToFileName", R"({"user-metadata":{"name":"x"}})", "88-1200-1259.kelm", "88", 0, ""},
    {"FileNameOnlyWhenJsonFails", R"({"srid":"json"})", "77-0-59.kelm", "json", 0, ""},
    {"FallbackThatFailsReportsTheJsonError", "not json", "77-0-58.kelm", nullptr, 14, "get error: broken json"},
};

INSTANTIATE_TEST_SUITE_P(StreamInfo, SridFromStreamTest, ::testing::ValuesIn(kStreamInfoCases),
                         [](const ::testing::TestParamInfo<SStreamInfoCase>& p) { return p.param.pName; });

TEST_F(CParserTest, FinishedForgetsTheSrid)
{
    // A stream declared after FINISHED without a new STREAM record belongs to no camera.
    const std::string path = PathOf("CAM9-0-59.kelm");
    {
        KcTest::CKelmWriter writer(path);
        writer.WriteStream(kelm::TB90KHz, KcTest::SridInfo("CAM1"));
        writer.WriteVideoES(1);
        writer.WriteFinished();
        writer.WriteVideoES(2);
        writer.WriteUnit(2, 90000, {1});
        ASSERT_TRUE(writer.Close());
    }
    const SParseResult result = Parse(path);
    ASSERT_TRUE(result.ok) << Narrow(result.error.message);
    ASSERT_EQ(result.summaries.size(), 2u);
    EXPECT_EQ(Narrow(result.summaries[0].srid), "CAM1");
    EXPECT_EQ(Narrow(result.summaries[1].srid), "");
    EXPECT_EQ(result.summaries[1].frameCount, 1u);
}

} // namespace
} // namespace KcParserTest
