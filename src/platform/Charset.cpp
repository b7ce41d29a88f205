// The code pages decoded without the system: UTF-8 and UTF-16 (the Windows
// converter takes neither as bytes the same way everywhere) and ISO-2022-JP
// (no code page 5022x under Wine, no CP5022x in glibc's iconv); everything
// else goes to the system's converter.
#include "platform/Charset.h"

namespace postern {

namespace {

constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";

} // namespace

bool CodePageToUtf8(std::string_view bytes, uint32_t codePage, std::string& out)
{
    std::string result;
    switch (codePage) {
    case 65001:
        if (bytes.starts_with(kUtf8Mark))
            bytes.remove_prefix(kUtf8Mark.size());
        result = Utf16ToUtf8(Utf8ToUtf16(bytes));
        break;
    case 1200:
    case 1201:
        result = Utf16BytesToUtf8(bytes, codePage == 1201);
        break;
    case 50220:
    case 50221:
    case 50222:
        result = Iso2022JpToUtf8(bytes);
        break;
    default:
        return SystemCodePageToUtf8(bytes, codePage, out);
    }
    // The caller's string stays as it was when nothing came out.
    if (result.empty())
        return false;
    out = std::move(result);
    return true;
}

} // namespace postern
