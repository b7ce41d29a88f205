#include "mail/ImapText.h"

namespace postern::imap {

size_t FindNoCase(std::string_view text, std::string_view needle)
{
    if (needle.size() > text.size())
        return std::string_view::npos;
    for (size_t i = 0; i + needle.size() <= text.size(); ++i) {
        if (StartsWithIgnoringAsciiCase(text.substr(i), needle))
            return i;
    }
    return std::string_view::npos;
}

bool ReadNumber(std::string_view text, size_t at, uint32_t& number)
{
    uint64_t value = 0;
    size_t i = at;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
        value = value * 10 + static_cast<uint64_t>(text[i] - '0');
        if (value > 0xFFFFFFFFu)
            return false;
        ++i;
    }
    if (i == at)
        return false;
    number = static_cast<uint32_t>(value);
    return true;
}

bool ScanNumberAndWord(std::string_view line, uint32_t& number, std::string& word)
{
    auto isSpace = [](char c) {
        return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
    };
    if (line.size() < 2 || line[0] != '*')
        return false;
    size_t i = 1;
    // The format's blank matches any run of white space, even none.
    while (i < line.size() && isSpace(line[i]))
        ++i;
    if (!ReadNumber(line, i, number))
        return false;
    while (i < line.size() && line[i] >= '0' && line[i] <= '9')
        ++i;
    while (i < line.size() && isSpace(line[i]))
        ++i;
    const size_t start = i;
    while (i < line.size() && !isSpace(line[i]) && i - start < 31)
        ++i;
    if (i == start)
        return false;
    word.assign(line.substr(start, i - start));
    return true;
}

} // namespace postern::imap
