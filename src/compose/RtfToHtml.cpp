#include "compose/RtfToHtml.h"

#include "platform/AsciiText.h"
#include "platform/Charset.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <vector>

namespace postern {

namespace {

// Windows-1252 0x80..0x9F; the five unassigned bytes map to themselves, as
// the Windows converter does.
constexpr std::array<char16_t, 32> kCp1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

// Groups that open with one of these hold document data, not text: fonts,
// colours, styles, document properties, pictures, headers and footers.
// The editor writes the first three without the "\*" that marks groups a
// reader may skip.
constexpr std::string_view kSkippedDestinations[] = {
    "fonttbl",   "colortbl", "stylesheet", "info",        "pict",       "object",          "header",
    "headerl",   "headerr",  "headerf",    "footer",      "footerl",    "footerr",         "footerf",
    "listtable", "listoverridetable", "rsidtbl", "generator", "themedata", "colorschememapping",
    "latentstyles", "datastore", "xmlnstbl", "filetbl", "revtbl", "fldinst", "nonshppict", "bkmkstart",
    "bkmkend",   "field"};

// RTF limits control word names to 32 letters; parameters are 16-bit in
// practice, so anything past ten digits is noise and is clamped.
constexpr std::size_t kMaxWordLetters = 32;
constexpr int kMaxParameterDigits = 10;
// Each '{' pushes a format; a document of nothing but braces must not grow
// the stack without bound. Deeper groups share the innermost format.
constexpr std::size_t kMaxFormatDepth = 256;

// A bad digit in a \'hh escape counts as 0.
int HexDigit(char c)
{
    return std::max(0, HexDigitValue(c));
}

bool IsLetter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

struct Format {
    bool bold = false;
    bool italic = false;
    bool underline = false;
};

class RtfScanner {
public:
    explicit RtfScanner(std::string_view rtf) : rtf_(rtf) {}

    std::string Run()
    {
        while (pos_ < rtf_.size()) {
            if (fallbackToSkip_ > 0 && SkipFallback())
                continue;
            const char c = rtf_[pos_];
            if (c == '{') {
                ++pos_;
                OpenGroup();
                continue;
            }
            if (c == '}') {
                ++pos_;
                CloseGroup();
                continue;
            }
            if (c == '\\') {
                Escape();
                continue;
            }
            ++pos_;
            if (c == '\r' || c == '\n')
                continue; // line breaks of the RTF text itself, not of the document
            groupStart_ = false;
            if (skipDepth_ >= 0)
                continue;
            if (c == '\v') {
                // Wine's control writes a line break (Shift+Enter) as the raw
                // character instead of \line.
                Flush();
                out_ += "<br>";
                continue;
            }
            // Other control bytes (the editor ends its stream with a NUL)
            // are not text.
            if (static_cast<unsigned char>(c) < 0x20)
                continue;
            AppendText(std::string_view(&c, 1));
        }
        Flush();
        return std::move(out_);
    }

private:
    Format& Current() { return formats_.back(); }

    void OpenGroup()
    {
        Flush();
        if (formats_.size() < kMaxFormatDepth)
            formats_.push_back(formats_.back());
        else
            ++unpushed_;
        ++depth_;
        groupStart_ = true;
    }

    void CloseGroup()
    {
        Flush();
        if (unpushed_ > 0)
            --unpushed_;
        else if (formats_.size() > 1)
            formats_.pop_back();
        --depth_;
        if (skipDepth_ >= 0 && depth_ < skipDepth_)
            skipDepth_ = -1;
        groupStart_ = false;
    }

    void StartSkipping()
    {
        if (skipDepth_ < 0)
            skipDepth_ = depth_;
    }

    // Consumes one character of the fallback text after \uN. True when it
    // did; false when skipping ends here and the byte is scanned normally.
    bool SkipFallback()
    {
        const char c = rtf_[pos_];
        if (c == '\r' || c == '\n') {
            ++pos_; // not characters of the document, so they do not count
            return true;
        }
        if (c == '{' || c == '}') {
            fallbackToSkip_ = 0;
            return false;
        }
        if (c == '\\') {
            if (pos_ + 1 < rtf_.size() && rtf_[pos_ + 1] == '\'') {
                pos_ = std::min(rtf_.size(), pos_ + 4); // an escaped byte counts as one character
                --fallbackToSkip_;
                return true;
            }
            fallbackToSkip_ = 0;
            return false;
        }
        ++pos_;
        --fallbackToSkip_;
        return true;
    }

    void Escape()
    {
        ++pos_; // the backslash
        groupStart_ = groupStart_ && pos_ < rtf_.size() && IsLetter(rtf_[pos_]);
        if (pos_ >= rtf_.size())
            return;
        const char c = rtf_[pos_];
        if (IsLetter(c)) {
            ControlWord();
            return;
        }
        ++pos_;
        // Escaped braces and backslashes are text, also inside a skipped
        // group, where they must not count as group boundaries.
        if (skipDepth_ >= 0) {
            if (c == '\'')
                pos_ = std::min(rtf_.size(), pos_ + 2);
            return;
        }
        switch (c) {
        case '\\':
        case '{':
        case '}': AppendText(std::string_view(&c, 1)); break;
        case '\'':
            if (pos_ + 2 <= rtf_.size()) {
                const int byte = HexDigit(rtf_[pos_]) * 16 + HexDigit(rtf_[pos_ + 1]);
                if (byte >= 0x20) // control bytes are no text here either
                    hexRun_.push_back(static_cast<char>(byte));
                pos_ += 2;
            } else {
                pos_ = rtf_.size(); // truncated escape: nothing follows it
            }
            break;
        case '*': StartSkipping(); break;
        case '~': AppendCodePoint(0xA0); break;
        default: break; // "\_", "\-" and unknown symbols
        }
    }

    void ControlWord()
    {
        const std::size_t wordStart = pos_;
        while (pos_ < rtf_.size() && IsLetter(rtf_[pos_]))
            ++pos_;
        const std::string_view fullWord = rtf_.substr(wordStart, pos_ - wordStart);
        bool negative = false;
        if (pos_ < rtf_.size() && rtf_[pos_] == '-') {
            negative = true;
            ++pos_;
        }
        bool hasParameter = false;
        int64_t value = 0;
        int digits = 0;
        while (pos_ < rtf_.size() && rtf_[pos_] >= '0' && rtf_[pos_] <= '9') {
            hasParameter = true;
            if (digits < kMaxParameterDigits) {
                value = value * 10 + (rtf_[pos_] - '0');
                ++digits;
            }
            ++pos_;
        }
        if (value > INT32_MAX)
            value = INT32_MAX;
        const int32_t parameter = static_cast<int32_t>(negative ? -value : value);
        if (pos_ < rtf_.size() && rtf_[pos_] == ' ')
            ++pos_;

        const bool firstInGroup = groupStart_;
        groupStart_ = false;
        if (fullWord.size() > kMaxWordLetters)
            return;
        const std::string_view word = fullWord;

        if (word == "bin" && hasParameter) {
            // Raw binary data: its bytes may look like braces or backslashes.
            const std::size_t count = parameter > 0 ? static_cast<std::size_t>(parameter) : 0;
            pos_ = count > rtf_.size() - pos_ ? rtf_.size() : pos_ + count;
            return;
        }
        if (skipDepth_ >= 0)
            return;
        if (firstInGroup) {
            for (const std::string_view destination : kSkippedDestinations) {
                if (word == destination) {
                    StartSkipping();
                    return;
                }
            }
        }
        const bool on = !hasParameter || parameter != 0;
        if (word == "b") {
            Flush();
            Current().bold = on;
        } else if (word == "i") {
            Flush();
            Current().italic = on;
        } else if (word == "ul") {
            Flush();
            Current().underline = on;
        } else if (word == "ulnone") {
            Flush();
            Current().underline = false;
        } else if (word == "plain") {
            Flush();
            Current() = Format{};
        } else if (word == "par" || word == "line") {
            Flush();
            out_ += "<br>";
        } else if (word == "tab") {
            for (int k = 0; k < 4; ++k)
                AppendCodePoint(0xA0);
        } else if (word == "uc") {
            fallbackCount_ = hasParameter ? (parameter < 0 ? 0 : (parameter > 16 ? 16 : parameter)) : 1;
        } else if (word == "u") {
            if (!hasParameter)
                return;
            const int32_t unit = parameter < 0 ? parameter + 65536 : parameter;
            AppendUnit(unit >= 0 && unit <= 0xFFFF ? static_cast<char16_t>(unit) : char16_t{0xFFFD});
            fallbackToSkip_ = fallbackCount_;
        } else if (word == "ansicpg" && hasParameter && parameter > 0) {
            codePage_ = static_cast<uint32_t>(parameter);
        } else if (word == "urtf") {
            codePage_ = 65001; // the editor's UTF-8 form: text and escapes are UTF-8
        } else if (word == "emdash") {
            AppendCodePoint(0x2014);
        } else if (word == "endash") {
            AppendCodePoint(0x2013);
        } else if (word == "lquote") {
            AppendCodePoint(0x2018);
        } else if (word == "rquote") {
            AppendCodePoint(0x2019);
        } else if (word == "ldblquote") {
            AppendCodePoint(0x201C);
        } else if (word == "rdblquote") {
            AppendCodePoint(0x201D);
        } else if (word == "bullet") {
            AppendCodePoint(0x2022);
        }
    }

    // \uN escapes carry UTF-16 code units; a character outside the BMP
    // comes as two of them and is written as one UTF-8 sequence. A lone
    // surrogate is not a character and becomes U+FFFD.
    void AppendUnit(char16_t unit)
    {
        DecodeHexRun();
        if (highSurrogate_ != 0) {
            const char16_t high = highSurrogate_;
            highSurrogate_ = 0;
            if (unit >= 0xDC00 && unit <= 0xDFFF) {
                AppendUtf8(pending_, 0x10000 + ((static_cast<char32_t>(high) - 0xD800) << 10) + (unit - 0xDC00));
                return;
            }
            AppendUtf8(pending_, 0xFFFD);
        }
        if (unit >= 0xD800 && unit <= 0xDBFF) {
            highSurrogate_ = unit;
            return;
        }
        AppendUtf8(pending_, unit >= 0xDC00 && unit <= 0xDFFF ? char32_t{0xFFFD} : char32_t{unit});
    }

    void AppendCodePoint(char32_t cp)
    {
        Settle();
        AppendUtf8(pending_, cp);
    }

    void AppendText(std::string_view text)
    {
        Settle();
        pending_.append(text);
    }

    // Bytes from \'xx escapes are collected, so that a code page with
    // two-byte characters gets both bytes of one character together.
    void DecodeHexRun()
    {
        if (hexRun_.empty())
            return;
        std::string converted;
        if (codePage_ == 65001) {
            converted = hexRun_;
        } else if (codePage_ == 1252 || !CodePageToUtf8(hexRun_, codePage_, converted)) {
            converted.clear();
            for (const char b : hexRun_) {
                const unsigned char u = static_cast<unsigned char>(b);
                AppendUtf8(converted, u >= 0x80 && u < 0xA0 ? kCp1252High[u - 0x80] : char32_t{u});
            }
        }
        pending_ += converted;
        hexRun_.clear();
    }

    void Settle()
    {
        DecodeHexRun();
        if (highSurrogate_ != 0) {
            highSurrogate_ = 0;
            AppendUtf8(pending_, 0xFFFD);
        }
    }

    void Flush()
    {
        Settle();
        if (pending_.empty())
            return;
        const Format& f = Current();
        if (f.bold)
            out_ += "<b>";
        if (f.italic)
            out_ += "<i>";
        if (f.underline)
            out_ += "<u>";
        for (const char c : pending_) {
            switch (c) {
            case '&': out_ += "&amp;"; break;
            case '<': out_ += "&lt;"; break;
            case '>': out_ += "&gt;"; break;
            default: out_.push_back(c); break;
            }
        }
        if (f.underline)
            out_ += "</u>";
        if (f.italic)
            out_ += "</i>";
        if (f.bold)
            out_ += "</b>";
        pending_.clear();
    }

    std::string_view rtf_;
    std::size_t pos_ = 0;
    std::string out_;
    std::string pending_;
    std::string hexRun_;
    std::vector<Format> formats_{Format{}};
    std::size_t unpushed_ = 0;
    int64_t depth_ = 0;
    int64_t skipDepth_ = -1;
    int32_t fallbackCount_ = 1;
    int32_t fallbackToSkip_ = 0;
    char16_t highSurrogate_ = 0;
    uint32_t codePage_ = 1252;
    bool groupStart_ = false;
};

} // namespace

std::string RtfToHtml(std::string_view rtf)
{
    return RtfScanner(rtf).Run();
}

} // namespace postern
