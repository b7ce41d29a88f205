// Text conversions: UTF-8 and UTF-16 (portable), and the legacy code pages of
// received mail to UTF-8 (the platform's converter).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace postern {

// Appends one code point (below 0x110000, not a surrogate) as UTF-8.
void AppendUtf8(std::string& out, char32_t codePoint);

// Ill-formed input becomes U+FFFD, as the Windows converters do.
[[nodiscard]] std::u16string Utf8ToUtf16(std::string_view utf8);
[[nodiscard]] std::string Utf16ToUtf8(std::u16string_view utf16);

// Converts bytes in a Windows code page (28591, 1252, 932, 20866, ...) to
// UTF-8. False when the code page is unknown here or nothing came out.
[[nodiscard]] bool CodePageToUtf8(std::string_view bytes, uint32_t codePage, std::string& out);

} // namespace postern
