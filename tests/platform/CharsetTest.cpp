// Text conversions: the portable UTF-8/UTF-16 pair and the platform's
// legacy code page converter, one known sample per code page mail uses.
#include "platform/Charset.h"

#include <gtest/gtest.h>

#include <string>

namespace postern {
namespace {

struct CodePageCase {
    uint32_t codePage;
    std::string bytes;
    std::string utf8;
};

TEST(Charset, CodePagesDecodeKnownSamples)
{
    const CodePageCase cases[] = {
        {28591, "caf\xE9 \xB5", "café µ"},
        {28592, "\xB1\xA3", "ąŁ"},
        {28605, "\xA4 5", "€ 5"},
        {1250, "\x8A\xB9", "Šą"},
        {1251, "\xCF\xF0\xE8\xE2\xE5\xF2", "Привет"},
        {1252, "\x80 \xE9 \x93quoted\x94", "€ é “quoted”"},
        {1254, "\xF0\xFD", "ğı"},
        {20866, "\xF0\xD2\xC9\xD7\xC5\xD4", "Привет"},
        {932, "\x82\xA0\x93\xFA\x96\x7B", "あ日本"},
        {20932, "\xC6\xFC\xCB\xDC\xA4\xA2", "日本あ"},
        {949, "\xC7\xD1\xB1\xDB", "한글"},
        {936, "\xD6\xD0\xCE\xC4", "中文"},
        {950, "\xA4\xA4\xA4\xE5", "中文"},
        // UTF-16LE with a surrogate pair; an odd last byte is ignored.
        {1200, std::string("A\0\x3D\xD8\x00\xDE!", 7), "A😀"},
        {1201, std::string("\xFF\xFE" "A\0", 4), "A"}, // the mark decides
        {54936, "\xD6\xD0", "中"},
        {21866, "\xA4", "є"},
        {65001, "h\xC3\xA9 \xE2\x82\xAC", "hé €"},
    };
    for (const CodePageCase& c : cases) {
        std::string out = "stale";
        ASSERT_TRUE(CodePageToUtf8(c.bytes, c.codePage, out)) << c.codePage;
        EXPECT_EQ(out, c.utf8) << c.codePage;
    }
}

TEST(Charset, UnknownCodePageOrEmptyInputGivesFalse)
{
    std::string out = "kept";
    EXPECT_FALSE(CodePageToUtf8("abc", 12345, out));
    EXPECT_FALSE(CodePageToUtf8("", 1252, out));
    EXPECT_EQ(out, "kept");
}

TEST(Charset, BadBytesDoNotSwallowTheRest)
{
    // How the bad byte itself is shown differs between converters; the
    // text after it must survive.
    const CodePageCase cases[] = {
        {950, "A\x80\xA4\xA4Z", "中Z"},
        {932, "A\x82\xA0\x82", ""},
    };
    std::string out;
    ASSERT_TRUE(CodePageToUtf8(cases[0].bytes, cases[0].codePage, out));
    EXPECT_EQ(out.substr(0, 1), "A");
    EXPECT_EQ(out.substr(out.size() - 4), cases[0].utf8);
    // A cut-off double-byte character at the end.
    ASSERT_TRUE(CodePageToUtf8(cases[1].bytes, cases[1].codePage, out));
    EXPECT_EQ(out.substr(0, 4), "Aあ");
    // UTF-8 is the converter's own: exact replacement.
    ASSERT_TRUE(CodePageToUtf8("a\xFF" "b", 65001, out));
    EXPECT_EQ(out, "a\xEF\xBF\xBD" "b");
}

TEST(Charset, Iso2022JpDecodesEverySetItSwitchesTo)
{
    const struct {
        const char* name;
        std::string bytes;
        std::string utf8;
    } cases[] = {
        {"JIS X 0208", "a\x1B$B%F%9%H\x1B(Bb", "aテストb"},
        {"1978 designation, JIS Roman", "\x1B$@$\"\x1B(Jx", "あx"},
        {"ends without returning to ASCII", "\x1B$B$\"", "あ"},
        {"line end inside a double-byte run", "\x1B$B$\"\r\n$$\x1B(B", "あ\r\nい"},
        {"NEC and IBM extensions", "\x1B$B-!y!\x1B(B", "①纊"},
        {"half-width katakana", "\x1B(I12\x1B(B3", "ｱｲ3"},
        {"katakana by shift out", "\x0E" "12\x0F" "3", "ｱｲ3"},
        {"JIS X 0212 is not read", "\x1B$(D0!\x1B(Bz", "\uFFFDz"},
        {"unknown single-byte set", "\x1B(Zab\x1B(Bc", "\uFFFD\uFFFDc"},
        {"single shift of ISO-2022-JP-2", "\x1BNAb", "\uFFFDAb"},
        {"no final byte", "a\x1B$", "a\uFFFD$"},
        {"lone escape at the end", "a\x1B", "a\uFFFD"},
        {"half a character at the end", "\x1B$B$\"$", "あ\uFFFD"},
        {"eight-bit byte", "a\xA4\xA2", "a\uFFFD\uFFFD"},
    };
    for (const auto& c : cases) {
        std::string out;
        ASSERT_TRUE(CodePageToUtf8(c.bytes, 50220, out)) << c.name;
        EXPECT_EQ(out, c.utf8) << c.name;
        EXPECT_EQ(out.find('\x1B'), std::string::npos) << c.name;
    }
}

TEST(Utf, RoundTripsEveryPlane)
{
    const std::string text = "ASCII é € 日本 😀 \xF4\x8F\xBF\xBF";
    const std::u16string wide = Utf8ToUtf16(text);
    EXPECT_EQ(wide, u"ASCII é € 日本 😀 \U0010FFFF");
    EXPECT_EQ(Utf16ToUtf8(wide), text);
    EXPECT_EQ(Utf8ToUtf16(""), u"");
    EXPECT_EQ(Utf16ToUtf8(u""), "");
    EXPECT_EQ(Utf8ToUtf16(std::string("a\0b", 3)), std::u16string(u"a\0b", 3));
}

TEST(Utf, IllFormedUtf8BecomesReplacementCharacters)
{
    const struct {
        std::string input;
        std::u16string expected;
    } cases[] = {
        {"a\xFF" "b", u"a\uFFFDb"},
        {"\x80", u"\uFFFD"},                         // lone continuation byte
        {"\xC0\xAF", u"\uFFFD\uFFFD"},               // overlong "/"
        {"\xE0\x80\xAF", u"\uFFFD\uFFFD\uFFFD"},     // overlong, three bytes
        {"\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"},     // encoded surrogate
        {"\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"}, // above U+10FFFF
        {"\xE2\x82" "x", u"\uFFFDx"},                // truncated, one mark for the whole prefix
        {"\xF0\x9F\x98", u"\uFFFD"},                 // truncated at the end
        {"\xC3", u"\uFFFD"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Utf8ToUtf16(c.input), c.expected) << c.input.size();
}

TEST(Utf, LoneSurrogatesBecomeReplacementCharacters)
{
    const struct {
        std::u16string input;
        std::string expected;
    } cases[] = {
        {std::u16string(1, u'\xD83D'), "\xEF\xBF\xBD"},
        {std::u16string{u'\xDE00', u'a'}, "\xEF\xBF\xBD" "a"},
        {std::u16string{u'\xD83D', u'a'}, "\xEF\xBF\xBD" "a"},
        {std::u16string{u'\xDE00', u'\xD83D'}, "\xEF\xBF\xBD\xEF\xBF\xBD"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Utf16ToUtf8(c.input), c.expected);
}

} // namespace
} // namespace postern
