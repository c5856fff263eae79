#include "FuzzEntries.h"

#include "container/DecoderConfig.h"
#include "container/FastDynArray.h"
#include "container/KelmParser.h"
#include "container/TextConvert.h"
#include "export/DecoderSetup.h"
#include "export/KELMExport.h"

#include <fcntl.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

namespace KcFuzz {

namespace {

using KELMNameSpace::AudioCodecId;
using KELMNameSpace::VideoCodecId;
using UtilsNameSpace::CFastDynArray;
using UtilsNameSpace::SErrorInfo;

void Require(bool bHolds, const char* pWhat)
{
    if (bHolds)
        return;
    std::fprintf(stderr, "kc-fuzz: broken promise: %s\n", pWhat);
    std::abort();
}

// Reads every byte so that the address sanitizer sees a pointer or size that is off.
void Touch(const uint8_t* pBytes, size_t size)
{
    volatile uint8_t sink = 0;
    for (size_t i = 0; i < size; ++i)
        sink = sink ^ pBytes[i];
    (void)sink;
}

// A folder of our own for the container files, on tmpfs when there is one: a file is written
// for every input, and a disk would turn the fuzzer into a disk benchmark.
class CScratchFolder {
public:
    CScratchFolder()
    {
        std::error_code error;
        std::filesystem::path base = "/dev/shm";
        if (!std::filesystem::is_directory(base, error) || access(base.c_str(), W_OK) != 0)
            base = std::filesystem::temp_directory_path(error);
        std::string pattern = (base / "kc-fuzz-XXXXXX").string();
        Require(mkdtemp(&pattern[0]) != nullptr, "a scratch folder can be made");
        m_path = pattern;
    }
    ~CScratchFolder()
    {
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }
    CScratchFolder(const CScratchFolder&) = delete;
    CScratchFolder& operator=(const CScratchFolder&) = delete;

    std::string Path(const char* pName) const { return (m_path / pName).string(); }

private:
    std::filesystem::path m_path;
};

void WriteWholeFile(const std::string& path, const uint8_t* pData, size_t size)
{
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    Require(fd >= 0, "the scratch file can be created");
    size_t done = 0;
    while (done < size) {
        const ssize_t written = write(fd, pData + done, size - done);
        Require(written > 0, "the scratch file can be written");
        done += static_cast<size_t>(written);
    }
    Require(close(fd) == 0, "the scratch file can be closed");
}

// Checks the receiver's side of the parser's promises: the order of the size and position
// reports, the payload and configuration pointers, the warnings, and that a false answer is the
// last call. With stopAt n > 0 it answers false at its n-th call.
class CCheckingReceiver : public KELMNameSpace::IKELMItemsReceiver {
public:
    CCheckingReceiver(uint64_t fileSize, bool bSkipPayloads, unsigned stopAt)
        : m_fileSize(fileSize),
          m_bSkipPayloads(bSkipPayloads),
          m_stopAt(stopAt)
    {
    }

    bool Stopped() const { return m_bStopped; }
    bool PositionSeen() const { return m_bPositionSeen; }
    uint64_t LastPosition() const { return m_lastPosition; }

    bool OnControlTag() override { return Answer(); }
    bool OnFinishedTag() override { return Answer(); }
    bool OnErrorTag(int32_t) override { return Answer(); }
    bool OnStreamTag(const std::wstring&, const std::wstring& subSourceKey) override
    {
        Require(subSourceKey.empty(), "the sub-source key is empty");
        return Answer();
    }
    bool OnAudioStreamEnd(int32_t, uint64_t, double) override { return Answer(); }
    bool OnAudioES(int32_t, AudioCodecId codec, const uint8_t* pConfig, uint32_t configSize) override
    {
        Require(codec <= KELMNameSpace::WavAudio, "an audio codec id is one of the table");
        CheckBytes(pConfig, configSize);
        return Answer();
    }
    bool OnAuxStreamEnd(int32_t, uint64_t, double) override { return Answer(); }
    bool OnAuxES(int32_t) override { return Answer(); }
    bool OnMuxStreamEnd(int32_t, uint64_t, double) override { return Answer(); }
    bool OnMuxES(int32_t) override { return Answer(); }
    bool OnSignallingStreamEnd(int32_t, uint64_t, double) override { return Answer(); }
    bool OnSignallingES(int32_t) override { return Answer(); }
    bool OnSubtitlesStreamEnd(int32_t, uint64_t, double) override { return Answer(); }
    bool OnSubtitlesES(int32_t) override { return Answer(); }
    bool OnVideoStreamEnd(int32_t, uint64_t, double) override { return Answer(); }
    bool OnVideoES(int32_t, VideoCodecId codec, const uint8_t* pConfig, uint32_t configSize) override
    {
        Require(codec <= KELMNameSpace::VideoAvcodec, "a video codec id is one of the table");
        CheckBytes(pConfig, configSize);
        return Answer();
    }
    bool OnUnit(int32_t, double, const uint8_t* pPayload, uint32_t payloadSize) override
    {
        if (m_bSkipPayloads)
            Require(pPayload == nullptr && payloadSize == 0, "a skipping parse passes no payload");
        Require(payloadSize <= m_fileSize, "a payload lies inside the file");
        CheckBytes(pPayload, payloadSize);
        return Answer();
    }
    bool OnFileSize(uint64_t fileSize) override
    {
        Require(m_calls == 0, "the file size is the first report");
        Require(fileSize == m_fileSize, "the file size is the size of the file");
        return Answer();
    }
    bool OnPosition(uint64_t bytesConsumed) override
    {
        Require(m_bPositionSeen || bytesConsumed == 0, "the first position is 0");
        Require(bytesConsumed >= m_lastPosition, "positions never go back");
        Require(bytesConsumed <= m_fileSize, "positions stay inside the file");
        m_bPositionSeen = true;
        m_lastPosition = bytesConsumed;
        return Answer();
    }
    bool OnParseWarning(const SErrorInfo& warning) override
    {
        Require(warning.code == UtilsNameSpace::kErrGeneral || warning.code == UtilsNameSpace::kErrBadData
                    || warning.code == UtilsNameSpace::kErrNotSupported,
                "a warning has code 1, 14 or 29");
        Require(!warning.message.empty(), "a warning says what is wrong");
        return Answer();
    }

private:
    bool Answer()
    {
        Require(!m_bStopped, "nothing is called after a false answer");
        ++m_calls;
        if (m_stopAt != 0 && m_calls == m_stopAt)
            m_bStopped = true;
        return !m_bStopped;
    }

    static void CheckBytes(const uint8_t* pBytes, uint32_t size)
    {
        Require((pBytes == nullptr) == (size == 0), "bytes are passed as null and 0 or as data and size");
        if (pBytes)
            Touch(pBytes, size);
    }

    const uint64_t m_fileSize;
    const bool m_bSkipPayloads;
    const unsigned m_stopAt;
    unsigned m_calls = 0;
    bool m_bStopped = false;
    bool m_bPositionSeen = false;
    uint64_t m_lastPosition = 0;
};

} // namespace

void RunContainerParse(const uint8_t* pData, size_t size)
{
    if (size < 1)
        return;
    const uint8_t choice = pData[0];
    const bool bSkipPayloads = (choice & 1) != 0;
    const bool bRecorderName = (choice & 2) != 0;
    const unsigned stopAt = choice >> 2;

    static CScratchFolder folder;
    const std::string path = folder.Path(bRecorderName ? "7-0-59.kelm" : "input.kelm");
    WriteWholeFile(path, pData + 1, size - 1);

    CCheckingReceiver receiver(size - 1, bSkipPayloads, stopAt);
    std::vector<KELMNameSpace::SStreamSummary> summaries;
    SErrorInfo error;
    const bool bParsed =
        KELMNameSpace::ParseContainer(UtilsNameSpace::NarrowToWide(path), bSkipPayloads, &receiver, &summaries, &error);

    Require(receiver.PositionSeen() || receiver.Stopped(), "the start position is reported");
    if (bParsed) {
        Require(!receiver.Stopped(), "a parse told to stop does not succeed");
        Require(receiver.LastPosition() == size - 1, "a successful parse ends at the file size");
    } else {
        Require(error.code != 0 && !error.message.empty(), "a failed parse says why");
        Require(receiver.Stopped() == (error.code == UtilsNameSpace::kErrCancelled),
                "Cancelled is reported exactly when the receiver said stop");
    }
    for (const KELMNameSpace::SStreamSummary& summary : summaries) {
        // Times may go back: a second STREAM record can change the time base under a stream.
        if (summary.frameCount > 0) {
            Require(summary.firstPts <= summary.lastPts, "a stream's time stamps do not go back");
        } else {
            Require(summary.payloadBytes == 0, "a stream without units has no payload bytes");
        }
    }
}

void RunDecoderConfig(const uint8_t* pData, size_t size)
{
    if (size < 1)
        return;
    const char* pText = reinterpret_cast<const char*>(pData + 1);
    const size_t length = size - 1;
    CFastDynArray<uint8_t> out;
    if (!out.Resize(5)) // left over from an earlier use: the result must not keep it
        return;

    if ((pData[0] & 1) == 0) {
        SErrorInfo error;
        const bool bFound = KELMNameSpace::ExtractDecoderConfig(std::string(pText, length), out, &error);
        if (bFound) {
            Require(out.Count() % 3 == 0, "a decoded configuration has three bytes per group");
            Require(out.Count() / 3 * 4 <= length, "a configuration is decoded from the info text");
        } else {
            Require(error.code == UtilsNameSpace::kErrNotFound || error.message == L"Out of memory",
                    "the only failures are a missing member and no memory for the configuration");
            Require(out.Count() == 0, "a missing member leaves no configuration");
        }
    } else {
        if (KELMNameSpace::DecodeBase64Lenient(pText, length, out))
            Require(out.Count() == length / 4 * 3, "lenient base64 gives three bytes per complete group");
        else
            Require(out.Count() == 0, "a configuration that finds no memory leaves nothing");
    }
    if (out.Count() > 0)
        Touch(out.Data(), out.Count());
}

void RunDecoderSetup(const uint8_t* pData, size_t size)
{
    if (size < 1)
        return;
    const uint8_t* pBytes = pData + 1;
    const size_t length = size - 1;

    switch (pData[0] % 4) {
    case 0: {
        const std::vector<uint8_t> sentinel = {0xAA};
        KELMNameSpace::ParameterSetList pictureSets = {sentinel};
        KELMNameSpace::ParameterSetList sequenceSets = {sentinel};
        SErrorInfo error;
        if (!KELMNameSpace::ParseDecoderSetupData(pBytes, length, pictureSets, sequenceSets, &error)) {
            Require(error.code == UtilsNameSpace::kErrBadData && !error.message.empty(),
                    "decoder setup data failures have code 14 and a message");
            Require(pictureSets.size() == 1 && pictureSets[0] == sentinel && sequenceSets.size() == 1
                        && sequenceSets[0] == sentinel,
                    "a failed parse leaves both lists as they were");
            return;
        }
        size_t expectedPrefix = 0;
        bool bAnySyncType = false;
        for (const KELMNameSpace::ParameterSetList* pList : {&sequenceSets, &pictureSets}) {
            for (const std::vector<uint8_t>& set : *pList) {
                Require(!set.empty(), "an empty parameter set gives no entry");
                expectedPrefix += 4 + set.size();
                const uint8_t type = set[0] & 0x1F;
                bAnySyncType = bAnySyncType || type == 5 || type == 7 || type == 8;
            }
        }
        for (const std::vector<uint8_t>& set : sequenceSets) {
            int width = 0;
            int height = 0;
            KELMNameSpace::ReadPictureSize(set.data(), set.size(), width, height);
        }
        std::vector<uint8_t> prefix;
        KELMNameSpace::BuildParameterSetPrefix(sequenceSets, pictureSets, prefix);
        Require(prefix.size() == expectedPrefix, "the prefix holds every set behind its length");
        // The prefix is a well-formed access unit, so every one of its NAL units is looked at.
        Require(KELMNameSpace::IsSyncSample(prefix.data(), prefix.size()) == bAnySyncType,
                "a prefix is a sync sample exactly when a set is an IDR slice or a parameter set");
        break;
    }
    case 1:
        KELMNameSpace::IsSyncSample(pBytes, length);
        break;
    case 2: {
        int width = 0;
        int height = 0;
        if (KELMNameSpace::ReadPictureSize(pBytes, length, width, height))
            Require(width > 0 && width <= 65536 && height > 0 && height <= 65536,
                    "a picture size read is a possible one");
        break;
    }
    default: {
        KELMNameSpace::SAacConfig config;
        if (KELMNameSpace::ReadAacConfig(pBytes, length, config)) {
            Require(config.sampleRate > 0, "an audio configuration read has a sample rate");
            Require(config.channels >= 0 && config.channels <= 24, "a channel count is one of the table");
            Require(config.frameLength == 960 || config.frameLength == 1024 || config.frameLength == 1920
                        || config.frameLength == 2048,
                    "a frame length is one AAC knows");
        }
        break;
    }
    }
}

namespace {

// Splits an input into up to kMaxFiles container files at each kFileSeparator.
std::vector<std::string> SplitFiles(const uint8_t* pData, size_t size)
{
    const std::string text(reinterpret_cast<const char*>(pData), size);
    const std::string separator(kFileSeparator, sizeof(kFileSeparator) - 1);
    std::vector<std::string> files;
    size_t start = 0;
    while (files.size() + 1 < kMaxFiles) {
        const size_t next = text.find(separator, start);
        if (next == std::string::npos)
            break;
        files.push_back(text.substr(start, next - start));
        start = next + separator.size();
    }
    files.push_back(text.substr(start));
    return files;
}

// Offsets of the zones an analysis may run in, chosen by the input's first byte.
constexpr double kOffsets[] = {0, 3 * 3600, -10 * 3600, 5.5 * 3600};

// Loads the files, cuts every recording into days as the analysis does and checks what the day
// cutting promises. Returns false when nothing was prepared.
bool LoadAndPrepare(const uint8_t* pData, size_t size, const CScratchFolder& folder,
                    KELMNameSpace::CKELMExport& storage, const std::string& targetDirectory)
{
    if (size < 1)
        return false;
    const double offset = kOffsets[pData[0] & 3];
    std::vector<std::wstring> paths;
    const std::vector<std::string> files = SplitFiles(pData + 1, size - 1);
    for (size_t i = 0; i < files.size(); ++i) {
        const std::string path = folder.Path(("in-" + std::to_string(i) + ".kelm").c_str());
        WriteWholeFile(path, reinterpret_cast<const uint8_t*>(files[i].data()), files[i].size());
        paths.push_back(UtilsNameSpace::NarrowToWide(path));
    }

    KELMNameSpace::CKELMStorage::CContentLoadEventSyncStub loadSync;
    storage.SetContentLoadEventSync(&loadSync);
    SErrorInfo error;
    const bool bLoaded = storage.LoadContent(paths, &error);
    storage.SetContentLoadEventSync(nullptr);
    if (!bLoaded) {
        Require(error.code != 0 && !error.message.empty(), "a failed load says why");
        return false;
    }
    Require(storage.SetUTCTimeToLocalTimeOffset(offset, &error), "the offset can be set after a load");

    bool bPrepared = false;
    for (const auto& sridEntry : storage.GetSridMap()) {
        for (const auto& recordingEntry : sridEntry.second) {
            const KELMNameSpace::SRecording& recording = recordingEntry.second;
            Require(recording.videoStart <= recording.videoEnd || recording.videoParts.empty(),
                    "a recording's video span does not go back");
            KELMNameSpace::SExportRequest request;
            request.startTime = std::floor(recording.videoStart) + offset;
            request.endTime = recording.videoEnd + offset;
            request.srid = sridEntry.first;
            request.displayNumber = recording.displayNumber;
            request.subSourceKey = recordingEntry.first;
            request.targetDirectory = UtilsNameSpace::NarrowToWide(targetDirectory);
            // What the analysis hands over: local times after 1970 that fit 32 bits.
            if (recording.videoParts.empty() || !(request.startTime >= 1) || !(request.startTime < request.endTime)
                || !(request.endTime <= 4294967294.0))
                continue;

            std::vector<KELMNameSpace::SExportFragment> fragments;
            uint32_t batchId = 0;
            if (!storage.PrepareExportFragments(request, &fragments, &batchId, &error)) {
                Require(error.code != 0 && !error.message.empty(), "a failed preparation says why");
                continue;
            }
            Require((batchId == 0) == fragments.empty(), "a batch is made exactly when a day has media");
            for (const KELMNameSpace::SExportFragment& fragment : fragments) {
                Require(fragment.windowStart >= request.startTime && fragment.windowEnd <= request.endTime,
                        "a day lies inside the request");
                Require(fragment.windowEnd - fragment.windowStart < 86400, "a day is shorter than a day");
                Require(fragment.startTime >= fragment.windowStart && fragment.endTime <= fragment.windowEnd,
                        "a day's media lies inside its window");
                Require(!fragment.targetFileName.empty() && fragment.targetFileName.find(L'/') == std::wstring::npos
                            && fragment.targetFileName.find(L'\0') == std::wstring::npos,
                        "a target name is one file name");
                Require(!fragment.videoParts.empty() || !fragment.audioParts.empty(), "a day has media");
            }
            bPrepared = bPrepared || batchId != 0;
        }
    }
    return bPrepared;
}

} // namespace

void RunContentPrepare(const uint8_t* pData, size_t size)
{
    static CScratchFolder folder;
    KELMNameSpace::CKELMExport storage;
    LoadAndPrepare(pData, size, folder, storage, folder.Path("out") + "/");
}

void RunExportFiles(const uint8_t* pData, size_t size)
{
    static CScratchFolder folder;
    const std::filesystem::path out = folder.Path("out");
    std::error_code ignored;
    std::filesystem::remove_all(out, ignored);

    KELMNameSpace::CKELMExport storage;
    if (!LoadAndPrepare(pData, size, folder, storage, out.string() + "/"))
        return;
    KELMNameSpace::CKELMExport::CExportEventSyncStub exportSync;
    storage.SetExportEventSync(&exportSync);
    SErrorInfo error;
    const bool bRun = storage.RunExport(&error);
    storage.SetExportEventSync(nullptr);
    Require(bRun || (error.code != 0 && !error.message.empty()), "a failed export says why");

    // Whatever the names in the files, the export writes only below its folder, and every file it
    // leaves is a finished, non-empty MP4.
    std::error_code walkError;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder.Path(""), walkError)) {
        const std::string path = entry.path().string();
        if (entry.is_directory())
            continue;
        if (path.rfind(out.string() + "/", 0) != 0) {
            Require(entry.path().filename().string().rfind("in-", 0) == 0, "nothing is written beside the inputs");
            continue;
        }
        Require(entry.path().extension() == ".mp4", "the export leaves only MP4 files");
        Require(entry.file_size() > 0, "an MP4 file left behind is not empty");
    }
}

} // namespace KcFuzz
