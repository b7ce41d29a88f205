// RFC 5322 header blocks: unfolding, lookup, Content-Type parameters, the
// summary the message list needs, and display names.
#include "mail/MimeParser.h"

#include "mail/AddressList.h"

#include <cstring>

namespace postern {

namespace {

// Everything up to and including the space counts as white space here:
// servers and old clients leave stray control bytes around header values.
bool IsHeaderSpace(char c)
{
    return static_cast<unsigned char>(c) <= 0x20;
}

std::string_view TrimHeaderSpace(std::string_view text)
{
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && IsHeaderSpace(text[begin]))
        ++begin;
    while (end > begin && IsHeaderSpace(text[end - 1]))
        --end;
    return text.substr(begin, end - begin);
}

char AsciiLower(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

void CompleteField(std::vector<MailHeader>& headers, std::string& name, std::string& value,
                   bool& current)
{
    if (current && !name.empty())
        headers.push_back(MailHeader{name, std::string(TrimHeaderSpace(value))});
    name.clear();
    value.clear();
    current = false;
}

} // namespace

std::vector<MailHeader> ParseHeaders(std::string_view block)
{
    std::vector<MailHeader> headers;
    std::string name;
    std::string value;
    bool current = false;
    std::size_t pos = 0;
    while (pos < block.size()) {
        const void* found = std::memchr(block.data() + pos, '\n', block.size() - pos);
        const std::size_t end =
            found ? static_cast<std::size_t>(static_cast<const char*>(found) - block.data())
                  : block.size();
        std::string_view line = block.substr(pos, end - pos);
        pos = end + 1;
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (line.empty())
            break;
        if (line[0] == ' ' || line[0] == '\t') {
            if (current) {
                value.push_back(' ');
                value.append(TrimHeaderSpace(line));
            }
            continue;
        }
        CompleteField(headers, name, value, current);
        const std::size_t colon = line.find(':');
        if (colon == std::string_view::npos)
            continue;
        name.assign(line.substr(0, colon));
        for (char& c : name)
            c = AsciiLower(c);
        value.assign(TrimHeaderSpace(line.substr(colon + 1)));
        current = true;
    }
    CompleteField(headers, name, value, current);
    return headers;
}

std::string FindHeader(const std::vector<MailHeader>& headers, std::string_view name)
{
    for (const MailHeader& header : headers) {
        if (header.name == name)
            return header.value;
    }
    return {};
}

std::string HeaderParam(std::string_view value, std::string_view name)
{
    std::string lower(value);
    for (char& c : lower)
        c = AsciiLower(c);
    std::string key(name);
    for (char& c : key)
        c = AsciiLower(c);
    key.push_back('=');

    std::size_t at = 0;
    for (;;) {
        at = lower.find(key, at);
        if (at == std::string::npos)
            return {};
        // "filename=" must not answer a search for "name=".
        if (at == 0 || lower[at - 1] == ';' || lower[at - 1] == ' ' || lower[at - 1] == '\t')
            break;
        at += 1;
    }
    const std::size_t start = at + key.size();
    if (start < value.size() && value[start] == '"') {
        const std::size_t close = value.find('"', start + 1);
        if (close == std::string_view::npos)
            return {};
        return std::string(value.substr(start + 1, close - start - 1));
    }
    const std::size_t stop = value.find_first_of("; \t", start);
    return std::string(value.substr(start, stop == std::string_view::npos ? std::string_view::npos
                                                                          : stop - start));
}

HeaderSummary ParseHeaderSummary(std::string_view headerBlock)
{
    const std::vector<MailHeader> headers = ParseHeaders(headerBlock);
    HeaderSummary summary;
    const std::string from = FindHeader(headers, "from");
    summary.from = DecodeForDisplay(from);
    const std::vector<MailAddress> addresses = SplitAddressList(from);
    if (!addresses.empty())
        summary.fromAddress = addresses.front().address;
    summary.subject = DecodeForDisplay(FindHeader(headers, "subject"));
    summary.date = ParseDate(FindHeader(headers, "date"));
    summary.messageId = FindHeader(headers, "message-id");
    summary.inReplyTo = FindHeader(headers, "in-reply-to");
    summary.references = FindHeader(headers, "references");
    return summary;
}

std::string DisplayName(std::string_view address)
{
    const std::string_view text = TrimHeaderSpace(address);
    const std::size_t open = text.find('<');
    if (open == std::string_view::npos)
        return std::string(text);
    std::string_view name = TrimHeaderSpace(text.substr(0, open));
    if (!name.empty()) {
        if (name.size() >= 2 && name.front() == '"' && name.back() == '"')
            name = name.substr(1, name.size() - 2);
        return std::string(name);
    }
    const std::size_t close = text.find('>', open + 1);
    return std::string(text.substr(open + 1, close == std::string_view::npos
                                                 ? std::string_view::npos
                                                 : close - open - 1));
}

} // namespace postern
