#pragma once

#include <QDialog>
#include <QString>

#include <memory>

namespace Ui {
class kelmCnvrAnalyzeFrm;
}

namespace KcForms {

// The page shown while .kelm files are searched for and analyzed: one status line, a thin
// progress bar and a round cancel button.
class CAnalyzeFilesFrm : public QDialog {
    Q_OBJECT

public:
    explicit CAnalyzeFilesFrm(QWidget* pParent = nullptr);
    ~CAnalyzeFilesFrm() override;

signals:
    void cancelProcessing();

private slots:
    void onCancelClicked();

public slots:
    void onPrepareAnalyzing();
    void onAnalyzingStarted();
    void onUpdateProgressMessage(QString qsMessage);
    void onUpdateProgressBar(int nValue);

protected:
    void keyPressEvent(QKeyEvent* pEvent) override;

private:
    void showMessage(const QString& qsMessage);

    std::unique_ptr<Ui::kelmCnvrAnalyzeFrm> m_ui;
};

} // namespace KcForms
