#include "mail/ModifiedUtf7.h"

#include "platform/Charset.h"

#include <cstdint>

namespace postern {

namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+,";

int SextetOf(char c)
{
    if (c >= 'A' && c <= 'Z')
        return c - 'A';
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 26;
    if (c >= '0' && c <= '9')
        return c - '0' + 52;
    if (c == '+')
        return 62;
    if (c == ',')
        return 63;
    return -1;
}

bool IsPrintable(unsigned char c)
{
    return c >= 0x20 && c <= 0x7e;
}

std::string At(size_t position)
{
    return " at byte " + std::to_string(position);
}

// Appends the UTF-16 units of a Base64 run; false when it is malformed.
bool DecodeRun(std::string_view run, size_t start, std::u16string& out, std::string& error)
{
    uint32_t bits = 0;
    int count = 0;
    for (size_t i = 0; i < run.size(); ++i) {
        const int sextet = SextetOf(run[i]);
        if (sextet < 0) {
            error = "invalid character in modified UTF-7" + At(start + i);
            return false;
        }
        bits = (bits << 6) | static_cast<uint32_t>(sextet);
        count += 6;
        if (count >= 16) {
            count -= 16;
            out.push_back(static_cast<char16_t>((bits >> count) & 0xFFFF));
            bits &= (1u << count) - 1;
        }
    }
    // What is left over must be padding: fewer than six zero bits.
    if (count >= 6 || bits != 0) {
        error = "incomplete modified UTF-7 sequence" + At(start);
        return false;
    }
    return true;
}

bool SurrogatesPaired(std::u16string_view text)
{
    for (size_t i = 0; i < text.size(); ++i) {
        const char16_t unit = text[i];
        if (unit >= 0xD800 && unit <= 0xDBFF) {
            if (i + 1 >= text.size() || text[i + 1] < 0xDC00 || text[i + 1] > 0xDFFF)
                return false;
            ++i;
        } else if (unit >= 0xDC00 && unit <= 0xDFFF) {
            return false;
        }
    }
    return true;
}

// The next code point of UTF-8 text; false on ill-formed input.
bool NextCodePoint(std::string_view text, size_t& at, uint32_t& cp)
{
    const unsigned char lead = static_cast<unsigned char>(text[at]);
    int extra = 0;
    uint32_t min = 0;
    if (lead < 0x80) {
        cp = lead;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
        cp = lead & 0x1F;
        extra = 1;
        min = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        cp = lead & 0x0F;
        extra = 2;
        min = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        cp = lead & 0x07;
        extra = 3;
        min = 0x10000;
    } else {
        return false;
    }
    if (text.size() - at <= static_cast<size_t>(extra))
        return false;
    for (int i = 1; i <= extra; ++i) {
        const unsigned char next = static_cast<unsigned char>(text[at + static_cast<size_t>(i)]);
        if ((next & 0xC0) != 0x80)
            return false;
        cp = (cp << 6) | (next & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        return false;
    at += static_cast<size_t>(extra) + 1;
    return true;
}

void FlushRun(std::u16string& units, std::string& out)
{
    if (units.empty())
        return;
    out.push_back('&');
    uint32_t bits = 0;
    int count = 0;
    for (char16_t unit : units) {
        bits = (bits << 16) | unit;
        count += 16;
        while (count >= 6) {
            count -= 6;
            out.push_back(kAlphabet[(bits >> count) & 0x3F]);
        }
        bits &= (1u << count) - 1;
    }
    if (count > 0)
        out.push_back(kAlphabet[(bits << (6 - count)) & 0x3F]);
    out.push_back('-');
    units.clear();
}

} // namespace

bool DecodeModifiedUtf7(std::string_view name, std::u16string& out, std::string& error)
{
    out.clear();
    size_t i = 0;
    while (i < name.size()) {
        const unsigned char c = static_cast<unsigned char>(name[i]);
        if (!IsPrintable(c)) {
            error = "byte outside printable ASCII in mailbox name" + At(i);
            return false;
        }
        if (c != '&') {
            out.push_back(static_cast<char16_t>(c));
            ++i;
            continue;
        }
        const size_t end = name.find('-', i + 1);
        if (end == std::string_view::npos) {
            error = "unterminated modified UTF-7 sequence" + At(i);
            return false;
        }
        if (end == i + 1) {
            out.push_back(u'&');
        } else if (!DecodeRun(name.substr(i + 1, end - i - 1), i + 1, out, error)) {
            return false;
        }
        i = end + 1;
    }
    if (!SurrogatesPaired(out)) {
        error = "unpaired surrogate in modified UTF-7 mailbox name";
        return false;
    }
    return true;
}

std::u16string MailboxDisplayName(std::string_view name)
{
    std::u16string decoded;
    std::string error;
    if (DecodeModifiedUtf7(name, decoded, error))
        return decoded;
    return Utf8ToUtf16(name);
}

bool EncodeModifiedUtf7(std::string_view utf8, std::string& out, std::string& error)
{
    out.clear();
    std::u16string run;
    size_t at = 0;
    while (at < utf8.size()) {
        const size_t start = at;
        uint32_t cp = 0;
        if (!NextCodePoint(utf8, at, cp)) {
            error = "invalid UTF-8 in mailbox name" + At(start);
            return false;
        }
        if (cp < 0x80 && IsPrintable(static_cast<unsigned char>(cp))) {
            FlushRun(run, out);
            out.push_back(static_cast<char>(cp));
            if (cp == '&')
                out.push_back('-');
        } else if (cp < 0x10000) {
            run.push_back(static_cast<char16_t>(cp));
        } else {
            cp -= 0x10000;
            run.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
            run.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
        }
    }
    FlushRun(run, out);
    return true;
}

} // namespace postern
