// bench-scan: how fast content loading scans a recording, next to two yardsticks on the same
// material: ffprobe counting the packets of an MPEG-TS with the same streams, and cat reading
// the .kelm files.
//
//   bench-scan [--minutes N] [--runs R] [--dir DIR] [--keep] [--no-ffprobe]
//
// It writes N minutes (default 60) of one camera as hourly .kelm files with 720p-like payload
// sizes (25 fps video, AAC audio), encodes a 10 s MPEG-TS of about the same bit rate with ffmpeg
// and loops it to the same length, warms the page cache, then reports the best and median of R
// runs (default 3) of each. Goals: loading at least 10 times faster than ffprobe and at most
// twice as long as cat.

#include "BenchSupport.h"
#include "KELMStorage.h"
#include "KelmWriter.h"
#include "TextConvert.h"

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
using KcBench::Quote;
using KcBench::RunShell;
using KcBench::RunShellOutput;
using KcBench::Seconds;
using KcBench::STimes;

namespace {

const char* const kBenchName = "bench-scan";

struct SOptions : KcBench::SOptions {
    bool bFfprobe = true;
};

SOptions ParseOptions(int argc, char** argv)
{
    SOptions options;
    KcBench::ParseOptions(argc, argv, kBenchName, "[--minutes N] [--runs R] [--dir DIR] [--keep] [--no-ffprobe]",
                          options, [&](const std::string& arg) {
                              if (arg != "--no-ffprobe")
                                  return false;
                              options.bFfprobe = false;
                              return true;
                          });
    return options;
}

// Bytes this process has read through read calls so far, cached or not.
uint64_t BytesReadByProcess()
{
    std::ifstream io("/proc/self/io");
    std::string key;
    uint64_t value = 0;
    while (io >> key >> value) {
        if (key == "rchar:")
            return value;
    }
    return 0;
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

} // namespace

int main(int argc, char** argv)
{
    const SOptions options = ParseOptions(argc, argv);
    std::error_code ignored;
    fs::remove_all(options.dir, ignored);
    fs::create_directories(options.dir);

    // ---- the .kelm material: one camera, hourly files, 720p-like sizes
    KcTest::SRecordingOptions recording;
    recording.srid = "BENCH";
    recording.payload = KcTest::EPayload::Synthetic;
    recording.startUtc = KcTest::UtcSeconds(2026, 3, 1, 10, 30, 0);
    recording.endUtc = recording.startUtc + options.minutes * 60.0;
    const auto writeStart = std::chrono::steady_clock::now();
    const KcTest::SWriteResult written = KcTest::WriteHourlyFiles(options.dir, recording);
    if (!written.ok || written.files.empty()) {
        std::cerr << "bench-scan: cannot write the .kelm files into " << options.dir << "\n";
        return 1;
    }
    const double writeSeconds = Seconds(std::chrono::steady_clock::now() - writeStart);
    const uint64_t records = written.video.units + written.audio.units;
    std::printf("material: %d min, %zu .kelm files, %.1f MiB, %llu video + %llu audio units (written in %.1f s)\n",
                options.minutes, written.files.size(), MiB(written.fileBytes),
                static_cast<unsigned long long>(written.video.units),
                static_cast<unsigned long long>(written.audio.units), writeSeconds);

    std::vector<std::wstring> widePaths;
    std::string catCommand = "cat";
    for (const std::string& path : written.files) {
        widePaths.push_back(UtilsNameSpace::Utf8ToWide(path));
        catCommand += " " + Quote(path);
    }
    catCommand += " > /dev/null";

    // ---- content loading
    KELMNameSpace::CKELMStorage storage;
    CCountingSync sync;
    storage.SetContentLoadEventSync(&sync);
    uint64_t bytesReadPerLoad = 0;
    auto load = [&]() {
        sync = CCountingSync();
        const uint64_t readBefore = BytesReadByProcess();
        UtilsNameSpace::SErrorInfo error;
        const bool bOk = storage.LoadContent(widePaths, &error);
        bytesReadPerLoad = BytesReadByProcess() - readBefore;
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
    const STimes loadTimes = Measure(kBenchName, options.runs, load);

    // ---- cat over the same files
    const STimes catTimes = Measure(kBenchName, options.runs, [&]() { return RunShell(catCommand); });

    // ---- ffprobe over an MPEG-TS of the same length and about the same bit rate
    STimes probeTimes;
    uint64_t tsBytes = 0;
    std::string probeCounts;
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
        loop << "ffmpeg -v error -y -stream_loop " << (loops - 1) << " -i " << Quote(segment)
             << " -c copy -f mpegts " << Quote(ts);
        if (!RunShell(encode.str()) || !RunShell(loop.str())) {
            std::cerr << "bench-scan: ffmpeg could not make the MPEG-TS\n";
            return 1;
        }
        tsBytes = static_cast<uint64_t>(fs::file_size(ts));
        const std::string probe = "ffprobe -v error -count_packets -show_entries stream=codec_name,nb_read_packets"
                                  " -of csv=p=0 " + Quote(ts);
        probeTimes = Measure(kBenchName, options.runs, [&]() { return RunShellOutput(probe, probeCounts); });
        // The streams are listed once more under their program; show each line once.
        std::istringstream lines(probeCounts);
        std::vector<std::string> seen;
        for (std::string line; std::getline(lines, line);) {
            if (!line.empty() && std::find(seen.begin(), seen.end(), line) == seen.end())
                seen.push_back(line);
        }
        probeCounts.clear();
        for (const std::string& line : seen)
            probeCounts += (probeCounts.empty() ? "" : " ") + line;
        std::printf("MPEG-TS:  %.1f MiB, packets per stream (codec,count): %s\n", MiB(tsBytes), probeCounts.c_str());
    }

    // ---- results
    std::printf("load:     %llu records, %llu progress reports, %.2f MiB read per load (%.3f%% of the files)\n",
                static_cast<unsigned long long>(records), static_cast<unsigned long long>(sync.progressReports),
                MiB(bytesReadPerLoad),
                100.0 * static_cast<double>(bytesReadPerLoad) / static_cast<double>(written.fileBytes));
    std::printf("warm cache, %d runs each:\n", options.runs);
    PrintRow("LoadContent (.kelm)", loadTimes, MiB(written.fileBytes));
    PrintRow("cat FILES > /dev/null (.kelm)", catTimes, MiB(written.fileBytes));
    if (options.bFfprobe)
        PrintRow("ffprobe -count_packets (.ts)", probeTimes, MiB(tsBytes));

    const double catRatio = loadTimes.best / catTimes.best;
    std::printf("load / cat:     %.2f (goal: at most 2)   %s\n", catRatio, catRatio <= 2.0 ? "met" : "NOT MET");
    if (options.bFfprobe) {
        const double probeRatio = probeTimes.best / loadTimes.best;
        std::printf("ffprobe / load: %.1f (goal: at least 10)  %s\n", probeRatio, probeRatio >= 10.0 ? "met" : "NOT MET");
    }

    if (!options.bKeep)
        fs::remove_all(options.dir, ignored);
    return 0;
}
