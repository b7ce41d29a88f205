// Submission to the fixture's real Postfix (SMTPS and STARTTLS ports, AUTH
// through Dovecot) and delivery to bob's Maildir, read back from disk and
// parsed; plus the scripted STARTTLS injection peer.
#include "mail/MessageBuilder.h"
#include "mail/MimeParser.h"
#include "mail/SmtpClient.h"
#include "platform/Files.h"
#include "support/FixtureEnv.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <system_error>
#include <thread>

namespace postern {
namespace {

using test::FixturePort;
using test::FixtureValue;

ServerLogin AliceAt(uint32_t port)
{
    ServerLogin login;
    login.host = "localhost";
    login.port = port;
    login.user = FixtureValue("POSTERN_USER1");
    login.password = FixtureValue("POSTERN_PASS1");
    return login;
}

// Deterministic bytes of every value, so a corrupted byte anywhere shows.
std::string TestBytes(std::size_t size, uint32_t seed)
{
    std::string data(size, '\0');
    uint32_t state = seed;
    for (char& c : data) {
        state = state * 1664525u + 1013904223u;
        c = static_cast<char>(state >> 24);
    }
    return data;
}

std::string NormalizedLineEnds(std::string_view text)
{
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
            continue;
        out.push_back(text[i]);
    }
    return out;
}

// Polls bob's Maildir until a message with this Message-ID arrives.
bool WaitForDelivery(const std::string& user, const std::string& messageId, std::string& raw)
{
    const std::string maildir = FixtureValue("POSTERN_FIXTURE_DIR") + "/mail/" + user + "/Maildir";
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (std::chrono::steady_clock::now() < deadline) {
        for (const char* sub : {"new", "cur"}) {
            std::error_code ec;
            for (std::filesystem::directory_iterator it(test::HostPath(maildir + "/" + sub), ec), end;
                 !ec && it != end; it.increment(ec)) {
                std::string bytes;
                std::string error;
                if (!ReadWholeFile(it->path(), bytes, error))
                    continue;
                const std::size_t headerEnd = bytes.find("\r\n\r\n");
                const std::string_view head(bytes.data(),
                                            headerEnd == std::string::npos ? bytes.size() : headerEnd);
                if (head.find("Message-ID: " + messageId) != std::string_view::npos) {
                    raw = std::move(bytes);
                    return true;
                }
            }
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return false;
}

// The fixture's SMTPS port is not 465, so implicit TLS is chosen explicitly.
SmtpClient ClientFor(const char* portName)
{
    SmtpClient client;
    client.SetImplicitTls(std::string_view(portName) == "POSTERN_SMTPS_PORT");
    return client;
}

void RoundTrip(const char* portName, const char* label)
{
    const uint32_t port = FixturePort(portName);
    ASSERT_NE(port, 0u);
    const std::string alice = FixtureValue("POSTERN_EMAIL1");
    const std::string bob = FixtureValue("POSTERN_EMAIL2");

    OutgoingMessage message;
    message.to = "Bob Example <" + bob + ">";
    const std::string greetings = "Gr\xC3\xBC\xC3\x9F" "e"; // with u-umlaut and sharp s
    message.subject = greetings + " \xE2\x80\x93 Pr\xC3\xBC" "fung \xE2\x9C\x93 " + label;
    message.textBody = "Hallo Bob,\n.a line with a leading dot\n\nsch\xC3\xB6ne " + greetings + " = "
                       + std::string(150, '-') + "\n";
    message.htmlBody = "<p>Hallo <b>Bob</b>, sch\xC3\xB6ne " + greetings + "</p>\n.<p>dot</p>";
    message.attachments.push_back(
        {"gro\xC3\x9F-" + std::string(label) + ".bin", "", TestBytes(5 * 1024 * 1024, 7)});
    message.attachments.push_back(
        {"notes.txt", "", "first line\r\n.second line\r\nno final line end"});
    const std::string displayName = "Zo\xC3\xAB \xC3\x85lice";
    const std::string built = BuildMessage(displayName, alice, message);
    const std::string messageId = FindHeader(ParseHeaders(built), "message-id");

    SmtpClient client = ClientFor(portName);
    std::string error;
    ASSERT_TRUE(client.Submit(AliceAt(port), alice, ExtractAddresses(message.to), built, error))
        << label << ": " << error;

    std::string raw;
    ASSERT_TRUE(WaitForDelivery("bob", messageId, raw)) << label << ": not delivered";
    const ParsedMessage parsed = ParseMessage(raw);
    EXPECT_EQ(parsed.from, displayName + " <" + alice + ">");
    EXPECT_EQ(DisplayName(parsed.from), displayName);
    EXPECT_EQ(parsed.to, message.to);
    EXPECT_EQ(parsed.subject, message.subject);
    EXPECT_EQ(parsed.messageId, messageId);
    EXPECT_NE(parsed.date, 0);
    // The parser drops the line end before the next boundary.
    const std::string_view sentText(message.textBody.data(), message.textBody.size() - 1);
    EXPECT_EQ(NormalizedLineEnds(parsed.textBody), NormalizedLineEnds(sentText));
    EXPECT_EQ(NormalizedLineEnds(parsed.htmlBody), NormalizedLineEnds(message.htmlBody));
    ASSERT_EQ(parsed.parts.size(), 2u);
    for (std::size_t i = 0; i < 2; ++i) {
        EXPECT_EQ(parsed.parts[i].filename, message.attachments[i].filename);
        EXPECT_EQ(parsed.parts[i].contentType, MimeTypeForName(message.attachments[i].filename));
        EXPECT_TRUE(parsed.parts[i].data == message.attachments[i].data)
            << label << ": attachment " << i << " differs (" << parsed.parts[i].data.size() << " of "
            << message.attachments[i].data.size() << " bytes)";
    }
}

TEST(SmtpFixture, RoundTripOverImplicitTls)
{
    POSTERN_REQUIRE_FIXTURE();
    RoundTrip("POSTERN_SMTPS_PORT", "smtps");
}

TEST(SmtpFixture, RoundTripOverStartTls)
{
    POSTERN_REQUIRE_FIXTURE();
    RoundTrip("POSTERN_SUBMISSION_PORT", "starttls");
}

TEST(SmtpFixture, WrongPassword)
{
    POSTERN_REQUIRE_FIXTURE();
    for (const char* port : {"POSTERN_SMTPS_PORT", "POSTERN_SUBMISSION_PORT"}) {
        ServerLogin login = AliceAt(FixturePort(port));
        login.password = "not-the-password";
        SmtpClient client = ClientFor(port);
        std::string error;
        EXPECT_FALSE(client.Submit(login, FixtureValue("POSTERN_EMAIL1"),
                                   {FixtureValue("POSTERN_EMAIL2")}, "Subject: x\r\n\r\nx\r\n", error));
        EXPECT_THAT(error, testing::StartsWith("SMTP sign-in rejected: 535")) << port;
    }
}

TEST(SmtpFixture, RefusedRecipientEndsTheSubmission)
{
    POSTERN_REQUIRE_FIXTURE();
    SmtpClient client = ClientFor("POSTERN_SMTPS_PORT");
    std::string error;
    EXPECT_FALSE(client.Submit(AliceAt(FixturePort("POSTERN_SMTPS_PORT")),
                               FixtureValue("POSTERN_EMAIL1"),
                               {"nobody@example.test", FixtureValue("POSTERN_EMAIL2")},
                               "Subject: x\r\n\r\nx\r\n", error));
    EXPECT_THAT(error, testing::StartsWith("SMTP error: 550"));
    EXPECT_NE(error.find("nobody@example.test"), std::string::npos) << error;
}

TEST(SmtpFixture, InjectedReplyBeforeTlsIsNotAccepted)
{
    POSTERN_REQUIRE_FIXTURE();
    // The peer sends "220 go ahead" and "250 forged" in one segment.
    SmtpClient client;
    std::string error;
    EXPECT_FALSE(client.Submit(AliceAt(FixturePort("POSTERN_PEER_SMTP_INJECT_PORT")),
                               FixtureValue("POSTERN_EMAIL1"), {FixtureValue("POSTERN_EMAIL2")},
                               "Subject: x\r\n\r\nx\r\n", error));
    EXPECT_EQ(error, "SMTP server sent unexpected data after its STARTTLS reply");
}

TEST(SmtpFixture, CertificateWithoutSubjectAltNameStopsStartTls)
{
    POSTERN_REQUIRE_FIXTURE();
    // Past the handshake the peer accepts any AUTH and message, so only the
    // certificate check can make this fail: CN=localhost names no host.
    SmtpClient client;
    std::string error;
    EXPECT_FALSE(client.Submit(AliceAt(FixturePort("POSTERN_PEER_SMTP_NOSAN_PORT")),
                               FixtureValue("POSTERN_EMAIL1"), {FixtureValue("POSTERN_EMAIL2")},
                               "Subject: x\r\n\r\nx\r\n", error));
    EXPECT_THAT(error, testing::HasSubstr("(certificate or protocol error)"));
}

TEST(SmtpFixture, ConnectFailureIsReported)
{
    POSTERN_REQUIRE_FIXTURE();
    // Nothing listens on the port just below the fixture's range.
    ServerLogin login = AliceAt(FixturePort("POSTERN_IMAP_PORT") - 1);
    SmtpClient client;
    std::string error;
    EXPECT_FALSE(client.Submit(login, "a@x", {"b@x"}, "m", error));
    EXPECT_FALSE(error.empty());
}

} // namespace
} // namespace postern
