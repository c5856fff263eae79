#include "cli/JobOptions.h"

#include "core/TimeUtil.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
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

// One parser per subcommand; the option objects outlive it because QCommandLineParser keeps
// copies of them.
struct SOptionSet {
    QCommandLineOption help{{QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("show this help and exit")};
    QCommandLineOption json{QStringLiteral("json"), QStringLiteral("print the result as JSON on the output")};
    QCommandLineOption tz{
        QStringLiteral("tz"),
        QStringLiteral("local time of the days and names: an IANA id (Europe/Moscow) or UTC+H / UTC-H; its "
                       "standard offset applies all year. Default: the system's zone"),
        QStringLiteral("ZONE")};
    QCommandLineOption quiet{{QStringLiteral("q"), QStringLiteral("quiet")},
                             QStringLiteral("no progress on the error stream, only problems")};
    QCommandLineOption verbose{{QStringLiteral("v"), QStringLiteral("verbose")},
                               QStringLiteral("a line for every file written, also on a terminal")};
    QCommandLineOption out{{QStringLiteral("o"), QStringLiteral("out")},
                           QStringLiteral("the export location. Default: the desktop"),
                           QStringLiteral("DIR")};
    QCommandLineOption only{QStringLiteral("only"),
                            QStringLiteral("export only this day (a key as 'kelmconv scan' lists it); may be repeated"),
                            QStringLiteral("KEY")};
    QCommandLineOption skipExisting{
        QStringLiteral("skip-existing"),
        QStringLiteral("leave a day alone whose MP4 file is already there (it counts as done), so that an "
                       "interrupted batch can be resumed")};
    QCommandLineOption overwrite{QStringLiteral("overwrite"),
                                 QStringLiteral("replace the MP4 file of a day that is already there (the default)")};

    void addTo(QCommandLineParser& parser, ECommandKind kind) const
    {
        parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsCompactedShortOptions);
        parser.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsOptions);
        parser.addOption(help);
        if (kind != ECommandKind::Info) {
            parser.addOption(tz);
            if (kind == ECommandKind::Convert) {
                parser.addOption(out);
                parser.addOption(only);
                parser.addOption(skipExisting);
                parser.addOption(overwrite);
            }
            parser.addOption(quiet);
            parser.addOption(verbose);
        }
        parser.addOption(json);
    }
};

// QCommandLineParser ends its messages with a full stop; ours do not.
QString ProblemText(const QString& qsError)
{
    QString qsText = qsError.trimmed();
    if (qsText.endsWith(QLatin1Char('.')))
        qsText.chop(1);
    return qsText.isEmpty() ? qsText : qsText.at(0).toLower() + qsText.mid(1);
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

bool ParseCommandOptions(ECommandKind kind, const QStringList& arguments, SJobOptions& options, QString& qsProblem)
{
    const SOptionSet set;
    QCommandLineParser parser;
    set.addTo(parser, kind);
    // The parser wants the program's name first.
    if (!parser.parse(QStringList{QStringLiteral("kelmconv")} + arguments)) {
        qsProblem = ProblemText(parser.errorText());
        return false;
    }
    options.bHelp = parser.isSet(set.help);
    options.bJson = parser.isSet(set.json);
    options.slPaths = parser.positionalArguments();
    if (options.bHelp)
        return true;

    if (kind != ECommandKind::Info) {
        if (parser.isSet(set.quiet) && parser.isSet(set.verbose)) {
            qsProblem = QStringLiteral("options '--quiet' and '--verbose' exclude each other");
            return false;
        }
        if (parser.isSet(set.quiet))
            options.progress = EProgressMode::Quiet;
        else if (parser.isSet(set.verbose))
            options.progress = EProgressMode::Verbose;
        if (parser.isSet(set.tz)) {
            const QString qsValue = parser.value(set.tz); // the last one given
            if (!ParseTimeZone(qsValue, options.zone)) {
                qsProblem = QStringLiteral("unknown time zone '%1' (an IANA id such as Europe/Moscow, or UTC+H, UTC-H)")
                                .arg(qsValue);
                return false;
            }
            options.qsZoneText = qsValue;
        }
    }
    if (kind == ECommandKind::Convert) {
        if (parser.isSet(set.out)) {
            options.qsOutDir = parser.value(set.out);
            if (options.qsOutDir.isEmpty()) {
                qsProblem = QStringLiteral("option '--out' needs a folder");
                return false;
            }
        }
        if (parser.isSet(set.skipExisting) && parser.isSet(set.overwrite)) {
            qsProblem = QStringLiteral("options '--skip-existing' and '--overwrite' exclude each other");
            return false;
        }
        options.bSkipExisting = parser.isSet(set.skipExisting);
        options.slOnlyKeys = parser.values(set.only);
        if (options.slOnlyKeys.contains(QString())) {
            qsProblem = QStringLiteral("option '--only' needs a day key (as 'kelmconv scan' lists them)");
            return false;
        }
    }
    if (options.slPaths.isEmpty()) {
        qsProblem =
            kind == ECommandKind::Info ? QStringLiteral("no file given") : QStringLiteral("no file or folder given");
        return false;
    }
    return true;
}

bool ParseJobOptions(const QStringList& arguments, bool bConvert, SJobOptions& options, QString& qsProblem)
{
    return ParseCommandOptions(bConvert ? ECommandKind::Convert : ECommandKind::Scan, arguments, options, qsProblem);
}

QString OptionsHelp(ECommandKind kind)
{
    const SOptionSet set;
    QCommandLineParser parser;
    set.addTo(parser, kind);
    // The parser's own text starts with a usage line naming the running executable; ours is
    // printed before it.
    const QString qsText = parser.helpText();
    const int nOptions = qsText.indexOf(QStringLiteral("Options:"));
    return nOptions < 0 ? qsText : qsText.mid(nOptions);
}

bool AsksForJson(const QStringList& arguments)
{
    for (const QString& qsArgument : arguments) {
        if (qsArgument == QLatin1String("--"))
            return false;
        if (qsArgument == QLatin1String("--json"))
            return true;
    }
    return false;
}

QStringList ExistingPaths(const QStringList& slPaths, QStringList& slMissing)
{
    QStringList slExisting;
    for (const QString& qsPath : slPaths) {
        if (QFileInfo::exists(qsPath))
            slExisting << qsPath;
        else
            slMissing << qsPath;
    }
    return slExisting;
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
