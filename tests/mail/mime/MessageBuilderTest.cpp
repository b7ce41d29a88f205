// The MIME writer, and its output read back by the parser.
#include "mail/MessageBuilder.h"
#include "mail/MimeParser.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace postern {
namespace {

constexpr int64_t kDecember7 = 1796634000; // Mon, 7 Dec 2026 09:00:00 UTC

TEST(EncodeQuotedPrintable, Table)
{
    const struct {
        const char* name;
        std::string text;
        std::string expected;
    } cases[] = {
        {"plain ASCII", "Hello, world!", "Hello, world!"},
        {"equals and UTF-8", "a=b caf\xC3\xA9", "a=3Db caf=C3=A9"},
        {"LF becomes CR LF", "a\nb\n", "a\r\nb\r\n"},
        {"CR LF stays CR LF", "a\r\nb\r\n", "a\r\nb\r\n"},
        {"bare CR dropped", "a\rb", "ab"},
        {"tab and trailing space pass", "a\tb \n", "a\tb \r\n"},
        {"control bytes and DEL escaped", std::string("\x01\x7F\0", 3), "=01=7F=00"},
        {"200 letters break after every 74",
         std::string(200, 'x'),
         std::string(74, 'x') + "=\r\n" + std::string(74, 'x') + "=\r\n" + std::string(52, 'x')},
        {"an escape is never split",
         std::string(73, 'x') + "\xC3\xA9",
         std::string(73, 'x') + "=\r\n=C3=A9"},
        {"exactly 74 fit", std::string(74, 'y'), std::string(74, 'y')},
        {"a line break resets the count", std::string(70, 'a') + "\n" + std::string(70, 'b'),
         std::string(70, 'a') + "\r\n" + std::string(70, 'b')},
        {"empty", "", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(EncodeQuotedPrintable(c.text), c.expected) << c.name;
}

TEST(EncodeHeaderWord, Table)
{
    const struct {
        const char* text;
        const char* expected;
    } cases[] = {
        {"Plain subject", "Plain subject"},
        {"tab\tand \x01 pass", "tab\tand \x01 pass"},
        {"caf\xC3\xA9 ole", "=?utf-8?B?Y2Fmw6kgb2xl?="},
        {"line\r\nbreak", "=?utf-8?B?bGluZQ0KYnJlYWs=?="},
        {"DEL \x7F", "=?utf-8?B?REVMIH8=?="},
        {"=?utf-8?Q?not_a_word?=", "=?utf-8?B?PT91dGYtOD9RP25vdF9hX3dvcmQ/PQ==?="},
        {"", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(EncodeHeaderWord(c.text), c.expected) << c.text;

    // However long, one word: it decodes back whole.
    const std::string longText = std::string(300, 'x') + "\xC3\xA9";
    const std::string word = EncodeHeaderWord(longText);
    EXPECT_EQ(word.find("?= =?"), std::string::npos);
    EXPECT_EQ(DecodeEncodedWords(word), longText);
}

TEST(MimeTypeForName, Table)
{
    const std::pair<const char*, const char*> cases[] = {
        {"REPORT.PDF", "application/pdf"},
        {"archive.tar.gz", "application/gzip"},
        {"README", "application/octet-stream"},
        {"trailing.", "application/octet-stream"},
        {"unknown.xyz", "application/octet-stream"},
        {"", "application/octet-stream"},
    };
    for (const auto& [name, expected] : cases)
        EXPECT_EQ(MimeTypeForName(name), expected) << name;
}

TEST(MakeBoundary, FormatAndDistinctLevels)
{
    const std::string one = MakeBoundary(1);
    const std::string two = MakeBoundary(2);
    EXPECT_THAT(one, testing::StartsWith("=_Postern_"));
    EXPECT_EQ(one.substr(one.size() - 3), "_1_");
    EXPECT_EQ(two.substr(two.size() - 3), "_2_");
    EXPECT_NE(one, two);
    // Neither can appear inside the other's delimiter line.
    EXPECT_EQ(("--" + one).find("--" + two), std::string::npos);
}

TEST(FormatMessageDate, Table)
{
    const std::pair<int64_t, const char*> cases[] = {
        {0, "Thu, 1 Jan 1970 00:00:00 +0000"},
        {kDecember7, "Mon, 7 Dec 2026 09:00:00 +0000"},
        {951782400, "Tue, 29 Feb 2000 00:00:00 +0000"},
        {1709251199, "Thu, 29 Feb 2024 23:59:59 +0000"},
        {4102444800, "Fri, 1 Jan 2100 00:00:00 +0000"},
    };
    for (const auto& [time, expected] : cases) {
        EXPECT_EQ(FormatMessageDate(time), expected);
        EXPECT_EQ(ParseDate(FormatMessageDate(time)), time);
    }
}

std::vector<std::string> HeaderLines(const std::string& message)
{
    std::vector<std::string> lines;
    std::size_t pos = 0;
    for (;;) {
        const std::size_t end = message.find("\r\n", pos);
        if (end == std::string::npos || end == pos)
            break;
        lines.push_back(message.substr(pos, end - pos));
        pos = end + 2;
    }
    return lines;
}

TEST(BuildMessage, PlainMessageHeaderOrder)
{
    OutgoingMessage message;
    message.to = "Bob <bob@example.test>";
    message.subject = "Hello";
    message.textBody = "Hi Bob.\n";
    const std::string built = BuildMessageAt("", "alice@example.test", message, kDecember7);
    const std::vector<std::string> lines = HeaderLines(built);
    ASSERT_EQ(lines.size(), 9u);
    EXPECT_EQ(lines[0], "Date: Mon, 7 Dec 2026 09:00:00 +0000");
    EXPECT_EQ(lines[1], "From: alice@example.test");
    EXPECT_EQ(lines[2], "To: Bob <bob@example.test>");
    EXPECT_EQ(lines[3], "Subject: Hello");
    EXPECT_THAT(lines[4], testing::StartsWith("Message-ID: <"));
    EXPECT_EQ(lines[4].rfind("@example.test>"), lines[4].size() - 14);
    EXPECT_EQ(lines[5], "MIME-Version: 1.0");
    EXPECT_EQ(lines[6], "X-Mailer: Postern (Halvorsoft)");
    EXPECT_EQ(lines[7], "Content-Type: text/plain; charset=utf-8");
    EXPECT_EQ(lines[8], "Content-Transfer-Encoding: quoted-printable");
    EXPECT_EQ(built.substr(built.size() - 15), "\r\n\r\nHi Bob.\r\n\r\n");
    EXPECT_EQ(built.find('\n'), built.find("\r\n") + 1); // CR LF throughout
    for (std::size_t i = 0; i < built.size(); ++i) {
        if (built[i] == '\n') {
            ASSERT_EQ(built[i - 1], '\r') << i;
        }
    }
}

TEST(BuildMessage, OptionalHeaders)
{
    OutgoingMessage message;
    message.to = "b@x";
    message.cc = "c@x";
    message.inReplyTo = "<p@x>";
    message.references = "<o@x> <p@x>";
    const std::vector<std::string> lines = HeaderLines(BuildMessageAt("Ann", "ann", message, 0));
    ASSERT_GE(lines.size(), 9u);
    EXPECT_EQ(lines[1], "From: Ann <ann>");
    EXPECT_EQ(lines[3], "Cc: c@x");
    EXPECT_EQ(lines[4], "Subject: ");
    EXPECT_EQ(lines[5].substr(lines[5].size() - 9), "@postern>"); // no at sign in the address
    EXPECT_EQ(lines[6], "In-Reply-To: <p@x>");
    EXPECT_EQ(lines[7], "References: <o@x> <p@x>");
}

TEST(BuildMessage, DisplayNames)
{
    const std::pair<const char*, const char*> cases[] = {
        {"Ann Example", "From: Ann Example <a@x>"},
        {"Doe, Jane", "From: \"Doe, Jane\" <a@x>"},
        {"J. R. \"Bob\" Dobbs", "From: =?utf-8?B?Si4gUi4gIkJvYiIgRG9iYnM=?= <a@x>"},
        {"J\xC3\xBCrgen, Dr.", "From: =?utf-8?B?SsO8cmdlbiwgRHIu?= <a@x>"},
    };
    for (const auto& [name, expected] : cases) {
        const std::string built = BuildMessageAt(name, "a@x", OutgoingMessage{}, 0);
        EXPECT_EQ(HeaderLines(built)[1], expected);
        EXPECT_EQ(DisplayName(ParseMessage(built).from), name);
    }
}

TEST(BuildMessage, NoHeaderInjection)
{
    // A reply's To comes from the decoded From of a received message.
    const std::string hostileFrom = DecodeEncodedWords("=?utf-8?q?x=0D=0ABcc:_victim@x?= <a@x>");
    ASSERT_NE(hostileFrom.find("\r\n"), std::string::npos);
    OutgoingMessage message;
    message.to = hostileFrom;
    message.cc = "c@x\nX-Injected: 1";
    message.subject = "s\r\nX-Injected: 2";
    message.inReplyTo = "<p@x>\rX-Injected: 3";
    message.references = "<p@x>\r\n\r\nbody takeover";
    message.attachments.push_back({"a\r\nX-Injected: 4.txt", "text/plain\r\nX-Injected: 5", "x"});
    const std::string built =
        BuildMessageAt("Name\r\nX-Injected: 6", "a@x\r\nX-Injected: 7", message, 0);
    const std::vector<MailHeader> headers = ParseHeaders(built);
    for (const MailHeader& header : headers) {
        EXPECT_NE(header.name, "bcc");
        EXPECT_NE(header.name, "x-injected");
    }
    EXPECT_EQ(FindHeader(headers, "to"), "x  Bcc: victim@x <a@x>");
    EXPECT_EQ(FindHeader(headers, "references"), "<p@x>    body takeover");
    EXPECT_EQ(built.find("\nX-Injected"), std::string::npos);
    EXPECT_EQ(built.find("\nBcc"), std::string::npos);
}

// A line break in a value the sender typed would send to another address
// than the To line shows: the message is refused, naming the field.
TEST(PrepareSubmission, LineBreaksAreRefused)
{
    const struct {
        const char* field;
        const char* value;
        const char* error;
    } cases[] = {
        {"to", "b@localhost\r\n<evil@x>", "A line break is not allowed in To."},
        {"to", "b@localhost\n<evil@x>", "A line break is not allowed in To."},
        {"cc", "c@x\rBcc: evil@x", "A line break is not allowed in Cc."},
        {"subject", "s\r\nBcc: evil@x", "A line break is not allowed in Subject."},
        {"file", "a\r\nX: 1.txt", "A line break is not allowed in an attachment's name \"a  X: 1.txt\"."},
        {"type", "text/plain\nX: 1", "A line break is not allowed in an attachment's media type."},
        {"name", "Me\nBcc: evil@x", "A line break is not allowed in the sender's name."},
        {"address", "me@x\n", "A line break is not allowed in the sender's address."},
    };
    for (const auto& c : cases) {
        OutgoingMessage message;
        message.to = "b@localhost";
        message.attachments.push_back({"a.txt", "", "x"});
        const std::string field = c.field;
        std::string name = "Me";
        std::string address = "me@x";
        (field == "to" ? message.to : field == "cc" ? message.cc : field == "subject" ? message.subject
         : field == "file" ? message.attachments[0].filename : field == "type" ? message.attachments[0].mimeType
         : field == "name" ? name : address) = c.value;
        std::string text = "untouched";
        std::vector<std::string> recipients;
        std::string error;
        EXPECT_FALSE(PrepareSubmission(name, address, message, text, recipients, error)) << c.value;
        EXPECT_EQ(error, c.error);
        EXPECT_EQ(text, "untouched");
        EXPECT_TRUE(recipients.empty());
    }
    OutgoingMessage fine;
    fine.to = "Ann <a@x>, \"Doe, J\" <j@y>";
    fine.cc = "c@z (work, evil@w)";
    std::string text;
    std::vector<std::string> recipients;
    std::string error;
    ASSERT_TRUE(PrepareSubmission("Me", "me@x", fine, text, recipients, error)) << error;
    EXPECT_EQ(recipients, (std::vector<std::string>{"a@x", "j@y", "c@z"}));
    EXPECT_EQ(FindHeader(ParseHeaders(text), "to"), fine.to);
}

TEST(BuildMessage, AlternativeIsTheFirstPartOfMixed)
{
    OutgoingMessage message;
    message.textBody = "plain";
    message.htmlBody = "<p>html</p>";
    message.attachments.push_back({"Report.PDF", "", "%PDF-1.4"});
    const std::string built = BuildMessageAt("", "a@x", message, 0);
    const std::size_t mixed = built.find("Content-Type: multipart/mixed; boundary=\"=_Postern_");
    const std::size_t alternative =
        built.find("Content-Type: multipart/alternative; boundary=\"=_Postern_");
    const std::size_t plain = built.find("Content-Type: text/plain; charset=utf-8");
    const std::size_t html = built.find("Content-Type: text/html; charset=utf-8");
    const std::size_t pdf = built.find("Content-Type: application/pdf; name=\"Report.PDF\"");
    ASSERT_NE(mixed, std::string::npos);
    EXPECT_LT(mixed, alternative);
    EXPECT_LT(alternative, plain);
    EXPECT_LT(plain, html);
    EXPECT_LT(html, pdf);
    EXPECT_NE(built.find("Content-Disposition: attachment; filename=\"Report.PDF\"\r\n\r\n"
                         "JVBERi0xLjQ=\r\n--"),
              std::string::npos);
}

TEST(BuildMessage, EmptyPlainPartStillWritten)
{
    OutgoingMessage message;
    message.htmlBody = "<p>only html</p>";
    const std::string built = BuildMessageAt("", "a@x", message, 0);
    EXPECT_NE(built.find("Content-Type: text/plain; charset=utf-8\r\n"
                         "Content-Transfer-Encoding: quoted-printable\r\n\r\n\r\n--"),
              std::string::npos);
}

TEST(BuildMessage, AttachmentNames)
{
    OutgoingMessage message;
    message.attachments.push_back({"r\xC3\xA9sum\xC3\xA9.pdf", "", "x"});
    message.attachments.push_back({"empty.bin", "application/x-custom", ""});
    message.attachments.push_back({"say \"hi\".txt", "", "q"});
    const std::string built = BuildMessageAt("", "a@x", message, 0);
    EXPECT_NE(built.find("Content-Type: application/pdf; name=\"=?utf-8?B?csOpc3Vtw6kucGRm?=\"\r\n"
                         "Content-Transfer-Encoding: base64\r\n"
                         "Content-Disposition: attachment; filename=\"=?utf-8?B?csOpc3Vtw6kucGRm?=\""),
              std::string::npos);
    // A zero-byte file: headers, the blank line, no Base64 line.
    EXPECT_NE(built.find("filename=\"empty.bin\"\r\n\r\n--=_Postern_"), std::string::npos);

    const ParsedMessage parsed = ParseMessage(built);
    ASSERT_EQ(parsed.parts.size(), 3u);
    EXPECT_EQ(parsed.parts[0].filename, "r\xC3\xA9sum\xC3\xA9.pdf");
    EXPECT_EQ(parsed.parts[1].contentType, "application/x-custom");
    EXPECT_EQ(parsed.parts[1].data, "");
    EXPECT_EQ(parsed.parts[2].filename, "say \"hi\".txt");
    EXPECT_EQ(parsed.parts[2].contentType, "text/plain");
}

TEST(BuildMessage, RoundTripThroughTheParser)
{
    OutgoingMessage message;
    message.to = "Bob <bob@example.test>, \"Doe, J\" <j@example.test>";
    message.cc = "carol@example.test";
    message.subject = "Gr\xC3\xBC\xC3\x9F" "e aus K\xC3\xB6ln = 100%";
    message.textBody = "Line one\n.leading dot\nfrom here\n" + std::string(300, 'z') + "\ncaf\xC3\xA9 =";
    message.htmlBody = "<p>caf\xC3\xA9</p>\n<p>" + std::string(200, 'h') + "</p>";
    message.inReplyTo = "<p@x>";
    // Attachment sizes around the 57-byte Base64 line.
    for (std::size_t size : {0u, 1u, 2u, 3u, 56u, 57u, 58u, 114u, 1000u, 70000u}) {
        std::string data(size, '\0');
        for (std::size_t i = 0; i < size; ++i)
            data[i] = static_cast<char>((i * 7919 + size) & 0xFF);
        message.attachments.push_back({"f" + std::to_string(size) + ".bin", "", data});
    }
    const std::string built =
        BuildMessageAt("J\xC3\xBCrgen M\xC3\xBCller", "juergen@example.test", message, kDecember7);
    const ParsedMessage parsed = ParseMessage(built);
    EXPECT_EQ(parsed.from, "J\xC3\xBCrgen M\xC3\xBCller <juergen@example.test>");
    EXPECT_EQ(parsed.to, message.to);
    EXPECT_EQ(parsed.cc, message.cc);
    EXPECT_EQ(parsed.subject, message.subject);
    EXPECT_EQ(parsed.inReplyTo, "<p@x>");
    EXPECT_EQ(parsed.date, kDecember7);
    EXPECT_EQ(parsed.textBody, "Line one\r\n.leading dot\r\nfrom here\r\n" + std::string(300, 'z')
                                   + "\r\ncaf\xC3\xA9 =");
    EXPECT_EQ(parsed.htmlBody, "<p>caf\xC3\xA9</p>\r\n<p>" + std::string(200, 'h') + "</p>");
    ASSERT_EQ(parsed.parts.size(), message.attachments.size());
    for (std::size_t i = 0; i < parsed.parts.size(); ++i) {
        EXPECT_EQ(parsed.parts[i].filename, message.attachments[i].filename);
        EXPECT_EQ(parsed.parts[i].contentType, "application/octet-stream");
        EXPECT_EQ(parsed.parts[i].data, message.attachments[i].data) << message.attachments[i].filename;
    }
}

} // namespace
} // namespace postern
