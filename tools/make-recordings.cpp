// Writes a small set of .kelm recordings for demonstrations and manual checks: two cameras, hourly
// files, a gap, and a local day change in the middle (at UTC+3, the demo's time zone). The frames
// loop the synthetic sample from tests/data, so the set costs a few seconds to generate.

#include "KelmWriter.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/stat.h>

namespace {

bool MakeDirectory(const std::string& path)
{
    return mkdir(path.c_str(), 0755) == 0 || errno == EEXIST;
}

bool WriteCamera(const std::string& root, KcTest::SRecordingOptions options)
{
    const std::string dir = root + "/" + options.srid;
    if (!MakeDirectory(dir)) {
        std::fprintf(stderr, "make-recordings: cannot create %s\n", dir.c_str());
        return false;
    }
    const KcTest::SWriteResult result = KcTest::WriteHourlyFiles(dir, options);
    if (!result.ok) {
        std::fprintf(stderr, "make-recordings: writing into %s failed\n", dir.c_str());
        return false;
    }
    std::printf("%s: %zu files, %llu video and %llu audio units\n", dir.c_str(), result.files.size(),
                static_cast<unsigned long long>(result.video.units),
                static_cast<unsigned long long>(result.audio.units));
    return true;
}

} // namespace

// Many days for a long list of date panes: both cameras record a few seconds at noon every day.
bool WriteManyDays(const std::string& root, int nDays)
{
    for (const char* pSrid : {"1001", "1002"}) {
        const std::string dir = root + "/" + pSrid;
        if (!MakeDirectory(dir))
            return false;
        for (int day = 0; day < nDays; ++day) {
            KcTest::SRecordingOptions options;
            options.srid = pSrid;
            options.startUtc = KcTest::UtcSeconds(2026, 1, 1, 9, 0, 0) + 86400.0 * day;
            options.endUtc = options.startUtc + 4;
            const std::string path = dir + "/day" + std::to_string(day) + ".kelm";
            if (!KcTest::WriteRecordingFile(path, options).ok) {
                std::fprintf(stderr, "make-recordings: writing %s failed\n", path.c_str());
                return false;
            }
        }
    }
    std::printf("%s: two cameras, %d days\n", root.c_str(), nDays);
    return true;
}

constexpr const char* kUsage = "usage: make-recordings DIR [--days N]\n"
                               "Writes two cameras' .kelm recordings around 21:00 UTC of 2026-03-01 into DIR,\n"
                               "or with --days a few seconds of both cameras on each of N days from 2026-01-01.\n";

int main(int argc, char** argv)
{
    const std::string arg = argc > 1 ? argv[1] : "";
    if (argc == 2 && (arg == "--help" || arg == "-h")) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    // A folder name that looks like an option is far more likely a mistyped option.
    if ((argc != 2 && !(argc == 4 && std::string(argv[2]) == "--days")) || (arg.size() > 1 && arg[0] == '-')) {
        if (arg.size() > 1 && arg[0] == '-')
            std::fprintf(stderr, "make-recordings: unknown option %s\n", arg.c_str());
        std::fputs(kUsage, stderr);
        return 2;
    }
    const std::string root = argv[1];
    if (!MakeDirectory(root)) {
        std::fprintf(stderr, "make-recordings: cannot create %s\n", root.c_str());
        return 1;
    }
    if (argc == 4)
        return WriteManyDays(root, std::max(1, std::atoi(argv[3]))) ? 0 : 1;

    // Camera 1001: 20:56 to 21:04 UTC in two hourly files, across local midnight at UTC+3.
    KcTest::SRecordingOptions first;
    first.srid = "1001";
    first.startUtc = KcTest::UtcSeconds(2026, 3, 1, 20, 56, 0);
    first.endUtc = KcTest::UtcSeconds(2026, 3, 1, 21, 4, 0);

    // Camera 1002: 19:58 to 21:02 UTC in three hourly files, nothing recorded from 19:59 to 20:30:
    // the gap lies between two files of the same local day, so that day shows lost time.
    KcTest::SRecordingOptions second;
    second.srid = "1002";
    second.startUtc = KcTest::UtcSeconds(2026, 3, 1, 19, 58, 0);
    second.endUtc = KcTest::UtcSeconds(2026, 3, 1, 21, 2, 0);
    second.gaps.push_back({KcTest::UtcSeconds(2026, 3, 1, 19, 59, 0), KcTest::UtcSeconds(2026, 3, 1, 20, 30, 0)});

    return WriteCamera(root, first) && WriteCamera(root, second) ? 0 : 1;
}
