#include "ui/PageSizeLimit.h"

namespace postern {

void LimitPageSize(std::u16string& page)
{
    if (page.size() <= kMaxPageUnits)
        return;
    std::size_t cut = kMaxPageUnits;
    const char16_t last = page[cut - 1];
    if (last >= 0xD800 && last <= 0xDBFF)
        --cut; // a high surrogate without its low half would show as U+FFFD
    page.resize(cut);
    page += u"<p style='color:#d05c5c'>[message truncated by Postern]</p>";
}

} // namespace postern
