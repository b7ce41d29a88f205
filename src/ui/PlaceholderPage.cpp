#include "ui/PlaceholderPage.h"

namespace postern {

std::u16string PlaceholderPage(std::u16string_view text)
{
    std::u16string page =
        u"<!doctype html><html><head><meta charset='utf-8'></head><body style=\"background:#14161a;"
        u"color:#5c636e;font:15px 'Segoe UI',sans-serif;display:flex;align-items:center;"
        u"justify-content:center;height:95vh;margin:0\">";
    page += text;
    page += u"</body></html>";
    return page;
}

} // namespace postern
