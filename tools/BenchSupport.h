// What the benchmarks share: their common options, the timing of repeated runs, shell commands
// and sizes in MiB.

#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>

namespace KcBench {

// The options every benchmark takes; a benchmark with more derives from it.
struct SOptions {
    int minutes = 60;
    int runs = 3;
    std::string dir;
    bool bKeep = false;
};

struct STimes {
    double best = 0;
    double median = 0;
};

// Prints "usage: PROGRAM OPTIONS" and exits with 2.
[[noreturn]] void Usage(const char* pProgram, const char* pOptionsText);

// Reads --minutes N, --runs R, --dir DIR and --keep into options; any other argument goes to
// extraFlag, which returns false for one it does not know. An unknown argument, a missing value or
// a count below one ends the program through Usage. The folder defaults to "kc-" + the benchmark's
// name in the temporary folder.
void ParseOptions(int argc, char** argv, const char* pBenchName, const char* pOptionsText, SOptions& options,
                  const std::function<bool(const std::string&)>& extraFlag);

double Seconds(std::chrono::steady_clock::duration duration);

// One untimed run to warm the cache, then the timed ones; a failed run ends the program.
STimes Measure(const char* pBenchName, int runs, const std::function<bool()>& run);

// The text in single quotes for the shell.
std::string Quote(const std::string& text);

// True when the command ran and exited with 0.
bool RunShell(const std::string& command);
// The same, keeping what the command wrote to its standard output.
bool RunShellOutput(const std::string& command, std::string& output);

double MiB(uint64_t bytes);

} // namespace KcBench
