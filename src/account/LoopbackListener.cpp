#include "account/LoopbackListener.h"

#include "platform/AsciiText.h"

#include <chrono>
#include <memory>

namespace postern {

namespace {

constexpr const char* kBadRedirectPage = "<h2>Postern: sign-in failed (bad redirect).</h2>";
constexpr const char* kStateMismatchPage = "<h2>Postern: sign-in failed (state mismatch).</h2>";
constexpr const char* kCancelledPage = "<h2>Postern: sign-in was cancelled or denied.</h2>";
constexpr const char* kSignedInPage =
    "<html><body style='font-family:sans-serif;background:#14161a;color:#e8e6e3'>"
    "<h2>Postern is signed in.</h2><p>You can close this tab and return to the app.</p></body></html>";

// The browser delivers the code percent-encoded (Google's codes contain
// "/"): it must be decoded once here, or the token request would encode it
// a second time and the exchange would fail.
std::string QueryDecode(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '+') {
            out += ' ';
        } else if (c == '%' && i + 2 < text.size() && HexDigitValue(text[i + 1]) >= 0 && HexDigitValue(text[i + 2]) >= 0) {
            out += static_cast<char>(HexDigitValue(text[i + 1]) * 16 + HexDigitValue(text[i + 2]));
            i += 2;
        } else {
            out += c;
        }
    }
    return out;
}

// Compares without stopping at the first difference, so the time taken says
// nothing about how much of a guessed state was right.
bool SameSecret(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    unsigned char difference = 0;
    for (std::size_t i = 0; i < a.size(); ++i)
        difference |= static_cast<unsigned char>(a[i] ^ b[i]);
    return difference == 0;
}

} // namespace

std::string QueryParameter(std::string_view query, std::string_view name)
{
    std::size_t start = 0;
    while (start <= query.size()) {
        std::size_t end = query.find('&', start);
        if (end == std::string_view::npos)
            end = query.size();
        const std::string_view pair = query.substr(start, end - start);
        if (pair.size() > name.size() && pair.substr(0, name.size()) == name && pair[name.size()] == '=')
            return QueryDecode(pair.substr(name.size() + 1));
        if (pair.size() == name.size() + 1 && pair.substr(0, name.size()) == name && pair.back() == '=')
            return {};
        start = end + 1;
    }
    return {};
}

bool EvaluateRedirect(std::string_view request, std::string_view expectedState, std::string& code,
                      std::string& page, std::string& error)
{
    code.clear();
    // Only the request line counts: a "?" in a header is not a query.
    const std::size_t lineEnd = request.find("\r\n");
    const std::string_view line = request.substr(0, lineEnd);
    const std::size_t question = line.find('?');
    const std::size_t version = line.find(" HTTP/");
    if (question == std::string_view::npos || version == std::string_view::npos || version < question) {
        page = kBadRedirectPage;
        error = "malformed OAuth redirect";
        return false;
    }
    const std::string_view query = line.substr(question + 1, version - question - 1);
    // The state comes first: nothing else in a request that did not come
    // from our own authorization request is worth looking at.
    if (expectedState.empty() || !SameSecret(QueryParameter(query, "state"), expectedState)) {
        page = kStateMismatchPage;
        error = "OAuth state mismatch";
        return false;
    }
    std::string received = QueryParameter(query, "code");
    if (received.empty()) {
        page = kCancelledPage;
        error = "OAuth error: " + QueryParameter(query, "error");
        return false;
    }
    code = std::move(received);
    page = kSignedInPage;
    return true;
}

std::string RedirectResponse(std::string_view page)
{
    std::string response = "HTTP/1.1 200 OK\r\nContent-Type: text/html; charset=utf-8\r\nConnection: close\r\n"
                           "Content-Length: ";
    response += std::to_string(page.size());
    response += "\r\n\r\n";
    response += page;
    return response;
}

bool LoopbackListener::Open(std::string& error)
{
    return listener.Listen(0, error);
}

std::string LoopbackListener::RedirectUri() const
{
    return "http://127.0.0.1:" + std::to_string(listener.Port());
}

void LoopbackListener::Close()
{
    listener.Close();
}

bool LoopbackListener::ReceiveCode(std::string_view expectedState, uint32_t waitMs, uint32_t readMs,
                                   std::string& code, std::string& error, const std::function<bool()>& cancelled)
{
    std::unique_ptr<ByteStream> connection;
    int accepted = 0;
    if (!cancelled) {
        accepted = listener.Accept(waitMs, readMs, connection, error);
    } else {
        // Waiting in short slices lets a closed dialog end the wait at once
        // instead of holding the port open for minutes.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
        for (;;) {
            if (cancelled()) {
                listener.Close();
                error = "sign-in cancelled";
                return false;
            }
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0)
                break;
            const auto slice = static_cast<uint32_t>(left.count() < kCancelPollMs ? left.count() : kCancelPollMs);
            accepted = listener.Accept(slice, readMs, connection, error);
            if (accepted != 0)
                break;
        }
    }
    listener.Close();
    if (accepted == 0) {
        error = "timed out waiting for the browser sign-in";
        return false;
    }
    if (accepted < 0)
        return false;

    // Read until the header ends, the peer stops, the size bound or the
    // deadline: a client that trickles bytes cannot hold the sign-in.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(readMs);
    std::string request;
    for (int reads = 0; reads < 4096; ++reads) {
        if (request.find("\r\n\r\n") != std::string::npos || request.size() >= kMaxRedirectRequest
            || std::chrono::steady_clock::now() >= deadline)
            break;
        char buffer[4096];
        const std::size_t room = kMaxRedirectRequest - request.size();
        const int capacity = static_cast<int>(room < sizeof buffer ? room : sizeof buffer);
        std::string ignored;
        const int got = connection->Receive(buffer, capacity, ignored);
        if (got <= 0)
            break;
        request.append(buffer, static_cast<std::size_t>(got));
    }

    std::string page;
    const bool ok = EvaluateRedirect(request, expectedState, code, page, error);
    std::string ignored;
    (void)connection->Send(RedirectResponse(page), ignored);
    return ok;
}

} // namespace postern
