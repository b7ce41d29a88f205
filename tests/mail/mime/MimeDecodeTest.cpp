// Encoded words, transfer decoding and charset conversion.
#include "mail/MimeParser.h"

#include <gtest/gtest.h>

#include <string>

namespace postern {
namespace {

struct TextCase {
    const char* name;
    std::string input;
    std::string expected;
};

TEST(DecodeEncodedWords, Table)
{
    const TextCase cases[] = {
        {"plain text", "Hello world", "Hello world"},
        {"B word", "=?utf-8?B?SGVsbG8=?=", "Hello"},
        {"lower-case b and q", "=?utf-8?b?SGk=?= =?utf-8?q?there?=", "Hithere"},
        {"Q underscore is a space", "=?utf-8?Q?a_b?=", "a b"},
        {"Q hex escapes", "=?utf-8?Q?caf=C3=A9?=", "caf\xC3\xA9"},
        {"adjacent words join", "=?utf-8?Q?a?= =?utf-8?Q?b?=", "ab"},
        {"folded words join", "=?utf-8?Q?a?=\r\n\t =?utf-8?Q?b?=", "ab"},
        {"text between words stays", "=?utf-8?Q?a?= and =?utf-8?Q?b?=", "a and b"},
        {"space before the first word stays", "Re: =?utf-8?Q?x?=", "Re: x"},
        {"space after the last word stays", "=?utf-8?Q?x?= tail", "x tail"},
        {"latin-1 to UTF-8", "=?iso-8859-1?Q?=E9t=E9?=", "\xC3\xA9t\xC3\xA9"},
        {"latin-1 upper case name", "=?ISO-8859-1?B?6Q==?=", "\xC3\xA9"},
        {"RFC 2231 language suffix", "=?utf-8*en?Q?hi?=", "hi"},
        {"unknown encoding letter keeps payload", "=?utf-8?X?raw?=", "raw"},
        {"unterminated word stays", "ok =?utf-8?Q?open", "ok =?utf-8?Q?open"},
        {"missing encoding stays", "a =?utf-8", "a =?utf-8"},
        {"rest after a good word and a broken one", "=?utf-8?Q?a?= =?bad",
         "a =?bad"},
        {"empty payload", "=?utf-8?Q?" "?=x", "x"},
        {"invalid Base64 gives nothing", "[=?utf-8?B?@@@?=]", "[]"},
        {"unknown charset passes bytes through", "=?x-mac-roman?Q?=41?=", "A"},
        {"iso-2022-jp", "=?ISO-2022-JP?B?GyRCJUYlOSVIGyhC?=", "テスト"},
        // A word may end in JIS X 0208; the next one starts in ASCII again.
        {"iso-2022-jp words are separate", "=?iso-2022-jp?B?GyRCJUYlOSVI?= =?iso-2022-jp?Q?x?=",
         "テストx"},
        {"encoded CR LF survives decoding", "=?utf-8?q?x=0D=0ABcc:_v@x?=", "x\r\nBcc: v@x"},
        {"empty", "", ""},
    };
    for (const TextCase& c : cases)
        EXPECT_EQ(DecodeEncodedWords(c.input), c.expected) << c.name;
}

struct QpCase {
    const char* name;
    std::string input;
    bool headerMode;
    std::string expected;
};

TEST(DecodeQuotedPrintable, Table)
{
    const QpCase cases[] = {
        {"soft break CR LF", "join=\r\ned", false, "joined"},
        {"soft break LF", "join=\ned", false, "joined"},
        {"hex upper", "=C3=A9", false, "\xC3\xA9"},
        {"hex lower", "=c3=a9", false, "\xC3\xA9"},
        {"equals at end stays", "a=", false, "a="},
        {"equals one char before end stays", "a=4", false, "a=4"},
        {"equals CR at end stays", "a=\r", false, "a=\r"},
        {"not hex stays", "=ZZ=4G", false, "=ZZ=4G"},
        {"underscore in body", "a_b", false, "a_b"},
        {"underscore in header", "a_b", true, "a b"},
        {"hard line breaks kept", "a\r\nb", false, "a\r\nb"},
        {"NUL byte", "=00", false, std::string(1, '\0')},
        {"trailing white space kept", "a  \r\n", false, "a  \r\n"},
        {"empty", "", false, ""},
    };
    for (const QpCase& c : cases)
        EXPECT_EQ(DecodeQuotedPrintable(c.input, c.headerMode), c.expected) << c.name;
}

TEST(DecodeTransfer, Table)
{
    const struct {
        const char* name;
        std::string body;
        const char* encoding;
        std::string expected;
    } cases[] = {
        {"base64", "SGVsbG8sIHdvcmxkIQ==", "base64", "Hello, world!"},
        {"base64 with line breaks and trailing spaces", "SGVsbG8s  \r\nIHdvcmxk\t\r\nIQ==  \r\n",
         "base64", "Hello, world!"},
        {"base64 bare LF", "SGVs\nbG8=\n", "base64", "Hello"},
        {"base64 without padding", "SGVsbG8", "base64", "Hello"},
        {"base64 one leftover character dropped", "SGVsbA", "base64", "Hell"},
        {"base64 stray bytes ignored", "SG\xE2\x80\x8BVs*bG8=", "base64", "Hello"},
        {"base64 data after the padding ignored", "SGk=\r\nGARBAGE", "base64", "Hi"},
        {"base64 lone padding ignored", "=SGk=", "base64", "Hi"},
        {"base64 empty", "", "base64", ""},
        {"quoted-printable", "a=3Db=\r\nc", "quoted-printable", "a=bc"},
        {"7bit as is", "a=3D", "7bit", "a=3D"},
        {"8bit as is", "\xE9", "8bit", "\xE9"},
        {"binary as is", std::string("\0\1", 2), "binary", std::string("\0\1", 2)},
        {"unknown as is", "x-uuencode stuff", "x-uuencode", "x-uuencode stuff"},
        {"missing as is", "text", "", "text"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(DecodeTransfer(c.body, c.encoding), c.expected) << c.name;
}

TEST(ToUtf8, Table)
{
    const struct {
        const char* name;
        std::string bytes;
        const char* charset;
        std::string expected;
    } cases[] = {
        {"utf-8 unchanged", "caf\xC3\xA9", "utf-8", "caf\xC3\xA9"},
        {"invalid utf-8 passed on unchanged", "\xFF\xFE", "utf-8", "\xFF\xFE"},
        {"no charset is utf-8", "\xC3\xA9", "", "\xC3\xA9"},
        {"us-ascii passes bytes", "\xE9", "us-ascii", "\xE9"},
        {"name trimmed and lower-cased", "\xE9", "  ISO-8859-1 ", "\xC3\xA9"},
        {"latin1 alias", "\xE9", "latin1", "\xC3\xA9"},
        {"iso-8859-15 euro", "\xA4", "iso-8859-15", "\xE2\x82\xAC"},
        {"iso-8859-2", "\xB1", "iso-8859-2", "\xC4\x85"},
        {"windows-1252 euro", "\x80", "windows-1252", "\xE2\x82\xAC"},
        {"cp1252 alias", "\x80", "cp1252", "\xE2\x82\xAC"},
        {"windows-1250", "\x9A", "windows-1250", "\xC5\xA1"},
        {"windows-1251", "\xC0", "windows-1251", "\xD0\x90"},
        {"windows-1254", "\xFD", "windows-1254", "\xC4\xB1"},
        {"koi8-r", "\xC1", "koi8-r", "\xD0\xB0"},
        {"shift_jis", "\x82\xA0", "shift_jis", "\xE3\x81\x82"},
        {"sjis alias", "\x82\xA0", "sjis", "\xE3\x81\x82"},
        {"euc-jp", "\xA4\xA2", "euc-jp", "\xE3\x81\x82"},
        {"euc-kr", "\xB0\xA1", "euc-kr", "\xEA\xB0\x80"},
        {"gb2312", "\xB0\xA1", "gb2312", "\xE5\x95\x8A"},
        {"gbk", "\xB0\xA1", "gbk", "\xE5\x95\x8A"},
        {"big5", "\xA4\x40", "big5", "\xE4\xB8\x80"},
        {"utf-16le surrogate pair", std::string("\x3D\xD8\x00\xDE", 4), "utf-16le",
         "\xF0\x9F\x98\x80"},
        {"utf-16 odd byte ignored", std::string("a\0b", 3), "utf-16", "a"},
        {"unknown charset passes through", "\xE9t\xE9", "x-mac-roman", "\xE9t\xE9"},
        {"empty", "", "iso-8859-1", ""},
        {"utf-8 mark dropped", "\xEF\xBB\xBFhi", "utf-8", "hi"},
        {"utf-8 mark dropped when unlabelled", "\xEF\xBB\xBFhi", "", "hi"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ToUtf8(c.bytes, c.charset), c.expected) << c.name;
}

// Every further charset name mail uses: the same on every platform converter.
TEST(ToUtf8, CharsetsBeyondLatin1)
{
    const struct {
        const char* charset;
        std::string bytes;
        std::string expected;
    } cases[] = {
        {"iso-8859-3", "\xA1\xBB", "Ħğ"},
        {"iso-8859-4", "\xA1\xE0", "Ąā"},
        {"ISO8859-5", "\xBF\xE0\xD8", "При"},
        {"iso-8859-6", "\xC7\xE4", "ال"},
        {"iso-8859-7", "\xE1\xE2", "αβ"},
        {"iso-8859-8-i", "\xF9\xEC", "של"},
        {"iso_8859-9", "\xFD\xF0", "ığ"},
        {"iso-8859-13", "\xE0\xF8", "ąų"},
        {"latin9", "\xA4", "€"},
        {"windows-1253", "\xE1\xA2", "αΆ"},
        {"windows-1255", "\xF9\xA4", "ש₪"},
        {"windows-1256", "\xC7\x81", "اپ"},
        {"windows-1257", "\xE0\xF8", "ąų"},
        {"windows-1258", "\xE0\xD5\x80", "àƠ€"},
        {"windows-874", "\xA1\xD2\x80", "กา€"},
        {"tis-620", "\xA1\xD2", "กา"},
        {"koi8-u", "\xA4\xB6\xAD", "єІґ"},
        {"ibm866", "\x8F\xE0\xA8", "При"},
        {"cp866", "\xF0", "Ё"},
        {"x-sjis", "\x87\x40\x81\x60", "①～"}, // an NEC extension
        {"windows-31j", "\x82\xA0", "あ"},
        {"gb18030", "\xD6\xD0", "中"},
        {"cp936", "\x80", "€"},
        {"x-gbk", "\xB0\xA1", "啊"},
        {"ks_c_5601-1987", "\xC7\xD1\x81\x41", "한갂"}, // a UHC extension
        {"cp950", "\xA4\xA4", "中"},
        {"x-x-big5", "\xA4\x40", "一"},
        {"iso-2022-jp", "\x1B$B$\"\x1B(B!", "あ!"},
        // A byte-order mark decides over the label and is dropped.
        {"utf-16be", std::string("\0h\0\xE9", 4), "hé"},
        {"utf-16", std::string("\xFF\xFEh\0", 4), "h"},
        {"utf-16", std::string("\xFE\xFF\0h", 4), "h"},
        {"utf-16le", std::string("\xFE\xFF\0h", 4), "h"},
        {"utf-16be", std::string("\xFF\xFEh\0", 4), "h"},
        {"utf-16", "\xFF\xFE", ""},
        // Without a mark, ASCII's zero bytes tell the order; else big endian.
        {"utf-16", std::string("h\0\xE9\0", 4), "hé"},
        {"unicode", std::string("\0h\0\xE9", 4), "hé"},
        {"utf-16", "\x4E\x2D", "中"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ToUtf8(c.bytes, c.charset), c.expected) << c.charset;
}

} // namespace
} // namespace postern
