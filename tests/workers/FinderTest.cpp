// The file finder: which paths count as container files, what is counted, and the walk's reports.

#include "WorkersTestSupport.h"

#include "workers/FinderThread.h"
#include "workers/KelmFilesFinder.h"

#include <QFile>
#include <QSignalSpy>

#include <climits>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using KcWorkers::CFinderThread;
using KcWorkers::CKelmFilesFinder;
using namespace KcWorkersTest;

namespace {

void Touch(const QString& qsPath)
{
    QFile file(qsPath);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << qsPath.toStdString();
}

class FinderTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_dir.isValid()); }

    QString MakeFile(const QString& qsRelative)
    {
        const QString qsPath = QDir(m_dir.path()).filePath(qsRelative);
        QDir().mkpath(QFileInfo(qsPath).path());
        Touch(qsPath);
        return qsPath;
    }

    // Runs one walk; returns the found files, sorted.
    QStringList Find(const QStringList& slSources)
    {
        m_slSources = slSources;
        CKelmFilesFinder finder;
        finder.setLists(&m_slSources, &m_slFound);
        QSignalSpy finished(&finder, &CKelmFilesFinder::finished);
        QSignalSpy counts(&finder, &CKelmFilesFinder::findFiles);
        QSignalSpy skipped(&finder, &CKelmFilesFinder::pathSkipped);
        finder.start();
        EXPECT_TRUE(finished.wait(kWaitMs));
        m_slSkipped.clear();
        for (const QList<QVariant>& arguments : skipped)
            m_slSkipped << arguments[0].toString() + QStringLiteral(": ") + arguments[1].toString();
        m_lastCounts = counts.isEmpty() ? QList<QVariant>() : counts.last();
        QStringList slFound = m_slFound;
        slFound.sort();
        return slFound;
    }

    QTemporaryDir m_dir;
    QStringList m_slSources;
    QStringList m_slFound;
    QList<QVariant> m_lastCounts; // files seen, container files of the last findFiles
    QStringList m_slSkipped;      // "path: reason" of each pathSkipped
};

TEST(KelmFilePathTest, EndsInTheExtensionInAnyLetterCase)
{
    struct {
        const char* path;
        bool bKelm;
    } const cases[] = {
        {"/a/b.kelm", true},   {"/a/B.KELM", true}, {"/a/c.KeLm", true},      {"/a/b.kelm.txt", false},
        {"/a/b.kelmx", false}, {"/a/bkelm", false}, {"/a.kelm/b.txt", false},
    };
    for (const auto& testCase : cases)
        EXPECT_EQ(CFinderThread::isKelmFilePath(QString::fromLatin1(testCase.path)), testCase.bKelm) << testCase.path;
}

TEST_F(FinderTest, WalksFoldersRecursivelyAndKeepsOnlyContainerFiles)
{
    const QString a = MakeFile("a.kelm");
    const QString b = MakeFile("sub/deeper/B.KELM");
    const QString c = MakeFile("sub/c.Kelm");
    MakeFile("notes.kelm.txt");
    MakeFile("folder.kelm/inside.txt"); // a folder named like a container file is no file
    MakeFile(".hidden.kelm");           // hidden entries are not listed

    QStringList slExpected{a, b, c};
    slExpected.sort();
    EXPECT_EQ(Find({m_dir.path()}), slExpected);
    ASSERT_EQ(m_lastCounts.size(), 2);
    EXPECT_EQ(m_lastCounts[0].toInt(), 5); // every visible file is counted
    EXPECT_EQ(m_lastCounts[1].toInt(), 3);
}

// Names the program cannot open by name are reported once each, not lost without a word: bytes
// that are not UTF-8 (shown escaped) and paths past the system's limit.
TEST_F(FinderTest, NamesThatCannotBeOpenedAreReportedOnce)
{
    const QByteArray root = QFile::encodeName(m_dir.path());
    const QString qsGood = MakeFile("ok/\u0436.kelm");
    const QByteArray badName = root + "/ok/\xFF\xFE\x80.kelm";
    ASSERT_EQ(::close(::open(badName.constData(), O_CREAT | O_WRONLY, 0600)), 0);
    ASSERT_EQ(::mkdir((root + "/bad\x01\xC3").constData(), 0700), 0);
    // A chain of folders longer than a path may be: each level is made relative to the last.
    QByteArray deep = root + "/deep";
    ASSERT_EQ(::mkdir(deep.constData(), 0700), 0);
    ASSERT_EQ(::chdir(deep.constData()), 0);
    const QByteArray level(200, 'd');
    while (deep.size() <= PATH_MAX) {
        ASSERT_EQ(::mkdir(level.constData(), 0700), 0);
        ASSERT_EQ(::chdir(level.constData()), 0);
        deep += '/' + level;
    }
    ASSERT_EQ(::chdir("/"), 0);

    EXPECT_EQ(Find({m_dir.path()}), QStringList{qsGood});
    m_slSkipped.sort();
    const QString qsRoot = m_dir.path();
    ASSERT_EQ(m_slSkipped.size(), 3) << m_slSkipped.join("; ").toStdString();
    EXPECT_EQ(m_slSkipped[0], qsRoot + "/bad\\x01\\xC3: the name is not valid UTF-8");
    EXPECT_TRUE(m_slSkipped[1].startsWith(qsRoot + "/deep/ddd")) << m_slSkipped[1].toStdString();
    EXPECT_TRUE(m_slSkipped[1].endsWith(": the path is too long")) << m_slSkipped[1].toStdString();
    EXPECT_EQ(m_slSkipped[2], qsRoot + "/ok/\\xFF\\xFE\\x80.kelm: the name is not valid UTF-8");
}

TEST_F(FinderTest, DroppedFilesAreCountedWhetherOrNotTheyAreContainers)
{
    const QString kelm = MakeFile("one.kelm");
    const QString text = MakeFile("two.txt");
    const QString missing = QDir(m_dir.path()).filePath("gone.kelm");

    EXPECT_EQ(Find({text, kelm, missing}), QStringList{kelm});
    ASSERT_EQ(m_lastCounts.size(), 2);
    EXPECT_EQ(m_lastCounts[0].toInt(), 2); // the missing path is not counted
    EXPECT_EQ(m_lastCounts[1].toInt(), 1);
}

TEST_F(FinderTest, OverlappingFoldersListTheSameFilesTwice)
{
    const QString a = MakeFile("sub/a.kelm");
    EXPECT_EQ(Find({m_dir.path(), QDir(m_dir.path()).filePath("sub")}), (QStringList{a, a}));
}

TEST_F(FinderTest, WalkWithoutContainerFilesEndsWithoutAFinalCount)
{
    MakeFile("a.txt");
    m_slSources = QStringList{m_dir.path()};
    m_slFound = QStringList{QStringLiteral("left over from an earlier walk")};

    // The thread alone, without the finder's timer.
    CFinderThread thread;
    thread.setLists(&m_slSources, &m_slFound);
    QSignalSpy started(&thread, &CFinderThread::startFindFiles);
    QSignalSpy counts(&thread, &CFinderThread::findFiles);
    thread.prepareRun();
    thread.start();
    ASSERT_TRUE(thread.wait(kWaitMs));
    EXPECT_EQ(started.size(), 1);
    EXPECT_TRUE(counts.isEmpty());
    EXPECT_TRUE(m_slFound.isEmpty());
    EXPECT_EQ(thread.filesSeen(), 1);
}

TEST_F(FinderTest, RestartWhileRunningReportsOneEnd)
{
    for (int i = 0; i < 200; ++i)
        MakeFile(QStringLiteral("d%1/f%2.kelm").arg(i % 10).arg(i));
    m_slSources = QStringList{m_dir.path()};

    CKelmFilesFinder finder;
    finder.setLists(&m_slSources, &m_slFound);
    QSignalSpy finished(&finder, &CKelmFilesFinder::finished);
    finder.start();
    finder.start(); // the first walk is stopped; only the second one's end is reported
    ASSERT_TRUE(finished.wait(kWaitMs));
    QCoreApplication::processEvents();
    EXPECT_EQ(finished.size(), 1);
    EXPECT_EQ(m_slFound.size(), 200);
}

} // namespace
