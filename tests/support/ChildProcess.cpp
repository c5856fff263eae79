#include "ChildProcess.h"

#include <csignal>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace KcTest {

bool RunWithFileSizeLimit(uint64_t limitBytes, const std::function<std::string()>& work, std::string& output)
{
    output.clear();
    int channel[2];
    if (pipe(channel) != 0)
        return false;
    const pid_t child = fork();
    if (child < 0) {
        close(channel[0]);
        close(channel[1]);
        return false;
    }
    if (child == 0) {
        close(channel[0]);
        signal(SIGXFSZ, SIG_IGN);
        const rlimit limit = {static_cast<rlim_t>(limitBytes), static_cast<rlim_t>(limitBytes)};
        if (setrlimit(RLIMIT_FSIZE, &limit) != 0)
            _exit(2);
        const std::string text = work();
        size_t written = 0;
        while (written < text.size()) {
            const ssize_t count = write(channel[1], text.data() + written, text.size() - written);
            if (count <= 0)
                _exit(1);
            written += static_cast<size_t>(count);
        }
        _exit(0);
    }
    close(channel[1]);
    char buffer[4096];
    for (ssize_t count; (count = read(channel[0], buffer, sizeof(buffer))) > 0;)
        output.append(buffer, static_cast<size_t>(count));
    close(channel[0]);
    int status = 0;
    return waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

} // namespace KcTest
