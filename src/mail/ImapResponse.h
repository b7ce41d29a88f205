// ImapResponse: one server response as read, with its literals cut out.
#pragma once

#include <string>
#include <vector>

namespace postern {

struct ImapResponse {
    // The response without CR LF. Where the server sent a literal the text
    // keeps its size marker ("{42}") and goes straight on with what followed
    // the literal.
    std::string line;
    std::vector<std::string> literals; // payloads in order of appearance
};

} // namespace postern
