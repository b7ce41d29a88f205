// Per-user protection of secrets: DPAPI on Windows; elsewhere AES-256-GCM
// under a key file readable only by the user. Blobs are opaque bytes; a blob
// made by another user, machine or key, or a damaged one, does not open.
#pragma once

#include <string>
#include <string_view>

namespace postern {

[[nodiscard]] bool ProtectBytes(std::string_view plain, std::string& blob);
[[nodiscard]] bool UnprotectBytes(std::string_view blob, std::string& plain);

} // namespace postern
