#include "core/Log.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <regex>
#include <string>
#include <vector>

using namespace KcLog;

namespace {

std::string readAll(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll().toStdString();
}

void writeAll(const QString& path, const std::string& content)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(file.write(content.data(), qint64(content.size())), qint64(content.size()));
}

std::vector<std::string> splitLines(const std::string& text)
{
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
        lines.push_back(text.substr(start, end - start));
    if (start < text.size())
        lines.push_back(text.substr(start));
    return lines;
}

// "[dd.MM.yyyy hh:mm:ss.zzz " is the fixed-width start of every entry.
constexpr size_t kTimeStampLength = 25;

std::string afterTimeStamp(const std::string& line)
{
    return line.size() < kTimeStampLength ? std::string() : line.substr(kTimeStampLength);
}

class ApplicationLogTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        m_path = m_dir.filePath("KelmConverter.log");
    }
    void TearDown() override { logClose(); }

    std::string content() const { return readAll(m_path); }

    QTemporaryDir m_dir;
    QString m_path;
};

class FileLogTest : public ApplicationLogTest {
protected:
    std::wstring widePath() const { return m_path.toStdWString(); }
    CFileLogW m_log;
};

} // namespace

TEST_F(ApplicationLogTest, EntryHasTimeStampTagLevelAndMessage)
{
    QString error;
    ASSERT_TRUE(logOpen(m_path, error)) << error.toStdString();
    const QDateTime before = QDateTime::currentDateTime().addMSecs(-1);
    logWrite(INFO, "Main", "Kelm Converter Application Started");
    const QDateTime after = QDateTime::currentDateTime().addMSecs(1);
    logClose();

    const std::string text = content();
    const std::regex layout(R"(\[\d{2}\.\d{2}\.\d{4} \d{2}:\d{2}:\d{2}\.\d{3} )"
                            R"(Main    INFO\] Kelm Converter Application Started\n)");
    ASSERT_TRUE(std::regex_match(text, layout)) << text;

    // The fields are day, month, year, time: the stamp reads back as the moment of writing.
    const QDateTime stamp =
        QDateTime::fromString(QString::fromStdString(text.substr(1, 23)), "dd.MM.yyyy hh:mm:ss.zzz");
    ASSERT_TRUE(stamp.isValid());
    EXPECT_LE(before, stamp);
    EXPECT_LE(stamp, after);
}

TEST_F(ApplicationLogTest, LevelNamesAndTagPadding)
{
    struct Case {
        LogLevel level;
        QString tag;
        std::string expected;
    };
    const std::vector<Case> cases = {
        {TRACE, "Main", "Main    TRACE] m"},
        {INFO, "WM", "WM      INFO] m"},
        {WARNING, "ANR", "ANR     WARNING] m"},
        {ERROR, "EXP", "EXP     ERROR] m"},
        {FATAL, "Main", "Main    FATAL] m"},
        {LogLevel(5), "Main", "Main         ] m"}, // unknown levels print as five blanks
        {LogLevel(-1), "Main", "Main         ] m"},
        {INFO, "Seven77", "Seven77 INFO] m"},
        {INFO, "Analyzer", "Analyzer INFO] m"}, // a long tag is kept whole
        {INFO, "%s%n", "%s%n    INFO] m"},
        {INFO, "", "        INFO] m"},
    };
    QString error;
    ASSERT_TRUE(logOpen(m_path, error));
    for (const Case& c : cases)
        logWrite(c.level, c.tag, "m");
    logClose();

    const std::vector<std::string> lines = splitLines(content());
    ASSERT_EQ(lines.size(), cases.size());
    for (size_t i = 0; i < cases.size(); ++i)
        EXPECT_EQ(afterTimeStamp(lines[i]), cases[i].expected) << "case " << i;
}

TEST_F(ApplicationLogTest, LongMessagesAreCut)
{
    struct Case {
        int length;
        int written;
    };
    const std::vector<Case> cases = {{2047, 2047}, {2048, 2048}, {2049, 2046}, {5000, 2046}};
    QString error;
    ASSERT_TRUE(logOpen(m_path, error));
    std::vector<std::string> messages;
    for (const Case& c : cases) {
        std::string message;
        for (int i = 0; i < c.length; ++i)
            message += char('a' + (i * 7 + i / 26) % 26);
        messages.push_back(message);
        logWrite(INFO, "Main", QString::fromStdString(message));
    }
    logClose();

    const std::vector<std::string> lines = splitLines(content());
    ASSERT_EQ(lines.size(), cases.size());
    for (size_t i = 0; i < cases.size(); ++i) {
        EXPECT_EQ(afterTimeStamp(lines[i]), "Main    INFO] " + messages[i].substr(0, size_t(cases[i].written)))
            << "length " << cases[i].length;
    }
}

TEST_F(ApplicationLogTest, MessageIsWrittenLiterally)
{
    const QString message = "100% done: %s %d %n %ls %%";
    QString error;
    ASSERT_TRUE(logOpen(m_path, error));
    logWrite(WARNING, "WM", message);
    logClose();
    EXPECT_EQ(afterTimeStamp(content()), "WM      WARNING] " + message.toStdString() + "\n");
}

// Text from files must not forge entries: every control character becomes an escape, the entry
// stays one line and the rest of the text is kept as it is.
TEST_F(ApplicationLogTest, ControlCharactersAreEscaped)
{
    QString error;
    ASSERT_TRUE(logOpen(m_path, error));
    logWrite(INFO, "WM", QString::fromUtf8("cam\n[01.01.2026 00:00:00.000 Main    INFO] Export results: 9 of 9"));
    logWrite(INFO, "WM",
             QString::fromUtf8("a\rb\tc\x01"
                               "d\x1b[0m\x7f\u0085 \\ \u00e9"));
    logClose();
    const std::string text = content();
    const size_t second = text.find('\n') + 1;
    EXPECT_EQ(afterTimeStamp(text.substr(0, second)),
              "WM      INFO] cam\\n[01.01.2026 00:00:00.000 Main    INFO] Export results: 9 of 9\n");
    EXPECT_EQ(afterTimeStamp(text.substr(second)), "WM      INFO] a\\rb\\tc\\x01d\\x1B[0m\\x7F\\x85 \\ \u00e9\n");
}

TEST_F(ApplicationLogTest, NonAsciiTextIsWrittenAsUtf8)
{
    const QString message = QString::fromUtf8("Камера 1 — «ошибка» \xF0\x9F\x8E\xA5");
    QString error;
    ASSERT_TRUE(logOpen(m_path, error));
    logWrite(ERROR, "EXP", message);
    logClose();
    EXPECT_EQ(afterTimeStamp(content()), "EXP     ERROR] " + message.toStdString() + "\n");
}

TEST_F(ApplicationLogTest, SpacedEntryLeavesAnEmptyLine)
{
    QString error;
    ASSERT_TRUE(logOpen(m_path, error));
    logWriteSpaced(FATAL, "Main", "Failed");
    logWrite(INFO, "Main", "Next");
    logWriteSpaced(INFO, "Main", "");
    logClose();

    const std::vector<std::string> lines = splitLines(content());
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(afterTimeStamp(lines[0]), "Main    FATAL] Failed");
    EXPECT_EQ(lines[1], "");
    EXPECT_EQ(afterTimeStamp(lines[2]), "Main    INFO] Next");
    EXPECT_EQ(afterTimeStamp(lines[3]), "Main    INFO] ");
    EXPECT_EQ(lines[4], "");
}

TEST_F(ApplicationLogTest, ReopenAppends)
{
    QString error;
    ASSERT_TRUE(logOpen(m_path, error));
    logWrite(INFO, "Main", "first run");
    ASSERT_TRUE(logClose());
    ASSERT_TRUE(logOpen(m_path, error));
    logWrite(INFO, "Main", "second run");
    logClose();

    const std::vector<std::string> lines = splitLines(content());
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(afterTimeStamp(lines[0]), "Main    INFO] first run");
    EXPECT_EQ(afterTimeStamp(lines[1]), "Main    INFO] second run");
}

TEST_F(ApplicationLogTest, EntriesWhileClosedAreDropped)
{
    logWrite(INFO, "Main", "before open");
    EXPECT_FALSE(QFile::exists(m_path));
    EXPECT_TRUE(logFilePath().isEmpty());

    QString error;
    ASSERT_TRUE(logOpen(m_path, error));
    EXPECT_EQ(logFilePath(), m_path);
    logWrite(INFO, "Main", "while open");
    ASSERT_TRUE(logClose());
    EXPECT_TRUE(logFilePath().isEmpty());
    logWriteSpaced(FATAL, "Main", "after close");

    const std::vector<std::string> lines = splitLines(content());
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(afterTimeStamp(lines[0]), "Main    INFO] while open");
}

TEST_F(ApplicationLogTest, OpenFailureNamesFileAndReason)
{
    struct Case {
        QString path;
        int error;
    };
    const std::vector<Case> cases = {
        {m_dir.filePath("missing/KelmConverter.log"), ENOENT},
        {m_dir.path(), EISDIR},
    };
    for (const Case& c : cases) {
        QString error;
        EXPECT_FALSE(logOpen(c.path, error));
        EXPECT_EQ(error, "Cannot open application Log file: " + c.path + ": "
                             + QString::fromLocal8Bit(std::strerror(c.error)));
        EXPECT_TRUE(logFilePath().isEmpty());
    }
    logWrite(INFO, "Main", "dropped");
    EXPECT_FALSE(QFile::exists(m_dir.filePath("missing")));
}

TEST_F(ApplicationLogTest, TrimsWithTheGivenSizes)
{
    QString error;
    ASSERT_TRUE(logOpen(m_path, error, 40, 100));
    for (int i = 0; i < 5; ++i)
        logWrite(INFO, "Main", QString("entry %1").arg(i));
    logClose();

    // Entries are 47 bytes, a 39-byte header first. The header of every third entry crosses the
    // cap; the cut then falls on the line end before it, so the log restarts on a whole line.
    const std::string text = content();
    EXPECT_EQ(text.size(), 47u);
    EXPECT_EQ(afterTimeStamp(text), "Main    INFO] entry 4\n");
}

TEST_F(FileLogTest, OpenRejectsUnusableSizes)
{
    struct Case {
        uint32_t keep;
        uint32_t cap;
    };
    for (const Case& c : std::vector<Case>{{0, 100}, {100, 100}, {101, 100}}) {
        EXPECT_FALSE(m_log.open(widePath(), true, c.keep, c.cap)) << c.keep << "/" << c.cap;
        EXPECT_FALSE(m_log.isOpen());
    }
    EXPECT_FALSE(QFile::exists(m_path));
}

TEST_F(FileLogTest, AppendStartsAtFileLengthAndCreateTruncates)
{
    writeAll(m_path, "existing line\n");
    ASSERT_TRUE(m_log.open(widePath(), true, 10, 100));
    EXPECT_EQ(m_log.currentSize(), 14u);
    EXPECT_TRUE(m_log.print(L"more\n"));
    EXPECT_EQ(m_log.currentSize(), 19u);
    ASSERT_TRUE(m_log.close());
    EXPECT_EQ(content(), "existing line\nmore\n");
    EXPECT_TRUE(m_log.fileName().empty());

    ASSERT_TRUE(m_log.open(widePath(), false, 10, 100));
    EXPECT_EQ(m_log.currentSize(), 0u);
    ASSERT_TRUE(m_log.close());
    EXPECT_EQ(content(), "");
}

TEST_F(FileLogTest, SizeCountsCharactersAndLinesEndInLf)
{
    ASSERT_TRUE(m_log.open(widePath(), false, 10, 100));
    EXPECT_TRUE(m_log.printLine(L"%d files, %ls", 3, L"Ж"));
    EXPECT_EQ(m_log.currentSize(), 11u); // characters, while the file holds 12 bytes
    ASSERT_TRUE(m_log.close());
    EXPECT_EQ(content(), "3 files, \xD0\x96\n");
}

TEST_F(FileLogTest, PrintFailsWhileClosed)
{
    EXPECT_FALSE(m_log.print(L"text"));
    ASSERT_TRUE(m_log.open(widePath(), false, 10, 100));
    ASSERT_TRUE(m_log.close());
    EXPECT_TRUE(m_log.close()); // closing twice is harmless
    EXPECT_FALSE(m_log.printLine(L"text"));
    EXPECT_EQ(content(), "");
}

TEST_F(FileLogTest, FailedWriteIsReportedAndNotCounted)
{
    if (!QFile::exists("/dev/full"))
        GTEST_SKIP() << "no /dev/full";
    ASSERT_TRUE(m_log.open(L"/dev/full", false, 10, 100));
    EXPECT_FALSE(m_log.print(L"does not fit\n"));
    EXPECT_EQ(m_log.lastError(), ENOSPC);
    EXPECT_EQ(m_log.currentSize(), 0u);
    EXPECT_TRUE(m_log.isOpen());
}

TEST_F(FileLogTest, TrimKeepsTheNewestBytes)
{
    struct Case {
        const char* name;
        uint32_t keep;
        uint32_t cap;
        std::vector<std::wstring> writes;
        std::string expected;
    };
    const std::vector<Case> cases = {
        {"at the cap nothing is cut", 8, 18, {L"AAAAAAAA\nBBBBBBBB\n"}, "AAAAAAAA\nBBBBBBBB\n"},
        {"cut inside a line", 8, 16, {L"AAAAAAAA\nBBBBBBBB\n"}, "BBBBBBB\n"},
        {"line end at the cut is dropped", 10, 16, {L"AAAAAAAA\nBBBBBBBB\n"}, "BBBBBBBB\n"},
        {"writes go on after a trim", 8, 16, {L"AAAAAAAA\nBBBBBBBB\n", L"CC\n"}, "BBBBBBB\nCC\n"},
        {"trims again", 8, 16, {L"AAAAAAAA\nBBBBBBBB\n", L"CCCCCCCCCC\n"}, "CCCCCCC\n"},
        {"nothing left after a line end", 1, 2, {L"ab\n"}, ""},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(m_log.open(widePath(), false, c.keep, c.cap)) << c.name;
        for (const std::wstring& text : c.writes)
            EXPECT_TRUE(m_log.print(L"%ls", text.c_str())) << c.name;
        EXPECT_EQ(m_log.currentSize(), c.expected.size()) << c.name;
        ASSERT_TRUE(m_log.close()) << c.name;
        EXPECT_EQ(content(), c.expected) << c.name;
    }
}

TEST_F(FileLogTest, TrimMovesLargeTailsInChunks)
{
    // 8-byte numbered lines: the tail spans several copy chunks and any misplaced chunk shows.
    constexpr uint32_t kKeep = 40000;
    constexpr uint32_t kCap = 70000;
    constexpr int kLines = 9000;
    ASSERT_TRUE(m_log.open(widePath(), false, kKeep, kCap));
    for (int i = 0; i < kLines; ++i)
        ASSERT_TRUE(m_log.print(L"%07d\n", i));
    ASSERT_TRUE(m_log.close());

    // Line 8750 takes the log to 70008 bytes; the trim keeps its last 5000 lines.
    std::string expected;
    char line[16];
    for (int i = 3751; i < kLines; ++i) {
        std::snprintf(line, sizeof line, "%07d\n", i);
        expected += line;
    }
    EXPECT_EQ(content(), expected);
}

TEST_F(FileLogTest, FailedTrimLeavesTheLogClosed)
{
    QDir dir(m_dir.path());
    ASSERT_TRUE(dir.mkdir("gone"));
    const QString path = dir.filePath("gone/KelmConverter.log");
    ASSERT_TRUE(m_log.open(path.toStdWString(), false, 4, 8));
    ASSERT_TRUE(m_log.print(L"1234\n"));
    ASSERT_TRUE(QDir(dir.filePath("gone")).removeRecursively());

    EXPECT_FALSE(m_log.print(L"5678\n"));
    EXPECT_FALSE(m_log.isOpen());
    EXPECT_FALSE(m_log.print(L"dropped\n"));
    EXPECT_FALSE(QFile::exists(path));
}
