// Opening a URL in the user's browser through xdg-open, started directly
// (no shell, so nothing in the URL is ever interpreted) and detached by a
// double fork so no zombie is left behind and the browser outlives us.
#include "platform/Shell.h"
#include "platform/UrlPolicy.h"

#include "platform/posix/UniqueFd.h"

#include <fcntl.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

namespace postern {

bool OpenUrl(const std::string& url, std::string& error)
{
    // xdg-open hands the URL to whatever handler its scheme names, and would
    // take a leading "-" as an option: the portable rule excludes both.
    if (!CheckOpenableUrl(url, error))
        return false;

    // The grandchild reports a failed exec through this pipe; a successful
    // exec closes it (O_CLOEXEC) and the parent reads end of file.
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0) {
        error = std::string("cannot start xdg-open: ") + std::generic_category().message(errno);
        return false;
    }
    posix::UniqueFd readEnd(ends[0]);
    posix::UniqueFd writeEnd(ends[1]);

    const pid_t child = ::fork();
    if (child < 0) {
        error = std::string("cannot start xdg-open: ") + std::generic_category().message(errno);
        return false;
    }
    if (child == 0) {
        // Only async-signal-safe calls from here on.
        ::setsid();
        const pid_t grandchild = ::fork();
        if (grandchild == 0) {
            char program[] = "xdg-open";
            char* const arguments[] = {program, const_cast<char*>(url.c_str()), nullptr};
            ::execvp(program, arguments);
            const int reason = errno;
            [[maybe_unused]] const ssize_t ignored = ::write(ends[1], &reason, sizeof reason);
            ::_exit(127);
        }
        ::_exit(grandchild < 0 ? 1 : 0);
    }

    writeEnd.Reset();
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        error = "cannot start xdg-open: fork failed";
        return false;
    }
    int reason = 0;
    ssize_t got = 0;
    do {
        got = ::read(readEnd.Get(), &reason, sizeof reason);
    } while (got < 0 && errno == EINTR);
    if (got == static_cast<ssize_t>(sizeof reason)) {
        error = std::string("cannot start xdg-open: ") + std::generic_category().message(reason);
        return false;
    }
    return true;
}

} // namespace postern
