// The charsets of received mail, converted to UTF-8 through the platform's
// code-page converter.
#include "mail/MimeParser.h"

#include "platform/Charset.h"

#include <cstdint>

namespace postern {

namespace {

constexpr uint32_t kUtf8CodePage = 65001;
constexpr uint32_t kUtf16LeCodePage = 1200;
constexpr uint32_t kUtf16BeCodePage = 1201;
// "utf-16" without a stated order: the mark, else the text, decides.
constexpr uint32_t kUtf16AnyOrder = 0;
constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";

struct CharsetEntry {
    std::string_view name; // lower case, without '-' and '_'
    uint32_t codePage;
};

// The names mail programs write, for the charsets both the Windows converter
// and iconv know (or that the platform layer decodes itself).
constexpr CharsetEntry kCharsets[] = {
    {"", kUtf8CodePage},       {"utf8", kUtf8CodePage},   {"usascii", kUtf8CodePage},
    {"ascii", kUtf8CodePage},  {"iso88591", 28591},       {"latin1", 28591},
    {"iso88592", 28592},       {"latin2", 28592},         {"iso88593", 28593},
    {"iso88594", 28594},       {"iso88595", 28595},       {"iso88596", 28596},
    {"iso88597", 28597},       {"iso88598", 28598},       {"iso88598i", 28598},
    {"iso88599", 28599},       {"iso885913", 28603},      {"iso885915", 28605},
    {"latin9", 28605},         {"windows1250", 1250},     {"cp1250", 1250},
    {"windows1251", 1251},     {"cp1251", 1251},          {"windows1252", 1252},
    {"cp1252", 1252},          {"windows1253", 1253},     {"cp1253", 1253},
    {"windows1254", 1254},     {"cp1254", 1254},          {"windows1255", 1255},
    {"cp1255", 1255},          {"windows1256", 1256},     {"cp1256", 1256},
    {"windows1257", 1257},     {"cp1257", 1257},          {"windows1258", 1258},
    {"cp1258", 1258},          {"windows874", 874},       {"cp874", 874},
    {"tis620", 874},           {"iso885911", 874},        {"koi8r", 20866},
    {"koi8u", 21866},          {"cp866", 866},            {"ibm866", 866},
    {"shiftjis", 932},         {"sjis", 932},             {"xsjis", 932},
    {"cp932", 932},            {"windows31j", 932},       {"mskanji", 932},
    {"eucjp", 20932},          {"xeucjp", 20932},         {"iso2022jp", 50220},
    {"csiso2022jp", 50220},    {"gb2312", 936},           {"gbk", 936},
    {"cp936", 936},            {"ms936", 936},            {"xgbk", 936},
    {"euccn", 936},            {"gb18030", 54936},        {"big5", 950},
    {"cp950", 950},            {"xxbig5", 950},           {"ksc56011987", 949},
    {"euckr", 949},            {"cp949", 949},            {"utf16", kUtf16AnyOrder},
    {"unicode", kUtf16AnyOrder}, {"utf16le", kUtf16LeCodePage}, {"utf16be", kUtf16BeCodePage},
};

// The table entry of a charset name (trimmed, any case, '-' and '_' ignored),
// or none.
const CharsetEntry* FindCharset(std::string_view charset)
{
    std::size_t begin = 0;
    std::size_t end = charset.size();
    while (begin < end && static_cast<unsigned char>(charset[begin]) <= 0x20)
        ++begin;
    while (end > begin && static_cast<unsigned char>(charset[end - 1]) <= 0x20)
        --end;
    // No name in the table is longer than this; longer names cannot match.
    constexpr std::size_t kLongestName = 16;
    char key[kLongestName];
    std::size_t length = 0;
    for (std::size_t i = begin; i < end; ++i) {
        const char c = charset[i];
        if (c == '-' || c == '_')
            continue;
        if (length == kLongestName)
            return nullptr;
        key[length++] = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    }
    for (const CharsetEntry& entry : kCharsets) {
        if (entry.name == std::string_view(key, length))
            return &entry;
    }
    return nullptr;
}

} // namespace

uint32_t CharsetCodePage(std::string_view charset)
{
    const CharsetEntry* entry = FindCharset(charset);
    // Unknown names (Macintosh charsets, invented ones) pass through as UTF-8.
    if (!entry)
        return kUtf8CodePage;
    return entry->codePage == kUtf16AnyOrder ? kUtf16LeCodePage : entry->codePage;
}

bool IsKnownCharset(std::string_view charset)
{
    return FindCharset(charset) != nullptr;
}

std::string ToUtf8(std::string_view bytes, std::string_view charset)
{
    if (bytes.empty())
        return {};
    const CharsetEntry* entry = FindCharset(charset);
    const uint32_t codePage = entry ? entry->codePage : kUtf8CodePage;
    if (codePage == kUtf8CodePage) {
        // Passed through as it is, but a byte-order mark is no text.
        if (bytes.starts_with(kUtf8Mark))
            bytes.remove_prefix(kUtf8Mark.size());
        return std::string(bytes);
    }
    // UTF-16 gives an empty text for a lone mark, where CodePageToUtf8 gives up.
    if (codePage == kUtf16AnyOrder)
        return Utf16BytesToUtf8(bytes, LooksBigEndianUtf16(bytes));
    if (codePage == kUtf16LeCodePage || codePage == kUtf16BeCodePage)
        return Utf16BytesToUtf8(bytes, codePage == kUtf16BeCodePage);
    std::string converted;
    if (CodePageToUtf8(bytes, codePage, converted))
        return converted;
    return std::string(bytes);
}

} // namespace postern
