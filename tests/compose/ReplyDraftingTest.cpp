// Reply, Reply All and Forward requests built from a parsed message.
#include "compose/ReplyDrafting.h"

#include "mail/AddressList.h"

#include "platform/Charset.h"
#include "ui/ListDate.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace postern {
namespace {

const DraftingAccount kAccount{3, "Work", "me@x.org"};

ParsedMessage Source()
{
    ParsedMessage m;
    m.from = m.rawFrom = "Anna Berg <anna@x.org>";
    m.to = m.rawTo = "ME@X.org, Bo <bo@x.org>";
    m.subject = "Budget";
    m.messageId = "<m1@x.org>";
    m.references = "<r0@x.org>";
    m.date = NowUnixSeconds();
    m.textBody = "line1\r\nline2 < x\r\n";
    return m;
}

std::string U8(const std::u16string& text)
{
    return Utf16ToUtf8(text);
}

TEST(ReplyDrafting, Helpers)
{
    const std::pair<const char*, std::vector<std::string>> lines[] = {
        {"", {}},
        {"a", {"a"}},
        {"a\n", {"a"}},
        {"a\r\n\r\n", {"a", ""}},
        {"\n", {""}},
        {"a\rb\n", {"a\rb"}},
        {"a\n\nb", {"a", "", "b"}},
        {"a\r\r\nb", {"a\r", "b"}},
    };
    for (const auto& [text, expected] : lines)
        EXPECT_EQ(SplitLines(text), expected) << text;

    const std::pair<const char*, const char*> tags[] = {
        {"<p>x</p>", "x"},
        {"a &amp; b", "a &amp; b"},
        {"a < b", "a "},
        {"<<a>>", ">"},
        {"x<br/>y<img src=\"a>b\">z", "xyb\">z"},
        {"", ""},
    };
    for (const auto& [html, expected] : tags)
        EXPECT_EQ(StripTags(html), expected) << html;

    EXPECT_EQ(HtmlEscape("<a href=\"x\">&</a>"), "&lt;a href=\"x\"&gt;&amp;&lt;/a&gt;");
}

TEST(ReplyDrafting, Reply)
{
    const ParsedMessage source = Source();
    const ComposeRequest r = BuildReplyRequest(source, "Projects", 42, kAccount, false);
    const std::string when = U8(FormatListDate(source.date));
    EXPECT_EQ(when.size(), 5u); // today: the time of day
    EXPECT_EQ(r.accountIndex, 3);
    EXPECT_EQ(r.accountLabel, u"Work");
    EXPECT_EQ(r.to, u"Anna Berg <anna@x.org>");
    EXPECT_EQ(r.cc, u"");
    EXPECT_EQ(r.subject, u"Re: Budget");
    EXPECT_EQ(r.body, u"");
    EXPECT_EQ(r.inReplyTo, "<m1@x.org>");
    EXPECT_EQ(r.references, "<r0@x.org> <m1@x.org>");
    EXPECT_EQ(r.answeredUid, 42u);
    EXPECT_EQ(r.answeredMailbox, "Projects");
    EXPECT_EQ(r.quoteText, "On " + when + ", Anna Berg wrote:\r\n> line1\r\n> line2 < x\r\n");
    EXPECT_EQ(r.quoteHtml, "<div style=\"color:#777\">On " + when
                               + ", Anna Berg wrote:</div><blockquote style=\"margin:0 0 0 6px;padding-left:10px;"
                                 "border-left:2px solid #ccc\"><div style=\"white-space:pre-wrap\">line1\r\n"
                                 "line2 &lt; x\r\n</div></blockquote>");
}

TEST(ReplyDrafting, ReplyAllRecipients)
{
    const struct {
        const char* to;
        const char* cc;
        const char16_t* expected;
    } cases[] = {
        {"ME@X.org, Bo <bo@x.org>", "", u"bo@x.org"},
        {"ME@X.org, Bo <bo@x.org>", "\"Doe, J\" <j@y.org>, me@x.org", u"bo@x.org, j@y.org"},
        {"anna@x.org, me@x.org", "", u"anna@x.org"}, // the sender stays when also a recipient
        {"me@x.org", "", u""},
        {"", "", u""},
        {"undisclosed-recipients:;", "", u""},
    };
    for (const auto& c : cases) {
        ParsedMessage source = Source();
        source.rawTo = c.to;
        source.rawCc = c.cc;
        EXPECT_EQ(BuildReplyRequest(source, "INBOX", 1, kAccount, true).cc, c.expected) << c.to << " / " << c.cc;
    }
}

TEST(ReplyDrafting, Subjects)
{
    const struct {
        bool forward;
        const char* subject;
        const char16_t* expected;
    } cases[] = {
        {false, "RE: x", u"RE: x"}, {false, "re:x", u"re:x"},         {false, "Re: x", u"Re: x"},
        {false, "Fwd: x", u"Re: Fwd: x"}, {false, "Reply", u"Re: Reply"}, {false, "", u"Re: "},
        {true, "Fwd: x", u"Fwd: x"}, {true, "FWD:x", u"FWD:x"},         {true, "Re: x", u"Fwd: Re: x"},
        {true, "Fw: x", u"Fwd: Fw: x"}, {true, "Forward", u"Fwd: Forward"}, {true, "", u"Fwd: "},
    };
    for (const auto& c : cases) {
        ParsedMessage source = Source();
        source.subject = c.subject;
        const auto request = c.forward ? BuildForwardRequest(source, kAccount)
                                       : BuildReplyRequest(source, "INBOX", 1, kAccount, false);
        EXPECT_EQ(request.subject, c.expected) << c.subject << (c.forward ? " (forward)" : " (reply)");
    }
}

TEST(ReplyDrafting, HtmlOnlySourceAndMissingDate)
{
    ParsedMessage source = Source();
    source.textBody.clear();
    source.htmlBody = "<p>Hi &amp; bye</p>\r\n<p>Second</p>";
    source.references.clear();
    source.date = 0;
    const ComposeRequest r = BuildReplyRequest(source, "INBOX", 7, kAccount, false);
    EXPECT_EQ(r.references, "<m1@x.org>");
    // No date: "On , …" would read as a fault.
    EXPECT_EQ(r.quoteText, "Anna Berg wrote:\r\n> Hi &amp; bye\r\n> Second\r\n");
    EXPECT_EQ(r.quoteHtml, "<div style=\"color:#777\">Anna Berg wrote:</div><blockquote style=\"margin:0 0 0 6px;"
                           "padding-left:10px;border-left:2px solid #ccc\"><p>Hi &amp; bye</p>\r\n<p>Second</p>"
                           "</blockquote>");
}

TEST(ReplyDrafting, Forward)
{
    ParsedMessage source = Source();
    source.date = 0;
    source.subject = "Re: Plan <draft>";
    const ComposeRequest r = BuildForwardRequest(source, kAccount);
    EXPECT_EQ(r.accountIndex, 3);
    EXPECT_EQ(r.to, u"");
    EXPECT_EQ(r.cc, u"");
    EXPECT_EQ(r.subject, u"Fwd: Re: Plan <draft>");
    EXPECT_EQ(r.inReplyTo, "");
    EXPECT_EQ(r.references, "");
    EXPECT_EQ(r.answeredUid, 0u);
    EXPECT_EQ(r.quoteText, "---------- Forwarded message ----------\r\nFrom: Anna Berg <anna@x.org>\r\nDate: \r\n"
                           "Subject: Re: Plan <draft>\r\nTo: ME@X.org, Bo <bo@x.org>\r\n\r\nline1\r\nline2 < x\r\n");
    EXPECT_EQ(r.quoteHtml, "<div style=\"color:#777\">---------- Forwarded message ----------</div><div>From: "
                           "Anna Berg &lt;anna@x.org&gt;<br>Date: <br>Subject: Re: Plan &lt;draft&gt;<br>To: "
                           "ME@X.org, Bo &lt;bo@x.org&gt;</div><br><div style=\"white-space:pre-wrap\">line1\r\n"
                           "line2 &lt; x\r\n</div>");
}

// Recipients come from the raw headers: what a display name decodes to,
// commas, addresses and line breaks included, never adds one.
TEST(ReplyDrafting, RecipientsComeFromRawHeaders)
{
    const struct {
        const char* headers;
        const char16_t* to;
        const char16_t* cc;
    } cases[] = {
        {"From: =?utf-8?b?QWxpY2UsIGV2aWxAYXR0YWNrZXIuZXhhbXBsZSw=?= <alice@good.example>\r\nTo: me@x.org",
         u"\"Alice, evil@attacker.example,\" <alice@good.example>", u""},
        {"From: =?utf-8?q?x=40evil.test=2C?=\r\nTo: =?utf-8?q?x=40evil.test=2C?= <bo@x.org>, =?utf-8?q?y=40evil.test?=",
         u"", u"bo@x.org"},
        {"From: =?utf-8?q?Evil_=3Ce=40x.org=3E=0D=0ABcc=3A_victim=40y.org?= <real@x.org>\r\n"
         "Cc: bo@x.org (Bo, evil@y.org), \"Doe, J\" <j@y.org>, friends: ann@y.org, ME@x.org;",
         u"\"Evil <e@x.org>\uFFFD\uFFFDBcc: victim@y.org\" <real@x.org>", u"bo@x.org, j@y.org, ann@y.org"},
        {"From: =?iso-8859-1?q?J=FCrgen?= <j@x.org>, \"Doe, J\" <d@x.org>", u"J\u00FCrgen <j@x.org>, \"Doe, J\" <d@x.org>", u""},
    };
    for (const auto& c : cases) {
        ParsedMessage source = ParseMessage(std::string(c.headers) + "\r\nSubject: s\r\n\r\nbody");
        const ComposeRequest r = BuildReplyRequest(source, "INBOX", 1, kAccount, true);
        EXPECT_EQ(r.to, c.to) << c.headers;
        EXPECT_EQ(r.cc, c.cc) << c.headers;
        EXPECT_EQ(BuildReplyRequest(source, "INBOX", 1, kAccount, false).to, c.to);
    }
    // What the compose window sends to is exactly what the reply named.
    ParsedMessage spoof = ParseMessage(std::string(cases[0].headers) + "\r\n\r\n");
    EXPECT_EQ(ExtractAddresses(U8(BuildReplyRequest(spoof, "INBOX", 1, kAccount, false).to)),
              std::vector<std::string>{"alice@good.example"});
}

} // namespace
} // namespace postern
