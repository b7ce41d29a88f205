// Standard Base64 (RFC 4648 alphabet, "=" padding), shared by the settings
// file, the MIME reader and writer, SMTP and IMAP sign-in and the message page.
#pragma once

#include <string>
#include <string_view>

namespace postern {

// One line, no line breaks; empty for empty input.
[[nodiscard]] std::string Base64Encode(std::string_view bytes);

// Skips line breaks, spaces and tabs; padding may be missing. Any other
// byte outside the alphabet, or data after the padding, makes the whole input
// undecodable: the result is then empty.
[[nodiscard]] std::string Base64Decode(std::string_view text);

} // namespace postern
