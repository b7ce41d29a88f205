// The HTML pages of the reading pane, byte for byte on small inputs.
#include "ui/ConversationPage.h"
#include "ui/DefuseScripts.h"
#include "ui/HtmlEscape.h"
#include "ui/InlineCidImages.h"
#include "ui/Linkify.h"
#include "ui/ListDate.h"
#include "ui/MessagePage.h"
#include "ui/PageSizeLimit.h"

#include "platform/Charset.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace postern {
namespace {

const std::string kPre = "<pre style=\"white-space:pre-wrap;word-wrap:break-word;margin:0;color:#e6e4e1;"
                         "font:14px/1.55 'Segoe UI',sans-serif\">";
const std::string kCard = "<div style=\"background:#fff;color:#111;padding:12px;border-radius:6px\">";

TEST(Pages, EscapeHtml)
{
    const std::pair<const char*, const char*> cases[] = {
        {"", ""},
        {"plain", "plain"},
        {"a < b & c > d", "a &lt; b &amp; c &gt; d"},
        {"\"quotes\" 'stay'", "\"quotes\" 'stay'"},
        {"&amp;", "&amp;amp;"},
        {"<<>>", "&lt;&lt;&gt;&gt;"},
        {"Grüße", "Grüße"},
    };
    for (const auto& [in, out] : cases)
        EXPECT_EQ(EscapeHtml(in), out) << in;
}

TEST(Pages, LinkifyText)
{
    const std::pair<const char*, const char*> cases[] = {
        {"no links here", "no links here"},
        {"See https://example.com/a?x=1&y=2.",
         "See <a href=\"https://example.com/a?x=1&amp;y=2\">https://example.com/a?x=1&amp;y=2</a>."},
        {"HTTPS://EXAMPLE.COM", "HTTPS://EXAMPLE.COM"},
        {"httpd is running", "httpd is running"},
        {"http:/broken", "http:/broken"},
        {"(see http://x.org/a), then", "(see <a href=\"http://x.org/a\">http://x.org/a</a>), then"},
        {"http://a.b;;;..", "<a href=\"http://a.b\">http://a.b</a>;;;.."},
        {"<https://x.org/p>", "&lt;<a href=\"https://x.org/p\">https://x.org/p</a>&gt;"},
        {"<https://x.org/p>;", "&lt;<a href=\"https://x.org/p\">https://x.org/p</a>&gt;;"},
        {"https://x.org/?q=a&", "<a href=\"https://x.org/?q=a&amp;\">https://x.org/?q=a&amp;</a>"},
        {"say \"http://x.org\" now", "say \"<a href=\"http://x.org\">http://x.org</a>\" now"},
        {"httphttp://x", "http<a href=\"http://x\">http://x</a>"},
        {"http://", "<a href=\"http://\">http://</a>"},
        {"a\thttp://t.io\nb", "a\t<a href=\"http://t.io\">http://t.io</a>\nb"},
        {"http://ü.example/ö x", "<a href=\"http://ü.example/ö\">http://ü.example/ö</a> x"},
        {"two http://a.io and https://b.io",
         "two <a href=\"http://a.io\">http://a.io</a> and <a href=\"https://b.io\">https://b.io</a>"},
        {"http", "http"},
        {"", ""},
    };
    for (const auto& [in, out] : cases)
        EXPECT_EQ(LinkifyText(EscapeHtml(in)), out) << in;
}

TEST(Pages, DefuseScripts)
{
    const std::pair<const char*, const char*> cases[] = {
        {"<p>hi</p>", "<p>hi</p>"},
        {"<SCRIPT>alert(1)</SCRIPT>", "&lt;script>alert(1)</SCRIPT>"},
        {"<ScRiPt src=x>", "&lt;script src=x>"},
        {"<script<script", "&lt;script&lt;script"},
        {"<<script>", "<&lt;script>"},
        {"<scripts>", "&lt;scripts>"},
        {"<scrip", "<scrip"},
        {"< script>", "< script>"},
        {"", ""},
        // Handlers, srcdoc and script URLs lose their effect, in any spelling
        // a browser reads as one.
        {"<img src=x onerror=alert(1)>", "<img src=x x-onerror=alert(1)>"},
        {"<IMG SRC=x ONERROR = \"a()\">", "<IMG SRC=x x-ONERROR = \"a()\">"},
        {"<svg/onload=a()>", "<svg/x-onload=a()>"},
        {"<img/src='x'/onerror='a()'>", "<img/src='x'/x-onerror='a()'>"},
        {"<img src=x/onerror=a()>", "<img src=x/onerror=a()>"}, // one unquoted value
        {"<iframe srcdoc=\"&lt;script>a()&lt;/script>\">", "<iframe x-srcdoc=\"&lt;script>a()&lt;/script>\">"},
        {"<a href=\"javascript:a()\">x</a>", "<a x-href=\"javascript:a()\">x</a>"},
        {"<a href=\" JaVa\tScRiPt:a()\">", "<a x-href=\" JaVa\tScRiPt:a()\">"},
        {"<a href=\"&#106;ava&#x73;cript&colon;a()\">", "<a x-href=\"&#106;ava&#x73;cript&colon;a()\">"},
        {"<a href=\"&#0000106ava&Tab;script:a()\">", "<a x-href=\"&#0000106ava&Tab;script:a()\">"},
        {"<form action=vbscript:a><button formaction=javascript:a>", "<form x-action=vbscript:a><button x-formaction=javascript:a>"},
        {"<svg><a xlink:href=\"javascript:a()\">", "<svg><a x-xlink:href=\"javascript:a()\">"},
        // A quoted value hides what looks like a tag, as in the browser.
        {"<a title=\"<img onerror=a()>\" onclick=b>", "<a title=\"<img onerror=a()>\" x-onclick=b>"},
        // Comments and raw text hide tags; after their end, tags count again.
        {"<!-- <a title=\" --><img onerror=a()>\">", "<!-- <a title=\" --><img x-onerror=a()>\">"},
        {"<style>/*<a title=\"*/</style><img onerror=a()>\">", "<style>/*<a title=\"*/</style><img x-onerror=a()>\">"},
        {"<title><b onclick=x></title>", "<title><b onclick=x></title>"},
        {"<svg><![CDATA[x> <a title=\"]]><b onclick=x>\">", "<svg><![CDATA[x> <a title=\"]]><b x-onclick=x>\">"},
        {"<svg><style><b onclick=x></style></svg><style><b onclick=x>", "<svg><style><b x-onclick=x></style></svg><style><b onclick=x>"},
        // Ordinary HTML and text stay.
        {"<p>onload= and javascript:go() are words</p>", "<p>onload= and javascript:go() are words</p>"},
        {"<a href=\"https://x.test/?q=javascript:\" title=\"javascript:\">", "<a href=\"https://x.test/?q=javascript:\" title=\"javascript:\">"},
        {"<a href=\"javascript\">1 < 2 <3", "<a href=\"javascript\">1 < 2 <3"},
        {"<img src=x onerror", "<img src=x x-onerror"},
    };
    for (const auto& [in, out] : cases)
        EXPECT_EQ(DefuseScripts(in), out) << in;
}

TEST(Pages, DefuseScriptsStaysLinear)
{
    // 5 MB of one shape each that would make a careless scanner search again
    // from every tag: unclosed values, comments, raw text, entities.
    std::string hostile;
    for (const char* piece : {"<a href=\"java", "<!--", "<style>", "<a b='", "<x onload=&#"}) {
        hostile.clear();
        while (hostile.size() < 5'000'000)
            hostile += piece;
        EXPECT_GE(DefuseScripts(hostile).size(), hostile.size()) << piece;
    }
}

TEST(Pages, InlineCidImages)
{
    const std::vector<MimePart> parts = {
        {"image/gif", "", "logo.gif", "logo@x", "GIF89a"},
        {"", "", "", "plain@x", "ab"},
        {"image/png", "", "", "", "never"},
        {"image/png\" onload=\"x", "", "", "evil@x", "a"},
    };
    const struct {
        const char* html;
        const char* expected;
    } cases[] = {
        {"<img src=\"cid:logo@x\">", "<img src=\"data:image/gif;base64,R0lGODlh\">"},
        {"<img src='cid:logo@x'>", "<img src='data:image/gif;base64,R0lGODlh'>"},
        {"<img src=cid:logo@x>", "<img src=cid:logo@x>"},
        {"<img src=\"CID:logo@x\">", "<img src=\"CID:logo@x\">"},
        {"<img src=\"cid:logo@x.more\">", "<img src=\"cid:logo@x.more\">"},
        {"<a href=\"cid:logo@x\"><img src=\"cid:logo@x\"></a>",
         "<a href=\"data:image/gif;base64,R0lGODlh\"><img src=\"data:image/gif;base64,R0lGODlh\"></a>"},
        {"<img src=\"cid:plain@x\">", "<img src=\"data:image/png;base64,YWI=\">"},
        {"<img src=\"cid:\">", "<img src=\"cid:\">"},
        {"<img src=\"cid:evil@x\">", "<img src=\"data:application/octet-stream;base64,YQ==\">"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(InlineCidImages(c.html, parts), c.expected) << c.html;
}

TEST(Pages, BodyHtml)
{
    ParsedMessage text;
    text.textBody = "1 < 2 & see https://x.io/a.";
    EXPECT_EQ(BodyHtml(text), kPre + "1 &lt; 2 &amp; see <a href=\"https://x.io/a\">https://x.io/a</a>.</pre>");

    ParsedMessage html;
    html.textBody = "ignored when there is HTML";
    html.htmlBody = "<p>Hi</p><SCRIPT>x()</SCRIPT><img src=\"cid:i1\">";
    html.parts.push_back({"image/jpeg", "", "", "i1", "xyz"});
    EXPECT_EQ(BodyHtml(html), kCard + "<p>Hi</p>&lt;script>x()</SCRIPT><img src=\"data:image/jpeg;base64,eHl6\"></div>");

    EXPECT_EQ(BodyHtml(ParsedMessage{}), kPre + "</pre>");
}

TEST(Pages, MessagePage)
{
    // The head declares UTF-8 and ends where the body begins.
    EXPECT_THAT(kPageHead, testing::StartsWith("<!doctype html><html><head><meta charset='utf-8'>"));
    EXPECT_THAT(kPageHead, testing::EndsWith("</style></head><body>"));
    // The second line against scripts: a policy that runs none, loads no
    // frames or plug-ins and posts no forms; images, styles and fonts load.
    EXPECT_THAT(kPageHead, testing::HasSubstr(
        "<meta charset='utf-8'><meta http-equiv=\"Content-Security-Policy\" content=\"script-src 'none'; "
        "object-src 'none'; frame-src 'none'; form-action 'none'; base-uri 'none'\"><style>body{"));
    EXPECT_EQ(kPageHead.size(), 852u + 145u);

    ParsedMessage m;
    m.textBody = "Grüße 😀";
    const std::string expected =
        std::string(kPageHead) + "<div class='body'>" + kPre + "Grüße 😀</pre></div></body></html>";
    EXPECT_EQ(MessagePageUtf8(m), expected);
    EXPECT_EQ(MessagePage(m), Utf8ToUtf16(expected));
}

TEST(Pages, SizeLimit)
{
    const std::u16string note = u"<p style='color:#d05c5c'>[message truncated by Postern]</p>";
    std::u16string exact(kMaxPageUnits, u'a');
    LimitPageSize(exact);
    EXPECT_EQ(exact.size(), kMaxPageUnits);

    std::u16string large(2'000'000, u'b');
    LimitPageSize(large);
    EXPECT_EQ(large.size(), kMaxPageUnits + note.size());
    EXPECT_EQ(large.substr(kMaxPageUnits), note);
    EXPECT_EQ(large[kMaxPageUnits - 1], u'b');

    // A surrogate pair across the cut goes whole.
    std::u16string emoji(kMaxPageUnits - 1, u'c');
    emoji += u"😀😀";
    LimitPageSize(emoji);
    EXPECT_EQ(emoji.substr(0, kMaxPageUnits - 1), std::u16string(kMaxPageUnits - 1, u'c'));
    EXPECT_EQ(emoji.substr(kMaxPageUnits - 1), note);

    // CJK text is three UTF-8 bytes a unit: the byte cap comes first, and
    // the cut page with its note stays within it.
    std::u16string cjk(1'000'000, u'\u6f22');
    LimitPageSize(cjk);
    ASSERT_TRUE(cjk.ends_with(note));
    EXPECT_LE(Utf16ToUtf8(cjk).size(), kMaxPageBytes);
    EXPECT_GT(Utf16ToUtf8(cjk).size(), kMaxPageBytes - 3);
    EXPECT_EQ(cjk.find(u'\u6f22', cjk.size() - note.size()), std::u16string::npos);

    // A page exactly at the byte cap stays whole; one unit more is cut, and
    // four-byte characters are never split.
    std::u16string full;
    for (std::size_t i = 0; i < kMaxPageBytes / 4; ++i)
        full += u"😀";
    const std::u16string whole = full;
    LimitPageSize(full);
    EXPECT_EQ(full, whole);
    full += u'y';
    LimitPageSize(full);
    const std::u16string kept = full.substr(0, full.size() - note.size());
    EXPECT_EQ(kept.size() % 2, 0u);
    EXPECT_EQ(Utf8ToUtf16(Utf16ToUtf8(kept)), kept);
    EXPECT_LE(Utf16ToUtf8(full).size(), kMaxPageBytes);
    EXPECT_THAT(Utf16ToUtf8(TruncatedPage()), testing::HasSubstr("[message truncated by Postern]"));
}

ParsedMessage Msg(const std::string& id, const std::string& inReplyTo, const std::string& references,
                  int64_t date, const std::string& from)
{
    ParsedMessage m;
    m.messageId = id;
    m.inReplyTo = inReplyTo;
    m.references = references;
    m.date = date;
    m.from = from;
    m.textBody = "body of " + id;
    return m;
}

std::string Section(const ParsedMessage& m, int margin, bool reply, bool open)
{
    std::string s = "<details";
    if (open)
        s += " open";
    if (reply)
        s += " class='reply'";
    s += " style=\"margin-left:" + std::to_string(margin) + "px\"><summary><span class='when'>"
         + Utf16ToUtf8(FormatListDate(m.date)) + "</span> <span class='who'>" + EscapeHtml(DisplayName(m.from))
         + "</span></summary><div class='body'>" + BodyHtml(m) + "</div></details>";
    return s;
}

TEST(Pages, ConversationTree)
{
    // The third answers the first; the second answers the first too but is
    // newer, so it comes last under it and is the one expanded.
    const std::vector<ParsedMessage> three = {
        Msg("<1@x>", "", "", 1'700'000'100, "Anna <anna@x>"),
        Msg("<2@x>", "<1@x>", "", 1'700'000'300, "\"Bo <Boss>\" <bo@x>"),
        Msg("<3@x>", "<1@x>", "", 1'700'000'200, "carl@x"),
    };
    EXPECT_EQ(ConversationPageUtf8(three), std::string(kPageHead) + Section(three[0], 0, false, false)
                                               + Section(three[2], 22, true, false)
                                               + Section(three[1], 22, true, true) + "</body></html>");
    EXPECT_EQ(ConversationPage(three), Utf8ToUtf16(ConversationPageUtf8(three)));
}

// The opening tags of the sections, in page order.
std::vector<std::string> Openings(const std::string& page)
{
    std::vector<std::string> tags;
    std::size_t pos = 0;
    while ((pos = page.find("<details", pos)) != std::string::npos) {
        const std::size_t end = page.find('>', pos);
        tags.push_back(page.substr(pos, end + 1 - pos));
        pos = end;
    }
    return tags;
}

TEST(Pages, ConversationShapes)
{
    const struct {
        const char* name;
        std::vector<ParsedMessage> messages;
        std::vector<std::string> expected;
    } cases[] = {
        {"depth capped at six: ten levels indent 132 px",
         [] {
             std::vector<ParsedMessage> chain;
             for (int i = 0; i <= 10; ++i)
                 chain.push_back(Msg("<" + std::to_string(i) + ">", i == 0 ? "" : "<" + std::to_string(i - 1) + ">",
                                     "", 100 + i, "x@x"));
             return chain;
         }(),
         {"<details style=\"margin-left:0px\">", "<details class='reply' style=\"margin-left:22px\">",
          "<details class='reply' style=\"margin-left:44px\">", "<details class='reply' style=\"margin-left:66px\">",
          "<details class='reply' style=\"margin-left:88px\">", "<details class='reply' style=\"margin-left:110px\">",
          "<details class='reply' style=\"margin-left:132px\">", "<details class='reply' style=\"margin-left:132px\">",
          "<details class='reply' style=\"margin-left:132px\">", "<details class='reply' style=\"margin-left:132px\">",
          "<details open class='reply' style=\"margin-left:132px\">"}},
        {"References from last to first when In-Reply-To names nothing known",
         {Msg("<a>", "", "", 10, "x@x"), Msg("<b>", "<a>", "", 20, "x@x"), Msg("<c>", "<gone>", "<a> <b> <gone2>", 30, "x@x")},
         {"<details style=\"margin-left:0px\">", "<details class='reply' style=\"margin-left:22px\">",
          "<details open class='reply' style=\"margin-left:44px\">"}},
        {"In-Reply-To wins over References",
         {Msg("<a>", "", "", 10, "x@x"), Msg("<b>", "<a>", "", 20, "x@x"), Msg("<c>", "<a>", "<a> <b>", 30, "x@x")},
         {"<details style=\"margin-left:0px\">", "<details class='reply' style=\"margin-left:22px\">",
          "<details open class='reply' style=\"margin-left:22px\">"}},
        {"a reference loop is shown after the tree, not dropped",
         {Msg("<r>", "", "", 5, "x@x"), Msg("<a>", "<b>", "", 10, "x@x"), Msg("<b>", "<a>", "", 20, "x@x")},
         {"<details style=\"margin-left:0px\">", "<details style=\"margin-left:0px\">",
          "<details open class='reply' style=\"margin-left:22px\">"}},
        {"a message citing itself is a root",
         {Msg("<s>", "<s>", "<s>", 10, "x@x")},
         {"<details open style=\"margin-left:0px\">"}},
        {"equal newest dates: the first of them is expanded",
         {Msg("<a>", "", "", 50, "x@x"), Msg("<b>", "", "", 50, "x@x"), Msg("<c>", "", "", 10, "x@x")},
         {"<details style=\"margin-left:0px\">", "<details open style=\"margin-left:0px\">",
          "<details style=\"margin-left:0px\">"}},
        {"no messages", {}, {}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Openings(ConversationPageUtf8(c.messages)), c.expected) << c.name;

    // Dates sort roots: the equal-date case lists <c> first.
    const std::vector<ParsedMessage> roots = {Msg("<a>", "", "", 50, "x@x"), Msg("<b>", "", "", 50, "x@x"),
                                              Msg("<c>", "", "", 10, "x@x")};
    const std::string page = ConversationPageUtf8(roots);
    EXPECT_LT(page.find("body of &lt;c&gt;"), page.find("body of &lt;a&gt;"));
    EXPECT_LT(page.find("body of &lt;a&gt;"), page.find("body of &lt;b&gt;"));
}

} // namespace
} // namespace postern
