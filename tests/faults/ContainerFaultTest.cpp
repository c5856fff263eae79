// Containers that change between the analysis and the export: removed, cut short, or overwritten
// with garbage of the same size, wholly or from the middle on. The run reports the file, goes on
// with the next file, day and camera, and every MP4 it finishes holds exactly what the containers
// still gave and plays.
#include "FaultsSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>

using namespace KcFaultsTest;

namespace {

namespace fs = std::filesystem;

enum class EContainerFault {
    Removed,
    CutInHalf,
    CutToNothing,
    Garbage,     // every byte, same size
    GarbageTail, // from the first record that starts in the second half on, same size
};

struct SContainerCase {
    const char* name;
    EContainerFault fault;
    const char* victim; // which container of the scene
};

// Bytes that never start a record, from a fixed seed so that every run sees the same garbage.
std::string Garbage(size_t size)
{
    std::string bytes(size, '\0');
    uint32_t state = 0x2545F491u;
    for (char& byte : bytes) {
        state = state * 1664525u + 1013904223u;
        byte = static_cast<char>(state >> 24);
        if (static_cast<uint8_t>(byte) == 0xFE)
            byte = 0x11;
    }
    return bytes;
}

uint32_t BigEndian32(const std::string& bytes, size_t at)
{
    return (uint32_t(uint8_t(bytes[at])) << 24) | (uint32_t(uint8_t(bytes[at + 1])) << 16)
           | (uint32_t(uint8_t(bytes[at + 2])) << 8) | uint32_t(uint8_t(bytes[at + 3]));
}

// Offset of the first record that starts at or after the given one (the file size when none does).
// Garbage that begins inside a payload would be taken for media: the container carries no check.
uintmax_t RecordStartFrom(const std::string& path, uintmax_t from)
{
    std::ifstream file(path, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    size_t position = 0;
    while (position < from && position + 12 <= bytes.size())
        position += 12 + size_t(BigEndian32(bytes, position + 4)) + BigEndian32(bytes, position + 8);
    return std::min<uintmax_t>(position, bytes.size());
}

void Apply(EContainerFault fault, const std::string& path)
{
    const uintmax_t size = fs::file_size(path);
    switch (fault) {
    case EContainerFault::Removed:
        ASSERT_TRUE(fs::remove(path));
        return;
    case EContainerFault::CutInHalf:
        fs::resize_file(path, size / 2);
        return;
    case EContainerFault::CutToNothing:
        fs::resize_file(path, 0);
        return;
    case EContainerFault::Garbage:
    case EContainerFault::GarbageTail: {
        const uintmax_t from = fault == EContainerFault::Garbage ? 0 : RecordStartFrom(path, size / 2);
        ASSERT_LT(from, size);
        std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
        ASSERT_TRUE(file.is_open());
        file.seekp(static_cast<std::streamoff>(from));
        const std::string bytes = Garbage(static_cast<size_t>(size - from));
        file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        ASSERT_TRUE(file.good());
        return;
    }
    }
}

bool StopsTheParse(EContainerFault fault)
{
    return fault == EContainerFault::Removed || fault == EContainerFault::Garbage
           || fault == EContainerFault::GarbageTail;
}

class ContainerFaultTest : public testing::TestWithParam<SContainerCase> {
protected:
    void SetUp() override { ASSERT_TRUE(m_dir.Valid()); }

    std::string Write(const std::string& name, const KcTest::SRecordingOptions& options)
    {
        const std::string path = m_dir.Path(name);
        EXPECT_TRUE(KcTest::WriteRecordingFile(path, options).ok);
        m_files[name] = path;
        return path;
    }

    KcTest::CTempDir m_dir;
    std::map<std::string, std::string> m_files;
    CKELMExport m_storage;
    CReportSync m_sync;
};

} // namespace

// CAM1 records three times on 1 March and once on 2 March, exported as one batch of two days;
// CAM2 records on 1 March, its own batch. One container is damaged after the analysis.
TEST_P(ContainerFaultTest, RunGoesOnAndKeepsWhatTheContainersStillGive)
{
    const SContainerCase& param = GetParam();
    const double day1 = Local(2026, 3, 1, 10, 0, 0);
    const double day2 = Local(2026, 3, 2, 10, 0, 0);
    Write("a.kelm", Recording("CAM1", day1, day1 + 4));
    Write("b.kelm", Recording("CAM1", day1 + 10, day1 + 14));
    Write("c.kelm", Recording("CAM1", day1 + 20, day1 + 24));
    Write("d.kelm", Recording("CAM1", day2, day2 + 4));
    Write("e.kelm", Recording("CAM2", day1, day1 + 4));
    LoadAndSetOffset(m_storage,
                     {m_files["a.kelm"], m_files["b.kelm"], m_files["c.kelm"], m_files["d.kelm"], m_files["e.kelm"]});
    const std::string out = m_dir.Path("out") + "/";
    for (const char* srid : {"CAM1", "CAM2"}) {
        SErrorInfo error;
        ASSERT_TRUE(m_storage.PrepareExportFragments(
            Request(srid, Local(2026, 3, 1, 0, 0, 0), Local(2026, 3, 2, 23, 59, 59), out + srid + "/"), nullptr,
            nullptr, &error))
            << Narrow(error.message);
    }
    const auto& batches = m_storage.GetExportBatches();
    ASSERT_EQ(batches.size(), 2u);
    ASSERT_EQ(batches[0].fragments.size(), 2u);
    ASSERT_EQ(batches[1].fragments.size(), 1u);

    const std::string victim = m_files[param.victim];
    Apply(param.fault, victim);
    if (HasFatalFailure())
        return;

    // What each day can still hold: the units the containers give now.
    struct SDay {
        std::string target;
        std::string name;
        std::vector<std::string> files;
        SUnitCount expected;
    };
    std::vector<SDay> days = {
        {Narrow(batches[0].fragments[0].targetDirectory + batches[0].fragments[0].targetFileName),
         Narrow(batches[0].fragments[0].targetFileName),
         {"a.kelm", "b.kelm", "c.kelm"},
         {}},
        {Narrow(batches[0].fragments[1].targetDirectory + batches[0].fragments[1].targetFileName),
         Narrow(batches[0].fragments[1].targetFileName),
         {"d.kelm"},
         {}},
        {Narrow(batches[1].fragments[0].targetDirectory + batches[1].fragments[0].targetFileName),
         Narrow(batches[1].fragments[0].targetFileName),
         {"e.kelm"},
         {}},
    };
    for (SDay& day : days) {
        for (const std::string& name : day.files) {
            const SUnitCount count = CountUnits(m_files[name]);
            day.expected.video += count.video;
            day.expected.audio += count.audio;
        }
    }

    m_storage.SetExportEventSync(&m_sync);
    SErrorInfo error;
    ASSERT_TRUE(m_storage.RunExport(&error)) << Narrow(error.message);

    // The file's own report, and nothing against any target.
    const std::vector<SReport> fileErrors = m_sync.Of("FileError");
    if (StopsTheParse(param.fault)) {
        ASSERT_EQ(fileErrors.size(), 1u);
        EXPECT_EQ(fileErrors[0].detail, victim);
        if (param.fault == EContainerFault::Removed) {
            EXPECT_EQ(fileErrors[0].code, UtilsNameSpace::kErrNotFound);
            EXPECT_EQ(fileErrors[0].message, "File '" + victim + "' not found");
        } else {
            EXPECT_EQ(fileErrors[0].code, UtilsNameSpace::kErrBadData);
            EXPECT_EQ(fileErrors[0].message, "Invalid RecordID value");
        }
    } else {
        EXPECT_TRUE(fileErrors.empty());
    }
    // A cut record is only a warning about the file; the units before it are kept.
    const std::vector<SReport> fileWarnings = m_sync.Of("FileWarning");
    if (param.fault == EContainerFault::CutInHalf) {
        ASSERT_EQ(fileWarnings.size(), 1u);
        EXPECT_EQ(fileWarnings[0].detail, victim);
        EXPECT_EQ(fileWarnings[0].code, UtilsNameSpace::kErrBadData) << fileWarnings[0].message;
        EXPECT_EQ(fileWarnings[0].message.rfind("Unexpected end of file", 0), 0u) << fileWarnings[0].message;
    } else {
        EXPECT_TRUE(fileWarnings.empty()) << fileWarnings[0].message;
    }
    for (const SReport& done : m_sync.Of("FileDone"))
        EXPECT_TRUE(done.detail != victim || !StopsTheParse(param.fault));
    EXPECT_EQ(m_sync.Of("FileStart").size(), 5u);
    EXPECT_EQ(m_sync.Of("FileDone").size() + fileErrors.size(), 5u);
    EXPECT_TRUE(m_sync.Of("Error").empty()) << m_sync.Of("Error")[0].message;
    EXPECT_EQ(m_sync.Of("BatchEnd").size(), 2u);
    EXPECT_EQ(m_sync.Of("ExportEnd").size(), 1u);

    // Every day that still has media is finished and plays; a day left without any has no file.
    std::vector<std::string> expectedEnds;
    std::vector<std::string> expectedFiles;
    for (const SDay& day : days) {
        if (day.expected.video == 0) {
            EXPECT_FALSE(fs::exists(day.target)) << day.target;
            continue;
        }
        expectedEnds.push_back(day.name);
        expectedFiles.push_back(fs::relative(day.target, out).string());
        ExpectIntactMp4(day.target, day.expected.video, day.expected.audio);
    }
    std::vector<std::string> ends;
    for (const SReport& end : m_sync.Of("TargetEnd"))
        ends.push_back(end.detail);
    EXPECT_EQ(ends, expectedEnds);
    std::sort(expectedFiles.begin(), expectedFiles.end());
    EXPECT_EQ(FilesUnder(out), expectedFiles);
}

const SContainerCase kContainerCases[] = {
    {"FirstOfTheDayRemoved", EContainerFault::Removed, "a.kelm"},
    {"MiddleOfTheDayRemoved", EContainerFault::Removed, "b.kelm"},
    {"OnlyOneOfTheDayRemoved", EContainerFault::Removed, "d.kelm"},
    {"FirstOfTheDayCutInHalf", EContainerFault::CutInHalf, "a.kelm"},
    {"MiddleOfTheDayCutInHalf", EContainerFault::CutInHalf, "b.kelm"},
    {"LastOfTheDayCutInHalf", EContainerFault::CutInHalf, "c.kelm"},
    {"OnlyOneOfTheDayCutToNothing", EContainerFault::CutToNothing, "d.kelm"},
    {"MiddleOfTheDayCutToNothing", EContainerFault::CutToNothing, "b.kelm"},
    {"FirstOfTheDayGarbage", EContainerFault::Garbage, "a.kelm"},
    {"MiddleOfTheDayGarbage", EContainerFault::Garbage, "b.kelm"},
    {"OnlyOneOfTheDayGarbage", EContainerFault::Garbage, "d.kelm"},
    {"OtherCameraGarbage", EContainerFault::Garbage, "e.kelm"},
    {"FirstOfTheDayGarbageTail", EContainerFault::GarbageTail, "a.kelm"},
    {"MiddleOfTheDayGarbageTail", EContainerFault::GarbageTail, "b.kelm"},
    {"LastOfTheDayGarbageTail", EContainerFault::GarbageTail, "c.kelm"},
    {"OnlyOneOfTheDayGarbageTail", EContainerFault::GarbageTail, "d.kelm"},
};

INSTANTIATE_TEST_SUITE_P(Faults, ContainerFaultTest, testing::ValuesIn(kContainerCases),
                         [](const testing::TestParamInfo<SContainerCase>& caseInfo) {
                             return std::string(caseInfo.param.name);
                         });
