#include "forms/AnalyzeFilesFrm.h"

#include "forms/Look.h"
#include "forms/PageKeys.h"
#include "forms/Support.h"
#include "ui_AnalyzeFilesFrm.h"

#include <QCoreApplication>

namespace KcForms {

CAnalyzeFilesFrm::CAnalyzeFilesFrm(QWidget* pParent)
    : QDialog(pParent),
      m_ui(std::make_unique<Ui::kelmCnvrAnalyzeFrm>())
{
    Look::initResources();
    m_ui->setupUi(this);

    m_ui->lbSupportEMail->setText(kSupportEMail);
    m_ui->tbCancel->setIcon(Look::hoverIcon(Look::Image::CancelBtnNormal, Look::Image::CancelBtnHovered));

    Look::setFont(m_ui->lbSupportPrompt, Look::Font::SupportRow);
    Look::setFont(m_ui->lbSupportEMail, Look::Font::SupportRow);
    Look::setFont(m_ui->lbCurrentActionMsg, Look::Font::LargeTitle);

    Look::applyStyle(this, Look::Style::PageBackground);
    Look::applyStyle(m_ui->lbSupportPrompt, Look::Style::SupportPrompt);
    Look::applyStyle(m_ui->lbSupportEMail, Look::Style::SupportAddress);
    Look::applyStyle(m_ui->lbCurrentActionMsg, Look::Style::TitleText);
    Look::applyStyle(m_ui->progressBar, Look::Style::ThinProgressBar);
    Look::applyStyle(m_ui->tbCancel, Look::Style::FlatToolButton);

    m_ui->tbCancel->setToolTip(QCoreApplication::translate("kelmCnvrAnalyzeFrm", "Cancel"));
    PageKeys::keepFocusOnPage(this);

    connect(m_ui->tbCancel, &QToolButton::clicked, this, &CAnalyzeFilesFrm::onCancelClicked);
}

void CAnalyzeFilesFrm::keyPressEvent(QKeyEvent* pEvent)
{
    if (PageKeys::isPlain(pEvent, Qt::Key_Escape) && PageKeys::clickIfOffered(m_ui->tbCancel))
        return;
    QWidget::keyPressEvent(pEvent);
}

CAnalyzeFilesFrm::~CAnalyzeFilesFrm() = default;

void CAnalyzeFilesFrm::onCancelClicked()
{
    emit cancelProcessing();
}

void CAnalyzeFilesFrm::onPrepareAnalyzing()
{
    showMessage(QCoreApplication::translate("kelmCnvrAnalyzeFrm", "Starting .kelm files analyzer..."));
}

void CAnalyzeFilesFrm::onAnalyzingStarted()
{
    showMessage(QCoreApplication::translate("kelmCnvrAnalyzeFrm", "Analyzing .kelm files..."));
}

void CAnalyzeFilesFrm::onUpdateProgressMessage(QString qsMessage)
{
    showMessage(qsMessage);
}

void CAnalyzeFilesFrm::onUpdateProgressBar(int nValue)
{
    m_ui->progressBar->setValue(nValue);
}

void CAnalyzeFilesFrm::showMessage(const QString& qsMessage)
{
    m_ui->lbCurrentActionMsg->setText(qsMessage);
    // Messages arrive in bursts while the GUI thread is busy; show each at once.
    m_ui->lbCurrentActionMsg->repaint();
}

} // namespace KcForms
