// Legacy code pages of received mail to UTF-8 with the system's converter.
#include "platform/Charset.h"

#include <windows.h>

#include <climits>

namespace postern {

namespace {

// GB18030 (54936) is missing in Wine and older systems; its two-byte part
// is GBK (936), which they have.
constexpr uint32_t kGb18030 = 54936;
constexpr uint32_t kGbk = 936;

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

bool Convert(std::string_view bytes, uint32_t codePage, std::string& out)
{
    if (codePage == kGb18030 && !IsValidCodePage(codePage))
        codePage = kGbk;
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

bool SystemCodePageToUtf8(std::string_view bytes, uint32_t codePage, std::string& out)
{
    // The caller's string stays as it was when nothing came out.
    std::string result;
    if (!Convert(bytes, codePage, result))
        return false;
    out = std::move(result);
    return true;
}

} // namespace postern
