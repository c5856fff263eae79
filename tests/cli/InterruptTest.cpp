// Ctrl-C inside the process: the watcher turns the signal into an event of the event loop (a
// child kelmconv interrupted during its export is in ConvertCommandTest).
#include "CliTestSupport.h"

#include "cli/InterruptWatcher.h"

#include <QCoreApplication>

#include <csignal>
#include <functional>

namespace KcCliTest {
namespace {

volatile sig_atomic_t g_nPreviousHandlerCalls = 0;

extern "C" void CountingHandler(int)
{
    g_nPreviousHandlerCalls = g_nPreviousHandlerCalls + 1;
}

// Installs a counting SIGINT handler for the test and puts the old one back afterwards.
class CCountingSigint {
public:
    CCountingSigint()
    {
        g_nPreviousHandlerCalls = 0;
        struct sigaction action {};
        action.sa_handler = &CountingHandler;
        sigemptyset(&action.sa_mask);
        sigaction(SIGINT, &action, &m_old);
    }
    ~CCountingSigint() { sigaction(SIGINT, &m_old, nullptr); }

private:
    struct sigaction m_old {};
};

TEST(InterruptTest, SignalBecomesAnEventAndThePreviousHandlerReturns)
{
    CCountingSigint counting;
    int nReceived = 0;
    {
        KcCli::CInterruptWatcher watcher;
        ASSERT_TRUE(watcher.isActive());
        QObject::connect(&watcher, &KcCli::CInterruptWatcher::interrupted, [&nReceived](int nSignal) {
            EXPECT_EQ(nSignal, SIGINT);
            ++nReceived;
        });
        // Only one watcher owns the signals at a time; a second one stays inactive and harmless.
        {
            KcCli::CInterruptWatcher second;
            EXPECT_FALSE(second.isActive());
        }
        int nResized = 0;
        QObject::connect(&watcher, &KcCli::CInterruptWatcher::terminalResized, [&nResized] { ++nResized; });
        std::raise(SIGINT);
        EXPECT_TRUE(WaitFor([&nReceived] { return nReceived == 1; }));
        EXPECT_EQ(g_nPreviousHandlerCalls, 0);
        // A new terminal size is no interrupt.
        std::raise(SIGWINCH);
        EXPECT_TRUE(WaitFor([&nResized] { return nResized == 1; }));
        EXPECT_EQ(nReceived, 1);
    }
    std::raise(SIGINT);
    EXPECT_EQ(g_nPreviousHandlerCalls, 1);
    EXPECT_EQ(nReceived, 1);
}

TEST(InterruptTest, IgnoredSignalStaysIgnored)
{
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    struct sigaction old {};
    ASSERT_EQ(sigaction(SIGHUP, &ignore, &old), 0);
    {
        KcCli::CInterruptWatcher watcher;
        struct sigaction current {};
        sigaction(SIGHUP, nullptr, &current);
        EXPECT_EQ(current.sa_handler, SIG_IGN);
    }
    struct sigaction after {};
    sigaction(SIGHUP, nullptr, &after);
    EXPECT_EQ(after.sa_handler, SIG_IGN);
    sigaction(SIGHUP, &old, nullptr);
}

} // namespace
} // namespace KcCliTest
