// Legacy code pages of received mail to UTF-8 through iconv, keyed by the
// Windows code page numbers the mail code uses.
#include "platform/Charset.h"

#include <iconv.h>

#include <cerrno>

namespace postern {

namespace {

struct CodePageName {
    uint32_t codePage;
    const char* iconvName;
};

// The Windows code pages are supersets of the standard charsets they stand
// for (CP932 of Shift_JIS, CP936 of GB2312, ...): use the CP names where
// iconv has them so the extra characters decode the same way.
constexpr CodePageName kCodePages[] = {
    {28591, "ISO-8859-1"}, {28592, "ISO-8859-2"}, {28605, "ISO-8859-15"},
    {1250, "CP1250"},      {1251, "CP1251"},      {1252, "CP1252"},
    {1254, "CP1254"},      {20866, "KOI8-R"},     {932, "CP932"},
    {20932, "EUC-JP"},     {949, "CP949"},        {936, "CP936"},
    {950, "CP950"},
};

constexpr std::string_view kReplacementUtf8 = "\xEF\xBF\xBD";

const char* IconvName(uint32_t codePage)
{
    for (const CodePageName& entry : kCodePages) {
        if (entry.codePage == codePage)
            return entry.iconvName;
    }
    return nullptr;
}

bool ConvertWithIconv(std::string_view bytes, const char* from, std::string& out)
{
    iconv_t converter = iconv_open("UTF-8", from);
    if (converter == reinterpret_cast<iconv_t>(-1))
        return false;
    std::string result;
    char chunk[4096];
    char* in = const_cast<char*>(bytes.data()); // iconv's signature; input is not written
    std::size_t inLeft = bytes.size();
    for (;;) {
        char* outPointer = chunk;
        std::size_t outLeft = sizeof chunk;
        // With the input used up, one more call writes any pending shift state.
        const bool flushing = inLeft == 0;
        const std::size_t status = flushing
                                       ? iconv(converter, nullptr, nullptr, &outPointer, &outLeft)
                                       : iconv(converter, &in, &inLeft, &outPointer, &outLeft);
        const int reason = errno;
        result.append(chunk, sizeof chunk - outLeft);
        if (status != static_cast<std::size_t>(-1)) {
            if (flushing)
                break;
            continue;
        }
        if (reason == E2BIG)
            continue;
        if (flushing)
            break;
        // A byte that is no character here, or a sequence cut off at the
        // end: mark the spot and go on with the next byte.
        result += kReplacementUtf8;
        if (reason != EILSEQ)
            break;
        ++in;
        --inLeft;
    }
    iconv_close(converter);
    out = std::move(result);
    return true;
}

} // namespace

bool CodePageToUtf8(std::string_view bytes, uint32_t codePage, std::string& out)
{
    std::string result;
    if (codePage == 65001) {
        result = Utf16ToUtf8(Utf8ToUtf16(bytes));
    } else if (codePage == 1200) {
        std::u16string units;
        units.reserve(bytes.size() / 2);
        for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) // an odd last byte is ignored
            units.push_back(static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                                  (static_cast<unsigned char>(bytes[i + 1]) << 8)));
        result = Utf16ToUtf8(units);
    } else {
        const char* name = IconvName(codePage);
        if (!name || !ConvertWithIconv(bytes, name, result))
            return false;
    }
    if (result.empty())
        return false;
    out = std::move(result);
    return true;
}

} // namespace postern
