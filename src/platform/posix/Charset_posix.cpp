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
    {28591, "ISO-8859-1"},  {28592, "ISO-8859-2"},  {28593, "ISO-8859-3"},  {28594, "ISO-8859-4"},
    {28595, "ISO-8859-5"},  {28596, "ISO-8859-6"},  {28597, "ISO-8859-7"},  {28598, "ISO-8859-8"},
    {28599, "ISO-8859-9"},  {28603, "ISO-8859-13"}, {28605, "ISO-8859-15"}, {1250, "CP1250"},
    {1251, "CP1251"},       {1252, "CP1252"},       {1253, "CP1253"},       {1254, "CP1254"},
    {1255, "CP1255"},       {1256, "CP1256"},       {1257, "CP1257"},       {1258, "CP1258"},
    {874, "CP874"},         {866, "CP866"},         {20866, "KOI8-R"},      {21866, "KOI8-U"},
    {932, "CP932"},         {20932, "EUC-JP"},      {949, "CP949"},         {936, "CP936"},
    {54936, "GB18030"},     {950, "CP950"},
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

bool SystemCodePageToUtf8(std::string_view bytes, uint32_t codePage, std::string& out)
{
    std::string result;
    const char* name = IconvName(codePage);
    if (!name || !ConvertWithIconv(bytes, name, result) || result.empty())
        return false;
    out = std::move(result);
    return true;
}

} // namespace postern
