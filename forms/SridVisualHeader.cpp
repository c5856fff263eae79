#include "forms/SridVisualHeader.h"

#include "forms/Look.h"
#include "ui_SridVisualHeader.h"

#include <QPainter>

namespace KcForms {

CSridVisualHeader::CSridVisualHeader(QWidget* pParent, const QString& qsText)
    : QFrame(pParent),
      m_ui(std::make_unique<Ui::CSridVisualHeader>())
{
    m_ui->setupUi(this);
    m_ui->lbHdrText->setText(qsText);

    Look::applyHeaderLook(this, Look::Style::HeaderFrame);
    Look::applyHeaderLook(m_ui->lbHdrText, Look::Style::HeaderText);
    Look::setFont(m_ui->lbHdrText, Look::Font::CameraHeader);
}

void CSridVisualHeader::paintEvent(QPaintEvent* pEvent)
{
    QFrame::paintEvent(pEvent);
    // The line is the bottom border of lbHdrLineDecor, which itself draws nothing.
    const QRect line = m_ui->lbHdrLineDecor->geometry();
    QPainter painter(this);
    painter.fillRect(QRect(line.left(), line.bottom(), line.width(), 1), Look::Colour::HeaderUnderline);
}

void CSridVisualHeader::setText(const QString& qsText)
{
    m_ui->lbHdrText->setText(qsText);
}

CSridVisualHeader::~CSridVisualHeader() = default;

QString CSridVisualHeader::text() const
{
    return m_ui->lbHdrText->text();
}

} // namespace KcForms
