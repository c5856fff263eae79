#include "forms/VideosFoundFrm.h"

#include "container/ErrorInfo.h"
#include "core/DisplayText.h"
#include "core/Log.h"
#include "core/TimeUtil.h"
#include "forms/DateVisualPane.h"
#include "forms/FolderDialog.h"
#include "forms/Look.h"
#include "forms/PageKeys.h"
#include "forms/SridVisualHeader.h"
#include "forms/Support.h"
#include "ui_VideosFoundFrm.h"
#include "workers/WorkManager.h"

#include <QApplication>
#include <QCursor>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontMetrics>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QMessageBox>
#include <QScrollArea>
#include <QScrollBar>
#include <QSpacerItem>
#include <QStorageInfo>
#include <QTimer>
#include <QUrl>

#include <algorithm>
#include <exception>
#include <new>
#include <utility>

using KcLog::logWrite;
using KcLog::logWriteSpaced;

namespace KcForms {

namespace {

const QString kLogTag = QStringLiteral("Main");
const QString kLocationLink = QStringLiteral("location");
const QString kConvertedFolder = QStringLiteral("Converted/");
// The Srid no camera has, so that the first entry always starts a camera.
const QString kNoSrid = QStringLiteral("_impossible_");

// Two 10 pt paragraphs in a 9 pt body, as every size text reads.
QString sizeParagraphs(const QString& qsFirst, const QString& qsSecond)
{
    return QStringLiteral("<html><head/><body style=\" font-family:'Arial'; font-size:9pt;\">"
                          "<p style=\" margin:0px;\"><span style=\" font-size:10pt;\">%1</span></p>"
                          "<p style=\" margin:0px;\"><span style=\" font-size:10pt;\">%2</span></p>"
                          "</body></html>")
        .arg(qsFirst, qsSecond);
}

// The volume holding a folder that may not exist yet: the export creates every missing folder of
// its path, so the nearest existing one tells where the files will go.
QString nearestExistingFolder(const QString& qsPath)
{
    QDir dir(QDir::cleanPath(qsPath));
    while (!dir.exists()) {
        const QString qsBefore = dir.absolutePath();
        if (!dir.cdUp() || dir.absolutePath() == qsBefore)
            return QString();
    }
    return dir.absolutePath();
}

// How the free space names its volume: a drive ("C:") where volumes have letters, else the
// volume's mount point.
QString volumeText(const QString& qsRootPath)
{
    if (qsRootPath.size() >= 2 && qsRootPath.at(1) == QLatin1Char(':') && qsRootPath.at(0).isLetter())
        return qsRootPath.left(2);
    return qsRootPath;
}

} // namespace

CVideosFoundFrm::CVideosFoundFrm(KcWorkers::CWorkManager& manager, QWidget* pParent)
    : QDialog(pParent),
      m_ui(std::make_unique<Ui::kelmCnvrVideosFoundFrm>()),
      m_manager(manager),
      m_qsDefaultLocation(manager.exportLocation())
{
    Look::initResources();
    m_ui->setupUi(this);

    m_ui->lbSupportEMail->setText(kSupportEMail);
    m_ui->tbRefresh->setIcon(Look::hoverIcon(Look::Image::RefreshBtnNormal, Look::Image::RefreshBtnHovered));
    m_ui->tbCancel->setIcon(Look::hoverIcon(Look::Image::StatusPaneCancelBtnNormal, Look::Image::CancelBtnHovered));
    m_ui->lbExclamation->setPixmap(QPixmap(Look::Image::ExclamationIcon));
    m_ui->lbExportExclamation->setPixmap(QPixmap(Look::Image::ExclamationIcon));

    Look::setFont(m_ui->lbSupportPrompt, Look::Font::SupportRow);
    Look::setFont(m_ui->lbSupportEMail, Look::Font::SupportRow);
    Look::setFont(m_ui->lbTitleText, Look::Font::LargeTitle);
    Look::setFont(m_ui->lbTitleTextShort, Look::Font::LargeTitle);
    Look::setFont(m_ui->lbLocationInfo, Look::Font::StatusText);
    Look::setFont(m_ui->lbSizeInfo, Look::Font::StatusText);
    Look::setFont(m_ui->lbExportErrorText, Look::Font::StatusText);
    Look::setFont(m_ui->lbProgressMsg, Look::Font::ProgressMessage);
    Look::setFont(m_ui->pbCancel, Look::Font::Button10);
    Look::setFont(m_ui->pbCreateVideo, Look::Font::Button10);
    Look::setFont(m_ui->pbOpenFolder, Look::Font::Button9);
    Look::setFont(m_ui->pbRestart, Look::Font::Button10);

    // No sheet on the page, the list or anything between them (see Look::fillBackground).
    Look::fillBackground(this, Look::Colour::PageBackground);
    Look::applyStyle(m_ui->lbSupportPrompt, Look::Style::SupportPrompt);
    Look::applyStyle(m_ui->lbSupportEMail, Look::Style::SupportAddress);
    Look::applyStyle(m_ui->frmTitlePane, Look::Style::PageBackground);
    Look::applyStyle(m_ui->titlePaneFull, Look::Style::PageBackground);
    Look::applyStyle(m_ui->titlePaneShort, Look::Style::PageBackground);
    Look::applyStyle(m_ui->lbTitleText, Look::Style::TitleText);
    Look::applyStyle(m_ui->lbTitleTextShort, Look::Style::TitleText);
    Look::fillBackground(m_ui->datePanesScrollArea, Look::Colour::PageBackground);
    Look::fillBackground(m_ui->wgtDatePanesContents, Look::Colour::PageBackground);
    Look::applyStyle(m_ui->datePanesScrollArea->verticalScrollBar(), Look::Style::ScrollBar);
    m_ui->datePanesScrollArea->verticalScrollBar()->setStyle(Look::fusionStyle());

    Look::applyStyle(m_ui->frmStatusPane, Look::Style::StatusPane);
    Look::applyStyle(m_ui->statusPaneVidsFound, Look::Style::StatusPaneSolid);
    Look::applyStyle(m_ui->statusPaneProgress, Look::Style::StatusPaneSolid);
    Look::applyStyle(m_ui->statusPaneVidsConverted, Look::Style::StatusPaneSolid);
    Look::applyStyle(m_ui->tbRefresh, Look::Style::FlatToolButton);
    Look::applyStyle(m_ui->lbLocationInfo, Look::Style::StatusInfoText);
    Look::applyStyle(m_ui->lbSizeInfo, Look::Style::StatusInfoText);
    Look::applyStyle(m_ui->pbCancel, Look::Style::CancelTextButton);
    Look::applyStyle(m_ui->pbCreateVideo, Look::Style::LargePrimaryButtonSolid);
    Look::applyStyle(m_ui->progressBar, Look::Style::ThinProgressBarExport);
    Look::applyStyle(m_ui->lbProgressMsg, Look::Style::ProgressMessage);
    Look::applyStyle(m_ui->tbCancel, Look::Style::FlatToolButton);
    Look::applyStyle(m_ui->lbExportErrorText, Look::Style::StatusInfoText);
    Look::applyStyle(m_ui->lbSeparator, Look::Style::InfoSeparator);
    Look::applyStyle(m_ui->pbOpenFolder, Look::Style::SmallPrimaryButtonOnStatusPane);
    Look::applyStyle(m_ui->pbRestart, Look::Style::LargePrimaryButtonSolid);

    Look::addLetterSpacing(m_ui->pbCancel);
    Look::addLetterSpacing(m_ui->pbCreateVideo);
    Look::addLetterSpacing(m_ui->pbOpenFolder);
    Look::addLetterSpacing(m_ui->pbRestart);
    m_ui->lbExclamation->hide();
    m_ui->tbRefresh->setToolTip(QCoreApplication::translate("kelmCnvrVideosFoundFrm", "Check the free space again"));
    m_ui->tbCancel->setToolTip(QCoreApplication::translate("kelmCnvrVideosFoundFrm", "Cancel creating videofiles"));
    PageKeys::keepFocusOnPage(this);
    // The list scrolls with the arrow keys only when the user clicked into it.
    m_ui->datePanesScrollArea->setFocusPolicy(Qt::ClickFocus);

    connect(m_ui->datePanesScrollArea->verticalScrollBar(), &QScrollBar::valueChanged, this,
            &CVideosFoundFrm::followMouseAfterScroll);
    connect(m_ui->lbLocationInfo, &QLabel::linkActivated, this, &CVideosFoundFrm::onLinkActivated);
    connect(m_ui->pbCreateVideo, &QPushButton::clicked, this, &CVideosFoundFrm::onExport);
    connect(m_ui->tbCancel, &QToolButton::clicked, this, &CVideosFoundFrm::onCancelClicked);
    connect(m_ui->tbRefresh, &QToolButton::clicked, this, &CVideosFoundFrm::onRefreshClicked);
    connect(m_ui->pbOpenFolder, &QPushButton::clicked, this, &CVideosFoundFrm::onOpenExportFolder);
    connect(m_ui->pbRestart, &QPushButton::clicked, this, &CVideosFoundFrm::onRestartClicked);
    connect(m_ui->pbCancel, &QPushButton::clicked, this, &CVideosFoundFrm::onCancelAndRestart);
    connect(m_ui->wgtTimeZone, &CTimeZoneSelector::zoneChanged, this, &CVideosFoundFrm::onTimeZoneChanged);
}

CVideosFoundFrm::~CVideosFoundFrm() = default;

CDateVisualPane* CVideosFoundFrm::batchPane(ulong ulBatchId) const
{
    return m_batchPanes.value(ulBatchId);
}

CDateVisualPane* CVideosFoundFrm::paneAt(const QPoint& globalPos) const
{
    const QWidget* pViewport = m_ui->datePanesScrollArea->viewport();
    if (!pViewport->rect().contains(pViewport->mapFromGlobal(globalPos)))
        return nullptr;
    QWidget* pContents = m_ui->datePanesScrollArea->widget();
    if (!pContents)
        return nullptr;
    for (QWidget* pChild = pContents->childAt(pContents->mapFromGlobal(globalPos)); pChild && pChild != pContents;
         pChild = pChild->parentWidget()) {
        if (auto* pPane = qobject_cast<CDateVisualPane*>(pChild))
            return pPane;
    }
    return nullptr;
}

void CVideosFoundFrm::followMouseAfterScroll()
{
    if (m_nMode != mdVideosFound)
        return;
    CDateVisualPane* pUnder = paneAt(QCursor::pos());
    for (CDateVisualPane* pPane : m_panes)
        pPane->setHovered(pPane == pUnder);
}

void CVideosFoundFrm::keyPressEvent(QKeyEvent* pEvent)
{
    if (PageKeys::isEnter(pEvent)) {
        if (m_nMode == mdVideosFound && PageKeys::clickIfOffered(m_ui->pbCreateVideo))
            return;
        if (m_nMode == mdResults && PageKeys::clickIfOffered(m_ui->pbRestart))
            return;
    } else if (PageKeys::isPlain(pEvent, Qt::Key_Escape)) {
        // No CANCEL on the results: they stay until RESTART.
        if (m_nMode == mdVideosFound && PageKeys::clickIfOffered(m_ui->pbCancel))
            return;
        if (m_nMode == mdExporting && PageKeys::clickIfOffered(m_ui->tbCancel))
            return;
    } else if (PageKeys::isPlain(pEvent, Qt::Key_Delete) && m_nMode == mdVideosFound) {
        CDateVisualPane* pPane = paneAt(QCursor::pos());
        if (pPane && pPane->state() == CDateVisualPane::stReady && pPane->isExportEnabled()) {
            pPane->onDeleteButtonPressed();
            return;
        }
    }
    QWidget::keyPressEvent(pEvent);
}

// ---- building the panes

bool CVideosFoundFrm::initVisualArea()
{
    // Renews the batch ids, which the export reports carry.
    const bool bPrepared = m_manager.prepareExportBatches();
    if (bPrepared)
        buildVisualArea();
    else
        logWriteSpaced(KcLog::FATAL, kLogTag,
                       QStringLiteral("Error while initializing visual area: %1").arg(m_manager.lastLogError()));

    // Undo the wait cursor of a caller (the time zone change); the error box wants the arrow.
    if (QApplication::overrideCursor())
        QApplication::restoreOverrideCursor();
    if (!bPrepared)
        reportError(m_manager.lastError());
    return bPrepared;
}

void CVideosFoundFrm::buildVisualArea()
{
    m_batchPanes.clear();
    // The day at the top of the list stays there when the list is built anew.
    const SListPosition position = listPosition();
    // Filled while hidden, the list is laid out and shown once, not once per pane; the headers and
    // panes of the last build are filled anew rather than made again.
    m_ui->wgtDatePanesContents->hide();
    QGridLayout* pGrid = m_ui->datePanesGridLayout;
    while (QLayoutItem* pItem = pGrid->takeAt(0))
        delete pItem; // the item only: its widget stays for reuse
    m_nHeadersUsed = 0;
    m_nPanesUsed = 0;
    struct SPlaceOnExit {
        CVideosFoundFrm& form;
        const SListPosition& position;
        ~SPlaceOnExit() { form.placeContentsWidget(position); }
    } placeOnExit{*this, position};
    m_nPaneRow = 0;
    m_nPaneNumber = 1;
    m_bBuilt = true;

    QString qsLastSrid = kNoSrid;
    qulonglong ullLastDay = 0;
    m_nRows = 0;
    m_ullTotalSize = 0;
    m_ulPaneCount = 0;
    m_ulExportedCount = 0;
    m_nPaneColumn = 1;

    for (const auto& keyAndEntry : std::as_const(m_manager).exportedSrids()) {
        const KcWorkers::SExportEntry& entry = keyAndEntry.second;
        // Only the videos found show the days taken out, so that they can be put back.
        if (!entry.bEnabled && m_nMode != mdVideosFound)
            continue;

        const qulonglong ullDay = KcWorkers::truncateToUint32Seconds(entry.fragment.windowStart) / 86400u;
        const QString qsSrid = QString::fromStdWString(entry.srid);
        const bool bNewSrid = qsSrid != qsLastSrid;
        if (bNewSrid)
            qsLastSrid = qsSrid;
        bool bNewRow = bNewSrid;
        if (ullDay > ullLastDay) {
            ullLastDay = ullDay;
            bNewRow = true;
        }
        // A row holds two panes; a third of the same camera and day goes below, never on top.
        if (m_nPaneColumn > 2)
            bNewRow = true;

        if (bNewRow) {
            if (m_nPaneRow > 0)
                ++m_nPaneRow;
            ++m_nRows;
            m_nPaneColumn = 1;
            if (bNewSrid)
                addSridHeader(qsSrid);
        }

        addDatePane(entry);
        if (entry.bEnabled)
            m_ullTotalSize += entry.fragment.estimatedSize;
        ++m_ulPaneCount;
        ++m_nPaneColumn;
    }

    pGrid->addItem(new QSpacerItem(20, 40, QSizePolicy::Minimum, QSizePolicy::Expanding), m_nRows * 2, 1);
    pGrid->addItem(new QSpacerItem(40, 20, QSizePolicy::Expanding, QSizePolicy::Minimum), 1, 0);
    pGrid->addItem(new QSpacerItem(40, 20, QSizePolicy::Expanding, QSizePolicy::Minimum), 1, 3);

    updateSizeInfo(m_ullTotalSize);
    updateLocationInfo();
}

CVideosFoundFrm::SListPosition CVideosFoundFrm::listPosition() const
{
    SListPosition position;
    const int nTop = m_ui->datePanesScrollArea->verticalScrollBar()->value();
    if (nTop == 0)
        return position;
    // The panes stand in key order, one row after the other.
    for (const CDateVisualPane* pPane : m_panes) {
        if (pPane->geometry().bottom() >= nTop) {
            position.qsExportKey = pPane->exportKey();
            position.nOffset = pPane->y() - nTop;
            break;
        }
    }
    return position;
}

void CVideosFoundFrm::placeContentsWidget(const SListPosition& position)
{
    // What the last build had beyond this one's goes.
    for (size_t i = m_nHeadersUsed; i < m_headers.size(); ++i)
        delete m_headers[i];
    m_headers.resize(m_nHeadersUsed);
    for (size_t i = m_nPanesUsed; i < m_panes.size(); ++i)
        delete m_panes[i];
    m_panes.resize(m_nPanesUsed);

    QScrollArea* pArea = m_ui->datePanesScrollArea;
    QWidget* pContents = m_ui->wgtDatePanesContents;
    pContents->show();
    if (position.qsExportKey.isEmpty())
        return;

    // The same day, or the one after it when it is gone; the scroll range follows the layout.
    pContents->layout()->activate();
    pContents->resize(pContents->width(), pContents->layout()->minimumSize().height());
    const CDateVisualPane* pTarget = nullptr;
    for (const CDateVisualPane* pPane : m_panes) {
        if (pPane->exportKey() >= position.qsExportKey) {
            pTarget = pPane;
            break;
        }
    }
    if (!pTarget)
        return;
    const int nValue = pTarget->y() - position.nOffset;
    QScrollBar* pBar = pArea->verticalScrollBar();
    pBar->setRange(0, std::max(pBar->maximum(), nValue));
    pBar->setValue(nValue);
}

void CVideosFoundFrm::addSridHeader(const QString& qsSrid)
{
    const QString qsText = QStringLiteral("SRID ") + qsSrid;
    CSridVisualHeader* pHeader = nullptr;
    if (m_nHeadersUsed < m_headers.size()) {
        pHeader = m_headers[m_nHeadersUsed];
        pHeader->setText(qsText);
    } else {
        pHeader = new CSridVisualHeader(m_ui->wgtDatePanesContents, qsText);
        m_headers.push_back(pHeader);
    }
    ++m_nHeadersUsed;
    m_ui->datePanesGridLayout->addWidget(pHeader, m_nPaneRow, 1, 1, 2);
    ++m_nPaneRow;
}

void CVideosFoundFrm::addDatePane(const KcWorkers::SExportEntry& entry)
{
    CDateVisualPane* pPane = nullptr;
    if (m_nPanesUsed < m_panes.size()) {
        pPane = m_panes[m_nPanesUsed];
        pPane->setState(CDateVisualPane::stReady);
        pPane->setProgressValue(0);
    } else {
        pPane = new CDateVisualPane(m_ui->wgtDatePanesContents);
        connect(pPane, &CDateVisualPane::exportEnabled, this, &CVideosFoundFrm::onExportEnabled);
        m_panes.push_back(pPane);
    }
    ++m_nPanesUsed;
    pPane->setNumber(m_nPaneNumber++);
    pPane->setData(entry);
    // A day the user took out stays out when the page comes back: it shows as deleted, with
    // Restore on hover. Silently, so that the total is not reduced twice.
    if (!entry.bEnabled)
        pPane->setExportEnabled(false);
    m_ui->datePanesGridLayout->addWidget(pPane, m_nPaneRow, m_nPaneColumn);
    if (m_nMode == mdExporting)
        pPane->setState(CDateVisualPane::stExporting);
    // A day taken out keeps the id of an earlier preparation, which another day may have now.
    if (entry.batchId != 0 && entry.bEnabled)
        m_batchPanes.insert(ulong(entry.batchId), pPane);
}

// ---- status texts

void CVideosFoundFrm::updateLocationInfo()
{
    const QFont linkFont = Look::font(Look::Font::StatusLink);
    const QString qsLink =
        QStringLiteral("<a href=\"%1\" style=\"color:%2; text-decoration:none; font-weight:%3;\">%4</a>")
            .arg(kLocationLink, Look::Colour::Link.name(), QString::number(Look::kStatusLinkWeight),
                 QCoreApplication::translate("kelmCnvrVideosFoundFrm", "Select another location"));
    const QString qsTemplate = QStringLiteral(
        "<html><head/><body style=\" font-family:'%1'; font-size:%2pt;\"><p style=\" margin:0px;\">%3%4</p>"
        "</body></html>");
    const QString qsFamily = linkFont.family();
    const QString qsSize = QString::number(linkFont.pointSize());

    QLabel* pLabel = m_ui->lbLocationInfo;
    if (m_manager.exportLocation() == m_qsDefaultLocation) {
        pLabel->setToolTip(QString());
        pLabel->setText(qsTemplate.arg(
            qsFamily, qsSize,
            QCoreApplication::translate("kelmCnvrVideosFoundFrm",
                                        "MP4-files will be created on Desktop in &quot;Converted&quot; folder. <br />"),
            qsLink));
        return;
    }

    // Long paths lose their middle, so that both ends stay readable.
    const QFontMetrics metrics(linkFont);
    const int nWidth = pLabel->contentsRect().width();
    QString qsShown = m_manager.exportLocation();
    bool bShortened = false;
    while (metrics.horizontalAdvance(qsShown) > nWidth && qsShown.size() > 3) {
        qsShown.remove(qsShown.size() / 2, 2);
        bShortened = true;
    }
    if (bShortened)
        qsShown.replace(std::max(0, qsShown.size() / 2 - 1), 3, QStringLiteral("..."));
    pLabel->setToolTip(bShortened ? m_manager.exportLocation() : QString());

    const QString qsMessage =
        QCoreApplication::translate("kelmCnvrVideosFoundFrm",
                                    "MP4-files will be created in &quot;Converted&quot; folder: <br />%3 <br />")
            .arg(qsShown.toHtmlEscaped());
    pLabel->setText(qsTemplate.arg(qsFamily, qsSize, qsMessage, qsLink));
}

void CVideosFoundFrm::updateSizeInfo(quint64 ullSize)
{
    qint64 llAvailable = -1;
    QString qsRoot;
    const QString qsFolder = nearestExistingFolder(m_manager.exportLocation());
    if (!qsFolder.isEmpty()) {
        const QStorageInfo volume(qsFolder);
        if (volume.isValid() && volume.isReady()) {
            llAvailable = volume.bytesAvailable();
            qsRoot = volume.rootPath();
        }
    }

    const QString qsSizeText = KcCore::CDisplayText::size(ullSize);
    if (llAvailable < 0 || qsRoot.isEmpty()) {
        m_ui->lbExclamation->show();
        m_ui->lbSizeInfo->setText(
            sizeParagraphs(QCoreApplication::translate("kelmCnvrVideosFoundFrm", "Size on disk: %1").arg(qsSizeText),
                           QCoreApplication::translate("kelmCnvrVideosFoundFrm", "Failed to access<br />target path")));
        m_ui->pbCreateVideo->setEnabled(false);
        logWrite(KcLog::WARNING, kLogTag,
                 QStringLiteral("The failed to access the target export path, just was selected by user: %1")
                     .arg(m_manager.exportLocation()));
        return;
    }

    const QString qsVolume = volumeText(qsRoot);
    const QString qsAvailableText = KcCore::CDisplayText::size(quint64(llAvailable));
    if (quint64(llAvailable) >= ullSize) {
        m_ui->lbExclamation->hide();
        m_ui->lbSizeInfo->setText(
            sizeParagraphs(QCoreApplication::translate("kelmCnvrVideosFoundFrm", "Size on disk: %1").arg(qsSizeText),
                           QCoreApplication::translate("kelmCnvrVideosFoundFrm", "Available on %2 %3")
                               .arg(qsVolume, qsAvailableText)));
        m_ui->pbCreateVideo->setEnabled(ullSize != 0);
        return;
    }

    m_ui->lbExclamation->show();
    m_ui->lbSizeInfo->setText(
        sizeParagraphs(QCoreApplication::translate("kelmCnvrVideosFoundFrm", "Out of disk space"),
                       QCoreApplication::translate("kelmCnvrVideosFoundFrm", "Size on disk: %1<br />Available on %2 %3")
                           .arg(qsSizeText, qsVolume, qsAvailableText)));
    m_ui->pbCreateVideo->setEnabled(false);
    logWrite(KcLog::WARNING, kLogTag,
             QStringLiteral("The size of content to be exported (%1) exceeds the available disk spaace (%2)")
                 .arg(qsSizeText, qsAvailableText));
}

// ---- the user's choices

void CVideosFoundFrm::onExportEnabled(QString qsExportKey, bool bEnabled)
{
    const KcWorkers::ExportedSrids& entries = std::as_const(m_manager).exportedSrids();
    const auto found = entries.find(qsExportKey.toStdWString());
    if (found == entries.end())
        return;
    const quint64 ullSize = found->second.fragment.estimatedSize;
    if (found->second.bEnabled != bEnabled) {
        if (bEnabled)
            m_ullTotalSize += ullSize;
        else
            m_ullTotalSize = m_ullTotalSize > ullSize ? m_ullTotalSize - ullSize : 0;
    }
    m_manager.setExportEnabled(qsExportKey, bEnabled);
    updateLocationInfo();
    updateSizeInfo(m_ullTotalSize);
}

void CVideosFoundFrm::onLinkActivated(QString qsLink)
{
    if (qsLink != kLocationLink)
        return;

    QFileDialog dialog(nullptr, QString(), QString(), QString());
    dialog.setFileMode(QFileDialog::Directory);
    FolderDialog::prepare(dialog);
    if (dialog.exec() != QDialog::Accepted)
        return;
    const QStringList slSelected = dialog.selectedFiles();
    if (slSelected.isEmpty() || slSelected.first().isEmpty())
        return;

    QString qsLocation = slSelected.first();
    FolderDialog::setLastFolder(qsLocation);
    if (!qsLocation.endsWith(QLatin1Char('/')))
        qsLocation += QLatin1Char('/');
    m_manager.setExportLocation(qsLocation);
    updateSizeInfo(m_ullTotalSize);
    updateLocationInfo();
}

void CVideosFoundFrm::onRefreshClicked()
{
    // The free space may have changed since.
    updateSizeInfo(m_ullTotalSize);
}

void CVideosFoundFrm::onTimeZoneChanged(QTimeZone qtmNewZone)
{
    // The days are cut anew after the popup list has closed and the page has been repainted, not
    // while the list still stands on the screen; quick changes in a row cost one rebuild.
    m_pendingZone = qtmNewZone;
    if (m_bZoneChangePending)
        return;
    m_bZoneChangePending = true;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    QTimer::singleShot(0, this, &CVideosFoundFrm::applyPendingTimeZone);
}

void CVideosFoundFrm::applyPendingTimeZone()
{
    m_bZoneChangePending = false;
    const QTimeZone qtmNewZone = m_pendingZone;
    logWrite(KcLog::INFO, kLogTag, QStringLiteral("Time Zone was changed by user"));
    KcTime::CTimeUtil::setSelectedTimeZone(qtmNewZone);
    if (!m_manager.redetectExportParameters()) {
        logWriteSpaced(KcLog::FATAL, kLogTag,
                       QStringLiteral("Error after timezone has changed: %1").arg(m_manager.lastLogError()));
        if (QApplication::overrideCursor())
            QApplication::restoreOverrideCursor();
        reportError(m_manager.lastError());
        // A failed detection leaves no entries: the page must not offer days that are gone.
    }
    initVisualArea();
}

void CVideosFoundFrm::reportError(const QString& qsErrText)
{
    QMessageBox box(
        QMessageBox::Critical, QStringLiteral("Kelm Converter"),
        QCoreApplication::translate("kelmCnvrVideosFoundFrm", "An error occured: %1. Please, contact support.")
            .arg(qsErrText),
        QMessageBox::Ok);
    box.exec();
}

// ---- modes

void CVideosFoundFrm::updateTitlePane()
{
    m_ui->frmTitlePane->setCurrentWidget(m_nMode == mdVideosFound ? m_ui->titlePaneFull : m_ui->titlePaneShort);
    m_ui->tbRefresh->setVisible(m_nMode == mdVideosFound);
}

void CVideosFoundFrm::setTitles(const QString& qsTitle)
{
    m_ui->lbTitleText->setText(qsTitle);
    m_ui->lbTitleTextShort->setText(qsTitle);
}

void CVideosFoundFrm::setStatusPaneVideosFound()
{
    m_nMode = mdVideosFound;
    m_ui->frmStatusPane->setCurrentWidget(m_ui->statusPaneVidsFound);
    m_ui->tbRefresh->show();
    m_ui->frmTitlePane->setCurrentWidget(m_ui->titlePaneFull);
    updateSizeInfo(m_ullTotalSize);
}

void CVideosFoundFrm::setStatusPaneProgress()
{
    m_nMode = mdExporting;
    m_ui->frmStatusPane->setCurrentWidget(m_ui->statusPaneProgress);
    m_ui->tbRefresh->hide();
    setTitles(m_ulPaneCount == 1 ? QCoreApplication::translate("kelmCnvrVideosFoundFrm", "Creating videofile")
                                 : QCoreApplication::translate("kelmCnvrVideosFoundFrm", "Creating videofiles"));
    m_ui->progressBar->setValue(0);
    m_ui->frmTitlePane->setCurrentWidget(m_ui->titlePaneShort);
}

void CVideosFoundFrm::setStatusPaneConvertedResults()
{
    m_nMode = mdResults;
    m_ui->frmStatusPane->setCurrentWidget(m_ui->statusPaneVidsConverted);
    m_ui->tbRefresh->hide();
    m_ui->frmTitlePane->setCurrentWidget(m_ui->titlePaneShort);
}

void CVideosFoundFrm::showExportError(const QString& qsErrText)
{
    m_ui->lbExportErrorText->setText(qsErrText);
    m_ui->lbExportErrorText->show();
    m_ui->lbExportExclamation->show();
    m_ui->lbSeparator->show();
}

void CVideosFoundFrm::hideExportError()
{
    m_ui->lbExportErrorText->hide();
    m_ui->lbExportExclamation->hide();
    m_ui->lbSeparator->hide();
}

QString CVideosFoundFrm::resultsTitle(ulong ulExported, ulong ulTotal)
{
    if (ulExported == 0)
        return QCoreApplication::translate("kelmCnvrVideosFoundFrm", "No videofiles created");
    if (ulExported > ulTotal)
        return QCoreApplication::translate("kelmCnvrVideosFoundFrm", "Videofiles created");
    if (ulExported == ulTotal && ulTotal == 1)
        return QCoreApplication::translate("kelmCnvrVideosFoundFrm", "Videofile created");

    // Russian words after a count follow its last digits; each form lives in its own context.
    const ulong ulLast = ulTotal % 10;
    const ulong ulLastTwo = ulTotal % 100;
    const bool bOne = ulLast == 1 && ulLastTwo != 11;
    const bool bFew = ulLast >= 2 && ulLast <= 4 && !(ulLastTwo >= 12 && ulLastTwo <= 14);
    if (ulExported == ulTotal) {
        if (bOne)
            return QCoreApplication::translate("KcCommon::CTrScope", "%1 videofiles successfully created")
                .arg(ulExported);
        if (bFew)
            return QCoreApplication::translate("QObject", "%1 videofiles successfully created").arg(ulExported);
        return QCoreApplication::translate("kelmCnvrVideosFoundFrm", "%1 videofiles successfully created")
            .arg(ulExported);
    }
    if (bOne)
        return QCoreApplication::translate("KcCommon::CTrScope", "%1 of %2 videofiles created")
            .arg(ulExported)
            .arg(ulTotal);
    return QCoreApplication::translate("kelmCnvrVideosFoundFrm", "%1 of %2 videofiles created")
        .arg(ulExported)
        .arg(ulTotal);
}

void CVideosFoundFrm::showExportResults()
{
    setTitles(resultsTitle(m_ulExportedCount, m_ulPaneCount));
}

// ---- buttons

void CVideosFoundFrm::onExport()
{
    logWrite(KcLog::INFO, kLogTag, QStringLiteral("Initiate exporting ..."));
    m_nMode = mdExporting;
    m_ulLastScrolledBatch = 0;
    if (!initVisualArea()) {
        // Nothing reliable was prepared: stay with the videos found instead of exporting it.
        m_nMode = mdVideosFound;
        updateTitlePane();
        setStatusPaneVideosFound();
        return;
    }
    setStatusPaneProgress();
    emit startExport();
}

void CVideosFoundFrm::onCancelClicked()
{
    emit cancelProcessing();
}

void CVideosFoundFrm::onOpenExportFolder()
{
    const QString qsFolder = m_manager.exportLocation() + kConvertedFolder;
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(qsFolder)))
        logWrite(KcLog::WARNING, kLogTag, QStringLiteral("Failed to open the export folder: %1").arg(qsFolder));
}

void CVideosFoundFrm::onRestartClicked()
{
    logWrite(KcLog::INFO, kLogTag, QStringLiteral("Restart button clicked on 'Videos Found' form"));
    emit clearKelmFilesFound();
    emit activateStartFrm();
}

void CVideosFoundFrm::onCancelAndRestart()
{
    logWrite(KcLog::INFO, kLogTag,
             QStringLiteral("Cancel (return to the beginning) button clicked on 'Videos Found' form"));
    emit activateStartFrm();
}

// ---- the export's reports

void CVideosFoundFrm::onPrepareExporting()
{
    m_ui->lbProgressMsg->setText(QCoreApplication::translate("kelmCnvrVideosFoundFrm", "Preparing data for export..."));
}

void CVideosFoundFrm::onExportingStarted()
{
    m_ui->lbProgressMsg->setText(QCoreApplication::translate("kelmCnvrVideosFoundFrm", "Exporting... "));
    logWrite(KcLog::INFO, kLogTag, QStringLiteral("Export started OK"));
}

void CVideosFoundFrm::onExportingProgress(int nPercent, ulong ulFragmentID, ulong ulFragmentPercent,
                                          ulong ulFragmentsTotal, double)
{
    if (ulFragmentsTotal < 2)
        m_ui->lbProgressMsg->setText(QCoreApplication::translate("kelmCnvrVideosFoundFrm", "Creating videofile..."));
    else
        m_ui->lbProgressMsg->setText(
            QCoreApplication::translate("kelmCnvrVideosFoundFrm", "%1 of %2 videofiles created ")
                .arg(ulFragmentID > 0 ? ulFragmentID - 1 : 0)
                .arg(ulFragmentsTotal));
    m_ui->progressBar->setValue(nPercent);
    setPaneProgress(ulFragmentID, ulFragmentPercent);
}

void CVideosFoundFrm::onFragmentExportingStarted(ulong ulFragmentID)
{
    setPaneProgress(ulFragmentID, 1);
}

void CVideosFoundFrm::onFragmentExportingFinished(ulong ulFragmentID)
{
    setPaneState(ulFragmentID, CDateVisualPane::stExported);
}

void CVideosFoundFrm::onExportError(ulong ulFragmentID, QString, QString, int nCode)
{
    setPaneState(ulFragmentID, CDateVisualPane::stFailed);
    // With the disk full every following file would fail as well.
    if (nCode == UtilsNameSpace::kErrStorageFull)
        emit cancelProcessing();
}

void CVideosFoundFrm::onFileError(ulong, QString, QString, int)
{
    // Logged by the work manager, which weighs it into the day's outcome.
}

void CVideosFoundFrm::onFragmentExportOutcome(ulong ulFragmentID, int nOutcome, QString)
{
    if (nOutcome != KcWorkers::CWorkManager::doCreated)
        setPaneState(ulFragmentID, CDateVisualPane::stFailed);
}

void CVideosFoundFrm::onUpdateProgressMessage(QString qsMess)
{
    m_ui->lbProgressMsg->setText(qsMess);
}

void CVideosFoundFrm::onExportingResults(ulong ulNumExported, ulong ulNumTotal)
{
    m_ulExportedCount = ulNumExported;
    m_ulPaneCount = ulNumTotal;
    logWrite(KcLog::INFO, kLogTag,
             QStringLiteral("Export results: %1 of %2 videos exported").arg(ulNumExported).arg(ulNumTotal));
}

void CVideosFoundFrm::setPaneState(ulong ulBatchId, int nState)
{
    CDateVisualPane* pPane = batchPane(ulBatchId);
    if (ulBatchId == 0 || !pPane)
        return;
    // A failed file stays failed whatever follows for it.
    if (pPane->state() == CDateVisualPane::stFailed)
        return;
    pPane->setState(nState);
}

void CVideosFoundFrm::setPaneProgress(ulong ulBatchId, ulong ulPercent)
{
    CDateVisualPane* pPane = batchPane(ulBatchId);
    if (ulBatchId == 0 || !pPane)
        return;
    pPane->setProgressValue(int(std::min<ulong>(ulPercent, 100)));
    if (ulBatchId != m_ulLastScrolledBatch) {
        m_ui->datePanesScrollArea->ensureWidgetVisible(pPane, 50, 50);
        m_ulLastScrolledBatch = ulBatchId;
    }
}

} // namespace KcForms
