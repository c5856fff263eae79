#include "cli/ProgressPrinter.h"

#include "workers/WorkManager.h"

#include <QFile>

#include <cmath>

#include <sys/ioctl.h>
#include <unistd.h>

namespace KcCli {

namespace {

constexpr int kBarWidth = 30;
constexpr int kMinBarWidth = 10;
// What the line needs beside the bar to say something useful.
constexpr int kTextBesideBar = 50;

// The width of the terminal behind the stream, 0 when it is none or does not say.
int TerminalColumns(const QTextStream& stream)
{
    const QFile* pFile = qobject_cast<const QFile*>(stream.device());
    struct winsize size {};
    if (!pFile || pFile->handle() < 0 || ::ioctl(pFile->handle(), TIOCGWINSZ, &size) != 0)
        return 0;
    return size.ws_col;
}

} // namespace

QString ProgressBarText(int nPercent, int nWidth)
{
    const int nClamped = qBound(0, nPercent, 100);
    const int nFilled = nClamped * nWidth / 100;
    return QLatin1Char('[') + QString(nFilled, QLatin1Char('#')) + QString(nWidth - nFilled, QLatin1Char('.'))
           + QStringLiteral("] %1%").arg(nClamped, 3);
}

QString RemainingTimeText(double fSeconds)
{
    if (!(fSeconds >= 0))
        return QStringLiteral("--:--");
    const qint64 nSeconds = qint64(std::ceil(fSeconds));
    const qint64 nHours = nSeconds / 3600;
    const qint64 nMinutes = (nSeconds / 60) % 60;
    const qint64 nRest = nSeconds % 60;
    if (nHours > 0)
        return QStringLiteral("%1:%2:%3")
            .arg(nHours)
            .arg(nMinutes, 2, 10, QLatin1Char('0'))
            .arg(nRest, 2, 10, QLatin1Char('0'));
    return QStringLiteral("%1:%2").arg(nMinutes).arg(nRest, 2, 10, QLatin1Char('0'));
}

CProgressPrinter::CProgressPrinter(KcWorkers::CWorkManager& manager, QTextStream& err, bool bTerminal,
                                   EProgressMode mode, QObject* pParent)
    : QObject(pParent),
      m_err(err),
      m_bTerminal(bTerminal),
      m_mode(mode),
      m_nColumns(bTerminal ? TerminalColumns(err) : 0)
{
    using KcWorkers::CWorkManager;
    connect(&manager, &CWorkManager::updateProgressMessage, this, &CProgressPrinter::onProgressMessage);
    connect(&manager, &CWorkManager::updateExportProgressMessage, this, &CProgressPrinter::onProgressMessage);
    connect(&manager, &CWorkManager::updateProgressBar, this, &CProgressPrinter::onProgressBar);
    connect(&manager, &CWorkManager::exportingProgress, this, &CProgressPrinter::onExportingProgress);
    connect(&manager, &CWorkManager::fragmentExportStarted, this, &CProgressPrinter::onFragmentStarted);
    connect(&manager, &CWorkManager::exportError, this, &CProgressPrinter::onExportError);
    connect(&manager, &CWorkManager::fragmentExportOutcome, this, &CProgressPrinter::onFragmentOutcome);
    connect(&manager, &CWorkManager::fileError, this, &CProgressPrinter::onFileError);
    connect(&manager, &CWorkManager::pathSkipped, this, [this](QString qsPath, QString qsReason) {
        printLine(QStringLiteral("kelmconv: skipped: %1: %2").arg(qsPath, qsReason));
    });
}

CProgressPrinter::~CProgressPrinter()
{
    clearLine();
}

void CProgressPrinter::setDays(const QMap<ulong, SPlannedDay>& days)
{
    m_days = days;
}

void CProgressPrinter::printLine(const QString& qsLine)
{
    clearLine();
    m_err << qsLine << "\n";
    m_err.flush();
}

void CProgressPrinter::clearLine()
{
    if (!m_bLineShown)
        return;
    m_err << "\r\x1b[K";
    m_err.flush();
    m_bLineShown = false;
}

QString CProgressPrinter::fitToWidth(const QString& qsLine, int nColumns)
{
    // The last column stays free: writing into it makes some terminals wrap at once.
    if (nColumns <= 0 || qsLine.size() < nColumns)
        return qsLine;
    return qsLine.left(qMax(nColumns - 1, 0));
}

int CProgressPrinter::barWidth() const
{
    if (m_nColumns <= 0)
        return kBarWidth;
    return qBound(kMinBarWidth, m_nColumns - kTextBesideBar, kBarWidth);
}

void CProgressPrinter::redraw()
{
    if (!m_bTerminal)
        return;
    m_nColumns = TerminalColumns(m_err);
    if (!m_bLineShown)
        return;
    m_qsShown.clear();
    if (m_bExporting)
        drawExport();
    else
        drawStatus();
}

void CProgressPrinter::draw(const QString& qsFullLine)
{
    if (!m_bTerminal || m_mode == EProgressMode::Quiet)
        return;
    // The run reports far more often than the line can change.
    const QString qsLine = fitToWidth(qsFullLine, m_nColumns);
    if (m_bLineShown && qsLine == m_qsShown)
        return;
    m_err << "\r" << qsLine << "\x1b[K";
    m_err.flush();
    m_bLineShown = true;
    m_qsShown = qsLine;
}

QString CProgressPrinter::dayText(ulong ulBatchId) const
{
    const auto it = m_days.constFind(ulBatchId);
    if (it == m_days.constEnd())
        return QStringLiteral("day %1").arg(ulBatchId);
    return QStringLiteral("day %1/%2 %3").arg(it->nIndex).arg(m_days.size()).arg(it->qsLabel);
}

void CProgressPrinter::drawStatus()
{
    // The manager clears its status with a single blank.
    const QString qsMessage = m_qsMessage.trimmed();
    if (qsMessage.isEmpty() && m_nPercent < 0)
        return;
    if (m_nPercent < 0)
        draw(qsMessage);
    else
        draw(ProgressBarText(m_nPercent, barWidth()) + QStringLiteral("  ") + qsMessage);
}

void CProgressPrinter::drawExport()
{
    draw(ProgressBarText(m_nPercent < 0 ? 0 : m_nPercent, barWidth()) + QStringLiteral("  ") + dayText(m_ulBatch)
         + QStringLiteral("  ") + RemainingTimeText(m_fEstimate) + QStringLiteral(" left"));
}

void CProgressPrinter::onProgressMessage(QString qsMessage)
{
    if (m_bExporting)
        return;
    m_qsMessage = qsMessage;
    drawStatus();
}

void CProgressPrinter::onProgressBar(int nValue)
{
    if (m_bExporting)
        return;
    m_nPercent = nValue;
    drawStatus();
}

void CProgressPrinter::onExportingProgress(int nPercent, ulong ulFragmentID, ulong, ulong, double fEstimatedTime)
{
    m_bExporting = true;
    m_nPercent = nPercent;
    if (ulFragmentID != 0)
        m_ulBatch = ulFragmentID;
    m_fEstimate = fEstimatedTime;
    drawExport();
}

void CProgressPrinter::onFragmentStarted(ulong ulFragmentID)
{
    if (!m_bExporting) {
        m_bExporting = true;
        m_nPercent = 0;
        m_fEstimate = -1;
    }
    m_ulBatch = ulFragmentID;
    drawExport();
}

// "done", "done with problems: <first reason>" or "not created: <reason>", told right before the
// day ends; on a terminal, where the bar shows the progress, only the days that did not come out
// whole get a line.
void CProgressPrinter::onFragmentOutcome(ulong ulFragmentID, int nOutcome, QString qsReason)
{
    const bool bWhole = nOutcome == KcWorkers::CWorkManager::doCreated;
    if (bWhole && (m_mode == EProgressMode::Quiet || (m_bTerminal && m_mode != EProgressMode::Verbose)))
        return;
    const auto it = m_days.constFind(ulFragmentID);
    const QString qsName = it == m_days.constEnd() ? QString() : QLatin1Char(' ') + it->qsFileName;
    QString qsStatus = QStringLiteral("done");
    if (nOutcome == KcWorkers::CWorkManager::doCreatedWithProblems)
        qsStatus = QStringLiteral("done with problems: ") + qsReason;
    else if (nOutcome == KcWorkers::CWorkManager::doNotCreated)
        qsStatus = QStringLiteral("not created: ") + qsReason;
    printLine(QStringLiteral("[%1]%2 %3").arg(dayText(ulFragmentID), qsName, qsStatus));
    if (m_bTerminal && m_bExporting)
        drawExport();
}

void CProgressPrinter::onExportError(ulong, QString qsError, QString qsFileName, int nCode)
{
    QString qsLine = QStringLiteral("kelmconv convert: error %1: %2").arg(nCode).arg(qsError);
    if (!qsFileName.isEmpty())
        qsLine += QStringLiteral(" (%1)").arg(qsFileName);
    printLine(qsLine);
    if (m_bTerminal && m_bExporting)
        drawExport();
}

// The analysis' file reports are printed with its results; during the export a file that went
// missing or was cut short is news.
void CProgressPrinter::onFileError(ulong, QString qsFileName, QString qsError, int nCode)
{
    if (!m_bExporting)
        return;
    printLine(QStringLiteral("kelmconv convert: file error %1: %2 (%3)").arg(nCode).arg(qsError, qsFileName));
    if (m_bTerminal)
        drawExport();
}

} // namespace KcCli
