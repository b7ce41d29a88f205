// ParseDate on arbitrary text: never negative, never beyond year 3000, and
// a date it writes itself reads back exactly.
#include "mail/MessageBuilder.h"
#include "mail/MimeParser.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const int64_t time = postern::ParseDate(text);
    if (time < 0 || time > 32535215999)
        std::abort();
    if (time > 0 && postern::ParseDate(postern::FormatMessageDate(time)) != time)
        std::abort();
    return 0;
}
