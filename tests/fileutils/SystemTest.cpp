#include "container/ErrorInfo.h"
#include "container/FastDynArray.h"
#include "container/File.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

using namespace UtilsNameSpace;

namespace {

TEST(SystemErrorTextTest, MessagesLoseTrailingStopsAndLineBreaks)
{
    struct SCase {
        int number;
        const char* pMessage;
        int lookupError;
        std::wstring expected;
    };
    const SCase cases[] = {
        {5, "Access is denied.\r\n", 0, L"5 Access is denied"},
        {2, "No such file or directory", 0, L"2 No such file or directory"},
        {112, "Disk full...\n\n", 0, L"112 Disk full"},
        {7, "Line one.\r\nLine two\r\n", 0, L"7 Line one.\r\nLine two"},
        {9, nullptr, 22, L"Can't get system error message: FormatMessage(...) error code: 22"},
        {9, "", 0, L"Can't get system error message: FormatMessage(...) error code: 0"},
    };
    for (const SCase& c : cases)
        EXPECT_EQ(FormatSystemErrorText(c.number, c.pMessage, c.lookupError), c.expected) << c.number;
}

TEST(SystemErrorTextTest, SystemTextsHaveNumberBlankAndSentence)
{
    for (int number : {ENOENT, EACCES, ENOSPC, EINVAL, 123456}) {
        const std::wstring text = GetSystemErrorText(number);
        const std::wstring prefix = std::to_wstring(number) + L" ";
        SCOPED_TRACE(number);
        ASSERT_GT(text.size(), prefix.size());
        EXPECT_EQ(text.compare(0, prefix.size(), prefix), 0);
        EXPECT_NE(text[prefix.size()], L' ');
        EXPECT_EQ(std::wstring(L".\r\n").find(text.back()), std::wstring::npos);
    }
}

class RetryTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        CFile::SetSleepFunction([this](uint32_t milliseconds) { m_sleeps.push_back(milliseconds); });
    }
    void TearDown() override { CFile::SetSleepFunction(nullptr); }

    // A call that fails failures times with the given error, then returns 42.
    std::function<int64_t()> FailingCall(int errorNumber, int failures)
    {
        return [this, errorNumber, failures]() -> int64_t {
            if (m_calls++ < failures) {
                errno = errorNumber;
                return -1;
            }
            return 42;
        };
    }

    std::vector<uint32_t> m_sleeps;
    int m_calls = 0;
};

TEST_F(RetryTest, ExhaustedResourcesAreRetriedWithGrowingSleeps)
{
    for (int errorNumber : {ENOMEM, ENOBUFS, EAGAIN}) {
        SCOPED_TRACE(errorNumber);
        m_sleeps.clear();
        m_calls = 0;
        EXPECT_EQ(RetryOnExhaustedResources(FailingCall(errorNumber, 3)), 42);
        EXPECT_EQ(m_calls, 4);
        EXPECT_EQ(m_sleeps, (std::vector<uint32_t>{250, 500, 1000}));
    }
}

TEST_F(RetryTest, GivesUpWhenTheBudgetIsSpent)
{
    const int64_t result = RetryOnExhaustedResources(FailingCall(ENOMEM, 1000));
    const int errorNumber = errno;
    EXPECT_EQ(result, -1);
    EXPECT_EQ(errorNumber, ENOMEM);
    EXPECT_EQ(m_sleeps, (std::vector<uint32_t>{250, 500, 1000, 2000, 4000, 8000, 16000, 28250}));
    EXPECT_EQ(m_calls, 9);
}

TEST_F(RetryTest, OtherErrorsAreNotRetried)
{
    const int64_t result = RetryOnExhaustedResources(FailingCall(EIO, 1));
    const int errorNumber = errno;
    EXPECT_EQ(result, -1);
    EXPECT_EQ(errorNumber, EIO);
    EXPECT_EQ(m_calls, 1);
    EXPECT_TRUE(m_sleeps.empty());
}

TEST_F(RetryTest, InterruptedCallsAreRepeatedAtOnce)
{
    EXPECT_EQ(RetryOnExhaustedResources(FailingCall(EINTR, 5)), 42);
    EXPECT_EQ(m_calls, 6);
    EXPECT_TRUE(m_sleeps.empty());
}

TEST(ErrorInfoTest, HelpersFillPrefixAndIgnoreNull)
{
    SErrorInfo error;
    SetErrorInfo(&error, kErrNotFound, L"File 'a' not found");
    PrefixErrorInfo(&error, L"Source file open error: ");
    EXPECT_EQ(error.code, 26);
    EXPECT_EQ(error.message, L"Source file open error: File 'a' not found");

    SetErrorInfo(&error, kErrBadData, std::wstring(L"Bad tag"));
    EXPECT_EQ(error.code, 14);
    EXPECT_EQ(error.message, L"Bad tag");
    SetCancelled(&error);
    EXPECT_EQ(error.code, 4);
    EXPECT_EQ(error.message, L"Cancelled");

    SetErrorInfo(nullptr, 1, L"x");
    SetErrorInfo(nullptr, 1, std::wstring(L"x"));
    PrefixErrorInfo(nullptr, L"x");
    SetCancelled(nullptr);
}

TEST(FastDynArrayTest, GrowsByDoublingAndKeepsItsItems)
{
    CFastDynArray<uint32_t> items;
    EXPECT_EQ(items.Capacity(), 0u);
    std::vector<uint32_t> capacities;
    for (uint32_t i = 0; i < 9; ++i) {
        ASSERT_TRUE(items.Append(i * 10));
        capacities.push_back(items.Capacity());
    }
    EXPECT_EQ(capacities, (std::vector<uint32_t>{2, 2, 4, 4, 8, 8, 8, 8, 16}));
    for (uint32_t i = 0; i < 9; ++i)
        EXPECT_EQ(items[i], i * 10);

    ASSERT_TRUE(items.Reserve(100)); // doubles from 16 until it holds 100
    EXPECT_EQ(items.Capacity(), 128u);
    EXPECT_EQ(items.Count(), 9u);
    EXPECT_EQ(items[8], 80u);

    items.Clear();
    EXPECT_EQ(items.Count(), 0u);
    EXPECT_EQ(items.Capacity(), 128u); // storage kept for the next use
    items.FreeStorage();
    EXPECT_EQ(items.Capacity(), 0u);
    EXPECT_EQ(items.Data(), nullptr);
    ASSERT_TRUE(items.Resize(3));
    EXPECT_EQ(items.Count(), 3u);
    EXPECT_EQ(items.Capacity(), 4u);

    // A growth no memory can hold is refused, not thrown, and the array stays as it was.
    struct SHuge {
        uint8_t bytes[uint64_t(1) << 32];
    };
    CFastDynArray<SHuge> huge;
    EXPECT_FALSE(huge.Resize(UINT32_MAX));
    EXPECT_EQ(huge.Count(), 0u);
    EXPECT_EQ(huge.Capacity(), 0u);
}

} // namespace
