// bench-export: how fast the export run turns a recording into MP4, next to ffmpeg copying the
// same packets from an MPEG-TS into an MP4.
//
//   bench-export [--minutes N] [--runs R] [--dir DIR] [--keep] [--cold | --cold-media]
//                [--kelmconv PATH] [--sample] [--replace]
//
// It writes N minutes (default 60) of one camera as hourly .kelm files with 720p-like payload
// sizes (the writer's 320x240 loop grown by filler data to about 4 Mbit/s of video at 25 fps,
// plus AAC; --sample: the loop as it is), exports them as one day, remuxes the result into an
// MPEG-TS with ffmpeg (so that both sides carry the same packets), then reports the best and
// median of R runs (default 3) of the export in this process, of a whole "kelmconv convert" (scan
// and export), of "ffmpeg -i X.ts -c copy X.mp4" and of "cp" of the .kelm files, each after one
// warm-up run (--cold: with the page cache dropped before every run instead, root only;
// --cold-media: only the benchmark's files dropped, the programs stay cached), with the system
// calls, bytes and peak resident memory of each program. Goals: convert at most half of ffmpeg's
// time and 4 times cp's, at most one write call per MiB written; memory that does not grow with
// the length of the recording (try --minutes 1440 --sample, a whole day at a low bit rate).
// Every run writes a new file, as a first conversion does: each program's output of the run
// before is removed, untimed. --replace keeps it, so that every run replaces a finished file
// (the file system then writes the new file out before the rename or truncation completes).

#include "BenchSupport.h"
#include "KelmWriter.h"
#include "container/TextConvert.h"
#include "export/KELMExport.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

using KcBench::Measure;
using KcBench::MiB;
using KcBench::PrintProcessRow;
using KcBench::Quote;
using KcBench::RunShell;
using KcBench::SProcessTimes;
using KcBench::STimes;

namespace {

const char* const kBenchName = "bench-export";
const char* const kOptionsText = KC_BENCH_COMMON_OPTIONS " [--sample] [--replace]";

struct SOptions : KcBench::SOptions {
    bool bSample = false;
    bool bReplace = false;
};

SOptions ParseOptions(int argc, char** argv)
{
    SOptions options;
    KcBench::ParseOptions(argc, argv, kBenchName, kOptionsText, options,
                          [&](const std::string& arg, const std::function<std::string()>&) {
                              if (arg == "--sample")
                                  options.bSample = true;
                              else if (arg == "--replace")
                                  options.bReplace = true;
                              else
                                  return false;
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
class CCheckingSync : public KELMNameSpace::CKELMExport::CExportEventSyncStub {
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
    const std::string kelmDir = options.dir + "/kelm";
    fs::create_directories(kelmDir);

    // ---- the .kelm material
    KcTest::SRecordingOptions recording;
    recording.srid = "BENCH";
    recording.startUtc = KcTest::UtcSeconds(2026, 3, 1, 0, 0, 0); // a whole day fits one target
    recording.endUtc = recording.startUtc + options.minutes * 60.0;
    if (!options.bSample)
        recording.payload = KcTest::EPayload::PaddedSample;
    const KcTest::SWriteResult written = KcTest::WriteHourlyFiles(kelmDir, recording);
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
    KELMNameSpace::CKELMExport storage;
    UtilsNameSpace::SErrorInfo error;
    KELMNameSpace::SExportRequest request;
    request.startTime = recording.startUtc;
    request.endTime = recording.endUtc;
    request.srid = L"BENCH";
    request.displayNumber = L"1";
    request.targetDirectory = UtilsNameSpace::Utf8ToWide(options.dir + "/out/");
    std::vector<KELMNameSpace::SExportFragment> fragments;
    if (!storage.LoadContent(paths, &error) || !storage.SetUTCTimeToLocalTimeOffset(0, &error)
        || !storage.PrepareExportFragments(request, &fragments, nullptr, &error) || fragments.size() != 1) {
        std::wcerr << L"bench-export: preparation failed " << error.code << L": " << error.message << L"\n";
        return 1;
    }
    const std::string target = UtilsNameSpace::WideToUtf8(fragments[0].targetDirectory + fragments[0].targetFileName);
    // What a run wrote, removed before the next one unless runs are to replace it.
    auto removing = [&options](std::vector<std::string> outputs) -> std::function<void()> {
        if (options.bReplace)
            return nullptr;
        return [outputs]() {
            for (const std::string& output : outputs) {
                std::error_code removeError;
                fs::remove_all(output, removeError);
            }
        };
    };
    CCheckingSync sync;
    storage.SetExportEventSync(&sync);
    const bool bPeakReset = ResetPeakMemory();
    const double peakBefore = PeakMemoryMiB();
    const STimes exportTimes = Measure(
        kBenchName, options.runs, options.bCold,
        [&]() {
            sync.targets = 0;
            UtilsNameSpace::SErrorInfo runError;
            return storage.RunExport(&runError) && sync.targets == 1;
        },
        removing({target}));
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

    // ---- whole programs: kelmconv convert (scan and export), ffmpeg, cp
    const std::string convertDir = options.dir + "/convert";
    std::vector<std::string> copyCommand{"cp"};
    std::vector<std::string> copies;
    for (const std::string& path : written.files) {
        copyCommand.push_back(path);
        copies.push_back(options.dir + "/out/" + fs::path(path).filename().string());
    }
    copyCommand.push_back(options.dir + "/out/");
    const std::vector<SProcessTimes> runs =
        KcBench::MeasureProcesses(kBenchName, options.runs, options.bCold,
                                  {{{options.kelmconv, "convert", "--tz", "UTC", "--out", convertDir, kelmDir},
                                    removing({convertDir + "/Converted"})},
                                   {{"ffmpeg", "-v", "error", "-y", "-i", ts, "-c", "copy", copy}, removing({copy})},
                                   {copyCommand, removing(copies)}});
    const SProcessTimes& convertRun = runs[0];
    const SProcessTimes& ffmpegRun = runs[1];
    const SProcessTimes& cpRun = runs[2];
    uint64_t convertedBytes = 0;
    for (const auto& entry : fs::recursive_directory_iterator(convertDir))
        if (entry.is_regular_file())
            convertedBytes += static_cast<uint64_t>(entry.file_size());

    const double mediaSeconds = options.minutes * 60.0;
    std::printf("MP4 %.1f MiB (export), MPEG-TS %.1f MiB, MP4 %.1f MiB (ffmpeg)\n", MiB(mp4Bytes), MiB(tsBytes),
                MiB(static_cast<uint64_t>(fs::file_size(copy))));
    std::printf("%s cache, %d runs each:\n", KcBench::CacheHeading(options), options.runs);
    PrintRow("RunExport (.kelm -> .mp4)", exportTimes, mediaSeconds, MiB(written.fileBytes));
    std::printf("whole programs (ratio: best time against ffmpeg's):\n");
    PrintProcessRow("kelmconv convert (.kelm -> .mp4)", convertRun, ffmpegRun.times.best);
    PrintProcessRow("ffmpeg -i X.ts -c copy X.mp4", ffmpegRun, ffmpegRun.times.best);
    PrintProcessRow("cp of the .kelm files", cpRun, ffmpegRun.times.best);
    const double ffmpegRatio = convertRun.times.best / ffmpegRun.times.best;
    const double cpRatio = convertRun.times.best / cpRun.times.best;
    const double writesPerMiB = static_cast<double>(convertRun.last.writeCalls) / MiB(convertedBytes);
    std::printf("convert / ffmpeg: %.2f (goal: at most 0.5)  %s\n", ffmpegRatio,
                ffmpegRatio <= 0.5 ? "met" : "NOT MET");
    std::printf("convert / cp:     %.2f (goal: at most 4)    %s\n", cpRatio, cpRatio <= 4.0 ? "met" : "NOT MET");
    std::printf("convert writes:   %.2f per MiB of MP4 (%.1f MiB; goal: at most 1)  %s\n", writesPerMiB,
                MiB(convertedBytes), writesPerMiB <= 1.0 ? "met" : "NOT MET");
    std::printf("peak memory:      kelmconv convert %.1f MiB, ffmpeg %.1f MiB (%.2fx)\n", convertRun.last.peakMiB,
                ffmpegRun.last.peakMiB, convertRun.last.peakMiB / ffmpegRun.last.peakMiB);
    if (bPeakReset && peakDuring >= 0)
        std::printf("peak resident memory: %.1f MiB during the exports (%.1f MiB before them)\n", peakDuring,
                    peakBefore);

    if (!options.bKeep)
        fs::remove_all(options.dir, ignored);
    return 0;
}
