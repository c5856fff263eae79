// kelmconv convert over generated folders: the MP4 files written, where and under which names, and
// that each decodes; the day selection, failed days, the log, and Ctrl-C in a child kelmconv.
#include "CliTestSupport.h"
#include "Mp4Check.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QProcess>

#include <QFileInfo>

#include <cmath>
#include <csignal>

#include <sys/stat.h>
#include <sys/types.h>

namespace KcCliTest {
namespace {

// Only a hang ever waits this long.
constexpr int kChildWaitMs = 180000;

class ConvertCommandTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        m_qsRecordings = QDir(m_dir.path()).filePath("recordings");
        m_qsOut = QDir(m_dir.path()).filePath("out");
        WriteTwoCamerasThreeDays(m_qsRecordings);
    }

    QStringList Targets(const QStringList& relative) const
    {
        QStringList paths;
        for (const QString& qsPath : relative)
            paths << QDir(m_qsOut).filePath(qsPath);
        return paths;
    }

    QTemporaryDir m_dir;
    QString m_qsRecordings;
    QString m_qsOut;
};

TEST_F(ConvertCommandTest, WritesOneDecodableFilePerCameraAndDay)
{
    const SRun run = RunKelmconv({"convert", "--tz", "UTC+3", "--out", m_qsOut, "--json", m_qsRecordings});
    ASSERT_EQ(run.status, 0) << run.err.toStdString();
    const QJsonObject result = JsonObjectOf(run.out);
    EXPECT_EQ(result.keys(), QStringList({"cancelled", "created", "days", "errors", "file_errors", "files", "offset",
                                          "skipped", "total"}));
    EXPECT_EQ(result["offset"].toDouble(), 3 * 3600);
    EXPECT_TRUE(run.err.contains("kelmconv convert: local time is UTC+3\n")) << run.err.toStdString();
    EXPECT_EQ(result["created"].toInt(), 6);
    EXPECT_EQ(result["total"].toInt(), 6);
    EXPECT_FALSE(result["cancelled"].toBool());
    EXPECT_TRUE(result["errors"].toArray().isEmpty());

    const QStringList expected = Targets(TwoCamerasThreeDaysTargets());
    EXPECT_EQ(result["files"].toVariant().toStringList(), expected);
    const QJsonArray days = result["days"].toArray();
    ASSERT_EQ(days.size(), 6);
    for (int i = 0; i < days.size(); ++i) {
        EXPECT_EQ(days[i].toObject()["outcome"].toString(), "done");
        EXPECT_EQ(days[i].toObject()["file"].toString(), expected[i]);
    }
    QStringList sortedExpected = expected;
    sortedExpected.sort();
    EXPECT_EQ(FilesUnder(m_qsOut), sortedExpected); // nothing else was left behind
    for (const QString& qsFile : expected)
        EXPECT_EQ(Mp4Problems(qsFile), "") << qsFile.toStdString();

    // Each file is dated by its first frame (in the file) and its last one (its modification
    // time), so that file managers sort the days by when they were recorded.
    const double firstFrames[] = {
        LocalToUtc(2026, 3, 1, 23, 59, 54), LocalToUtc(2026, 3, 1, 20, 0, 0), LocalToUtc(2026, 3, 2, 0, 0, 0),
        LocalToUtc(2026, 3, 2, 20, 0, 0),   LocalToUtc(2026, 3, 3, 8, 0, 0),  LocalToUtc(2026, 3, 3, 20, 0, 0),
    };
    for (int i = 0; i < expected.size(); ++i) {
        const KcTest::SMp4Report report = KcTest::InspectMp4(expected[i].toStdString());
        const double created =
            QDateTime::fromString(QString::fromStdString(report.creationTime), Qt::ISODateWithMs).toMSecsSinceEpoch()
            / 1000.0;
        // The file states whole seconds.
        EXPECT_GE(created, std::floor(firstFrames[i])) << expected[i].toStdString() << " " << report.creationTime;
        EXPECT_LT(created, firstFrames[i] + 1) << expected[i].toStdString() << " " << report.creationTime;
        int64_t lastTick = 0;
        for (const KcTest::STrackReport& track : report.tracks)
            lastTick = std::max(lastTick, track.ticks.empty() ? 0 : track.ticks.back());
        const double modified = QFileInfo(expected[i]).lastModified().toMSecsSinceEpoch() / 1000.0;
        if (i == 5) {
            // The half minute between that day's two files is not kept in the MP4; the last
            // frame comes as long after the second file's start as on the first day.
            EXPECT_NEAR(modified - LocalToUtc(2026, 3, 3, 20, 0, 30),
                        QFileInfo(expected[1]).lastModified().toMSecsSinceEpoch() / 1000.0 - firstFrames[1], 0.05);
        } else {
            EXPECT_NEAR(modified, firstFrames[i] + double(lastTick) / 48000.0, 0.05) << expected[i].toStdString();
        }
    }

    // Without a terminal the progress is one line per day.
    EXPECT_EQ(run.err.count(" done\n"), 6) << run.err.toStdString();
}

// Camera names come from the files: whatever they hold, each camera's day is one decodable file
// two folders below Converted/, and nothing is written anywhere else.
TEST_F(ConvertCommandTest, CameraNamesFromFilesStayInsideTheExportFolder)
{
    const QStringList slSrids = {"../../x", "a/b",          "a_b",           "..",
                                 ".",       "line\\nbreak", "back\\\\slash", QString(300, 'n')};
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString qsRecordings = QDir(dir.path()).filePath("recordings");
    const QString qsOut = QDir(dir.path()).filePath("location/out");
    WriteCamerasWithJsonSrids(qsRecordings, slSrids);
    const SRun run = RunKelmconv({"convert", "--tz", "UTC+3", "--out", qsOut, "--json", qsRecordings});
    ASSERT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_EQ(JsonObjectOf(run.out)["created"].toInt(), slSrids.size());

    QStringList slTargets;
    for (const QString& qsFile : FilesUnder(dir.path())) {
        if (QFileInfo(qsFile).path() == qsRecordings)
            continue;
        const QString qsRelative = QDir(qsOut).relativeFilePath(qsFile);
        EXPECT_TRUE(qsRelative.startsWith("Converted/") && qsRelative.count('/') == 3) << qsFile.toStdString();
        EXPECT_EQ(Mp4Problems(qsFile), "") << qsFile.toStdString();
        slTargets << qsFile;
    }
    EXPECT_EQ(slTargets.size(), slSrids.size());
}

TEST_F(ConvertCommandTest, OnlyTheDaysNamedAreWritten)
{
    const SRun run =
        RunKelmconv({"convert", "--tz", "UTC+3", "--out", m_qsOut, "--only", DayKey(2026, 3, 2, "1", "1001"),
                     "--only=" + DayKey(2026, 3, 3, "1", "cam-7"), m_qsRecordings});
    ASSERT_EQ(run.status, 0) << run.err.toStdString();
    const QStringList expected = Targets({TwoCamerasThreeDaysTargets()[2], TwoCamerasThreeDaysTargets()[5]});
    EXPECT_EQ(run.out, "2 of 2 videofiles created\n" + expected.join('\n') + "\n");
    EXPECT_EQ(FilesUnder(m_qsOut), expected);
    for (const QString& qsFile : expected)
        EXPECT_EQ(Mp4Problems(qsFile), "") << qsFile.toStdString();
}

TEST_F(ConvertCommandTest, UnknownDayKeyIsAUsageError)
{
    const SRun run = RunKelmconv(
        {"convert", "--tz", "UTC+3", "--out", m_qsOut, "--only", DayKey(2026, 3, 4, "1", "1001"), m_qsRecordings});
    EXPECT_EQ(run.status, 2);
    EXPECT_TRUE(run.err.contains("no day with the key")) << run.err.toStdString();
    EXPECT_FALSE(QDir(m_qsOut).exists("Converted"));
}

TEST_F(ConvertCommandTest, NothingFoundEndsWithStatusOne)
{
    const QString qsEmpty = QDir(m_dir.path()).filePath("empty");
    QDir().mkpath(qsEmpty);
    const SRun run = RunKelmconv({"convert", "--out", m_qsOut, "--json", qsEmpty});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(JsonObjectOf(run.out)["error"].toString(), "no .kelm files found in the locations given");
    EXPECT_TRUE(run.err.contains("no .kelm files found")) << run.err.toStdString();
    EXPECT_FALSE(QDir(m_qsOut).exists("Converted"));
}

TEST_F(ConvertCommandTest, AFailedDayEndsWithStatusOneAndTheOthersAreWritten)
{
    // A file where camera 1001's folder belongs: its days cannot be written.
    QDir().mkpath(QDir(m_qsOut).filePath("Converted"));
    WriteGarbageFile(QDir(m_qsOut).filePath("Converted/1001"));

    const SRun run = RunKelmconv({"convert", "--tz", "UTC+3", "--out", m_qsOut, "--json", m_qsRecordings});
    EXPECT_EQ(run.status, 1) << run.err.toStdString();
    const QJsonObject result = JsonObjectOf(run.out);
    EXPECT_EQ(result["total"].toInt(), 6);
    EXPECT_EQ(result["created"].toInt(), 3);
    EXPECT_FALSE(result["cancelled"].toBool());

    const QStringList targets = Targets(TwoCamerasThreeDaysTargets());
    EXPECT_EQ(result["files"].toVariant().toStringList(), QStringList({targets[1], targets[3], targets[5]}));
    const QJsonArray errors = result["errors"].toArray();
    ASSERT_EQ(errors.size(), 3);
    QList<int> batches;
    for (const QJsonValue& value : errors) {
        const QJsonObject error = value.toObject();
        EXPECT_EQ(error.keys(), QStringList({"batch", "code", "file", "message"}));
        EXPECT_NE(error["code"].toInt(), 0);
        EXPECT_TRUE(error["message"].toString().contains("creation error"))
            << error["message"].toString().toStdString();
        batches << error["batch"].toInt();
    }
    // 1001's days are the first, third and fifth batch.
    EXPECT_EQ(batches, QList<int>({1, 3, 5}));
    EXPECT_EQ(run.err.count(" not created: Target path "), 3) << run.err.toStdString();
    EXPECT_EQ(run.err.count(" done\n"), 3) << run.err.toStdString();
}

// A file the analysis already found cut short is exported as it is, without a new word; a day whose
// video track cannot be set up keeps its sound but says so and fails the run.
TEST_F(ConvertCommandTest, DaysThatLackSomethingSayWhatAndFailTheRun)
{
    const QString qsIn = QDir(m_dir.path()).filePath("mixed");
    QDir().mkpath(qsIn);
    WriteTruncatedRecording(QDir(qsIn).filePath("cut.kelm"));
    WriteUnusableVideoRecording(QDir(qsIn).filePath("bad-video.kelm"));

    for (const bool bJson : {false, true}) {
        const SRun run = RunKelmconv(bJson ? QStringList{"convert", "--tz", "UTC+3", "--out", m_qsOut, "--json", qsIn}
                                           : QStringList{"convert", "--tz", "UTC+3", "--out", m_qsOut, qsIn});
        EXPECT_EQ(run.status, 1) << run.err.toStdString();
        EXPECT_EQ(run.err.count(" done\n"), 1) << run.err.toStdString();
        EXPECT_EQ(run.err.count(" done with problems: H264ParamsSets get error"), 1) << run.err.toStdString();
        if (!bJson) {
            EXPECT_TRUE(run.out.startsWith("2 of 2 videofiles created, 1 with problems\n")) << run.out.toStdString();
            continue;
        }
        const QJsonArray days = JsonObjectOf(run.out)["days"].toArray();
        ASSERT_EQ(days.size(), 2);
        EXPECT_EQ(days[0].toObject()["outcome"].toString(), "done with problems"); // cam-8 sorts first
        EXPECT_TRUE(days[0].toObject()["reason"].toString().startsWith("H264ParamsSets get error"));
        EXPECT_EQ(days[1].toObject()["outcome"].toString(), "done");
    }
}

QByteArray StartAndStopAfterTheFirstDay(QProcess& child, const QString& qsProgram, const QStringList& slArguments);

class ConvertChildTest : public ConvertCommandTest {
protected:
    void SetUp() override
    {
        ConvertCommandTest::SetUp();
        ASSERT_TRUE(m_programDir.isValid());
        m_qsProgram = CopyOfKelmconv(m_programDir);
        m_qsLog = QDir(m_programDir.path()).filePath("KelmConverter.log");
    }

    // Starts a conversion of the folder in a child and sends it the signal while it writes the
    // day after the first one. The export is fast and this machine may be busy: the child runs
    // in short slices and its progress is looked at only while it is stopped, so that the next
    // day is still being written when the signal arrives, however late this process gets to see
    // the line. False (with the reason) when the child could not be caught there.
    bool SignalAfterTheFirstDay(QProcess& child, const QStringList& arguments, int nSignal, QByteArray& progress)
    {
        progress = StartAndStopAfterTheFirstDay(child, m_qsProgram, arguments);
        const pid_t pid = pid_t(child.processId());
        if (!progress.contains("[day 1/3 ") || child.state() != QProcess::Running) {
            progress += "\n(the export ended before it could be interrupted)";
            ::kill(pid, SIGCONT);
            child.waitForFinished(kChildWaitMs);
            return false;
        }
        ::kill(pid, nSignal);
        ::kill(pid, SIGCONT);
        const bool bFinished = child.waitForFinished(kChildWaitMs);
        progress += child.readAllStandardError();
        return bFinished;
    }

    static QByteArray Contents(const QString& qsPath)
    {
        QFile file(qsPath);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    static ino_t Inode(const QString& qsPath)
    {
        struct stat info {};
        return ::stat(qsPath.toLocal8Bit().constData(), &info) == 0 ? info.st_ino : 0;
    }

    QTemporaryDir m_programDir;
    QString m_qsProgram;
    QString m_qsLog;
};

TEST_F(ConvertChildTest, LogShowsTheWorkManagersEntriesInOrder)
{
    QProcess child;
    child.start(m_qsProgram, {"convert", "--tz", "UTC+3", "--out", m_qsOut, m_qsRecordings});
    ASSERT_TRUE(child.waitForFinished(kChildWaitMs));
    ASSERT_EQ(child.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(child.exitCode(), 0) << child.readAllStandardError().toStdString();
    EXPECT_TRUE(child.readAllStandardOutput().startsWith("6 of 6 videofiles created\n"));

    const QString qsLog = ReadFile(m_qsLog);
    QString qsMissing;
    EXPECT_TRUE(ContainsInOrder(qsLog,
                                {"Main    INFO] Kelm Converter Application Started",
                                 "Main    INFO] Command line: kelmconv convert --tz UTC+3 --out",
                                 "Main    INFO] 1 file(s) or folder(s) given on the command line for searching",
                                 "Main    INFO] Initiate .kelm files searching ...",
                                 "WM      INFO] Starting .kelm files search ...",
                                 "WM      INFO] Kelm files seacrhing finished OK, 6 new files found (6 total)",
                                 "Main    INFO] Initiate .kelm files analyzing ...",
                                 "WM      INFO] Analyzing is about to be started",
                                 "WM      INFO] Prepare for analyzing ...",
                                 "WM      INFO] Starting analyzer in a new thread ...",
                                 "WM      INFO] Detecting export parameters ...",
                                 "WM      INFO] .kelm files analyzing finished OK",
                                 "Main    INFO] Initiate exporting ...",
                                 "WM      INFO] Exporting is about to be started",
                                 "WM      INFO] Preparing data for export ...",
                                 "WM      INFO] Starting exporter in a new thread ...",
                                 "Main    INFO] Export started OK",
                                 "Main    INFO] Export results: 6 of 6 videos exported",
                                 "WM      INFO] Export finished OK",
                                 "Main    INFO] Exiting the Kelm Converter Application ..."},
                                &qsMissing))
        << qsMissing.toStdString() << "\n"
        << qsLog.toStdString();
    EXPECT_FALSE(qsLog.contains("ERROR]")) << qsLog.toStdString();
}

// Starts a child converting qsFolder and lets it run in short slices until its first day is
// done; the child is left stopped (SIGSTOP) and its progress so far is returned.
QByteArray StartAndStopAfterTheFirstDay(QProcess& child, const QString& qsProgram, const QStringList& slArguments)
{
    child.setReadChannel(QProcess::StandardError);
    {
        // A test run started in the background ignores SIGINT, and so would the child.
        struct sigaction byDefault {};
        byDefault.sa_handler = SIG_DFL;
        sigemptyset(&byDefault.sa_mask);
        struct sigaction old {};
        sigaction(SIGINT, &byDefault, &old);
        child.start(qsProgram, slArguments);
        sigaction(SIGINT, &old, nullptr);
    }
    if (!child.waitForStarted())
        return QByteArray();
    const pid_t pid = pid_t(child.processId());

    // The export is fast and this machine may be busy: let the child run in short slices and look
    // at its progress only while it is stopped, so that the day after the first one is still
    // being written when Ctrl-C arrives, however late this process gets to see the line.
    QByteArray progress;
    QDeadlineTimer deadline(kChildWaitMs);
    while (!progress.contains(" done\n") && child.state() == QProcess::Running && !deadline.hasExpired()) {
        ::kill(pid, SIGCONT);
        child.waitForReadyRead(2);
        ::kill(pid, SIGSTOP);
        child.waitForReadyRead(1);
        progress += child.readAllStandardError();
    }
    return progress;
}

TEST_F(ConvertChildTest, InterruptKeepsFinishedFilesAndLeavesNoPartialOne)
{
    // A short first day, then two long ones: Ctrl-C right after the first day lands in the second.
    const QString qsLong = QDir(m_dir.path()).filePath("long");
    WriteLongRecording(qsLong, 30);

    QProcess child;
    QByteArray progress = StartAndStopAfterTheFirstDay(
        child, m_qsProgram, {"convert", "--tz", "UTC+3", "--out", m_qsOut, "--json", qsLong});
    const pid_t pid = pid_t(child.processId());
    ASSERT_TRUE(progress.contains("[day 1/3 ")) << progress.toStdString();
    ASSERT_EQ(child.state(), QProcess::Running) << "the export ended before it could be interrupted";
    ::kill(pid, SIGINT);
    ::kill(pid, SIGCONT);
    ASSERT_TRUE(child.waitForFinished(kChildWaitMs));
    progress += child.readAllStandardError();

    ASSERT_EQ(child.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(child.exitCode(), 3) << progress.toStdString();
    const QJsonObject result = JsonObjectOf(QString::fromUtf8(child.readAllStandardOutput()));
    EXPECT_TRUE(result["cancelled"].toBool());
    EXPECT_EQ(result["total"].toInt(), 3);
    EXPECT_GE(result["created"].toInt(), 1);
    EXPECT_LT(result["created"].toInt(), 3);

    // What is listed is all there is, whole and playable; the first day is among it.
    const QStringList files = result["files"].toVariant().toStringList();
    QStringList sorted = files;
    sorted.sort();
    EXPECT_EQ(FilesUnder(m_qsOut), sorted);
    ASSERT_FALSE(files.isEmpty());
    EXPECT_EQ(files.first(), QDir(m_qsOut).filePath("Converted/2001/Camera1/2001_1_01.03.26_09.00-09.01.mp4"));
    for (const QString& qsFile : files)
        EXPECT_EQ(Mp4Problems(qsFile), "") << qsFile.toStdString();

    const QString qsLog = ReadFile(m_qsLog);
    QString qsMissing;
    EXPECT_TRUE(ContainsInOrder(qsLog,
                                {"WM      INFO] Starting exporter in a new thread ...",
                                 "WM      INFO] User or system requested to cancel export. Sending request to "
                                 "working thread ...",
                                 "WM      INFO] Export was cancelled",
                                 "Main    INFO] Exiting the Kelm Converter Application ..."},
                                &qsMissing))
        << qsMissing.toStdString() << "\n"
        << qsLog.toStdString();
}

TEST_F(ConvertChildTest, AnInstalledCopyLogsIntoTheUsersStateFolder)
{
    // <prefix>/bin/kelmconv beside <prefix>/share/kelmconverter: an installed copy, which never
    // writes into bin/ (root could).
    const QDir prefix(m_programDir.path());
    ASSERT_TRUE(prefix.mkpath("bin") && prefix.mkpath("share/kelmconverter"));
    const QString qsInstalled = prefix.filePath("bin/kelmconv");
    ASSERT_TRUE(QFile::copy(m_qsProgram, qsInstalled));
    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("XDG_STATE_HOME", prefix.filePath("state"));
    child.setProcessEnvironment(environment);
    child.start(qsInstalled, {"scan", "--tz", "UTC+3", "-q", m_qsRecordings});
    ASSERT_TRUE(child.waitForFinished(kChildWaitMs));
    EXPECT_EQ(child.exitCode(), 0) << child.readAllStandardError().toStdString();
    EXPECT_TRUE(child.readAllStandardError().isEmpty()); // no progress, no warning about the log
    EXPECT_TRUE(ReadFile(prefix.filePath("state/KelmConverter/KelmConverter.log"))
                    .contains("Main    INFO] Command line: kelmconv scan --tz UTC+3 -q"));
    EXPECT_FALSE(prefix.exists("bin/KelmConverter.log"));
}

TEST_F(ConvertChildTest, ASecondInterruptWhileStoppingExitsAtOnceWithoutThePartialFile)
{
    const QString qsLong = QDir(m_dir.path()).filePath("long");
    WriteLongRecording(qsLong, 30);

    QProcess child;
    QByteArray progress = StartAndStopAfterTheFirstDay(
        child, m_qsProgram, {"convert", "--tz", "UTC+3", "-o", m_qsOut, "-v", "--json", qsLong});
    const pid_t pid = pid_t(child.processId());
    ASSERT_TRUE(progress.contains("[day 1/3 ")) << progress.toStdString();
    ASSERT_EQ(child.state(), QProcess::Running) << "the export ended before it could be interrupted";
    // Two different signals stay pending together while the child is stopped (two of one kind
    // would merge), so both reach it before the stop can end.
    ::kill(pid, SIGHUP);
    ::kill(pid, SIGINT);
    ::kill(pid, SIGCONT);
    ASSERT_TRUE(child.waitForFinished(kChildWaitMs));
    progress += child.readAllStandardError();

    ASSERT_EQ(child.exitStatus(), QProcess::NormalExit);
    EXPECT_TRUE(child.exitCode() == 128 + SIGINT || child.exitCode() == 128 + SIGHUP) << child.exitCode();
    EXPECT_TRUE(progress.contains("interrupted again, exiting at once")) << progress.toStdString();
    // The first day stays, whole; the day being written is gone.
    const QString qsFirst = QDir(m_qsOut).filePath("Converted/2001/Camera1/2001_1_01.03.26_09.00-09.01.mp4");
    EXPECT_EQ(FilesUnder(m_qsOut), QStringList{qsFirst}) << FilesUnder(m_qsOut).join(' ').toStdString();
    EXPECT_EQ(Mp4Problems(qsFirst), "");
    EXPECT_TRUE(ReadFile(m_qsLog).contains("Interrupted again while stopping: exiting at once"));
}

TEST_F(ConvertChildTest, ReRunsNeverLeaveHalfADayNorLoseAFinishedOne)
{
    const QString qsLong = QDir(m_dir.path()).filePath("long");
    WriteLongRecording(qsLong, 6);
    const QStringList convert = {"convert", "--tz", "UTC+3", "--out", m_qsOut, "--json", qsLong};
    const QString qsFirstDay = QDir(m_qsOut).filePath("Converted/2001/Camera1/2001_1_01.03.26_09.00-09.01.mp4");

    // Killed in the middle of the second day: nothing but the first day has a final name.
    {
        QProcess child;
        QByteArray progress;
        ASSERT_TRUE(SignalAfterTheFirstDay(child, convert, SIGKILL, progress)) << progress.toStdString();
        EXPECT_EQ(child.exitStatus(), QProcess::CrashExit);
        for (const QString& qsFile : FilesUnder(m_qsOut))
            EXPECT_TRUE(qsFile == qsFirstDay || qsFile.endsWith(".mp4.part")) << qsFile.toStdString();
        EXPECT_EQ(Mp4Problems(qsFirstDay), "");
    }

    // Resumed: the finished day is left alone, the others are written and no partial file stays.
    const QByteArray firstDay = Contents(qsFirstDay);
    const ino_t firstDayInode = Inode(qsFirstDay);
    const SRun resumed = RunKelmconv(QStringList(convert) << "--skip-existing");
    ASSERT_EQ(resumed.status, 0) << resumed.err.toStdString();
    QJsonObject result = JsonObjectOf(resumed.out);
    EXPECT_EQ(result["skipped"].toVariant().toStringList(), QStringList{qsFirstDay});
    EXPECT_EQ(result["created"].toInt(), 3);
    EXPECT_EQ(result["total"].toInt(), 3);
    EXPECT_TRUE(resumed.err.contains("skipped, the file exists: " + qsFirstDay)) << resumed.err.toStdString();
    const QStringList files = result["files"].toVariant().toStringList();
    ASSERT_EQ(files.size(), 3);
    EXPECT_EQ(files.first(), qsFirstDay);
    QStringList sorted = files;
    sorted.sort();
    EXPECT_EQ(FilesUnder(m_qsOut), sorted);
    EXPECT_EQ(Contents(qsFirstDay), firstDay);
    EXPECT_EQ(Inode(qsFirstDay), firstDayInode);
    for (const QString& qsFile : files)
        EXPECT_EQ(Mp4Problems(qsFile), "") << qsFile.toStdString();

    // A re-run cancelled in the second day keeps that day's earlier file byte for byte.
    std::vector<QByteArray> before;
    for (const QString& qsFile : files)
        before.push_back(Contents(qsFile));
    {
        QProcess child;
        QByteArray progress;
        ASSERT_TRUE(SignalAfterTheFirstDay(child, convert, SIGINT, progress)) << progress.toStdString();
        EXPECT_EQ(child.exitCode(), 3) << progress.toStdString();
        result = JsonObjectOf(QString::fromUtf8(child.readAllStandardOutput()));
        EXPECT_TRUE(result["cancelled"].toBool());
        // Only what this run finished counts, not the earlier run's files.
        EXPECT_LT(result["created"].toInt(), 3);
    }
    EXPECT_EQ(FilesUnder(m_qsOut), sorted);
    for (int i = 1; i < files.size(); ++i)
        EXPECT_TRUE(Contents(files[i]) == before[size_t(i)]) << files[i].toStdString();

    // A re-run that ends replaces every day with its new file.
    std::vector<ino_t> inodes;
    for (const QString& qsFile : files)
        inodes.push_back(Inode(qsFile));
    const SRun replaced = RunKelmconv(convert);
    ASSERT_EQ(replaced.status, 0) << replaced.err.toStdString();
    EXPECT_EQ(FilesUnder(m_qsOut), sorted);
    for (int i = 0; i < files.size(); ++i) {
        EXPECT_NE(Inode(files[i]), inodes[size_t(i)]) << files[i].toStdString();
        EXPECT_EQ(Mp4Problems(files[i]), "") << files[i].toStdString();
    }
}

} // namespace
} // namespace KcCliTest
