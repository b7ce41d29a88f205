#include "platform/TrustAnchors.h"

namespace postern {

namespace {
std::string& Anchors()
{
    static std::string anchors;
    return anchors;
}
} // namespace

void SetExtraTrustAnchors(std::string pem)
{
    Anchors() = std::move(pem);
}

const std::string& ExtraTrustAnchors()
{
    return Anchors();
}

} // namespace postern
