// HTTPS requests with system proxy settings and certificate validation
// (WinHTTP on Windows; the project's own TLS connection elsewhere).
#pragma once

#include <cstdint>
#include <string>

namespace postern {

struct HttpsExchange {
    std::string verb = "GET";
    std::string host;
    uint16_t port = 443;       // tests point this at a loopback server
    std::string path = "/";
    std::string body;          // sent only when non-empty
    std::string contentType;   // "Content-Type" header only when non-empty
    uint32_t timeoutMs = 8000; // per phase: resolve, connect, send, receive
};

// True when a response arrived, whatever its status; status and body are then
// set. Error texts: "HTTPS request failed (network or TLS error)" for any
// failure to get a response (name, connection, certificate, time-out).
[[nodiscard]] bool PerformHttps(const HttpsExchange& request, std::string& responseBody,
                                uint32_t& status, std::string& error);

} // namespace postern
