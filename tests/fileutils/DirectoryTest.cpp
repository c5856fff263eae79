#include "TempDir.h"
#include "WorkingDirectory.h"
#include "container/File.h"
#include "container/TextConvert.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

using namespace UtilsNameSpace;
using KcTest::CTempDir;

namespace {

bool IsDirectory(const std::string& path)
{
    struct stat info;
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

class DirectoryTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_dir.Valid()); }
    CTempDir m_dir;
};

TEST_F(DirectoryTest, CreatesEveryMissingLevel)
{
    SErrorInfo error;
    EXPECT_TRUE(CreateDirectoryPath(m_dir.WidePath(L"Converted/SRID-1/Camera1"), &error)) << error.message;
    EXPECT_TRUE(IsDirectory(m_dir.Path("Converted/SRID-1/Camera1")));
}

TEST_F(DirectoryTest, ExistingLevelsAreKept)
{
    ASSERT_EQ(::mkdir(m_dir.Path("a").c_str(), 0755), 0);
    m_dir.WriteFile("a/keep.bin", "k");
    SErrorInfo error;
    EXPECT_TRUE(CreateDirectoryPath(m_dir.WidePath(L"a/b"), &error)) << error.message;
    EXPECT_TRUE(IsDirectory(m_dir.Path("a/b")));
    EXPECT_EQ(m_dir.ReadFile("a/keep.bin"), "k");
    // Everything there already.
    EXPECT_TRUE(CreateDirectoryPath(m_dir.WidePath(L"a/b"), &error)) << error.message;
    EXPECT_TRUE(CreateDirectoryPath(L"/", &error)) << error.message;
}

TEST_F(DirectoryTest, RelativeAndUntidyPathsAreFolded)
{
    CWorkingDirectory cwd(m_dir.Path());
    ASSERT_TRUE(cwd.Changed());
    SErrorInfo error;
    EXPECT_TRUE(CreateDirectoryPath(L"x//./y/../z/", &error)) << error.message;
    EXPECT_TRUE(IsDirectory(m_dir.Path("x/z")));
    EXPECT_FALSE(IsDirectory(m_dir.Path("x/y")));
}

TEST_F(DirectoryTest, NonAsciiLevels)
{
    SErrorInfo error;
    EXPECT_TRUE(CreateDirectoryPath(m_dir.WidePath(L"Видео/カメラ1/\U0001F4F9"), &error)) << error.message;
    EXPECT_TRUE(IsDirectory(m_dir.Path("\xD0\x92\xD0\xB8\xD0\xB4\xD0\xB5\xD0\xBE/"
                                       "\xE3\x82\xAB\xE3\x83\xA1\xE3\x83\xA9"
                                       "1/\xF0\x9F\x93\xB9")));
}

TEST_F(DirectoryTest, FailuresAreWorded)
{
    m_dir.WriteFile("file.bin", "f");
    struct SCase {
        const char* label;
        std::wstring path;
        int32_t code;
        std::string message;
    };
    const std::vector<SCase> cases = {
        {"empty path", L"", 21, "No path parts"},
        {"a file on the way", m_dir.WidePath(L"file.bin/sub"), 18,
         std::string("Directory creation error: ") + std::strerror(ENOTDIR)},
        // A file under the name means the directory is not there, whatever "exists" says.
        {"a file at the end", m_dir.WidePath(L"file.bin"), 18,
         std::string("Directory creation error: ") + std::strerror(EEXIST)},
    };
    for (const SCase& c : cases) {
        SCOPED_TRACE(c.label);
        SErrorInfo error;
        EXPECT_FALSE(CreateDirectoryPath(c.path, &error));
        EXPECT_EQ(error.code, c.code);
        EXPECT_EQ(error.message, Utf8ToWide(c.message));
        EXPECT_FALSE(CreateDirectoryPath(c.path, nullptr));
    }
}

TEST(FullPathTest, AbsoluteTextFolding)
{
    struct SCase {
        std::wstring path;
        std::wstring expected;
    };
    const SCase cases[] = {
        {L"/", L"/"},
        {L"/a/b/c.kelm", L"/a/b/c.kelm"},
        {L"/a/./b/../c", L"/a/c"},
        {L"//a///b//", L"/a/b"},
        {L"/a/b/../../..", L"/"},
        {L"/../a", L"/a"},
        {L"/a/.../b", L"/a/.../b"},
        {L"/a/..b/.c", L"/a/..b/.c"},
        {L"", L""},
        {std::wstring(L"/a\0b", 4), L""},
    };
    for (const SCase& c : cases)
        EXPECT_EQ(GetFullPath(c.path), c.expected) << WideToUtf8(c.path);
}

TEST(FullPathTest, RelativePathsAndLinksAreNotResolved)
{
    CTempDir dir;
    ASSERT_TRUE(dir.Valid());
    // The link leads one level deeper, so following it would change where ".." goes.
    ASSERT_EQ(::mkdir(dir.Path("real").c_str(), 0755), 0);
    ASSERT_EQ(::mkdir(dir.Path("real/deeper").c_str(), 0755), 0);
    ASSERT_EQ(::symlink("real/deeper", dir.Path("link").c_str()), 0);
    CWorkingDirectory cwd(dir.Path());
    ASSERT_TRUE(cwd.Changed());
    char* pCwd = ::getcwd(nullptr, 0);
    ASSERT_NE(pCwd, nullptr);
    const std::wstring base = Utf8ToWide(pCwd);
    std::free(pCwd);

    EXPECT_EQ(GetFullPath(L"f.kelm"), base + L"/f.kelm");
    EXPECT_EQ(GetFullPath(L"."), base);
    EXPECT_EQ(GetFullPath(L"link/../f.kelm"), base + L"/f.kelm");
    EXPECT_EQ(GetFullPath(L"link/f.kelm"), base + L"/link/f.kelm");
}

TEST(DeleteFilePathTest, RemovesFilesOnly)
{
    CTempDir dir;
    ASSERT_TRUE(dir.Valid());
    dir.WriteFile("gone.bin", "g");
    ASSERT_EQ(::mkdir(dir.Path("folder").c_str(), 0755), 0);

    EXPECT_TRUE(DeleteFilePath(dir.WidePath(L"gone.bin")));
    EXPECT_NE(::access(dir.Path("gone.bin").c_str(), F_OK), 0);
    EXPECT_TRUE(DeleteFilePath(dir.WidePath(L"gone.bin"))); // already missing
    EXPECT_FALSE(DeleteFilePath(dir.WidePath(L"folder")));
    EXPECT_TRUE(IsDirectory(dir.Path("folder")));
    EXPECT_FALSE(DeleteFilePath(L""));
}

} // namespace
