// Handing a URL to the user's default browser.
#pragma once

#include <string>

namespace postern {

[[nodiscard]] bool OpenUrl(const std::string& url, std::string& error);

} // namespace postern
