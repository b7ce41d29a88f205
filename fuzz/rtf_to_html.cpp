// Fuzzes the RTF converter. Besides ending cleanly, the output must consist of
// escaped text and the converter's own tags only: every '<' starts one of
// them, whatever the input smuggles in.
#include "compose/RtfToHtml.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string html = postern::RtfToHtml(std::string_view(reinterpret_cast<const char*>(data), size));
    constexpr std::string_view kTags[] = {"<b>", "<i>", "<u>", "</b>", "</i>", "</u>", "<br>"};
    for (size_t pos = html.find('<'); pos != std::string::npos; pos = html.find('<', pos + 1)) {
        bool known = false;
        for (const std::string_view tag : kTags)
            known = known || html.compare(pos, tag.size(), tag) == 0;
        if (!known)
            std::abort();
    }
    if (html.find('>') != std::string::npos && html.find('<') == std::string::npos)
        std::abort();
    return 0;
}
