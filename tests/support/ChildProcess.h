#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace KcTest {

// Runs work in a forked child whose files may not grow beyond limitBytes: a write past it fails
// with EFBIG, as on a full device, instead of killing the process. The limit stays in the child;
// the text work returns comes back through a pipe. False when the child could not run or did not
// hand its text over.
bool RunWithFileSizeLimit(uint64_t limitBytes, const std::function<std::string()>& work, std::string& output);

} // namespace KcTest
