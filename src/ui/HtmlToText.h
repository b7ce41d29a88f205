// HTML mail as readable text, for the reading pane when no browser can show
// it: paragraphs, line breaks, list items and table cells kept as text
// layout; scripts, styles and the head dropped; entities decoded; and every
// link kept with its real target, so that a click can go through the same
// rule as the browser's links and the reader sees where it leads.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace postern {

// A link in the text: the UTF-16 units [start, start + length) are
// clickable and lead to `target`.
struct TextLink {
    std::size_t start = 0;
    std::size_t length = 0;
    std::string target; // UTF-8, as the page gave it
};

struct ReadableText {
    std::u16string text;
    std::vector<TextLink> links;
};

// `html` is UTF-8. Runs in time linear in its length, whatever it holds.
[[nodiscard]] ReadableText HtmlToText(std::string_view html);

} // namespace postern
