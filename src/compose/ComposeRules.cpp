#include "compose/ComposeRules.h"

#include "platform/AsciiText.h"
#include "platform/Charset.h"

#include <algorithm>
#include <array>

namespace postern {

namespace {

constexpr std::array<std::string_view, 45> kBlockedExtensions = {
    "exe",    "dll", "bat", "cmd", "com", "msi", "msix", "scr", "pif", "cpl", "jar", "js",  "jse", "vbs", "vbe",
    "vb",     "ws",  "wsf", "wsh", "ps1", "hta", "chm",  "lnk", "reg", "inf", "ins", "isp", "app", "apk", "appx",
    "gadget", "msc", "msp", "mst", "sct", "shb", "sys",  "vxd", "cab", "iso", "img", "dmg", "ade", "adp", "mde",
};

bool Blank(char16_t c)
{
    return c == u' ' || c == u'\t';
}

} // namespace

std::u16string CompletionToken(std::u16string_view field)
{
    const size_t comma = field.rfind(u',');
    std::u16string_view token = comma == std::u16string_view::npos ? field : field.substr(comma + 1);
    while (!token.empty() && Blank(token.front()))
        token.remove_prefix(1);
    while (!token.empty() && Blank(token.back()))
        token.remove_suffix(1);
    return std::u16string(token);
}

std::u16string AcceptCompletion(std::u16string_view field, std::u16string_view display)
{
    const size_t comma = field.rfind(u',');
    std::u16string text(comma == std::u16string_view::npos ? std::u16string_view() : field.substr(0, comma + 1));
    text += display;
    text += u", ";
    return text;
}

bool IsBlockedAttachmentName(std::string_view utf8Name)
{
    const size_t dot = utf8Name.rfind('.');
    if (dot == std::string_view::npos)
        return false;
    const std::string extension = ToLowerAscii(utf8Name.substr(dot + 1));
    return std::find(kBlockedExtensions.begin(), kBlockedExtensions.end(), extension) != kBlockedExtensions.end();
}

std::u16string BlockedAttachmentsWarning(const std::vector<std::string>& names)
{
    std::string blocked;
    for (const std::string& name : names) {
        if (!IsBlockedAttachmentName(name))
            continue;
        if (!blocked.empty())
            blocked += ", ";
        blocked += name;
    }
    if (blocked.empty())
        return {};
    return u"\u26A0 " + Utf8ToUtf16(blocked) +
           u" will be blocked by Gmail/most providers \u2014 put it in a shared link or cloud drive instead.";
}

std::u16string AttachedFilesText(size_t count)
{
    const std::string text = "Attached " + std::to_string(count) + (count == 1 ? " file." : " files.");
    return Utf8ToUtf16(text);
}

} // namespace postern
