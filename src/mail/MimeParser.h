// Parsing received mail: RFC 5322 headers with unfolding, RFC 2047 encoded
// words, MIME entities with their transfer encodings and charsets, dates and
// display names. Pure computation on byte strings: no I/O, no shared state,
// no failures reported; malformed input gives empty or partial results.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace postern {

struct MailHeader {
    std::string name;  // lower case, not otherwise trimmed
    std::string value; // unfolded and trimmed, not decoded
};

struct MimePart {
    std::string contentType; // "image/png", lower case, no parameters
    std::string charset;     // lower case, may be empty
    std::string filename;    // UTF-8, may be empty
    std::string contentId;   // without angle brackets, may be empty
    std::string data;        // after transfer decoding, no charset conversion
};

// The decoded header values are for showing (DecodeForDisplay); where
// mail goes is read from the raw values, which decoding cannot change.
struct ParsedMessage {
    std::string from;    // decoded UTF-8 for display
    std::string to;      // decoded UTF-8 for display
    std::string cc;      // decoded UTF-8 for display
    std::string subject; // decoded UTF-8 for display
    std::string messageId;
    std::string inReplyTo;
    std::string references;
    int64_t date = 0; // Unix seconds (UTC); 0 when missing or unparsable
    std::string textBody; // UTF-8
    std::string htmlBody; // UTF-8
    // The other leaves in document order; an embedded message (a forward, a
    // digest entry) is also kept whole as one message/rfc822 part.
    std::vector<MimePart> parts;
    std::string rawFrom; // unfolded, not decoded
    std::string rawTo;
    std::string rawCc;
};

struct HeaderSummary {
    std::string from;        // decoded UTF-8 for display
    std::string fromAddress; // the first address of the raw From
    std::string subject; // decoded UTF-8 for display
    int64_t date = 0;
    std::string messageId;
    std::string inReplyTo;
    std::string references;
};

[[nodiscard]] ParsedMessage ParseMessage(std::string_view raw);
[[nodiscard]] HeaderSummary ParseHeaderSummary(std::string_view headerBlock);
[[nodiscard]] std::vector<MailHeader> ParseHeaders(std::string_view headerBlock);

// The first header with exactly this lower-case name; empty when missing.
[[nodiscard]] std::string FindHeader(const std::vector<MailHeader>& headers, std::string_view name);

[[nodiscard]] std::string DecodeEncodedWords(std::string_view value);

// Text fit to show as a header value: tab becomes a space; NUL and the other
// C0 and C1 controls, DEL and the bidirectional embeddings, overrides and
// isolates (U+202A..U+202E, U+2066..U+2069) each become U+FFFD, so the
// reader sees that something was there instead of being misled by it.
[[nodiscard]] std::string DisplaySafeText(std::string_view utf8);
// DecodeEncodedWords, then DisplaySafeText.
[[nodiscard]] std::string DecodeForDisplay(std::string_view value);
[[nodiscard]] std::string HeaderParam(std::string_view value, std::string_view name);

// The RFC 2231 form of a parameter (name*=charset'lang'%xx..., or the
// continuations name*0*=, name*1=, ... joined in numeric order), as UTF-8.
// False when there is none, it is empty, or it cannot be read whole: a bad percent escape,
// no segment 0, an unknown charset, bytes that are not in that charset, or
// more segments than any real name needs.
[[nodiscard]] bool ExtendedHeaderParam(std::string_view value, std::string_view name,
                                       std::string& result);
// A parameter as mail programs write it: the RFC 2231 form when it can be
// read, else the plain one (HeaderParam).
[[nodiscard]] std::string MimeParam(std::string_view value, std::string_view name);

[[nodiscard]] std::string DecodeTransfer(std::string_view body, std::string_view encoding);
[[nodiscard]] std::string DecodeQuotedPrintable(std::string_view text, bool headerMode);
[[nodiscard]] std::string ToUtf8(std::string_view bytes, std::string_view charset);
[[nodiscard]] int64_t ParseDate(std::string_view text);
[[nodiscard]] std::string DisplayName(std::string_view address);

// The body decoder behind DecodeTransfer's "base64": bytes outside the
// alphabet are skipped, padding ends the data, a missing padding is tolerated.
[[nodiscard]] std::string DecodeBase64Body(std::string_view text);

// The Windows code page ToUtf8 converts a charset name from (65001 for UTF-8
// and for every name it does not know).
[[nodiscard]] uint32_t CharsetCodePage(std::string_view charset);
// Whether the charset name is one ToUtf8 converts (rather than passes through).
[[nodiscard]] bool IsKnownCharset(std::string_view charset);

// Days since 1970-01-01 of a proleptic Gregorian date; month 1..12, day may
// run past the month's end.
[[nodiscard]] int64_t DaysFromCivil(int64_t year, int64_t month, int64_t day);

} // namespace postern
