#pragma once

// Waiting on the Qt side: the workers report through queued signals, so a test runs the event
// loop (deferred deletions too, as a running application would) until what it waits for holds.

#include <functional>

namespace KcWorkers {
class CWorkManager;
}

namespace KcTest {

// Long enough for a slow, shared machine; only a hang ever waits this long.
constexpr int kWaitMs = 120000;

// Processes events until done() holds; false on timeout.
bool WaitFor(const std::function<bool()>& done, int nTimeoutMs = kWaitMs);

// Until the work manager's job has ended and it is idle again.
bool WaitIdle(const KcWorkers::CWorkManager& manager, int nTimeoutMs = kWaitMs);

} // namespace KcTest
