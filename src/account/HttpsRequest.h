// The small HTTPS client of sign-in and autodetection: one request, the
// whole answer in memory, system proxy and certificate validation.
#pragma once

#include <cstdint>
#include <string>

namespace postern {

class HttpsCancel;

inline constexpr uint32_t kHttpsTimeoutMs = 8000;

// True when a response arrived, whatever its status. An empty content type
// sends no Content-Type header; an empty body sends none.
// `cancel` (may be null) ends the request from another thread.
[[nodiscard]] bool HttpsRequest(const std::string& verb, const std::string& host, uint16_t port,
                                const std::string& path, const std::string& body,
                                const std::string& contentType, HttpsCancel* cancel, std::string& responseBody,
                                uint32_t& status, std::string& error);

// "POST" with "application/x-www-form-urlencoded".
[[nodiscard]] bool HttpsPostForm(const std::string& host, uint16_t port, const std::string& path,
                                 const std::string& body, HttpsCancel* cancel, std::string& responseBody,
                                 uint32_t& status, std::string& error);

// "GET", no body, no content type.
[[nodiscard]] bool HttpsGet(const std::string& host, uint16_t port, const std::string& path,
                            std::string& responseBody, uint32_t& status, std::string& error);

} // namespace postern
