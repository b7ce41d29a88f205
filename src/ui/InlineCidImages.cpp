#include "ui/InlineCidImages.h"

#include "mail/Base64.h"

namespace postern {

namespace {

// Replaces every occurrence of `from` by `to`; copies only when it occurs.
void ReplaceAll(std::string& text, const std::string& from, const std::string& to)
{
    std::size_t hit = text.find(from);
    if (hit == std::string::npos)
        return;
    std::string out;
    out.reserve(text.size() + to.size());
    std::size_t copied = 0;
    while (hit != std::string::npos) {
        out.append(text, copied, hit - copied);
        out += to;
        copied = hit + from.size();
        hit = text.find(from, copied);
    }
    out.append(text, copied, std::string::npos);
    text = std::move(out);
}

// The media type goes into an attribute value; a type the parser let through
// with a quote, space or angle bracket in it could close the attribute and
// add markup, so anything beyond the characters of real media types is
// declared as opaque data instead.
std::string MediaTypeForUri(const std::string& contentType)
{
    if (contentType.empty())
        return "image/png";
    for (const char c : contentType) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')
                           || std::string_view("!#$&^_.+-/").find(c) != std::string_view::npos;
        if (!plain)
            return "application/octet-stream";
    }
    return contentType;
}

} // namespace

std::string InlineCidImages(std::string_view html, const std::vector<MimePart>& parts)
{
    std::string out(html);
    for (const MimePart& part : parts) {
        if (part.contentId.empty())
            continue;
        const std::string needle = "cid:" + part.contentId;
        if (out.find(needle) == std::string::npos)
            continue; // not referenced: skip encoding a possibly large part
        const std::string uri = "data:" + MediaTypeForUri(part.contentType) + ";base64," + Base64Encode(part.data);
        ReplaceAll(out, '"' + needle + '"', '"' + uri + '"');
        ReplaceAll(out, '\'' + needle + '\'', '\'' + uri + '\'');
    }
    return out;
}

} // namespace postern
