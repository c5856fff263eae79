#include "BenchSupport.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <vector>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace KcBench {

namespace {

bool ExitedCleanly(int status)
{
    return status != -1 && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// Set by --cold-media: the folder whose files alone are dropped from the page cache.
std::string g_coldMediaDir;

bool DropFilesUnder(const std::string& dir)
{
    std::error_code error;
    for (std::filesystem::recursive_directory_iterator it(dir, error), end; !error && it != end; it.increment(error)) {
        if (!it->is_regular_file(error))
            continue;
        const int fd = ::open(it->path().c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            return false;
        const bool bDropped = ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED) == 0;
        ::close(fd);
        if (!bDropped)
            return false;
    }
    return !error;
}

} // namespace

void Usage(const char* pProgram, const char* pOptionsText)
{
    std::cerr << "usage: " << pProgram << " " << pOptionsText << "\n";
    std::exit(2);
}

void ParseOptions(
    int argc, char** argv, const char* pBenchName, const char* pOptionsText, SOptions& options,
    const std::function<bool(const std::string&, const std::function<std::string()>& nextValue)>& extraFlag)
{
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&]() -> std::string {
            if (i + 1 >= argc)
                Usage(argv[0], pOptionsText);
            return argv[++i];
        };
        if (arg == "--help" || arg == "-h") {
            std::cout << "usage: " << argv[0] << " " << pOptionsText << "\n";
            std::exit(0);
        }
        if (arg == "--minutes")
            options.minutes = std::atoi(value().c_str());
        else if (arg == "--runs")
            options.runs = std::atoi(value().c_str());
        else if (arg == "--dir")
            options.dir = value();
        else if (arg == "--keep")
            options.bKeep = true;
        else if (arg == "--cold")
            options.bCold = true;
        else if (arg == "--cold-media")
            options.bCold = options.bColdMedia = true;
        else if (arg == "--kelmconv")
            options.kelmconv = value();
        else if (!extraFlag(arg, value))
            Usage(argv[0], pOptionsText);
    }
    if (options.minutes <= 0 || options.runs <= 0)
        Usage(argv[0], pOptionsText);
    if (options.bCold && !options.bColdMedia && ::geteuid() != 0) {
        std::cerr << argv[0] << ": --cold drops the page cache, which takes root\n";
        Usage(argv[0], pOptionsText);
    }
    if (options.kelmconv.empty()) {
        std::error_code error;
        const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
        options.kelmconv = (self.parent_path().parent_path() / "cli" / "kelmconv").string();
    }
    if (options.dir.empty())
        options.dir = (std::filesystem::temp_directory_path() / (std::string("kc-") + pBenchName)).string();
    if (options.bColdMedia)
        g_coldMediaDir = options.dir;
    else if (options.bCold) {
        // A build's program carries its debug information (15 MiB and more), which a cold start
        // reads with the code; the installed one has none, so cold runs use a copy without it.
        const std::string stripped =
            (std::filesystem::temp_directory_path() / (std::string("kc-") + pBenchName + "-kelmconv")).string();
        if (RunShell("strip --strip-debug -o " + Quote(stripped) + " " + Quote(options.kelmconv))) {
            options.kelmconv = stripped;
            std::cout << "cold runs use kelmconv without debug information, as installed: " << stripped << "\n";
        }
    }
}

double Seconds(std::chrono::steady_clock::duration duration)
{
    return std::chrono::duration<double>(duration).count();
}

bool DropPageCache()
{
    ::sync();
    if (!g_coldMediaDir.empty())
        return DropFilesUnder(g_coldMediaDir);
    std::FILE* pFile = std::fopen("/proc/sys/vm/drop_caches", "w");
    if (!pFile)
        return false;
    const bool bWritten = std::fputs("3\n", pFile) >= 0;
    return std::fclose(pFile) == 0 && bWritten;
}

namespace {

// One thing that is timed, with what runs untimed before each of its runs.
struct SRun {
    std::function<bool()> run;
    std::function<void()> prepare;
};

// The runs of several things take turns, a round at a time, each round started by the next one;
// the times are in the order of the things.
std::vector<STimes> MeasureInTurns(const char* pBenchName, int runs, bool bCold, const std::vector<SRun>& things)
{
    const size_t count = things.size();
    std::vector<std::vector<double>> times(count);
    const auto runOne = [&](size_t i, bool bTimed) {
        if (things[i].prepare)
            things[i].prepare();
        if (bTimed && bCold && !DropPageCache()) {
            std::cerr << pBenchName << ": cannot drop the page cache\n";
            std::exit(1);
        }
        const auto start = std::chrono::steady_clock::now();
        const bool bOk = things[i].run();
        if (!bOk) {
            std::cerr << pBenchName << (bTimed ? ": timed run failed\n" : ": warm-up run failed\n");
            std::exit(1);
        }
        if (bTimed)
            times[i].push_back(Seconds(std::chrono::steady_clock::now() - start));
    };
    // --cold-media drops the files only: the programs are warmed like the warm runs.
    if (!bCold || !g_coldMediaDir.empty()) {
        for (size_t i = 0; i < count; ++i)
            runOne(i, false);
    }
    for (int round = 0; round < runs; ++round) {
        for (size_t k = 0; k < count; ++k)
            runOne((static_cast<size_t>(round) + k) % count, true);
    }
    std::vector<STimes> results;
    for (std::vector<double>& thing : times) {
        std::sort(thing.begin(), thing.end());
        results.push_back({thing.front(), thing[thing.size() / 2]});
    }
    return results;
}

} // namespace

STimes Measure(const char* pBenchName, int runs, bool bCold, const std::function<bool()>& run,
               const std::function<void()>& prepare)
{
    return MeasureInTurns(pBenchName, runs, bCold, {{run, prepare}}).front();
}

SIoCounters ReadIoCounters(const std::string& path)
{
    SIoCounters counters;
    std::ifstream io(path);
    std::string key;
    uint64_t value = 0;
    while (io >> key >> value) {
        if (key == "syscr:")
            counters.readCalls = value;
        else if (key == "syscw:")
            counters.writeCalls = value;
        else if (key == "rchar:")
            counters.bytesRead = value;
        else if (key == "wchar:")
            counters.bytesWritten = value;
        else if (key == "read_bytes:")
            counters.diskBytesRead = value;
    }
    return counters;
}

bool RunProcess(const std::vector<std::string>& argv, SProcessRun& run)
{
    run = SProcessRun();
    std::vector<char*> args;
    for (const std::string& arg : argv)
        args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = ::fork();
    if (pid < 0)
        return false;
    if (pid == 0) {
        const int devNull = ::open("/dev/null", O_WRONLY);
        if (devNull >= 0)
            ::dup2(devNull, STDOUT_FILENO);
        ::execvp(args[0], args.data());
        std::perror(args[0]);
        ::_exit(127);
    }
    // Waited for without reaping first: the ended process keeps its I/O accounting until reaped.
    siginfo_t info{};
    if (::waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOWAIT) != 0)
        return false;
    run.seconds = Seconds(std::chrono::steady_clock::now() - start);
    const SIoCounters io = ReadIoCounters("/proc/" + std::to_string(pid) + "/io");
    run.readCalls = io.readCalls;
    run.writeCalls = io.writeCalls;
    run.bytesRead = io.bytesRead;
    run.bytesWritten = io.bytesWritten;
    run.diskBytesRead = io.diskBytesRead;
    int status = 0;
    struct rusage usage {};
    if (::wait4(pid, &status, 0, &usage) != pid)
        return false;
    run.peakMiB = static_cast<double>(usage.ru_maxrss) / 1024.0;
    return ExitedCleanly(status);
}

std::vector<SProcessTimes> MeasureProcesses(const char* pBenchName, int runs, bool bCold,
                                            const std::vector<SProgram>& programs)
{
    std::vector<SProcessTimes> results(programs.size());
    std::vector<SRun> things;
    for (size_t i = 0; i < programs.size(); ++i) {
        const auto run = [pBenchName, &program = programs[i], &last = results[i].last]() {
            if (RunProcess(program.argv, last))
                return true;
            std::cerr << pBenchName << ": " << program.argv[0] << " failed\n";
            return false;
        };
        things.push_back({run, programs[i].prepare});
    }
    const std::vector<STimes> times = MeasureInTurns(pBenchName, runs, bCold, things);
    for (size_t i = 0; i < results.size(); ++i)
        results[i].times = times[i];
    return results;
}

const char* CacheHeading(const SOptions& options)
{
    if (options.bColdMedia)
        return "cold media (the files dropped before each run)";
    return options.bCold ? "cold (dropped before each run)" : "warm";
}

void PrintProcessRow(const char* pName, const SProcessTimes& run, double peerBest)
{
    std::printf("  %-34s best %7.3f s  median %7.3f s  %5.2fx  reads %8llu  writes %7llu  read %8.1f MiB"
                "  (disk %7.1f)  written %7.1f MiB  peak %6.1f MiB\n",
                pName, run.times.best, run.times.median, peerBest > 0 ? run.times.best / peerBest : 0.0,
                static_cast<unsigned long long>(run.last.readCalls),
                static_cast<unsigned long long>(run.last.writeCalls), MiB(run.last.bytesRead),
                MiB(run.last.diskBytesRead), MiB(run.last.bytesWritten), run.last.peakMiB);
}

std::string Quote(const std::string& text)
{
    std::string quoted = "'";
    for (char c : text) {
        if (c == '\'')
            quoted += "'\\''";
        else
            quoted += c;
    }
    return quoted + "'";
}

bool RunShell(const std::string& command)
{
    return ExitedCleanly(std::system(command.c_str()));
}

bool RunShellOutput(const std::string& command, std::string& output)
{
    output.clear();
    std::FILE* pPipe = ::popen(command.c_str(), "r");
    if (!pPipe)
        return false;
    char buffer[4096];
    size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, pPipe)) > 0)
        output.append(buffer, got);
    return ExitedCleanly(::pclose(pPipe));
}

double MiB(uint64_t bytes)
{
    return static_cast<double>(bytes) / (1024.0 * 1024.0);
}

} // namespace KcBench
