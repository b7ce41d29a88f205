// Content-Transfer-Encoding decoders: Base64 and quoted-printable.
#include "mail/MimeParser.h"
#include "platform/AsciiText.h"

#include <array>
#include <cstdint>
#include <cstring>

namespace postern {

namespace {

constexpr uint8_t kInvalid = 0xFF;
constexpr uint8_t kPad = 0xFE;

constexpr std::array<uint8_t, 256> MakeBase64Table()
{
    std::array<uint8_t, 256> table{};
    for (auto& entry : table)
        entry = kInvalid;
    const char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    for (int i = 0; i < 64; ++i)
        table[static_cast<unsigned char>(alphabet[i])] = static_cast<uint8_t>(i);
    table['='] = kPad;
    return table;
}

constexpr std::array<uint8_t, 256> kBase64 = MakeBase64Table();

} // namespace

// RFC 2045 section 6.8: characters outside the alphabet (line breaks, stray
// spaces, the odd non-ASCII byte a relay added) are ignored rather than
// making the whole body undecodable, and padding ends the data. Senders that
// leave out the padding still get their last bytes.
std::string DecodeBase64Body(std::string_view text)
{
    std::string out;
    out.resize(text.size() / 4 * 3 + 3);
    char* dest = out.data();
    const auto* in = reinterpret_cast<const unsigned char*>(text.data());
    const std::size_t size = text.size();
    std::size_t i = 0;
    uint32_t accumulator = 0;
    int quantum = 0;
    while (i < size) {
        if (quantum == 0) {
            // The common case: whole groups of four alphabet characters.
            while (i + 4 <= size) {
                const uint32_t a = kBase64[in[i]];
                const uint32_t b = kBase64[in[i + 1]];
                const uint32_t c = kBase64[in[i + 2]];
                const uint32_t d = kBase64[in[i + 3]];
                if ((a | b | c | d) >= 64)
                    break;
                const uint32_t n = (a << 18) | (b << 12) | (c << 6) | d;
                dest[0] = static_cast<char>(n >> 16);
                dest[1] = static_cast<char>(n >> 8);
                dest[2] = static_cast<char>(n);
                dest += 3;
                i += 4;
            }
            if (i >= size)
                break;
        }
        const uint8_t value = kBase64[in[i++]];
        if (value == kPad) {
            if (quantum >= 2)
                break;
            continue;
        }
        if (value == kInvalid)
            continue;
        accumulator = (accumulator << 6) | value;
        if (++quantum == 4) {
            dest[0] = static_cast<char>(accumulator >> 16);
            dest[1] = static_cast<char>(accumulator >> 8);
            dest[2] = static_cast<char>(accumulator);
            dest += 3;
            quantum = 0;
            accumulator = 0;
        }
    }
    // A final group of two or three characters still carries whole bytes; a
    // lone sixth of a byte carries none.
    if (quantum == 2) {
        *dest++ = static_cast<char>(accumulator >> 4);
    } else if (quantum == 3) {
        *dest++ = static_cast<char>(accumulator >> 10);
        *dest++ = static_cast<char>(accumulator >> 2);
    }
    out.resize(static_cast<std::size_t>(dest - out.data()));
    return out;
}

std::string DecodeQuotedPrintable(std::string_view text, bool headerMode)
{
    std::string out;
    out.reserve(text.size());
    std::size_t i = 0;
    const std::size_t size = text.size();
    while (i < size) {
        // Copy the run up to the next byte that needs attention in one step.
        std::size_t next = i;
        if (headerMode) {
            while (next < size && text[next] != '=' && text[next] != '_')
                ++next;
        } else {
            const void* eq = std::memchr(text.data() + i, '=', size - i);
            next = eq ? static_cast<std::size_t>(static_cast<const char*>(eq) - text.data()) : size;
        }
        out.append(text.data() + i, next - i);
        i = next;
        if (i >= size)
            break;
        if (text[i] == '_') {
            out.push_back(' ');
            ++i;
            continue;
        }
        // text[i] == '='
        if (i + 2 < size && text[i + 1] == '\r' && text[i + 2] == '\n') {
            i += 3;
            continue;
        }
        if (i + 1 < size && text[i + 1] == '\n') {
            i += 2;
            continue;
        }
        if (i + 2 < size) {
            const int high = HexDigitValue(text[i + 1]);
            const int low = HexDigitValue(text[i + 2]);
            if (high >= 0 && low >= 0) {
                out.push_back(static_cast<char>(high * 16 + low));
                i += 3;
                continue;
            }
        }
        out.push_back('=');
        ++i;
    }
    return out;
}

std::string DecodeTransfer(std::string_view body, std::string_view encoding)
{
    if (encoding == "base64")
        return DecodeBase64Body(body);
    if (encoding == "quoted-printable")
        return DecodeQuotedPrintable(body, false);
    return std::string(body);
}

} // namespace postern
