// The quoted-printable decoder on arbitrary bytes in both modes, and the
// encoder's output decoding back to its input (line ends made CR LF).
#include "mail/MessageBuilder.h"
#include "mail/MimeParser.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    if (postern::DecodeQuotedPrintable(text, false).size() > size
        || postern::DecodeQuotedPrintable(text, true).size() > size)
        std::abort();

    std::string expected;
    for (char c : text) {
        if (c == '\r')
            continue;
        if (c == '\n')
            expected += "\r\n";
        else
            expected.push_back(c);
    }
    const std::string encoded = postern::EncodeQuotedPrintable(text);
    if (postern::DecodeQuotedPrintable(encoded, false) != expected)
        std::abort();
    return 0;
}
