// Winsock must be started before the first socket call of the process.
#pragma once

namespace postern {

// Starts Winsock 2.2 the first time it is called in this process and reports
// whether that start succeeded; later calls return the first result. Safe
// from several threads at once (the worker and the new-mail watchers connect
// concurrently). Winsock is never cleaned up: sockets may live until exit.
[[nodiscard]] bool EnsureWinsockStarted();

} // namespace postern
