// Text into HTML: the three characters that could open markup or an entity
// are escaped; quotes are not, so the result belongs in element content, not
// in attribute values.
#pragma once

#include <string>
#include <string_view>

namespace postern {

[[nodiscard]] std::string EscapeHtml(std::string_view text);

} // namespace postern
