// Reads at a given position: what arrives, where they stop, and how failures are worded.
#include "TempDir.h"
#include "container/File.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdint>
#include <string>

#include <sys/mman.h>
#include <unistd.h>

using namespace UtilsNameSpace;
using KcTest::CTempDir;

namespace {

class PositionalReadTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.Valid());
        m_dir.WriteFile("ten.bin", "0123456789");
        SErrorInfo error;
        ASSERT_TRUE(m_file.Open(m_dir.WidePath(L"ten.bin"), CFile::OpenExisting, false, &error)) << error.message;
    }

    CTempDir m_dir;
    CFile m_file;
};

TEST_F(PositionalReadTest, ReadsAtThePositionAndLeavesTheFilePositionAlone)
{
    SErrorInfo error;
    char byte = 0;
    ASSERT_TRUE(m_file.Read(&byte, 1, &error));
    EXPECT_EQ(byte, '0');

    char buffer[4] = {};
    uint64_t done = 99;
    EXPECT_TRUE(m_file.ReadAt(5, buffer, 3, done, &error));
    EXPECT_EQ(done, 3u);
    EXPECT_EQ(std::string(buffer, 3), "567");
    EXPECT_TRUE(m_file.ReadAt(2, buffer, 4, &error));
    EXPECT_EQ(std::string(buffer, 4), "2345");

    ASSERT_TRUE(m_file.Read(&byte, 1, &error));
    EXPECT_EQ(byte, '1');
}

TEST_F(PositionalReadTest, UpToStopsAtTheEndWithoutFailing)
{
    SErrorInfo error;
    char buffer[16] = {};
    uint64_t done = 0;
    EXPECT_TRUE(m_file.ReadAt(0, buffer, sizeof(buffer), done, &error));
    EXPECT_EQ(done, 10u);
    EXPECT_EQ(std::string(buffer, 10), "0123456789");
    EXPECT_TRUE(m_file.ReadAt(8, buffer, sizeof(buffer), done, &error));
    EXPECT_EQ(done, 2u);
    EXPECT_EQ(std::string(buffer, 2), "89");
    for (uint64_t position : {10ull, 11ull, 1ull << 40}) {
        done = 99;
        EXPECT_TRUE(m_file.ReadAt(position, buffer, sizeof(buffer), done, &error)) << position;
        EXPECT_EQ(done, 0u) << position;
    }
}

TEST_F(PositionalReadTest, ExactReadPastTheEndIsEndOfFile)
{
    SErrorInfo error;
    char buffer[4] = {};
    EXPECT_TRUE(m_file.ReadAt(7, buffer, 3, &error));
    EXPECT_EQ(std::string(buffer, 3), "789");
    for (uint64_t position : {8ull, 10ull, 1ull << 40}) {
        error = SErrorInfo();
        EXPECT_FALSE(m_file.ReadAt(position, buffer, 3, &error)) << position;
        EXPECT_EQ(error.code, 21);
        EXPECT_EQ(error.message, L"End of file");
    }
    EXPECT_FALSE(m_file.ReadAt(8, buffer, 3, nullptr));
}

TEST_F(PositionalReadTest, NothingRequestedSucceedsAtOnce)
{
    SErrorInfo error;
    uint64_t done = 99;
    EXPECT_TRUE(m_file.ReadAt(0, nullptr, 0, done, &error));
    EXPECT_EQ(done, 0u);
    EXPECT_TRUE(m_file.ReadAt(UINT64_MAX, nullptr, 0, &error));
}

TEST_F(PositionalReadTest, RequestsAbove4GiBAreRefused)
{
    SErrorInfo error;
    char buffer[1] = {};
    uint64_t done = 99;
    EXPECT_FALSE(m_file.ReadAt(0, buffer, 0x100000000ull, done, &error));
    EXPECT_EQ(done, 0u);
    EXPECT_EQ(error.code, 19);
    EXPECT_EQ(error.message, L"Data size to read larger 0xFFFFFFFF");
    error = SErrorInfo();
    EXPECT_FALSE(m_file.ReadAt(0, buffer, 0x100000000ull, &error));
    EXPECT_EQ(error.code, 19);
}

TEST_F(PositionalReadTest, PositionsNoFileReachesAreSystemErrors)
{
    const std::wstring expected =
        L"File '" + m_dir.WidePath(L"ten.bin") + L"' read error: " + GetSystemErrorText(EINVAL);
    SErrorInfo error;
    char buffer[4] = {};
    uint64_t done = 99;
    EXPECT_FALSE(m_file.ReadAt(UINT64_MAX, buffer, 1, done, &error));
    EXPECT_EQ(done, 0u);
    EXPECT_EQ(error.code, 18);
    EXPECT_EQ(error.message, expected);
    error = SErrorInfo();
    EXPECT_FALSE(m_file.ReadAt(UINT64_MAX - 1, buffer, 4, &error));
    EXPECT_EQ(error.code, 18);
    EXPECT_EQ(error.message, expected);
    EXPECT_TRUE(m_file.IsOpen());
}

TEST(PositionalReadClosedTest, ClosedFileIsRefused)
{
    CFile file;
    char buffer[1] = {};
    uint64_t done = 99;
    SErrorInfo error;
    EXPECT_FALSE(file.ReadAt(0, buffer, 1, done, &error));
    EXPECT_EQ(done, 0u);
    EXPECT_EQ(error.code, 28);
    EXPECT_EQ(error.message, L"File not open");
    error = SErrorInfo();
    EXPECT_FALSE(file.ReadAt(0, buffer, 0, &error));
    EXPECT_EQ(error.code, 28);
    EXPECT_FALSE(file.ReadAt(0, buffer, 1, nullptr));
}

// This process's own memory as a file: reading an address that is not mapped fails with an
// input/output error, after the bytes of a mapped page before it have arrived.
class MemoryFileReadTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (::access(kPath, R_OK) != 0)
            GTEST_SKIP() << kPath << " is not available";
        SErrorInfo error;
        if (!m_file.Open(L"/proc/self/mem", CFile::OpenExisting, false, &error))
            GTEST_SKIP() << "cannot open " << kPath;
        m_pageSize = static_cast<size_t>(::sysconf(_SC_PAGESIZE));
        // Two pages, the second given back: a readable page with a hole right behind it.
        void* pPages = ::mmap(nullptr, 2 * m_pageSize, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        ASSERT_NE(pPages, MAP_FAILED);
        m_pPage = static_cast<unsigned char*>(pPages);
        ASSERT_EQ(::munmap(m_pPage + m_pageSize, m_pageSize), 0);
        for (size_t i = 0; i < m_pageSize; ++i)
            m_pPage[i] = static_cast<unsigned char>(i * 7);
    }
    void TearDown() override
    {
        if (m_pPage)
            ::munmap(m_pPage, m_pageSize);
    }

    uint64_t Address(size_t offset) const { return reinterpret_cast<uintptr_t>(m_pPage) + offset; }

    static constexpr const char* kPath = "/proc/self/mem";
    CFile m_file;
    size_t m_pageSize = 0;
    unsigned char* m_pPage = nullptr;
};

TEST_F(MemoryFileReadTest, FailureIsWordedAndCountsWhatArrivedBeforeIt)
{
    const std::wstring expected = L"File '/proc/self/mem' read error: " + GetSystemErrorText(EIO);
    unsigned char buffer[32] = {};
    uint64_t done = 99;
    SErrorInfo error;
    EXPECT_FALSE(m_file.ReadAt(Address(m_pageSize), buffer, 8, done, &error));
    EXPECT_EQ(done, 0u);
    EXPECT_EQ(error.code, 18);
    EXPECT_EQ(error.message, expected);

    // Sixteen bytes of the page, then the hole.
    error = SErrorInfo();
    EXPECT_FALSE(m_file.ReadAt(Address(m_pageSize - 16), buffer, sizeof(buffer), done, &error));
    EXPECT_EQ(done, 16u);
    EXPECT_EQ(buffer[15], static_cast<unsigned char>((m_pageSize - 1) * 7));
    EXPECT_EQ(error.code, 18);
    EXPECT_EQ(error.message, expected);

    error = SErrorInfo();
    EXPECT_FALSE(m_file.ReadAt(Address(m_pageSize - 16), buffer, sizeof(buffer), &error));
    EXPECT_EQ(error.code, 18);
    EXPECT_EQ(error.message, expected);
    EXPECT_TRUE(m_file.ReadAt(Address(m_pageSize - 16), buffer, 16, &error));
}

} // namespace
