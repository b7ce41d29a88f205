#include "support/OAuthPeer.h"

#include "account/HttpsRequest.h"
#include "platform/TlsConnection.h"

namespace postern::test {

OAuthEndpoints OAuthPeerEndpoints(const std::string& tokenPath)
{
    OAuthEndpoints endpoints;
    const auto port = static_cast<uint16_t>(FixturePort("POSTERN_SIGNIN_OAUTH_PORT"));
    endpoints.authorizationHost = "localhost";
    endpoints.authorizationPort = port;
    endpoints.tokenHost = "localhost";
    endpoints.tokenPort = port;
    endpoints.tokenPath = tokenPath;
    return endpoints;
}

namespace {

// A plain TCP connection to the loopback listener that sends nothing.
bool ConnectQuietly(TlsConnection& connection, uint32_t port)
{
    std::string error;
    return connection.Connect("127.0.0.1", port, 5000, error);
}

// True when the listener let go of the connection (within 5 s) without
// answering on it.
bool ClosedUnanswered(TlsConnection& connection)
{
    char buffer[256];
    std::string error;
    const int got = connection.Receive(buffer, sizeof buffer, error);
    return got == 0 || got == -1;
}

} // namespace

BrowserOpener TestBrowser::Opener()
{
    return [this](const std::string& url, std::string&) {
        authorizationUrl = url;
        if (mode != BrowserMode::StayAway)
            thread = std::thread([this] { Run(); });
        return true;
    };
}

void TestBrowser::Join()
{
    if (thread.joinable())
        thread.join();
}

uint32_t TestBrowser::LoopbackPort(const std::string& url)
{
    const std::string marker = "127.0.0.1%3A";
    const std::size_t at = url.find(marker);
    return at == std::string::npos ? 0 : static_cast<uint32_t>(std::stoul(url.substr(at + marker.size())));
}

bool TestBrowser::Visit(uint32_t port, const std::string& request, std::string& answer)
{
    TlsConnection connection; // plain TCP: never switched to TLS
    std::string error;
    if (!connection.Connect("127.0.0.1", port, 5000, error))
        return false;
    if (!request.empty() && !connection.Send(request, error))
        return true;
    for (int i = 0; i < 1000; ++i) {
        char buffer[4096];
        const int got = connection.Receive(buffer, sizeof buffer, error);
        if (got <= 0)
            break;
        answer.append(buffer, static_cast<std::size_t>(got));
    }
    return true;
}

void TestBrowser::Run()
{
    const uint32_t port = LoopbackPort(authorizationUrl);
    TlsConnection idle; // left open and silent while the redirect comes
    if (mode == BrowserMode::Speculative) {
        TlsConnection unused;
        if (!ConnectQuietly(unused, port) || !ConnectQuietly(idle, port)) {
            problem = "loopback listener not reachable";
            return;
        }
        unused.Close();
    } else if (mode == BrowserMode::IdleFirst) {
        TlsConnection dropped;
        if (!ConnectQuietly(dropped, port) || !ClosedUnanswered(dropped)) {
            problem = "a silent connection was answered or kept past the read time";
            return;
        }
    }
    std::string request;
    if (mode == BrowserMode::Follow || mode == BrowserMode::Speculative || mode == BrowserMode::IdleFirst) {
        // "https://localhost:PORT/path?query"
        const std::size_t hostStart = authorizationUrl.find("://") + 3;
        const std::size_t colon = authorizationUrl.find(':', hostStart);
        const std::size_t slash = authorizationUrl.find('/', hostStart);
        const auto serverPort = static_cast<uint16_t>(std::stoul(authorizationUrl.substr(colon + 1)));
        std::string redirect;
        uint32_t status = 0;
        std::string error;
        if (!HttpsGet(authorizationUrl.substr(hostStart, colon - hostStart), serverPort,
                      authorizationUrl.substr(slash), redirect, status, error)
            || status != 200) {
            problem = "authorization request failed: " + error + " " + std::to_string(status) + " " + redirect;
            return;
        }
        request = "GET " + redirect.substr(redirect.find('/', redirect.find("://") + 3)) + " HTTP/1.1\r\n"
            + "Host: 127.0.0.1\r\nUser-Agent: test\r\n\r\n";
    } else if (mode == BrowserMode::IconFirst) {
        request = "GET /favicon.ico HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";
    } else if (mode == BrowserMode::Oversized) {
        request = "GET /" + std::string(100000, 'x') + "?state=a";
    }
    if (!Visit(port, request, page)) {
        problem = "loopback listener not reachable";
        return;
    }
    std::string ignored;
    secondRefused = !Visit(port, "GET /?state=x&code=y HTTP/1.1\r\n\r\n", ignored);
    if (mode == BrowserMode::Speculative && !ClosedUnanswered(idle))
        problem = "the idle connection was answered or kept after the redirect";
}

std::string SignInAtOAuthPeer(OAuthTokens& tokens)
{
    TestBrowser browser;
    SignInOptions options;
    options.endpoints = OAuthPeerEndpoints();
    options.openBrowser = browser.Opener();
    options.browserWaitMs = 20000;
    std::string error;
    const bool ok = SignInInteractive(options, "mail-client", "secret", tokens, error);
    browser.Join();
    if (!browser.problem.empty())
        return "browser: " + browser.problem;
    return ok ? std::string() : "sign-in failed: " + error;
}

} // namespace postern::test
