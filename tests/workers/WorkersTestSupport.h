#pragma once

#include "FixedZone.h"
#include "KelmWriter.h"
#include "TestText.h"
#include "TestZone.h"
#include "Wait.h"
#include "export/KELMExport.h"

#include <QDir>
#include <QString>
#include <QTemporaryDir>
#include <QVariant>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace KcWorkersTest {

using KcTest::CFixedZone;
using KcTest::kWaitMs;
using KcTest::kZoneOffset;
using KcTest::Local;
using KcTest::LocalToUtc;
using KcTest::WidePaths;

// Local day number of a local date, as export keys count days.
inline unsigned long LocalDayNumber(int year, int month, int day)
{
    return static_cast<unsigned long>(Local(year, month, day, 0, 0, 0)) / 86400u;
}

// A recording of a few seconds of a camera on each side of local midnight, 1 to 2 March 2026.
inline KcTest::SRecordingOptions AcrossMidnight(const std::string& srid)
{
    return KcTest::Recording(srid, Local(2026, 3, 1, 23, 59, 56), Local(2026, 3, 2, 0, 0, 4));
}

// Four seconds within one local day (1 March 2026, 10:00).
inline KcTest::SRecordingOptions WithinOneDay(const std::string& srid)
{
    return KcTest::Recording(srid, Local(2026, 3, 1, 10, 0, 0), Local(2026, 3, 1, 10, 0, 4));
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

} // namespace KcWorkersTest
