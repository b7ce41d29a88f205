// The cap on the size of a page handed to the browser. Inline images travel
// inside the page as data: URIs, so one large attachment can make a page of
// many megabytes, beyond what the browser accepts through string navigation.
#pragma once

#include <cstddef>
#include <string>

namespace postern {

inline constexpr std::size_t kMaxPageUnits = 1'500'000;

// Cuts a longer page after kMaxPageUnits code units (one less when the cut
// would split a surrogate pair) and appends a red note saying so. No attempt
// is made to cut at a tag boundary: the browser copes with the open tags.
void LimitPageSize(std::u16string& page);

} // namespace postern
