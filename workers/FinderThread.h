#pragma once

#include <QStringList>
#include <QThread>

#include <atomic>

namespace KcWorkers {

// A file name as bytes, shown as text: valid UTF-8 as it is, every other byte and every control
// character as \xNN.
QString escapedFileName(const QByteArray& rawPath);

// Walks the given files and folders on its own thread and collects every ".kelm" file (in any
// letter case). The two counters are read by the GUI thread's once-a-second report.
class CFinderThread : public QThread {
    Q_OBJECT

public:
    explicit CFinderThread(QObject* pParent = nullptr);
    ~CFinderThread() override;

    // The source list is read when a walk is prepared; the output list is filled by the walk and
    // must not be touched until the thread has finished.
    void setLists(const QStringList* pSourceList, QStringList* pOutputList);
    // Takes the paths for the next walk; call on the owning thread while the thread is not
    // running, so that the source list may change during the walk.
    void prepareRun();

    void requestStop() { m_bStopRequested.store(true); }
    // The pause after the final count, which lets a window show it; a console has no use for it.
    // Set while the thread is not running.
    void setFinalPause(bool bPause) { m_bFinalPause = bPause; }
    int filesSeen() const { return m_nFilesSeen.load(); }
    int kelmFilesFound() const { return m_nKelmFilesFound.load(); }

    // A path counts as a container file when its name ends in ".kelm", in any letter case.
    static bool isKelmFilePath(const QString& qsPath);

signals:
    void startFindFiles();
    void findFiles(int countTotal, int countKelm);
    // A file or folder left out because this program cannot open it by name; qsPath shows bytes
    // that are not UTF-8 as \xNN.
    void pathSkipped(QString qsPath, QString qsReason);

protected:
    void run() override;

private:
    void checkFile(const QString& qsPath);
    void walkFolder(const QByteArray& rootPath);
    bool stopRequested() const { return m_bStopRequested.load(std::memory_order_relaxed); }

    QStringList* m_pOutputList = nullptr;
    const QStringList* m_pSourceList = nullptr;
    std::atomic<bool> m_bStopRequested{false};
    std::atomic<int> m_nFilesSeen{0};
    std::atomic<int> m_nKelmFilesFound{0};
    QStringList m_slPathsToWalk; // the source list as it was when the walk was prepared
    bool m_bPrepared = false;
    bool m_bFinalPause = true;
};

} // namespace KcWorkers
