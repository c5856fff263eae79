#include "CliTestSupport.h"

#include "KelmWriter.h"
#include "MediaSample.h"
#include "Mp4Check.h"
#include "cli/Commands.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QJsonDocument>
#include <QTextStream>

namespace KcCliTest {

using KcTest::Recording;

namespace {

QString WriteFile(const QString& qsDir, const QString& qsName, const KcTest::SRecordingOptions& options)
{
    const QString qsPath = QDir(qsDir).filePath(qsName);
    EXPECT_TRUE(KcTest::WriteRecordingFile(qsPath.toStdString(), options).ok) << qsPath.toStdString();
    return qsPath;
}

} // namespace

QString DayKey(int year, int month, int day, const QString& qsNumber, const QString& qsSrid)
{
    const auto dayNumber = static_cast<unsigned long>(Local(year, month, day, 0, 0, 0)) / 86400u;
    return QStringLiteral("%1").arg(dayNumber, 12, 10, QLatin1Char('0')) + qsNumber + qsSrid;
}

void WriteTwoCamerasThreeDays(const QString& qsDir)
{
    QDir().mkpath(qsDir);
    WriteFile(qsDir, "1001-a.kelm", Recording("1001", Local(2026, 3, 1, 23, 59, 54), Local(2026, 3, 2, 0, 0, 4)));
    WriteFile(qsDir, "1001-b.kelm", Recording("1001", Local(2026, 3, 3, 8, 0, 0), Local(2026, 3, 3, 8, 0, 4)));
    for (int day = 1; day <= 3; ++day) {
        WriteFile(qsDir, QStringLiteral("cam-7-%1.kelm").arg(day),
                  Recording("cam-7", Local(2026, 3, day, 20, 0, 0), Local(2026, 3, day, 20, 0, 3)));
    }
    WriteFile(qsDir, "cam-7-3b.kelm", Recording("cam-7", Local(2026, 3, 3, 20, 0, 30), Local(2026, 3, 3, 20, 0, 33)));
}

void WriteCamerasWithJsonSrids(const QString& qsDir, const QStringList& slJsonSrids)
{
    QDir().mkpath(qsDir);
    for (int i = 0; i < slJsonSrids.size(); ++i) {
        KcTest::SRecordingOptions options = Recording("cam", Local(2026, 3, 2, 10, 0, 0), Local(2026, 3, 2, 10, 0, 3));
        options.streamInfo = KcTest::SridInfo(slJsonSrids[i].toStdString());
        WriteFile(qsDir, QStringLiteral("cam%1.kelm").arg(i), options);
    }
}

QStringList TwoCamerasThreeDaysTargets()
{
    // In export order: by day, then display number, then Srid.
    return {
        "Converted/1001/Camera1/1001_1_01.03.26_23.59-00.00.mp4",
        "Converted/cam-7/Camera1/cam-7_01.03.26_20.00-20.01.mp4",
        "Converted/1001/Camera1/1001_1_02.03.26_00.00-00.01.mp4",
        "Converted/cam-7/Camera1/cam-7_02.03.26_20.00-20.01.mp4",
        "Converted/1001/Camera1/1001_1_03.03.26_08.00-08.01.mp4",
        "Converted/cam-7/Camera1/cam-7_03.03.26_20.00-20.01.mp4",
    };
}

void WriteGarbageFile(const QString& qsPath)
{
    QFile file(qsPath);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("this is no container, only text that happens to end in .kelm\n");
}

void WriteTruncatedRecording(const QString& qsPath)
{
    KcTest::SRecordingOptions options = Recording("cam-9", Local(2026, 3, 2, 10, 0, 0), Local(2026, 3, 2, 10, 0, 2));
    options.finished = false;
    KcTest::CKelmWriter writer(qsPath.toStdString());
    writer.WriteRecording(options);
    writer.WriteFault(KcTest::EFault::TruncatedInBinaryData);
    ASSERT_TRUE(writer.Close());
}

void WriteUnusableVideoRecording(const QString& qsPath)
{
    KcTest::SRecordingOptions options = Recording("cam-8", Local(2026, 3, 2, 11, 0, 0), Local(2026, 3, 2, 11, 0, 2));
    options.videoEsInfo = KcTest::DecoderConfigInfo({1, 0x64, 0});
    ASSERT_TRUE(KcTest::WriteRecordingFile(qsPath.toStdString(), options).ok);
}

void WriteLongRecording(const QString& qsDir, int nLongMinutes)
{
    QDir().mkpath(qsDir);
    WriteFile(qsDir, "2001-1.kelm", Recording("2001", Local(2026, 3, 1, 9, 0, 0), Local(2026, 3, 1, 9, 0, 20)));
    WriteFile(qsDir, "2001-2.kelm",
              Recording("2001", Local(2026, 3, 2, 10, 0, 0), Local(2026, 3, 2, 10, nLongMinutes, 0)));
    WriteFile(qsDir, "2001-3.kelm",
              Recording("2001", Local(2026, 3, 3, 12, 0, 0), Local(2026, 3, 3, 12, nLongMinutes, 0)));
}

SRun RunKelmconv(const QStringList& arguments)
{
    SRun run;
    QTextStream out(&run.out);
    QTextStream err(&run.err);
    run.status = KcCli::RunCommandLine(arguments, out, err);
    out.flush();
    err.flush();
    return run;
}

QJsonObject JsonObjectOf(const QString& qsText)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(qsText.toUtf8(), &error);
    EXPECT_EQ(error.error, QJsonParseError::NoError) << qsText.toStdString();
    EXPECT_TRUE(document.isObject()) << qsText.toStdString();
    return document.object();
}

QStringList FilesUnder(const QString& qsDir)
{
    QStringList files;
    QDirIterator it(qsDir, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext())
        files << QFileInfo(it.next()).absoluteFilePath();
    files.sort();
    return files;
}

std::string Mp4Problems(const QString& qsPath)
{
    const KcTest::SMp4Report report = KcTest::InspectMp4(qsPath.toStdString());
    if (!report.bOpened)
        return "cannot be opened";
    std::string problems;
    for (const char* pCodec : {"h264", "aac"}) {
        const KcTest::STrackReport* pTrack = report.Find(pCodec);
        if (!pTrack)
            problems += std::string("no ") + pCodec + " track; ";
        else if (pTrack->frames == 0 || pTrack->decodeErrors != 0)
            problems += std::string(pCodec) + ": " + std::to_string(pTrack->frames) + " frames, "
                        + std::to_string(pTrack->decodeErrors) + " decoding errors; ";
    }
    if (report.libraryErrors != 0)
        problems += std::to_string(report.libraryErrors) + " library errors; ";
    if (!report.bIndexFirst)
        problems += "the index is not in front of the media data";
    return problems;
}

QString CopyOfKelmconv(const QTemporaryDir& dir)
{
    const QString qsCopy = QDir(dir.path()).filePath(QStringLiteral("kelmconv"));
    EXPECT_TRUE(QFile::copy(QStringLiteral(KC_KELMCONV_PATH), qsCopy));
    QFile::setPermissions(qsCopy, QFile::permissions(qsCopy) | QFileDevice::ExeOwner);
    return qsCopy;
}

QString ReadFile(const QString& qsPath)
{
    QFile file(qsPath);
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromUtf8(file.readAll());
}

bool ContainsInOrder(const QString& qsText, const QStringList& slNeedles, QString* pMissing)
{
    const QStringList lines = qsText.split(QLatin1Char('\n'));
    int nLine = 0;
    for (const QString& qsNeedle : slNeedles) {
        while (nLine < lines.size() && !lines.at(nLine).contains(qsNeedle))
            ++nLine;
        if (nLine == lines.size()) {
            if (pMissing)
                *pMissing = qsNeedle;
            return false;
        }
        ++nLine;
    }
    return true;
}

} // namespace KcCliTest
