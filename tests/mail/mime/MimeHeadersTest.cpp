// Header blocks: unfolding, lookup, parameters, display names.
#include "mail/MimeParser.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace postern {
namespace {

using namespace std::string_literals;

struct HeaderCase {
    const char* name;
    std::string block;
    std::vector<MailHeader> expected;
};

TEST(ParseHeaders, Table)
{
    const HeaderCase cases[] = {
        {"simple", "From: a@x\r\nTo: b@y\r\n", {{"from", "a@x"}, {"to", "b@y"}}},
        {"bare LF", "From: a@x\nTo: b@y\n", {{"from", "a@x"}, {"to", "b@y"}}},
        {"folded over three lines", "Subject: one\r\n two\r\n\t three\r\n",
         {{"subject", "one two three"}}},
        {"fold pieces are trimmed", "Subject: one   \r\n      two  \r\n", {{"subject", "one two"}}},
        {"name lower-cased, value trimmed", "X-Mixed-CASE:   v a l   \r\n",
         {{"x-mixed-case", "v a l"}}},
        {"space before colon stays in the name", "Subject : hi\r\n", {{"subject ", "hi"}}},
        {"empty line ends the block", "A: 1\r\n\r\nB: 2\r\n", {{"a", "1"}}},
        {"line without colon is dropped, and its continuation", "A: 1\r\njunk\r\n more\r\nB: 2\r\n",
         {{"a", "1"}, {"b", "2"}}},
        {"continuation before any field is dropped", " lead\r\nA: 1\r\n", {{"a", "1"}}},
        {"empty name is dropped", ": nothing\r\nA: 1\r\n", {{"a", "1"}}},
        {"empty value kept", "A:\r\n", {{"a", ""}}},
        {"colon inside value", "Date: Mon, 7 Dec 2026 10:00:00 +0100\r\n",
         {{"date", "Mon, 7 Dec 2026 10:00:00 +0100"}}},
        {"no line end at the end", "A: 1", {{"a", "1"}}},
        {"only CR removed once", "A: 1\r\r\n", {{"a", "1"}}},
        {"nothing", "", {}},
        {"starts with empty line", "\r\nA: 1\r\n", {}},
    };
    for (const HeaderCase& c : cases) {
        const std::vector<MailHeader> got = ParseHeaders(c.block);
        ASSERT_EQ(got.size(), c.expected.size()) << c.name;
        for (std::size_t i = 0; i < got.size(); ++i) {
            EXPECT_EQ(got[i].name, c.expected[i].name) << c.name;
            EXPECT_EQ(got[i].value, c.expected[i].value) << c.name;
        }
    }
}

TEST(ParseHeaders, FirstMatchWinsAndMissingIsEmpty)
{
    const auto headers = ParseHeaders("Received: one\r\nReceived: two\r\n");
    EXPECT_EQ(FindHeader(headers, "received"), "one");
    EXPECT_EQ(FindHeader(headers, "Received"), ""); // lookups use the lower-case name
    EXPECT_EQ(FindHeader(headers, "subject"), "");
}

TEST(ParseHeaders, LongFoldedHeaderKeepsEveryPiece)
{
    // A To: header of about 135 kB over thousands of folded lines, as some
    // mailing list software writes them.
    std::string block = "To: first@example.test";
    std::string expected = "first@example.test";
    for (int i = 0; i < 5000; ++i) {
        const std::string address = "user" + std::to_string(i) + "@example.test,";
        block += ",\r\n    " + address;
        expected += ", " + address;
    }
    block += "\r\nSubject: after\r\n";
    const auto headers = ParseHeaders(block);
    ASSERT_EQ(headers.size(), 2u);
    EXPECT_EQ(headers[0].value, expected);
    EXPECT_EQ(headers[1].value, "after");
}

struct ParamCase {
    const char* value;
    const char* name;
    const char* expected;
};

TEST(HeaderParam, Table)
{
    const ParamCase cases[] = {
        {"text/plain; charset=utf-8", "charset", "utf-8"},
        {"text/plain; CHARSET=UTF-8", "charset", "UTF-8"}, // name found in any case, value kept
        {"text/plain;charset=\"iso-8859-1\"", "charset", "iso-8859-1"},
        {"attachment; filename=a.pdf; size=3", "filename", "a.pdf"},
        {"attachment; filename=\"a;b.pdf\"; size=3", "filename", "a;b.pdf"},
        {"attachment; filename=\"unterminated", "filename", ""},
        {"attachment; filename=\"\"", "filename", ""},
        {"attachment; filename=a.pdf", "name", ""},             // "filename" is not "name"
        {"image/png; xname=a; name=b.png", "name", "b.png"},     // nor is "xname"
        {"image/png;\tname=tab.png", "name", "tab.png"},
        {"name=first.png", "name", "first.png"},
        {"multipart/mixed; boundary=abc def", "boundary", "abc"},
        {"multipart/mixed; boundary=\"abc def\"", "boundary", "abc def"},
        {"multipart/mixed; boundary = spaced", "boundary", ""},  // not recognised
        {"text/plain; name*=utf-8''x.txt", "name", ""},          // RFC 2231 is MimeParam's
        {"text/plain", "charset", ""},
        {"", "charset", ""},
        {"text/plain; charset=", "charset", ""},
    };
    for (const ParamCase& c : cases)
        EXPECT_EQ(HeaderParam(c.value, c.name), c.expected) << c.value << " / " << c.name;
}

TEST(MimeParam, Rfc2231FormsAndFallbacks)
{
    // Every malformed RFC 2231 value falls back to the plain "plain.pdf".
    const std::string plain = "attachment; filename=\"plain.pdf\"; ";
    const ParamCase cases[] = {
        {"attachment; filename*=UTF-8''Rechnung%20M%C3%A4rz.pdf", "filename",
         "Rechnung M\xC3\xA4rz.pdf"},
        {"attachment; FILENAME*=utf-8'de-DE'%41.pdf", "filename", "A.pdf"},
        {"attachment; filename*=\"utf-8''quoted%20anyway.pdf\"", "filename", "quoted anyway.pdf"},
        {"attachment; filename*=''empty-charset.pdf", "filename", "empty-charset.pdf"},
        {"attachment; filename*0*=UTF-8''M%C3; filename*1*=%A4rz; filename*2=\".pdf\"", "filename",
         "M\xC3\xA4rz.pdf"}, // a character split over two segments
        {"attachment; filename*1*=%E9.txt; filename*0*=iso-8859-1''caf", "filename", "caf\xC3\xA9.txt"},
        {"attachment; filename*0=\"long \"; filename*1=\"name.txt\"", "filename", "long name.txt"},
        {"attachment; filename*0*=utf-8''a; filename*1=\"%41\"", "filename", "a%41"}, // plain stays
        {"attachment; filename*0=a; filename*2=c", "filename", "a"}, // a gap ends the value
        {"image/png; name*=windows-1251''%E0.png", "name", "\xD0\xB0.png"},
        {"multipart/mixed; boundary*=us-ascii''%3Dpart", "boundary", "=part"},
        {"text/plain; charset*=us-ascii'en'iso-8859-1", "charset", "iso-8859-1"},
        {"attachment; filename*=utf-8''f.pdf", "name", ""},
        {"attachment; filename=\"plain.pdf\"; filename*=utf-8''ext.pdf", "filename", "ext.pdf"},
        {"attachment; filename*=utf-8''ext.pdf; filename=\"plain.pdf\"", "filename", "ext.pdf"},
    };
    for (const ParamCase& c : cases)
        EXPECT_EQ(MimeParam(c.value, c.name), c.expected) << c.value << " / " << c.name;

    std::string tooMany;
    for (int i = 0; i < 65; ++i)
        tooMany += "filename*" + std::to_string(i) + "=x; ";
    const std::string malformed[] = {
        "filename*=utf-8''bad%zz.pdf",
        "filename*=utf-8''cut%4",
        "filename*=utf-8''%FF.pdf",                          // not UTF-8
        "filename*=x-unknown''a.pdf",                         // charset not known
        "filename*=utf-8'a.pdf",                              // one apostrophe only
        "filename*1*=utf-8''a.pdf",                           // no segment 0
        "filename*0=a; filename*99999999999999999999=b",      // absurd number
        "filename*0=a; filename*01=b",                        // leading zero
        "filename*0=a; filename*0=b",                         // the same segment twice
        "filename*0=a; filename*x=b",
        tooMany,
    };
    for (const std::string& value : malformed)
        EXPECT_EQ(MimeParam(plain + value, "filename"), "plain.pdf") << value;
}

TEST(DisplayName, Table)
{
    const std::pair<const char*, const char*> cases[] = {
        {"Ann Example <ann@example.test>", "Ann Example"},
        {"\"Doe, Jane\" <jane@example.test>", "Doe, Jane"},
        {"  <bare@example.test>  ", "bare@example.test"},
        {"<unclosed@example.test", "unclosed@example.test"},
        {"plain@example.test", "plain@example.test"},
        {"  spaced@example.test  ", "spaced@example.test"},
        {"\"\" <q@example.test>", ""},
        {"\" <x@example.test>", "\""},
        {"", ""},
    };
    for (const auto& [input, expected] : cases)
        EXPECT_EQ(DisplayName(input), expected) << input;
}

// What a decoded header may carry to mislead the reader comes out as U+FFFD:
// NUL and other controls, C1 controls, bidirectional overrides and isolates.
TEST(DisplaySafeText, SpoofingCharactersAreShownAsReplacements)
{
    const std::pair<std::string, std::string> cases[] = {
        {"potus@whitehouse.gov\0(@mailsploit.com"s, "potus@whitehouse.gov\uFFFD(@mailsploit.com"},
        {"Invoice \u202Efdp.exe", "Invoice \uFFFDfdp.exe"},
        {"\u202A\u202B\u202C\u202D \u2066\u2067\u2068\u2069", "\uFFFD\uFFFD\uFFFD\uFFFD \uFFFD\uFFFD\uFFFD\uFFFD"},
        {"a\r\nBcc: x\x1B[31m\x7F", "a\uFFFD\uFFFDBcc: x\uFFFD[31m\uFFFD"},
        {"c1 \u0085\u009F end", "c1 \uFFFD\uFFFD end"},
        {"tab\there", "tab here"},
        {"Grüße \u2029 \u200F\u202F \u2065 \u206A 😀", "Grüße \u2029 \u200F\u202F \u2065 \u206A 😀"},
        {"cut \xE2\x80", "cut \xE2\x80"},
    };
    for (const auto& [input, expected] : cases)
        EXPECT_EQ(DisplaySafeText(input), expected) << input;
}

// Both ways a header reaches the screen, the list summary and the parsed
// message, show the safe text; the raw values stay for addressing.
TEST(DisplaySafeText, SummaryAndMessageFieldsAreSafe)
{
    const std::string block = "From: =?utf-8?b?cG90dXNAd2hpdGVob3VzZS5nb3YAQG1haWxzcGxvaXQuY29t?= <x@y>\r\n"
                              "To: a@b\0.evil\r\nCc: =?utf-8?q?=E2=80=AEc?= <c@d>\r\n"
                              "Subject: Invoice =?utf-8?q?=E2=80=AEfdp=2Eexe?=\r\n\r\nbody"s;
    const HeaderSummary summary = ParseHeaderSummary(block);
    const ParsedMessage message = ParseMessage(block);
    for (const std::string& from : {summary.from, message.from})
        EXPECT_EQ(from, "potus@whitehouse.gov\uFFFD@mailsploit.com <x@y>");
    for (const std::string& subject : {summary.subject, message.subject})
        EXPECT_EQ(subject, "Invoice \uFFFDfdp.exe");
    EXPECT_EQ(message.to, "a@b\uFFFD.evil");
    EXPECT_EQ(message.cc, "\uFFFDc <c@d>");
    EXPECT_EQ(message.rawFrom, "=?utf-8?b?cG90dXNAd2hpdGVob3VzZS5nb3YAQG1haWxzcGxvaXQuY29t?= <x@y>");
    EXPECT_EQ(message.rawTo, "a@b\0.evil"s);
    EXPECT_EQ(message.rawCc, "=?utf-8?q?=E2=80=AEc?= <c@d>");
    EXPECT_EQ(summary.fromAddress, "x@y");
    // The summary's address (Copy Sender) is read from the raw header too.
    EXPECT_EQ(ParseHeaderSummary("From: =?utf-8?b?QWxpY2UsIGV2aWxAYXR0YWNrZXIuZXhhbXBsZSw=?= <alice@good.example>\r\n")
                  .fromAddress,
              "alice@good.example");
}

TEST(ParseHeaderSummary, DecodesFromAndSubjectKeepsIds)
{
    const HeaderSummary summary = ParseHeaderSummary(
        "From: =?utf-8?q?J=C3=BCrgen?= <j@example.test>\r\n"
        "Subject: =?iso-8859-1?q?caf=E9?=\r\n"
        "Date: Mon, 07 Dec 2026 10:00:00 +0100\r\n"
        "Message-ID: <id1@example.test>\r\n"
        "In-Reply-To: <id0@example.test>\r\n"
        "References: <a@x> <id0@example.test>\r\n"
        "\r\n"
        "Subject: body text, not a header\r\n");
    EXPECT_EQ(summary.from, "J\xC3\xBCrgen <j@example.test>");
    EXPECT_EQ(summary.subject, "caf\xC3\xA9");
    EXPECT_EQ(summary.date, 1796634000); // 2026-12-07 09:00:00 UTC
    EXPECT_EQ(summary.messageId, "<id1@example.test>");
    EXPECT_EQ(summary.inReplyTo, "<id0@example.test>");
    EXPECT_EQ(summary.references, "<a@x> <id0@example.test>");
}

} // namespace
} // namespace postern
