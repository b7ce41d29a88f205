// Token requests and the interactive sign-in against tests/account/signin/oauth_peer.py
// (see OAuthPeer.h): it checks PKCE S256, the state round trip, single-use
// codes and the client and redirect URI at both ends.
#include "support/OAuthPeer.h"

#include "account/GoogleSignIn.h"
#include "platform/Clock.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace postern {
namespace {

using test::BrowserMode;
using test::TestBrowser;

OAuthEndpoints TestEndpoints(const std::string& tokenPath = "/token")
{
    return test::OAuthPeerEndpoints(tokenPath);
}

struct TokenCase {
    const char* name;
    const char* path;
    bool ok;
    const char* error;
};

TEST(RequestTokens, AnswersOfTheTokenEndpoint)
{
    POSTERN_REQUIRE_OAUTH_PEER();
    const TokenCase cases[] = {
        {"html page", "/token-html", false, "token endpoint returned malformed JSON"},
        {"server error text", "/token-500", false, "token endpoint returned malformed JSON"},
        {"refusal", "/token-refused", false, "token exchange failed: invalid_client - Unauthorized"},
        {"bare error", "/token-bare-error", false,
         R"(token exchange failed: invalid_request - {"error": "invalid_request"})"},
        {"no access token", "/token-no-access", false, "no access_token in response"},
        {"not there", "/no-such-endpoint", false, "token endpoint returned malformed JSON"},
        {"no expiry", "/token-no-expiry", true, ""},
    };
    for (const TokenCase& c : cases) {
        SCOPED_TRACE(c.name);
        OAuthTokens tokens;
        tokens.accessToken = "old-access";
        tokens.email = "kept@example.test";
        std::string error;
        const int64_t before = NowUnixSeconds();
        ASSERT_EQ(RequestTokens(TestEndpoints(c.path), "grant_type=x", tokens, true, error), c.ok) << error;
        if (!c.ok) {
            EXPECT_EQ(error, c.error);
            EXPECT_EQ(tokens.accessToken, "old-access");
            continue;
        }
        EXPECT_EQ(tokens.accessToken, "at-1");
        EXPECT_EQ(tokens.refreshToken, "rt-1");
        EXPECT_EQ(tokens.email, "kept@example.test"); // no id_token: unchanged
        EXPECT_GE(tokens.expiresAt, before + 3440);
        EXPECT_LE(tokens.expiresAt, NowUnixSeconds() + 3440);
    }
}

TEST(RequestTokens, UnreachableEndpointGivesTheTransportError)
{
    POSTERN_REQUIRE_FIXTURE();
    OAuthEndpoints endpoints;
    endpoints.tokenHost = "localhost";
    endpoints.tokenPort = 17819; // nothing listens
    OAuthTokens tokens;
    std::string error;
    EXPECT_FALSE(RequestTokens(endpoints, "a=b", tokens, false, error));
    EXPECT_EQ(error, "HTTPS request failed (network or TLS error)");
}

struct RefreshCase {
    const char* refreshToken;
    bool ok;
    const char* accessToken;
    const char* error;
};

TEST(RefreshAccessToken, KeepsOrReplacesTheRefreshToken)
{
    POSTERN_REQUIRE_OAUTH_PEER();
    const RefreshCase cases[] = {
        {"rt-keep", true, "at-refreshed", ""},
        {"rt-rotate", true, "at-rotated", ""},
        {"rt-revoked", false, "", "token exchange failed: invalid_grant - Token has been expired or revoked."},
    };
    for (const RefreshCase& c : cases) {
        SCOPED_TRACE(c.refreshToken);
        std::string accessToken = "unchanged";
        int64_t expiresAt = 0;
        std::string error;
        const int64_t before = NowUnixSeconds();
        ASSERT_EQ(RefreshAccessToken(TestEndpoints(), "client", "", c.refreshToken, accessToken, expiresAt, error),
                  c.ok)
            << error;
        if (!c.ok) {
            EXPECT_EQ(error, c.error);
            EXPECT_EQ(accessToken, "unchanged");
            continue;
        }
        EXPECT_EQ(accessToken, c.accessToken);
        EXPECT_GE(expiresAt, before + 940);
        EXPECT_LE(expiresAt, NowUnixSeconds() + 940);
    }
}

TEST(RefreshAccessToken, FormIsEncodedAndCarriesAnEmptySecret)
{
    POSTERN_REQUIRE_OAUTH_PEER();
    std::string body;
    int64_t expiresAt = 0;
    std::string error;
    ASSERT_TRUE(RefreshAccessToken(TestEndpoints("/token-echo"), "id with/slash&amp", "", "1//rt+x", body,
                                   expiresAt, error))
        << error;
    EXPECT_EQ(body, "client_id=id%20with%2Fslash%26amp&client_secret=&refresh_token=1%2F%2Frt%2Bx"
                    "&grant_type=refresh_token");
}

// --- the interactive flow ----------------------------------------------------

struct FlowCase {
    const char* clientId;
    BrowserMode mode;
    bool ok;
    const char* error;
    const char* page;
};

TEST(SignInInteractive, FlowsThroughTheLoopbackRedirect)
{
    POSTERN_REQUIRE_OAUTH_PEER();
    const char* signedIn = "<h2>Postern is signed in.</h2>";
    const FlowCase cases[] = {
        {"client-1", BrowserMode::Follow, true, "", signedIn},
        {"code-first", BrowserMode::Follow, true, "", signedIn},
        {"client id/with spaces&more", BrowserMode::Follow, true, "", signedIn},
        {"forge-state", BrowserMode::Follow, false, "OAuth state mismatch",
         "<h2>Postern: sign-in failed (state mismatch).</h2>"},
        {"deny-me", BrowserMode::Follow, false, "OAuth error: access_denied",
         "<h2>Postern: sign-in was cancelled or denied.</h2>"},
        {"no-refresh", BrowserMode::Follow, false,
         "Google did not return a refresh token (revoke Postern's access at myaccount.google.com/permissions "
         "and retry)",
         signedIn},
        {"client-1", BrowserMode::IconFirst, false, "malformed OAuth redirect",
         "<h2>Postern: sign-in failed (bad redirect).</h2>"},
        // The page may be lost here: closing with the unread rest of the
        // request pending resets the connection.
        {"client-1", BrowserMode::Oversized, false, "malformed OAuth redirect", nullptr},
        // Browsers' speculative connections, closed unused or left silent,
        // are not the redirect.
        {"client-1", BrowserMode::Speculative, true, "", signedIn},
        {"client-1", BrowserMode::IdleFirst, true, "", signedIn},
    };
    for (const FlowCase& c : cases) {
        SCOPED_TRACE(std::string(c.clientId) + " mode " + std::to_string(static_cast<int>(c.mode)));
        TestBrowser browser;
        browser.mode = c.mode;
        SignInOptions options;
        options.endpoints = TestEndpoints();
        options.openBrowser = browser.Opener();
        options.browserWaitMs = 20000;
        options.redirectReadMs = 1500; // bounds the silent connection
        OAuthTokens tokens;
        std::string error;
        const int64_t before = NowUnixSeconds();
        const bool ok = SignInInteractive(options, c.clientId, "secret", tokens, error);
        browser.Join();
        ASSERT_EQ(browser.problem, "");
        EXPECT_EQ(ok, c.ok) << error;
        EXPECT_EQ(error, c.error);
        if (c.page != nullptr) {
            EXPECT_NE(browser.page.find(c.page), std::string::npos) << browser.page;
            EXPECT_THAT(browser.page, testing::StartsWith("HTTP/1.1 200 OK\r\n"));
        }
        EXPECT_TRUE(browser.secondRefused);
        if (c.ok) {
            EXPECT_EQ(tokens.email, "alice@example.test");
            EXPECT_THAT(tokens.accessToken, testing::StartsWith("at-"));
            EXPECT_THAT(tokens.refreshToken, testing::StartsWith("rt-"));
            EXPECT_GE(tokens.expiresAt, before + 3539);
            EXPECT_LE(tokens.expiresAt, NowUnixSeconds() + 3539);
        }
    }
}

TEST(SignInInteractive, AuthorizationUrlCarriesEverything)
{
    TestBrowser browser;
    browser.mode = BrowserMode::StayAway;
    SignInOptions options;
    options.openBrowser = browser.Opener();
    options.browserWaitMs = 300;
    OAuthTokens tokens;
    std::string error;
    EXPECT_FALSE(SignInInteractive(options, "id&x", "", tokens, error));
    EXPECT_EQ(error, "timed out waiting for the browser sign-in");
    const std::string& url = browser.authorizationUrl;
    EXPECT_EQ(url.rfind("https://accounts.google.com/o/oauth2/v2/auth?client_id=id%26x&redirect_uri=http%3A%2F%2F"
                        "127.0.0.1%3A",
                        0),
              0u)
        << url;
    EXPECT_NE(url.find("&response_type=code&scope=https%3A%2F%2Fmail.google.com%2F%20openid%20email"
                       "&code_challenge="),
              std::string::npos);
    EXPECT_NE(url.find("&code_challenge_method=S256&state="), std::string::npos);
    EXPECT_NE(url.find("&access_type=offline&prompt=consent"), std::string::npos);
    // After the time-out nobody listens there any more.
    std::string answer;
    EXPECT_FALSE(browser.Visit(TestBrowser::LoopbackPort(url), "", answer));
}

TEST(SignInInteractive, BrowserThatCannotOpenEndsTheSignIn)
{
    SignInOptions options;
    options.openBrowser = [](const std::string&, std::string& error) {
        error = "no browser installed";
        return false;
    };
    OAuthTokens tokens;
    std::string error;
    EXPECT_FALSE(SignInInteractive(options, "id", "", tokens, error));
    EXPECT_EQ(error, "could not open the browser: no browser installed");
}

} // namespace
} // namespace postern
