#include "mail/ImapListParser.h"

#include "mail/ImapText.h"

#include <string_view>

namespace postern {

namespace {

// Reads one token of a LIST line: a quoted string (backslash takes the next
// byte as it is), a literal (the next literal not yet taken), or a run of
// bytes up to a space. Empty at the end of the line.
std::string NextToken(const ImapResponse& response, size_t& at, size_t& literalIndex)
{
    const std::string& line = response.line;
    while (at < line.size() && line[at] == ' ')
        ++at;
    std::string token;
    if (at >= line.size())
        return token;
    if (line[at] == '"') {
        ++at;
        while (at < line.size() && line[at] != '"') {
            if (line[at] == '\\' && at + 1 < line.size())
                ++at;
            token.push_back(line[at]);
            ++at;
        }
        if (at < line.size())
            ++at; // the closing quote
        return token;
    }
    if (line[at] == '{') {
        const size_t close = line.find('}', at);
        at = close == std::string::npos ? line.size() : close + 1;
        if (literalIndex < response.literals.size())
            token = response.literals[literalIndex++];
        return token;
    }
    const size_t end = line.find(' ', at);
    const size_t stop = end == std::string::npos ? line.size() : end;
    token = line.substr(at, stop - at);
    at = stop;
    return token;
}

bool Contains(std::string_view text, std::string_view needle)
{
    return text.find(needle) != std::string_view::npos;
}

bool OneOf(std::string_view leaf, std::initializer_list<std::string_view> names)
{
    for (std::string_view name : names) {
        if (leaf == name)
            return true;
    }
    return false;
}

} // namespace

bool ParseListResponse(const ImapResponse& response, FolderInfo& folder)
{
    const std::string& line = response.line;
    if (!StartsWithIgnoringAsciiCase(line, "* LIST "))
        return false;
    const size_t open = line.find('(');
    if (open == std::string::npos)
        return false;
    const size_t close = line.find(')', open);
    if (close == std::string::npos)
        return false;
    const std::string attributes = ToLowerAscii(std::string_view(line).substr(open + 1, close - open - 1));

    // Literals before the attribute list cannot exist in a LIST line, so
    // the first literal is the delimiter's or the name's.
    size_t literalIndex = 0;
    size_t at = close + 1;
    const std::string delimiter = NextToken(response, at, literalIndex);
    std::string name = NextToken(response, at, literalIndex);
    if (name.empty())
        return false;

    FolderInfo out;
    // Servers with a flat namespace send NIL as the delimiter.
    out.delimiter = (delimiter.empty() || delimiter == "NIL") ? '/' : delimiter[0];
    out.noSelect = Contains(attributes, "\\noselect") || Contains(attributes, "\\nonexistent");

    const std::string lower = ToLowerAscii(name);
    const size_t cut = lower.rfind(out.delimiter);
    const std::string_view leaf =
        cut == std::string::npos ? std::string_view(lower) : std::string_view(lower).substr(cut + 1);

    out.isInbox = lower == "inbox";
    out.isSent = Contains(attributes, "\\sent") ||
                 OneOf(leaf, {"sent", "sent mail", "sent messages", "sent items"});
    out.isTrash = Contains(attributes, "\\trash") ||
                  OneOf(leaf, {"trash", "deleted", "deleted items", "bin"});
    out.isDrafts = Contains(attributes, "\\drafts") || leaf == "drafts";
    out.isJunk = Contains(attributes, "\\junk") || OneOf(leaf, {"junk", "spam"});
    out.isArchive = Contains(attributes, "\\archive") || OneOf(leaf, {"archive", "all mail"});
    out.name = std::move(name);
    folder = std::move(out);
    return true;
}

} // namespace postern
