// RFC 2231 parameter values: `name*=charset'language'percent-encoded` and
// the continuations `name*0*=`, `name*1=`, ... that mail programs use for
// long or non-ASCII file names, and now and then for boundaries and charsets.
#include "mail/MimeParser.h"

#include "platform/AsciiText.h"
#include "platform/Charset.h"

#include <array>
#include <optional>

namespace postern {

namespace {

// More continuation segments than this are not a file name but an attempt
// to make the reader work: the parameter is then ignored.
constexpr std::size_t kMaxSegments = 64;

struct Segment {
    bool present = false;
    bool encoded = false;
    std::string value;
};

// One "attribute=value" of a parameter list: the attribute lower-cased and
// trimmed, the value without its quotes (backslash escapes resolved).
struct RawParam {
    std::string attribute;
    std::string value;
};

// Splits the parameters after the media type or disposition type. Quoted
// values may hold ";" and escaped quotes; an unclosed quote runs to the end.
std::vector<RawParam> SplitParams(std::string_view value)
{
    std::vector<RawParam> params;
    std::size_t pos = value.find(';');
    while (pos != std::string_view::npos && pos < value.size()) {
        ++pos;
        const std::size_t equals = value.find_first_of("=;", pos);
        if (equals == std::string_view::npos)
            break;
        if (value[equals] == ';') {
            pos = equals;
            continue;
        }
        RawParam param{ToLowerAscii(TrimAsciiSpace(value.substr(pos, equals - pos))), {}};
        std::size_t at = equals + 1;
        while (at < value.size() && (value[at] == ' ' || value[at] == '\t'))
            ++at;
        if (at < value.size() && value[at] == '"') {
            for (++at; at < value.size() && value[at] != '"'; ++at) {
                if (value[at] == '\\' && at + 1 < value.size())
                    ++at;
                param.value.push_back(value[at]);
            }
            pos = value.find(';', at);
        } else {
            const std::size_t stop = value.find(';', at);
            param.value.assign(TrimAsciiSpace(value.substr(at, stop == std::string_view::npos
                                                                   ? std::string_view::npos
                                                                   : stop - at)));
            pos = stop;
        }
        params.push_back(std::move(param));
    }
    return params;
}

bool PercentDecode(std::string_view text, std::string& out)
{
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            out.push_back(text[i]);
            continue;
        }
        if (i + 2 >= text.size())
            return false;
        const int high = HexDigitValue(text[i + 1]);
        const int low = HexDigitValue(text[i + 2]);
        if (high < 0 || low < 0)
            return false;
        out.push_back(static_cast<char>(high * 16 + low));
        i += 2;
    }
    return true;
}

// The segment number of "name*N" or "name*N*" after the prefix "name*":
// digits without a leading zero (except "0" itself), below kMaxSegments.
std::optional<std::size_t> SegmentNumber(std::string_view digits)
{
    if (digits.empty() || digits.size() > 2 || (digits.size() > 1 && digits[0] == '0'))
        return std::nullopt;
    std::size_t number = 0;
    for (char c : digits) {
        if (c < '0' || c > '9')
            return std::nullopt;
        number = number * 10 + static_cast<std::size_t>(c - '0');
    }
    if (number >= kMaxSegments)
        return std::nullopt;
    return number;
}

// "name*" alone is segment 0 of a one-piece encoded value. False when the
// parameter list names this parameter in a way that cannot be read.
bool CollectSegments(const std::vector<RawParam>& params, const std::string& prefix,
                     std::array<Segment, kMaxSegments>& segments, bool& any)
{
    for (const RawParam& param : params) {
        if (param.attribute.size() <= prefix.size()
            || param.attribute.compare(0, prefix.size(), prefix) != 0
            || param.attribute[prefix.size()] != '*')
            continue;
        std::string_view rest = std::string_view(param.attribute).substr(prefix.size() + 1);
        std::size_t number = 0;
        bool encoded = true;
        if (!rest.empty()) {
            encoded = rest.back() == '*';
            if (encoded)
                rest.remove_suffix(1);
            const std::optional<std::size_t> parsed = SegmentNumber(rest);
            if (!parsed)
                return false;
            number = *parsed;
        }
        Segment& segment = segments[number];
        if (segment.present)
            return false; // the same piece twice: which one is meant?
        segment = Segment{true, encoded, param.value};
        any = true;
    }
    return true;
}

bool IsWellFormedUtf8(std::string_view text)
{
    return Utf16ToUtf8(Utf8ToUtf16(text)) == text;
}

} // namespace

bool ExtendedHeaderParam(std::string_view value, std::string_view name, std::string& result)
{
    const std::vector<RawParam> params = SplitParams(value);
    const std::string prefix = ToLowerAscii(name);
    std::array<Segment, kMaxSegments> segments;
    bool any = false;
    if (!CollectSegments(params, prefix, segments, any) || !any || !segments[0].present)
        return false;

    // Only the first segment carries charset'language'; the others are
    // percent-encoded (name*N*) or taken as they stand (name*N). A gap ends
    // the value: what follows it cannot be placed.
    std::string charset;
    std::string bytes;
    for (std::size_t i = 0; i < kMaxSegments && segments[i].present; ++i) {
        std::string_view text = segments[i].value;
        if (!segments[i].encoded) {
            bytes.append(text);
            continue;
        }
        if (i == 0) {
            const std::size_t first = text.find('\'');
            const std::size_t second =
                first == std::string_view::npos ? first : text.find('\'', first + 1);
            if (second == std::string_view::npos)
                return false;
            charset = ToLowerAscii(TrimAsciiSpace(text.substr(0, first)));
            text = text.substr(second + 1);
        }
        if (!PercentDecode(text, bytes))
            return false;
    }
    if (bytes.empty() || !IsKnownCharset(charset))
        return false;
    if (CharsetCodePage(charset) == 65001)
        return IsWellFormedUtf8(bytes) ? (result = std::move(bytes), true) : false;
    std::string converted = ToUtf8(bytes, charset);
    if (converted == bytes && !IsWellFormedUtf8(bytes))
        return false; // the converter gave up
    result = std::move(converted);
    return true;
}

std::string MimeParam(std::string_view value, std::string_view name)
{
    std::string extended;
    if (ExtendedHeaderParam(value, name, extended))
        return extended;
    return HeaderParam(value, name);
}

} // namespace postern
