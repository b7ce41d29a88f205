// Legacy code pages of received mail to UTF-8 with the system's converter.
#include "platform/Charset.h"

#include <windows.h>

#include <climits>

namespace postern {

namespace {

// UTF-16LE is no code page MultiByteToWideChar accepts.
constexpr uint32_t kUtf16LittleEndian = 1200;

bool WideToUtf8(const std::wstring& wide, std::string& out)
{
    if (wide.empty() || wide.size() > static_cast<std::size_t>(INT_MAX))
        return false;
    const int wideLength = static_cast<int>(wide.size());
    const int length =
        WideCharToMultiByte(CP_UTF8, 0, wide.data(), wideLength, nullptr, 0, nullptr, nullptr);
    if (length <= 0)
        return false;
    out.assign(static_cast<std::size_t>(length), '\0');
    if (WideCharToMultiByte(CP_UTF8, 0, wide.data(), wideLength, out.data(), length, nullptr,
                            nullptr) <= 0) {
        out.clear();
        return false;
    }
    return true;
}

// UTF-8 (65001) takes the general path too: the system converter turns
// ill-formed sequences into U+FFFD, so what comes out is always UTF-8.
bool Convert(std::string_view bytes, uint32_t codePage, std::string& out)
{
    if (codePage == kUtf16LittleEndian) {
        // A trailing odd byte is half a code unit: dropped.
        std::wstring units(bytes.size() / 2, L'\0');
        for (std::size_t i = 0; i < units.size(); ++i)
            units[i] = static_cast<wchar_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                            static_cast<unsigned char>(bytes[2 * i + 1]) << 8);
        return WideToUtf8(units, out);
    }
    if (bytes.empty() || bytes.size() > static_cast<std::size_t>(INT_MAX) ||
        !IsValidCodePage(codePage))
        return false;
    const int length = static_cast<int>(bytes.size());
    const int wideLength = MultiByteToWideChar(codePage, 0, bytes.data(), length, nullptr, 0);
    if (wideLength <= 0)
        return false;
    std::wstring wide(static_cast<std::size_t>(wideLength), L'\0');
    if (MultiByteToWideChar(codePage, 0, bytes.data(), length, wide.data(), wideLength) <= 0)
        return false;
    return WideToUtf8(wide, out);
}

} // namespace

bool CodePageToUtf8(std::string_view bytes, uint32_t codePage, std::string& out)
{
    // The caller's string stays as it was when nothing came out.
    std::string result;
    if (!Convert(bytes, codePage, result))
        return false;
    out = std::move(result);
    return true;
}

} // namespace postern
