#include "JobOptions.h"

#include "TimeUtil.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <unistd.h>

namespace KcCli {

namespace {

// The widest offsets a fixed-offset QTimeZone accepts.
constexpr int kMaxOffsetSeconds = 14 * 3600;

// "--name VALUE" or "--name=VALUE"; advances the index past the value.
bool TakeValue(const QStringList& arguments, int& index, const QString& qsName, QString& qsValue, bool& bMissing)
{
    const QString& argument = arguments.at(index);
    bMissing = false;
    if (argument == qsName) {
        if (index + 1 >= arguments.size()) {
            bMissing = true;
            return true;
        }
        qsValue = arguments.at(++index);
        return true;
    }
    if (argument.startsWith(qsName + QLatin1Char('='))) {
        qsValue = argument.mid(qsName.size() + 1);
        return true;
    }
    return false;
}

} // namespace

bool ParseTimeZone(const QString& qsText, QTimeZone& zone)
{
    // "utc+3" too: the time zone library would read it as a POSIX rule, whose sign is the other way
    // round (three hours west of UTC).
    static const QRegularExpression offsetPattern(QStringLiteral("^UTC([+-])(\\d{1,2})(?::(\\d{2}))?$"),
                                                  QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = offsetPattern.match(qsText);
    if (match.hasMatch()) {
        const int nHours = match.captured(2).toInt();
        const int nMinutes = match.captured(3).isEmpty() ? 0 : match.captured(3).toInt();
        if (nMinutes >= 60)
            return false;
        const int nSeconds = (nHours * 3600 + nMinutes * 60) * (match.captured(1) == QLatin1String("-") ? -1 : 1);
        if (nSeconds < -kMaxOffsetSeconds || nSeconds > kMaxOffsetSeconds)
            return false;
        zone = QTimeZone(nSeconds);
        return zone.isValid();
    }
    if (qsText.isEmpty())
        return false;
    // Only the zone database's ids: anything else ("gmt+3", "XYZ-3") would be taken as a POSIX rule.
    if (!QTimeZone::isTimeZoneIdAvailable(qsText.toUtf8()))
        return false;
    const QTimeZone named(qsText.toUtf8());
    if (!named.isValid())
        return false;
    zone = QTimeZone(named.standardTimeOffset(QDateTime::currentDateTimeUtc()));
    return zone.isValid();
}

bool ParseJobOptions(const QStringList& arguments, bool bConvert, SJobOptions& options, QString& qsProblem)
{
    bool bOptionsEnded = false;
    for (int i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments.at(i);
        if (bOptionsEnded || !argument.startsWith(QLatin1Char('-')) || argument == QLatin1String("-")) {
            options.slPaths << argument;
            continue;
        }
        if (argument == QLatin1String("--")) {
            bOptionsEnded = true;
            continue;
        }
        if (argument == QLatin1String("--json")) {
            options.bJson = true;
            continue;
        }
        if (bConvert && (argument == QLatin1String("--skip-existing") || argument == QLatin1String("--overwrite"))) {
            options.bSkipExisting = argument == QLatin1String("--skip-existing");
            continue;
        }
        if (argument == QLatin1String("-h") || argument == QLatin1String("--help")) {
            options.bHelp = true;
            continue;
        }

        QString qsValue;
        bool bMissing = false;
        if (TakeValue(arguments, i, QStringLiteral("--tz"), qsValue, bMissing)) {
            if (bMissing) {
                qsProblem = QStringLiteral("option '--tz' needs a time zone");
                return false;
            }
            if (!ParseTimeZone(qsValue, options.zone)) {
                qsProblem = QStringLiteral("unknown time zone '%1' (an IANA id such as Europe/Moscow, or UTC+H, UTC-H)")
                                .arg(qsValue);
                return false;
            }
            options.qsZoneText = qsValue;
            continue;
        }
        if (bConvert && TakeValue(arguments, i, QStringLiteral("--out"), qsValue, bMissing)) {
            if (bMissing || qsValue.isEmpty()) {
                qsProblem = QStringLiteral("option '--out' needs a folder");
                return false;
            }
            options.qsOutDir = qsValue;
            continue;
        }
        if (bConvert && TakeValue(arguments, i, QStringLiteral("--only"), qsValue, bMissing)) {
            if (bMissing || qsValue.isEmpty()) {
                qsProblem = QStringLiteral("option '--only' needs a day key (as 'kelmconv scan' lists them)");
                return false;
            }
            options.slOnlyKeys << qsValue;
            continue;
        }
        qsProblem = QStringLiteral("unknown option '%1'").arg(argument);
        return false;
    }
    if (!options.bHelp && options.slPaths.isEmpty()) {
        qsProblem = QStringLiteral("no file or folder given");
        return false;
    }
    return true;
}

QStringList AbsolutePaths(const QStringList& slPaths)
{
    QStringList slAbsolute;
    for (const QString& qsPath : slPaths)
        slAbsolute << QDir::cleanPath(QFileInfo(qsPath).absoluteFilePath());
    return slAbsolute;
}

bool IsTerminal(const QTextStream& stream)
{
    // QTextStream(FILE*) writes through a QFile on that stream; a string has no device at all.
    const QFile* pFile = qobject_cast<const QFile*>(stream.device());
    return pFile && pFile->handle() >= 0 && ::isatty(pFile->handle()) == 1;
}

QString OffsetText(int nOffsetSeconds)
{
    if (nOffsetSeconds % 3600 == 0)
        return KcTime::CTimeUtil::utcOffsetText(nOffsetSeconds / 3600);
    const int nAbsolute = nOffsetSeconds < 0 ? -nOffsetSeconds : nOffsetSeconds;
    return QStringLiteral("UTC%1%2:%3")
        .arg(nOffsetSeconds < 0 ? QLatin1Char('-') : QLatin1Char('+'))
        .arg(nAbsolute / 3600)
        .arg((nAbsolute % 3600) / 60, 2, 10, QLatin1Char('0'));
}

} // namespace KcCli
