// The loopback end of an interactive sign-in (RFC 8252): the browser is sent
// to http://127.0.0.1:PORT with the authorization code in the query, and this
// listener takes exactly one such request, answers it with a small page and
// closes at once, so a second or forged request finds the port shut.
#pragma once

#include "platform/TcpListener.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace postern {

// A redirect request line is a few hundred bytes; anything beyond this is
// not a browser coming back from the consent page and is not read further.
inline constexpr std::size_t kMaxRedirectRequest = 8192;

// How long an accepted connection may take to deliver its request.
inline constexpr uint32_t kRedirectReadMs = 10000;

// How long one receive on an accepted connection waits before the next
// connection gets its turn: short, so an idle one delays the others little.
inline constexpr uint32_t kRequestSliceMs = 50;

// Connections read at once; a further one pushes out the oldest (browsers
// open two or three speculatively).
inline constexpr std::size_t kMaxPendingConnections = 8;

// How often a wait for the browser checks whether it was cancelled.
inline constexpr uint32_t kCancelPollMs = 200;

// The value of name in a query string ("a=1&b=2"), %XX and "+" decoded;
// empty when absent. A name matches only at the start or after "&".
[[nodiscard]] std::string QueryParameter(std::string_view query, std::string_view name);

// Judges one raw HTTP request from the browser. On success code is set;
// either way page is the HTML to show and, on failure, error says why.
[[nodiscard]] bool EvaluateRedirect(std::string_view request, std::string_view expectedState,
                                    std::string& code, std::string& page, std::string& error);

// The complete HTTP response carrying page (status 200 even for failures:
// the page itself tells the user what happened).
[[nodiscard]] std::string RedirectResponse(std::string_view page);

class LoopbackListener {
public:
    // Listens on 127.0.0.1 on a port the system picks.
    [[nodiscard]] bool Open(std::string& error);

    // "http://127.0.0.1:PORT" of the open listener.
    [[nodiscard]] std::string RedirectUri() const;

    // Waits up to waitMs for the browser's request, answers it, closes the
    // listener and hands back the code. Each connection has readMs to send
    // at most kMaxRedirectRequest bytes; one that closes or stays silent
    // without sending a byte (a browser's speculative connection) does not
    // count, and the wait goes on. While waiting, cancelled (when given) is
    // asked every kCancelPollMs or so; true closes the listener and fails
    // with "sign-in cancelled".
    [[nodiscard]] bool ReceiveCode(std::string_view expectedState, uint32_t waitMs, uint32_t readMs,
                                   std::string& code, std::string& error,
                                   const std::function<bool()>& cancelled = {});

    void Close();

private:
    TcpListener listener;
};

} // namespace postern
