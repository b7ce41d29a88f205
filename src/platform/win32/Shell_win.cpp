// Handing a URL to the default browser.
#include "platform/Shell.h"
#include "platform/UrlPolicy.h"

#include "platform/win32/WideText_win.h"

#include <windows.h>
#include <shellapi.h>

#include <cstdint>

namespace postern {

bool OpenUrl(const std::string& url, std::string& error)
{
    // ShellExecute runs whatever it is given: a program path, a document, any
    // protocol handler. Only web and mail addresses may reach it, never a
    // link from a message that names something else.
    if (!CheckOpenableUrl(url, error))
        return false;
    const HINSTANCE result =
        ShellExecuteW(nullptr, L"open", ToWide(url).c_str(), nullptr, nullptr, SW_SHOWNORMAL);
    // Results above 32 mean success; smaller ones are error codes.
    const auto code = reinterpret_cast<std::intptr_t>(result);
    if (code <= 32) {
        error = "cannot open " + url + " (ShellExecute error " + std::to_string(code) + ")";
        return false;
    }
    return true;
}

} // namespace postern
