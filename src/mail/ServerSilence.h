// The text for a receive that timed out (ByteStream::Receive returned -2):
// the server is still connected but said nothing in time, which is not the
// same as a closed connection and must not read like one.
#pragma once

#include <cstdint>
#include <string>

namespace postern {

// "server did not answer within 30 s" (0.5 s, 1.25 s for parts of seconds).
[[nodiscard]] std::string ServerSilenceText(uint32_t timeoutMs);

} // namespace postern
