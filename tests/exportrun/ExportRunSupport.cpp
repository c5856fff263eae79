#include "ExportRunSupport.h"

#include "DecoderSetup.h"
#include "TextConvert.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include <stdlib.h>

namespace KcExportTest {

namespace fs = std::filesystem;

std::wstring Wide(const std::string& text) { return UtilsNameSpace::Utf8ToWide(text); }
std::string Narrow(const std::wstring& text) { return UtilsNameSpace::WideToUtf8(text); }

double Local(int year, int month, int day, int hour, int minute, double second)
{
    // Local times are kept as if they were UTC.
    return KcTest::UtcSeconds(year, month, day, hour, minute, second);
}

CScratch::CScratch()
{
    std::string pattern = (fs::temp_directory_path() / "kc-exportrun-XXXXXX").string();
    if (mkdtemp(&pattern[0]))
        m_path = pattern;
}

CScratch::~CScratch()
{
    std::error_code ignored;
    if (!m_path.empty())
        fs::remove_all(m_path, ignored);
}

std::vector<std::string> CScratch::FilesUnder(const std::string& name) const
{
    std::vector<std::string> files;
    std::error_code error;
    const fs::path root = Path(name);
    for (fs::recursive_directory_iterator it(root, error), end; !error && it != end; it.increment(error)) {
        if (it->is_regular_file())
            files.push_back(fs::relative(it->path(), root).string());
    }
    std::sort(files.begin(), files.end());
    return files;
}

namespace {

class CUnitCollector : public KELMNameSpace::CKELMItemsReceiverStub {
public:
    bool OnUnit(int32_t esno, double time, const uint8_t* pPayload, uint32_t payloadSize) override
    {
        SUnit unit;
        unit.esno = esno;
        unit.localTime = time + kOffset;
        unit.bSync = esno != 1 || (pPayload && KELMNameSpace::IsSyncSample(pPayload, payloadSize));
        units.push_back(unit);
        return true;
    }
    std::vector<SUnit> units;
};

} // namespace

std::vector<SUnit> ReadUnits(const std::string& path)
{
    CUnitCollector collector;
    SErrorInfo error;
    EXPECT_TRUE(KELMNameSpace::ParseContainer(Wide(path), false, &collector, nullptr, &error))
        << Narrow(error.message);
    return collector.units;
}

KcTest::SRecordingOptions Recording(const std::string& srid, double localStart, double localEnd)
{
    KcTest::SRecordingOptions options;
    options.srid = srid;
    options.startUtc = localStart - kOffset;
    options.endUtc = localEnd - kOffset;
    options.videoEsno = 1;
    options.audioEsno = 2;
    return options;
}

void LoadAndSetOffset(CKELMStorage& storage, const std::vector<std::string>& paths)
{
    std::vector<std::wstring> widePaths;
    for (const std::string& path : paths)
        widePaths.push_back(Wide(path));
    SErrorInfo error;
    ASSERT_TRUE(storage.LoadContent(widePaths, &error)) << Narrow(error.message);
    ASSERT_TRUE(storage.SetUTCTimeToLocalTimeOffset(kOffset, &error)) << Narrow(error.message);
}

KELMNameSpace::SExportRequest Request(const std::string& srid, double localStart, double localEnd,
                                      const std::string& targetDirectory)
{
    KELMNameSpace::SExportRequest request;
    request.startTime = localStart;
    request.endTime = localEnd;
    request.srid = Wide(srid);
    request.displayNumber = L"1";
    request.targetDirectory = Wide(targetDirectory);
    return request;
}

std::vector<std::string> CRecordingExportSync::Kinds() const
{
    std::vector<std::string> kinds;
    for (const auto& event : events)
        kinds.push_back(event.first);
    return kinds;
}

size_t CRecordingExportSync::Count(const std::string& kind) const
{
    return static_cast<size_t>(std::count_if(events.begin(), events.end(),
                                             [&kind](const auto& event) { return event.first == kind; }));
}

bool CRecordingExportSync::Answer(const std::string& kind, const std::string& detail)
{
    events.emplace_back(kind, detail);
    return kind != stopKind || Count(kind) != stopAt;
}

} // namespace KcExportTest
