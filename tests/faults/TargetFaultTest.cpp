// Faults of the target side: the device fills up in the middle of a day's file or while its index
// is written, and a target folder that takes no new file. The failed target is reported once and
// deleted; the other days and cameras are finished and play.
#include "FaultsSupport.h"

#include <gtest/gtest.h>

#include <filesystem>

#include <sys/stat.h>
#include <unistd.h>

using namespace KcFaultsTest;

namespace {

namespace fs = std::filesystem;

class TargetFaultTest : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_dir.Valid()); }

    std::string Write(const std::string& name, const KcTest::SRecordingOptions& options)
    {
        const std::string path = m_dir.Path(name);
        EXPECT_TRUE(KcTest::WriteRecordingFile(path, options).ok);
        return path;
    }

    // CAM1: a long recording on 1 March, a short one on 2 March (one batch of two days);
    // CAM2: a short one on 1 March (a batch of its own).
    void PrepareScene(const std::string& cam1Folder, const std::string& cam2Folder, double longSeconds = 40)
    {
        const double day1 = Local(2026, 3, 1, 10, 0, 0);
        const double day2 = Local(2026, 3, 2, 10, 0, 0);
        const std::vector<std::string> files = {
            Write("cam1-day1.kelm", Recording("CAM1", day1, day1 + longSeconds)),
            Write("cam1-day2.kelm", Recording("CAM1", day2, day2 + 3)),
            Write("cam2-day1.kelm", Recording("CAM2", day1, day1 + 3)),
        };
        LoadAndSetOffset(m_storage, files);
        const double from = Local(2026, 3, 1, 0, 0, 0);
        const double to = Local(2026, 3, 2, 23, 59, 59);
        for (const auto& [srid, folder] :
             {std::pair<std::string, std::string>{"CAM1", cam1Folder}, {"CAM2", cam2Folder}}) {
            SErrorInfo error;
            ASSERT_TRUE(m_storage.PrepareExportFragments(Request(srid, from, to, folder), nullptr, nullptr, &error))
                << Narrow(error.message);
        }
        ASSERT_EQ(m_storage.GetExportBatches().size(), 2u);
        ASSERT_EQ(m_storage.GetExportBatches()[0].fragments.size(), 2u);
        ASSERT_EQ(m_storage.GetExportBatches()[1].fragments.size(), 1u);
    }

    const KELMNameSpace::SExportFragment& Fragment(size_t batch, size_t index) const
    {
        return m_storage.GetExportBatches().at(batch).fragments.at(index);
    }
    std::string TargetPath(size_t batch, size_t index) const
    {
        return Narrow(Fragment(batch, index).targetDirectory + Fragment(batch, index).targetFileName);
    }
    std::string TargetName(size_t batch, size_t index) const { return Narrow(Fragment(batch, index).targetFileName); }

    KcTest::CTempDir m_dir;
    CKELMExport m_storage;
    CReportSync m_sync;
};

std::vector<std::string> Details(const std::vector<SReport>& reports)
{
    std::vector<std::string> details;
    for (const SReport& report : reports)
        details.push_back(report.detail);
    return details;
}

const char kFullDeviceText[] = "Not enough space on storage device or file exceeds the file size limit";

} // namespace

// The first day's file outgrows the device while its samples are written; the short files of the
// next day and of the other camera fit.
TEST_F(TargetFaultTest, FullDeviceInTheMiddleOfADayGoesOnWithTheNextDayAndCamera)
{
    const std::string out = m_dir.Path("out") + "/";
    PrepareScene(out + "CAM1/", out + "CAM2/");
    const uint64_t shortEstimate = std::max(Fragment(0, 1).estimatedSize, Fragment(1, 0).estimatedSize);
    ASSERT_GT(Fragment(0, 0).estimatedSize, 8 * shortEstimate);

    const SChildRun run = RunExportWithFileSizeLimit(m_storage, m_sync, 4 * shortEstimate);
    ASSERT_TRUE(run.bExited);
    EXPECT_TRUE(run.bResult);

    const std::vector<SReport> errors = run.Of("Error");
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].code, UtilsNameSpace::kErrStorageFull);
    // The file written until the close carries the final name plus ".part".
    EXPECT_NE(errors[0].message.find("File '" + TargetPath(0, 0) + ".part' write error: " + kFullDeviceText),
              std::string::npos)
        << errors[0].message;
    EXPECT_TRUE(run.Of("FileError").empty());
    EXPECT_EQ(Details(run.Of("TargetStart")),
              (std::vector<std::string>{TargetPath(0, 0), TargetPath(0, 1), TargetPath(1, 0)}));
    EXPECT_EQ(Details(run.Of("TargetEnd")), (std::vector<std::string>{TargetName(0, 1), TargetName(1, 0)}));
    EXPECT_EQ(run.Of("BatchEnd").size(), 2u);
    EXPECT_EQ(run.Of("ExportEnd").size(), 1u);

    EXPECT_FALSE(fs::exists(TargetPath(0, 0)));
    ExpectIntactMp4(TargetPath(0, 1));
    ExpectIntactMp4(TargetPath(1, 0));
    EXPECT_EQ(FilesUnder(out).size(), 2u);
}

// The samples fit, the index written at the close does not: the file would not play and must go.
TEST_F(TargetFaultTest, FullDeviceWhileTheIndexIsWrittenDeletesTheTarget)
{
    const std::string out = m_dir.Path("out") + "/";
    PrepareScene(out + "CAM1/", out + "CAM2/", 10);
    // The sizes the files reach on a roomy device.
    {
        CKELMExport roomy;
        const std::string roomyOut = m_dir.Path("roomy") + "/";
        const double from = Local(2026, 3, 1, 0, 0, 0);
        const double to = Local(2026, 3, 2, 23, 59, 59);
        LoadAndSetOffset(roomy,
                         {m_dir.Path("cam1-day1.kelm"), m_dir.Path("cam1-day2.kelm"), m_dir.Path("cam2-day1.kelm")});
        SErrorInfo error;
        ASSERT_TRUE(roomy.PrepareExportFragments(Request("CAM1", from, to, roomyOut), nullptr, nullptr, &error));
        ASSERT_TRUE(roomy.RunExport(&error)) << Narrow(error.message);
    }
    const uintmax_t longSize = fs::file_size(m_dir.Path("roomy") + "/" + TargetName(0, 0));
    const uintmax_t shortSize = fs::file_size(m_dir.Path("roomy") + "/" + TargetName(0, 1));
    ASSERT_GT(longSize, shortSize + 4096);

    // The index sits at the end and is far longer than a few bytes.
    const SChildRun run = RunExportWithFileSizeLimit(m_storage, m_sync, longSize - 16);
    ASSERT_TRUE(run.bExited);
    EXPECT_TRUE(run.bResult);

    const std::vector<SReport> errors = run.Of("Error");
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].code, UtilsNameSpace::kErrStorageFull);
    EXPECT_NE(errors[0].message.find(kFullDeviceText), std::string::npos) << errors[0].message;
    EXPECT_EQ(Details(run.Of("TargetEnd")), (std::vector<std::string>{TargetName(0, 1), TargetName(1, 0)}));
    EXPECT_EQ(run.Of("ExportEnd").size(), 1u);

    EXPECT_FALSE(fs::exists(TargetPath(0, 0)));
    ExpectIntactMp4(TargetPath(0, 1));
    ExpectIntactMp4(TargetPath(1, 0));
    EXPECT_EQ(FilesUnder(out).size(), 2u);
}

// A folder that exists but takes no new file, whoever runs the test: the system's device-model
// folder refuses even the superuser.
TEST_F(TargetFaultTest, FolderThatTakesNoFileEvenForTheSuperuser)
{
    std::error_code ignored;
    if (!fs::is_directory("/sys/kernel", ignored))
        GTEST_SKIP() << "no /sys on this system";
    const std::string out = m_dir.Path("out") + "/";
    PrepareScene("/sys/kernel/", out + "CAM2/", 3);
    if (HasFatalFailure())
        return;
    m_storage.SetExportEventSync(&m_sync);
    SErrorInfo error;
    ASSERT_TRUE(m_storage.RunExport(&error)) << Narrow(error.message);

    // Both days of CAM1 are refused, each with its own report; CAM2 is finished.
    const std::vector<SReport> errors = m_sync.Of("Error");
    ASSERT_EQ(errors.size(), 2u);
    for (size_t i = 0; i < errors.size(); ++i) {
        EXPECT_EQ(errors[i].code, UtilsNameSpace::kErrAccessDenied) << errors[i].message;
        EXPECT_EQ(errors[i].message.rfind("Target file creation error: File '" + TargetPath(0, i) + ".part'", 0), 0u)
            << errors[i].message;
    }
    EXPECT_EQ(Details(m_sync.Of("TargetEnd")), std::vector<std::string>{TargetName(1, 0)});
    EXPECT_EQ(m_sync.Of("BatchEnd").size(), 2u);
    EXPECT_FALSE(fs::exists(TargetPath(0, 0)));
    EXPECT_FALSE(fs::exists(TargetPath(0, 1)));
    ExpectIntactMp4(TargetPath(1, 0));
    EXPECT_EQ(FilesUnder(out), std::vector<std::string>{"CAM2/" + TargetName(1, 0)});
}

// The same with a folder whose permission bits forbid writing, as an ordinary user meets it.
TEST_F(TargetFaultTest, ReadOnlyFolder)
{
    if (geteuid() == 0)
        GTEST_SKIP() << "running as the superuser, whom permission bits do not stop; "
                        "FolderThatTakesNoFileEvenForTheSuperuser covers the case";
    const std::string out = m_dir.Path("out") + "/";
    fs::create_directories(out + "CAM1");
    ASSERT_EQ(chmod((out + "CAM1").c_str(), 0555), 0);
    PrepareScene(out + "CAM1/", out + "CAM2/", 3);
    if (HasFatalFailure())
        return;
    m_storage.SetExportEventSync(&m_sync);
    SErrorInfo error;
    ASSERT_TRUE(m_storage.RunExport(&error)) << Narrow(error.message);
    chmod((out + "CAM1").c_str(), 0755);

    const std::vector<SReport> errors = m_sync.Of("Error");
    ASSERT_EQ(errors.size(), 2u);
    for (size_t i = 0; i < errors.size(); ++i) {
        EXPECT_EQ(errors[i].code, UtilsNameSpace::kErrAccessDenied) << errors[i].message;
        EXPECT_EQ(errors[i].message.rfind("Target file creation error: File '" + TargetPath(0, i) + ".part'", 0), 0u)
            << errors[i].message;
    }
    EXPECT_EQ(Details(m_sync.Of("TargetEnd")), std::vector<std::string>{TargetName(1, 0)});
    ExpectIntactMp4(TargetPath(1, 0));
    EXPECT_EQ(FilesUnder(out), std::vector<std::string>{"CAM2/" + TargetName(1, 0)});
}
