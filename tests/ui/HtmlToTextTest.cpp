// HTML mail read as text: layout kept as lines, nothing of scripts, styles
// or markup left, entities decoded, links kept with their real targets;
// every HTML message of the real-world corpus, and pages built to be slow.
#include "ui/HtmlToText.h"

#include "mail/MimeParser.h"
#include "platform/Charset.h"
#include "support/FixtureEnv.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace postern {
namespace {

std::string Text(std::string_view html)
{
    return Utf16ToUtf8(HtmlToText(html).text);
}

TEST(HtmlToText, KeepsTheLayoutAsLinesAndDropsWhatIsNotText)
{
    struct Case {
        std::string html, text;
    } const cases[] = {
        {"<p>Hello</p><p>World</p>", "Hello\n\nWorld"},
        {"one<br>two<br/>three", "one\ntwo\nthree"},
        {"<div>a</div><div>b</div>", "a\nb"},
        {"  lots   of\n\t space  ", "lots of space"},
        {"<ul><li>one</li><li>two</li></ul>", "\u2022 one\n\u2022 two"},
        {"<ol><li>first<li>second</ol>", "1. first\n2. second"},
        {"<table><tr><td>a</td><td>b</td></tr><tr><td>c</td></tr></table>", "a  b\nc"},
        {"<pre>  keep\n    this</pre>", "  keep\n    this"},
        {"<head><title>T</title><style>p{color:red}</style></head><p>body</p>", "body"},
        {"<script>document.write('<p>x</p>')</script>shown<SCRIPT type=x>alert(1)</SCRIPT >", "shown"},
        {"<!-- hidden <b>comment</b> -->seen<!DOCTYPE html>", "seen"},
        {"Fish &amp; chips &lt;3 &#233;t&#xE9; &euro;5&nbsp;now &bogus; & more",
         "Fish & chips <3 \u00e9t\u00e9 \u20ac5 now &bogus; & more"},
        {"soft&shy;hyphen &#0; &#x110000; &#xD800;", "softhyphen \ufffd \ufffd \ufffd"},
        {"<img src=x alt=\"Logo\"> a < b > c", "[Logo] a < b > c"},
        {"<div title=\"a > b\">inside</div>", "inside"},
        {"<p>unclosed <b>tags<p>and <script>never ends", "unclosed tags\n\nand"},
        {"<a href=\"x\">", "<x>"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Text(c.html), c.text) << c.html;
}

TEST(HtmlToText, LinksShowWhereTheyLead)
{
    const ReadableText same = HtmlToText("Go to <a href=\"https://example.test/\">https://example.test/</a> now");
    EXPECT_EQ(Utf16ToUtf8(same.text), "Go to https://example.test/ now");
    ASSERT_EQ(same.links.size(), 1u);
    EXPECT_EQ(same.text.substr(same.links[0].start, same.links[0].length), u"https://example.test/");

    // A link whose text names another place shows the real target, which is
    // what a click opens.
    const ReadableText named =
        HtmlToText("<p>Pay at <a href='https://evil.example/pay?a=1&amp;b=2'>your bank \u00fc</a>.</p>");
    EXPECT_EQ(Utf16ToUtf8(named.text), "Pay at your bank \u00fc <https://evil.example/pay?a=1&b=2>.");
    ASSERT_EQ(named.links.size(), 1u);
    EXPECT_EQ(named.links[0].target, "https://evil.example/pay?a=1&b=2");
    EXPECT_EQ(Utf16ToUtf8(named.text.substr(named.links[0].start, named.links[0].length)), named.links[0].target);

    const ReadableText mail = HtmlToText("<a href=\"mailto:bob@example.test\">bob@example.test</a>");
    ASSERT_EQ(mail.links.size(), 1u);
    EXPECT_EQ(mail.links[0].target, "mailto:bob@example.test");
    EXPECT_EQ(mail.text, u"bob@example.test");

    // Offsets count UTF-16 units: an emoji before the link takes two.
    const ReadableText emoji = HtmlToText("\U0001F600 <a href=\"https://x.test/\">https://x.test/</a>");
    ASSERT_EQ(emoji.links.size(), 1u);
    EXPECT_EQ(emoji.links[0].start, 3u);
    EXPECT_TRUE(HtmlToText("<a>no target</a><a href=\"\">empty</a>").links.empty());
}

TEST(HtmlToText, EveryHtmlMessageOfTheCorpusReadsWithoutMarkupOrCode)
{
    const std::filesystem::path corpus = test::TestSourcePath("../../shared/corpus/mime/messages");
    if (!std::filesystem::is_directory(corpus))
        GTEST_SKIP() << "no corpus at " << corpus.string();
    size_t html = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(corpus)) {
        if (!entry.is_regular_file())
            continue;
        std::ifstream file(entry.path(), std::ios::binary);
        const std::string raw((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
        const ParsedMessage message = ParseMessage(raw);
        if (message.htmlBody.empty())
            continue;
        ++html;
        const ReadableText readable = HtmlToText(message.htmlBody);
        const std::string text = Utf16ToUtf8(readable.text);
        for (const char* markup : {"<p>", "<div", "<br", "<script", "</", "<style", "<td", "&amp;", "&nbsp;"})
            EXPECT_EQ(text.find(markup), std::string::npos) << markup << " in " << entry.path().filename();
        for (const TextLink& link : readable.links)
            EXPECT_LE(link.start + link.length, readable.text.size()) << entry.path().filename();
    }
    EXPECT_GT(html, 10u);
}

TEST(HtmlToText, PagesBuiltToBeSlowTakeOnePass)
{
    const size_t size = 5 * 1024 * 1024;
    const std::string pages[] = {
        [&] {
            std::string s;
            while (s.size() < size)
                s += "<a href=\"https://x.test/\">x</a>&amp;&#233;<li>";
            return s;
        }(),
        "<script>" + std::string(size, '<'),
        [&] {
            std::string s = "<style>";
            while (s.size() < size)
                s += "</styl</sty";
            return s;
        }(),
        "<div title=\"" + std::string(size, '>'),
        std::string(size, '&'),
    };
    for (const std::string& page : pages) {
        const ReadableText readable = HtmlToText(page);
        EXPECT_LE(readable.text.size(), page.size() * 2);
    }
}

} // namespace
} // namespace postern
