#pragma once

#include <QDialog>
#include <QStringList>

#include <memory>

class QMimeData;

namespace Ui {
class kelmCnvrStartFrm;
}

namespace KcForms {

// The first page: the user drops files or folders, or picks a folder, to be searched for .kelm
// files; the count found so far decides whether the analysis can start.
class CStartFrm : public QDialog {
    Q_OBJECT

public:
    explicit CStartFrm(QWidget* pParent = nullptr);
    ~CStartFrm() override;

    ulong filesCounter() const { return m_ulFilesCounter; }

signals:
    void filesAndFoldersReady(QStringList pathsList);
    void activateKcAnalyzeFilesFrm();
    void startKelmFilesSearching();
    void startKelmFilesAnalyzing();
    void clearKelmFilesFound();

public slots:
    void onDisplayKelmFilesCounter(ulong ulNumKelmFilesTotal);

private slots:
    void onBrowseClicked();
    void onContinueClicked();
    void onCancelAndRestart();

protected:
    void dragEnterEvent(QDragEnterEvent* pEvent) override;
    void dragLeaveEvent(QDragLeaveEvent* pEvent) override;
    void dropEvent(QDropEvent* pEvent) override;
    void keyPressEvent(QKeyEvent* pEvent) override;
    void resizeEvent(QResizeEvent* pEvent) override;

private:
    static bool isAcceptableDrop(const QMimeData* pMimeData);
    void showIdleLook();
    void showDroppingLook();
    void handOver(const QStringList& slPaths);

    std::unique_ptr<Ui::kelmCnvrStartFrm> m_ui;
    ulong m_ulFilesCounter = 0;
};

} // namespace KcForms
