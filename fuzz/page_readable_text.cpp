// Fuzzes HTML mail read as text: whatever the page, every link lies inside
// the text, and the text is never more than three times the page (a list bullet
// or an ordered item's number is the most a few bytes can add).
#include "ui/BrowserPolicy.h"
#include "ui/HtmlToText.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view html(reinterpret_cast<const char*>(data), size);
    const postern::ReadableText readable = postern::HtmlToText(html);
    for (const postern::TextLink& link : readable.links) {
        if (link.start + link.length > readable.text.size() || link.length == 0)
            std::abort();
        // The click goes through the same rule as the browser's links.
        (void)postern::NavigationAction(link.target, true, false);
    }
    if (readable.text.size() > 3 * size + 16)
        std::abort();
    (void)postern::ResourceAllowed(html, postern::ResourceKind::image);
    return 0;
}
