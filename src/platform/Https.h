// HTTPS requests with system proxy settings and certificate validation
// (WinHTTP on Windows; the project's own TLS connection elsewhere).
#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <string>

namespace postern {

// Ends a request under way from another thread, for owners that must stop
// at once (a watcher refreshing its token while its account is edited): the
// request then fails as it would on a network error. Cancelling is for
// good until Reset: a request started afterwards fails before it connects.
// Both backends end the request at once: the POSIX one aborts its
// connection, the Windows one closes its asynchronous WinHTTP request.
class HttpsCancel {
public:
    // Any thread; may be repeated (each call ends what is under way then).
    void Cancel();
    [[nodiscard]] bool Cancelled() const;
    // Ready for new requests again (none may be under way).
    void Reset();

    // For the backends: `end` is what ends the request in progress. False
    // (and nothing kept) when already cancelled.
    [[nodiscard]] bool Attach(std::function<void()> end);
    void Detach();

private:
    mutable std::mutex mutex_;
    bool cancelled_ = false;
    std::function<void()> end_;
};

struct HttpsExchange {
    std::string verb = "GET";
    std::string host;
    uint16_t port = 443;       // tests point this at a loopback server
    std::string path = "/";
    std::string body;          // sent only when non-empty
    std::string contentType;   // "Content-Type" header only when non-empty
    uint32_t timeoutMs = 8000; // per phase: resolve, connect, send, receive
    HttpsCancel* cancel = nullptr;
};

// True when a response arrived, whatever its status; status and body are then
// set. Error texts: "HTTPS request failed (network or TLS error)" for any
// failure to get a response (name, connection, certificate, time-out).
[[nodiscard]] bool PerformHttps(const HttpsExchange& request, std::string& responseBody,
                                uint32_t& status, std::string& error);

} // namespace postern
