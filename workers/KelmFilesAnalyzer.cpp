#include "workers/KelmFilesAnalyzer.h"

#include "core/TimeUtil.h"

#include <QStringList>

#include <algorithm>
#include <cmath>
#include <utility>

using KELMNameSpace::CKELMExport;
using KELMNameSpace::SExportFragment;
using KELMNameSpace::SExportRequest;
using KELMNameSpace::SRecording;
using KELMNameSpace::SridMap;
using UtilsNameSpace::SErrorInfo;

namespace KcWorkers {

namespace {

// Only the first recordings of a camera become export entries.
constexpr int kMaxRecordingsPerSrid = 2;

[[noreturn]] void throwFailure(const QString& qsUserText, const QString& qsLogText)
{
    throw KcMain::KcException(qsUserText, qsLogText);
}

// Request times are whole UTC seconds moved into the selected zone's standard time.
double localRequestTime(double utcSeconds)
{
    const uint32_t seconds = truncateToUint32Seconds(utcSeconds);
    return double(seconds) + double(KcTime::CTimeUtil::standardOffsetAt(seconds));
}

// Days are cut and shown in whole local seconds that fit 32 bits: from 1970 to early 2106.
constexpr double kLastUsableSecond = 4294967294.0;

bool isUsableTime(double utcSeconds)
{
    return utcSeconds >= 1.0 && utcSeconds <= kLastUsableSecond;
}

// The video a recording can be exported from: the span of its video parts whose times, and their
// local times, lie in the usable range. A camera whose clock was reset writes 1970 (or 0), a
// broken one dates far into the future; such parts are left out and their files named.
struct SUsableVideo {
    double start = 0;
    double end = 0;
    bool bAny = false;
    QStringList refusedFiles;
};

SUsableVideo usableVideo(const SRecording& recording)
{
    SUsableVideo usable;
    for (const auto& fileEntry : recording.files) {
        bool bRefused = false;
        for (const uint32_t index : fileEntry.second.videoParts) {
            if (index >= recording.videoParts.size())
                continue;
            const KELMNameSpace::SMediaPart& part = recording.videoParts[index];
            if (!isUsableTime(part.startTime) || !isUsableTime(part.endTime)
                || !isUsableTime(localRequestTime(part.startTime)) || !isUsableTime(localRequestTime(part.endTime))) {
                bRefused = true;
                continue;
            }
            usable.start = usable.bAny ? std::min(usable.start, part.startTime) : part.startTime;
            usable.end = usable.bAny ? std::max(usable.end, part.endTime) : part.endTime;
            usable.bAny = true;
        }
        if (bRefused)
            usable.refusedFiles << toQString(fileEntry.first);
    }
    return usable;
}

// The offset of the whole analysis is taken at the first recorded video in the usable range; a
// camera without video (all its files refused) tells nothing about the time of the recordings.
const SRecording& offsetReferenceRecording(const SridMap& content)
{
    for (const auto& sridEntry : content)
        for (const auto& recordingEntry : sridEntry.second)
            if (usableVideo(recordingEntry.second).bAny)
                return recordingEntry.second;
    for (const auto& sridEntry : content)
        for (const auto& recordingEntry : sridEntry.second)
            if (!recordingEntry.second.videoParts.empty())
                return recordingEntry.second;
    return content.begin()->second.begin()->second;
}

double offsetReferenceTime(const SRecording& recording)
{
    const SUsableVideo usable = usableVideo(recording);
    return usable.bAny ? usable.start : recording.videoStart;
}

} // namespace

// ---- CAnalyzerEventsSync

bool CAnalyzerEventsSync::goOn() const
{
    return !m_analyzer.isCancelRequested();
}

bool CAnalyzerEventsSync::OnLoadStart()
{
    emit m_analyzer.workStarted();
    return goOn();
}

bool CAnalyzerEventsSync::OnLoadEnd()
{
    return goOn();
}

bool CAnalyzerEventsSync::OnLoadProgress(uint64_t, uint64_t, float, float totalPercent,
                                         const KELMNameSpace::SRemainingTime& remaining)
{
    const int nPercent = int(totalPercent);
    const double fEstimatedTime = remaining.bValid ? remaining.seconds : -1.0;
    // The engine reports after every record; only a change the user can see is sent on.
    if (m_progressGate.pass(uint64_t(nPercent), std::floor(fEstimatedTime)))
        emit m_analyzer.progressState(nPercent, fEstimatedTime);
    return goOn();
}

bool CAnalyzerEventsSync::OnFileStart(const std::wstring&, uint32_t, uint64_t)
{
    return goOn();
}

bool CAnalyzerEventsSync::OnFileDone(const std::wstring&, uint32_t inputIndex)
{
    emit m_analyzer.filesProcessed(ulong(inputIndex) + 1, ulong(m_analyzer.m_totalFiles));
    return goOn();
}

bool CAnalyzerEventsSync::OnFileError(const std::wstring& path, uint32_t, const SErrorInfo& error)
{
    emit m_analyzer.fileError(0, toQString(path), toQString(error.message), int(error.code));
    return goOn();
}

bool CAnalyzerEventsSync::OnFileWarning(const std::wstring& path, uint32_t, const SErrorInfo& warning)
{
    emit m_analyzer.fileWarning(0, toQString(path), toQString(warning.message), int(warning.code));
    return goOn();
}

bool CAnalyzerEventsSync::OnFileSized(const std::wstring&, uint32_t, uint64_t)
{
    return goOn();
}

bool CAnalyzerEventsSync::OnSizingStart()
{
    return goOn();
}

bool CAnalyzerEventsSync::OnSizingEnd(uint32_t, uint64_t)
{
    return goOn();
}

// ---- CKelmFilesAnalyzer

CKelmFilesAnalyzer::CKelmFilesAnalyzer(const std::vector<std::wstring>& inputFiles, CKELMExport& storage,
                                       SridMap& loadedContent, ExportedSrids& exportedSrids,
                                       KELMNameSpace::BlackList& blackList, CancelFlag& cancelFlag,
                                       const QString& qsExportLocation, QObject* pParent)
    : CKcWorker(storage, exportedSrids, cancelFlag, pParent),
      m_eventsSync(*this),
      m_totalFiles(uint32_t(inputFiles.size())),
      m_inputFiles(inputFiles),
      m_loadedContent(loadedContent),
      m_blackList(blackList),
      m_qsExportLocation(qsExportLocation)
{
    m_pStorage->SetContentLoadEventSync(&m_eventsSync);
    m_bEventsSyncInstalled = true;
}

CKelmFilesAnalyzer::~CKelmFilesAnalyzer()
{
    // Only a worker that never ran still has its sync installed; a finished one removed it on
    // its own thread before reporting the end, so a later analysis is not disturbed.
    uninstallEventsSync();
}

void CKelmFilesAnalyzer::uninstallEventsSync()
{
    if (m_bEventsSyncInstalled) {
        m_pStorage->SetContentLoadEventSync(nullptr);
        m_bEventsSyncInstalled = false;
    }
}

void CKelmFilesAnalyzer::process()
{
    struct SUninstallOnExit {
        CKelmFilesAnalyzer& analyzer;
        ~SUninstallOnExit() { analyzer.uninstallEventsSync(); }
    } uninstallOnExit{*this};

    // Entries of an earlier analysis point into content that is about to go.
    m_pExportedSrids->clear();
    if (m_pStorage->IsContentLoaded())
        m_pStorage->ClearContent();

    SErrorInfo error;
    if (!m_pStorage->LoadContent(m_inputFiles, &error) && error.code != UtilsNameSpace::kErrCancelled) {
        const QString qsMessage = toQString(error.message);
        throwFailure(tr("Analyzing failed: ") + qsMessage, QStringLiteral("Analyzing failed: ") + qsMessage);
    }

    // A cancelled load keeps what it loaded: the user gets to see and export that part.
    m_loadedContent = m_pStorage->GetSridMap();
    m_blackList = m_pStorage->GetBlackList();
    if (!m_loadedContent.empty()) {
        emit detectingExportParams();
        detectExportParameters(*m_pStorage, *m_pExportedSrids, m_qsExportLocation,
                               [this](const QString& qsFile, const QString& qsWarning) {
                                   emit fileWarning(0, qsFile, qsWarning, int(UtilsNameSpace::kErrBadData));
                               });
    }
    emit sridsFinallyLoaded(ulong(m_loadedContent.size()));
}

// ---- export parameters

void detectExportParameters(CKELMExport& storage, ExportedSrids& exportedSrids, const QString& qsExportLocation,
                            const TimeWarningSink& onTimeWarning)
{
    exportedSrids.clear();

    const SridMap& content = storage.GetSridMap();
    if (content.empty() || content.begin()->second.empty()) {
        throwFailure(CKelmFilesAnalyzer::tr("Internal error: analyzing results are empty"),
                     QStringLiteral("Internal error: analyzing results are empty"));
    }

    storage.ClearPreparedFragments();

    SErrorInfo error;
    const double offset = KcTime::CTimeUtil::standardOffsetAt(offsetReferenceTime(offsetReferenceRecording(content)));
    if (!storage.SetUTCTimeToLocalTimeOffset(offset, &error)) {
        const QString qsMessage = toQString(error.message);
        throwFailure(CKelmFilesAnalyzer::tr("Failed to set timezone for videofiles: %1").arg(qsMessage),
                     QStringLiteral("Failed to set timezone for videofiles: %1").arg(qsMessage));
    }

    const std::wstring exportLocation = toWString(qsExportLocation);
    ExportedSrids entries;
    std::vector<SExportFragment> fragments;
    bool bTimesRefused = false;
    for (const auto& sridEntry : content) {
        int nRecordings = 0;
        for (const auto& recordingEntry : sridEntry.second) {
            if (nRecordings++ >= kMaxRecordingsPerSrid)
                break;
            const SRecording& recording = recordingEntry.second;

            // Files dated outside what the days can hold are named once; the rest of the
            // recording and the other cameras are still converted.
            const SUsableVideo usable = usableVideo(recording);
            if (!usable.refusedFiles.isEmpty()) {
                bTimesRefused = true;
                if (onTimeWarning) {
                    const QString qsSrid = toQString(sridEntry.first);
                    const QString qsFiles = usable.refusedFiles.join(QStringLiteral(", "));
                    onTimeWarning(usable.refusedFiles.front(),
                                  usable.bAny
                                      ? CKelmFilesAnalyzer::tr("Camera %1: video dated before 1970 or after 2106 "
                                                               "left out, in %2")
                                            .arg(qsSrid, qsFiles)
                                      : CKelmFilesAnalyzer::tr("Camera %1 skipped: its video is dated before "
                                                               "1970 or after 2106, in %2")
                                            .arg(qsSrid, qsFiles));
                }
            }
            if (!usable.bAny)
                continue;

            SExportRequest request;
            // Rounded up: cut down, the last second of the camera's last file would be lost.
            request.endTime = localRequestTime(std::ceil(usable.end));
            request.startTime = localRequestTime(usable.start);
            request.srid = sridEntry.first;
            request.displayNumber = recording.displayNumber;
            request.subSourceKey = recordingEntry.first;
            request.targetDirectory = exportLocation;

            // A camera whose files were all refused has no video span to cut into days; the
            // other cameras are still worth converting.
            if (recording.videoParts.empty() || !(request.startTime < request.endTime))
                continue;

            uint32_t batchId = 0;
            if (!storage.PrepareExportFragments(request, &fragments, &batchId, &error)) {
                const QString qsMessage = toQString(error.message);
                throwFailure(CKelmFilesAnalyzer::tr("Failed detecting export parameters: ") + qsMessage,
                             QStringLiteral("Failed detecting export parameters: ") + qsMessage);
            }
            if (batchId == 0 || fragments.empty())
                continue;

            for (const SExportFragment& fragment : fragments) {
                SExportEntry entry;
                entry.srid = request.srid;
                entry.subSourceKey = request.subSourceKey;
                entry.displayNumber = request.displayNumber;
                entry.bEnabled = true;
                entry.fragment = fragment;
                entry.batchId = batchId;
                std::wstring key = makeExportKey(entry);
                if (!entries.emplace(std::move(key), std::move(entry)).second) {
                    throwFailure(CKelmFilesAnalyzer::tr("Internal error: cannot insert data in the ExportedSrids map"),
                                 QStringLiteral("Internal error: cannot insert data in the ExportedSrids map"));
                }
            }
        }
    }

    if (entries.empty() && bTimesRefused) {
        throwFailure(
            CKelmFilesAnalyzer::tr("No recording can be converted: the video is dated before 1970 or after 2106"),
            QStringLiteral("No recording can be converted: the video is dated before 1970 or after 2106"));
    }
    if (entries.empty()) {
        throwFailure(CKelmFilesAnalyzer::tr("Internal error: failed arranging videofiles by dates"),
                     QStringLiteral("Internal error: failed arranging videofiles by dates"));
    }
    exportedSrids = std::move(entries);
}

} // namespace KcWorkers
