// The header helpers on arbitrary bytes: ParseHeaders, DecodeEncodedWords,
// HeaderParam, DisplayName, ExtractAddresses and the header summary.
#include "mail/MimeParser.h"
#include "mail/SmtpClient.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view block(reinterpret_cast<const char*>(data), size);
    for (const postern::MailHeader& header : postern::ParseHeaders(block)) {
        if (header.name.empty() || header.value.size() > size)
            std::abort();
        for (char c : header.name) {
            if (c >= 'A' && c <= 'Z')
                std::abort();
        }
        (void)postern::DecodeEncodedWords(header.value);
        (void)postern::HeaderParam(header.value, "charset");
        (void)postern::HeaderParam(header.value, "name");
        (void)postern::DisplayName(header.value);
        for (const std::string& address : postern::ExtractAddresses(header.value)) {
            if (address.find('@') == std::string::npos)
                std::abort();
        }
    }
    (void)postern::DecodeEncodedWords(block);
    (void)postern::HeaderParam(block, "boundary");
    (void)postern::ParseHeaderSummary(block);
    return 0;
}
