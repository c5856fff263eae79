#include "container/File.h"
#include "TempDir.h"
#include "WorkingDirectory.h"
#include "container/TextConvert.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include <dirent.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace UtilsNameSpace;
using KcTest::CTempDir;

namespace {

const std::wstring kWriteFullText = L"Not enough space on storage device or file exceeds the file size limit";

class FileTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_dir.Valid()); }

    // Opens a file of the temporary directory and fails the test when that does not work.
    void OpenOrFail(CFile& file, const std::wstring& name, int disposition, bool bReadWrite)
    {
        SErrorInfo error;
        ASSERT_TRUE(file.Open(m_dir.WidePath(name), disposition, bReadWrite, &error)) << error.message;
    }

    CTempDir m_dir;
};

TEST_F(FileTest, EmptyNameIsRejected)
{
    CFile file;
    SErrorInfo error;
    EXPECT_FALSE(file.Open(L"", CFile::OpenExisting, false, &error));
    EXPECT_EQ(error.code, 13);
    EXPECT_EQ(error.message, L"No file name");
    EXPECT_FALSE(file.IsOpen());
}

TEST_F(FileTest, SecondOpenNamesBothFilesAndKeepsTheFirst)
{
    m_dir.WriteFile("first.bin", "A");
    m_dir.WriteFile("second.bin", "B");
    CFile file;
    OpenOrFail(file, L"first.bin", CFile::OpenExisting, false);

    SErrorInfo error;
    const std::wstring secondName = m_dir.WidePath(L"second.bin");
    EXPECT_FALSE(file.Open(secondName, CFile::OpenExisting, false, &error));
    EXPECT_EQ(error.code, 2);
    EXPECT_EQ(error.message, L"Can't open the file '" + secondName + L"': object already holds the file '"
                                 + m_dir.WidePath(L"first.bin") + L"'");
    ASSERT_TRUE(file.IsOpen());
    EXPECT_EQ(file.FullPath(), m_dir.WidePath(L"first.bin"));
    char byte = 0;
    EXPECT_TRUE(file.Read(&byte, 1, &error));
    EXPECT_EQ(byte, 'A');
}

struct SOpenFailureCase {
    const char* label;
    std::wstring name; // inside the temporary directory
    int disposition;
    bool bReadWrite;
    int32_t code;
    std::wstring suffix; // after "File '<full path>"
};

TEST_F(FileTest, OpenFailuresAreWorded)
{
    m_dir.WriteFile("existing.bin", "data");
    ASSERT_EQ(::mkdir(m_dir.Path("folder").c_str(), 0755), 0);

    const std::vector<SOpenFailureCase> cases = {
        {"missing file, read only", L"missing.bin", CFile::OpenExisting, false, 26, L"' not found"},
        {"missing file, read-write", L"missing.bin", CFile::OpenExisting, true, 26, L"' not found"},
        {"missing folder", L"nofolder/x.bin", CFile::OpenExisting, false, 26, L"' path not found"},
        {"missing folder on create", L"nofolder/x.bin", CFile::CreateAlways, true, 26, L"' path not found"},
        {"missing folders on create", L"no/folder/x.bin", CFile::OpenAlways, true, 26, L"' path not found"},
        {"file used as folder", L"existing.bin/x.bin", CFile::OpenExisting, false, 26, L"' path not found"},
        {"create new over a file", L"existing.bin", CFile::CreateNew, true, 2, L"' already exists"},
        {"directory read-write", L"folder", CFile::OpenExisting, true, 20, L"' access denied"},
        {"directory read only", L"folder", CFile::OpenExisting, false, 20, L"' access denied"},
        {"directory created always", L"folder", CFile::CreateAlways, true, 20, L"' access denied"},
        {"unknown disposition", L"existing.bin", 7, false, 1, L"' create or open error: " + GetSystemErrorText(EINVAL)},
    };
    for (const SOpenFailureCase& c : cases) {
        SCOPED_TRACE(c.label);
        CFile file;
        SErrorInfo error;
        EXPECT_FALSE(file.Open(m_dir.WidePath(c.name), c.disposition, c.bReadWrite, &error));
        EXPECT_EQ(error.code, c.code);
        EXPECT_EQ(error.message, L"File '" + m_dir.WidePath(c.name) + c.suffix);
        EXPECT_FALSE(file.IsOpen());
        EXPECT_TRUE(file.FullPath().empty());
    }
    EXPECT_EQ(m_dir.ReadFile("existing.bin"), "data");
}

// A read-only file of the kernel refuses writers whoever they are, root included.
TEST_F(FileTest, WritingAReadOnlySystemFileIsAccessDenied)
{
    const std::wstring name = L"/proc/sys/kernel/version";
    if (::access("/proc/sys/kernel/version", F_OK) != 0)
        GTEST_SKIP() << "/proc/sys/kernel/version is not available";
    CFile file;
    SErrorInfo error;
    EXPECT_FALSE(file.Open(name, CFile::OpenExisting, true, &error));
    EXPECT_EQ(error.code, 20);
    EXPECT_EQ(error.message, L"File '" + name + L"' access denied");
}

TEST_F(FileTest, PermissionBitsGiveAccessDenied)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "permission bits do not stop the superuser";
    m_dir.WriteFile("locked.bin", "x");
    ASSERT_EQ(::chmod(m_dir.Path("locked.bin").c_str(), 0400), 0);
    CFile file;
    SErrorInfo error;
    EXPECT_FALSE(file.Open(m_dir.WidePath(L"locked.bin"), CFile::OpenExisting, true, &error));
    EXPECT_EQ(error.code, 20);
    EXPECT_EQ(error.message, L"File '" + m_dir.WidePath(L"locked.bin") + L"' access denied");
}

TEST_F(FileTest, ReadersShareAndWritersHoldAlone)
{
    struct SCase {
        const char* label;
        bool bFirstReadWrite;
        bool bSecondReadWrite;
        bool bShared;
    };
    const SCase cases[] = {
        {"reader then reader", false, false, true},
        {"reader then writer", false, true, false},
        {"writer then reader", true, false, false},
        {"writer then writer", true, true, false},
    };
    m_dir.WriteFile("shared.bin", "content");
    const std::wstring name = m_dir.WidePath(L"shared.bin");
    for (const SCase& c : cases) {
        SCOPED_TRACE(c.label);
        CFile first;
        CFile second;
        OpenOrFail(first, L"shared.bin", CFile::OpenExisting, c.bFirstReadWrite);
        SErrorInfo error;
        EXPECT_EQ(second.Open(name, CFile::OpenExisting, c.bSecondReadWrite, &error), c.bShared);
        if (!c.bShared) {
            EXPECT_EQ(error.code, 20);
            EXPECT_EQ(error.message, L"File '" + name + L"' sharing violation");
            EXPECT_FALSE(second.IsOpen());
            // Once the first one lets go, the second one gets in.
            EXPECT_TRUE(first.Close(&error));
            EXPECT_TRUE(second.Open(name, CFile::OpenExisting, c.bSecondReadWrite, &error)) << error.message;
        }
    }
}

TEST_F(FileTest, CreateAlwaysOverAHeldFileKeepsItsData)
{
    m_dir.WriteFile("held.bin", "precious");
    CFile reader;
    OpenOrFail(reader, L"held.bin", CFile::OpenExisting, false);
    CFile writer;
    SErrorInfo error;
    EXPECT_FALSE(writer.Open(m_dir.WidePath(L"held.bin"), CFile::CreateAlways, true, &error));
    EXPECT_EQ(error.code, 20);
    EXPECT_EQ(m_dir.ReadFile("held.bin"), "precious");
}

TEST_F(FileTest, DispositionsCreateTruncateOrKeep)
{
    struct SCase {
        const char* label;
        int disposition;
        bool bExists;
        std::string contentAfter;
    };
    const SCase cases[] = {
        {"create always, existing", CFile::CreateAlways, true, ""},
        {"create always, missing", CFile::CreateAlways, false, ""},
        {"create new, missing", CFile::CreateNew, false, ""},
        {"open always, existing", CFile::OpenAlways, true, "old"},
        {"open always, missing", CFile::OpenAlways, false, ""},
        {"open existing", CFile::OpenExisting, true, "old"},
    };
    for (const SCase& c : cases) {
        SCOPED_TRACE(c.label);
        CTempDir dir;
        if (c.bExists)
            dir.WriteFile("f.bin", "old");
        CFile file;
        SErrorInfo error;
        ASSERT_TRUE(file.Open(dir.WidePath(L"f.bin"), c.disposition, true, &error)) << error.message;
        uint64_t size = 99;
        EXPECT_TRUE(file.GetSize(size, &error));
        EXPECT_EQ(size, c.contentAfter.size());
        EXPECT_TRUE(file.Close(&error));
        EXPECT_EQ(dir.ReadFile("f.bin"), c.contentAfter);
    }
}

TEST_F(FileTest, ReadingPastTheEndIsEndOfFile)
{
    m_dir.WriteFile("ten.bin", "0123456789");
    CFile file;
    OpenOrFail(file, L"ten.bin", CFile::OpenExisting, false);
    char buffer[16] = {};
    SErrorInfo error;
    EXPECT_FALSE(file.Read(buffer, sizeof(buffer), &error));
    EXPECT_EQ(error.code, 21);
    EXPECT_EQ(error.message, L"End of file");

    ASSERT_TRUE(file.Seek(0, &error));
    EXPECT_TRUE(file.Read(buffer, 10, &error));
    EXPECT_EQ(std::string(buffer, 10), "0123456789");
    error = SErrorInfo();
    EXPECT_FALSE(file.Read(buffer, 1, &error));
    EXPECT_EQ(error.code, 21);
}

TEST_F(FileTest, ReadingZeroBytesLeavesTheFileAlone)
{
    m_dir.WriteFile("abc.bin", "abc");
    CFile file;
    OpenOrFail(file, L"abc.bin", CFile::OpenExisting, false);
    SErrorInfo error;
    ASSERT_TRUE(file.Move(1, &error));
    EXPECT_TRUE(file.Read(nullptr, 0, &error));
    char byte = 0;
    EXPECT_TRUE(file.Read(&byte, 1, &error));
    EXPECT_EQ(byte, 'b');
}

TEST_F(FileTest, OperationsOnAClosedFileAreRefused)
{
    char buffer[4] = {};
    uint64_t size = 0;
    const std::vector<std::pair<const char*, std::function<bool(CFile&, SErrorInfo*)>>> operations = {
        {"size", [&](CFile& f, SErrorInfo* e) { return f.GetSize(size, e); }},
        {"seek", [](CFile& f, SErrorInfo* e) { return f.Seek(0, e); }},
        {"move", [](CFile& f, SErrorInfo* e) { return f.Move(1, e); }},
        {"read", [&](CFile& f, SErrorInfo* e) { return f.Read(buffer, 1, e); }},
        {"read nothing", [&](CFile& f, SErrorInfo* e) { return f.Read(buffer, 0, e); }},
        {"write", [&](CFile& f, SErrorInfo* e) { return f.Write(buffer, 1, e); }},
        {"write nothing", [&](CFile& f, SErrorInfo* e) { return f.Write(buffer, 0, e); }},
    };
    m_dir.WriteFile("x.bin", "x");
    for (const auto& operation : operations) {
        SCOPED_TRACE(operation.first);
        // Never opened, and opened then closed.
        for (bool bOpenFirst : {false, true}) {
            CFile file;
            SErrorInfo error;
            if (bOpenFirst) {
                OpenOrFail(file, L"x.bin", CFile::OpenExisting, true);
                ASSERT_TRUE(file.Close(&error));
            }
            EXPECT_FALSE(operation.second(file, &error));
            EXPECT_EQ(error.code, 28);
            EXPECT_EQ(error.message, L"File not open");
            EXPECT_FALSE(operation.second(file, nullptr));
        }
    }
}

TEST_F(FileTest, RequestsAbove4GiBAreRefused)
{
    CFile file;
    OpenOrFail(file, L"big.bin", CFile::CreateAlways, true);
    char buffer[1] = {};
    SErrorInfo error;
    EXPECT_TRUE(file.Read(buffer, 0, &error));
    EXPECT_FALSE(file.Read(buffer, 0x100000000ull, &error));
    EXPECT_EQ(error.code, 19);
    EXPECT_EQ(error.message, L"Data size to read larger 0xFFFFFFFF");
    EXPECT_FALSE(file.Write(buffer, 0x100000000ull, &error));
    EXPECT_EQ(error.code, 19);
    EXPECT_EQ(error.message, L"Data size to write larger 0xFFFFFFFF bytes");
    uint64_t size = 1;
    EXPECT_TRUE(file.GetSize(size, &error));
    EXPECT_EQ(size, 0u);
}

TEST_F(FileTest, SeekMoveAndSizeFollowTheData)
{
    CFile file;
    OpenOrFail(file, L"data.bin", CFile::CreateNew, true);
    std::string data;
    for (int i = 0; i < 100; ++i)
        data += static_cast<char>(i);
    SErrorInfo error;
    ASSERT_TRUE(file.Write(data.data(), data.size(), &error));
    uint64_t size = 0;
    EXPECT_TRUE(file.GetSize(size, &error));
    EXPECT_EQ(size, 100u);

    char byte = 0;
    EXPECT_TRUE(file.Seek(10, &error));
    EXPECT_TRUE(file.Read(&byte, 1, &error));
    EXPECT_EQ(byte, 10);
    EXPECT_TRUE(file.Move(5, &error)); // 11 + 5
    EXPECT_TRUE(file.Read(&byte, 1, &error));
    EXPECT_EQ(byte, 16);
    EXPECT_TRUE(file.Move(-17, &error));
    EXPECT_TRUE(file.Read(&byte, 1, &error));
    EXPECT_EQ(byte, 0);

    // Writing past the end grows the file.
    EXPECT_TRUE(file.Seek(200, &error));
    EXPECT_TRUE(file.Write("z", 1, &error));
    EXPECT_TRUE(file.GetSize(size, &error));
    EXPECT_EQ(size, 201u);
}

TEST_F(FileTest, ImpossiblePositionsAreSystemErrors)
{
    m_dir.WriteFile("p.bin", "abc");
    CFile file;
    OpenOrFail(file, L"p.bin", CFile::OpenExisting, false);
    const std::wstring expected =
        L"File '" + m_dir.WidePath(L"p.bin") + L"' SetFilePointerEx() error: " + GetSystemErrorText(EINVAL);
    SErrorInfo error;
    EXPECT_FALSE(file.Seek(UINT64_MAX, &error));
    EXPECT_EQ(error.code, 18);
    EXPECT_EQ(error.message, expected);
    error = SErrorInfo();
    EXPECT_FALSE(file.Move(-1, &error));
    EXPECT_EQ(error.code, 18);
    EXPECT_EQ(error.message, expected);
    EXPECT_TRUE(file.IsOpen());
}

TEST_F(FileTest, WritingAReadOnlyFileIsASystemError)
{
    m_dir.WriteFile("ro.bin", "abc");
    CFile file;
    OpenOrFail(file, L"ro.bin", CFile::OpenExisting, false);
    SErrorInfo error;
    EXPECT_FALSE(file.Write("x", 1, &error));
    EXPECT_EQ(error.code, 18);
    EXPECT_EQ(error.message, L"File '" + m_dir.WidePath(L"ro.bin") + L"' write error: " + GetSystemErrorText(EBADF));
    EXPECT_EQ(m_dir.ReadFile("ro.bin"), "abc");
}

TEST_F(FileTest, WritingToAFullDeviceIsStorageFull)
{
    if (::access("/dev/full", W_OK) != 0)
        GTEST_SKIP() << "/dev/full is not available";
    CFile file;
    SErrorInfo error;
    ASSERT_TRUE(file.Open(L"/dev/full", CFile::OpenExisting, true, &error)) << error.message;
    const std::string data(1000, 'x');
    EXPECT_FALSE(file.Write(data.data(), data.size(), &error));
    EXPECT_EQ(error.code, 24);
    EXPECT_EQ(error.message, L"File '/dev/full' write error: " + kWriteFullText);
}

// The size limit applies to the whole process, so the write runs in a child that reports by its
// exit code whether the failure was the expected one.
TEST_F(FileTest, WritingBeyondTheFileSizeLimitIsStorageFull)
{
    const std::wstring name = m_dir.WidePath(L"limited.bin");
    auto writeOverLimit = [&]() {
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = {4096, 4096};
        if (::setrlimit(RLIMIT_FSIZE, &limit) != 0)
            std::_Exit(2);
        CFile file;
        SErrorInfo error;
        if (!file.Open(name, CFile::CreateAlways, true, &error))
            std::_Exit(3);
        const std::string data(10000, 'x');
        const bool bWritten = file.Write(data.data(), data.size(), &error);
        const bool bExpected =
            !bWritten && error.code == 24 && error.message == L"File '" + name + L"' write error: " + kWriteFullText;
        if (!bExpected)
            fprintf(stderr, "%s\n", WideToUtf8(error.message).c_str());
        std::_Exit(bExpected ? 0 : 1);
    };
    EXPECT_EXIT(writeOverLimit(), ::testing::ExitedWithCode(0), "");
}

TEST_F(FileTest, CloseReleasesTheFileAndForgetsItsNames)
{
    CFile file;
    OpenOrFail(file, L"c.bin", CFile::CreateAlways, true);
    SErrorInfo error;
    EXPECT_TRUE(file.Close(&error));
    EXPECT_FALSE(file.IsOpen());
    EXPECT_TRUE(file.FileName().empty());
    EXPECT_TRUE(file.FullPath().empty());
    EXPECT_TRUE(file.Close(&error));

    // Neither a closed nor a destroyed holder keeps the lock.
    {
        CFile holder;
        OpenOrFail(holder, L"c.bin", CFile::OpenExisting, true);
    }
    OpenOrFail(file, L"c.bin", CFile::OpenExisting, true);
}

TEST_F(FileTest, RelativeNamesResolveAgainstTheWorkingDirectory)
{
    ASSERT_EQ(::mkdir(m_dir.Path("sub").c_str(), 0755), 0);
    m_dir.WriteFile("r.bin", "r");
    CWorkingDirectory cwd(m_dir.Path("sub"));
    ASSERT_TRUE(cwd.Changed());
    CFile file;
    SErrorInfo error;
    ASSERT_TRUE(file.Open(L"./../sub/../r.bin", CFile::OpenExisting, false, &error)) << error.message;
    EXPECT_EQ(file.FileName(), L"./../sub/../r.bin");
    EXPECT_EQ(file.FullPath(), m_dir.WidePath(L"r.bin"));
}

TEST_F(FileTest, NonAsciiNamesReachTheDiskAsUtf8)
{
    struct SCase {
        std::wstring name;
        std::string utf8;
    };
    const SCase cases[] = {
        {L"Камера_1.kelm", "\xD0\x9A\xD0\xB0\xD0\xBC\xD0\xB5\xD1\x80\xD0\xB0_1.kelm"},
        {L"録画 2024.kelm", "\xE9\x8C\xB2\xE7\x94\xBB 2024.kelm"},
        {L"clip_\U0001F3A5.mp4", "clip_\xF0\x9F\x8E\xA5.mp4"},
    };
    for (const SCase& c : cases) {
        SCOPED_TRACE(c.utf8);
        {
            CFile file;
            OpenOrFail(file, c.name, CFile::CreateNew, true);
            SErrorInfo error;
            EXPECT_TRUE(file.Write(c.utf8.data(), c.utf8.size(), &error));
        }
        EXPECT_EQ(m_dir.ReadFile(c.utf8), c.utf8);

        CFile file;
        OpenOrFail(file, c.name, CFile::OpenExisting, false);
        EXPECT_EQ(file.FullPath(), m_dir.WidePath(c.name));
        std::string content(c.utf8.size(), '\0');
        SErrorInfo error;
        EXPECT_TRUE(file.Read(&content[0], content.size(), &error));
        EXPECT_EQ(content, c.utf8);
    }

    // The directory holds exactly those byte names.
    std::vector<std::string> names;
    DIR* pDir = ::opendir(m_dir.Path().c_str());
    ASSERT_NE(pDir, nullptr);
    while (dirent* pEntry = ::readdir(pDir)) {
        const std::string entry = pEntry->d_name;
        if (entry != "." && entry != "..")
            names.push_back(entry);
    }
    ::closedir(pDir);
    EXPECT_EQ(names.size(), 3u);
    for (const SCase& c : cases)
        EXPECT_NE(std::find(names.begin(), names.end(), c.utf8), names.end()) << c.utf8;

    // A name that does not exist reports itself readably.
    CFile file;
    SErrorInfo error;
    EXPECT_FALSE(file.Open(m_dir.WidePath(L"Нет.kelm"), CFile::OpenExisting, false, &error));
    EXPECT_EQ(error.message, L"File '" + m_dir.WidePath(L"Нет.kelm") + L"' not found");
}

} // namespace
