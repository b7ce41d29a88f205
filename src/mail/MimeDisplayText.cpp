// Header text made safe to show: what a decoded header may carry that
// changes what the reader sees without being seen itself.
#include "mail/MimeParser.h"

namespace postern {

namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD"; // U+FFFD

} // namespace

std::string DisplaySafeText(std::string_view utf8)
{
    std::string out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const auto b = static_cast<unsigned char>(utf8[i]);
        if (b == '\t') {
            out.push_back(' ');
        } else if (b < 0x20 || b == 0x7F) {
            // NUL cuts the text short in C-string consumers and in many
            // address parsers ("potus@whitehouse.gov\0@evil"); a line break
            // fakes a second header line.
            out.append(kReplacement);
        } else if (b == 0xC2 && i + 1 < utf8.size()
                   && static_cast<unsigned char>(utf8[i + 1]) >= 0x80
                   && static_cast<unsigned char>(utf8[i + 1]) <= 0x9F) {
            out.append(kReplacement); // C1 controls, U+0080..U+009F
            ++i;
        } else if (b == 0xE2 && i + 2 < utf8.size()
                   && ((utf8[i + 1] == '\x80' && static_cast<unsigned char>(utf8[i + 2]) >= 0xAA
                        && static_cast<unsigned char>(utf8[i + 2]) <= 0xAE)
                       || (utf8[i + 1] == '\x81' && static_cast<unsigned char>(utf8[i + 2]) >= 0xA6
                           && static_cast<unsigned char>(utf8[i + 2]) <= 0xA9))) {
            // Bidirectional embeddings, overrides and isolates
            // (U+202A..U+202E, U+2066..U+2069) turn "Invoice \u202Efdp.exe"
            // into what reads as a PDF; the reader sees that one was there.
            out.append(kReplacement);
            i += 2;
        } else {
            out.push_back(static_cast<char>(b));
        }
    }
    return out;
}

std::string DecodeForDisplay(std::string_view value)
{
    return DisplaySafeText(DecodeEncodedWords(value));
}

} // namespace postern
