#include "cli/TrustOption.h"

#include "platform/Files.h"
#include "platform/TrustAnchors.h"

namespace postern::cli {

bool TrustOption::Accepts(const Arguments& args, std::size_t& index)
{
    if (args[index] != "--ca" || index + 1 >= args.size())
        return false;
    caFile = args[++index];
    return true;
}

bool TrustOption::Apply(std::string& error) const
{
    if (caFile.empty())
        return true;
    std::string pem;
    if (!ReadWholeFile(PathFromUtf8(caFile), pem, error)) {
        error = "--ca: " + error;
        return false;
    }
    if (pem.find("-----BEGIN CERTIFICATE-----") == std::string::npos) {
        error = "--ca: " + caFile + " holds no PEM certificate";
        return false;
    }
    SetExtraTrustAnchors(std::move(pem));
    return true;
}

bool ParsePort(const std::string& text, uint32_t& port)
{
    if (text.empty() || text.size() > 5)
        return false;
    uint32_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return false;
        value = value * 10 + static_cast<uint32_t>(c - '0');
    }
    if (value == 0 || value > 65535)
        return false;
    port = value;
    return true;
}

} // namespace postern::cli
