#include "platform/win32/PemCertificates_win.h"

#include <windows.h>
#include <wincrypt.h>

#include <climits>

namespace postern {

namespace {

constexpr std::string_view kBegin = "-----BEGIN CERTIFICATE-----";
constexpr std::string_view kEnd = "-----END CERTIFICATE-----";

bool DecodeBlock(std::string_view block, std::string& der)
{
    if (block.size() > static_cast<std::size_t>(ULONG_MAX))
        return false;
    const DWORD length = static_cast<DWORD>(block.size());
    DWORD size = 0;
    if (!CryptStringToBinaryA(block.data(), length, CRYPT_STRING_BASE64HEADER, nullptr, &size,
                              nullptr, nullptr) ||
        size == 0)
        return false;
    der.assign(size, '\0');
    if (!CryptStringToBinaryA(block.data(), length, CRYPT_STRING_BASE64HEADER,
                              reinterpret_cast<BYTE*>(der.data()), &size, nullptr, nullptr))
        return false;
    der.resize(size);
    return true;
}

} // namespace

bool DecodePemCertificates(std::string_view pem, std::vector<std::string>& der, std::string& error)
{
    der.clear();
    std::size_t position = 0;
    // Each turn consumes one block, so the loop ends at the text's end.
    while (true) {
        const std::size_t begin = pem.find(kBegin, position);
        if (begin == std::string_view::npos)
            break;
        const std::size_t end = pem.find(kEnd, begin + kBegin.size());
        if (end == std::string_view::npos) {
            error = "trust anchor " + std::to_string(der.size() + 1) + " has no END line";
            return false;
        }
        position = end + kEnd.size();
        std::string certificate;
        if (!DecodeBlock(pem.substr(begin, position - begin), certificate)) {
            error = "trust anchor " + std::to_string(der.size() + 1) + " is not valid Base64";
            return false;
        }
        der.push_back(std::move(certificate));
    }
    if (der.empty()) {
        error = "no PEM certificate among the trust anchors";
        return false;
    }
    return true;
}

} // namespace postern
