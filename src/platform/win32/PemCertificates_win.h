// Decoding the PEM text of the extra trust anchors into certificates.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace postern {

// Every "CERTIFICATE" block of pem as DER bytes, in text order. False with an
// error text when a block cannot be decoded or when there is none at all: an
// anchor set that silently trusts nothing would only surface later as a
// puzzling certificate failure.
[[nodiscard]] bool DecodePemCertificates(std::string_view pem, std::vector<std::string>& der,
                                         std::string& error);

} // namespace postern
