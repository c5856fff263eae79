#include "forms/SridVisualHeader.h"

#include "forms/Look.h"
#include "ui_SridVisualHeader.h"

namespace KcForms {

CSridVisualHeader::CSridVisualHeader(QWidget* pParent, const QString& qsText)
    : QFrame(pParent),
      m_ui(std::make_unique<Ui::CSridVisualHeader>())
{
    m_ui->setupUi(this);
    m_ui->lbHdrText->setText(qsText);

    // Its colours come from the list's sheet (Style::DatePanesContents).
    Look::setFont(m_ui->lbHdrText, Look::Font::CameraHeader);
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
