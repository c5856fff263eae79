#include "cli/AppLogScope.h"

#include "cli/JobOptions.h"
#include "core/Log.h"
#include "core/TimeUtil.h"

#include <QCoreApplication>
#include <QDateTime>

namespace KcCli {

namespace {

const QString kTagMain = QStringLiteral("Main");

} // namespace

CAppLogScope::CAppLogScope(const QStringList& slCommandLine, const QString& qsZoneText, QTextStream& err)
{
    QString qsError;
    m_bOpen = KcLog::logOpenBesideOrInState(QCoreApplication::applicationDirPath(), qsError);
    if (!m_bOpen) {
        err << "kelmconv: warning: " << qsError << "\n";
        err.flush();
        return;
    }
    KcLog::logWriteSpaced(KcLog::INFO, kTagMain, QStringLiteral("Kelm Converter Application Started"));
    KcLog::logWrite(KcLog::INFO, kTagMain,
                    QStringLiteral("Command line: kelmconv %1").arg(slCommandLine.join(QLatin1Char(' '))));
    KcLog::logWrite(
        KcLog::INFO, kTagMain,
        QStringLiteral("Current time zone is %1").arg(OffsetText(KcTime::CTimeUtil::systemStandardOffsetNow())));
    if (!qsZoneText.isEmpty()) {
        const int nOffset = KcTime::CTimeUtil::selectedTimeZone().standardTimeOffset(QDateTime::currentDateTimeUtc());
        KcLog::logWrite(
            KcLog::INFO, kTagMain,
            QStringLiteral("Time zone selected on the command line: %1 (%2)").arg(qsZoneText, OffsetText(nOffset)));
    }
}

CAppLogScope::~CAppLogScope()
{
    if (!m_bOpen)
        return;
    KcLog::logWriteSpaced(KcLog::INFO, kTagMain, QStringLiteral("Exiting the Kelm Converter Application ..."));
    KcLog::logClose();
}

} // namespace KcCli
