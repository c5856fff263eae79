#include "app/KelmConverterMainWin.h"

#include "app/MessageBox.h"
#include "core/Log.h"
#include "forms/AnalyzeErrorsFrm.h"
#include "forms/AnalyzeFilesFrm.h"
#include "forms/StartFrm.h"
#include "forms/VideosFoundFrm.h"
#include "ui_KelmConverterMainWin.h"
#include "workers/WorkManager.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QStackedWidget>

using KcLog::logWrite;
using KcLog::logWriteSpaced;

namespace KcMain {

namespace {

const QString kLogTag = QStringLiteral("Main");

// The window is a dialog, and a dialog closes itself on Escape: that would hide the whole window
// while the program goes on running. The pages handle their own keys; an Escape they leave
// does nothing here.
class CEscapeKeyFilter : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* pWatched, QEvent* pEvent) override
    {
        if (pEvent->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(pEvent)->key() == Qt::Key_Escape)
            return true;
        return QObject::eventFilter(pWatched, pEvent);
    }
};

} // namespace

CKelmConverterMainWin::CKelmConverterMainWin(KcWorkers::CWorkManager* pWorkManager, QWidget* pParent,
                                             Qt::WindowFlags flags)
    : QDialog(pParent, flags),
      m_ui(std::make_unique<Ui::kelmCnvrMainWinClass>()),
      m_pWorkManager(pWorkManager)
{
    logWrite(KcLog::INFO, kLogTag, QStringLiteral("Initializing the main window ..."));
    m_ui->setupUi(this);

    m_pStartFrm = new KcForms::CStartFrm(this);
    m_pAnalyzeFilesFrm = new KcForms::CAnalyzeFilesFrm(this);
    m_pAnalyzeErrorsFrm = new KcForms::CAnalyzeErrorsFrm(this);
    if (pWorkManager)
        m_pVideosFoundFrm = new KcForms::CVideosFoundFrm(*pWorkManager, this);

    QStackedWidget* pStack = m_ui->kelmCnvrMainFrmStack;
    auto* pEscapeFilter = new CEscapeKeyFilter(this);
    installEventFilter(pEscapeFilter);
    for (QWidget* pForm : {static_cast<QWidget*>(m_pStartFrm), static_cast<QWidget*>(m_pAnalyzeFilesFrm),
                           static_cast<QWidget*>(m_pAnalyzeErrorsFrm), static_cast<QWidget*>(m_pVideosFoundFrm)}) {
        if (!pForm)
            continue;
        pStack->addWidget(pForm);
    }
    showPage(m_pStartFrm);

    // Every connection is tried, so that the log of a failed start is complete.
    m_bInitialized &= bool(connect(m_pStartFrm, &KcForms::CStartFrm::activateKcAnalyzeFilesFrm, this,
                                   &CKelmConverterMainWin::onActivateAnalyzeFilesFrm));
    m_bInitialized &= bool(connect(m_pAnalyzeErrorsFrm, &KcForms::CAnalyzeErrorsFrm::activateVideosFoundFrm, this,
                                   &CKelmConverterMainWin::onActivateVideosFoundFrm));
    m_bInitialized &= bool(connect(m_pAnalyzeErrorsFrm, &KcForms::CAnalyzeErrorsFrm::activateVideosConvertedFrm, this,
                                   qOverload<>(&CKelmConverterMainWin::onActivateVideosConvertedFrm)));
    m_bInitialized &= bool(connect(m_pAnalyzeErrorsFrm, &KcForms::CAnalyzeErrorsFrm::activateStartFrm, this,
                                   &CKelmConverterMainWin::onActivateStartFrm));
    m_bInitialized &= bool(connect(m_pVideosFoundFrm, &KcForms::CVideosFoundFrm::activateStartFrm, this,
                                   &CKelmConverterMainWin::onActivateStartFrm));

    if (m_bInitialized)
        logWrite(KcLog::INFO, kLogTag, QStringLiteral("The main window initialized OK"));
    else
        logWriteSpaced(KcLog::FATAL, kLogTag,
                       QStringLiteral("Internal error: Failed to make main window core object connections. The "
                                      "application will be closed"));
}

CKelmConverterMainWin::~CKelmConverterMainWin() = default;

void CKelmConverterMainWin::showPage(QWidget* pPage)
{
    formStack()->setCurrentWidget(pPage);
    // The page takes the keys (Enter, Escape and its own), whatever had the focus before.
    pPage->setFocus(Qt::OtherFocusReason);
}

QStackedWidget* CKelmConverterMainWin::formStack() const
{
    return m_ui->kelmCnvrMainFrmStack;
}

KcForms::CStartFrm* CKelmConverterMainWin::startFrm() const
{
    return m_pStartFrm;
}

KcForms::CAnalyzeFilesFrm* CKelmConverterMainWin::analyzeFilesFrm() const
{
    return m_pAnalyzeFilesFrm;
}

KcForms::CAnalyzeErrorsFrm* CKelmConverterMainWin::analyzeErrorsFrm() const
{
    return m_pAnalyzeErrorsFrm;
}

KcForms::CVideosFoundFrm* CKelmConverterMainWin::videosFoundFrm() const
{
    return m_pVideosFoundFrm;
}

void CKelmConverterMainWin::onActivateStartFrm()
{
    if (!m_pStartFrm) {
        logWriteSpaced(KcLog::FATAL, kLogTag,
                       QStringLiteral("Internal error: Failed to display start app form - not initialized"));
        return;
    }
    showPage(m_pStartFrm);
    logWrite(KcLog::INFO, kLogTag, QStringLiteral("Start app form displayed"));
}

void CKelmConverterMainWin::onActivateAnalyzeFilesFrm()
{
    if (!m_pAnalyzeFilesFrm) {
        logWriteSpaced(KcLog::FATAL, kLogTag,
                       QStringLiteral("Internal error: Failed to display 'analyzing progress' form - not initialized"));
        return;
    }
    showPage(m_pAnalyzeFilesFrm);
    m_pAnalyzeFilesFrm->onUpdateProgressBar(0);
    logWrite(KcLog::INFO, kLogTag, QStringLiteral("Files analyzing progress form displayed"));
}

bool CKelmConverterMainWin::showErrorFrm(const QString& qsErrorTitle, KcForms::KcUserDlgForm ufNextForm)
{
    if (!m_pAnalyzeErrorsFrm) {
        logWriteSpaced(
            KcLog::FATAL, kLogTag,
            QStringLiteral("Internal error: Failed to display the error information form - not initialized"));
        return false;
    }
    m_pAnalyzeErrorsFrm->setNextForm(ufNextForm);
    m_pAnalyzeErrorsFrm->setErrorTitle(qsErrorTitle);
    showPage(m_pAnalyzeErrorsFrm);
    logWrite(KcLog::INFO, kLogTag, QStringLiteral("The error information form displayed"));
    return true;
}

void CKelmConverterMainWin::onActivateAnalyzeErrorsFrm(QString qsErrorTitle, QString qsErrorsDetails,
                                                       KcForms::KcUserDlgForm ufNextForm)
{
    if (showErrorFrm(qsErrorTitle, ufNextForm))
        m_pAnalyzeErrorsFrm->setErrorDetails(qsErrorsDetails);
}

void CKelmConverterMainWin::onActivateAnalyzeErrorsFrm(QString qsErrorTitle, QStringList slBlackList,
                                                       KcForms::KcUserDlgForm ufNextForm)
{
    if (!showErrorFrm(qsErrorTitle, ufNextForm))
        return;
    // The manager keeps one reason per name it sent; a list from elsewhere goes without them.
    QStringList slReasons;
    if (m_pWorkManager && m_pWorkManager->unusableFileReasons().size() == slBlackList.size())
        slReasons = m_pWorkManager->unusableFileReasons();
    m_pAnalyzeErrorsFrm->setBlackList(slBlackList, slReasons);
}

void CKelmConverterMainWin::onActivateVideosFoundFrm()
{
    if (!m_pVideosFoundFrm) {
        logWriteSpaced(KcLog::FATAL, kLogTag,
                       QStringLiteral("Internal error: Failed to display 'Videos Found' form - not initialized"));
        return;
    }
    m_pVideosFoundFrm->setMode(KcForms::CVideosFoundFrm::mdVideosFound);
    m_pVideosFoundFrm->updateTitlePane();
    m_pVideosFoundFrm->initVisualArea();
    m_pVideosFoundFrm->setTitles(QCoreApplication::translate("kelmCnvrVideosFoundFrm", "Videofiles found"));
    m_pVideosFoundFrm->setStatusPaneVideosFound();
    showPage(m_pVideosFoundFrm);
    logWrite(KcLog::INFO, kLogTag, QStringLiteral("The 'Videos Found' form displayed"));
}

void CKelmConverterMainWin::showVideosConvertedFrm(const QString* pErrText)
{
    if (!m_pVideosFoundFrm) {
        logWriteSpaced(KcLog::FATAL, kLogTag,
                       QStringLiteral("Internal error: Failed to display 'Videos Converted' form - not initialized"));
        return;
    }
    m_pVideosFoundFrm->setMode(KcForms::CVideosFoundFrm::mdResults);
    m_pVideosFoundFrm->updateTitlePane();
    m_pVideosFoundFrm->setStatusPaneConvertedResults();
    if (pErrText)
        m_pVideosFoundFrm->showExportError(*pErrText);
    else
        m_pVideosFoundFrm->hideExportError();
    m_pVideosFoundFrm->showExportResults();
    showPage(m_pVideosFoundFrm);
    if (pErrText)
        logWrite(KcLog::INFO, kLogTag,
                 QStringLiteral("The 'Videos Converted' form displayed with an error message: ") + *pErrText);
    else
        logWrite(KcLog::INFO, kLogTag, QStringLiteral("The 'Videos Converted' form displayed"));
}

void CKelmConverterMainWin::onActivateVideosConvertedFrm()
{
    showVideosConvertedFrm(nullptr);
}

void CKelmConverterMainWin::onActivateVideosConvertedFrm(QString qsErrText)
{
    showVideosConvertedFrm(&qsErrText);
}

void CKelmConverterMainWin::closeEvent(QCloseEvent* pEvent)
{
    KcLog::logWriteEmptyLine();
    logWrite(KcLog::INFO, kLogTag, QStringLiteral("The 'close app' command accepted"));
    const QMessageBox::StandardButton answer = showMessageBox(
        QMessageBox::Question, QCoreApplication::translate("kelmCnvrMainWinClass", "Are you sure you want to exit?"),
        QMessageBox::Yes | QMessageBox::No, QMessageBox::NoButton);
    if (answer == QMessageBox::Yes) {
        logWrite(KcLog::INFO, kLogTag, QStringLiteral("And was confirmed by user - request to exit generated"));
        emit requestToQuit();
    } else {
        logWrite(KcLog::INFO, kLogTag, QStringLiteral("But was rejected by user."));
    }
    // The window never closes itself: the work manager ends the program once no job runs.
    pEvent->ignore();
}

} // namespace KcMain
