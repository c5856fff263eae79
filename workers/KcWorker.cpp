#include "workers/KcWorker.h"

#include <new>

namespace KcMain {

KcException::KcException(const QString& qsUserText, const QString& qsLogText)
    : m_qsUserText(qsUserText),
      m_qsLogText(qsLogText),
      m_logTextUtf8(qsLogText.toUtf8())
{
}

} // namespace KcMain

namespace KcWorkers {

CKcWorker::CKcWorker(KELMNameSpace::CKELMExport& storage, ExportedSrids& exportedSrids, CancelFlag& cancelFlag,
                     QObject* pParent)
    : QObject(pParent),
      m_pStorage(&storage),
      m_pExportedSrids(&exportedSrids),
      m_pCancelFlag(&cancelFlag)
{
}

CKcWorker::~CKcWorker() = default;

void CKcWorker::doWork()
{
    QString qsError;
    QString qsLogError;
    bool bFailed = true;
    try {
        process();
        bFailed = false;
    } catch (const KcMain::KcException& exception) {
        qsError = exception.userText();
        qsLogError = exception.logText();
    } catch (const std::bad_alloc&) {
        qsError = tr("Out of memory");
        qsLogError = QStringLiteral("Out of memory");
    } catch (...) {
        qsError = tr("Unknown exception");
        qsLogError = QStringLiteral("Unknown exception");
    }
    if (bFailed)
        emit workCompletionError(qsError, qsLogError, 0);
    emit workDone();
}

bool CProgressGate::pass(uint64_t shownState, double fWholeSeconds)
{
    if (m_bSent && shownState == m_lastShownState
        && (fWholeSeconds == m_fLastWholeSeconds || m_sinceSent.elapsed() < kEstimateIntervalMs))
        return false;
    m_bSent = true;
    m_lastShownState = shownState;
    m_fLastWholeSeconds = fWholeSeconds;
    m_sinceSent.start();
    return true;
}

QString toQString(const std::wstring& text)
{
    return QString::fromStdWString(text);
}

std::wstring toWString(const QString& qsText)
{
    return qsText.toStdWString();
}

} // namespace KcWorkers
