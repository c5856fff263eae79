// What the benchmarks share: their common options, the timing of repeated runs with a warm or a
// dropped page cache, whole programs run with their system-call and memory figures, shell
// commands and sizes in MiB.

#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace KcBench {

// The options every benchmark takes; a benchmark with more derives from it.
struct SOptions {
    int minutes = 60;
    int runs = 3;
    std::string dir;
    bool bKeep = false;
    bool bCold = false;      // drop the page cache before every timed run (root only)
    bool bColdMedia = false; // with bCold: only the files under dir are dropped, not the programs
    std::string kelmconv;    // the command-line program; defaults to the one of this build
};

struct STimes {
    double best = 0;
    double median = 0;
};

// Prints "usage: PROGRAM OPTIONS" and exits with 2.
[[noreturn]] void Usage(const char* pProgram, const char* pOptionsText);

// The options text every benchmark shares.
#define KC_BENCH_COMMON_OPTIONS                                                                                        \
    "[--minutes N] [--runs R] [--dir DIR] [--keep] [--cold | --cold-media] [--kelmconv PATH]"

// Reads --minutes N, --runs R, --dir DIR, --keep, --cold, --cold-media and --kelmconv PATH into
// options (--cold-media sets bCold and bColdMedia: the recordings and outputs under DIR are read
// from the disk, the programs and their libraries stay cached, as on a running system); any
// other argument goes to extraFlag, which returns false for one it does not know; it may take a
// value through nextValue. An unknown argument, a missing value, a count below one or --cold
// without root ends the program through Usage. The folder defaults to "kc-" + the benchmark's name
// in the temporary folder.
void ParseOptions(
    int argc, char** argv, const char* pBenchName, const char* pOptionsText, SOptions& options,
    const std::function<bool(const std::string&, const std::function<std::string()>& nextValue)>& extraFlag);

double Seconds(std::chrono::steady_clock::duration duration);

// Writes dirty pages back and drops the page cache, so that the next read comes from the disk;
// after --cold-media only the cached pages of the files under the benchmark's folder.
bool DropPageCache();

// Warm: one untimed run to warm the cache, then the timed ones. Cold: the page cache is dropped
// before every timed run, and there is no warm-up but for --cold-media, whose programs are warmed.
// prepare, when given, runs untimed before every run (say, to remove what the previous run
// wrote). A failed run ends the program.
STimes Measure(const char* pBenchName, int runs, bool bCold, const std::function<bool()>& run,
               const std::function<void()>& prepare = nullptr);

// A process's I/O so far, from the kernel's accounting ("/proc/self/io", "/proc/<pid>/io").
struct SIoCounters {
    uint64_t readCalls = 0;     // syscr: read-like system calls (read, pread, ...)
    uint64_t writeCalls = 0;    // syscw
    uint64_t bytesRead = 0;     // rchar: through those calls, cached or not
    uint64_t bytesWritten = 0;  // wchar
    uint64_t diskBytesRead = 0; // read_bytes: what had to come from the storage

    SIoCounters operator-(const SIoCounters& other) const
    {
        return {readCalls - other.readCalls, writeCalls - other.writeCalls, bytesRead - other.bytesRead,
                bytesWritten - other.bytesWritten, diskBytesRead - other.diskBytesRead};
    }
};

// All zero when the file cannot be read.
SIoCounters ReadIoCounters(const std::string& path);

// What one run of a whole program cost, from the kernel's accounting of the process.
struct SProcessRun {
    double seconds = 0;
    uint64_t readCalls = 0;     // syscr: read-like system calls (read, pread, ...)
    uint64_t writeCalls = 0;    // syscw
    uint64_t bytesRead = 0;     // rchar: through those calls, cached or not
    uint64_t bytesWritten = 0;  // wchar
    uint64_t diskBytesRead = 0; // read_bytes: what had to come from the storage
    double peakMiB = 0;         // peak resident size
};

struct SProcessTimes {
    STimes times;
    SProcessRun last; // the figures of the last timed run
};

// Runs the program (argv[0] looked up in PATH) with its standard output discarded and waits for
// it. False when it could not run or did not exit with 0.
bool RunProcess(const std::vector<std::string>& argv, SProcessRun& run);

// One program that MeasureProcesses runs.
struct SProgram {
    std::vector<std::string> argv;
    std::function<void()> prepare = nullptr; // untimed, before every run
};

// Measure over RunProcess for several programs that are compared: their runs take turns, a round
// at a time with each round started by the next program, so that a machine or a disk whose speed
// drifts during the benchmark weighs on all of them alike. The results are in the programs' order.
std::vector<SProcessTimes> MeasureProcesses(const char* pBenchName, int runs, bool bCold,
                                            const std::vector<SProgram>& programs);

// "warm", "cold (...)" or "cold media (...)": how the options have the cache before each run.
const char* CacheHeading(const SOptions& options);

// One line: name, best and median time, ratio to a peer's best time, and the process figures.
void PrintProcessRow(const char* pName, const SProcessTimes& run, double peerBest);

// The text in single quotes for the shell.
std::string Quote(const std::string& text);

// True when the command ran and exited with 0.
bool RunShell(const std::string& command);
// The same, keeping what the command wrote to its standard output.
bool RunShellOutput(const std::string& command, std::string& output);

double MiB(uint64_t bytes);

} // namespace KcBench
