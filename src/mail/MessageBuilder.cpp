#include "mail/MessageBuilder.h"

#include "mail/AddressList.h"
#include "mail/Base64.h"
#include "platform/Clock.h"
#include "platform/Crypto.h"

#include <chrono>
#include <cstdio>
#include <cstring>

namespace postern {

namespace {

constexpr std::size_t kQuotedPrintableLine = 74;
constexpr std::size_t kBase64LineBytes = 57; // 76 characters of Base64

// Headers are written one per line: a CR or LF inside a value would end the
// header and start one of the value's choosing ("x\r\nBcc: victim@x"), and
// values reach here from received mail (the decoded From of a reply).
std::string OneLine(std::string_view value)
{
    std::string out(value);
    for (char& c : out) {
        if (c == '\r' || c == '\n')
            c = ' ';
    }
    return out;
}

uint64_t PerformanceCounter()
{
    return static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
}

// Telling apart two programs that build a message in the same tick.
// Portable code has no process id; random bits serve better anyway.
uint32_t ProcessTag()
{
    static const uint32_t tag = [] {
        std::string bytes;
        uint32_t value = 0;
        if (RandomBytes(4, bytes) && bytes.size() == 4)
            std::memcpy(&value, bytes.data(), 4);
        return value;
    }();
    return tag;
}

std::string MessageId(std::string_view address, int64_t unixSeconds)
{
    const std::size_t at = address.find('@');
    const std::string domain = at == std::string_view::npos ? std::string("postern")
                                                            : OneLine(address.substr(at + 1));
    const uint64_t counter = PerformanceCounter();
    const uint32_t low = static_cast<uint32_t>(counter);
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "<%llx.%08x%08x@",
                  static_cast<unsigned long long>(unixSeconds), static_cast<unsigned>(low),
                  static_cast<unsigned>(ProcessTag() ^ (low >> 16)));
    return buffer + domain + ">";
}

bool IsAsciiSpecial(char c)
{
    return std::strchr("()<>[]:;@\\,.\"", c) != nullptr;
}

// RFC 5322 section 3.4: a display name with a comma, an at sign or another
// special is a quoted string; written bare, "Doe, Jane" <j@x> reads as two
// addresses. Readers rarely undo backslash escapes, so a name that would
// need them is sent as an encoded word instead.
std::string DisplayNameForHeader(std::string_view displayName)
{
    if (displayName.find_first_of("\"\\") != std::string_view::npos)
        return "=?utf-8?B?" + Base64Encode(displayName) + "?=";
    std::string encoded = EncodeHeaderWord(displayName);
    if (encoded != displayName)
        return encoded;
    bool special = false;
    for (char c : encoded)
        special = special || IsAsciiSpecial(c);
    return special ? "\"" + encoded + "\"" : encoded;
}

// A parameter value goes between double quotes that the reading side does
// not unescape: a name with a quote in it is written as an encoded word.
std::string ParameterValue(std::string_view text)
{
    if (text.find('"') == std::string_view::npos && text.find('\\') == std::string_view::npos)
        return EncodeHeaderWord(text);
    return "=?utf-8?B?" + Base64Encode(text) + "?=";
}

std::size_t Base64LinesSize(std::size_t bytes)
{
    const std::size_t lines = (bytes + kBase64LineBytes - 1) / kBase64LineBytes;
    return (bytes + 2) / 3 * 4 + lines * 2;
}

// Standard Base64 in lines of 76 characters, each ending in CR LF, written
// straight into the message: no intermediate copy of a large attachment.
void AppendBase64Lines(std::string& out, std::string_view data)
{
    static constexpr char kAlphabet[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    const std::size_t start = out.size();
    out.resize(start + Base64LinesSize(data.size()));
    char* dest = out.data() + start;
    const auto* in = reinterpret_cast<const unsigned char*>(data.data());
    std::size_t remaining = data.size();
    while (remaining > 0) {
        const std::size_t lineBytes = remaining < kBase64LineBytes ? remaining : kBase64LineBytes;
        std::size_t i = 0;
        for (; i + 3 <= lineBytes; i += 3) {
            const uint32_t n = (uint32_t{in[i]} << 16) | (uint32_t{in[i + 1]} << 8) | in[i + 2];
            dest[0] = kAlphabet[(n >> 18) & 63];
            dest[1] = kAlphabet[(n >> 12) & 63];
            dest[2] = kAlphabet[(n >> 6) & 63];
            dest[3] = kAlphabet[n & 63];
            dest += 4;
        }
        const std::size_t rest = lineBytes - i;
        if (rest > 0) {
            uint32_t n = uint32_t{in[i]} << 16;
            if (rest == 2)
                n |= uint32_t{in[i + 1]} << 8;
            dest[0] = kAlphabet[(n >> 18) & 63];
            dest[1] = kAlphabet[(n >> 12) & 63];
            dest[2] = rest == 2 ? kAlphabet[(n >> 6) & 63] : '=';
            dest[3] = '=';
            dest += 4;
        }
        *dest++ = '\r';
        *dest++ = '\n';
        in += lineBytes;
        remaining -= lineBytes;
    }
}

std::string TextPart(std::string_view mediaType, std::string_view text)
{
    return "Content-Type: " + std::string(mediaType)
           + "; charset=utf-8\r\nContent-Transfer-Encoding: quoted-printable\r\n\r\n"
           + EncodeQuotedPrintable(text) + "\r\n";
}

// The text body: its header lines and its content.
void BuildTextBody(const OutgoingMessage& message, std::string& headers, std::string& content)
{
    if (message.htmlBody.empty()) {
        headers = "Content-Type: text/plain; charset=utf-8\r\n"
                  "Content-Transfer-Encoding: quoted-printable\r\n";
        content = EncodeQuotedPrintable(message.textBody) + "\r\n";
        return;
    }
    const std::string boundary = MakeBoundary(1);
    headers = "Content-Type: multipart/alternative; boundary=\"" + boundary + "\"\r\n";
    content = "--" + boundary + "\r\n" + TextPart("text/plain", message.textBody) + "--"
              + boundary + "\r\n" + TextPart("text/html", message.htmlBody) + "--" + boundary
              + "--\r\n";
}

struct CivilDate {
    int64_t year;
    int month;
    int day;
};

CivilDate CivilFromDays(int64_t days)
{
    days += 719468;
    const int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const int64_t dayOfEra = days - era * 146097;
    const int64_t yearOfEra =
        (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const int64_t mp = (5 * dayOfYear + 2) / 153;
    const int day = static_cast<int>(dayOfYear - (153 * mp + 2) / 5 + 1);
    const int month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    return {yearOfEra + era * 400 + (month <= 2 ? 1 : 0), month, day};
}

} // namespace

std::string FormatMessageDate(int64_t unixSeconds)
{
    static constexpr const char* kWeekdays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                              "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    int64_t days = unixSeconds / 86400;
    int64_t seconds = unixSeconds % 86400;
    if (seconds < 0) {
        seconds += 86400;
        days -= 1;
    }
    const CivilDate date = CivilFromDays(days);
    // 1970-01-01 was a Thursday.
    const int64_t weekday = ((days % 7) + 11) % 7;
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%s, %d %s %lld %02d:%02d:%02d +0000",
                  kWeekdays[weekday], date.day, kMonths[date.month - 1],
                  static_cast<long long>(date.year), static_cast<int>(seconds / 3600),
                  static_cast<int>(seconds / 60 % 60), static_cast<int>(seconds % 60));
    return buffer;
}

std::string EncodeHeaderWord(std::string_view text)
{
    bool plain = true;
    for (char c : text) {
        const unsigned char b = static_cast<unsigned char>(c);
        if (b > 126 || b == '\r' || b == '\n') {
            plain = false;
            break;
        }
    }
    // Text that merely looks like an encoded word would be decoded by the
    // reader (RFC 2047 section 5): it is encoded too.
    if (plain && text.find("=?") == std::string_view::npos)
        return std::string(text);
    return "=?utf-8?B?" + Base64Encode(text) + "?=";
}

std::string EncodeQuotedPrintable(std::string_view text)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(text.size() + text.size() / 8 + 16);
    std::size_t lineLength = 0;
    for (char c : text) {
        const unsigned char b = static_cast<unsigned char>(c);
        if (b == '\r')
            continue;
        if (b == '\n') {
            out.append("\r\n");
            lineLength = 0;
            continue;
        }
        const bool literal = (b >= 33 && b <= 126 && b != '=') || b == ' ' || b == '\t';
        const std::size_t length = literal ? 1 : 3;
        if (lineLength + length > kQuotedPrintableLine) {
            out.append("=\r\n");
            lineLength = 0;
        }
        if (literal) {
            out.push_back(c);
        } else {
            out.push_back('=');
            out.push_back(kHex[b >> 4]);
            out.push_back(kHex[b & 15]);
        }
        lineLength += length;
    }
    return out;
}

std::string MimeTypeForName(std::string_view name)
{
    struct Entry {
        std::string_view extension;
        std::string_view mediaType;
    };
    static constexpr Entry kTypes[] = {
        {"pdf", "application/pdf"},
        {"txt", "text/plain"},
        {"html", "text/html"},
        {"htm", "text/html"},
        {"csv", "text/csv"},
        {"json", "application/json"},
        {"xml", "application/xml"},
        {"zip", "application/zip"},
        {"gz", "application/gzip"},
        {"png", "image/png"},
        {"jpg", "image/jpeg"},
        {"jpeg", "image/jpeg"},
        {"gif", "image/gif"},
        {"bmp", "image/bmp"},
        {"webp", "image/webp"},
        {"svg", "image/svg+xml"},
        {"ico", "image/x-icon"},
        {"doc", "application/msword"},
        {"docx", "application/vnd.openxmlformats-officedocument.wordprocessingml.document"},
        {"xls", "application/vnd.ms-excel"},
        {"xlsx", "application/vnd.openxmlformats-officedocument.spreadsheetml.sheet"},
        {"ppt", "application/vnd.ms-powerpoint"},
        {"pptx", "application/vnd.openxmlformats-officedocument.presentationml.presentation"},
        {"mp3", "audio/mpeg"},
        {"wav", "audio/wav"},
        {"mp4", "video/mp4"},
        {"mov", "video/quicktime"},
        {"exe", "application/octet-stream"},
    };
    const std::size_t dot = name.rfind('.');
    if (dot != std::string_view::npos) {
        std::string extension(name.substr(dot + 1));
        for (char& c : extension) {
            if (c >= 'A' && c <= 'Z')
                c = static_cast<char>(c - 'A' + 'a');
        }
        for (const Entry& entry : kTypes) {
            if (entry.extension == extension)
                return std::string(entry.mediaType);
        }
    }
    return "application/octet-stream";
}

std::string MakeBoundary(int n)
{
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "=_Postern_%llx_%d_",
                  static_cast<unsigned long long>(PerformanceCounter()), n);
    return buffer;
}

bool CheckHeaderValues(std::string_view displayName, std::string_view address,
                       const OutgoingMessage& message, std::string& error)
{
    const auto broken = [&](std::string_view value, const std::string& field) {
        if (value.find_first_of("\r\n") == std::string_view::npos)
            return false;
        error = "A line break is not allowed in " + field + ".";
        return true;
    };
    if (broken(message.to, "To") || broken(message.cc, "Cc") || broken(message.subject, "Subject")
        || broken(displayName, "the sender's name") || broken(address, "the sender's address"))
        return false;
    for (const OutgoingAttachment& attachment : message.attachments) {
        if (broken(attachment.filename, "an attachment's name \"" + OneLine(attachment.filename) + "\"")
            || broken(attachment.mimeType, "an attachment's media type"))
            return false;
    }
    return true;
}

bool PrepareSubmission(std::string_view displayName, std::string_view address,
                       const OutgoingMessage& message, std::string& text,
                       std::vector<std::string>& recipients, std::string& error)
{
    if (!CheckHeaderValues(displayName, address, message, error))
        return false;
    recipients = ExtractAddresses(message.to);
    for (std::string& entry : ExtractAddresses(message.cc))
        recipients.push_back(std::move(entry));
    text = BuildMessage(displayName, address, message);
    return true;
}

std::string BuildMessage(std::string_view displayName, std::string_view address,
                         const OutgoingMessage& message)
{
    return BuildMessageAt(displayName, address, message, NowUnixSeconds());
}

std::string BuildMessageAt(std::string_view displayName, std::string_view address,
                           const OutgoingMessage& message, int64_t unixSeconds)
{
    std::string head;
    head += "Date: " + FormatMessageDate(unixSeconds) + "\r\n";
    const std::string messageId = MessageId(address, unixSeconds);
    const std::string sender = OneLine(address);
    if (!displayName.empty())
        head += "From: " + DisplayNameForHeader(displayName) + " <" + sender + ">\r\n";
    else
        head += "From: " + sender + "\r\n";
    head += "To: " + OneLine(message.to) + "\r\n";
    if (!message.cc.empty())
        head += "Cc: " + OneLine(message.cc) + "\r\n";
    head += "Subject: " + EncodeHeaderWord(message.subject) + "\r\n";
    head += "Message-ID: " + messageId + "\r\n";
    if (!message.inReplyTo.empty())
        head += "In-Reply-To: " + OneLine(message.inReplyTo) + "\r\n";
    if (!message.references.empty())
        head += "References: " + OneLine(message.references) + "\r\n";
    head += "MIME-Version: 1.0\r\nX-Mailer: Postern (Halvorsoft)\r\n";

    std::string bodyHeaders;
    std::string bodyContent;
    BuildTextBody(message, bodyHeaders, bodyContent);
    if (message.attachments.empty())
        return head + bodyHeaders + "\r\n" + bodyContent;

    const std::string boundary = MakeBoundary(2);
    std::vector<std::string> partHeads;
    partHeads.reserve(message.attachments.size());
    std::size_t total = head.size() + bodyHeaders.size() + bodyContent.size() + 2 * boundary.size()
                        + 128;
    for (const OutgoingAttachment& attachment : message.attachments) {
        const std::string mediaType = attachment.mimeType.empty()
                                          ? MimeTypeForName(attachment.filename)
                                          : OneLine(attachment.mimeType);
        const std::string name = ParameterValue(attachment.filename);
        partHeads.push_back("--" + boundary + "\r\nContent-Type: " + mediaType + "; name=\"" + name
                            + "\"\r\nContent-Transfer-Encoding: base64\r\n"
                              "Content-Disposition: attachment; filename=\""
                            + name + "\"\r\n\r\n");
        total += partHeads.back().size() + Base64LinesSize(attachment.data.size());
    }

    // One allocation of the final size: a large attachment is then copied
    // once, as its Base64 lines, and never moved again.
    std::string out;
    out.reserve(total);
    out += head;
    out += "Content-Type: multipart/mixed; boundary=\"" + boundary + "\"\r\n\r\n";
    out += "--" + boundary + "\r\n";
    out += bodyHeaders;
    out += "\r\n";
    out += bodyContent;
    for (std::size_t i = 0; i < message.attachments.size(); ++i) {
        out += partHeads[i];
        AppendBase64Lines(out, message.attachments[i].data);
    }
    out += "--" + boundary + "--\r\n";
    return out;
}

} // namespace postern
