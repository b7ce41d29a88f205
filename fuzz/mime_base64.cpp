// The Base64 decoders on arbitrary bytes: the lenient body decoder and the
// strict shared one must agree wherever the strict one succeeds, and the
// writer's Base64 lines must decode back to the bytes.
#include "mail/Base64.h"
#include "mail/MessageBuilder.h"
#include "mail/MimeParser.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const std::string lenient = postern::DecodeTransfer(bytes, "base64");
    if (lenient.size() > size / 4 * 3 + 3)
        std::abort();
    const std::string strict = postern::Base64Decode(bytes);
    if (!strict.empty() && strict != lenient)
        std::abort();

    if (postern::DecodeBase64Body(postern::Base64Encode(bytes)) != bytes)
        std::abort();
    return 0;
}
