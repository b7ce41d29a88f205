// The server certificate check that follows every TLS handshake: chain
// building to a trusted root (the machine's, or one of the extra trust
// anchors) for server authentication, the SSL policy, then the host name
// against the certificate's subjectAltName entries.
#pragma once

#include "platform/CertificateNames.h"

#include <windows.h>
#include <wincrypt.h>

#include <string>

namespace postern {

// True when certificate (with the certificates the server sent in its store)
// chains to a trusted root and names host in a subjectAltName entry. Otherwise error is
// "TLS handshake failed 0x%08lx (certificate or protocol error)" with the
// policy's or the chain's CERT_E_/TRUST_E_ code, or a text about unusable
// trust anchors.
[[nodiscard]] bool VerifyServerCertificate(const CERT_CONTEXT* certificate, const std::string& host,
                                           std::string& error);

// The names a certificate's subjectAltName lists (for the HTTPS client,
// whose chain WinHTTP checks).
[[nodiscard]] CertificateNames ReadCertificateNames(const CERT_CONTEXT* certificate);

// The handshake failure text for a status or certificate error code.
[[nodiscard]] std::string HandshakeFailureText(unsigned long code);

} // namespace postern
