// Secrets as they are stored in the settings file: the platform's per-user
// protection (DPAPI on Windows) wrapped in one line of Base64.
#pragma once

#include <string>
#include <string_view>

namespace postern {

// Empty for empty text and on any failure.
[[nodiscard]] std::string ProtectSecret(std::string_view plain);

// Empty for empty text, undecodable Base64, or a blob this user cannot open
// (made by another user or machine, or damaged).
[[nodiscard]] std::string UnprotectSecret(std::string_view protectedText);

} // namespace postern
