// ASCII text helpers shared by the protocol parsers, the list model and the
// drafting code. Protocol keywords, header names and media types are ASCII
// and compared without regard to case; nothing here depends on the locale.
#pragma once

#include <string>
#include <string_view>

namespace postern {

// Inline: the parsers and the list grouping call it once per byte.
[[nodiscard]] inline char LowerAscii(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}
[[nodiscard]] std::string ToLowerAscii(std::string_view text);
// The value of a hexadecimal digit in either case, or -1.
[[nodiscard]] int HexDigitValue(char c);
[[nodiscard]] bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b);
[[nodiscard]] bool StartsWithIgnoringAsciiCase(std::string_view text, std::string_view prefix);

// The same over UTF-16 units: names that are shown, or that Windows compares.
[[nodiscard]] bool EqualsIgnoringAsciiCase(std::u16string_view a, std::u16string_view b);
[[nodiscard]] std::u16string ToUpperAscii(std::u16string text);

// Without the bytes up to and including the space at both ends (tabs, line
// ends, other control bytes). Bytes of 0x80 and above belong to UTF-8
// characters and are never trimmed.
[[nodiscard]] std::string_view TrimAsciiSpace(std::string_view text);

} // namespace postern
