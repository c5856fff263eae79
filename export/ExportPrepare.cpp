// Export fragment preparation: requested spans cut into local days, the files and media parts that
// cover each day, the size estimate and the target file name.
#include "export/KELMExport.h"

#include "container/TextConvert.h"
#include "export/FileSystemName.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <limits>

namespace KELMNameSpace {

using UtilsNameSpace::PrefixErrorInfo;
using UtilsNameSpace::SetErrorInfo;

namespace {

// Room kept in a target's name for a suffix while the file is being written.
constexpr size_t kWritingSuffixRoom = 16;
// The least of the Srid a target's name keeps: its hash mark and a character.
constexpr size_t kMinFrontBytes = 10;

// Two clipped spans closer than this are taken as touching.
constexpr double kClipStep = 0.001;

// Calendar fields of a time value read as UTC (local times are stored as if they were UTC, so no
// zone rules apply after the offset). False for values the calendar cannot hold.
bool ToCalendar(double seconds, std::tm& fields)
{
    // Checked in double first: converting an out-of-range double to an integer is undefined.
    if (!std::isfinite(seconds) || seconds <= static_cast<double>(std::numeric_limits<time_t>::min())
        || seconds >= static_cast<double>(std::numeric_limits<time_t>::max()))
        return false;
    const time_t whole = static_cast<time_t>(seconds); // truncated, as the day and name rules want
    return gmtime_r(&whole, &fields) != nullptr;
}

// Clips one list of a file's parts to [spanStart, spanEnd] and appends the kept copies.
// Returns whether a part was kept; frames and bytes of every kept part are added whole.
bool ClipParts(const std::vector<uint32_t>& partIndexes, const std::vector<SMediaPart>& recordingParts, double offset,
               double spanStart, double spanEnd, std::vector<SMediaPart>& kept, uint64_t& frames, uint64_t& bytes)
{
    bool bKept = false;
    double previousEnd = 0;
    for (uint32_t index : partIndexes) {
        if (index >= recordingParts.size())
            continue;
        const SMediaPart& part = recordingParts[index];
        double start = part.startTime + offset;
        if (previousEnd > 0 && start <= previousEnd)
            start = previousEnd + kClipStep;
        if (previousEnd <= 0 && start < spanStart)
            start = spanStart;
        const double end = std::min(part.endTime + offset, spanEnd);
        if (end - start <= kClipStep)
            continue;
        SMediaPart copy = part;
        copy.startTime = start;
        copy.endTime = end;
        kept.push_back(copy);
        frames += part.frameCount;
        bytes += part.payloadBytes;
        previousEnd = end;
        bKept = true;
    }
    return bKept;
}

} // namespace

void CKELMExport::ClearContent()
{
    // Prepared batches were cut from this content.
    m_exportBatches.clear();
    CKELMStorage::ClearContent();
}

bool CKELMExport::SetUTCTimeToLocalTimeOffset(double offsetSeconds, SErrorInfo* pError)
{
    if (!m_exportBatches.empty()) {
        SetErrorInfo(pError, UtilsNameSpace::kErrOffsetChange, L"Object has prepared fragments for export");
        return false;
    }
    m_UTCTimeToLocalTimeOffset = offsetSeconds;
    m_bOffsetSet = true;
    return true;
}

bool CKELMExport::GetDefaultUTCTimeToLocalTimeOffset(double& offsetSeconds, SErrorInfo* pError)
{
    const time_t now = time(nullptr);
    if (now <= 0) {
        SetErrorInfo(pError, UtilsNameSpace::kErrGeneral, L"_time64() error");
        return false;
    }
    std::tm local{};
    if (!localtime_r(&now, &local)) {
        SetErrorInfo(pError, UtilsNameSpace::kErrGeneral, L"_localtime64() error");
        return false;
    }
    // The local calendar fields read back as UTC differ from now by the zone's offset.
    offsetSeconds = static_cast<double>(timegm(&local)) - static_cast<double>(now);
    return true;
}

bool CKELMExport::MakeTargetFileName(const std::wstring& srid, const std::wstring& displayNumber,
                                     double StartLocalTimeInSec, double EndLocalTimeInSec, std::wstring& name,
                                     SErrorInfo* pError)
{
    std::tm start{};
    if (!ToCalendar(StartLocalTimeInSec, start)) {
        SetErrorInfo(pError, UtilsNameSpace::kErrInvalidArgument,
                     L"Can't convert StartLocalTimeInSec to calendar format)");
        return false;
    }
    std::tm end{};
    if (!ToCalendar(std::ceil(EndLocalTimeInSec / 60.0) * 60.0, end)) {
        SetErrorInfo(pError, UtilsNameSpace::kErrInvalidArgument,
                     L"Can't convert EndLocalTimeInSec to calendar format)");
        return false;
    }

    std::string year = std::to_string(static_cast<long long>(start.tm_year) + 1900);
    if (year.size() > 2)
        year.erase(0, year.size() - 2);
    char timePart[96];
    std::snprintf(timePart, sizeof(timePart), "%02d.%02d.%s_%02d.%02d-%02d.%02d.mp4", start.tm_mday, start.tm_mon + 1,
                  year.c_str(), start.tm_hour, start.tm_min, end.tm_hour, end.tm_min);

    // The Srid is text from a recording: it goes in as a file-system name, cut so that the whole
    // name stays within the limit with room for a suffix while the file is being written.
    std::wstring tail = L"_";
    if (srid.find_first_of(L"_-") == std::wstring::npos)
        tail += displayNumber + L"_";
    tail += UtilsNameSpace::Utf8ToWide(timePart);
    const size_t tailBytes = UtilsNameSpace::WideToUtf8(tail).size();
    const size_t limit = kMaxFileSystemNameBytes - kWritingSuffixRoom;
    if (tailBytes + kMinFrontBytes > limit) {
        SetErrorInfo(pError, UtilsNameSpace::kErrInvalidArgument, L"Too long display number");
        return false;
    }
    name = MakeFileSystemName(srid, limit - tailBytes) + tail;
    return true;
}

bool CKELMExport::PrepareExportFragments(const SExportRequest& request, std::vector<SExportFragment>* pFragments,
                                         uint32_t* pBatchId, SErrorInfo* pError)
{
    if (!IsContentLoaded()) {
        SetErrorInfo(pError, UtilsNameSpace::kErrNotOpen, L"Content not loaded");
        return false;
    }
    if (!(request.startTime > 0)) {
        SetErrorInfo(pError, UtilsNameSpace::kErrInvalidArgument, L"Invalid export fragment start time");
        return false;
    }
    // An endless span would never leave the day loop.
    if (!(request.startTime < request.endTime) || !std::isfinite(request.endTime)) {
        SetErrorInfo(pError, UtilsNameSpace::kErrInvalidArgument, L"Invalid export fragment end time");
        return false;
    }
    if (!m_bOffsetSet) {
        double offset = 0;
        if (!GetDefaultUTCTimeToLocalTimeOffset(offset, pError)) {
            PrefixErrorInfo(pError, L"Default UTCTimeToLocalTimeOffset set error: ");
            return false;
        }
        m_UTCTimeToLocalTimeOffset = offset;
        m_bOffsetSet = true;
    }
    if (pFragments)
        pFragments->clear();

    const double offset = m_UTCTimeToLocalTimeOffset;
    const SRecording* pRecording = nullptr;
    std::vector<const SFileRecord*> files;
    const SridMap& sridMap = GetSridMap();
    const auto sridIt = sridMap.find(request.srid);
    if (sridIt != sridMap.end()) {
        const auto recordingIt = sridIt->second.find(request.subSourceKey);
        if (recordingIt != sridIt->second.end()) {
            pRecording = &recordingIt->second;
            for (const auto& entry : pRecording->files) {
                const SFileRecord& file = entry.second;
                if (file.startTime <= request.endTime - offset && file.endTime >= request.startTime - offset)
                    files.push_back(&file);
            }
        }
    }
    std::sort(files.begin(), files.end(),
              [](const SFileRecord* pA, const SFileRecord* pB) { return pA->startTime < pB->startTime; });

    SExportBatch batch;
    batch.id = m_exportBatches.empty() ? 1 : m_exportBatches.back().id + 1;
    batch.srid = request.srid;
    batch.subSourceKey = request.subSourceKey;

    size_t position = 0;
    double dayStart = request.startTime;
    while (dayStart < request.endTime) {
        std::tm fields{};
        if (!ToCalendar(dayStart, fields)) {
            SetErrorInfo(pError, UtilsNameSpace::kErrGeneral, L"pTargetDayIntervalStartLocalCalendarTime get error");
            return false;
        }
        fields.tm_hour = 23;
        fields.tm_min = 59;
        fields.tm_sec = 59;
        const double dayEnd = static_cast<double>(timegm(&fields));
        const double windowEnd = std::min(dayEnd + 0.999, request.endTime);

        // A file reaching into the next day stays at the position and is looked at again then.
        while (position < files.size() && files[position]->endTime + offset < dayStart)
            ++position;

        SExportFragment fragment;
        fragment.startTime = 0;
        fragment.windowStart = dayStart;
        fragment.windowEnd = windowEnd;
        uint64_t audioFrames = 0, audioBytes = 0, videoFrames = 0, videoBytes = 0;
        double lastSpanEnd = 0;
        for (size_t i = position; i < files.size(); ++i) {
            const SFileRecord& file = *files[i];
            if (file.startTime + offset > windowEnd)
                break;
            double spanStart = file.startTime + offset;
            if (lastSpanEnd > 0 && spanStart <= lastSpanEnd)
                spanStart = lastSpanEnd + kClipStep;
            if (lastSpanEnd <= 0 && spanStart < dayStart)
                spanStart = dayStart;
            const double spanEnd = std::min(file.endTime + offset, windowEnd);
            if (spanEnd - spanStart > kClipStep) {
                lastSpanEnd = spanEnd;
                const bool bAudio = ClipParts(file.audioParts, pRecording->audioParts, offset, spanStart, spanEnd,
                                              fragment.audioParts, audioFrames, audioBytes);
                const bool bVideo = ClipParts(file.videoParts, pRecording->videoParts, offset, spanStart, spanEnd,
                                              fragment.videoParts, videoFrames, videoBytes);
                if (bAudio || bVideo) {
                    batch.files.push_back(file);
                    if (!(fragment.startTime > 0))
                        fragment.startTime = spanStart;
                    fragment.endTime = spanEnd;
                }
            }
            if (file.endTime + offset > windowEnd)
                break;
        }

        if (!fragment.audioParts.empty() || !fragment.videoParts.empty()) {
            if (!MakeTargetFileName(request.srid, request.displayNumber, fragment.startTime, fragment.endTime,
                                    fragment.targetFileName, pError)) {
                PrefixErrorInfo(pError, L"Target file name creation error: ");
                return false;
            }
            // Index entries of about 16 bytes per sample plus the headers.
            fragment.estimatedSize = 16 * (audioFrames + videoFrames) + audioBytes + videoBytes + 1500;
            fragment.targetDirectory = request.targetDirectory;
            batch.estimatedTotalSize += fragment.estimatedSize;
            batch.fragments.push_back(fragment);
            if (pFragments)
                pFragments->push_back(fragment);
        }
        dayStart = dayEnd + 1;
    }

    if (batch.fragments.empty())
        return true;
    if (pBatchId)
        *pBatchId = batch.id;
    m_exportBatches.push_back(std::move(batch));
    return true;
}

} // namespace KELMNameSpace
