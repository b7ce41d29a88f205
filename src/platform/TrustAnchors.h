// Extra root certificates trusted beside the system's: the seam through which
// a private CA (a test CA, or `postern-cli --ca FILE`) is accepted without
// changing machine state. The program itself never sets any. Set it once,
// before the first connection, and not while connections are being made.
#pragma once

#include <string>

namespace postern {

// PEM text with one or more certificates; empty clears.
void SetExtraTrustAnchors(std::string pem);
[[nodiscard]] const std::string& ExtraTrustAnchors();

} // namespace postern
