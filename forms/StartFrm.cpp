#include "forms/StartFrm.h"

#include "core/Log.h"
#include "forms/FolderDialog.h"
#include "forms/Look.h"
#include "forms/PageKeys.h"
#include "forms/Support.h"
#include "ui_StartFrm.h"

#include <algorithm>

#include <QDragEnterEvent>
#include <QDragLeaveEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QLabel>
#include <QMimeData>
#include <QUrl>

namespace KcForms {

namespace {
const QString kLogTag = QStringLiteral("Main");
}

CStartFrm::CStartFrm(QWidget* pParent)
    : QDialog(pParent),
      m_ui(std::make_unique<Ui::kelmCnvrStartFrm>())
{
    Look::initResources();
    m_ui->setupUi(this);

    m_ui->lbSupportEMail->setText(kSupportEMail);
    m_ui->lbKelmsIconHolder->setPixmap(QPixmap(Look::Image::KelmsIcon));

    Look::setFont(m_ui->lbSupportPrompt, Look::Font::SupportRow);
    Look::setFont(m_ui->lbSupportEMail, Look::Font::SupportRow);
    Look::setFont(m_ui->lbLoadFilesPrompt, Look::Font::LargeTitle);
    Look::setFont(m_ui->lbFilesFormatComment, Look::Font::FormatComment);
    Look::setFont(m_ui->pbBrowse, Look::Font::Button9);
    Look::setFont(m_ui->lbKelmsCounter, Look::Font::Counter);
    Look::setFont(m_ui->pbCancel, Look::Font::Button10);
    Look::setFont(m_ui->pbContinue, Look::Font::Button10);

    Look::applyStyle(m_ui->lbSupportPrompt, Look::Style::SupportPrompt);
    Look::applyStyle(m_ui->lbSupportEMail, Look::Style::SupportAddress);
    Look::applyStyle(m_ui->lbLoadFilesPrompt, Look::Style::TitleText);
    Look::applyStyle(m_ui->lbFilesFormatComment, Look::Style::FormatComment);
    Look::applyStyle(m_ui->pbBrowse, Look::Style::SmallPrimaryButtonOnPage);
    Look::applyStyle(m_ui->frmStatusPane, Look::Style::StatusPane);
    Look::applyStyle(m_ui->lbKelmsCounter, Look::Style::Counter);
    Look::applyStyle(m_ui->pbCancel, Look::Style::CancelTextButton);
    Look::applyStyle(m_ui->pbContinue, Look::Style::LargePrimaryButton);
    showIdleLook();

    Look::addLetterSpacing(m_ui->pbBrowse);
    Look::addLetterSpacing(m_ui->pbCancel);
    Look::addLetterSpacing(m_ui->pbContinue);

    m_ui->pbCancel->setEnabled(false);
    m_ui->pbContinue->setEnabled(false);
    PageKeys::keepFocusOnPage(this);

    // A long title (the Russian one) wraps inside the frame of the background instead of crossing it.
    m_ui->lbLoadFilesPrompt->setWordWrap(true);
    m_ui->verticalLayout->setAlignment(m_ui->lbLoadFilesPrompt, Qt::AlignHCenter);

    connect(m_ui->pbBrowse, &QPushButton::clicked, this, &CStartFrm::onBrowseClicked);
    connect(m_ui->pbCancel, &QPushButton::clicked, this, &CStartFrm::onCancelAndRestart);
    connect(m_ui->pbContinue, &QPushButton::clicked, this, &CStartFrm::onContinueClicked);
}

CStartFrm::~CStartFrm() = default;

void CStartFrm::onDisplayKelmFilesCounter(ulong ulNumKelmFilesTotal)
{
    m_ulFilesCounter = ulNumKelmFilesTotal;
    m_ui->lbKelmsCounter->setText(QString::number(ulNumKelmFilesTotal));
    const bool bAny = ulNumKelmFilesTotal != 0;
    m_ui->pbCancel->setEnabled(bAny);
    m_ui->pbContinue->setEnabled(bAny);
}

void CStartFrm::onBrowseClicked()
{
    QFileDialog dialog(nullptr, QString(), QString(), QString());
    dialog.setFileMode(QFileDialog::Directory);
    FolderDialog::prepare(dialog);

    // A drop onto the page behind the modal dialog would start a second search.
    setAcceptDrops(false);
    if (dialog.exec() == QDialog::Accepted) {
        const QStringList slSelected = dialog.selectedFiles();
        if (!slSelected.isEmpty()) {
            KcLog::logWrite(
                KcLog::INFO, kLogTag,
                QStringLiteral("%1 folder selected by user for searching via File dialog").arg(slSelected.first()));
            FolderDialog::setLastFolder(slSelected.first());
            handOver(slSelected);
        }
    }
    setAcceptDrops(true);
}

void CStartFrm::onContinueClicked()
{
    KcLog::logWrite(KcLog::INFO, kLogTag, QStringLiteral("Initiate .kelm files analyzing ..."));
    showIdleLook();
    emit activateKcAnalyzeFilesFrm();
    emit startKelmFilesAnalyzing();
}

void CStartFrm::onCancelAndRestart()
{
    // The work manager answers with the new count, which disables the buttons.
    emit clearKelmFilesFound();
}

void CStartFrm::dragEnterEvent(QDragEnterEvent* pEvent)
{
    if (!isAcceptableDrop(pEvent->mimeData()))
        return;
    showDroppingLook();
    pEvent->acceptProposedAction();
}

void CStartFrm::dragLeaveEvent(QDragLeaveEvent*)
{
    showIdleLook();
}

void CStartFrm::dropEvent(QDropEvent* pEvent)
{
    const QMimeData* pMimeData = pEvent->mimeData();
    if (!isAcceptableDrop(pMimeData))
        return;

    QStringList slPaths;
    for (const QUrl& url : pMimeData->urls())
        slPaths.append(url.toLocalFile());

    KcLog::logWrite(KcLog::INFO, kLogTag,
                    QStringLiteral("%1 file(s) or folder(s) dropped by user for searching").arg(slPaths.size()));
    handOver(slPaths);
}

void CStartFrm::keyPressEvent(QKeyEvent* pEvent)
{
    if (PageKeys::isEnter(pEvent) && PageKeys::clickIfOffered(m_ui->pbContinue))
        return;
    if (PageKeys::isPlain(pEvent, Qt::Key_Escape) && PageKeys::clickIfOffered(m_ui->pbCancel))
        return;
    if (pEvent->matches(QKeySequence::Open) && acceptDrops()) {
        onBrowseClicked();
        return;
    }
    // Not the dialog's own handling: Escape would close the page, Enter click an auto-default button.
    QWidget::keyPressEvent(pEvent);
}

void CStartFrm::resizeEvent(QResizeEvent* pEvent)
{
    // The layout does not ask a wrapped label for its height: the lines it needs are its minimum.
    QLabel* pPrompt = m_ui->lbLoadFilesPrompt;
    const int nWidth = int(width() * Look::kStartFrameTextShare);
    pPrompt->setFixedWidth(nWidth);
    pPrompt->setMinimumHeight(std::max(45, pPrompt->heightForWidth(nWidth)));
    QDialog::resizeEvent(pEvent);
}

bool CStartFrm::isAcceptableDrop(const QMimeData* pMimeData)
{
    // Only the first item is looked at; the finder skips paths that lead nowhere.
    if (!pMimeData || !pMimeData->hasFormat(QStringLiteral("text/uri-list")))
        return false;
    const QList<QUrl> urls = pMimeData->urls();
    return !urls.isEmpty() && urls.first().isLocalFile();
}

void CStartFrm::showIdleLook()
{
    m_ui->frmStatusPane->show();
    Look::applyStyle(this, Look::Style::StartBackground);
    repaint();
}

void CStartFrm::showDroppingLook()
{
    m_ui->frmStatusPane->hide();
    Look::applyStyle(this, Look::Style::DroppingBackground);
    repaint();
}

void CStartFrm::handOver(const QStringList& slPaths)
{
    if (slPaths.isEmpty())
        return;

    KcLog::logWrite(KcLog::INFO, kLogTag, QStringLiteral("Initiate .kelm files searching ..."));
    showIdleLook();
    // The progress page goes up first; then the manager takes the list and starts the finder.
    emit activateKcAnalyzeFilesFrm();
    emit filesAndFoldersReady(slPaths);
    emit startKelmFilesSearching();
}

} // namespace KcForms
