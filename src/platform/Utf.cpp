// UTF-8 <-> UTF-16 without the platform: both directions replace ill-formed
// input by U+FFFD, one per maximal ill-formed subpart (the Unicode
// recommendation the Windows converters follow), so nothing after a bad
// byte is lost.
#include "platform/Charset.h"

namespace postern {

namespace {

constexpr char16_t kReplacement = 0xFFFD;

void AppendUtf16(std::u16string& out, char32_t codePoint)
{
    if (codePoint < 0x10000) {
        out.push_back(static_cast<char16_t>(codePoint));
    } else {
        codePoint -= 0x10000;
        out.push_back(static_cast<char16_t>(0xD800 + (codePoint >> 10)));
        out.push_back(static_cast<char16_t>(0xDC00 + (codePoint & 0x3FF)));
    }
}

} // namespace

void AppendUtf8(std::string& out, char32_t codePoint)
{
    if (codePoint < 0x80) {
        out.push_back(static_cast<char>(codePoint));
    } else if (codePoint < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (codePoint >> 6)));
        out.push_back(static_cast<char>(0x80 | (codePoint & 0x3F)));
    } else if (codePoint < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (codePoint >> 12)));
        out.push_back(static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (codePoint & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (codePoint >> 18)));
        out.push_back(static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (codePoint & 0x3F)));
    }
}

std::u16string Utf8ToUtf16(std::string_view utf8)
{
    std::u16string out;
    out.reserve(utf8.size());
    std::size_t i = 0;
    while (i < utf8.size()) {
        const auto lead = static_cast<unsigned char>(utf8[i++]);
        if (lead < 0x80) {
            out.push_back(lead);
            continue;
        }
        int following = 0;
        char32_t codePoint = 0;
        // The second byte's range excludes overlong forms, surrogates and
        // values above U+10FFFF.
        unsigned char low = 0x80;
        unsigned char high = 0xBF;
        if (lead >= 0xC2 && lead <= 0xDF) {
            following = 1;
            codePoint = lead & 0x1F;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            following = 2;
            codePoint = lead & 0x0F;
            if (lead == 0xE0)
                low = 0xA0;
            else if (lead == 0xED)
                high = 0x9F;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            following = 3;
            codePoint = lead & 0x07;
            if (lead == 0xF0)
                low = 0x90;
            else if (lead == 0xF4)
                high = 0x8F;
        } else {
            out.push_back(kReplacement);
            continue;
        }
        bool complete = true;
        for (int k = 0; k < following; ++k) {
            const unsigned char next =
                i < utf8.size() ? static_cast<unsigned char>(utf8[i]) : 0;
            if (i >= utf8.size() || next < low || next > high) {
                complete = false;
                break;
            }
            codePoint = (codePoint << 6) | (next & 0x3F);
            low = 0x80;
            high = 0xBF;
            ++i;
        }
        if (complete)
            AppendUtf16(out, codePoint);
        else
            out.push_back(kReplacement);
    }
    return out;
}

std::string Utf16ToUtf8(std::u16string_view utf16)
{
    std::string out;
    out.reserve(utf16.size());
    for (std::size_t i = 0; i < utf16.size(); ++i) {
        const char16_t unit = utf16[i];
        if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < utf16.size() && utf16[i + 1] >= 0xDC00 &&
            utf16[i + 1] <= 0xDFFF) {
            const char32_t codePoint =
                0x10000 + ((static_cast<char32_t>(unit) - 0xD800) << 10) + (utf16[i + 1] - 0xDC00);
            AppendUtf8(out, codePoint);
            ++i;
        } else if (unit >= 0xD800 && unit <= 0xDFFF) {
            AppendUtf8(out, kReplacement); // a lone surrogate
        } else {
            AppendUtf8(out, unit);
        }
    }
    return out;
}

std::string Utf16BytesToUtf8(std::string_view bytes, bool bigEndian)
{
    if (bytes.size() >= 2) {
        const auto first = static_cast<unsigned char>(bytes[0]);
        const auto second = static_cast<unsigned char>(bytes[1]);
        if ((first == 0xFF && second == 0xFE) || (first == 0xFE && second == 0xFF)) {
            bigEndian = first == 0xFE;
            bytes.remove_prefix(2);
        }
    }
    std::u16string units(bytes.size() / 2, u'\0');
    const std::size_t high = bigEndian ? 0 : 1;
    for (std::size_t i = 0; i < units.size(); ++i) {
        units[i] = static_cast<char16_t>((static_cast<unsigned char>(bytes[2 * i + high]) << 8)
                                         | static_cast<unsigned char>(bytes[2 * i + 1 - high]));
    }
    return Utf16ToUtf8(units);
}

bool LooksBigEndianUtf16(std::string_view bytes)
{
    // A few hundred units settle it; the rest of a long body adds nothing.
    constexpr std::size_t kUnitsLooked = 256;
    int bigEndianVotes = 0;
    int littleEndianVotes = 0;
    for (std::size_t i = 0; i + 1 < bytes.size() && i < 2 * kUnitsLooked; i += 2) {
        const bool firstZero = bytes[i] == '\0';
        const bool secondZero = bytes[i + 1] == '\0';
        if (firstZero && !secondZero)
            ++bigEndianVotes;
        else if (secondZero && !firstZero)
            ++littleEndianVotes;
    }
    return bigEndianVotes >= littleEndianVotes;
}

} // namespace postern
