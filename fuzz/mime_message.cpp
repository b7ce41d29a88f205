// ParseMessage on arbitrary bytes: no crash, no unbounded work, and results
// that hold together.
#include "mail/MimeParser.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view raw(reinterpret_cast<const char*>(data), size);
    const postern::ParsedMessage message = postern::ParseMessage(raw);
    // Decoding never makes data bigger than the input, except charset
    // conversion of the bodies (at most 3 UTF-8 bytes per input byte). An
    // embedded message is kept whole besides its leaves: a byte is in at most
    // one leaf and in the message/rfc822 part of each of the (at most eleven)
    // embedded messages around it.
    std::size_t leafBytes = 0;
    std::size_t embeddedBytes = 0;
    for (const postern::MimePart& part : message.parts)
        (part.contentType == "message/rfc822" ? embeddedBytes : leafBytes) += part.data.size();
    if (leafBytes > size || embeddedBytes > 11 * size || message.textBody.size() > 3 * size + 3
        || message.htmlBody.size() > 3 * size + 3 || message.date < 0)
        std::abort();
    return 0;
}
