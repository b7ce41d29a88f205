#include "platform/win32/CertificateCheck_win.h"

#include "platform/TrustAnchors.h"
#include "platform/win32/PemCertificates_win.h"

// SECURITY_FLAG_IGNORE_UNKNOWN_CA, the SSL policy's flag, is declared with
// the HTTP client APIs.
#include <winhttp.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

namespace postern {

namespace {

struct StoreCloser {
    void operator()(void* store) const { CertCloseStore(store, 0); }
};
using StoreHandle = std::unique_ptr<void, StoreCloser>;

struct ChainFreer {
    void operator()(const CERT_CHAIN_CONTEXT* chain) const { CertFreeCertificateChain(chain); }
};
using ChainHandle = std::unique_ptr<const CERT_CHAIN_CONTEXT, ChainFreer>;

// Revocation is not asked for (as with Schannel's own validation), yet chain
// engines still report that they could not find out; that is no failure.
constexpr DWORD kRevocationUnknown =
    CERT_TRUST_REVOCATION_STATUS_UNKNOWN | CERT_TRUST_IS_OFFLINE_REVOCATION;

struct ChainErrorCode {
    DWORD statusBits;
    HRESULT code;
};

// The error code reported for the first chain status bit found, most telling
// first. Needed because Wine's SSL policy returns success for a chain that
// never reached a root (partial chain), so the bits are judged here too.
constexpr ChainErrorCode kChainErrorCodes[] = {
    {CERT_TRUST_IS_REVOKED, CRYPT_E_REVOKED},
    {CERT_TRUST_IS_NOT_SIGNATURE_VALID, TRUST_E_CERT_SIGNATURE},
    {CERT_TRUST_IS_EXPLICIT_DISTRUST, TRUST_E_EXPLICIT_DISTRUST},
    {CERT_TRUST_IS_NOT_TIME_VALID, CERT_E_EXPIRED},
    {CERT_TRUST_IS_NOT_TIME_NESTED, CERT_E_VALIDITYPERIODNESTING},
    {CERT_TRUST_IS_PARTIAL_CHAIN | CERT_TRUST_IS_CYCLIC, CERT_E_CHAINING},
    {CERT_TRUST_IS_UNTRUSTED_ROOT, CERT_E_UNTRUSTEDROOT},
    {CERT_TRUST_IS_NOT_VALID_FOR_USAGE, CERT_E_WRONG_USAGE},
    {CERT_TRUST_INVALID_BASIC_CONSTRAINTS, TRUST_E_BASIC_CONSTRAINTS},
    {CERT_TRUST_INVALID_NAME_CONSTRAINTS | CERT_TRUST_HAS_NOT_SUPPORTED_NAME_CONSTRAINT |
         CERT_TRUST_HAS_NOT_DEFINED_NAME_CONSTRAINT | CERT_TRUST_HAS_NOT_PERMITTED_NAME_CONSTRAINT |
         CERT_TRUST_HAS_EXCLUDED_NAME_CONSTRAINT,
     CERT_E_INVALID_NAME},
    {CERT_TRUST_INVALID_POLICY_CONSTRAINTS | CERT_TRUST_NO_ISSUANCE_CHAIN_POLICY,
     CERT_E_INVALID_POLICY},
    {CERT_TRUST_INVALID_EXTENSION | CERT_TRUST_HAS_NOT_SUPPORTED_CRITICAL_EXT, CERT_E_CRITICAL},
};

DWORD CodeForChainStatus(DWORD errors)
{
    for (const ChainErrorCode& entry : kChainErrorCodes) {
        if (errors & entry.statusBits)
            return static_cast<DWORD>(entry.code);
    }
    return static_cast<DWORD>(TRUST_E_FAIL);
}

bool SameEncoding(const CERT_CONTEXT* certificate, const std::string& der)
{
    return certificate->cbCertEncoded == der.size() &&
           std::memcmp(certificate->pbCertEncoded, der.data(), der.size()) == 0;
}

// The certificate the chain ends in (its root, when it reached one).
const CERT_CONTEXT* ChainTop(const CERT_CHAIN_CONTEXT& chain)
{
    if (chain.cChain == 0)
        return nullptr;
    const CERT_SIMPLE_CHAIN* last = chain.rgpChain[chain.cChain - 1];
    if (last == nullptr || last->cElement == 0)
        return nullptr;
    return last->rgpElement[last->cElement - 1]->pCertContext;
}

// The stores the chain engine searches besides the system's: the
// certificates the server sent (Schannel keeps them in the leaf's store) and
// the extra trust anchors.
bool OpenSupportStore(const CERT_CONTEXT* certificate, const std::vector<std::string>& anchors,
                      StoreHandle& collection, std::string& error)
{
    collection.reset(CertOpenStore(CERT_STORE_PROV_COLLECTION, 0, 0, 0, nullptr));
    StoreHandle anchorStore(CertOpenStore(CERT_STORE_PROV_MEMORY, 0, 0, 0, nullptr));
    if (!collection || !anchorStore) {
        error = "cannot open a certificate store";
        return false;
    }
    for (std::size_t i = 0; i < anchors.size(); ++i) {
        if (!CertAddEncodedCertificateToStore(
                anchorStore.get(), X509_ASN_ENCODING,
                reinterpret_cast<const BYTE*>(anchors[i].data()),
                static_cast<DWORD>(anchors[i].size()), CERT_STORE_ADD_ALWAYS, nullptr)) {
            error = "extra trust anchors unusable: trust anchor " + std::to_string(i + 1) +
                    " is not a certificate";
            return false;
        }
    }
    if (!CertAddStoreToCollection(collection.get(), anchorStore.get(), 0, 0) ||
        (certificate->hCertStore != nullptr &&
         !CertAddStoreToCollection(collection.get(), certificate->hCertStore, 0, 0))) {
        error = "cannot open a certificate store";
        return false;
    }
    return true;
}

} // namespace

// The subjectAltName entries of certificate; none when it has no such
// extension or a broken one.
CertificateNames ReadCertificateNames(const CERT_CONTEXT* certificate)
{
    CertificateNames names;
    const CERT_INFO* info = certificate->pCertInfo;
    const CERT_EXTENSION* extension =
        CertFindExtension(szOID_SUBJECT_ALT_NAME2, info->cExtension, info->rgExtension);
    CERT_ALT_NAME_INFO* entries = nullptr;
    DWORD size = 0;
    if (extension == nullptr ||
        !CryptDecodeObjectEx(X509_ASN_ENCODING, X509_ALTERNATE_NAME, extension->Value.pbData,
                             extension->Value.cbData, CRYPT_DECODE_ALLOC_FLAG, nullptr, &entries,
                             &size) ||
        entries == nullptr)
        return names;
    for (DWORD i = 0; i < entries->cAltEntry; ++i) {
        const CERT_ALT_NAME_ENTRY& entry = entries->rgAltEntry[i];
        if (entry.dwAltNameChoice == CERT_ALT_NAME_DNS_NAME && entry.pwszDNSName != nullptr) {
            // An IA5String: a character beyond ASCII is kept as one that
            // matches no host name rather than folded into one that might.
            std::string name;
            for (const wchar_t* c = entry.pwszDNSName; *c != L'\0'; ++c)
                name.push_back(*c < 0x80 ? static_cast<char>(*c) : '\x7f');
            names.dnsNames.push_back(std::move(name));
        } else if (entry.dwAltNameChoice == CERT_ALT_NAME_IP_ADDRESS) {
            names.ipAddresses.emplace_back(reinterpret_cast<const char*>(entry.IPAddress.pbData),
                                           entry.IPAddress.cbData);
        }
    }
    LocalFree(entries);
    return names;
}

std::string HandshakeFailureText(unsigned long code)
{
    char text[96];
    std::snprintf(text, sizeof text, "TLS handshake failed 0x%08lx (certificate or protocol error)",
                  code);
    return text;
}

bool VerifyServerCertificate(const CERT_CONTEXT* certificate, const std::string& host,
                             std::string& error)
{
    if (certificate == nullptr) {
        error = HandshakeFailureText(static_cast<DWORD>(SEC_E_CERT_UNKNOWN));
        return false;
    }
    if (host.empty() || host.find('\0') != std::string::npos) {
        error = HandshakeFailureText(static_cast<DWORD>(CERT_E_CN_NO_MATCH));
        return false;
    }

    std::vector<std::string> anchors;
    const std::string& anchorText = ExtraTrustAnchors();
    if (!anchorText.empty() && !DecodePemCertificates(anchorText, anchors, error)) {
        error = "extra trust anchors unusable: " + error;
        return false;
    }
    StoreHandle supportStore;
    if (!OpenSupportStore(certificate, anchors, supportStore, error))
        return false;

    char serverAuth[] = szOID_PKIX_KP_SERVER_AUTH;
    LPSTR usages[] = {serverAuth};
    CERT_CHAIN_PARA chainPara{};
    chainPara.cbSize = sizeof chainPara;
    chainPara.RequestedUsage.dwType = USAGE_MATCH_TYPE_AND;
    chainPara.RequestedUsage.Usage.cUsageIdentifier = 1;
    chainPara.RequestedUsage.Usage.rgpszUsageIdentifier = usages;
    const CERT_CHAIN_CONTEXT* rawChain = nullptr;
    if (!CertGetCertificateChain(nullptr, certificate, nullptr, supportStore.get(), &chainPara, 0,
                                 nullptr, &rawChain) ||
        rawChain == nullptr) {
        error = HandshakeFailureText(GetLastError());
        return false;
    }
    const ChainHandle chain(rawChain);

    DWORD chainErrors = chain->TrustStatus.dwErrorStatus & ~kRevocationUnknown;
    // A private root is accepted only when it is byte for byte one of the
    // anchors, never merely because some anchors were given.
    bool anchored = false;
    if ((chainErrors & CERT_TRUST_IS_UNTRUSTED_ROOT) && !anchors.empty()) {
        if (const CERT_CONTEXT* top = ChainTop(*chain)) {
            for (const std::string& anchor : anchors) {
                if (SameEncoding(top, anchor)) {
                    anchored = true;
                    break;
                }
            }
        }
        if (anchored)
            chainErrors &= ~static_cast<DWORD>(CERT_TRUST_IS_UNTRUSTED_ROOT);
    }

    // No server name: the policy's name check would accept a certificate by
    // its common name and (in Wine) refuse IP-address names. The check both
    // backends share follows below.
    SSL_EXTRA_CERT_CHAIN_POLICY_PARA sslPara{};
    sslPara.cbSize = sizeof sslPara;
    sslPara.dwAuthType = AUTHTYPE_SERVER;
    sslPara.fdwChecks = anchored ? SECURITY_FLAG_IGNORE_UNKNOWN_CA : 0;
    sslPara.pwszServerName = nullptr;
    CERT_CHAIN_POLICY_PARA policyPara{};
    policyPara.cbSize = sizeof policyPara;
    policyPara.pvExtraPolicyPara = &sslPara;
    CERT_CHAIN_POLICY_STATUS policyStatus{};
    policyStatus.cbSize = sizeof policyStatus;
    if (!CertVerifyCertificateChainPolicy(CERT_CHAIN_POLICY_SSL, chain.get(), &policyPara,
                                          &policyStatus)) {
        error = HandshakeFailureText(GetLastError());
        return false;
    }
    if (policyStatus.dwError != 0) {
        error = HandshakeFailureText(policyStatus.dwError);
        return false;
    }
    if (chainErrors != 0) {
        error = HandshakeFailureText(CodeForChainStatus(chainErrors));
        return false;
    }
    if (!CertificateNamesHost(ReadCertificateNames(certificate), host)) {
        error = HandshakeFailureText(static_cast<DWORD>(CERT_E_CN_NO_MATCH));
        return false;
    }
    return true;
}

} // namespace postern
