// Which URLs may be handed to the system to open. Both backends pass the URL
// to something that runs whatever it names (ShellExecute, xdg-open), and the
// URL often comes from a link in a received message, so only web and mail
// addresses get through, whole and unambiguous.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace postern {

// Longer than any link a person clicks or a sign-in page needs; a longer one
// is more likely an attack on whatever parses it next.
inline constexpr std::size_t kMaxOpenableUrl = 8192;

// True for "http:", "https:" and "mailto:" URLs (any letter case) with
// something after the scheme, no control bytes (below 0x20 and 0x7F) and no
// space at either end. Otherwise false with the reason in error.
[[nodiscard]] bool CheckOpenableUrl(std::string_view url, std::string& error);

} // namespace postern
