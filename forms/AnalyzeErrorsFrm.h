#pragma once

#include "workers/UserDlgForm.h"

#include <QDialog>
#include <QString>
#include <QStringList>

#include <memory>

namespace Ui {
class kelmCnvrAnalyzeErrorsFrm;
}

namespace KcForms {

// The page that reports what the user must acknowledge: nothing found, a failure, or the files
// that cannot be converted. CONTINUE leads to the form the work manager named.
class CAnalyzeErrorsFrm : public QDialog {
    Q_OBJECT

public:
    explicit CAnalyzeErrorsFrm(QWidget* pParent = nullptr);
    ~CAnalyzeErrorsFrm() override;

    void setNextForm(KcUserDlgForm ufNextForm);
    void setErrorTitle(const QString& qsTitle);
    void setErrorDetails(const QString& qsText);
    // slReasons, when given, holds one reason per file, shown in a second column beside its name.
    void setBlackList(const QStringList& slBlackList, const QStringList& slReasons = QStringList());

    KcUserDlgForm nextForm() const { return m_ufNextForm; }

signals:
    void activateVideosFoundFrm();
    void activateVideosConvertedFrm();
    void activateStartFrm();

private slots:
    void onContinueClicked();
    void onCancelAndRestart();

protected:
    void keyPressEvent(QKeyEvent* pEvent) override;

private:
    std::unique_ptr<Ui::kelmCnvrAnalyzeErrorsFrm> m_ui;
    KcUserDlgForm m_ufNextForm = ufStartFrm;
    int m_nDetailsStretchIndex = 1; // of pteMsgTextDetails in errorTextLayout
    int m_nPlainTextStretch = 0;    // a short text leaves room to the spacers beside it
    int m_nBlackListStretch = 10;   // a list of file names takes the whole width
};

} // namespace KcForms
