#include "forms/DateVisualPane.h"

#include "core/DisplayText.h"
#include "core/TimeUtil.h"
#include "forms/DateVisualPaneCenter.h"
#include "forms/DateVisualPaneTimeLine.h"
#include "forms/Look.h"
#include "workers/DayTimeline.h"

#include <QDateTime>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

#include <vector>

namespace KcForms {

namespace {

// Less missing time than this is not worth a mention.
constexpr quint64 kLostTimeThreshold = 10;

QDateTime utcDateTime(quint64 ullSeconds)
{
    // The fragment's times are already local; read them as UTC to avoid any further shift.
    return QDateTime::fromSecsSinceEpoch(qint64(ullSeconds), Qt::UTC);
}

} // namespace

CDateVisualPane::CDateVisualPane(QWidget* pParent)
    : QWidget(pParent)
{
    Look::initResources();
    setFixedSize(800, 134);

    m_pPlate = new CDateVisualPaneCenter(this);
    m_pPlate->setGeometry(0, 10, 750, 125);

    m_pDeleteButton = new QPushButton(QStringLiteral("X  ") + tr("Delete"), this);
    m_pDeleteButton->setObjectName(QStringLiteral("button_del"));
    m_pDeleteButton->setGeometry(640, 0, 85, 26);

    m_pRestoreButton = new QPushButton(tr("Restore"), this);
    m_pRestoreButton->setObjectName(QStringLiteral("button_restore"));
    m_pRestoreButton->setGeometry(637, 0, 102, 26);

    m_pErrorLabel = new QLabel(tr("Error"), this);
    m_pErrorLabel->setObjectName(QStringLiteral("label_error"));
    m_pErrorLabel->setGeometry(306, 2, 63, 16);
    m_pErrorLabel->setAlignment(Qt::AlignCenter);

    // A clicked button would take the focus, and the keys, away from the page.
    m_pDeleteButton->setFocusPolicy(Qt::NoFocus);
    m_pRestoreButton->setFocusPolicy(Qt::NoFocus);
    connect(m_pDeleteButton, &QPushButton::clicked, this, &CDateVisualPane::onDeleteButtonPressed);
    connect(m_pRestoreButton, &QPushButton::clicked, this, &CDateVisualPane::onRestoreButtonPressed);

    setState(stReady);
}

void CDateVisualPane::setNumber(int nNumber)
{
    m_pPlate->numberLabel()->setText(QString::number(nNumber));
}

void CDateVisualPane::setData(const KcWorkers::SExportEntry& entry)
{
    const KELMNameSpace::SExportFragment& fragment = entry.fragment;

    m_pPlate->sizeLabel()->setText(KcCore::CDisplayText::size(fragment.estimatedSize));

    m_qsSrid = QString::fromStdWString(entry.srid);
    m_qsSubSourceKey = QString::fromStdWString(entry.subSourceKey);
    m_qsExportKey = QString::fromStdWString(KcWorkers::makeExportKey(entry));

    const quint64 ullStart = KcWorkers::truncateToUint32Seconds(fragment.startTime);
    const quint64 ullStop = KcWorkers::truncateToUint32Seconds(fragment.endTime);
    const QDateTime startDateTime = utcDateTime(ullStart);
    const QDateTime stopDateTime = utcDateTime(KcTime::CTimeUtil::roundUpToMinute(ullStop));

    // The same name the export gives the day's file (without the extension).
    const QLocale& locale = m_pPlate->dateLocale();
    m_pPlate->titleLabel()->setText(m_qsSrid + QLatin1Char('_') + QString::fromStdWString(entry.displayNumber)
                                    + locale.toString(startDateTime, QStringLiteral("_dd.MM.yy_hh.mm-"))
                                    + locale.toString(stopDateTime, QStringLiteral("hh.mm")));

    m_pPlate->timeLine()->clearSegments();
    m_pPlate->lostTimeLabel()->clear();
    m_pPlate->startLabel()->clear();
    m_pPlate->stopLabel()->clear();

    if (fragment.startTime > fragment.endTime) {
        m_pPlate->dateLabel()->setText(CDateVisualPaneCenter::tr("incorrect time value"));
        return;
    }
    m_pPlate->dateLabel()->setText(locale.toString(startDateTime.date(), QStringLiteral("dd MMMM yyyy")));
    m_pPlate->startLabel()->setText(startDateTime.toString(QStringLiteral("hh:mm")));
    m_pPlate->stopLabel()->setText(stopDateTime.toString(QStringLiteral("hh:mm")));

    const quint64 ullSpan = KcWorkers::truncateToUint32Seconds(fragment.endTime - fragment.startTime);
    showLostTime(ullStart, ullStop, ullSpan, entry);

    // A disabled plate shows its red darkened.
    if (!m_pPlate->isEnabled())
        m_pPlate->setPlateEnabled(false);
}

void CDateVisualPane::showLostTime(quint64 ullStart, quint64 ullStop, quint64 ullSpan,
                                   const KcWorkers::SExportEntry& entry)
{
    const std::vector<KELMNameSpace::SMediaPart>& parts = entry.fragment.videoParts;

    const quint64 ullLost = KcWorkers::lostSeconds(ullSpan, parts);
    if (ullLost < kLostTimeThreshold)
        return;

    m_pPlate->lostTimeLabel()->setText(CDateVisualPaneCenter::lostTimeText(ullLost, ullSpan));

    // One pixel of the line per cell.
    CDateVisualPaneTimeLine* pTimeLine = m_pPlate->timeLine();
    for (const KcWorkers::SGapSegment& gap :
         KcWorkers::gapSegments(ullStart, ullStop, ullSpan, parts, CDateVisualPaneTimeLine::kWidth))
        pTimeLine->addSegment(gap.first, gap.second);
}

void CDateVisualPane::setState(int nState)
{
    m_pPlate->setPlateEnabled(true);
    switch (nState) {
    case stReady:
        m_pPlate->setLook(Look::Style::PlateReady);
        m_pPlate->progressBar()->hide();
        break;
    case stNotExported:
        m_pPlate->setPlateEnabled(false);
        m_pPlate->setLook(Look::Style::PlateNotExported);
        m_pPlate->progressBar()->hide();
        break;
    case stExporting:
        m_pPlate->setLook(std::nullopt);
        m_pPlate->progressBar()->raise();
        Look::setVisibleStyled(m_pPlate->progressBar(), Look::Style::PaneProgressBar, true);
        break;
    case stExported:
        m_pPlate->setLook(Look::Style::PlateExported);
        m_pPlate->progressBar()->hide();
        break;
    case stFailed:
        m_pPlate->setLook(Look::Style::PlateFailed);
        m_pPlate->progressBar()->hide();
        break;
    default:
        break;
    }

    m_nState = nState;
    m_bExportEnabled = true;
    m_pDeleteButton->hide();
    m_pRestoreButton->hide();
    Look::setVisibleStyled(m_pErrorLabel, Look::Style::PaneErrorLabel, nState == stFailed);
}

void CDateVisualPane::setProgressValue(int nValue)
{
    m_pPlate->progressBar()->setValue(nValue);
}

void CDateVisualPane::onDeleteButtonPressed()
{
    m_pDeleteButton->hide();
    Look::setVisibleStyled(m_pRestoreButton, Look::Style::PaneRestoreButton, true);
    setExportEnabled(false);
    emit exportEnabled(m_qsExportKey, false);
}

void CDateVisualPane::onRestoreButtonPressed()
{
    m_pRestoreButton->hide();
    Look::setVisibleStyled(m_pDeleteButton, Look::Style::PaneDeleteButton, true);
    setExportEnabled(true);
    emit exportEnabled(m_qsExportKey, true);
}

void CDateVisualPane::setExportEnabled(bool bEnabled)
{
    m_bExportEnabled = bEnabled;
    m_pPlate->setPlateEnabled(bEnabled);
}

QPushButton* CDateVisualPane::hoverButton() const
{
    return m_bExportEnabled ? m_pDeleteButton : m_pRestoreButton;
}

void CDateVisualPane::setHovered(bool bHovered)
{
    // Days can be taken out or put back only before the export.
    if (m_nState == stReady)
        Look::setVisibleStyled(
            hoverButton(), m_bExportEnabled ? Look::Style::PaneDeleteButton : Look::Style::PaneRestoreButton, bHovered);
}

void CDateVisualPane::enterEvent(QEvent* pEvent)
{
    setHovered(true);
    QWidget::enterEvent(pEvent);
}

void CDateVisualPane::leaveEvent(QEvent* pEvent)
{
    setHovered(false);
    QWidget::leaveEvent(pEvent);
}

} // namespace KcForms
