// ISO-2022-JP, the usual charset of Japanese mail, decoded by turning it into
// Shift_JIS (code page 932, which every platform converter has): the escape
// sequences switch between single-byte sets and JIS X 0208, whose byte pairs
// map onto Shift_JIS arithmetically. Going through 932 rather than EUC-JP
// also decodes the NEC and IBM extensions Windows mail programs write.
#include "platform/Charset.h"

namespace postern {

namespace {

constexpr unsigned char kEscape = 0x1B;
constexpr unsigned char kShiftOut = 0x0E; // half-width katakana (code page 50222)
constexpr unsigned char kShiftIn = 0x0F;
constexpr std::string_view kReplacementUtf8 = "\xEF\xBF\xBD";

enum class CharacterSet {
    Ascii,         // ESC ( B, and JIS X 0201 Roman, ESC ( J, read as ASCII
    Katakana,      // ESC ( I: JIS X 0201 half-width katakana
    Jis0208,       // ESC $ @, ESC $ B
    UnknownSingle, // another 94-character set: each character unreadable
    UnknownDouble, // another 94x94 set (JIS X 0212, GB 2312, KS C 5601, ...)
};

class Decoder {
public:
    std::string Run(std::string_view bytes)
    {
        std::size_t i = 0;
        while (i < bytes.size()) {
            const auto byte = static_cast<unsigned char>(bytes[i]);
            if (byte == kEscape) {
                i = Escape(bytes, i);
            } else if (byte == kShiftOut || byte == kShiftIn) {
                shiftedOut_ = byte == kShiftOut;
                ++i;
            } else if (byte < 0x21 || byte == 0x7F) {
                // Controls and spaces read the same in every set; line ends
                // inside a double-byte run are common.
                shiftJis_.push_back(static_cast<char>(byte));
                ++i;
            } else if (byte >= 0x80) {
                Replace(); // eight-bit bytes are not ISO-2022-JP
                ++i;
            } else {
                i = Graphic(bytes, i);
            }
        }
        Flush();
        return std::move(out_);
    }

private:
    // An escape sequence: ESC, intermediate bytes 0x20..0x2F, a final byte.
    std::size_t Escape(std::string_view bytes, std::size_t start)
    {
        std::size_t end = start + 1;
        while (end < bytes.size() && bytes[end] >= 0x20 && bytes[end] <= 0x2F)
            ++end;
        if (end >= bytes.size() || bytes[end] < 0x30 || bytes[end] > 0x7E) {
            Replace(); // cut off, or no escape sequence at all: the ESC alone goes
            return start + 1;
        }
        const std::string_view intermediates = bytes.substr(start + 1, end - start - 1);
        const char finalByte = bytes[end];
        if (intermediates == "(") {
            set_ = finalByte == 'B' || finalByte == 'J' ? CharacterSet::Ascii
                 : finalByte == 'I'                     ? CharacterSet::Katakana
                                                        : CharacterSet::UnknownSingle;
        } else if (intermediates == "$" || intermediates == "$(") {
            set_ = finalByte == '@' || finalByte == 'B' ? CharacterSet::Jis0208
                                                        : CharacterSet::UnknownDouble;
        } else if (intermediates != "&") {
            // Other sequences (G2 designations, single shifts of
            // ISO-2022-JP-2) change nothing read here: mark the spot.
            // "ESC & @" only announces the 1990 edition of JIS X 0208.
            Replace();
        }
        return end + 1;
    }

    std::size_t Graphic(std::string_view bytes, std::size_t i)
    {
        const auto byte = static_cast<unsigned char>(bytes[i]);
        const CharacterSet set = shiftedOut_ ? CharacterSet::Katakana : set_;
        switch (set) {
        case CharacterSet::Ascii:
            shiftJis_.push_back(static_cast<char>(byte));
            return i + 1;
        case CharacterSet::Katakana:
            if (byte <= 0x5F)
                shiftJis_.push_back(static_cast<char>(byte | 0x80));
            else
                Replace();
            return i + 1;
        case CharacterSet::UnknownSingle:
            Replace();
            return i + 1;
        case CharacterSet::Jis0208:
        case CharacterSet::UnknownDouble:
            break;
        }
        const auto second = i + 1 < bytes.size() ? static_cast<unsigned char>(bytes[i + 1]) : 0;
        if (second < 0x21 || second > 0x7E) {
            Replace(); // half a character: the next byte is read on its own
            return i + 1;
        }
        if (set == CharacterSet::UnknownDouble) {
            Replace();
        } else {
            // Rows pair up onto one Shift_JIS lead byte; odd rows take the
            // low trail bytes (skipping 0x7F), even rows the high ones.
            const unsigned lead = ((byte + 1) >> 1) + (byte <= 0x5E ? 0x70 : 0xB0);
            unsigned trail = second + ((byte & 1) ? 0x1F : 0x7E);
            if ((byte & 1) && trail >= 0x7F)
                ++trail;
            shiftJis_.push_back(static_cast<char>(lead));
            shiftJis_.push_back(static_cast<char>(trail));
        }
        return i + 2;
    }

    void Replace()
    {
        Flush();
        out_ += kReplacementUtf8;
    }

    void Flush()
    {
        if (shiftJis_.empty())
            return;
        std::string converted;
        if (CodePageToUtf8(shiftJis_, 932, converted))
            out_ += converted;
        else
            out_ += kReplacementUtf8;
        shiftJis_.clear();
    }

    CharacterSet set_ = CharacterSet::Ascii;
    bool shiftedOut_ = false;
    std::string shiftJis_;
    std::string out_;
};

} // namespace

std::string Iso2022JpToUtf8(std::string_view bytes)
{
    return Decoder().Run(bytes);
}

} // namespace postern
