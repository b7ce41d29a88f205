// Cryptographic random bytes and SHA-256 from the platform's provider.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace postern {

// Fills out with count random bytes; false when the generator fails.
[[nodiscard]] bool RandomBytes(std::size_t count, std::string& out);

// The 32-byte SHA-256 digest of data.
[[nodiscard]] std::string Sha256(std::string_view data);

} // namespace postern
