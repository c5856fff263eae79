#pragma once

// Pieces shared by the fault tests: recordings in the tests' zone, an event sync that keeps every
// report, the unit counts a container gives, an export run under a file-size limit, and the check
// that a finished MP4 file plays.

#include "ExportSetup.h"
#include "KelmWriter.h"
#include "TempDir.h"
#include "export/KELMExport.h"

#include <cstdint>
#include <string>
#include <vector>

namespace KcFaultsTest {

using KELMNameSpace::CKELMExport;
using UtilsNameSpace::SErrorInfo;

// Every test runs three hours east of UTC, whatever the machine's zone.
constexpr double kOffset = KcTest::kZoneOffset;
constexpr int32_t kVideo = 1;
constexpr int32_t kAudio = 2;

using KcTest::FilesUnder;
using KcTest::Local;
using KcTest::Narrow;
using KcTest::Recording;
using KcTest::Request;
using KcTest::Wide;

// Loads the files and sets the tests' offset; fails the test on any error.
void LoadAndSetOffset(CKELMExport& storage, const std::vector<std::string>& paths);

// Units a parse of the file delivers before it ends, successfully or not.
struct SUnitCount {
    uint64_t video = 0;
    uint64_t audio = 0;
};
SUnitCount CountUnits(const std::string& path);

// One report of a run.
struct SReport {
    std::string kind;   // "BatchStart", "FileError", "Error", "TargetEnd", ...
    std::string detail; // batch id, path or file name; empty for the others
    int code = 0;       // of an error or warning
    std::string message;
};

// Keeps every report except progress and answers true to all of them.
class CReportSync : public CKELMExport::IExportEventSync {
public:
    bool OnExportStart() override { return Keep("ExportStart"); }
    bool OnExportEnd() override { return Keep("ExportEnd"); }
    bool OnError(const SErrorInfo& error) override { return Keep("Error", std::string(), &error); }
    bool OnExportProgress(uint64_t, float, uint32_t, uint64_t, float, const std::wstring&, uint64_t, float, uint64_t,
                          float, const KELMNameSpace::SRemainingTime&) override
    {
        return true;
    }
    bool OnWarning(const SErrorInfo& warning) override { return Keep("Warning", std::string(), &warning); }
    bool OnBatchStart(uint32_t batchId) override { return Keep("BatchStart", std::to_string(batchId)); }
    bool OnBatchEnd() override { return Keep("BatchEnd"); }
    bool OnFileStart(const std::wstring& path, uint32_t, uint64_t) override { return Keep("FileStart", Narrow(path)); }
    bool OnFileDone(const std::wstring& path, uint32_t) override { return Keep("FileDone", Narrow(path)); }
    bool OnFileError(const std::wstring& path, uint32_t, const SErrorInfo& error) override
    {
        return Keep("FileError", Narrow(path), &error);
    }
    bool OnFileWarning(const std::wstring& path, uint32_t, const SErrorInfo& warning) override
    {
        return Keep("FileWarning", Narrow(path), &warning);
    }
    bool OnTargetStart(const std::wstring& targetPath) override { return Keep("TargetStart", Narrow(targetPath)); }
    bool OnTargetEnd(const std::wstring& targetFileName) override { return Keep("TargetEnd", Narrow(targetFileName)); }

    // Reports of one kind, in order.
    std::vector<SReport> Of(const std::string& kind) const;
    // Kinds and details of every report, one line each ("FileError /x/b.kelm").
    std::vector<std::string> Lines() const;

    std::vector<SReport> reports;

private:
    bool Keep(const std::string& kind, const std::string& detail = std::string(), const SErrorInfo* pError = nullptr);
};

// What a run in a child process gave: its result and every report.
struct SChildRun {
    bool bExited = false; // the child ran to its end and handed its record over
    bool bResult = false;
    std::vector<SReport> reports;

    std::vector<SReport> Of(const std::string& kind) const;
};

// Runs the export in a forked child whose files may not grow beyond limitBytes (writes past it
// fail with EFBIG, as on a full device); the parent's storage is untouched.
SChildRun RunExportWithFileSizeLimit(CKELMExport& storage, CReportSync& sync, uint64_t limitBytes);

// Opens the file as a player would and decodes every frame: both tracks, no decoding or library
// error, one frame per sample, strictly increasing times, video starting at a key frame. The
// frame counts must match when given (non-zero).
void ExpectIntactMp4(const std::string& path, uint64_t videoFrames = 0, uint64_t audioFrames = 0);

} // namespace KcFaultsTest
