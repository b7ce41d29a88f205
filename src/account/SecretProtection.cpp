#include "account/SecretProtection.h"

#include "mail/Base64.h"
#include "platform/Secrets.h"

namespace postern {

std::string ProtectSecret(std::string_view plain)
{
    if (plain.empty())
        return {};
    std::string blob;
    if (!ProtectBytes(plain, blob) || blob.empty())
        return {};
    return Base64Encode(blob);
}

std::string UnprotectSecret(std::string_view protectedText)
{
    if (protectedText.empty())
        return {};
    const std::string blob = Base64Decode(protectedText);
    if (blob.empty())
        return {};
    std::string plain;
    if (!UnprotectBytes(blob, plain))
        return {};
    return plain;
}

} // namespace postern
