// The SMTP dialogue against scripted servers: what real servers send in
// ways a test cannot make them (replies cut at every byte, connections that
// drop mid-reply, bytes injected before the TLS handshake).
#include "mail/SmtpClient.h"

#include "mail/Base64.h"
#include "support/ScriptedStream.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace postern {
namespace {

using test::Replies;
using test::ScriptedStream;

// Hands out its replies in order, at most maxChunk bytes per Receive, then
// reports the connection closed; records everything the client sends.
struct Server : ScriptedStream {
    explicit Server(const std::vector<std::string>& replies, std::size_t maxChunk = 8192)
        : ScriptedStream(Replies(replies))
    {
        CutInto(maxChunk);
        RecordSendsOnly();
    }
};

const char kPlainAuth[] = "AUTH PLAIN AGFsaWNlAHNlY3JldA==\r\n"; // \0alice\0secret

ServerLogin PasswordLogin()
{
    ServerLogin login;
    login.host = "localhost";
    login.port = 587;
    login.user = "alice";
    login.password = "secret";
    return login;
}

struct DialogueCase {
    const char* name;
    bool implicitTls;
    std::vector<std::string> replies;
    std::vector<std::string> recipients;
    std::string message;
    bool ok;
    std::string error;  // expected error text when !ok
    std::string sent;   // the client's whole transcript
    int tlsStarts;      // expected calls of the STARTTLS upgrade
    bool wholeReplies = false; // the script only means something unsplit
};

std::string Stuffed(const std::string& data)
{
    return data + "\r\n.\r\n";
}

std::vector<DialogueCase> Cases()
{
    const std::string greeting = "220 mx.example.test ESMTP\r\n";
    const std::string ehlo = "250-mx.example.test\r\n250-PIPELINING\r\n250 STARTTLS\r\n";
    const std::string ok = "250 2.0.0 Ok\r\n";
    const std::string go = "354 End data with <CR><LF>.<CR><LF>\r\n";
    const std::string happyTail = "MAIL FROM:<alice@example.test>\r\nRCPT TO:<bob@example.test>\r\n"
                                  "DATA\r\n" + Stuffed("Subject: x\r\n\r\nbody") + "QUIT\r\n";
    const std::string starttlsHead = "EHLO postern.local\r\nSTARTTLS\r\nEHLO postern.local\r\n";
    return {
        {"STARTTLS submission", false,
         {greeting, ehlo, "220 2.0.0 Ready to start TLS\r\n", ehlo, "235 2.7.0 Ok\r\n", ok, ok, go,
          "250 2.0.0 Ok: queued\r\n", "221 2.0.0 Bye\r\n"},
         {"bob@example.test"}, "Subject: x\r\n\r\nbody", true, "",
         starttlsHead + kPlainAuth + happyTail, 1},
        {"implicit TLS: no STARTTLS", true,
         {greeting, ehlo, "235 2.7.0 Ok\r\n", ok, ok, go, ok, "221 Bye\r\n"},
         {"bob@example.test"}, "Subject: x\r\n\r\nbody", true, "",
         std::string("EHLO postern.local\r\n") + kPlainAuth + happyTail, 0},
        {"QUIT outcome ignored", true,
         {greeting, ehlo, "235 Ok\r\n", ok, ok, go, ok},
         {"bob@example.test"}, "Subject: x\r\n\r\nbody", true, "",
         std::string("EHLO postern.local\r\n") + kPlainAuth + happyTail, 0},
        {"two recipients, dot-stuffing, final CR LF added", true,
         {greeting, ehlo, "235 Ok\r\n", ok, ok, ok, go, ok, "221 Bye\r\n"},
         {"bob@example.test", "carol@example.test"}, ".one\r\ntwo\r\n.\r\n..three", true, "",
         std::string("EHLO postern.local\r\n") + kPlainAuth
             + "MAIL FROM:<alice@example.test>\r\nRCPT TO:<bob@example.test>\r\n"
               "RCPT TO:<carol@example.test>\r\nDATA\r\n..one\r\ntwo\r\n..\r\n...three\r\n.\r\n"
               "QUIT\r\n",
         0},
        {"greeting refused", true, {"554 5.7.1 go away\r\n"}, {"bob@example.test"}, "m", false,
         "SMTP error: 554 5.7.1 go away", "", 0},
        {"multi-line error reply keeps every line", true,
         {greeting, "550-first line\r\n550-second line\r\n550 last line\r\n"},
         {"bob@example.test"}, "m", false,
         "SMTP error: 550-first line\n550-second line\n550 last line", "EHLO postern.local\r\n", 0},
        {"no STARTTLS on a plain port", false,
         {greeting, "250 mx\r\n", "502 5.5.1 Error: command not implemented\r\n"},
         {"bob@example.test"}, "m", false, "SMTP error: 502 5.5.1 Error: command not implemented",
         "EHLO postern.local\r\nSTARTTLS\r\n", 0},
        {"bytes injected after the STARTTLS go-ahead", false,
         {greeting, ehlo, "220 go ahead\r\n250 forged\r\n", ehlo, "235 Ok\r\n", ok, ok, go, ok},
         {"bob@example.test"}, "m", false,
         "SMTP server sent unexpected data after its STARTTLS reply",
         "EHLO postern.local\r\nSTARTTLS\r\n", 0,
         // Split, the injected bytes would reach the TLS handshake instead,
         // which a scripted stream does not model.
         true},
        {"wrong password", true, {greeting, ehlo, "535 5.7.8 Error: authentication failed\r\n"},
         {"bob@example.test"}, "m", false,
         "SMTP sign-in rejected: 535 5.7.8 Error: authentication failed",
         std::string("EHLO postern.local\r\n") + kPlainAuth, 0},
        {"refused recipient ends the submission", true,
         {greeting, ehlo, "235 Ok\r\n", ok, ok,
          "550 5.1.1 <nobody@example.test>: Recipient address rejected\r\n"},
         {"bob@example.test", "nobody@example.test", "carol@example.test"}, "m", false,
         "SMTP error: 550 5.1.1 <nobody@example.test>: Recipient address rejected",
         std::string("EHLO postern.local\r\n") + kPlainAuth
             + "MAIL FROM:<alice@example.test>\r\nRCPT TO:<bob@example.test>\r\n"
               "RCPT TO:<nobody@example.test>\r\n",
         0},
        {"DATA needs class 3", true, {greeting, ehlo, "235 Ok\r\n", ok, ok, ok},
         {"bob@example.test"}, "m", false, "SMTP error: 250 2.0.0 Ok",
         std::string("EHLO postern.local\r\n") + kPlainAuth
             + "MAIL FROM:<alice@example.test>\r\nRCPT TO:<bob@example.test>\r\nDATA\r\n",
         0},
        {"message refused after the data", true,
         {greeting, ehlo, "235 Ok\r\n", ok, ok, go, "552 5.3.4 Message size exceeds limit\r\n"},
         {"bob@example.test"}, "m", false, "SMTP error: 552 5.3.4 Message size exceeds limit",
         std::string("EHLO postern.local\r\n") + kPlainAuth
             + "MAIL FROM:<alice@example.test>\r\nRCPT TO:<bob@example.test>\r\nDATA\r\nm\r\n.\r\n",
         0},
        {"closed before the greeting", true, {}, {"bob@example.test"}, "m", false,
         "SMTP connection closed", "", 0},
        {"closed in the middle of a reply", true, {greeting, "250-mx\r\n250-SIZE"},
         {"bob@example.test"}, "m", false, "SMTP connection closed", "EHLO postern.local\r\n", 0},
        {"closed while the data is being answered", true, {greeting, ehlo, "235 Ok\r\n", ok, ok, go},
         {"bob@example.test"}, "m", false, "SMTP connection closed",
         std::string("EHLO postern.local\r\n") + kPlainAuth
             + "MAIL FROM:<alice@example.test>\r\nRCPT TO:<bob@example.test>\r\nDATA\r\nm\r\n.\r\n",
         0},
        {"short reply lines count as last lines", true,
         {"220\r\n", "250\r\n", "235 Ok\r\n", ok, ok, go, ok}, {"bob@example.test"}, "m", true, "",
         std::string("EHLO postern.local\r\n") + kPlainAuth
             + "MAIL FROM:<alice@example.test>\r\nRCPT TO:<bob@example.test>\r\nDATA\r\nm\r\n.\r\n"
               "QUIT\r\n",
         0},
        {"LF-only replies", true, {"220 hi\n", "250 ok\n", "235 ok\n", "250 ok\n", "250 ok\n",
                                   "354 go\n", "250 ok\n", "221 bye\n"},
         {"bob@example.test"}, "m", true, "",
         std::string("EHLO postern.local\r\n") + kPlainAuth
             + "MAIL FROM:<alice@example.test>\r\nRCPT TO:<bob@example.test>\r\nDATA\r\nm\r\n.\r\n"
               "QUIT\r\n",
         0},
        {"line break in a recipient refused before anything is sent", true, {greeting},
         {"bob@example.test>\r\nRCPT TO:<evil@example.test"}, "m", false,
         "recipient address contains a line break or angle bracket: "
         "bob@example.test>  RCPT TO:<evil@example.test",
         "", 0},
        {"no recipients", true, {greeting}, {}, "m", false, "no recipients", "", 0},
    };
}

TEST(SmtpDialogue, Table)
{
    // Each script runs with replies cut into pieces of every small size, as
    // TLS records and TCP segments may cut them.
    for (const DialogueCase& c : Cases()) {
        for (std::size_t chunk : {1u, 2u, 3u, 5u, 8192u}) {
            if (c.wholeReplies && chunk != 8192u)
                continue;
            Server server(c.replies, chunk);
            int tlsStarts = 0;
            const SmtpClient::StartTls startTls = [&](std::string&) {
                ++tlsStarts;
                return true;
            };
            SmtpClient client;
            std::string error;
            const bool ok = client.RunDialogue(server, c.implicitTls, startTls, PasswordLogin(),
                                               "alice@example.test", c.recipients, c.message, error);
            EXPECT_EQ(ok, c.ok) << c.name << " / chunk " << chunk << ": " << error;
            if (!c.ok) {
                EXPECT_EQ(error, c.error) << c.name << " / chunk " << chunk;
            }
            EXPECT_EQ(server.Sent(), c.sent) << c.name << " / chunk " << chunk;
            EXPECT_EQ(tlsStarts, c.tlsStarts) << c.name << " / chunk " << chunk;
        }
    }
}

TEST(SmtpDialogue, XOAuth2)
{
    ServerLogin login = PasswordLogin();
    login.accessToken = "ya29.token";
    const std::string sasl = "user=alice\x01" "auth=Bearer ya29.token\x01\x01";
    const std::string command = "AUTH XOAUTH2 " + Base64Encode(sasl) + "\r\n";
    const std::string greeting = "220 smtp.example.test\r\n";
    const std::string ehlo = "250-smtp.example.test\r\n250 AUTH XOAUTH2\r\n";
    const struct {
        const char* name;
        std::vector<std::string> replies;
        bool ok;
        std::string error;
        std::string sentAfterEhlo;
    } cases[] = {
        {"accepted",
         {greeting, ehlo, "235 2.7.0 Accepted\r\n", "250 ok\r\n", "250 ok\r\n", "354 go\r\n",
          "250 ok\r\n", "221 bye\r\n"},
         true, "",
         command + "MAIL FROM:<alice@example.test>\r\nRCPT TO:<bob@example.test>\r\nDATA\r\nm\r\n.\r\n"
                   "QUIT\r\n"},
        {"expired token: error challenge answered with an empty line",
         {greeting, ehlo, "334 eyJzdGF0dXMiOiI0MDEifQ==\r\n",
          "535-5.7.8 Username and Password not accepted.\r\n535 5.7.8 Learn more\r\n"},
         false,
         "SMTP OAuth sign-in rejected: 535-5.7.8 Username and Password not accepted.\n"
         "535 5.7.8 Learn more",
         command + "\r\n"},
        {"refused at once", {greeting, ehlo, "535 5.7.8 Bad token\r\n"}, false,
         "SMTP OAuth sign-in rejected: 535 5.7.8 Bad token", command},
        {"closed instead of the final reply", {greeting, ehlo, "334 eyJ9\r\n"}, false,
         "SMTP OAuth sign-in rejected: 334 eyJ9", command + "\r\n"},
        {"closed instead of any reply", {greeting, ehlo}, false, "SMTP connection closed", command},
    };
    for (const auto& c : cases) {
        Server server(c.replies);
        SmtpClient client;
        std::string error;
        const bool ok = client.RunDialogue(server, true, nullptr, login, "alice@example.test",
                                           {"bob@example.test"}, "m", error);
        EXPECT_EQ(ok, c.ok) << c.name << ": " << error;
        if (!c.ok) {
            EXPECT_EQ(error, c.error) << c.name;
        }
        EXPECT_EQ(server.Sent(), "EHLO postern.local\r\n" + c.sentAfterEhlo) << c.name;
    }
}

TEST(SmtpDialogue, TransportFailures)
{
    // A receive that fails, times out, or finds the connection closed: a
    // silent server must not read like one that hung up.
    const std::pair<std::vector<test::ScriptStep>, const char*> receives[] = {
        {{test::S("220 hi\r\n"), test::Fail("receive failed: connection reset by peer")},
         "receive failed: connection reset by peer"},
        {{test::S("220 hi\r\n"), test::Wait()}, "SMTP server did not answer within 30 s"},
        {{test::S("220 hi\r\n")}, "SMTP connection closed"},
    };
    for (const auto& [script, expected] : receives) {
        ScriptedStream server(script);
        server.RecordSendsOnly();
        SmtpClient client;
        std::string error;
        EXPECT_FALSE(client.RunDialogue(server, true, nullptr, PasswordLogin(), "a@x", {"b@x"}, "m",
                                        error));
        EXPECT_EQ(error, expected);
    }
    {
        Server server({"220 hi\r\n"});
        server.FailSends("send failed: connection reset");
        SmtpClient client;
        std::string error;
        EXPECT_FALSE(client.RunDialogue(server, true, nullptr, PasswordLogin(), "a@x", {"b@x"}, "m",
                                        error));
        EXPECT_EQ(error, "send failed: connection reset");
    }
    {
        Server server({"220 hi\r\n", "250 ok\r\n", "220 go\r\n"});
        SmtpClient client;
        std::string error;
        const SmtpClient::StartTls failing = [](std::string& tlsError) {
            tlsError = "TLS handshake failed: certificate not trusted";
            return false;
        };
        EXPECT_FALSE(client.RunDialogue(server, false, failing, PasswordLogin(), "a@x", {"b@x"}, "m",
                                        error));
        EXPECT_EQ(error, "TLS handshake failed: certificate not trusted");
    }
}

TEST(SmtpDialogue, EndlessReplyIsBounded)
{
    // A server that never ends its line, and one that never ends its reply.
    std::vector<std::string> endlessLine = {std::string(200000, 'x')};
    std::vector<std::string> endlessReply = {"220 hi\r\n"};
    for (int i = 0; i < 40000; ++i)
        endlessReply.push_back("250-" + std::string(40, 'y') + "\r\n");
    const std::pair<std::vector<std::string>*, const char*> cases[] = {
        {&endlessLine, "SMTP reply line too long"},
        {&endlessReply, "SMTP reply too long"},
    };
    for (const auto& [replies, expected] : cases) {
        Server server(*replies);
        SmtpClient client;
        std::string error;
        EXPECT_FALSE(client.RunDialogue(server, true, nullptr, PasswordLogin(), "a@x", {"b@x"}, "m",
                                        error));
        EXPECT_EQ(error, expected);
    }
}

TEST(ExtractAddresses, Table)
{
    const struct {
        const char* line;
        std::vector<std::string> expected;
    } cases[] = {
        {"bob@example.test", {"bob@example.test"}},
        {"Bob <bob@example.test>", {"bob@example.test"}},
        {"Ann <a@x>, \"Doe, J\" <j@y>", {"a@x", "j@y"}},
        {"  b@z  , , nonsense, c@w", {"b@z", "c@w"}},
        {"\"x@y\" <real@z>", {"real@z"}},
        {"<a@x>,<b@y>", {"a@x", "b@y"}},
        {"\"quoted, comma@fake\"", {"\"quoted, comma@fake\""}},
        {"Ann <a@x", {}},
        {"<a@x> trailing", {"a@x"}},
        {"<a@x>>", {"a@x"}},
        {"<a@x>x<b@y", {"a@x"}},
        {"a@x (Evil, e@y), <b@y> (\"c@z,\")", {"a@x", "b@y"}},
        {"friends: a@x, \"b;c\" <b@y>; d@z", {"a@x", "b@y", "d@z"}},
        {"\"Esc\\\", e@v\" <a@x>", {"a@x"}},
        {"<a@x>x<b@y>, <c@z>", {"b@y", "c@z"}},
        {"", {}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ExtractAddresses(c.line), c.expected) << c.line;
}

TEST(ExtractAddresses, HostileLineStaysLinear)
{
    // One long bracket followed by half a million ">": each would copy the
    // bracket's megabyte if the token were rebuilt every time.
    const std::string line =
        "<" + std::string(1 << 20, 'a') + "@x>" + std::string(500000, '>') + ", b@y";
    const std::vector<std::string> addresses = ExtractAddresses(line);
    ASSERT_EQ(addresses.size(), 2u);
    EXPECT_EQ(addresses[0].size(), (1u << 20) + 2);
    EXPECT_EQ(addresses[1], "b@y");
}

TEST(DotStuff, Table)
{
    const std::pair<std::string, std::string> cases[] = {
        {"", "\r\n.\r\n"},
        {"a", "a\r\n.\r\n"},
        {"a\r\n", "a\r\n.\r\n"},
        {".a\r\n", "..a\r\n.\r\n"},
        {"..a", "...a\r\n.\r\n"},
        {"a\r\n.\r\nb", "a\r\n..\r\nb\r\n.\r\n"},
        {"a.\r\nb.c", "a.\r\nb.c\r\n.\r\n"},
        // Bare line ends become CR LF, so "\n.\r\n" cannot end the data
        // early on a server that takes a bare LF for a line end.
        {"a\n.\r\nb", "a\r\n..\r\nb\r\n.\r\n"},
        {"a\r.\rb", "a\r\n..\r\nb\r\n.\r\n"},
        {"a\n\nb\n", "a\r\n\r\nb\r\n.\r\n"},
    };
    for (const auto& [message, expected] : cases)
        EXPECT_EQ(DotStuff(message), expected) << message;
}

} // namespace
} // namespace postern
