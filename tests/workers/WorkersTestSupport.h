#pragma once

#include "KELMExport.h"
#include "KelmWriter.h"
#include "TimeUtil.h"

#include <QDir>
#include <QString>
#include <QTemporaryDir>
#include <QTimeZone>
#include <QVariant>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace KcWorkersTest {

// Long enough for a slow, shared machine; only a hang ever waits this long.
constexpr int kWaitMs = 60000;

// Local time in the tests is UTC+3, a fixed zone, so that days do not depend on the machine.
constexpr int kZoneOffset = 3 * 3600;

class CFixedZone {
public:
    CFixedZone() : m_previous(KcTime::CTimeUtil::selectedTimeZone())
    {
        KcTime::CTimeUtil::setSelectedTimeZone(QTimeZone(kZoneOffset));
    }
    ~CFixedZone() { KcTime::CTimeUtil::setSelectedTimeZone(m_previous); }

private:
    QTimeZone m_previous;
};

// UTC seconds of a local wall-clock time in the test zone.
inline double LocalToUtc(int year, int month, int day, int hour, int minute, double second)
{
    return KcTest::UtcSeconds(year, month, day, hour, minute, second) - kZoneOffset;
}

// Local day number of a local date, as export keys count days.
inline unsigned long LocalDayNumber(int year, int month, int day)
{
    return static_cast<unsigned long>(KcTest::UtcSeconds(year, month, day, 0, 0, 0)) / 86400u;
}

// A recording of a few seconds of a camera on each side of local midnight, 1 to 2 March 2026.
inline KcTest::SRecordingOptions AcrossMidnight(const std::string& srid)
{
    KcTest::SRecordingOptions options;
    options.srid = srid;
    options.startUtc = LocalToUtc(2026, 3, 1, 23, 59, 56);
    options.endUtc = LocalToUtc(2026, 3, 2, 0, 0, 4);
    return options;
}

// Four seconds within one local day (1 March 2026, 10:00).
inline KcTest::SRecordingOptions WithinOneDay(const std::string& srid)
{
    KcTest::SRecordingOptions options;
    options.srid = srid;
    options.startUtc = LocalToUtc(2026, 3, 1, 10, 0, 0);
    options.endUtc = LocalToUtc(2026, 3, 1, 10, 0, 4);
    return options;
}

inline std::string Path(const QTemporaryDir& dir, const QString& name)
{
    return QDir(dir.path()).filePath(name).toStdString();
}

inline std::string WriteRecording(const QTemporaryDir& dir, const QString& name,
                                  const KcTest::SRecordingOptions& options)
{
    const std::string path = Path(dir, name);
    EXPECT_TRUE(KcTest::WriteRecordingFile(path, options).ok) << path;
    return path;
}

// Signal arguments of type ulong, as QSignalSpy records them.
inline QVariant U(ulong value)
{
    return QVariant::fromValue(value);
}

inline std::vector<std::wstring> WidePaths(const std::vector<std::string>& paths)
{
    std::vector<std::wstring> wide;
    for (const std::string& path : paths)
        wide.push_back(QString::fromStdString(path).toStdWString());
    return wide;
}

} // namespace KcWorkersTest
