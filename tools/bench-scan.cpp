// bench-scan: how fast a recording is scanned, next to two yardsticks on the same material:
// ffprobe counting the packets of an MPEG-TS with the same streams, and cat reading the .kelm
// files.
//
//   bench-scan [--minutes N] [--runs R] [--dir DIR] [--keep] [--cold | --cold-media] [--kelmconv PATH]
//              [--no-ffprobe] [--sweep]
//
// It writes N minutes (default 60) of one camera as hourly .kelm files with 720p-like payload
// sizes (25 fps video, AAC audio), encodes a 10 s MPEG-TS of about the same bit rate with ffmpeg
// and loops it to the same length, then reports the best and median of R runs (default 3) of
// content loading in this process, of a whole "kelmconv scan" of the folder, of cat and of
// ffprobe, with the read system calls, the bytes read and the peak memory of each program.
// Warm: after one warm-up run each. --cold: the page cache is dropped before every run (root).
// --cold-media: only the files of the benchmark are dropped; the programs stay cached.
// --sweep: measures where jumping over skipped bytes starts to pay: files whose records lie
// 256 KiB to 16 MiB apart, parsed with a dropped cache reading through every gap and jumping
// over every gap. Goals: a scan at most as long as cat, and at least 10 times faster than ffprobe.

#include "BenchSupport.h"
#include "KelmWriter.h"
#include "container/KELMStorage.h"
#include "container/KelmParser.h"
#include "container/TextConvert.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

using KcBench::Measure;
using KcBench::MiB;
using KcBench::PrintProcessRow;
using KcBench::Quote;
using KcBench::RunShell;
using KcBench::RunShellOutput;
using KcBench::Seconds;
using KcBench::SProcessTimes;
using KcBench::STimes;

namespace {

const char* const kBenchName = "bench-scan";

struct SOptions : KcBench::SOptions {
    bool bFfprobe = true;
    bool bSweep = false;
};

SOptions ParseOptions(int argc, char** argv)
{
    SOptions options;
    KcBench::ParseOptions(argc, argv, kBenchName, KC_BENCH_COMMON_OPTIONS " [--no-ffprobe] [--sweep]", options,
                          [&](const std::string& arg, const std::function<std::string()>&) {
                              if (arg == "--no-ffprobe")
                                  options.bFfprobe = false;
                              else if (arg == "--sweep")
                                  options.bSweep = true;
                              else
                                  return false;
                              return true;
                          });
    return options;
}

// This process's read calls and bytes so far.
KcBench::SIoCounters IoCounters()
{
    return KcBench::ReadIoCounters("/proc/self/io");
}

// Counts what a load reports, so that every run is checked to have loaded the whole material.
class CCountingSync : public KELMNameSpace::CKELMStorage::CContentLoadEventSyncStub {
public:
    bool OnFileError(const std::wstring&, uint32_t, const UtilsNameSpace::SErrorInfo& error) override
    {
        ++errors;
        std::wcerr << L"bench-scan: file error " << error.code << L": " << error.message << L"\n";
        return true;
    }
    bool OnFileWarning(const std::wstring&, uint32_t, const UtilsNameSpace::SErrorInfo&) override
    {
        ++warnings;
        return true;
    }
    bool OnLoadProgress(uint64_t, uint64_t, float, float, const KELMNameSpace::SRemainingTime&) override
    {
        ++progressReports;
        return true;
    }

    uint64_t errors = 0;
    uint64_t warnings = 0;
    uint64_t progressReports = 0;
};

void PrintRow(const char* pName, const STimes& times, double mibPerRun)
{
    std::printf("  %-34s best %8.3f s   median %8.3f s   %9.0f MiB/s\n", pName, times.best, times.median,
                times.best > 0 ? mibPerRun / times.best : 0.0);
}

// Parses one file with the given reading, cold, and returns the best time.
double ColdParse(const std::string& path, const KELMNameSpace::SParseReading& reading, int runs)
{
    const std::wstring widePath = UtilsNameSpace::Utf8ToWide(path);
    return Measure(kBenchName, runs, true,
                   [&]() {
                       UtilsNameSpace::SErrorInfo error;
                       return KELMNameSpace::ParseContainer(widePath, true, nullptr, nullptr, &error, reading);
                   })
        .best;
}

// Where reading through skipped payloads stops paying: per distance between records, a dropped
// cache each time, reading through every gap against jumping over every one.
int Sweep(const SOptions& options)
{
    if (!options.bCold) {
        std::cerr << "bench-scan: --sweep measures the disk and takes --cold\n";
        return 2;
    }
    std::printf("skip threshold sweep: 512 MiB per file, video units only, cache dropped before each run\n");
    std::printf("  %10s  %14s  %14s  %8s\n", "gap", "read through", "jump over", "jump/read");
    for (uint32_t gap : {256u << 10, 1u << 20, 2u << 20, 4u << 20, 8u << 20, 16u << 20}) {
        KcTest::SRecordingOptions recording;
        recording.srid = "BENCH";
        recording.audio = false;
        recording.payload = KcTest::EPayload::Synthetic;
        recording.syntheticKeyBytes = gap;
        recording.syntheticOtherBytes = gap;
        recording.startUtc = KcTest::UtcSeconds(2026, 3, 1, 10, 0, 0);
        recording.endUtc = recording.startUtc + (512.0 * 1024 * 1024 / gap) / 25.0;
        const std::string path = options.dir + "/sweep.kelm";
        if (!KcTest::WriteRecordingFile(path, recording).ok) {
            std::cerr << "bench-scan: cannot write " << path << "\n";
            return 1;
        }
        KELMNameSpace::SParseReading through;
        through.skipThreshold = UINT64_MAX;
        KELMNameSpace::SParseReading jump;
        jump.skipThreshold = 0;
        const double throughSeconds = ColdParse(path, through, options.runs);
        const double jumpSeconds = ColdParse(path, jump, options.runs);
        std::printf("  %7u KiB  %12.3f s  %12.3f s  %8.2f\n", gap >> 10, throughSeconds, jumpSeconds,
                    jumpSeconds / throughSeconds);
        fs::remove(path);
    }
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    const SOptions options = ParseOptions(argc, argv);
    std::error_code ignored;
    fs::remove_all(options.dir, ignored);
    fs::create_directories(options.dir);
    if (options.bSweep) {
        const int result = Sweep(options);
        if (!options.bKeep)
            fs::remove_all(options.dir, ignored);
        return result;
    }

    // ---- the .kelm material: one camera, hourly files, 720p-like sizes
    KcTest::SRecordingOptions recording;
    recording.srid = "BENCH";
    recording.payload = KcTest::EPayload::Synthetic;
    recording.startUtc = KcTest::UtcSeconds(2026, 3, 1, 10, 30, 0);
    recording.endUtc = recording.startUtc + options.minutes * 60.0;
    const std::string kelmDir = options.dir + "/kelm";
    fs::create_directories(kelmDir);
    const auto writeStart = std::chrono::steady_clock::now();
    const KcTest::SWriteResult written = KcTest::WriteHourlyFiles(kelmDir, recording);
    if (!written.ok || written.files.empty()) {
        std::cerr << "bench-scan: cannot write the .kelm files into " << kelmDir << "\n";
        return 1;
    }
    const double writeSeconds = Seconds(std::chrono::steady_clock::now() - writeStart);
    const uint64_t records = written.video.units + written.audio.units;
    std::printf("material: %d min, %zu .kelm files, %.1f MiB, %llu video + %llu audio units (written in %.1f s)\n",
                options.minutes, written.files.size(), MiB(written.fileBytes),
                static_cast<unsigned long long>(written.video.units),
                static_cast<unsigned long long>(written.audio.units), writeSeconds);

    std::vector<std::wstring> widePaths;
    std::vector<std::string> catCommand{"cat"};
    for (const std::string& path : written.files) {
        widePaths.push_back(UtilsNameSpace::Utf8ToWide(path));
        catCommand.push_back(path);
    }

    // ---- content loading in this process
    KELMNameSpace::CKELMStorage storage;
    CCountingSync sync;
    storage.SetContentLoadEventSync(&sync);
    KcBench::SIoCounters perLoad;
    auto load = [&]() {
        sync = CCountingSync();
        const KcBench::SIoCounters before = IoCounters();
        UtilsNameSpace::SErrorInfo error;
        const bool bOk = storage.LoadContent(widePaths, &error);
        perLoad = IoCounters() - before;
        if (!bOk) {
            std::wcerr << L"bench-scan: load failed " << error.code << L": " << error.message << L"\n";
            return false;
        }
        uint64_t frames = 0;
        for (const auto& srid : storage.GetSridMap())
            for (const auto& recordingEntry : srid.second) {
                for (const auto& part : recordingEntry.second.videoParts)
                    frames += part.frameCount;
                for (const auto& part : recordingEntry.second.audioParts)
                    frames += part.frameCount;
            }
        return sync.errors == 0 && storage.GetBlackList().empty() && frames == records;
    };
    const STimes loadTimes = Measure(kBenchName, options.runs, options.bCold, load);

    // ---- an MPEG-TS of the same length and about the same bit rate, for ffprobe
    std::vector<KcBench::SProgram> programs{{{options.kelmconv, "scan", kelmDir}}, {catCommand}};
    uint64_t tsBytes = 0;
    if (options.bFfprobe) {
        const double seconds = options.minutes * 60.0;
        const double videoKbit = static_cast<double>(written.video.payloadBytes) * 8.0 / seconds / 1000.0;
        const std::string segment = options.dir + "/segment.ts";
        const std::string ts = options.dir + "/bench.ts";
        const int segmentSeconds = 10;
        std::ostringstream encode;
        encode << "ffmpeg -v error -y"
               << " -f lavfi -i testsrc2=size=1280x720:rate=25:duration=" << segmentSeconds
               << " -f lavfi -i sine=frequency=440:sample_rate=48000:duration=" << segmentSeconds
               << " -c:v libx264 -preset ultrafast -g 25 -bf 0"
               << " -b:v " << static_cast<int>(videoKbit) << "k -minrate " << static_cast<int>(videoKbit)
               << "k -maxrate " << static_cast<int>(videoKbit) << "k -bufsize " << static_cast<int>(videoKbit)
               << "k -x264-params nal-hrd=cbr"
               << " -c:a aac -b:a 128k -ac 1 -f mpegts " << Quote(segment);
        const int loops = options.minutes * 60 / segmentSeconds;
        std::ostringstream loop;
        loop << "ffmpeg -v error -y -stream_loop " << (loops - 1) << " -i " << Quote(segment) << " -c copy -f mpegts "
             << Quote(ts);
        if (!RunShell(encode.str()) || !RunShell(loop.str())) {
            std::cerr << "bench-scan: ffmpeg could not make the MPEG-TS\n";
            return 1;
        }
        tsBytes = static_cast<uint64_t>(fs::file_size(ts));
        programs.push_back({{"ffprobe", "-v", "error", "-count_packets", "-show_entries",
                             "stream=codec_name,nb_read_packets", "-of", "csv=p=0", ts}});
        std::printf("MPEG-TS:  %.1f MiB\n", MiB(tsBytes));
    }

    // ---- whole programs, in turns: kelmconv scan, cat, ffprobe
    const std::vector<SProcessTimes> runs =
        KcBench::MeasureProcesses(kBenchName, options.runs, options.bCold, programs);
    const SProcessTimes& scanRun = runs[0];
    const SProcessTimes& catRun = runs[1];
    const SProcessTimes probeRun = options.bFfprobe ? runs[2] : SProcessTimes();

    // ---- results
    std::printf("load:     %llu records, %llu progress reports; per load %llu read calls, %.2f MiB read "
                "(%.1f%% of the files), %.2f MiB from the disk\n",
                static_cast<unsigned long long>(records), static_cast<unsigned long long>(sync.progressReports),
                static_cast<unsigned long long>(perLoad.readCalls), MiB(perLoad.bytesRead),
                100.0 * static_cast<double>(perLoad.bytesRead) / static_cast<double>(written.fileBytes),
                MiB(perLoad.diskBytesRead));
    std::printf("%s cache, %d runs each:\n", KcBench::CacheHeading(options), options.runs);
    PrintRow("LoadContent (.kelm)", loadTimes, MiB(written.fileBytes));
    std::printf("whole programs (ratio: best time against cat's):\n");
    PrintProcessRow("kelmconv scan (.kelm)", scanRun, catRun.times.best);
    PrintProcessRow("cat FILES > /dev/null (.kelm)", catRun, catRun.times.best);
    if (options.bFfprobe)
        PrintProcessRow("ffprobe -count_packets (.ts)", probeRun, catRun.times.best);

    const double catRatio = scanRun.times.best / catRun.times.best;
    std::printf("scan / cat:     %.2f (goal: at most 1)   %s\n", catRatio, catRatio <= 1.0 ? "met" : "NOT MET");
    std::printf("load / cat:     %.2f\n", loadTimes.best / catRun.times.best);
    if (options.bFfprobe) {
        const double probeRatio = probeRun.times.best / scanRun.times.best;
        std::printf("ffprobe / scan: %.1f (goal: at least 10)  %s\n", probeRatio,
                    probeRatio >= 10.0 ? "met" : "NOT MET");
    }

    if (!options.bKeep)
        fs::remove_all(options.dir, ignored);
    return 0;
}
