// Whole messages: the entity walk, bodies, parts, and hostile structure.
#include "mail/MimeParser.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace postern {
namespace {

// Test messages are written with "\n" and sent with CR LF, as on the wire.
std::string Crlf(std::string_view text)
{
    std::string out;
    for (char c : text) {
        if (c == '\n')
            out += "\r\n";
        else
            out.push_back(c);
    }
    return out;
}

struct PartSummary {
    std::string contentType;
    std::string filename;
    std::string data;
};

struct MessageCase {
    const char* name;
    std::string raw;
    std::string text;
    std::string html;
    std::vector<PartSummary> parts;
};

void ExpectMessage(const MessageCase& c)
{
    const ParsedMessage message = ParseMessage(c.raw);
    EXPECT_EQ(message.textBody, c.text) << c.name;
    EXPECT_EQ(message.htmlBody, c.html) << c.name;
    ASSERT_EQ(message.parts.size(), c.parts.size()) << c.name;
    for (std::size_t i = 0; i < c.parts.size(); ++i) {
        EXPECT_EQ(message.parts[i].contentType, c.parts[i].contentType) << c.name << " part " << i;
        EXPECT_EQ(message.parts[i].filename, c.parts[i].filename) << c.name << " part " << i;
        EXPECT_EQ(message.parts[i].data, c.parts[i].data) << c.name << " part " << i;
    }
}

TEST(ParseMessage, Structure)
{
    const MessageCase cases[] = {
        {"plain message", Crlf("Subject: x\n\nHello\n"), "Hello\r\n", "", {}},
        {"bare LF message", "Subject: x\n\nHello\n", "Hello\n", "", {}},
        {"no blank line: all header", Crlf("Subject: x\nHello there\n"), "", "", {}},
        {"html only, type in capitals", Crlf("Content-Type: TEXT/HTML; charset=utf-8\n\n<p>x</p>"),
         "", "<p>x</p>", {}},
        {"empty content type is plain text", Crlf("Content-Type:\n\nbody"), "body", "", {}},
        {"alternative inside mixed", Crlf("Content-Type: multipart/mixed; boundary=outer\n\n"
                                          "preamble\n"
                                          "--outer\n"
                                          "Content-Type: multipart/alternative; boundary=\"inner\"\n\n"
                                          "--inner\n"
                                          "Content-Type: text/plain\n\nplain\n"
                                          "--inner\n"
                                          "Content-Type: text/html\n\n<b>html</b>\n"
                                          "--inner--\n"
                                          "--outer\n"
                                          "Content-Type: application/pdf; name=\"a.pdf\"\n"
                                          "Content-Disposition: attachment; filename=\"Report.PDF\"\n"
                                          "Content-Transfer-Encoding: base64\n\n"
                                          "JVBERg==\n"
                                          "--outer--\n"
                                          "epilogue\n"),
         "plain", "<b>html</b>", {{"application/pdf", "Report.PDF", "%PDF"}}},
        {"second text/plain becomes a part",
         Crlf("Content-Type: multipart/mixed; boundary=b\n\n--b\n\nfirst\n--b\n"
              "Content-Type: text/plain\n\nsecond\n--b--\n"),
         "first", "", {{"text/plain", "", "second"}}},
        {"inline image keeps its content id",
         Crlf("Content-Type: multipart/related; boundary=b\n\n--b\n"
              "Content-Type: text/html\n\n<img src=\"cid:logo@x\">\n--b\n"
              "Content-Type: image/png\nContent-ID: <logo@x>\nContent-Transfer-Encoding: base64\n\n"
              "iVBORw==\n--b--\n"),
         "", "<img src=\"cid:logo@x\">", {{"image/png", "", "\x89PNG"}}},
        {"part without headers keeps all of its body",
         Crlf("Content-Type: multipart/mixed; boundary=b\n\n--b\n\nline one\n\nline two\n--b--\n"),
         "line one\r\n\r\nline two", "", {}},
        {"mixed line ends: the first blank line ends the headers",
         "Content-Type: multipart/mixed; boundary=b\n\n--b\nContent-Type: text/plain\n\n"
         "para one\r\n\r\npara two\n--b--\n",
         "para one\r\n\r\npara two", "", {}},
        {"doubled delimiter line encloses no part",
         Crlf("Content-Type: multipart/mixed; boundary=b\n\n--b\n--b\n"
              "Content-Type: text/plain\n\nonly\n--b--\n"),
         "only", "", {}},
        {"missing closing delimiter: the last part runs to the end",
         Crlf("Content-Type: multipart/mixed; boundary=b\n\n--b\n\none\n--b\n"
              "Content-Type: image/gif\n\nGIF89a\n\n"),
         "one", "", {{"image/gif", "", "GIF89a"}}},
        {"multipart without boundary is ignored",
         Crlf("Content-Type: multipart/mixed\n\n--b\n\ntext\n--b--\n"), "", "", {}},
        {"delimiter must start a line",
         Crlf("Content-Type: multipart/mixed; boundary=b\n\n--b\n\nsee --b here\n--b--\n"),
         "see --b here", "", {}},
        {"inner boundary extending the outer one",
         Crlf("Content-Type: multipart/mixed; boundary=\"--x\"\n\n"
              "----x\n"
              "Content-Type: multipart/alternative; boundary=\"--x-1\"\n\n"
              "----x-1\nContent-Type: text/plain\n\nplain\n"
              "----x-1\nContent-Type: text/html\n\nhtml\n"
              "----x-1--\n"
              "----x\nContent-Type: application/zip\nContent-Disposition: attachment; filename=z.zip\n\n"
              "PK\n"
              "----x--\n"),
         "plain", "html", {{"application/zip", "z.zip", "PK"}}},
        {"delimiter followed by white space",
         Crlf("Content-Type: multipart/mixed; boundary=b\n\n--b  \n\nbody\n--b-- \n"), "body", "",
         {}},
        {"quoted-printable body", Crlf("Content-Transfer-Encoding: Quoted-Printable\n\n"
                                       "soft=\nly caf=C3=A9 a=3Db\n"),
         "softly caf\xC3\xA9 a=b\r\n", "", {}},
        {"base64 body with line breaks and trailing spaces",
         Crlf("Content-Transfer-Encoding: base64 \n\nSGVs  \nbG8s\t\nIHdv\ncmxk\n"), "Hello, world",
         "", {}},
        {"body charset converted", Crlf("Content-Type: text/plain; charset=iso-8859-1\n\ncaf\xE9"),
         "caf\xC3\xA9", "", {}},
        {"unknown charset passes bytes", Crlf("Content-Type: text/plain; charset=x-mac-roman\n\n\x8E"),
         "\x8E", "", {}},
        {"attachment charset not converted",
         Crlf("Content-Type: text/plain; charset=iso-8859-1\n"
              "Content-Disposition: attachment; filename=a.txt\n\ncaf\xE9"),
         "", "", {{"text/plain", "a.txt", "caf\xE9"}}},
        {"encoded file name, name parameter as fallback",
         Crlf("Content-Type: multipart/mixed; boundary=b\n\n"
              "--b\nContent-Type: image/png; name=\"=?utf-8?B?w6kucG5n?=\"\n"
              "Content-Disposition: attachment\n\nx\n"
              "--b\nContent-Type: image/png; name=\"fallback.png\"\n"
              "Content-Disposition: attachment; filename=\"Wins.png\"\n\ny\n--b--\n"),
         "", "", {{"image/png", "\xC3\xA9.png", "x"}, {"image/png", "Wins.png", "y"}}},
    };
    for (const MessageCase& c : cases)
        ExpectMessage(c);
}

// What other mail programs write: RFC 2231 parameters, forwarded messages,
// digests and empty parts.
TEST(ParseMessage, RealWorldStructure)
{
    const std::string original = Crlf("Message-ID: <inner@x>\nSubject: original\n"
                                      "Content-Type: multipart/alternative; boundary=c\n\n"
                                      "--c\nContent-Type: text/plain\n\ninner plain\n--c\n"
                                      "Content-Type: text/html\n\ninner html\n--c--");
    const std::string withPdf = Crlf("Subject: original\nContent-Type: multipart/mixed; boundary=c\n\n"
                                     "--c\nContent-Type: text/html\n\ninner html\n--c\n"
                                     "Content-Type: application/pdf; name=r.pdf\n\n%PDF\n--c--");
    const MessageCase cases[] = {
        {"RFC 2231 file name makes an attachment",
         Crlf("Content-Type: application/pdf\n"
              "Content-Disposition: x-unknown;\n filename*=UTF-8''Rechnung%20M%C3%A4rz.pdf\n\n%PDF"),
         "", "", {{"application/pdf", "Rechnung M\xC3\xA4rz.pdf", "%PDF"}}},
        {"RFC 2231 boundary and charset",
         Crlf("Content-Type: multipart/mixed; boundary*=''b%3D1\n\n--b=1\n"
              "Content-Type: text/plain; charset*0*=us-ascii''iso-8859; charset*1=\"-1\"\n\ncaf\xE9\n"
              "--b=1\nContent-Type: text/plain; charset*=us-ascii''iso-8859-1\n\n\xE9\n--b=1--\n"),
         "caf\xC3\xA9", "", {{"text/plain", "", "\xE9"}}},
        {"a forward keeps the note as the body and the original as an attachment",
         Crlf("Content-Type: multipart/mixed; boundary=b\n\n--b\nContent-Type: text/plain\n\n"
              "See below.\n--b\nContent-Type: message/rfc822\n\n")
             + original + Crlf("\n--b--\n"),
         "See below.", "", {{"message/rfc822", "forwarded.eml", original}}},
        {"a bare forward shows the original, its parts after it",
         Crlf("Content-Type: multipart/mixed; boundary=b\n\n--b\n\n\n--b\n"
              "Content-Type: message/rfc822\nContent-Disposition: attachment; filename=\"Orig.eml\"\n\n")
             + withPdf
             + Crlf("\n--b\nContent-Type: image/gif; name=g.gif\n\nG\n--b--\n"),
         "", "inner html",
         {{"message/rfc822", "Orig.eml", withPdf}, {"application/pdf", "r.pdf", "%PDF"},
          {"image/gif", "g.gif", "G"}}},
        {"base64 message/rfc822 alone",
         Crlf("Content-Type: message/rfc822\nContent-Transfer-Encoding: base64\n\n"
              "U3ViamVjdDogaQ0KDQppbm5lciBib2R5\n"),
         "inner body", "", {{"message/rfc822", "forwarded.eml", "Subject: i\r\n\r\ninner body"}}},
        {"digest entries are messages",
         Crlf("Content-Type: multipart/mixed; boundary=o\n\n--o\n\nToday's digest\n--o\n"
              "Content-Type: multipart/digest; boundary=d\n\n--d\n\nSubject: one\n\nfirst\n"
              "--d\nContent-Type: text/plain\n\nnot a message\n--d--\n--o--\n"),
         "Today's digest", "",
         {{"message/rfc822", "forwarded.eml", "Subject: one\r\n\r\nfirst"},
          {"text/plain", "", "not a message"}}},
        {"empty text parts stay parts",
         Crlf("Content-Type: multipart/mixed; boundary=b\n\n--b\nContent-Type: text/plain\n\n\n"
              "--b\nContent-Type: text/plain\n\n\n--b\nContent-Type: text/html\n\n\n"
              "--b\nContent-Type: text/html\n\n\n--b--\n"),
         "", "", {{"text/plain", "", ""}, {"text/html", "", ""}}},
    };
    for (const MessageCase& c : cases)
        ExpectMessage(c);
}

TEST(ParseMessage, ForwardLeavesTheConversationAlone)
{
    const ParsedMessage message = ParseMessage(
        Crlf("Message-ID: <outer@x>\nSubject: Fwd\n"
             "Content-Type: message/rfc822\n\n"
             "Message-ID: <inner@x>\nIn-Reply-To: <p@x>\nReferences: <o@x>\nSubject: inner\n\nbody"));
    EXPECT_EQ(message.messageId, "<outer@x>");
    EXPECT_EQ(message.inReplyTo, "");
    EXPECT_EQ(message.references, "");
    EXPECT_EQ(message.subject, "Fwd");
    EXPECT_EQ(message.textBody, "body");
}

TEST(ParseMessage, AttachmentTest)
{
    // A text/plain leaf with this disposition: body (false) or part (true).
    const struct {
        const char* disposition;
        bool attachment;
    } cases[] = {
        {"", false},
        {"inline", false},
        {"inline; filename=a.txt", false},
        {"INLINE; filename=a.txt", false},
        {"attachment", true},
        {"Attachment; filename=a.txt", true},
        {"attachment-ish", true}, // begins with "attachment"
        {"x-unknown; filename=a.txt", true},
        {"x-unknown", false},
        {"x-unknown; filename=\"\"", false},
    };
    for (const auto& c : cases) {
        std::string raw = "Content-Type: text/plain\r\n";
        if (*c.disposition)
            raw += std::string("Content-Disposition: ") + c.disposition + "\r\n";
        raw += "\r\ncontent";
        const ParsedMessage message = ParseMessage(raw);
        EXPECT_EQ(message.parts.size(), c.attachment ? 1u : 0u) << c.disposition;
        EXPECT_EQ(message.textBody, c.attachment ? "" : "content") << c.disposition;
    }
}

TEST(ParseMessage, ContentIdBrackets)
{
    const std::pair<const char*, const char*> cases[] = {
        {"<id@x>", "id@x"}, {"id@x", "id@x"}, {"<id@x", "<id@x"}, {"<>", ""}, {"<", "<"},
    };
    for (const auto& [header, expected] : cases) {
        const ParsedMessage message =
            ParseMessage(std::string("Content-Type: image/png\r\nContent-ID: ") + header + "\r\n\r\nx");
        ASSERT_EQ(message.parts.size(), 1u) << header;
        EXPECT_EQ(message.parts[0].contentId, expected) << header;
    }
}

TEST(ParseMessage, TopLevelHeaders)
{
    const ParsedMessage message = ParseMessage(Crlf(
        "From: =?utf-8?B?SsO8cmdlbg==?= <j@example.test>\n"
        "To: a@example.test,\n b@example.test\n"
        "Cc: =?iso-8859-1?Q?Ren=E9?= <r@example.test>\n"
        "Subject: =?utf-8?Q?a_b?= =?utf-8?Q?c?=\n"
        "Message-ID: <m@x>\nIn-Reply-To: <p@x>\nReferences: <o@x> <p@x>\n"
        "Date: Mon, 07 Dec 2026 10:00:00 +0100\n\nbody"));
    EXPECT_EQ(message.from, "J\xC3\xBCrgen <j@example.test>");
    EXPECT_EQ(message.to, "a@example.test, b@example.test");
    EXPECT_EQ(message.cc, "Ren\xC3\xA9 <r@example.test>");
    EXPECT_EQ(message.subject, "a bc");
    EXPECT_EQ(message.messageId, "<m@x>");
    EXPECT_EQ(message.inReplyTo, "<p@x>");
    EXPECT_EQ(message.references, "<o@x> <p@x>");
    EXPECT_EQ(message.date, 1796634000);
    EXPECT_EQ(message.textBody, "body");
}

// A multipart nested `levels` deep with a text/plain leaf named by its depth
// inside every level.
std::string Nested(int levels)
{
    std::string raw;
    std::string closing;
    for (int depth = 0; depth < levels; ++depth) {
        const std::string boundary = "b" + std::to_string(depth);
        raw += "Content-Type: multipart/mixed; boundary=" + boundary + "\r\n\r\n--" + boundary
               + "\r\nContent-Type: text/plain\r\nContent-Disposition: attachment; filename=d"
               + std::to_string(depth + 1) + "\r\n\r\nx\r\n--" + boundary + "\r\n";
        closing = "\r\n--" + boundary + "--\r\n" + closing;
    }
    return raw + "Content-Type: text/plain\r\nContent-Disposition: attachment; filename=leaf\r\n\r\nx"
           + closing;
}

TEST(ParseMessage, NestingBelowDepthTenOnly)
{
    // Entities at depths 0 to 10 are read; a level-n multipart holds its
    // attachment at depth n + 1.
    const ParsedMessage nine = ParseMessage(Nested(9));
    ASSERT_EQ(nine.parts.size(), 10u);
    EXPECT_EQ(nine.parts.back().filename, "leaf");

    const ParsedMessage deep = ParseMessage(Nested(12));
    ASSERT_EQ(deep.parts.size(), 10u);
    EXPECT_EQ(deep.parts.back().filename, "d10");

    // Far deeper than any mail: bounded work and stack.
    const ParsedMessage absurd = ParseMessage(Nested(20000));
    EXPECT_EQ(absurd.parts.size(), 10u);

    std::string rfc822;
    for (int i = 0; i < 20000; ++i)
        rfc822 += "Content-Type: message/rfc822\r\n\r\n";
    rfc822 += "\r\nbody";
    EXPECT_EQ(ParseMessage(rfc822).textBody, "");
}

TEST(ParseMessage, HundredThousandTinyParts)
{
    std::string raw = "Content-Type: multipart/mixed; boundary=b\r\n\r\n";
    for (int i = 0; i < 100000; ++i)
        raw += "--b\r\n\r\nx\r\n";
    raw += "--b--\r\n";
    const ParsedMessage message = ParseMessage(raw);
    EXPECT_EQ(message.textBody, "x");
    EXPECT_EQ(message.parts.size(), 99999u);
}

TEST(ParseMessage, LongBoundaryNearMisses)
{
    // A boundary of 8 kB dashes and lines of one dash fewer than its
    // delimiter: a naive search compares kilobytes at every position.
    const std::string boundary(8192, '-');
    std::string raw = "Content-Type: multipart/mixed; boundary=\"" + boundary + "\"\r\n\r\n--" + boundary
                      + "\r\n\r\n";
    const std::string nearMiss = std::string(boundary.size() + 1, '-') + "x\r\n";
    for (int i = 0; i < 300; ++i)
        raw += nearMiss;
    raw += "--" + boundary + "--\r\n";
    const ParsedMessage message = ParseMessage(raw);
    EXPECT_EQ(message.textBody.size(), 300 * nearMiss.size() - 2);
}

TEST(ParseMessage, HugeHeaderBlockAndFoldedTo)
{
    std::string raw = "To: first@example.test";
    for (int i = 0; i < 5000; ++i)
        raw += ",\r\n\tuser" + std::to_string(i) + "@example.test";
    raw += "\r\n";
    while (raw.size() < 10 * 1024 * 1024)
        raw += "X-Filler: " + std::string(100, 'y') + "\r\n";
    raw += "Subject: found\r\n\r\nbody";
    const ParsedMessage message = ParseMessage(raw);
    EXPECT_EQ(message.subject, "found");
    EXPECT_EQ(message.textBody, "body");
    EXPECT_GT(message.to.size(), 100000u);
}

TEST(ParseMessage, GarbageNeverCrashes)
{
    const char* inputs[] = {
        "", "\r\n", "\n\n", ":", "Content-Type: multipart/mixed; boundary=\"\r\n\r\n--",
        "Content-Type: multipart/mixed; boundary=b\r\n\r\n--b",
        "Content-Type: multipart/mixed; boundary=b\r\n\r\n--b--",
        "Content-Type: message/rfc822\r\nContent-Transfer-Encoding: base64\r\n\r\n!!!!",
        "=?", "Subject: =?utf-8?B?", "Date: , , ,",
    };
    for (const char* input : inputs) {
        const ParsedMessage message = ParseMessage(input);
        EXPECT_TRUE(message.parts.size() <= 1) << input;
    }
}

} // namespace
} // namespace postern
