// The charsets of received mail, converted to UTF-8 through the platform's
// code-page converter.
#include "mail/MimeParser.h"

#include "platform/Charset.h"

#include <cstdint>

namespace postern {

namespace {

constexpr uint32_t kUtf8CodePage = 65001;
constexpr uint32_t kUtf16LeCodePage = 1200;

struct CharsetEntry {
    std::string_view name;
    uint32_t codePage;
};

constexpr CharsetEntry kCharsets[] = {
    {"", kUtf8CodePage},          {"utf-8", kUtf8CodePage},     {"utf8", kUtf8CodePage},
    {"us-ascii", kUtf8CodePage},  {"ascii", kUtf8CodePage},     {"iso-8859-1", 28591},
    {"latin1", 28591},            {"iso-8859-2", 28592},        {"iso-8859-15", 28605},
    {"windows-1250", 1250},       {"windows-1251", 1251},       {"windows-1252", 1252},
    {"cp1252", 1252},             {"windows-1254", 1254},       {"koi8-r", 20866},
    {"shift_jis", 932},           {"shift-jis", 932},           {"sjis", 932},
    {"euc-jp", 20932},            {"euc-kr", 949},              {"gb2312", 936},
    {"gbk", 936},                 {"big5", 950},                {"utf-16", kUtf16LeCodePage},
    {"utf-16le", kUtf16LeCodePage},
};

// The table entry of a charset name (trimmed, any case), or none.
const CharsetEntry* FindCharset(std::string_view charset)
{
    std::size_t begin = 0;
    std::size_t end = charset.size();
    while (begin < end && static_cast<unsigned char>(charset[begin]) <= 0x20)
        ++begin;
    while (end > begin && static_cast<unsigned char>(charset[end - 1]) <= 0x20)
        --end;
    const std::string_view trimmed = charset.substr(begin, end - begin);
    // No charset name in the table is longer than this; longer names cannot match.
    constexpr std::size_t kLongestName = 16;
    if (trimmed.size() > kLongestName)
        return nullptr;
    char lower[kLongestName];
    for (std::size_t i = 0; i < trimmed.size(); ++i) {
        const char c = trimmed[i];
        lower[i] = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    }
    const std::string_view key(lower, trimmed.size());
    for (const CharsetEntry& entry : kCharsets) {
        if (entry.name == key)
            return &entry;
    }
    return nullptr;
}

} // namespace

uint32_t CharsetCodePage(std::string_view charset)
{
    const CharsetEntry* entry = FindCharset(charset);
    // Unknown names (Macintosh charsets, invented ones) pass through as UTF-8.
    return entry ? entry->codePage : kUtf8CodePage;
}

bool IsKnownCharset(std::string_view charset)
{
    return FindCharset(charset) != nullptr;
}

std::string ToUtf8(std::string_view bytes, std::string_view charset)
{
    if (bytes.empty())
        return {};
    const uint32_t codePage = CharsetCodePage(charset);
    if (codePage == kUtf8CodePage)
        return std::string(bytes);
    if (codePage == kUtf16LeCodePage) {
        std::u16string units(bytes.size() / 2, u'\0');
        for (std::size_t i = 0; i < units.size(); ++i) {
            units[i] = static_cast<char16_t>(static_cast<unsigned char>(bytes[2 * i])
                                             | (static_cast<unsigned char>(bytes[2 * i + 1]) << 8));
        }
        return Utf16ToUtf8(units);
    }
    std::string converted;
    if (CodePageToUtf8(bytes, codePage, converted) && !converted.empty())
        return converted;
    return std::string(bytes);
}

} // namespace postern
