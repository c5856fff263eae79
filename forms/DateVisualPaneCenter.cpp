#include "forms/DateVisualPaneCenter.h"

#include "core/DisplayText.h"
#include "forms/DateVisualPaneTimeLine.h"
#include "forms/Look.h"

#include <QLabel>
#include <QPainter>
#include <QProgressBar>

namespace KcForms {

CDateVisualPaneCenter::CDateVisualPaneCenter(QWidget* pParent)
    : QFrame(pParent),
      m_dateLocale(QLocale::Russian, QLocale::AnyCountry)
{
    setObjectName(QStringLiteral("plate_main"));

    m_pProgressBar = new QProgressBar(this);
    m_pProgressBar->setObjectName(QStringLiteral("progressbar"));
    m_pProgressBar->setGeometry(0, 0, 750, 125);
    m_pProgressBar->setTextVisible(false);
    m_pProgressBar->setValue(0);
    m_pProgressBar->hide();

    m_pNumber = newLabel("ch_number", QRect(20, 28, 25, 20));
    Look::applyPaneLabelLook(m_pNumber, Look::Style::PaneNumber);

    m_pTitle = newLabel("ch_name", QRect(50, 28, 700, 20));
    Look::applyPaneLabelLook(m_pTitle, Look::Style::PaneTitle);

    m_pLostTime = newLabel("ch_droptime", QRect(50, 56, 650, 12));
    Look::applyPaneLabelLook(m_pLostTime, Look::Style::PaneLostTime);
    m_pLostTime->setTextFormat(Qt::RichText);
    m_pLostTime->setAlignment(Qt::AlignCenter);

    m_pStart = newLabel("time_start", QRect(50, 56, 30, 12));
    Look::applyPaneLabelLook(m_pStart, Look::Style::PaneClock);

    m_pStop = newLabel("time_stop", QRect(670, 56, 30, 12));
    Look::applyPaneLabelLook(m_pStop, Look::Style::PaneClock);
    m_pStop->setAlignment(Qt::AlignRight | Qt::AlignVCenter);

    m_pTimeLine = new CDateVisualPaneTimeLine(this);
    m_pTimeLine->setGeometry(50, 49, CDateVisualPaneTimeLine::kWidth, CDateVisualPaneTimeLine::kHeight);

    m_pDate = newLabel("ch_data", QRect(50, 83, 110, 12));
    Look::applyPaneLabelLook(m_pDate, Look::Style::PaneSecondary);

    m_pSize = newLabel("ch_filesize", QRect(630, 83, 70, 12));
    Look::applyPaneLabelLook(m_pSize, Look::Style::PaneSecondary);
    m_pSize->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
}

QLabel* CDateVisualPaneCenter::newLabel(const char* pObjectName, const QRect& geometry)
{
    auto* pLabel = new QLabel(this);
    pLabel->setObjectName(QString::fromLatin1(pObjectName));
    pLabel->setGeometry(geometry);
    pLabel->setAutoFillBackground(false);
    return pLabel;
}

void CDateVisualPaneCenter::setPlateEnabled(bool bEnabled)
{
    setEnabled(bEnabled);

    // The figure's colour lives in the rich text, not in the label's style.
    static const QString kColourMark = QStringLiteral("color=#");
    QString qsText = m_pLostTime->text();
    const int nAt = qsText.indexOf(kColourMark);
    if (nAt < 0)
        return;
    qsText.replace(nAt + kColourMark.size(), Look::kLostTimeRgbHex.size(),
                   bEnabled ? Look::kLostTimeRgbHex : Look::kLostTimeRgbHexDisabled);
    m_pLostTime->setText(qsText);
}

void CDateVisualPaneCenter::setLook(std::optional<Look::Style> look)
{
    if (look == m_look)
        return;
    m_look = look;
    update();
}

void CDateVisualPaneCenter::paintEvent(QPaintEvent* pEvent)
{
    if (m_look) {
        QPainter painter(this);
        Look::drawPlate(painter, this, *m_look);
    }
    QFrame::paintEvent(pEvent);
}

QString CDateVisualPaneCenter::lostTimeText(quint64 ullLostSeconds, quint64 ullSpanSeconds)
{
    return QStringLiteral("<html>") + tr("Lost:") + QStringLiteral(" <font color=#") + Look::kLostTimeRgbHex
           + QStringLiteral(">") + KcCore::CDisplayText::duration(ullLostSeconds, false) + QStringLiteral("</font> ")
           + tr("from") + QStringLiteral(" ") + KcCore::CDisplayText::duration(ullSpanSeconds, true)
           + QStringLiteral("</html>");
}

} // namespace KcForms
