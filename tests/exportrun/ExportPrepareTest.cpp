// Export fragment preparation: day windows, clipping, estimates, batch ids and target names.
#include "ExportRunSupport.h"
#include "export/FileSystemName.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <map>

using namespace KcExportTest;
using KELMNameSpace::SExportFragment;

TEST(MakeTargetFileName, FollowsTheNamingRule)
{
    struct SCase {
        const char* srid;
        double start;
        double end;
        const char* name; // null: fails
        const char* message;
    };
    const double t = Local(2018, 3, 5, 10, 15, 40);
    const SCase cases[] = {
        {"1234", t, Local(2018, 3, 5, 11, 0, 0.5), "1234_1_05.03.18_10.15-11.01.mp4", nullptr},
        {"12-34", t, Local(2018, 3, 5, 11, 0, 0), "12-34_05.03.18_10.15-11.00.mp4", nullptr},
        {"CAM_A", t + 19.9, t + 20, "CAM_A_05.03.18_10.15-10.16.mp4", nullptr},
        // Only the start date is written; the end minute rounds up across midnight.
        {"1234", Local(2026, 12, 31, 22, 0, 0), Local(2026, 12, 31, 23, 59, 59.999), "1234_1_31.12.26_22.00-00.00.mp4",
         nullptr},
        {"1234", Local(2005, 1, 2, 3, 4, 5), Local(2005, 1, 2, 3, 4, 5), "1234_1_02.01.05_03.04-03.05.mp4", nullptr},
        {"1234", 1e17, t, nullptr, "Can't convert StartLocalTimeInSec to calendar format)"},
        {"1234", t, 1e17, nullptr, "Can't convert EndLocalTimeInSec to calendar format)"},
        {"1234", std::nan(""), t, nullptr, "Can't convert StartLocalTimeInSec to calendar format)"},
    };
    for (const SCase& c : cases) {
        SCOPED_TRACE(std::string(c.srid) + " " + std::to_string(c.start));
        std::wstring name;
        SErrorInfo error;
        const bool bOk = CKELMExport::MakeTargetFileName(Wide(c.srid), L"1", c.start, c.end, name, &error);
        ASSERT_EQ(bOk, c.name != nullptr);
        if (bOk) {
            EXPECT_EQ(Narrow(name), c.name);
        } else {
            EXPECT_EQ(error.code, 13);
            EXPECT_EQ(Narrow(error.message), c.message);
        }
    }
}

// A Srid is text from a recording: as a folder or file name it stays one name, in its place.
TEST(MakeFileSystemName, KeepsTextFromRecordingsInItsPlace)
{
    using KELMNameSpace::MakeFileSystemName;
    struct SCase {
        std::wstring srid;
        std::wstring front; // the name, or its front when it had to change
        bool bMarked;       // changed: '~' and eight hex digits follow the front
    };
    const std::wstring longSrid(300, L'\u00E9'); // two bytes each in UTF-8
    const SCase cases[] = {
        {L"CAM 1", L"CAM 1", false},
        {L"\u041A\u0430\u043C\u0435\u0440\u0430-2.b_c", L"\u041A\u0430\u043C\u0435\u0440\u0430-2.b_c", false},
        {L"a_b", L"a_b", false},
        {L"a/b", L"a_b", true},
        {L"../../x", L"_.._.._x", true},
        {L".hidden", L"_.hidden", true},
        {L"..", L"_..", true},
        {L".", L"_.", true},
        {L"", L"_", true},
        {L"line\nbreak", L"line_break", true},
        {L"back\\slash", L"back_slash", true},
        {std::wstring(L"nul\0x", 5), L"nul_x", true},
        {L"q?*:<>|\"", L"q_______", true},
        {longSrid, longSrid.substr(0, 123), true}, // 246 bytes + the mark = 255
        // Looks like a changed name: marked too, so it cannot meet the name "a/b" became.
        {MakeFileSystemName(L"a/b"), MakeFileSystemName(L"a/b"), true},
    };
    for (const SCase& c : cases) {
        SCOPED_TRACE(Narrow(c.srid));
        const std::wstring name = MakeFileSystemName(c.srid);
        EXPECT_LE(Narrow(name).size(), 255u);
        if (!c.bMarked) {
            EXPECT_EQ(name, c.front);
            continue;
        }
        ASSERT_EQ(name.size(), c.front.size() + 9);
        EXPECT_EQ(name.substr(0, c.front.size()), c.front);
        EXPECT_EQ(name[c.front.size()], L'~');
        EXPECT_EQ(name.find_first_not_of(L"0123456789abcdef", c.front.size() + 1), std::wstring::npos);
    }
    EXPECT_NE(MakeFileSystemName(L"a/b"), MakeFileSystemName(L"a\\b"));
    EXPECT_NE(MakeFileSystemName(longSrid), MakeFileSystemName(longSrid + L"x"));

    // The whole target name stays within a name's limit, with room to spare while it is written.
    std::wstring name;
    SErrorInfo error;
    ASSERT_TRUE(CKELMExport::MakeTargetFileName(longSrid, L"1", Local(2026, 3, 1, 10, 0, 0),
                                                Local(2026, 3, 1, 11, 0, 0), name, &error));
    EXPECT_LE(Narrow(name).size(), 239u);
    EXPECT_EQ(name.substr(name.size() - 4), L".mp4");
}

class ExportPrepareTest : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_scratch.Valid()); }

    std::string Write(const std::string& name, const KcTest::SRecordingOptions& options)
    {
        const std::string path = m_scratch.Path(name);
        m_written[name] = KcTest::WriteRecordingFile(path, options);
        EXPECT_TRUE(m_written[name].ok);
        return path;
    }
    // Estimate of a fragment that keeps the whole of the named files.
    uint64_t Estimate(const std::vector<std::string>& names)
    {
        uint64_t estimate = 1500;
        for (const std::string& name : names) {
            const KcTest::SWriteResult& result = m_written[name];
            estimate +=
                16 * (result.video.units + result.audio.units) + result.video.payloadBytes + result.audio.payloadBytes;
        }
        return estimate;
    }

    CScratch m_scratch;
    CKELMExport m_storage;
    std::map<std::string, KcTest::SWriteResult> m_written;
};

TEST_F(ExportPrepareTest, RefusesRequestsThatCannotBePrepared)
{
    struct SCase {
        double start;
        double end;
        int32_t code;
        const char* message;
    };
    const double t = Local(2026, 3, 1, 10, 0, 0);
    const SCase cases[] = {
        {t, t + 60, 28, "Content not loaded"},
        {0, t, 13, "Invalid export fragment start time"},
        {-5, t, 13, "Invalid export fragment start time"},
        {t, t, 13, "Invalid export fragment end time"},
        {t + 1, t, 13, "Invalid export fragment end time"},
        {t, std::numeric_limits<double>::infinity(), 13, "Invalid export fragment end time"},
    };
    const std::string path = Write("a.kelm", Recording("CAM1", t, t + 2));
    for (const SCase& c : cases) {
        if (c.code != 28 && !m_storage.IsContentLoaded())
            LoadAndSetOffset(m_storage, {path});
        SCOPED_TRACE(c.message);
        uint32_t batchId = 77;
        SErrorInfo error;
        EXPECT_FALSE(
            m_storage.PrepareExportFragments(Request("CAM1", c.start, c.end, "/tmp/"), nullptr, &batchId, &error));
        EXPECT_EQ(error.code, c.code);
        EXPECT_EQ(Narrow(error.message), c.message);
        EXPECT_EQ(batchId, 77u);
        EXPECT_TRUE(m_storage.GetExportBatches().empty());
    }
}

TEST_F(ExportPrepareTest, UnknownCameraPreparesNoBatch)
{
    const double t = Local(2026, 3, 1, 10, 0, 0);
    LoadAndSetOffset(m_storage, {Write("a.kelm", Recording("CAM1", t, t + 2))});
    for (const auto& keys : {std::make_pair("CAM9", ""), std::make_pair("CAM1", "other")}) {
        KELMNameSpace::SExportRequest request = Request(keys.first, t, t + 60, "/tmp/");
        request.subSourceKey = Wide(keys.second);
        std::vector<SExportFragment> fragments(1);
        uint32_t batchId = 77;
        SErrorInfo error;
        EXPECT_TRUE(m_storage.PrepareExportFragments(request, &fragments, &batchId, &error));
        EXPECT_TRUE(fragments.empty());
        EXPECT_EQ(batchId, 77u);
    }
    EXPECT_TRUE(m_storage.GetExportBatches().empty());
}

TEST_F(ExportPrepareTest, SpanOverMidnightGivesOneFragmentPerDay)
{
    const std::string a = Write("a.kelm", Recording("CAM1", Local(2026, 3, 1, 22, 0, 0), Local(2026, 3, 1, 22, 0, 5)));
    const std::string b =
        Write("b.kelm", Recording("CAM1", Local(2026, 3, 1, 23, 59, 50), Local(2026, 3, 2, 0, 0, 10)));
    const std::string c = Write("c.kelm", Recording("CAM1", Local(2026, 3, 2, 1, 59, 55), Local(2026, 3, 2, 2, 0, 0)));
    LoadAndSetOffset(m_storage, {c, b, a});

    const double start = Local(2026, 3, 1, 22, 0, 0);
    const double end = Local(2026, 3, 2, 2, 0, 0);
    std::vector<SExportFragment> fragments;
    uint32_t batchId = 0;
    SErrorInfo error;
    ASSERT_TRUE(m_storage.PrepareExportFragments(Request("CAM1", start, end, "/out/"), &fragments, &batchId, &error));
    EXPECT_EQ(batchId, 1u);
    ASSERT_EQ(fragments.size(), 2u);
    ASSERT_EQ(m_storage.GetExportBatches().size(), 1u);
    const KELMNameSpace::SExportBatch& batch = m_storage.GetExportBatches().front();
    ASSERT_EQ(batch.fragments.size(), 2u);

    const SExportFragment& first = batch.fragments[0];
    EXPECT_DOUBLE_EQ(first.windowStart, start);
    EXPECT_DOUBLE_EQ(first.windowEnd, Local(2026, 3, 1, 23, 59, 59.999));
    EXPECT_DOUBLE_EQ(first.startTime, start);
    EXPECT_DOUBLE_EQ(first.endTime, first.windowEnd);
    EXPECT_EQ(Narrow(first.targetFileName), "CAM1_1_01.03.26_22.00-00.00.mp4");
    EXPECT_EQ(Narrow(first.targetDirectory), "/out/");
    // A part cut by the window still counts whole.
    EXPECT_EQ(first.estimatedSize, Estimate({"a.kelm", "b.kelm"}));

    const SExportFragment& second = batch.fragments[1];
    EXPECT_DOUBLE_EQ(second.windowStart, Local(2026, 3, 2, 0, 0, 0));
    EXPECT_DOUBLE_EQ(second.windowEnd, end);
    EXPECT_DOUBLE_EQ(second.startTime, second.windowStart);
    EXPECT_EQ(Narrow(second.targetFileName), "CAM1_1_02.03.26_00.00-02.00.mp4");
    EXPECT_EQ(second.estimatedSize, Estimate({"b.kelm", "c.kelm"}));
    ASSERT_FALSE(second.videoParts.empty());
    EXPECT_DOUBLE_EQ(second.videoParts.front().startTime, second.windowStart);

    EXPECT_EQ(batch.estimatedTotalSize, first.estimatedSize + second.estimatedSize);
    std::vector<std::string> files;
    for (const KELMNameSpace::SFileRecord& file : batch.files)
        files.push_back(Narrow(file.path));
    EXPECT_EQ(files, (std::vector<std::string>{a, b, b, c}));
    EXPECT_EQ(fragments[1].targetFileName, second.targetFileName);
}

TEST_F(ExportPrepareTest, TouchingFilesAreClippedOneMillisecondApart)
{
    const double t = Local(2026, 3, 1, 10, 0, 0);
    KcTest::SRecordingOptions first = Recording("CAM1", t, t + 10);
    KcTest::SRecordingOptions second = Recording("CAM1", t + 9.96, t + 20); // starts at the first's last unit
    first.audio = second.audio = false;
    LoadAndSetOffset(m_storage, {Write("a.kelm", first), Write("b.kelm", second)});

    std::vector<SExportFragment> fragments;
    SErrorInfo error;
    ASSERT_TRUE(m_storage.PrepareExportFragments(Request("CAM1", t, t + 3600, "/out/"), &fragments, nullptr, &error));
    ASSERT_EQ(fragments.size(), 1u);
    const std::vector<KELMNameSpace::SMediaPart>& parts = fragments[0].videoParts;
    ASSERT_EQ(parts.size(), 2u);
    EXPECT_NEAR(parts[0].endTime, t + 9.96, 1e-6);
    EXPECT_NEAR(parts[1].startTime, parts[0].endTime + 0.001, 1e-6);
    EXPECT_NEAR(fragments[0].endTime, t + 19.96, 1e-6);
}

TEST_F(ExportPrepareTest, WindowInsideAFileClipsItsParts)
{
    const double t = Local(2026, 3, 1, 10, 0, 0);
    LoadAndSetOffset(m_storage, {Write("a.kelm", Recording("CAM1", t, t + 60))});
    std::vector<SExportFragment> fragments;
    SErrorInfo error;
    ASSERT_TRUE(m_storage.PrepareExportFragments(Request("CAM1", t + 5.5, t + 7, "/"), &fragments, nullptr, &error));
    ASSERT_EQ(fragments.size(), 1u);
    EXPECT_DOUBLE_EQ(fragments[0].startTime, t + 5.5);
    EXPECT_DOUBLE_EQ(fragments[0].endTime, t + 7);
    ASSERT_EQ(fragments[0].audioParts.size(), 1u);
    EXPECT_DOUBLE_EQ(fragments[0].audioParts[0].startTime, t + 5.5);
    EXPECT_DOUBLE_EQ(fragments[0].audioParts[0].endTime, t + 7);
    EXPECT_EQ(fragments[0].estimatedSize, Estimate({"a.kelm"}));
}

TEST_F(ExportPrepareTest, DayWithoutAMillisecondOfMediaGetsNoFragment)
{
    const double t = Local(2026, 3, 1, 10, 0, 0);
    KcTest::SRecordingOptions single = Recording("CAM1", t, t + 0.01); // one video unit
    single.audio = false;
    LoadAndSetOffset(m_storage, {Write("a.kelm", single)});
    uint32_t batchId = 77;
    SErrorInfo error;
    EXPECT_TRUE(m_storage.PrepareExportFragments(Request("CAM1", t - 60, t + 60, "/"), nullptr, &batchId, &error));
    EXPECT_EQ(batchId, 77u);
    EXPECT_TRUE(m_storage.GetExportBatches().empty());
}

TEST_F(ExportPrepareTest, OffsetIsFixedWhileBatchesArePrepared)
{
    const double t = Local(2026, 3, 1, 10, 0, 0);
    LoadAndSetOffset(m_storage, {Write("a.kelm", Recording("CAM1", t, t + 2))});
    const KELMNameSpace::SExportRequest request = Request("CAM1", t, t + 60, "/");
    uint32_t ids[3] = {};
    SErrorInfo error;
    ASSERT_TRUE(m_storage.PrepareExportFragments(request, nullptr, &ids[0], &error));
    ASSERT_TRUE(m_storage.PrepareExportFragments(request, nullptr, &ids[1], &error));

    EXPECT_FALSE(m_storage.SetUTCTimeToLocalTimeOffset(0, &error));
    EXPECT_EQ(error.code, 12);
    EXPECT_EQ(Narrow(error.message), "Object has prepared fragments for export");
    EXPECT_EQ(m_storage.GetUTCTimeToLocalTimeOffset(), kOffset);

    m_storage.ClearPreparedFragments();
    EXPECT_TRUE(m_storage.SetUTCTimeToLocalTimeOffset(kOffset, &error));
    ASSERT_TRUE(m_storage.PrepareExportFragments(request, nullptr, &ids[2], &error));
    EXPECT_EQ(std::vector<uint32_t>(ids, ids + 3), (std::vector<uint32_t>{1, 2, 1}));
}

TEST_F(ExportPrepareTest, ComputersOwnOffsetIsTakenWhenNoneWasSet)
{
    const double t = Local(2026, 3, 1, 10, 0, 0);
    SErrorInfo error;
    ASSERT_TRUE(m_storage.LoadContent({Wide(Write("a.kelm", Recording("CAM1", t, t + 2)))}, &error));
    ASSERT_FALSE(m_storage.IsUTCTimeToLocalTimeOffsetSet());
    ASSERT_TRUE(m_storage.PrepareExportFragments(Request("CAM1", t, t + 60, "/"), nullptr, nullptr, &error));
    double expected = 0;
    ASSERT_TRUE(CKELMExport::GetDefaultUTCTimeToLocalTimeOffset(expected, &error));
    EXPECT_TRUE(m_storage.IsUTCTimeToLocalTimeOffsetSet());
    EXPECT_EQ(m_storage.GetUTCTimeToLocalTimeOffset(), expected);
}
