// The access token of a real sign-in at oauth_peer.py, used where it is
// meant for: IMAP at the fixture's Dovecot and SMTP submission at its
// Postfix (whose SASL goes through Dovecot). Dovecot's oauth2 passdb asks
// the same OAuth server (RFC 7662 introspection) whether a token is live
// and whose it is, so acceptance and refusal are the real servers' own.
//
// Every login here also carries alice's real password: a token login must
// ignore it, so a refused token shows that no password was sent instead.
#include "support/OAuthPeer.h"

#include "account/GoogleSignIn.h"
#include "account/HttpsRequest.h"
#include "mail/ImapMailbox.h"
#include "mail/ImapSession.h"
#include "mail/MessageBuilder.h"
#include "mail/MimeParser.h"
#include "mail/SmtpClient.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <random>
#include <thread>

namespace postern::test {
namespace {

#define POSTERN_REQUIRE_TOKEN_CHECKING_SERVERS()                                                       \
    do {                                                                                               \
        POSTERN_REQUIRE_OAUTH_PEER();                                                                  \
        POSTERN_REQUIRE_PORT("POSTERN_SIGNIN_INTROSPECT_PORT", "Dovecot cannot check tokens");         \
    } while (0)

const char* const kSmtpPorts[] = {"POSTERN_SMTPS_PORT", "POSTERN_SUBMISSION_PORT"};

ServerLogin TokenLogin(const char* portName, const std::string& accessToken, const char* userName = "POSTERN_EMAIL1")
{
    ServerLogin login;
    login.host = "localhost";
    login.port = FixturePort(portName);
    login.user = FixtureValue(userName);
    login.password = FixtureValue("POSTERN_PASS1");
    login.accessToken = accessToken;
    return login;
}

// The fixture's SMTPS port is not 465, so implicit TLS is chosen explicitly.
bool SubmitWithToken(const char* portName, const std::string& accessToken, const char* userName,
                     const std::string& message, std::string& error)
{
    SmtpClient client;
    client.SetImplicitTls(std::string_view(portName) == "POSTERN_SMTPS_PORT");
    const std::string alice = FixtureValue("POSTERN_EMAIL1");
    return client.Submit(TokenLogin(portName, accessToken, userName), alice, {alice}, message, error);
}

std::string RevokeAtOAuthPeer(const std::string& token)
{
    std::string body;
    uint32_t status = 0;
    std::string error;
    if (!HttpsPostForm("localhost", static_cast<uint16_t>(FixturePort("POSTERN_SIGNIN_OAUTH_PORT")), "/revoke",
                       "token=" + UrlEncode(token), nullptr, body, status, error))
        return error;
    return status == 200 ? std::string() : "revoke answered " + std::to_string(status) + ": " + body;
}

// Distinguishes this process's messages from those of another run.
std::string RunTag()
{
    static const std::string tag = [] {
        std::random_device random;
        return "xo" + std::to_string(random());
    }();
    return tag;
}

// Polls the inbox until a message with exactly this subject is there.
uint32_t WaitForSubject(ImapSession& session, const std::string& subject, std::string& error)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (std::chrono::steady_clock::now() < deadline) {
        uint32_t count = 0;
        std::vector<uint32_t> uids;
        if (!Select(session, "INBOX", count, error)
            || !SearchUids(session, "SUBJECT " + ImapSession::Quote(subject), uids, error))
            return 0;
        if (!uids.empty())
            return uids.front();
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    error = "not delivered within 30 s";
    return 0;
}

TEST(SignedInMail, TokenOpensImapAndSubmitsOverSmtp)
{
    POSTERN_REQUIRE_TOKEN_CHECKING_SERVERS();
    OAuthTokens tokens;
    ASSERT_EQ(SignInAtOAuthPeer(tokens), "");
    EXPECT_EQ(tokens.email, FixtureValue("POSTERN_EMAIL1"));

    ImapSession session;
    std::string error;
    ASSERT_TRUE(session.Open(TokenLogin("POSTERN_IMAP_PORT", tokens.accessToken), error)) << error;
    uint32_t count = 0;
    ASSERT_TRUE(Select(session, "INBOX", count, error)) << error;

    for (const char* port : kSmtpPorts) {
        SCOPED_TRACE(port);
        OutgoingMessage message;
        message.to = FixtureValue("POSTERN_EMAIL1");
        message.subject = "Signed in " + RunTag() + " " + port;
        message.textBody = "Sent with an access token.\n";
        const std::string built = BuildMessage("Alice", FixtureValue("POSTERN_EMAIL1"), message);
        ASSERT_TRUE(SubmitWithToken(port, tokens.accessToken, "POSTERN_EMAIL1", built, error)) << error;

        const uint32_t uid = WaitForSubject(session, message.subject, error);
        ASSERT_NE(uid, 0u) << error;
        std::string raw;
        ASSERT_TRUE(FetchMessage(session, uid, raw, error)) << error;
        const ParsedMessage parsed = ParseMessage(raw);
        EXPECT_EQ(parsed.subject, message.subject);
        EXPECT_THAT(parsed.textBody, testing::StartsWith("Sent with an access token.\r\n"));
        EXPECT_TRUE(DeleteMessage(session, uid, error)) << error;
    }
    session.Logout();
}

struct RefusalCase {
    const char* name;
    std::string token;
    const char* userName;
};

TEST(SignedInMail, RefusedTokensGetTheServersAnswer)
{
    POSTERN_REQUIRE_TOKEN_CHECKING_SERVERS();
    OAuthTokens live;
    ASSERT_EQ(SignInAtOAuthPeer(live), "");
    OAuthTokens revoked;
    ASSERT_EQ(SignInAtOAuthPeer(revoked), "");
    std::string error;
    {
        ImapSession before;
        ASSERT_TRUE(before.Open(TokenLogin("POSTERN_IMAP_PORT", revoked.accessToken), error))
            << "good until revoked: " << error;
        before.Logout();
    }
    ASSERT_EQ(RevokeAtOAuthPeer(revoked.accessToken), "");

    const RefusalCase cases[] = {
        {"never issued", "at-never-issued", "POSTERN_EMAIL1"},
        {"revoked", revoked.accessToken, "POSTERN_EMAIL1"},
        {"issued to alice, used by bob", live.accessToken, "POSTERN_EMAIL2"},
    };
    for (const RefusalCase& c : cases) {
        SCOPED_TRACE(c.name);
        // Dovecot first sends its error details as a "+ " challenge and waits
        // for the client's empty answer; only then comes the tagged NO.
        ImapSession session;
        EXPECT_FALSE(session.Open(TokenLogin("POSTERN_IMAP_PORT", c.token, c.userName), error));
        EXPECT_THAT(error, testing::StartsWith("OAuth sign-in rejected: server said: NO "));
        EXPECT_FALSE(session.IsConnected());
        session.Logout();
        // Postfix relays the challenge as a 334 reply.
        for (const char* port : kSmtpPorts) {
            EXPECT_FALSE(SubmitWithToken(port, c.token, c.userName, "Subject: refused\r\n\r\nx\r\n", error));
            EXPECT_THAT(error, testing::StartsWith("SMTP OAuth sign-in rejected: 535 ")) << port;
        }
    }

    // Revoking one token leaves the other alone.
    ImapSession session;
    EXPECT_TRUE(session.Open(TokenLogin("POSTERN_IMAP_PORT", live.accessToken), error)) << error;
    session.Logout();
}

} // namespace
} // namespace postern::test
