#include "platform/UrlPolicy.h"
#include "platform/AsciiText.h"

namespace postern {

bool CheckOpenableUrl(std::string_view url, std::string& error)
{
    if (url.empty()) {
        error = "not a URL: empty";
        return false;
    }
    if (url.size() > kMaxOpenableUrl) {
        error = "not a URL: longer than " + std::to_string(kMaxOpenableUrl) + " bytes";
        return false;
    }
    // Control bytes are checked before the URL is quoted in any error text.
    for (const char c : url) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7f) {
            error = "not a URL: control characters";
            return false;
        }
    }
    // A trimmed and an untrimmed URL may be read differently by the browser
    // and by the handler that picks the browser.
    if (TrimAsciiSpace(url).size() != url.size()) {
        error = "not a URL: space at the start or end";
        return false;
    }
    for (const std::string_view scheme : {"http:", "https:", "mailto:"}) {
        if (StartsWithIgnoringAsciiCase(url, scheme) && url.size() > scheme.size())
            return true;
    }
    error = "only web and mail addresses can be opened: " + std::string(url);
    return false;
}

} // namespace postern
