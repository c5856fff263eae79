#include "BenchSupport.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <vector>

#include <sys/wait.h>

namespace KcBench {

namespace {

bool ExitedCleanly(int status)
{
    return status != -1 && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

} // namespace

void Usage(const char* pProgram, const char* pOptionsText)
{
    std::cerr << "usage: " << pProgram << " " << pOptionsText << "\n";
    std::exit(2);
}

void ParseOptions(int argc, char** argv, const char* pBenchName, const char* pOptionsText, SOptions& options,
                  const std::function<bool(const std::string&)>& extraFlag)
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
        else if (!extraFlag(arg))
            Usage(argv[0], pOptionsText);
    }
    if (options.minutes <= 0 || options.runs <= 0)
        Usage(argv[0], pOptionsText);
    if (options.dir.empty())
        options.dir = (std::filesystem::temp_directory_path() / (std::string("kc-") + pBenchName)).string();
}

double Seconds(std::chrono::steady_clock::duration duration)
{
    return std::chrono::duration<double>(duration).count();
}

STimes Measure(const char* pBenchName, int runs, const std::function<bool()>& run)
{
    if (!run()) {
        std::cerr << pBenchName << ": warm-up run failed\n";
        std::exit(1);
    }
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        const auto start = std::chrono::steady_clock::now();
        const bool bOk = run();
        times.push_back(Seconds(std::chrono::steady_clock::now() - start));
        if (!bOk) {
            std::cerr << pBenchName << ": timed run failed\n";
            std::exit(1);
        }
    }
    std::sort(times.begin(), times.end());
    return {times.front(), times[times.size() / 2]};
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
