// The MIME entity walk: splits a message into its leaves, decodes them and
// sorts them into the plain-text body, the HTML body and the other parts.
#include "mail/MimeParser.h"
#include "platform/AsciiText.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace postern {

namespace {

std::string LowerTrimmed(std::string_view text)
{
    return ToLowerAscii(TrimAsciiSpace(text));
}

// Multipart nesting beyond this is not mail but an attack on the reader.
constexpr int kMaxDepth = 10;

bool StartsWith(std::string_view text, std::string_view prefix)
{
    return text.size() >= prefix.size() && text.substr(0, prefix.size()) == prefix;
}

// Finds boundary delimiter lines (RFC 2046 section 5.1.1): "--" + boundary
// at the start of a line, followed by "--" (the closing delimiter) or by
// nothing but spaces and tabs up to the line end. A delimiter that is only
// the prefix of a longer one (an inner boundary that extends the outer one,
// as some mailers generate) is not a match.
//
// The search is linear in the input whatever it holds: a plain substring
// search degrades to length(boundary) comparisons per byte on a hostile run
// of near-misses. Knuth-Morris-Pratt, with memchr skipping to the
// delimiter's first byte while nothing has matched, which is nearly always.
class DelimiterFinder {
public:
    explicit DelimiterFinder(std::string_view pattern) : pattern(pattern), failure(pattern.size())
    {
        std::size_t k = 0;
        for (std::size_t i = 1; i < pattern.size(); ++i) {
            while (k > 0 && pattern[i] != pattern[k])
                k = failure[k - 1];
            if (pattern[i] == pattern[k])
                ++k;
            failure[i] = k;
        }
    }

    // The position of the first delimiter line at or after from, or npos.
    std::size_t Find(std::string_view text, std::size_t from) const
    {
        const std::size_t m = pattern.size();
        if (m == 0 || from > text.size())
            return std::string_view::npos;
        std::size_t matched = 0;
        std::size_t i = from;
        while (i < text.size()) {
            if (matched == 0) {
                const void* hit = std::memchr(text.data() + i, pattern[0], text.size() - i);
                if (!hit)
                    return std::string_view::npos;
                i = static_cast<std::size_t>(static_cast<const char*>(hit) - text.data());
            }
            while (matched > 0 && text[i] != pattern[matched])
                matched = failure[matched - 1];
            if (text[i] == pattern[matched])
                ++matched;
            ++i;
            if (matched == m) {
                const std::size_t at = i - m;
                if (IsDelimiterLine(text, at, m))
                    return at;
                matched = failure[m - 1];
            }
        }
        return std::string_view::npos;
    }

    static bool IsDelimiterLine(std::string_view text, std::size_t at, std::size_t length)
    {
        if (at > 0 && text[at - 1] != '\n')
            return false;
        std::size_t k = at + length;
        if (text.substr(k, 2) == "--")
            return true;
        while (k < text.size() && (text[k] == ' ' || text[k] == '\t'))
            ++k;
        if (k == text.size() || text[k] == '\n')
            return true;
        return text[k] == '\r' && (k + 1 == text.size() || text[k + 1] == '\n');
    }

private:
    std::string_view pattern;
    std::vector<std::size_t> failure;
};

// The first empty line ends the header block. Line ends may be CR LF or a
// bare LF, and a message may mix them; an entity that starts with an empty
// line has no headers at all.
void SplitEntity(std::string_view entity, std::string_view& headers, std::string_view& body)
{
    if (StartsWith(entity, "\r\n") || StartsWith(entity, "\n")) {
        headers = {};
        body = entity.substr(entity[0] == '\r' ? 2 : 1);
        return;
    }
    std::size_t pos = 0;
    while (pos < entity.size()) {
        const void* hit = std::memchr(entity.data() + pos, '\n', entity.size() - pos);
        if (!hit)
            break;
        const auto lf = static_cast<std::size_t>(static_cast<const char*>(hit) - entity.data());
        if (lf + 1 < entity.size() && entity[lf + 1] == '\n') {
            headers = entity.substr(0, lf + 1);
            body = entity.substr(lf + 2);
            return;
        }
        if (lf + 2 < entity.size() && entity[lf + 1] == '\r' && entity[lf + 2] == '\n') {
            headers = entity.substr(0, lf + 1);
            body = entity.substr(lf + 3);
            return;
        }
        pos = lf + 1;
    }
    headers = entity;
    body = {};
}

// A file name parameter: the RFC 2231 form, else the plain one with any
// RFC 2047 words in it decoded (as many mail programs write them). Made
// safe to show: "invoice\u202Efdp.exe" is an old way to pass off a program.
std::string FileNameParam(std::string_view value, std::string_view name)
{
    std::string result;
    if (ExtendedHeaderParam(value, name, result))
        return DisplaySafeText(result);
    return DecodeForDisplay(HeaderParam(value, name));
}

// The name an attachment is saved under: Content-Disposition's filename,
// else Content-Type's name.
std::string PartFileName(const std::string& disposition, const std::string& contentType)
{
    std::string name = FileNameParam(disposition, "filename");
    return name.empty() ? FileNameParam(contentType, "name") : name;
}

std::string ContentId(const std::vector<MailHeader>& headers)
{
    std::string contentId = FindHeader(headers, "content-id");
    if (contentId.size() >= 2 && contentId.front() == '<' && contentId.back() == '>')
        contentId = contentId.substr(1, contentId.size() - 2);
    return contentId;
}

class EntityWalker {
public:
    explicit EntityWalker(ParsedMessage& message) : message(message) {}

    void Walk(std::string_view entity, int depth, std::string_view defaultType)
    {
        if (depth > kMaxDepth)
            return;
        std::string_view headerBlock;
        std::string_view body;
        SplitEntity(entity, headerBlock, body);
        WalkWithHeaders(ParseHeaders(headerBlock), body, depth, defaultType);
    }

    void WalkWithHeaders(const std::vector<MailHeader>& headers, std::string_view body, int depth,
                         std::string_view defaultType)
    {
        std::string contentType = FindHeader(headers, "content-type");
        // RFC 2045 section 5.2: no type, or an empty one, means plain text
        // (a digest's entries default to messages instead).
        if (contentType.empty())
            contentType = defaultType;
        const std::string mediaType = LowerTrimmed(std::string_view(contentType).substr(
            0, std::min(contentType.find(';'), contentType.size())));

        if (StartsWith(mediaType, "multipart/")) {
            WalkMultipart(contentType, mediaType, body, depth);
            return;
        }
        const std::string encoding = LowerTrimmed(FindHeader(headers, "content-transfer-encoding"));
        if (mediaType == "message/rfc822") {
            AddEmbedded(headers, contentType, encoding, body, depth);
            return;
        }
        AddLeaf(headers, contentType, mediaType, encoding, body);
    }

    // A forwarded message shows as the outer message's body only when the
    // outer message has no text of its own (a bare forward; blank lines are
    // no text): the forwarder's note must not be hidden behind the
    // original's HTML. Its own parts then follow its attachment.
    void JoinEmbedded()
    {
        if (embeddedMessages.empty() || HasBody())
            return;
        // Rebuilt rather than inserted into: a digest of many entries must
        // not cost a move of every later part per entry.
        std::vector<MimePart> joined;
        joined.reserve(message.parts.size());
        std::size_t next = 0;
        for (std::size_t i = 0; i < message.parts.size(); ++i) {
            joined.push_back(std::move(message.parts[i]));
            if (next == embeddedMessages.size() || embeddedMessages[next].partIndex != i)
                continue;
            const int depth = embeddedMessages[next++].depth;
            if (HasBody())
                continue;
            ParsedMessage inner;
            EntityWalker walker(inner);
            walker.Walk(joined.back().data, depth + 1, kPlainText);
            walker.JoinEmbedded();
            message.textBody = std::move(inner.textBody);
            message.htmlBody = std::move(inner.htmlBody);
            for (MimePart& part : inner.parts)
                joined.push_back(std::move(part));
        }
        message.parts = std::move(joined);
    }

    static constexpr std::string_view kPlainText = "text/plain";

private:
    struct Embedded {
        std::size_t partIndex;
        int depth;
    };

    bool HasBody() const
    {
        return !TrimAsciiSpace(message.textBody).empty() || !TrimAsciiSpace(message.htmlBody).empty();
    }

    void WalkMultipart(const std::string& contentType, const std::string& mediaType,
                       std::string_view body, int depth)
    {
        const std::string boundary = MimeParam(contentType, "boundary");
        if (boundary.empty())
            return;
        const std::string delimiter = "--" + boundary;
        const DelimiterFinder finder(delimiter);

        std::vector<std::string_view> parts;
        std::size_t at = finder.Find(body, 0);
        while (at != std::string_view::npos) {
            const std::size_t after = at + delimiter.size();
            if (body.substr(after, 2) == "--")
                break;
            const std::size_t lf = body.find('\n', after);
            if (lf == std::string_view::npos)
                break;
            const std::size_t start = lf + 1;
            const std::size_t next = finder.Find(body, start);
            std::size_t end = next == std::string_view::npos ? body.size() : next;
            // A delimiter line repeated at once ("--b" CR LF "--b") encloses
            // no part at all, not an empty text part.
            if (end > start) {
                while (end > start && (body[end - 1] == '\r' || body[end - 1] == '\n'))
                    --end;
                parts.push_back(body.substr(start, end - start));
            }
            at = next;
        }
        // RFC 2046 section 5.1.5: a digest is a list of messages.
        const std::string_view defaultType =
            mediaType == "multipart/digest" ? std::string_view("message/rfc822") : kPlainText;
        for (std::string_view part : parts)
            Walk(part, depth + 1, defaultType);
    }

    // The embedded message is kept whole as an attachment that can be saved
    // and opened; JoinEmbedded decides later whether its bodies are shown.
    void AddEmbedded(const std::vector<MailHeader>& headers, const std::string& contentType,
                     const std::string& encoding, std::string_view body, int depth)
    {
        MimePart part;
        part.contentType = "message/rfc822";
        part.filename = PartFileName(FindHeader(headers, "content-disposition"), contentType);
        if (part.filename.empty())
            part.filename = "forwarded.eml";
        part.contentId = ContentId(headers);
        part.data = DecodeTransfer(body, encoding);
        message.parts.push_back(std::move(part));
        embeddedMessages.push_back(Embedded{message.parts.size() - 1, depth});
    }

    void AddLeaf(const std::vector<MailHeader>& headers, const std::string& contentType,
                 const std::string& mediaType, const std::string& encoding, std::string_view body)
    {
        std::string data = DecodeTransfer(body, encoding);
        const std::string charset = MimeParam(contentType, "charset");

        // The disposition's type is compared without regard to case, but its
        // parameters keep theirs: file names and encoded words are case-sensitive.
        const std::string disposition = FindHeader(headers, "content-disposition");
        const std::string dispositionName = FileNameParam(disposition, "filename");
        const bool attachment =
            StartsWithIgnoringAsciiCase(disposition, "attachment")
            || (!disposition.empty() && !dispositionName.empty()
                && !StartsWithIgnoringAsciiCase(disposition, "inline"));

        // The first body leaf of each kind is the body even when it is empty:
        // a later one is a part, as every other reader counts them.
        if (!attachment && mediaType == "text/plain" && !textTaken) {
            message.textBody = ToUtf8(data, charset);
            textTaken = true;
            return;
        }
        if (!attachment && mediaType == "text/html" && !htmlTaken) {
            message.htmlBody = ToUtf8(data, charset);
            htmlTaken = true;
            return;
        }

        MimePart part;
        part.contentType = mediaType;
        part.charset = ToLowerAscii(charset);
        part.filename = dispositionName.empty() ? FileNameParam(contentType, "name") : dispositionName;
        part.contentId = ContentId(headers);
        part.data = std::move(data);
        message.parts.push_back(std::move(part));
    }

    ParsedMessage& message;
    bool textTaken = false;
    bool htmlTaken = false;
    std::vector<Embedded> embeddedMessages;
};

} // namespace

ParsedMessage ParseMessage(std::string_view raw)
{
    ParsedMessage message;
    std::string_view headerBlock;
    std::string_view body;
    SplitEntity(raw, headerBlock, body);
    const std::vector<MailHeader> headers = ParseHeaders(headerBlock);

    message.rawFrom = FindHeader(headers, "from");
    message.rawTo = FindHeader(headers, "to");
    message.rawCc = FindHeader(headers, "cc");
    message.from = DecodeForDisplay(message.rawFrom);
    message.to = DecodeForDisplay(message.rawTo);
    message.cc = DecodeForDisplay(message.rawCc);
    message.subject = DecodeForDisplay(FindHeader(headers, "subject"));
    message.messageId = FindHeader(headers, "message-id");
    message.inReplyTo = FindHeader(headers, "in-reply-to");
    message.references = FindHeader(headers, "references");
    message.date = ParseDate(FindHeader(headers, "date"));

    EntityWalker walker(message);
    walker.WalkWithHeaders(headers, body, 0, EntityWalker::kPlainText);
    walker.JoinEmbedded();
    return message;
}

} // namespace postern
