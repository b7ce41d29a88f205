// The rich text converter: the rules on small inputs, the rich edit
// control's real output (recorded under Wine by tools/rtf-capture), and
// malformed input that must end cleanly.
#include "compose/RtfToHtml.h"

#include "platform/Files.h"
#include "support/FixtureEnv.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace postern {
namespace {

const std::string kNbsp = "\xC2\xA0";

TEST(RtfToHtml, Rules)
{
    const std::pair<std::string, std::string> cases[] = {
        {"", ""},
        {"plain", "plain"},
        {"{\\b bold}", "<b>bold</b>"},
        {"{\\b\\i x}", "<b><i>x</i></b>"},
        {"{\\i\\b x}", "<b><i>x</i></b>"},
        {"a\\b b\\b0 c", "a<b>b</b>c"},
        {"\\b1 on\\b2 still\\b0 off", "<b>on</b><b>still</b>off"},
        {"\\ul x\\ulnone y", "<u>x</u>y"},
        {"\\ul x\\ul0 y", "<u>x</u>y"},
        {"{\\b x\\plain y}", "<b>x</b>y"},
        {"{\\b a{\\i b}c}d", "<b>a</b><b><i>b</i></b><b>c</b>d"},
        {"x\\par y", "x<br>y"},
        {"x\\line y", "x<br>y"},
        {"x\vy", "x<br>y"},
        {"a\\tab b", "a" + kNbsp + kNbsp + kNbsp + kNbsp + "b"},
        {"a\\~b", "a" + kNbsp + "b"},
        {"a\\_b\\-c\\|d", "abcd"},
        {"\\{\\}\\\\", "{}\\"},
        {"<a href=\"x\"> & y", "&lt;a href=\"x\"&gt; &amp; y"},
        {"line\r\nbreaks\rin\nsource", "linebreaksinsource"},
        {"nul\x01\x1f\x7f", "nul\x7f"},
        {"\\'e9\\'80\\'97\\'9f\\'81", "é€—Ÿ\xC2\x81"},
        {"\\'E9\\'eA", "éê"},
        {"\\'zz", ""}, // no hex digits: byte 0, not text
        {"\\u233?", "é"},
        {"\\u233 ?", "é"},
        {"\\u-10179?\\u-8704?", "😀"},
        {"\\u-10179?", "\xEF\xBF\xBD"},          // a lone surrogate is no character
        {"\\u-8704?x", "\xEF\xBF\xBD" "x"},
        {"\\u-10179?\\u65?", "\xEF\xBF\xBD" "A"},
        {"\\u-10179?{x}", "\xEF\xBF\xBD" "x"},
        {"\\u26085?\\u26412?\\u-30050?", "日本語"},
        {"\\uc2\\u233ab c", "é c"},
        {"\\uc0\\u233 x", "éx"},
        {"\\u233\\'e9x", "éx"},                   // an escaped byte is one fallback character
        {"\\u233\\b x", "é<b>x</b>"},             // fallback skipping stops at a control word
        {"\\u233{x}", "éx"},
        {"\\u233\r\n?x", "éx"},
        {"\\u x", "x"},                           // no parameter: nothing
        {"\\u99999999999999999999?", "\xEF\xBF\xBD"},
        {"\\u-99999?", "\xEF\xBF\xBD"},
        {"\\b99999999999999999999 x", "<b>x</b>"},
        {"\\uc99999999 \\u233 abcdefghijklmnopqrstuvwxyz", "éqrstuvwxyz"},
        {"\\uc-5 \\u233 x", "éx"},
        {"{\\*\\foo {nested {deep}} text}after", "after"},
        {"{\\*\\foo \\{ still skipped}after", "after"},
        {"{\\*\\foo \\} still skipped}after", "after"},
        {"{\\fonttbl{\\f0\\fcharset0 Segoe UI;}}Body", "Body"},
        {"{\\colortbl;\\red232\\green230\\blue227;}Body", "Body"},
        {"{\\stylesheet{\\s0 Normal;}}Body", "Body"},
        {"{\\rtf1 {\\info {\\title T}}y}", "y"},
        {"{x\\fonttbl y}", "xy"}, // only a group's first word names a destination
        {"\\bin5 {}\\\\x tail", " tail"},
        {"\\bin99 short", ""},
        {"\\emdash\\endash\\lquote\\rquote\\ldblquote\\rdblquote\\bullet", "—–‘’“”•"},
        {"\\ansicpg1251 \\'cf\\'f0\\'e8", "При"},
        {"\\ansicpg932 \\'82\\'a0", "あ"},
        {"\\ansicpg99999 \\'e9", "é"}, // unknown code page: read as Windows-1252
        {"{\\urtf1 \\'c3\\'a9 caf\xC3\xA9}", "é café"},
        {"\\unknownword42 text", "text"},
        {"\\averyveryveryveryveryveryverylongcontrolword text", "text"},
    };
    for (const auto& [rtf, html] : cases)
        EXPECT_EQ(RtfToHtml(rtf), html) << rtf;
}

TEST(RtfToHtml, MalformedEndsCleanly)
{
    const std::pair<std::string, std::string> cases[] = {
        {"}}}x{{{", "x"},
        {"{\\b x", "<b>x</b>"},
        {"}{\\b x}}y", "<b>x</b>y"},
        {"x\\", "x"},
        {"x\\'", "x"},
        {"x\\'4", "x"},
        {"{\\*", ""},
        {"\\u", ""},
        {"\\u-", ""},
        {"\\u233", "é"},
        {"\\uc", ""},
        {"\\b-", ""},
        {std::string(100000, '{') + "x" + std::string(100000, '}') + "y", "xy"},
        {std::string(100000, '}') + "{\\b x}", "<b>x</b>"},
        {"{\\*" + std::string(50000, '{') + "hidden", ""},
        {std::string(1000, '{') + "\\b " + std::string(1000, '}') + "plain", "plain"},
    };
    for (const auto& [rtf, html] : cases)
        EXPECT_EQ(RtfToHtml(rtf), html) << rtf.substr(0, 40);
}

std::string Fixture(const std::string& name)
{
    const std::filesystem::path path = test::TestSourcePath("compose/rtf-fixtures/" + name);
    std::string bytes;
    std::string error;
    EXPECT_TRUE(ReadWholeFile(path, bytes, error)) << error;
    return bytes;
}

TEST(RtfToHtml, RichEditOutput)
{
    const std::string nb4 = kNbsp + kNbsp + kNbsp + kNbsp;
    const std::string plain =
        "Hello world, plain text with &lt;tags&gt; &amp; \"quotes\" and a {brace} \\ backslash.<br>";
    const std::string formatting = "normal <b>bold</b> <i>italic</i> <u>underline</u> <b><i><u>all three</u></i></b> "
                                   "<b><i>bold italic</i></b> end<br>";
    const std::string breaks = "First paragraph<br>Second paragraph<br>with a line break<br><br>After an empty one"
                               + nb4 + "and" + nb4 + "tabs<br><i>last" + kNbsp + "line</i><br>";
    const std::string tail = ", Привет, 日本語, emoji 😀 and 👍🏽<br>";
    const struct {
        const char* file;
        std::string html;
    } cases[] = {
        {"plain.rtf", plain},
        {"plain.utf8.rtf", plain},
        {"formatting.rtf", formatting},
        {"formatting.utf8.rtf", formatting},
        {"breaks.rtf", breaks},
        {"breaks.utf8.rtf", breaks},
        // Wine's writer turns Greek letters that have a look-alike in
        // Windows-1252 into that letter ("Γε" becomes "Ge") instead of
        // writing \uN; the converter can only show what the RTF says.
        {"international.rtf", "Grüße aus Köln, café €5 — <b>Geιά sου</b>" + tail},
        {"international.utf8.rtf", "Grüße aus Köln, café €5 — <b>Γειά σου</b>" + tail},
    };
    for (const auto& c : cases)
        EXPECT_EQ(RtfToHtml(Fixture(c.file)), c.html) << c.file;
}

} // namespace
} // namespace postern
