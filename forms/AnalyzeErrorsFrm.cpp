#include "forms/AnalyzeErrorsFrm.h"

#include "core/Log.h"
#include "forms/Look.h"
#include "forms/PageKeys.h"
#include "forms/Support.h"
#include "ui_AnalyzeErrorsFrm.h"

#include <QCoreApplication>
#include <QScrollBar>

namespace KcForms {

namespace {

const QString kBlackListHead = QStringLiteral(
    "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.0//EN\" \"http://www.w3.org/TR/REC-html40/strict.dtd\">\n"
    "<html><head><meta name=\"qrichtext\" content=\"1\" /><style type=\"text/css\">\n"
    "p, li { white-space: pre-wrap; }\n"
    "</style></head><body style=\" font-family:'Arial'; font-size:12pt; font-weight:400; font-style:normal;\">\n");
const QString kBlackListEntry =
    QStringLiteral("<p align=\"center\" style=\" margin-top:0px; margin-bottom:0px; margin-left:0px; margin-right:0px;"
                   " -qt-block-indent:0; text-indent:0px;\">%1</p>\n");
// A file with its reason: the name right-aligned against the middle, the reason greyed beside it.
const QString kReasonsTableHead = QStringLiteral("<table align=\"center\" cellspacing=\"0\" cellpadding=\"3\">\n");
const QString kReasonsTableRow = QStringLiteral(
    "<tr><td align=\"right\" style=\" padding-right:16px;\">%1</td><td style=\" color:#909090;\">%2</td></tr>\n");
const QString kReasonsTableTail = QStringLiteral("</table>\n");
const QString kBlackListTail = QStringLiteral("</body></html>");

} // namespace

CAnalyzeErrorsFrm::CAnalyzeErrorsFrm(QWidget* pParent)
    : QDialog(pParent),
      m_ui(std::make_unique<Ui::kelmCnvrAnalyzeErrorsFrm>())
{
    Look::initResources();
    m_ui->setupUi(this);

    m_ui->lbSupportEMail->setText(kSupportEMail);

    Look::setFont(m_ui->lbSupportPrompt, Look::Font::SupportRow);
    Look::setFont(m_ui->lbSupportEMail, Look::Font::SupportRow);
    Look::setFont(m_ui->lbMsgTextTitle, Look::Font::LargeTitle);
    Look::setFont(m_ui->pteMsgTextDetails, Look::Font::DetailsText);
    Look::setFont(m_ui->pbCancel, Look::Font::Button10);
    Look::setFont(m_ui->pbContinue, Look::Font::Button10);

    Look::applyStyle(this, Look::Style::PageBackground);
    Look::applyStyle(m_ui->lbSupportPrompt, Look::Style::SupportPrompt);
    Look::applyStyle(m_ui->lbSupportEMail, Look::Style::SupportAddress);
    Look::applyStyle(m_ui->lbMsgTextTitle, Look::Style::TitleText);
    Look::applyStyle(m_ui->pteMsgTextDetails, Look::Style::DetailsText);
    Look::applyStyle(m_ui->frmStatusPane, Look::Style::StatusPane);
    Look::applyStyle(m_ui->pbCancel, Look::Style::CancelTextButton);
    Look::applyStyle(m_ui->pbContinue, Look::Style::LargePrimaryButton);
    m_ui->pteMsgTextDetails->verticalScrollBar()->setStyle(Look::fusionStyle());

    Look::addLetterSpacing(m_ui->pbCancel);
    Look::addLetterSpacing(m_ui->pbContinue);

    PageKeys::keepFocusOnPage(this);
    m_ui->pteMsgTextDetails->setFocusPolicy(Qt::NoFocus);

    connect(m_ui->pbContinue, &QPushButton::clicked, this, &CAnalyzeErrorsFrm::onContinueClicked);
    connect(m_ui->pbCancel, &QPushButton::clicked, this, &CAnalyzeErrorsFrm::onCancelAndRestart);
}

void CAnalyzeErrorsFrm::keyPressEvent(QKeyEvent* pEvent)
{
    if (PageKeys::isEnter(pEvent) && PageKeys::clickIfOffered(m_ui->pbContinue))
        return;
    if (PageKeys::isPlain(pEvent, Qt::Key_Escape) && PageKeys::clickIfOffered(m_ui->pbCancel))
        return;
    QWidget::keyPressEvent(pEvent);
}

CAnalyzeErrorsFrm::~CAnalyzeErrorsFrm() = default;

void CAnalyzeErrorsFrm::setNextForm(KcUserDlgForm ufNextForm)
{
    m_ufNextForm = ufNextForm;
    if (ufNextForm != ufStartFrm) {
        m_ui->pbCancel->show();
        m_ui->pbContinue->setText(QCoreApplication::translate("kelmCnvrAnalyzeErrorsFrm", "CONTINUE"));
    } else {
        // Nothing to go on with: a single button back to the start.
        m_ui->pbCancel->hide();
        m_ui->pbContinue->setText(QCoreApplication::translate("kelmCnvrAnalyzeErrorsFrm", "RESTART"));
    }
}

void CAnalyzeErrorsFrm::setErrorTitle(const QString& qsTitle)
{
    m_ui->lbMsgTextTitle->setText(qsTitle);
}

void CAnalyzeErrorsFrm::setErrorDetails(const QString& qsText)
{
    m_ui->errorTextLayout->setStretch(m_nDetailsStretchIndex, m_nPlainTextStretch);
    m_ui->pteMsgTextDetails->setPlainText(qsText);
}

void CAnalyzeErrorsFrm::setBlackList(const QStringList& slBlackList, const QStringList& slReasons)
{
    if (slBlackList.isEmpty()) {
        KcLog::logWrite(KcLog::ERROR, QStringLiteral("Main"),
                        QStringLiteral("Internal error: attempt to display an empty black list in a dialog form"));
        return;
    }
    m_ui->errorTextLayout->setStretch(m_nDetailsStretchIndex, m_nBlackListStretch);

    QString qsHtml = kBlackListHead;
    // The entries are file names and the engine's messages: shown as they are, never read as markup.
    if (slReasons.size() == slBlackList.size()) {
        qsHtml += kReasonsTableHead;
        for (int i = 0; i < slBlackList.size(); ++i)
            qsHtml += kReasonsTableRow.arg(slBlackList[i].toHtmlEscaped(), slReasons[i].toHtmlEscaped());
        qsHtml += kReasonsTableTail;
    } else {
        for (const QString& qsEntry : slBlackList)
            qsHtml += kBlackListEntry.arg(qsEntry.toHtmlEscaped());
    }
    qsHtml += kBlackListTail;
    m_ui->pteMsgTextDetails->setHtml(qsHtml);
}

void CAnalyzeErrorsFrm::onContinueClicked()
{
    switch (m_ufNextForm) {
    case ufVideosFoundFrm:
        emit activateVideosFoundFrm();
        break;
    case ufVideosConvertedFrm:
        emit activateVideosConvertedFrm();
        break;
    default:
        emit activateStartFrm();
        break;
    }
}

void CAnalyzeErrorsFrm::onCancelAndRestart()
{
    emit activateStartFrm();
}

} // namespace KcForms
