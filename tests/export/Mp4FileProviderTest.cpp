#include "export/Mp4FileProvider.h"

#include "TempDir.h"

#include <gtest/gtest.h>

#include <fstream>

using UtilsNameSpace::CMp4FileProvider;

namespace {

class Mp4FileProviderTest : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_folder.Valid()); }

    KcTest::CTempDir m_folder;
    CMp4FileProvider m_provider;
};

TEST_F(Mp4FileProviderTest, UnknownOpenModesFailWithCode13)
{
    const std::string path = m_folder.Path("file.mp4");
    for (int mode : {0, 4, -1}) {
        m_provider.ClearError();
        EXPECT_FALSE(m_provider.Open(path, mode)) << mode;
        EXPECT_FALSE(m_provider.IsOpen());
        EXPECT_EQ(m_provider.Error().code, 13);
        EXPECT_EQ(m_provider.Error().message, L"Unknown open mode");
    }
}

TEST_F(Mp4FileProviderTest, ModesMapToCreateModifyAndRead)
{
    const std::string path = m_folder.Path("file.mp4");
    // Read and modify need an existing file.
    EXPECT_FALSE(m_provider.Open(path, CMp4FileProvider::ModeRead));
    EXPECT_EQ(m_provider.Error().code, 26);

    ASSERT_TRUE(m_provider.Open(path, CMp4FileProvider::ModeCreate));
    ASSERT_TRUE(m_provider.Write("0123456789", 10));
    ASSERT_TRUE(m_provider.Close());

    ASSERT_TRUE(m_provider.Open(path, CMp4FileProvider::ModeModify));
    ASSERT_TRUE(m_provider.Seek(2));
    ASSERT_TRUE(m_provider.Write("ab", 2));
    ASSERT_TRUE(m_provider.Close());

    m_provider.ClearError();
    ASSERT_TRUE(m_provider.Open(path, CMp4FileProvider::ModeRead));
    uint64_t size = 0;
    ASSERT_TRUE(m_provider.GetSize(size));
    EXPECT_EQ(size, 10u);
    char text[4] = {};
    ASSERT_TRUE(m_provider.Seek(1));
    ASSERT_TRUE(m_provider.Read(text, 3));
    EXPECT_EQ(std::string(text, 3), "1ab");
    EXPECT_EQ(m_provider.Position(), 4u);
    EXPECT_FALSE(m_provider.Write("x", 1)); // read only
    EXPECT_TRUE(m_provider.HasError());
    ASSERT_TRUE(m_provider.Close());

    // Create truncates.
    ASSERT_TRUE(m_provider.Open(path, CMp4FileProvider::ModeCreate));
    ASSERT_TRUE(m_provider.GetSize(size));
    EXPECT_EQ(size, 0u);
}

TEST_F(Mp4FileProviderTest, KeepsTheFirstErrorUntilCleared)
{
    ASSERT_TRUE(m_provider.Open(m_folder.Path("short.mp4"), CMp4FileProvider::ModeCreate));
    ASSERT_TRUE(m_provider.Write("abc", 3));
    ASSERT_TRUE(m_provider.Seek(1));
    char buffer[8];
    EXPECT_FALSE(m_provider.Read(buffer, 8)); // past the end
    EXPECT_FALSE(m_provider.Open(m_folder.Path("other.mp4"), 9));
    m_provider.RecordError({1, L"libavformat error: later"});
    EXPECT_EQ(m_provider.Error().code, 21);
    EXPECT_EQ(m_provider.Error().message, L"End of file");

    m_provider.ClearError();
    EXPECT_FALSE(m_provider.HasError());
    m_provider.RecordError({1, L"libavformat error: first"});
    EXPECT_EQ(m_provider.Error().message, L"libavformat error: first");
}

} // namespace
