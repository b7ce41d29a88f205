// Win32 takes UTF-16 as wchar_t; the portable code hands over char16_t
// (texts of the program) or UTF-8 (data). Both are two bytes on Windows.
#pragma once

#include "platform/Charset.h"

#include <string>
#include <string_view>

namespace postern::shell {

[[nodiscard]] inline std::wstring Wide(std::u16string_view text)
{
    return {text.begin(), text.end()};
}

[[nodiscard]] inline std::wstring WideFromUtf8(std::string_view utf8)
{
    return Wide(Utf8ToUtf16(utf8));
}

} // namespace postern::shell
