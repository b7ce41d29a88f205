#include "account/LoopbackListener.h"

#include "platform/AsciiText.h"

#include <chrono>
#include <memory>
#include <vector>

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

// One accepted connection whose request is not complete yet.
struct PendingRequest {
    std::unique_ptr<ByteStream> connection;
    std::string request;
    std::chrono::steady_clock::time_point deadline; // for the whole request
};

enum class RequestState { Waiting, Complete, Unused };

// One receive on the connection. Complete once the header has ended, the
// size bound is reached, or the peer stopped after sending something
// (closed, failed, or past its deadline: a client that trickles bytes
// cannot hold the sign-in); Unused when it stopped without a byte.
RequestState ReadSome(PendingRequest& pending)
{
    std::string& request = pending.request;
    char buffer[4096];
    const std::size_t room = kMaxRedirectRequest - request.size();
    const int capacity = static_cast<int>(room < sizeof buffer ? room : sizeof buffer);
    std::string ignored;
    const int got = pending.connection->Receive(buffer, capacity, ignored);
    if (got > 0) {
        request.append(buffer, static_cast<std::size_t>(got));
        if (request.find("\r\n\r\n") != std::string::npos || request.size() >= kMaxRedirectRequest)
            return RequestState::Complete;
    }
    const bool stopped = got == 0 || got == -1 || std::chrono::steady_clock::now() >= pending.deadline;
    if (!stopped)
        return RequestState::Waiting;
    return request.empty() ? RequestState::Unused : RequestState::Complete;
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
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(waitMs);
    // Browsers open speculative connections to the redirect address and may
    // close them unused or leave them idle, and the redirect may come on any
    // of them: every open one is read in turn, and one that ends or idles
    // away without a byte does not count.
    std::vector<PendingRequest> pending;
    for (;;) {
        if (cancelled && cancelled()) {
            listener.Close();
            error = "sign-in cancelled";
            return false;
        }
        const auto now = Clock::now();
        if (now >= deadline)
            break;
        // With nothing to read, wait for a connection: in short slices when a
        // cancellation must be noticed, else for the rest of the time.
        uint32_t acceptWait = 0;
        if (pending.empty()) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now).count();
            acceptWait = static_cast<uint32_t>(cancelled && left > kCancelPollMs ? kCancelPollMs : left);
        }
        std::unique_ptr<ByteStream> connection;
        const int accepted = listener.Accept(acceptWait, kRequestSliceMs, connection, error);
        if (accepted < 0) {
            listener.Close();
            return false;
        }
        if (accepted > 0) {
            if (pending.size() == kMaxPendingConnections)
                pending.erase(pending.begin());
            pending.push_back({std::move(connection), {}, Clock::now() + std::chrono::milliseconds(readMs)});
        }
        for (auto it = pending.begin(); it != pending.end();) {
            const RequestState state = ReadSome(*it);
            if (state == RequestState::Complete) {
                listener.Close();
                std::string page;
                const bool ok = EvaluateRedirect(it->request, expectedState, code, page, error);
                std::string ignored;
                (void)it->connection->Send(RedirectResponse(page), ignored);
                return ok;
            }
            it = state == RequestState::Unused ? pending.erase(it) : it + 1;
        }
    }
    listener.Close();
    error = "timed out waiting for the browser sign-in";
    return false;
}

} // namespace postern
