// bench-export: how fast the export run turns a recording into MP4, next to ffmpeg copying the
// same packets from an MPEG-TS into an MP4.
//
//   bench-export [--minutes N] [--runs R] [--dir DIR] [--sample] [--keep]
//
// It writes N minutes (default 60) of one camera as hourly .kelm files with 720p-like payload
// sizes (the writer's 320x240 loop grown by filler data to about 4 Mbit/s of video at 25 fps,
// plus AAC; --sample: the loop as it is), exports them as one day, remuxes the result into an MPEG-TS with ffmpeg (so that
// both sides carry the same packets), then reports the best and median of R runs (default 3) of
// the export, of "ffmpeg -i X.ts -c copy X.mp4" and of "cp" of the .kelm files, each after one
// warm-up run, and the export's peak resident memory.

#include "BenchSupport.h"
#include "KELMStorage.h"
#include "KelmWriter.h"
#include "TextConvert.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

using KcBench::Measure;
using KcBench::MiB;
using KcBench::Quote;
using KcBench::RunShell;
using KcBench::STimes;

namespace {

const char* const kBenchName = "bench-export";
const char* const kOptionsText = "[--minutes N] [--runs R] [--dir DIR] [--sample] [--keep]";

struct SOptions : KcBench::SOptions {
    bool bSample = false;
};

SOptions ParseOptions(int argc, char** argv)
{
    SOptions options;
    KcBench::ParseOptions(argc, argv, kBenchName, kOptionsText, options, [&](const std::string& arg) {
        if (arg != "--sample")
            return false;
        options.bSample = true;
        return true;
    });
    // A recording longer than a day would be cut into several files.
    if (options.minutes > 1440)
        KcBench::Usage(argv[0], kOptionsText);
    return options;
}

// The kernel resets the peak resident size (VmHWM) of the process when "5" is written here.
bool ResetPeakMemory()
{
    std::ofstream clearRefs("/proc/self/clear_refs");
    clearRefs << "5";
    return static_cast<bool>(clearRefs.flush());
}

// Peak resident size in MiB since the last reset, or -1 when unknown.
double PeakMemoryMiB()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmHWM:", 0) == 0)
            return std::stod(line.substr(6)) / 1024.0;
    }
    return -1;
}

// Stops the run at the first error or warning: the benchmark only counts clean exports.
class CCheckingSync : public KELMNameSpace::CKELMStorage::CExportEventSyncStub {
public:
    bool OnError(const UtilsNameSpace::SErrorInfo& error) override { return Fail(L"error", error); }
    bool OnWarning(const UtilsNameSpace::SErrorInfo& warning) override { return Fail(L"warning", warning); }
    bool OnFileError(const std::wstring&, uint32_t, const UtilsNameSpace::SErrorInfo& error) override
    {
        return Fail(L"file error", error);
    }
    bool OnTargetEnd(const std::wstring&) override
    {
        ++targets;
        return true;
    }
    int targets = 0;

private:
    static bool Fail(const wchar_t* pWhat, const UtilsNameSpace::SErrorInfo& info)
    {
        std::wcerr << L"bench-export: " << pWhat << L" " << info.code << L": " << info.message << L"\n";
        return false;
    }
};

void PrintRow(const char* pName, const STimes& times, double mediaSeconds, double mibPerRun)
{
    std::printf("  %-36s best %7.3f s   median %7.3f s   %7.0fx real time   %6.0f MiB/s\n", pName, times.best,
                times.median, times.best > 0 ? mediaSeconds / times.best : 0.0,
                times.best > 0 ? mibPerRun / times.best : 0.0);
}

} // namespace

int main(int argc, char** argv)
{
    const SOptions options = ParseOptions(argc, argv);
    std::error_code ignored;
    fs::remove_all(options.dir, ignored);
    fs::create_directories(options.dir + "/out");

    // ---- the .kelm material
    KcTest::SRecordingOptions recording;
    recording.srid = "BENCH";
    recording.startUtc = KcTest::UtcSeconds(2026, 3, 1, 10, 0, 0);
    recording.endUtc = recording.startUtc + options.minutes * 60.0;
    if (!options.bSample)
        recording.payload = KcTest::EPayload::PaddedSample;
    const KcTest::SWriteResult written = KcTest::WriteHourlyFiles(options.dir, recording);
    if (!written.ok || written.files.empty()) {
        std::cerr << "bench-export: cannot write the .kelm files into " << options.dir << "\n";
        return 1;
    }
    std::printf("material: %d min, %zu .kelm files, %.1f MiB, %llu video + %llu audio units\n", options.minutes,
                written.files.size(), MiB(written.fileBytes), static_cast<unsigned long long>(written.video.units),
                static_cast<unsigned long long>(written.audio.units));

    // ---- the export, one fragment for the whole recording
    std::vector<std::wstring> paths;
    for (const std::string& path : written.files)
        paths.push_back(UtilsNameSpace::Utf8ToWide(path));
    KELMNameSpace::CKELMStorage storage;
    UtilsNameSpace::SErrorInfo error;
    KELMNameSpace::SExportRequest request;
    request.startTime = recording.startUtc;
    request.endTime = recording.endUtc;
    request.srid = L"BENCH";
    request.displayNumber = L"1";
    request.targetDirectory = UtilsNameSpace::Utf8ToWide(options.dir + "/out/");
    std::vector<KELMNameSpace::SExportFragment> fragments;
    if (!storage.LoadContent(paths, &error) || !storage.SetUTCTimeToLocalTimeOffset(0, &error) ||
        !storage.PrepareExportFragments(request, &fragments, nullptr, &error) || fragments.size() != 1) {
        std::wcerr << L"bench-export: preparation failed " << error.code << L": " << error.message << L"\n";
        return 1;
    }
    const std::string target = UtilsNameSpace::WideToUtf8(fragments[0].targetDirectory + fragments[0].targetFileName);
    CCheckingSync sync;
    storage.SetExportEventSync(&sync);
    const bool bPeakReset = ResetPeakMemory();
    const double peakBefore = PeakMemoryMiB();
    const STimes exportTimes = Measure(kBenchName, options.runs, [&]() {
        sync.targets = 0;
        UtilsNameSpace::SErrorInfo runError;
        return storage.RunExport(&runError) && sync.targets == 1;
    });
    const double peakDuring = PeakMemoryMiB();
    const uint64_t mp4Bytes = static_cast<uint64_t>(fs::file_size(target));

    // ---- ffmpeg over the same packets
    const std::string ts = options.dir + "/same.ts";
    const std::string copy = options.dir + "/ffmpeg-copy.mp4";
    if (!RunShell("ffmpeg -v error -y -i " + Quote(target) + " -c copy -f mpegts " + Quote(ts))) {
        std::cerr << "bench-export: ffmpeg could not make the MPEG-TS\n";
        return 1;
    }
    const uint64_t tsBytes = static_cast<uint64_t>(fs::file_size(ts));
    const STimes ffmpegTimes = Measure(kBenchName, options.runs, [&]() {
        return RunShell("ffmpeg -v error -y -i " + Quote(ts) + " -c copy " + Quote(copy));
    });

    std::string copyCommand = "cp";
    for (const std::string& path : written.files)
        copyCommand += " " + Quote(path);
    copyCommand += " " + Quote(options.dir + "/out/");
    const STimes cpTimes = Measure(kBenchName, options.runs, [&]() { return RunShell(copyCommand); });

    const double mediaSeconds = options.minutes * 60.0;
    std::printf("MP4 %.1f MiB (export), MPEG-TS %.1f MiB, MP4 %.1f MiB (ffmpeg)\n", MiB(mp4Bytes), MiB(tsBytes),
                MiB(static_cast<uint64_t>(fs::file_size(copy))));
    std::printf("warm cache, %d runs each:\n", options.runs);
    PrintRow("RunExport (.kelm -> .mp4)", exportTimes, mediaSeconds, MiB(written.fileBytes));
    PrintRow("ffmpeg -i X.ts -c copy X.mp4", ffmpegTimes, mediaSeconds, MiB(tsBytes));
    PrintRow("cp of the .kelm files", cpTimes, mediaSeconds, MiB(written.fileBytes));
    std::printf("export / ffmpeg: %.2f   export / cp: %.2f\n", exportTimes.best / ffmpegTimes.best,
                exportTimes.best / cpTimes.best);
    if (bPeakReset && peakDuring >= 0)
        std::printf("peak resident memory: %.1f MiB during the exports (%.1f MiB before them)\n", peakDuring,
                    peakBefore);

    if (!options.bKeep)
        fs::remove_all(options.dir, ignored);
    return 0;
}
