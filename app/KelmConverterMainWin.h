#pragma once

#include "workers/UserDlgForm.h"

#include <QDialog>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <memory>

class QStackedWidget;

namespace Ui {
class kelmCnvrMainWinClass;
}

namespace KcForms {
class CAnalyzeErrorsFrm;
class CAnalyzeFilesFrm;
class CStartFrm;
class CVideosFoundFrm;
} // namespace KcForms

namespace KcWorkers {
class CWorkManager;
}

namespace KcMain {

// The program's only window: it holds the four pages in one stack, shows the one that the work
// manager or a page asks for, and asks before the program is closed.
class CKelmConverterMainWin : public QDialog {
    Q_OBJECT

public:
    // Without a work manager there is nothing for the videos-found page to show: the window is
    // then built without it and reports itself uninitialized.
    CKelmConverterMainWin(KcWorkers::CWorkManager* pWorkManager, QWidget* pParent = nullptr,
                          Qt::WindowFlags flags = Qt::WindowFlags());
    ~CKelmConverterMainWin() override;

    // False when one of the window's own connections failed.
    bool isInitialized() const { return m_bInitialized; }

    QStackedWidget* formStack() const;
    KcForms::CStartFrm* startFrm() const;
    KcForms::CAnalyzeFilesFrm* analyzeFilesFrm() const;
    KcForms::CAnalyzeErrorsFrm* analyzeErrorsFrm() const;
    KcForms::CVideosFoundFrm* videosFoundFrm() const;

signals:
    void requestToQuit();

public slots:
    void onActivateStartFrm();
    void onActivateAnalyzeFilesFrm();
    void onActivateAnalyzeErrorsFrm(QString qsErrorTitle, QString qsErrorsDetails, KcForms::KcUserDlgForm ufNextForm);
    void onActivateAnalyzeErrorsFrm(QString qsErrorTitle, QStringList slBlackList, KcForms::KcUserDlgForm ufNextForm);
    void onActivateVideosFoundFrm();
    void onActivateVideosConvertedFrm();
    void onActivateVideosConvertedFrm(QString qsErrText);

protected:
    void closeEvent(QCloseEvent* pEvent) override;

private:
    void showPage(QWidget* pPage);
    bool showErrorFrm(const QString& qsErrorTitle, KcForms::KcUserDlgForm ufNextForm);
    void showVideosConvertedFrm(const QString* pErrText);

    std::unique_ptr<Ui::kelmCnvrMainWinClass> m_ui;
    QPointer<KcForms::CStartFrm> m_pStartFrm;
    QPointer<KcForms::CAnalyzeFilesFrm> m_pAnalyzeFilesFrm;
    QPointer<KcForms::CAnalyzeErrorsFrm> m_pAnalyzeErrorsFrm;
    QPointer<KcForms::CVideosFoundFrm> m_pVideosFoundFrm;
    QPointer<KcWorkers::CWorkManager> m_pWorkManager; // for the reasons beside the unusable files
    bool m_bInitialized = true;
};

} // namespace KcMain
