#include "ExportRunSupport.h"

#include "export/DecoderSetup.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace KcExportTest {

std::vector<std::string> CScratch::FilesUnder(const std::string& name) const
{
    return KcTest::FilesUnder(Path(name));
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
    EXPECT_TRUE(KELMNameSpace::ParseContainer(Wide(path), false, &collector, nullptr, &error)) << Narrow(error.message);
    return collector.units;
}

void LoadAndSetOffset(CKELMExport& storage, const std::vector<std::string>& paths)
{
    SErrorInfo error;
    ASSERT_TRUE(KcTest::LoadAndSetOffset(storage, paths, &error)) << Narrow(error.message);
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
    return static_cast<size_t>(
        std::count_if(events.begin(), events.end(), [&kind](const auto& event) { return event.first == kind; }));
}

bool CRecordingExportSync::Answer(const std::string& kind, const std::string& detail)
{
    events.emplace_back(kind, detail);
    return kind != stopKind || Count(kind) != stopAt;
}

} // namespace KcExportTest
