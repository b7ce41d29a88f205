#include "ui/Linkify.h"

namespace postern {

namespace {

bool StartsWith(std::string_view text, std::size_t pos, std::string_view prefix)
{
    return text.size() - pos >= prefix.size() && text.compare(pos, prefix.size(), prefix) == 0;
}

// The end of the URL that starts at `start`.
std::size_t UrlEnd(std::string_view text, std::size_t start)
{
    std::size_t end = start;
    while (end < text.size()) {
        const unsigned char c = static_cast<unsigned char>(text[end]);
        if (c <= 0x20 || c == '"' || c == '<')
            break;
        // The text is escaped: "&lt;" and "&gt;" stand for the angle brackets
        // that mail puts around URLs, and they are never part of one.
        if (c == '&' && (StartsWith(text, end, "&lt;") || StartsWith(text, end, "&gt;")))
            break;
        ++end;
    }
    while (end > start) {
        const char last = text[end - 1];
        if (last == ';' && end - start >= 5 && text.compare(end - 5, 5, "&amp;") == 0)
            break; // cutting the entity would leave "&amp" in the link and a stray ";"
        if (last != '.' && last != ',' && last != ')' && last != ';')
            break;
        --end;
    }
    return end;
}

} // namespace

std::string LinkifyText(std::string_view escaped)
{
    std::string out;
    out.reserve(escaped.size() + escaped.size() / 8);
    std::size_t pos = 0;
    while (pos < escaped.size()) {
        const std::size_t hit = escaped.find("http", pos);
        if (hit == std::string_view::npos) {
            out.append(escaped.substr(pos));
            break;
        }
        if (!StartsWith(escaped, hit, "http://") && !StartsWith(escaped, hit, "https://")) {
            out.append(escaped.substr(pos, hit + 4 - pos));
            pos = hit + 4;
            continue;
        }
        out.append(escaped.substr(pos, hit - pos));
        const std::size_t end = UrlEnd(escaped, hit);
        const std::string_view link = escaped.substr(hit, end - hit);
        out += "<a href=\"";
        out.append(link);
        out += "\">";
        out.append(link);
        out += "</a>";
        pos = end;
    }
    return out;
}

} // namespace postern
