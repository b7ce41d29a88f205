#include "app/AttachmentFile.h"

#include "platform/AsciiText.h"
#include "platform/Files.h"

#include <array>

namespace postern {

namespace {

constexpr std::u16string_view kFallbackName = u"attachment.bin";

// An extension longer than this is not kept whole when the name is cut: it
// is then more likely junk than a file type.
constexpr std::size_t kMaxKeptExtension = 16;

bool IsHighSurrogate(char16_t c)
{
    return c >= 0xD800 && c <= 0xDBFF;
}

bool IsLowSurrogate(char16_t c)
{
    return c >= 0xDC00 && c <= 0xDFFF;
}

bool IsForbidden(char16_t c)
{
    if (c < 0x20 || c == 0x7F)
        return true;
    switch (c) {
    case u'<':
    case u'>':
    case u':':
    case u'"':
    case u'/':
    case u'\\':
    case u'|':
    case u'?':
    case u'*':
        return true;
    default:
        break;
    }
    // Bidirectional embeddings, overrides, isolates and marks: invisible,
    // and able to show the extension in another place than where it is.
    return (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069) || c == 0x200E || c == 0x200F
           || c == 0x061C;
}

bool IsDeviceName(std::u16string_view name)
{
    std::u16string_view base = name.substr(0, name.find(u'.'));
    while (!base.empty() && base.back() == u' ')
        base.remove_suffix(1);
    static constexpr std::array<std::u16string_view, 6> kDevices = {u"CON", u"PRN", u"AUX", u"NUL",
                                                                    u"CONIN$", u"CONOUT$"};
    for (std::u16string_view device : kDevices) {
        if (EqualsIgnoringAsciiCase(base, device))
            return true;
    }
    if (base.size() != 4)
        return false;
    const std::u16string_view stem = base.substr(0, 3);
    const char16_t digit = base[3];
    // Superscript one to three count as digits here too.
    const bool isDigit = (digit >= u'0' && digit <= u'9') || digit == 0x00B9 || digit == 0x00B2
                         || digit == 0x00B3;
    return isDigit && (EqualsIgnoringAsciiCase(stem, u"COM") || EqualsIgnoringAsciiCase(stem, u"LPT"));
}

void TrimTrailingDotsAndSpaces(std::u16string& name)
{
    while (!name.empty() && (name.back() == u'.' || name.back() == u' '))
        name.pop_back();
}

// Cuts text to at most `limit` units without leaving half a surrogate pair.
void CutTo(std::u16string& text, std::size_t limit)
{
    if (text.size() <= limit)
        return;
    if (limit > 0 && IsHighSurrogate(text[limit - 1]))
        --limit;
    text.resize(limit);
}

void LimitLength(std::u16string& name)
{
    if (name.size() <= kMaxAttachmentNameLength)
        return;
    const std::size_t dot = name.rfind(u'.');
    if (dot != std::u16string::npos && dot > 0 && name.size() - dot <= kMaxKeptExtension) {
        const std::u16string extension = name.substr(dot);
        std::u16string stem = name.substr(0, dot);
        CutTo(stem, kMaxAttachmentNameLength - extension.size());
        name = stem + extension;
    } else {
        CutTo(name, kMaxAttachmentNameLength);
        TrimTrailingDotsAndSpaces(name);
    }
}

} // namespace

std::u16string SafeAttachmentFileName(std::u16string_view suggested)
{
    const std::size_t separator = suggested.find_last_of(u"/\\");
    if (separator != std::u16string_view::npos)
        suggested.remove_prefix(separator + 1);

    std::u16string name;
    name.reserve(suggested.size());
    for (std::size_t i = 0; i < suggested.size(); ++i) {
        const char16_t c = suggested[i];
        if (IsHighSurrogate(c) && i + 1 < suggested.size() && IsLowSurrogate(suggested[i + 1])) {
            name.push_back(c);
            name.push_back(suggested[++i]);
        } else if (IsHighSurrogate(c) || IsLowSurrogate(c) || IsForbidden(c)) {
            // An unpaired surrogate has no UTF-8 form: the path could not
            // be written down in a status text or settings file.
            name.push_back(u'_');
        } else {
            name.push_back(c);
        }
    }
    TrimTrailingDotsAndSpaces(name);
    // Leading spaces are legal but invisible in the dialog.
    const std::size_t first = name.find_first_not_of(u' ');
    name.erase(0, first == std::u16string::npos ? name.size() : first);
    // After the cut: "CON" and three hundred spaces is "CON" once cut.
    LimitLength(name);
    if (IsDeviceName(name)) {
        name.insert(name.begin(), u'_');
        LimitLength(name);
    }
    if (name.empty())
        return std::u16string(kFallbackName);
    return name;
}

bool WriteAttachmentFile(const std::filesystem::path& path, std::string_view bytes, std::string& error)
{
    std::string reason;
    if (!WriteWholeFile(path, bytes, reason)) {
        error = "attachment not saved: " + reason;
        return false;
    }
    return true;
}

} // namespace postern
