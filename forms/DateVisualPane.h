#pragma once

#include "workers/ExportEntry.h"

#include <QString>
#include <QWidget>

class QLabel;
class QPushButton;

namespace KcForms {

class CDateVisualPaneCenter;

// One camera and local day on the videos-found form. While the mouse is over it, the user can
// take the day out of the export (Delete) and put it back (Restore); during the export the plate
// turns into a progress bar and ends with a green or red border.
class CDateVisualPane : public QWidget {
    Q_OBJECT

public:
    // Visual states.
    enum : int {
        stReady = 0,
        stNotExported = 1,
        stExporting = 2,
        stExported = 3,
        stFailed = 4,
    };

    explicit CDateVisualPane(QWidget* pParent = nullptr);

    void setNumber(int nNumber);
    void setData(const KcWorkers::SExportEntry& entry);
    void setState(int nState);
    // Takes the day out of the export or puts it back as Delete and Restore do, but without the
    // signal and the buttons: for a day that was taken out before the pane was filled.
    void setExportEnabled(bool bEnabled);
    // Shows the Delete (or Restore) button while the mouse is over the pane, in the ready state only.
    void setHovered(bool bHovered);

    int state() const { return m_nState; }
    bool isExportEnabled() const { return m_bExportEnabled; }
    const QString& exportKey() const { return m_qsExportKey; }
    const QString& srid() const { return m_qsSrid; }
    const QString& subSourceKey() const { return m_qsSubSourceKey; }

    CDateVisualPaneCenter* plate() const { return m_pPlate; }
    QPushButton* deleteButton() const { return m_pDeleteButton; }
    QPushButton* restoreButton() const { return m_pRestoreButton; }
    QLabel* errorLabel() const { return m_pErrorLabel; }

signals:
    void exportEnabled(const QString& qsExportKey, bool bEnabled);

public slots:
    void setProgressValue(int nValue);
    void onDeleteButtonPressed();
    void onRestoreButtonPressed();

protected:
    void enterEvent(QEvent* pEvent) override;
    void leaveEvent(QEvent* pEvent) override;

private:
    QPushButton* hoverButton() const;
    void showLostTime(quint64 ullStart, quint64 ullStop, quint64 ullSpan, const KcWorkers::SExportEntry& entry);

    CDateVisualPaneCenter* m_pPlate = nullptr;
    QPushButton* m_pDeleteButton = nullptr;
    QPushButton* m_pRestoreButton = nullptr;
    QLabel* m_pErrorLabel = nullptr;
    QString m_qsExportKey;
    QString m_qsSrid;
    QString m_qsSubSourceKey;
    bool m_bExportEnabled = true;
    int m_nState = stReady;
};

} // namespace KcForms
