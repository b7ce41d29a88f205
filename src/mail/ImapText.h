// Small text helpers shared by the IMAP session, its operations and their
// parsers. IMAP keywords are ASCII and compared without regard to case;
// nothing here depends on the locale.
#pragma once

#include "platform/AsciiText.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace postern::imap {

// Position of needle in text ignoring ASCII case, or npos.
[[nodiscard]] size_t FindNoCase(std::string_view text, std::string_view needle);

// Reads "* NUMBER WORD" as the C format "* %lu %31s" would: false unless
// both fields are there. The word is cut at 31 bytes like the format does;
// a number beyond 32 bits is refused.
[[nodiscard]] bool ScanNumberAndWord(std::string_view line, uint32_t& number, std::string& word);

// The decimal number at text[at...]; false when there is no digit there or
// it does not fit in 32 bits.
[[nodiscard]] bool ReadNumber(std::string_view text, size_t at, uint32_t& number);

} // namespace postern::imap
