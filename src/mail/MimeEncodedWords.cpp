// RFC 2047 encoded words ("=?charset?B?...?=" and "=?charset?Q?...?=") in
// header values, converted to UTF-8.
#include "mail/MimeParser.h"

#include "mail/Base64.h"

namespace postern {

namespace {

bool IsOnlyWhiteSpace(std::string_view text)
{
    for (char c : text) {
        if (c != ' ' && c != '\t' && c != '\r' && c != '\n')
            return false;
    }
    return true;
}

} // namespace

std::string DecodeEncodedWords(std::string_view value)
{
    std::string out;
    out.reserve(value.size());
    std::size_t pos = 0;
    bool previousWasEncoded = false;
    while (pos < value.size()) {
        const std::size_t start = value.find("=?", pos);
        if (start == std::string_view::npos)
            break;
        const std::size_t charsetEnd = value.find('?', start + 2);
        const std::size_t encodingEnd =
            charsetEnd == std::string_view::npos ? charsetEnd : value.find('?', charsetEnd + 1);
        const std::size_t payloadEnd =
            encodingEnd == std::string_view::npos ? encodingEnd : value.find("?=", encodingEnd + 1);
        if (payloadEnd == std::string_view::npos)
            break;

        const std::string_view between = value.substr(pos, start - pos);
        // Adjacent encoded words join without the white space that folds them
        // (RFC 2047 section 6.2).
        if (!(previousWasEncoded && IsOnlyWhiteSpace(between)))
            out.append(between);

        std::string_view charset = value.substr(start + 2, charsetEnd - start - 2);
        // RFC 2231 lets a language follow the charset: "utf-8*en".
        const std::size_t star = charset.find('*');
        if (star != std::string_view::npos)
            charset = charset.substr(0, star);
        const char letter = charsetEnd + 1 < value.size() ? value[charsetEnd + 1] : '?';
        const std::string_view payload =
            value.substr(encodingEnd + 1, payloadEnd - encodingEnd - 1);

        std::string decoded;
        if (letter == 'B' || letter == 'b')
            decoded = Base64Decode(payload);
        else if (letter == 'Q' || letter == 'q')
            decoded = DecodeQuotedPrintable(payload, true);
        else
            decoded.assign(payload);
        out.append(ToUtf8(decoded, charset));

        pos = payloadEnd + 2;
        previousWasEncoded = true;
    }
    if (pos < value.size())
        out.append(value.substr(pos));
    return out;
}

} // namespace postern
