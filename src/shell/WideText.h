// Win32 takes UTF-16 as wchar_t; the portable code hands over char16_t
// (texts of the program) or UTF-8 (data). Both are two bytes on Windows.
#pragma once

#include "platform/Charset.h"

#include <windows.h>

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

// A window's text (a control's content), however long.
[[nodiscard]] inline std::u16string WindowText(HWND window)
{
    std::wstring text(static_cast<size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(static_cast<size_t>(GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
    return {text.begin(), text.end()};
}

} // namespace postern::shell
