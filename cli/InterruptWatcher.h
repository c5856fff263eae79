#pragma once

#include <QObject>

#include <csignal>

class QSocketNotifier;

namespace KcCli {

// Turns SIGINT, SIGTERM and SIGHUP into the Qt signal interrupted() on the thread that owns the
// watcher: the handler only writes a byte into a pipe whose read end a QSocketNotifier watches,
// so the cancel request itself runs in the event loop like a click on a cancel button. A signal
// that was ignored when the watcher was made (nohup, a background job) stays ignored. One watcher
// at a time; the previous dispositions come back when it is destroyed. SIGWINCH, a change of the
// terminal's size, comes the same way as terminalResized().
class CInterruptWatcher : public QObject {
    Q_OBJECT

public:
    explicit CInterruptWatcher(QObject* pParent = nullptr);
    ~CInterruptWatcher() override;

    // False when the pipe or the handlers could not be set up (interrupts then end the process).
    bool isActive() const { return m_bActive; }
    // The number of the last signal received, 0 before any.
    int lastSignal() const { return m_nLastSignal; }

signals:
    void interrupted(int nSignal);
    void terminalResized();

private slots:
    void onPipeReadable();

private:
    bool m_bOwnsPipe = false;
    bool m_bActive = false;
    int m_nLastSignal = 0;
    QSocketNotifier* m_pNotifier = nullptr;
    struct SHandled {
        int nSignal;
        bool bInstalled = false;
        struct sigaction old {};
    };
    SHandled m_handled[4] = {{SIGINT}, {SIGTERM}, {SIGHUP}, {SIGWINCH}};
};

} // namespace KcCli
