#include "FaultsSupport.h"

#include "ChildProcess.h"

#include "Mp4Check.h"
#include "container/KelmParser.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <functional>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace KcFaultsTest {

void LoadAndSetOffset(CKELMExport& storage, const std::vector<std::string>& paths)
{
    SErrorInfo error;
    ASSERT_TRUE(KcTest::LoadAndSetOffset(storage, paths, &error)) << Narrow(error.message);
}

namespace {

class CUnitCounter : public KELMNameSpace::CKELMItemsReceiverStub {
public:
    bool OnUnit(int32_t esno, double, const uint8_t*, uint32_t) override
    {
        if (esno == kVideo)
            ++count.video;
        else if (esno == kAudio)
            ++count.audio;
        return true;
    }
    SUnitCount count;
};

// Fields and records of a run handed from the child to the parent; no message holds these bytes.
constexpr char kFieldEnd = '\x1f';
constexpr char kRecordEnd = '\x1e';

std::string Serialize(bool bResult, const std::vector<SReport>& reports)
{
    std::string text = bResult ? "ok" : "failed";
    text += kRecordEnd;
    for (const SReport& report : reports) {
        text += report.kind + kFieldEnd + report.detail + kFieldEnd + std::to_string(report.code) + kFieldEnd
                + report.message + kRecordEnd;
    }
    return text;
}

std::vector<std::string> Split(const std::string& text, char separator)
{
    std::vector<std::string> parts;
    size_t start = 0;
    for (size_t end; (end = text.find(separator, start)) != std::string::npos; start = end + 1)
        parts.push_back(text.substr(start, end - start));
    return parts;
}

std::vector<SReport> Filter(const std::vector<SReport>& reports, const std::string& kind)
{
    std::vector<SReport> found;
    std::copy_if(reports.begin(), reports.end(), std::back_inserter(found),
                 [&kind](const SReport& report) { return report.kind == kind; });
    return found;
}

} // namespace

SUnitCount CountUnits(const std::string& path)
{
    CUnitCounter counter;
    SErrorInfo ignored;
    KELMNameSpace::ParseContainer(Wide(path), false, &counter, nullptr, &ignored);
    return counter.count;
}

bool CReportSync::Keep(const std::string& kind, const std::string& detail, const SErrorInfo* pError)
{
    SReport report;
    report.kind = kind;
    report.detail = detail;
    if (pError) {
        report.code = static_cast<int>(pError->code);
        report.message = Narrow(pError->message);
    }
    reports.push_back(std::move(report));
    return true;
}

std::vector<SReport> CReportSync::Of(const std::string& kind) const
{
    return Filter(reports, kind);
}

std::vector<std::string> CReportSync::Lines() const
{
    std::vector<std::string> lines;
    for (const SReport& report : reports)
        lines.push_back(report.detail.empty() ? report.kind : report.kind + " " + report.detail);
    return lines;
}

std::vector<SReport> SChildRun::Of(const std::string& kind) const
{
    return Filter(reports, kind);
}

SChildRun RunExportWithFileSizeLimit(CKELMExport& storage, CReportSync& sync, uint64_t limitBytes)
{
    SChildRun run;
    std::string text;
    const bool bRan = KcTest::RunWithFileSizeLimit(
        limitBytes,
        [&]() {
            storage.SetExportEventSync(&sync);
            SErrorInfo error;
            const bool bResult = storage.RunExport(&error);
            return Serialize(bResult, sync.reports);
        },
        text);
    if (!bRan)
        return run;

    const std::vector<std::string> records = Split(text, kRecordEnd);
    if (records.empty())
        return run;
    run.bExited = true;
    run.bResult = records[0] == "ok";
    for (size_t i = 1; i < records.size(); ++i) {
        const std::vector<std::string> fields = Split(records[i] + kFieldEnd, kFieldEnd);
        if (fields.size() != 4)
            continue;
        run.reports.push_back({fields[0], fields[1], std::stoi(fields[2]), fields[3]});
    }
    return run;
}

void ExpectIntactMp4(const std::string& path, uint64_t videoFrames, uint64_t audioFrames)
{
    SCOPED_TRACE(path);
    const KcTest::SMp4Report report = KcTest::InspectMp4(path);
    ASSERT_TRUE(report.bOpened);
    EXPECT_EQ(report.libraryErrors, 0);
    const KcTest::STrackReport* pVideo = report.Find("h264");
    const KcTest::STrackReport* pAudio = report.Find("aac");
    ASSERT_TRUE(pVideo && pAudio);
    EXPECT_EQ(report.tracks.size(), 2u);
    for (const KcTest::STrackReport* pTrack : {pVideo, pAudio}) {
        EXPECT_EQ(pTrack->decodeErrors, 0) << pTrack->codec;
        EXPECT_GT(pTrack->frames, 0) << pTrack->codec;
        EXPECT_EQ(static_cast<size_t>(pTrack->frames), pTrack->ticks.size()) << pTrack->codec;
        EXPECT_TRUE(std::adjacent_find(pTrack->ticks.begin(), pTrack->ticks.end(), std::greater_equal<int64_t>())
                    == pTrack->ticks.end())
            << pTrack->codec << ": times do not strictly increase";
    }
    ASSERT_FALSE(pVideo->keys.empty());
    EXPECT_TRUE(pVideo->keys.front());
    if (videoFrames != 0) {
        EXPECT_EQ(pVideo->ticks.size(), videoFrames);
    }
    if (audioFrames != 0) {
        EXPECT_EQ(pAudio->ticks.size(), audioFrames);
    }
}

} // namespace KcFaultsTest
