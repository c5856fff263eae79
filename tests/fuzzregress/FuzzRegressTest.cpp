// The fuzz targets' inputs as a test: the committed seeds and the inputs that once crashed or
// broke a promise (fuzz/regressions/<target>/). An entry point that finds a fault aborts with
// the broken promise on stderr, or the sanitizers of a sanitizer build report it.

#include "FuzzEntries.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

// Every file of fuzz/<kind>/<target>, in name order; none when the folder is missing.
std::vector<fs::path> Inputs(const char* pKind, const char* pTarget)
{
    std::vector<fs::path> files;
    const fs::path folder = fs::path(KC_FUZZ_DIR) / pKind / pTarget;
    std::error_code error;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder, error)) {
        if (entry.is_regular_file())
            files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());
    return files;
}

std::vector<uint8_t> ReadFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Runs every input of the kind through the entry, each in a buffer of exactly its size so that a
// read past the end is caught. Returns how many ran.
size_t Replay(const char* pKind, const char* pTarget, void (*run)(const uint8_t*, size_t))
{
    const std::vector<fs::path> files = Inputs(pKind, pTarget);
    for (const fs::path& file : files) {
        SCOPED_TRACE(file.string());
        const std::vector<uint8_t> bytes = ReadFile(file);
        std::unique_ptr<uint8_t[]> exact(new uint8_t[bytes.size()]);
        std::copy(bytes.begin(), bytes.end(), exact.get());
        run(exact.get(), bytes.size());
    }
    return files.size();
}

struct STarget {
    const char* pName;
    void (*run)(const uint8_t*, size_t);
};

const STarget kTargets[] = {
    {"kelm_parse", &KcFuzz::RunContainerParse},  {"decoder_config", &KcFuzz::RunDecoderConfig},
    {"decoder_setup", &KcFuzz::RunDecoderSetup}, {"content_prepare", &KcFuzz::RunContentPrepare},
    {"export_files", &KcFuzz::RunExportFiles},
};

TEST(FuzzRegressTest, SeedsOfEveryTargetRunCleanly)
{
    for (const STarget& target : kTargets) {
        SCOPED_TRACE(target.pName);
        EXPECT_GT(Replay("corpus", target.pName, target.run), 0u) << "no seeds for " << target.pName;
    }
}

TEST(FuzzRegressTest, InputsThatOnceBrokeTheEngineRunCleanly)
{
    for (const STarget& target : kTargets) {
        SCOPED_TRACE(target.pName);
        Replay("regressions", target.pName, target.run);
    }
}

// Every input, however short, starts with the choice byte; none at all is a no-op.
TEST(FuzzRegressTest, EmptyInputIsIgnored)
{
    for (const STarget& target : kTargets)
        target.run(nullptr, 0);
}

} // namespace
