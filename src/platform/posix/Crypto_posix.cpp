// Random bytes and SHA-256 from OpenSSL.
#include "platform/Crypto.h"

#include <openssl/evp.h>
#include <openssl/rand.h>

#include <climits>

namespace postern {

bool RandomBytes(std::size_t count, std::string& out)
{
    if (count > static_cast<std::size_t>(INT_MAX))
        return false;
    std::string bytes(count, '\0');
    if (count > 0 &&
        RAND_bytes(reinterpret_cast<unsigned char*>(bytes.data()), static_cast<int>(count)) != 1)
        return false;
    out = std::move(bytes);
    return true;
}

std::string Sha256(std::string_view data)
{
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (EVP_Digest(data.data(), data.size(), digest, &length, EVP_sha256(), nullptr) != 1)
        return std::string();
    return std::string(reinterpret_cast<const char*>(digest), length);
}

} // namespace postern
