#pragma once

// End-to-end support for kelmconv: generated recordings, in-process and child-process runs, and a
// look at what landed on disk.

#include "TestZone.h"
#include "Wait.h"

#include <QJsonObject>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <string>

namespace KcCliTest {

using KcTest::kZoneOffset;
using KcTest::Local;
using KcTest::LocalToUtc;
using KcTest::WaitFor;

// The export key of a camera's day: 12-digit local day number, display number, Srid.
QString DayKey(int year, int month, int day, const QString& qsNumber, const QString& qsSrid);

// Two cameras over three local days (1 to 3 March 2026 at UTC+3):
// - "1001": one file across midnight of 1/2 March (23:59:54 to 00:00:04), one on 3 March 08:00;
// - "cam-7": one file a day at 20:00 (3 seconds each) and, on 3 March, a second file half a
//   minute later, so that day has a gap.
// Srid "cam-7" has a "-", so its file names leave out the display number.
void WriteTwoCamerasThreeDays(const QString& qsDir);
// The six files a conversion of that folder writes, relative to the export location.
QStringList TwoCamerasThreeDaysTargets();

// One 3-second recording per Srid (2 March 2026 10:00 local), in files cam<i>.kelm; each Srid is
// written into the recording's JSON as given, so it may hold JSON escapes ("a\\nb").
void WriteCamerasWithJsonSrids(const QString& qsDir, const QStringList& slJsonSrids);

// A file that is no container at all: black-listed with a file error.
void WriteGarbageFile(const QString& qsPath);
// A usable one-camera recording ("cam-9", 2 March 10:00 local) whose last record is cut off: a
// file warning.
void WriteTruncatedRecording(const QString& qsPath);
// A two-second recording ("cam-8", 2 March 11:00 local) whose video decoder configuration is too
// short to use: only its sound can be written.
void WriteUnusableVideoRecording(const QString& qsPath);
// One camera ("2001") over three days, a file a day: 20 seconds on 1 March at 09:00, then
// nLongMinutes on 2 March at 10:00 and on 3 March at 12:00; long enough for an export to be
// interrupted after its first day.
void WriteLongRecording(const QString& qsDir, int nLongMinutes);

struct SRun {
    int status = -1;
    QString out;
    QString err;
};

// kelmconv with these arguments, in this process.
SRun RunKelmconv(const QStringList& arguments);

// The one JSON object of a --json run; an empty object (and a failure) otherwise.
QJsonObject JsonObjectOf(const QString& qsText);

// Every file under a folder (not only MP4 files), sorted, as absolute paths.
QStringList FilesUnder(const QString& qsDir);

// Empty when the MP4 file opens, has an H.264 and an AAC track with frames, every frame decodes
// without an error and the index comes before the media data; otherwise what is wrong.
std::string Mp4Problems(const QString& qsPath);

// A copy of the kelmconv executable in its own folder, so that its log ("KelmConverter.log"
// beside it) belongs to one test alone.
QString CopyOfKelmconv(const QTemporaryDir& dir);

// The text the child's log gained, read after it ended.
QString ReadFile(const QString& qsPath);

// Whether the lines in qsText contain the needles in this order (each needle a substring of a
// later line than the previous one). On failure, the first needle not found in order.
bool ContainsInOrder(const QString& qsText, const QStringList& slNeedles, QString* pMissing = nullptr);

} // namespace KcCliTest
