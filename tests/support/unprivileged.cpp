#include "support/unprivileged.h"

#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>

namespace velto::test {

namespace {
constexpr uid_t kNobody = 65534;
constexpr int kPassed = 0;
constexpr int kFailed = 1;
constexpr int kNoDrop = 2;
} // namespace

std::optional<bool> runUnprivileged(const std::function<bool()>& check)
{
    if (geteuid() != 0)
        return check();
    const pid_t child = fork();
    if (child < 0)
        return std::nullopt;
    if (child == 0) {
        // _exit: the child must not run the parent's exit handlers or flush its buffers twice.
        if (setgroups(0, nullptr) != 0 || setgid(kNobody) != 0 || setuid(kNobody) != 0)
            _exit(kNoDrop);
        _exit(check() ? kPassed : kFailed);
    }
    int status = 0;
    if (waitpid(child, &status, 0) != child || !WIFEXITED(status) || WEXITSTATUS(status) == kNoDrop)
        return std::nullopt;
    return WEXITSTATUS(status) == kPassed;
}

} // namespace velto::test
