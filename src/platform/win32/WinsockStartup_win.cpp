#include "platform/win32/WinsockStartup_win.h"

#include <winsock2.h>

#include <mutex>

namespace postern {

bool EnsureWinsockStarted()
{
    // A plain "started" flag would be a data race when two threads make their
    // first connection at the same moment; call_once also makes the losers
    // wait until the winner's WSAStartup has finished.
    static std::once_flag once;
    static bool started = false;
    std::call_once(once, [] {
        WSADATA data{};
        started = WSAStartup(MAKEWORD(2, 2), &data) == 0;
    });
    return started;
}

} // namespace postern
