#include "ui/PageSizeLimit.h"

#include "ui/PlaceholderPage.h"

#include <string_view>

namespace postern {

namespace {

constexpr std::u16string_view kNote = u"<p style='color:#d05c5c'>[message truncated by Postern]</p>";

bool HighSurrogate(char16_t unit)
{
    return unit >= 0xD800 && unit <= 0xDBFF;
}

bool LowSurrogate(char16_t unit)
{
    return unit >= 0xDC00 && unit <= 0xDFFF;
}

// The longest prefix of `page` within both caps (`bytes`: the UTF-8 room
// left for it), ending between two code points; page.size() when it all fits.
std::size_t CutPoint(const std::u16string& page, std::size_t bytes)
{
    std::size_t used = 0;
    std::size_t i = 0;
    while (i < page.size()) {
        const char16_t unit = page[i];
        std::size_t units = 1;
        std::size_t size = unit < 0x80 ? 1 : unit < 0x800 ? 2 : 3;
        if (HighSurrogate(unit) && i + 1 < page.size() && LowSurrogate(page[i + 1])) {
            units = 2;
            size = 4;
        }
        if (i + units > kMaxPageUnits || used + size > bytes)
            return i;
        used += size;
        i += units;
    }
    return i;
}

} // namespace

void LimitPageSize(std::u16string& page)
{
    if (CutPoint(page, kMaxPageBytes) == page.size())
        return;
    // The note is ASCII: its UTF-8 size is its length.
    page.resize(CutPoint(page, kMaxPageBytes - kNote.size()));
    page += kNote;
}

std::u16string TruncatedPage()
{
    return PlaceholderPage(kNote);
}

} // namespace postern
