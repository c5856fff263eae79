#pragma once

#include "KelmWriter.h"
#include "TempDir.h"
#include "TestText.h"
#include "TestZone.h"
#include "container/KELMStorage.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace KcContentTest {

using KcTest::CTempDir;
using KELMNameSpace::CKELMStorage;
using KELMNameSpace::SClockTime;
using KELMNameSpace::SRemainingTime;
using UtilsNameSpace::SErrorInfo;

using KcTest::Recording;
using KcTest::Wide;
using KcTest::WidePaths;

inline uint64_t FileSize(const std::string& path)
{
    return static_cast<uint64_t>(std::filesystem::file_size(path));
}

// Local seconds `seconds` after 13:00 on 1 March 2026 (10:00 UTC), where the recordings lie.
inline double At(double seconds)
{
    return KcTest::Local(2026, 3, 1, 13, 0, 0) + seconds;
}

struct SProgressCall {
    uint32_t fileIndex = 0;
    uint64_t position = 0;
    uint64_t bytesDone = 0;
    float filePercent = 0;
    float totalPercent = 0;
    SRemainingTime remaining;
};

struct SFileReport {
    uint32_t inputIndex = 0;
    std::wstring path;
    SErrorInfo info;
};

// Records every report of a load as a line ("FileStart 2", "Sized 0", ...) and answers false to
// the one named by cancelAt; progress reports go to onProgress when it is set.
class CRecordingSync : public CKELMStorage::IContentLoadEventSync {
public:
    bool OnLoadStart() override { return Answer("LoadStart"); }
    bool OnLoadEnd() override { return Answer("LoadEnd"); }
    bool OnLoadProgress(uint64_t filePosition, uint64_t bytesDone, float filePercent, float totalPercent,
                        const SRemainingTime& remaining) override
    {
        SProgressCall call;
        call.fileIndex = m_currentFile;
        call.position = filePosition;
        call.bytesDone = bytesDone;
        call.filePercent = filePercent;
        call.totalPercent = totalPercent;
        call.remaining = remaining;
        progress.push_back(call);
        return onProgress ? onProgress(call) : true;
    }
    bool OnFileStart(const std::wstring&, uint32_t inputIndex, uint64_t entrySize) override
    {
        m_currentFile = inputIndex;
        startSizes.push_back(entrySize);
        return Answer("FileStart " + std::to_string(inputIndex));
    }
    bool OnFileDone(const std::wstring&, uint32_t inputIndex) override
    {
        return Answer("FileDone " + std::to_string(inputIndex));
    }
    bool OnFileError(const std::wstring& path, uint32_t inputIndex, const SErrorInfo& error) override
    {
        errors.push_back({inputIndex, path, error});
        return Answer("FileError " + std::to_string(inputIndex));
    }
    bool OnFileWarning(const std::wstring& path, uint32_t inputIndex, const SErrorInfo& warning) override
    {
        warnings.push_back({inputIndex, path, warning});
        return Answer("FileWarning " + std::to_string(inputIndex));
    }
    bool OnFileSized(const std::wstring&, uint32_t inputIndex, uint64_t size) override
    {
        sizes.push_back(size);
        return Answer("Sized " + std::to_string(inputIndex));
    }
    bool OnSizingStart() override { return Answer("SizingStart"); }
    bool OnSizingEnd(uint32_t filesSized, uint64_t totalSize) override
    {
        sizedFiles = filesSized;
        sizedTotal = totalSize;
        return Answer("SizingEnd");
    }

    bool Saw(const std::string& event) const
    {
        for (const std::string& seen : events)
            if (seen == event)
                return true;
        return false;
    }

    std::string cancelAt;
    std::function<bool(const SProgressCall&)> onProgress;

    std::vector<std::string> events;
    std::vector<SProgressCall> progress;
    std::vector<SFileReport> errors;
    std::vector<SFileReport> warnings;
    std::vector<uint64_t> sizes;
    std::vector<uint64_t> startSizes;
    uint32_t sizedFiles = 0;
    uint64_t sizedTotal = 0;

private:
    bool Answer(const std::string& event)
    {
        events.push_back(event);
        return event != cancelAt;
    }

    uint32_t m_currentFile = 0;
};

// A clock that returns the given readings (milliseconds) one per call and then stays at the last.
inline KELMNameSpace::ClockFunction ScriptedClock(std::vector<int64_t> readingsMs)
{
    auto pState = std::make_shared<std::pair<std::vector<int64_t>, size_t>>(std::move(readingsMs), 0);
    return [pState]() {
        std::vector<int64_t>& readings = pState->first;
        size_t& next = pState->second;
        const int64_t ms = readings[next < readings.size() ? next : readings.size() - 1];
        ++next;
        SClockTime now;
        now.seconds = ms / 1000;
        now.milliseconds = static_cast<uint32_t>(ms % 1000);
        return now;
    };
}

} // namespace KcContentTest
