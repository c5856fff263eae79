#include "cli/InterruptWatcher.h"

#include <QSocketNotifier>

#include <cerrno>

#include <fcntl.h>
#include <unistd.h>

namespace KcCli {

namespace {

// Written by the handler, read by the notifier's slot; -1 while no watcher exists.
volatile sig_atomic_t g_nWriteFd = -1;
int g_pipe[2] = {-1, -1};

extern "C" void OnInterruptSignal(int nSignal)
{
    const int nSavedErrno = errno;
    const int fd = g_nWriteFd;
    if (fd >= 0) {
        const unsigned char byte = static_cast<unsigned char>(nSignal);
        // A full pipe already holds enough requests; nothing else is safe to do here.
        [[maybe_unused]] const ssize_t n = ::write(fd, &byte, 1);
    }
    errno = nSavedErrno;
}

} // namespace

CInterruptWatcher::CInterruptWatcher(QObject* pParent)
    : QObject(pParent)
{
    if (g_nWriteFd >= 0 || ::pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    m_bOwnsPipe = true;
    g_nWriteFd = g_pipe[1];

    m_pNotifier = new QSocketNotifier(g_pipe[0], QSocketNotifier::Read, this);
    connect(m_pNotifier, &QSocketNotifier::activated, this, &CInterruptWatcher::onPipeReadable);

    struct sigaction action {};
    action.sa_handler = &OnInterruptSignal;
    sigemptyset(&action.sa_mask);
    // Interrupted system calls of the event loop simply go on.
    action.sa_flags = SA_RESTART;
    m_bActive = true;
    for (SHandled& handled : m_handled) {
        // A signal the caller chose to ignore (nohup, a background job) stays ignored.
        if (::sigaction(handled.nSignal, nullptr, &handled.old) != 0) {
            m_bActive = false;
            continue;
        }
        if (handled.old.sa_handler == SIG_IGN)
            continue;
        handled.bInstalled = ::sigaction(handled.nSignal, &action, nullptr) == 0;
        // Without the size change only the redraw is missing.
        m_bActive = m_bActive && (handled.bInstalled || handled.nSignal == SIGWINCH);
    }
}

CInterruptWatcher::~CInterruptWatcher()
{
    if (!m_bOwnsPipe)
        return;
    for (const SHandled& handled : m_handled) {
        if (handled.bInstalled)
            ::sigaction(handled.nSignal, &handled.old, nullptr);
    }
    g_nWriteFd = -1;
    delete m_pNotifier;
    ::close(g_pipe[0]);
    ::close(g_pipe[1]);
    g_pipe[0] = g_pipe[1] = -1;
}

void CInterruptWatcher::onPipeReadable()
{
    unsigned char bytes[16];
    ssize_t n;
    while ((n = ::read(g_pipe[0], bytes, sizeof(bytes))) > 0) {
        for (ssize_t i = 0; i < n; ++i) {
            if (bytes[i] == SIGWINCH) {
                emit terminalResized();
                continue;
            }
            m_nLastSignal = bytes[i];
            emit interrupted(int(bytes[i]));
        }
    }
}

} // namespace KcCli
