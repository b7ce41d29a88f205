// Win32 APIs take UTF-16 as wchar_t, the core speaks UTF-8: the two adapters
// every Win32 file of the platform layer needs at that boundary. They sit on
// the portable converters so that ill-formed input is treated the same way on
// both backends.
#pragma once

#include "platform/Charset.h"

#include <filesystem>
#include <string>
#include <string_view>

namespace postern {

[[nodiscard]] inline std::wstring ToWide(std::string_view utf8)
{
    const std::u16string utf16 = Utf8ToUtf16(utf8);
    return std::wstring(utf16.begin(), utf16.end());
}

[[nodiscard]] inline std::string FromWide(std::wstring_view wide)
{
    return Utf16ToUtf8(std::u16string(wide.begin(), wide.end()));
}

[[nodiscard]] inline std::string PathToUtf8(const std::filesystem::path& path)
{
    return FromWide(path.native());
}

} // namespace postern
