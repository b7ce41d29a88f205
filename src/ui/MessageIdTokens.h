// The message IDs named in an In-Reply-To or References value. Both headers
// are often malformed in the wild (missing brackets, comments, stray text),
// so instead of parsing their grammar we take every "<...>" stretch as one
// ID, brackets included, exactly as it is compared with Message-ID values.
#pragma once

#include <string_view>
#include <vector>

namespace postern {

// Calls visit(token) for every substring from a '<' to the next '>' after
// it, in order; text outside such stretches is ignored and a '<' without a
// later '>' ends the scan. The views point into `value`. visit returns true
// to go on, false to stop.
template <typename Visit>
void ForEachMessageIdToken(std::string_view value, Visit visit)
{
    std::size_t pos = 0;
    while (pos < value.size()) {
        const std::size_t open = value.find('<', pos);
        if (open == std::string_view::npos)
            return;
        const std::size_t close = value.find('>', open + 1);
        if (close == std::string_view::npos)
            return;
        if (!visit(value.substr(open, close - open + 1)))
            return;
        pos = close + 1;
    }
}

// The same tokens as a list.
[[nodiscard]] std::vector<std::string_view> MessageIdTokens(std::string_view value);

} // namespace postern
