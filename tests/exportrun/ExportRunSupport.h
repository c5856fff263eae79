#pragma once

// Shared pieces of the export tests: a scratch folder, recordings written and loaded into a
// storage, the units a container holds, and an event sync that records every report.

#include "ExportSetup.h"
#include "KelmWriter.h"
#include "TempDir.h"
#include "export/KELMExport.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace KcExportTest {

using KELMNameSpace::CKELMExport;
using UtilsNameSpace::SErrorInfo;

// Every test runs three hours east of UTC, whatever the machine's zone.
constexpr double kOffset = KcTest::kZoneOffset;

using KcTest::Local;
using KcTest::Narrow;
using KcTest::Recording;
using KcTest::Request;
using KcTest::Wide;

// A fresh folder under the system's temporary folder, removed with everything in it.
class CScratch : public KcTest::CTempDir {
public:
    // Names of the regular files below the folder (recursively), relative to it, sorted.
    std::vector<std::string> FilesUnder(const std::string& name) const;
};

// One unit of a container as the export meets it.
struct SUnit {
    int32_t esno = 0;
    double localTime = 0;
    bool bSync = false; // audio units always are
};

// Every unit of the file, in file order, with times in the tests' zone.
std::vector<SUnit> ReadUnits(const std::string& path);

// Loads the files and sets the tests' offset; fails the test on any error.
void LoadAndSetOffset(CKELMExport& storage, const std::vector<std::string>& paths);

struct SProgress {
    float batchPercent = 0;
    std::wstring targetName;
    uint64_t totalBytes = 0;
    float totalPercent = 0;
    KELMNameSpace::SRemainingTime remaining;
};

// Records every report as an event ("BatchStart 1", "TargetEnd <name>", ...) and answers false
// to the stopAt-th report (counted from 1) of the kind named by stopKind.
class CRecordingExportSync : public CKELMExport::IExportEventSync {
public:
    bool OnExportStart() override { return Answer("ExportStart", ""); }
    bool OnExportEnd() override { return Answer("ExportEnd", ""); }
    bool OnError(const SErrorInfo& error) override
    {
        errors.push_back(error);
        return Answer("Error", std::to_string(error.code));
    }
    bool OnExportProgress(uint64_t, float, uint32_t, uint64_t, float batchPercent, const std::wstring& targetFileName,
                          uint64_t, float, uint64_t totalBytesDone, float totalPercent,
                          const KELMNameSpace::SRemainingTime& remaining) override
    {
        progress.push_back({batchPercent, targetFileName, totalBytesDone, totalPercent, remaining});
        return Answer("Progress", "");
    }
    bool OnWarning(const SErrorInfo& warning) override
    {
        warnings.push_back(warning);
        return Answer("Warning", std::to_string(warning.code));
    }
    bool OnBatchStart(uint32_t batchId) override { return Answer("BatchStart", std::to_string(batchId)); }
    bool OnBatchEnd() override { return Answer("BatchEnd", ""); }
    bool OnFileStart(const std::wstring& path, uint32_t, uint64_t) override
    {
        return Answer("FileStart", Narrow(path));
    }
    bool OnFileDone(const std::wstring& path, uint32_t) override { return Answer("FileDone", Narrow(path)); }
    bool OnFileError(const std::wstring& path, uint32_t, const SErrorInfo&) override
    {
        return Answer("FileError", Narrow(path));
    }
    bool OnFileWarning(const std::wstring& path, uint32_t, const SErrorInfo&) override
    {
        return Answer("FileWarning", Narrow(path));
    }
    bool OnTargetStart(const std::wstring& targetPath) override
    {
        targetStarts.push_back(Narrow(targetPath));
        return Answer("TargetStart", Narrow(targetPath));
    }
    bool OnTargetEnd(const std::wstring& targetFileName) override
    {
        targetEnds.push_back(Narrow(targetFileName));
        return Answer("TargetEnd", Narrow(targetFileName));
    }

    // Kinds of the reports, in order, without their details.
    std::vector<std::string> Kinds() const;
    size_t Count(const std::string& kind) const;

    std::string stopKind;
    size_t stopAt = 1;

    std::vector<std::pair<std::string, std::string>> events; // kind, detail
    std::vector<SErrorInfo> errors;
    std::vector<SErrorInfo> warnings;
    std::vector<std::string> targetStarts;
    std::vector<std::string> targetEnds;
    std::vector<SProgress> progress;

private:
    bool Answer(const std::string& kind, const std::string& detail);
};

} // namespace KcExportTest
