// Whether a server certificate is issued for the host we connected to. Both
// TLS backends read the certificate's subjectAltName entries and decide here,
// so they accept and refuse exactly the same certificates.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace postern {

// The subjectAltName entries of a certificate that can name a server.
struct CertificateNames {
    std::vector<std::string> dnsNames;    // as written (IA5String bytes)
    std::vector<std::string> ipAddresses; // 4 or 16 bytes, network order
};

// True when host, a DNS name or an IPv4/IPv6 literal (brackets allowed), is
// named by names. Only subjectAltName entries count, never the subject's
// common name: a certificate without a DNS or IP entry names no host. An
// address matches IP entries only, byte for byte; a DNS name matches DNS
// entries only, in any letter case, where "*" may stand for the whole
// leftmost label of a name with at least three labels ("*.example.com").
[[nodiscard]] bool CertificateNamesHost(const CertificateNames& names, std::string_view host);

// The 4 or 16 bytes of an IPv4 ("192.0.2.1", no leading zeros) or IPv6
// ("2001:db8::1", "::ffff:192.0.2.1") literal; false for anything else,
// including zone suffixes ("fe80::1%eth0").
[[nodiscard]] bool ParseIpLiteral(std::string_view text, std::string& bytes);

} // namespace postern
