#include "Wait.h"

#include "workers/WorkManager.h"

#include <QElapsedTimer>
#include <QTest>

namespace KcTest {

bool WaitFor(const std::function<bool()>& done, int nTimeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > nTimeoutMs)
            return false;
        QTest::qWait(5);
    }
    return true;
}

bool WaitIdle(const KcWorkers::CWorkManager& manager, int nTimeoutMs)
{
    return WaitFor([&manager] { return manager.state() == KcWorkers::CWorkManager::wsIdle; }, nTimeoutMs);
}

} // namespace KcTest
