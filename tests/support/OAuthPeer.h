// The test side of tests/account/signin/oauth_peer.py, a real OAuth server over
// HTTPS with the fixture's test-CA certificate ($POSTERN_SIGNIN_OAUTH_PORT):
// endpoints that point at it, and a "browser" for the interactive sign-in,
// a thread that fetches the authorization URL and follows the redirect it
// is given to the loopback listener, as a real one would.
#pragma once

#include "account/GoogleSignIn.h"
#include "support/FixtureEnv.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <thread>

#define POSTERN_REQUIRE_OAUTH_PEER()                                                          \
    do {                                                                                      \
        POSTERN_REQUIRE_FIXTURE();                                                            \
        POSTERN_REQUIRE_PORT("POSTERN_SIGNIN_OAUTH_PORT", "tests/account/signin/oauth_peer.py"); \
    } while (0)

namespace postern::test {

// Authorization and token endpoints of the OAuth server; tokenPath picks one
// of its scripted token answers.
[[nodiscard]] OAuthEndpoints OAuthPeerEndpoints(const std::string& tokenPath = "/token");

enum class BrowserMode {
    Follow,    // fetch the authorization URL, follow its redirect
    IconFirst, // ask the loopback server for an icon instead
    Speculative, // first a connection closed unused and one left open and silent, then follow
    IdleFirst, // first a silent connection until the listener drops it, then follow
    Oversized, // a request line of junk far beyond any redirect
    StayAway,  // never come back
};

struct TestBrowser {
    BrowserMode mode = BrowserMode::Follow;
    std::thread thread;
    std::string authorizationUrl;
    std::string page;           // what the loopback server answered
    bool secondRefused = false; // a second visit found the port closed
    std::string problem;

    ~TestBrowser() { Join(); }

    [[nodiscard]] BrowserOpener Opener();
    void Join();

    [[nodiscard]] static uint32_t LoopbackPort(const std::string& url);
    // Sends request (if any) to the loopback port and reads the answer until
    // the server closes; false when nothing listens there.
    [[nodiscard]] bool Visit(uint32_t port, const std::string& request, std::string& answer);
    void Run();
};

// A complete interactive sign-in with a following browser; "" or what
// went wrong.
[[nodiscard]] std::string SignInAtOAuthPeer(OAuthTokens& tokens);

} // namespace postern::test
