#include "ui/DefuseScripts.h"

#include "ui/DefuseAttributes.h"

namespace postern {

namespace {

bool IsScriptTagAt(std::string_view html, std::size_t pos)
{
    constexpr std::string_view kTag = "<script";
    if (html.size() - pos < kTag.size())
        return false;
    for (std::size_t i = 0; i < kTag.size(); ++i) {
        char c = html[pos + i];
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
        if (c != kTag[i])
            return false;
    }
    return true;
}

} // namespace

std::string DefuseScripts(std::string_view html)
{
    // One pass that copies as it goes: replacing in place would move the
    // tail of a large body once for every script tag in it.
    std::string out;
    out.reserve(html.size());
    std::size_t copied = 0;
    std::size_t pos = html.find('<');
    while (pos != std::string_view::npos) {
        if (IsScriptTagAt(html, pos)) {
            out.append(html.substr(copied, pos - copied));
            out += "&lt;script";
            copied = pos + 7;
            pos = html.find('<', copied);
        } else {
            pos = html.find('<', pos + 1);
        }
    }
    out.append(html.substr(copied));
    return DefuseAttributes(out);
}

} // namespace postern
