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

// UTF-16 as bytes: a byte-order mark (FF FE little endian, FE FF big endian)
// decides over bigEndian and is dropped; an odd last byte is dropped.
[[nodiscard]] std::string Utf16BytesToUtf8(std::string_view bytes, bool bigEndian);
// The byte order of UTF-16 without a mark: the order in which more of the
// first code units have a zero high byte (mail text is mostly ASCII); with no
// evidence either way, big endian, the standard's default.
[[nodiscard]] bool LooksBigEndianUtf16(std::string_view bytes);

// Converts bytes in a Windows code page (28591, 1252, 932, 20866, ...) to
// UTF-8. Some are decoded here rather than by the system: 65001 (UTF-8, a
// leading byte-order mark dropped), 1200 and 1201 (UTF-16 little and big
// endian, as Utf16BytesToUtf8) and 50220..50222 (ISO-2022-JP). False when the
// code page is unknown here or nothing came out.
[[nodiscard]] bool CodePageToUtf8(std::string_view bytes, uint32_t codePage, std::string& out);

// The system's converter behind CodePageToUtf8 (one per backend), for the
// code pages it does not decode itself; same contract.
[[nodiscard]] bool SystemCodePageToUtf8(std::string_view bytes, uint32_t codePage,
                                        std::string& out);

// ISO-2022-JP (and the Windows variants 50220..50222 with half-width
// katakana) to UTF-8. Unknown escape sequences and characters of sets other
// than ASCII, JIS X 0201 and JIS X 0208 become U+FFFD.
[[nodiscard]] std::string Iso2022JpToUtf8(std::string_view bytes);

} // namespace postern
