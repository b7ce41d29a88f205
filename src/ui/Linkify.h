// Links in plain-text mail: every "http://" or "https://" URL of the already
// escaped text becomes an <a> element with the URL as its text.
#pragma once

#include <string>
#include <string_view>

namespace postern {

// `escaped` is the output of EscapeHtml. A URL ends at a space, a control
// byte, a double quote or an escaped angle bracket (so "<https://x>" keeps
// its brackets outside the link); trailing full stops, commas, closing
// parentheses and semicolons are sentence punctuation and stay outside,
// except the semicolon that closes an "&amp;" entity.
[[nodiscard]] std::string LinkifyText(std::string_view escaped);

} // namespace postern
