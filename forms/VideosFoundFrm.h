#pragma once

#include "workers/ExportEntry.h"

#include <QDialog>
#include <QMap>
#include <QPointer>
#include <QString>
#include <QTimeZone>

#include <memory>
#include <vector>

namespace KcWorkers {
class CWorkManager;
}

namespace Ui {
class kelmCnvrVideosFoundFrm;
}

namespace KcForms {

class CDateVisualPane;
class CSridVisualHeader;

// The working page after the analysis: one header per camera and one date pane per recorded day,
// the time zone and the export location, the size of the chosen days against the free space,
// then the export with its progress and finally the results.
class CVideosFoundFrm : public QDialog {
    Q_OBJECT

public:
    enum Mode : int {
        mdVideosFound = 0,
        mdExporting = 1,
        mdResults = 2,
    };

    // The work manager outlives the form; the form reads the days and the export location from it
    // and hands it the user's changes. Its export location at construction (the desktop) is what
    // the location text calls "Desktop".
    explicit CVideosFoundFrm(KcWorkers::CWorkManager& manager, QWidget* pParent = nullptr);
    ~CVideosFoundFrm() override;

    int mode() const { return m_nMode; }
    void setMode(int nMode) { m_nMode = nMode; }

    // Rebuilds the camera headers and date panes from the export entries. False when building
    // failed (the user has been told).
    bool initVisualArea();
    void updateTitlePane();
    void showExportError(const QString& qsErrText);
    void hideExportError();
    void showExportResults();
    // The title, in the full and the short title pane alike.
    void setTitles(const QString& qsTitle);

    // The location the text calls "Desktop"; by default the export location at construction.
    void setDefaultLocation(const QString& qsDefaultLocation) { m_qsDefaultLocation = qsDefaultLocation; }

    quint64 totalSize() const { return m_ullTotalSize; }
    ulong paneCount() const { return m_ulPaneCount; }
    ulong exportedCount() const { return m_ulExportedCount; }
    // The pane that export reports of a batch id reach, if any.
    CDateVisualPane* batchPane(ulong ulBatchId) const;

    // The date pane under a point of the screen, if the point is in the visible part of the list.
    CDateVisualPane* paneAt(const QPoint& globalPos) const;

    // The results title of exported e out of t, in the translation context Russian plurals need.
    static QString resultsTitle(ulong ulExported, ulong ulTotal);

signals:
    void startExport();
    void cancelProcessing();
    void activateStartFrm();
    void clearKelmFilesFound();

private slots:
    void onLinkActivated(QString qsLink);
    void onExport();
    void onCancelClicked();
    void onRefreshClicked();
    void onRestartClicked();
    void onOpenExportFolder();
    void onCancelAndRestart();

public slots:
    void setStatusPaneVideosFound();
    void setStatusPaneProgress();
    void setStatusPaneConvertedResults();
    void onPrepareExporting();
    void onExportingStarted();
    void onExportingResults(ulong ulNumExported, ulong ulNumTotal);
    void onFragmentExportingStarted(ulong ulFragmentID);
    void onFragmentExportingFinished(ulong ulFragmentID);
    void onExportingProgress(int nPercent, ulong ulFragmentID, ulong ulFragmentPercent, ulong ulFragmentsTotal,
                             double fEstimatedTime);
    void onExportError(ulong ulFragmentID, QString qsError, QString qsFileName, int nCode);
    void onFileError(ulong ulFragmentID, QString qsFileName, QString qsError, int nCode);
    // nOutcome: the work manager's DayOutcome; a day that is missing or incomplete shows as failed.
    void onFragmentExportOutcome(ulong ulFragmentID, int nOutcome, QString qsReason);
    void onUpdateProgressMessage(QString qsMess);
    void onExportEnabled(QString qsExportKey, bool bEnabled);
    void onTimeZoneChanged(QTimeZone qtmNewZone);

protected:
    void keyPressEvent(QKeyEvent* pEvent) override;

private:
    // After the list scrolled under a mouse that did not move: the Delete button goes with the mouse.
    void followMouseAfterScroll();
    void applyPendingTimeZone();
    // Where the list stands: the first pane in view and how far its top is from the view's.
    struct SListPosition {
        QString qsExportKey;
        int nOffset = 0;
    };
    SListPosition listPosition() const;
    // Puts the list just filled into the page, at the position it had.
    void placeContentsWidget(const SListPosition& position);
    void buildVisualArea();
    void addSridHeader(const QString& qsSrid);
    void addDatePane(const KcWorkers::SExportEntry& entry);
    void updateLocationInfo();
    void updateSizeInfo(quint64 ullSize);
    void setPaneState(ulong ulBatchId, int nState);
    void setPaneProgress(ulong ulBatchId, ulong ulPercent);
    void reportError(const QString& qsErrText);

    std::unique_ptr<Ui::kelmCnvrVideosFoundFrm> m_ui;
    KcWorkers::CWorkManager& m_manager;
    QString m_qsDefaultLocation;

    quint64 m_ullTotalSize = 0;
    int m_nMode = mdVideosFound;
    int m_nPaneRow = 0;
    int m_nPaneColumn = 1;
    int m_nPaneNumber = 1;
    int m_nRows = 0;
    bool m_bBuilt = false;
    ulong m_ulPaneCount = 0;
    ulong m_ulExportedCount = 0;
    // The headers and panes of the list in grid order, children of the list; a build fills the
    // first ones anew and deletes what it did not use.
    std::vector<CSridVisualHeader*> m_headers;
    std::vector<CDateVisualPane*> m_panes;
    size_t m_nHeadersUsed = 0;
    size_t m_nPanesUsed = 0;
    QMap<ulong, QPointer<CDateVisualPane>> m_batchPanes;
    ulong m_ulLastScrolledBatch = 0;
    QTimeZone m_pendingZone;
    bool m_bZoneChangePending = false;
};

} // namespace KcForms
