// The page shown while a message or conversation loads: one dim centred line
// on the dark background, so the reading pane never flashes white.
#pragma once

#include <string>
#include <string_view>

namespace postern {

// `text` is inserted as it is: callers pass fixed texts of the program.
[[nodiscard]] std::u16string PlaceholderPage(std::u16string_view text);

} // namespace postern
