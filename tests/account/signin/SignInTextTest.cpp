// The text side of sign-in: encodings, PKCE values, ID tokens and the
// judging of the browser's redirect request. No network.
#include "mail/Base64.h"
#include "account/GoogleSignIn.h"
#include "account/LoopbackListener.h"

#include <gtest/gtest.h>

#include <set>

namespace postern {
namespace {

TEST(UrlEncode, OnlyUnreservedBytesPass)
{
    const std::pair<std::string, std::string> cases[] = {
        {"", ""},
        {"AZaz09-._~", "AZaz09-._~"},
        {"a b+c&d=e/f?g#h%", "a%20b%2Bc%26d%3De%2Ff%3Fg%23h%25"},
        {"http://127.0.0.1:5000", "http%3A%2F%2F127.0.0.1%3A5000"},
        {"https://mail.google.com/ openid email", "https%3A%2F%2Fmail.google.com%2F%20openid%20email"},
        {"\xC3\xA9\x01\xFF", "%C3%A9%01%FF"},
        {std::string("a\0b", 3), "a%00b"},
    };
    for (const auto& [text, encoded] : cases) {
        EXPECT_EQ(UrlEncode(text), encoded) << text;
    }
}

TEST(Base64Url, ReplacesTheTwoCharactersAndDropsPadding)
{
    EXPECT_EQ(Base64Url("ab+/cd=="), "ab-_cd");
    EXPECT_EQ(Base64Url(Base64Encode("\xfb\xff\xbf")), "-_-_");
    EXPECT_EQ(Base64Url(""), "");
}

TEST(Pkce, ChallengeOfTheRfc7636Example)
{
    EXPECT_EQ(CodeChallenge("dBjftJeZ4CVP-mB92K27uhbUJU1p1r_wW1gFWFOEjXk"),
              "E9Melhoa2OwvFrEMTJguCHaoeK1t8URWbuGJSstw-cM");
}

TEST(Pkce, VerifiersAndStatesAreUrlSafeFreshAndOfTheRightLength)
{
    std::set<std::string> seen;
    for (int i = 0; i < 20; ++i) {
        std::string verifier;
        std::string state;
        std::string error;
        ASSERT_TRUE(MakeCodeVerifier(verifier, error)) << error;
        ASSERT_TRUE(MakeOAuthState(state, error)) << error;
        EXPECT_EQ(verifier.size(), 64u);
        EXPECT_EQ(state.size(), 22u);
        EXPECT_EQ(CodeChallenge(verifier).size(), 43u);
        for (const std::string* text : {&verifier, &state}) {
            EXPECT_EQ(text->find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_"),
                      std::string::npos)
                << *text;
        }
        EXPECT_TRUE(seen.insert(verifier).second);
        EXPECT_TRUE(seen.insert(state).second);
    }
}

std::string IdToken(const std::string& payloadJson)
{
    return "eyJhbGciOiJub25lIn0." + Base64Url(Base64Encode(payloadJson)) + ".sig";
}

TEST(EmailFromIdToken, ReadsTheClaimWhateverThePaddingWouldHaveBeen)
{
    const std::pair<std::string, std::string> cases[] = {
        // Payload lengths 24, 25 and 26 bytes: 0, 2 and 1 padding characters dropped.
        {IdToken(R"({"email":"al@example.t"})"), "al@example.t"},
        {IdToken(R"({"email":"al@example.te"})"), "al@example.te"},
        {IdToken(R"({"email":"al@example.tes"})"), "al@example.tes"},
        // The URL-safe characters "-" and "_" appear in the encoded payload.
        {IdToken(R"({"sub":"\u00ff\u00fe?>","email":"b@x.test"})"), "b@x.test"},
        {IdToken(R"({"sub":"1"})"), ""},
        {IdToken(R"({"email":7})"), ""},
        {IdToken("not json"), ""},
        {"header.%%%%.sig", ""},
        {"no-dots-at-all", ""},
        {"one.dot", ""},
        {"..", ""},
        {"", ""},
    };
    for (const auto& [token, email] : cases) {
        EXPECT_EQ(EmailFromIdToken(token), email) << token;
    }
}

TEST(QueryParameter, MatchesWholeNamesAndDecodes)
{
    const std::string query = "xstate=no&state=abc&code=4%2F0Ab+c&empty=&error=access_denied&bad=%zz%4";
    EXPECT_EQ(QueryParameter(query, "state"), "abc");
    EXPECT_EQ(QueryParameter(query, "code"), "4/0Ab c");
    EXPECT_EQ(QueryParameter(query, "error"), "access_denied");
    EXPECT_EQ(QueryParameter(query, "empty"), "");
    EXPECT_EQ(QueryParameter(query, "bad"), "%zz%4");
    EXPECT_EQ(QueryParameter(query, "tate"), "");
    EXPECT_EQ(QueryParameter(query, "missing"), "");
    EXPECT_EQ(QueryParameter("", "state"), "");
}

struct RedirectCase {
    const char* name;
    std::string request;
    bool ok;
    const char* code;
    const char* page;
    const char* error;
};

TEST(EvaluateRedirect, OutcomesAndPages)
{
    const char* signedIn = "<h2>Postern is signed in.</h2>";
    const char* bad = "<h2>Postern: sign-in failed (bad redirect).</h2>";
    const char* mismatch = "<h2>Postern: sign-in failed (state mismatch).</h2>";
    const char* cancelled = "<h2>Postern: sign-in was cancelled or denied.</h2>";
    const RedirectCase cases[] = {
        {"code flow", "GET /?state=S1&code=4%2Fxyz&scope=a HTTP/1.1\r\nHost: x\r\n\r\n", true, "4/xyz", signedIn, ""},
        {"code first", "GET /?code=abc&state=S1 HTTP/1.1\r\n\r\n", true, "abc", signedIn, ""},
        {"icon request", "GET /favicon.ico HTTP/1.1\r\nHost: x\r\n\r\n", false, "", bad, "malformed OAuth redirect"},
        {"query only in a header", "GET / HTTP/1.1\r\nReferer: http://x/?state=S1&code=c\r\n\r\n", false, "", bad,
         "malformed OAuth redirect"},
        {"no version", "GET /?state=S1&code=c\r\n\r\n", false, "", bad, "malformed OAuth redirect"},
        {"nothing at all", "", false, "", bad, "malformed OAuth redirect"},
        {"state wrong", "GET /?state=S2&code=c HTTP/1.1\r\n\r\n", false, "", mismatch, "OAuth state mismatch"},
        {"state prefix", "GET /?state=S&code=c HTTP/1.1\r\n\r\n", false, "", mismatch, "OAuth state mismatch"},
        {"state missing", "GET /?code=c HTTP/1.1\r\n\r\n", false, "", mismatch, "OAuth state mismatch"},
        // The state is checked before the error: a forged denial is still forged.
        {"forged denial", "GET /?error=access_denied HTTP/1.1\r\n\r\n", false, "", mismatch, "OAuth state mismatch"},
        {"denied", "GET /?error=access_denied&state=S1 HTTP/1.1\r\n\r\n", false, "", cancelled,
         "OAuth error: access_denied"},
        {"empty code", "GET /?state=S1&code= HTTP/1.1\r\n\r\n", false, "", cancelled, "OAuth error: "},
    };
    for (const RedirectCase& c : cases) {
        SCOPED_TRACE(c.name);
        std::string code = "stale";
        std::string page;
        std::string error;
        EXPECT_EQ(EvaluateRedirect(c.request, "S1", code, page, error), c.ok);
        EXPECT_EQ(code, c.code);
        EXPECT_NE(page.find(c.page), std::string::npos) << page;
        if (!c.ok) {
            EXPECT_EQ(error, c.error);
        }
    }
    std::string code;
    std::string page;
    std::string error;
    EXPECT_FALSE(EvaluateRedirect("GET /?state=&code=c HTTP/1.1\r\n\r\n", "", code, page, error));
    EXPECT_EQ(error, "OAuth state mismatch");
}

TEST(RedirectResponse, FramesThePageExactly)
{
    EXPECT_EQ(RedirectResponse("<h2>\xC3\xA9</h2>"),
              "HTTP/1.1 200 OK\r\nContent-Type: text/html; charset=utf-8\r\nConnection: close\r\n"
              "Content-Length: 11\r\n\r\n<h2>\xC3\xA9</h2>");
}

} // namespace
} // namespace postern
