// The cap on the size of a page handed to the browser. Inline images travel
// inside the page as data: URIs, so one large attachment can make a page of
// many megabytes, beyond what the browser accepts through string navigation.
#pragma once

#include <cstddef>
#include <string>

namespace postern {

inline constexpr std::size_t kMaxPageUnits = 1'500'000;
// The browser's string navigation refuses pages over 2 MiB, counted in
// UTF-8: a page of CJK text reaches that well below kMaxPageUnits.
inline constexpr std::size_t kMaxPageBytes = 2 * 1024 * 1024;

// Cuts a page longer than kMaxPageUnits code units, or larger than
// kMaxPageBytes in UTF-8 with the note, and appends a red note saying so.
// A surrogate pair is never split. No attempt is made to cut at a tag
// boundary: the browser copes with the open tags.
void LimitPageSize(std::u16string& page);

// What the reading pane shows when the browser refuses a page after all:
// the truncation note alone.
[[nodiscard]] std::u16string TruncatedPage();

} // namespace postern
