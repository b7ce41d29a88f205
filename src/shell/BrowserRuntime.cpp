#include "shell/BrowserRuntime.h"

#include <windows.h>

#include <WebView2.h>

namespace postern::shell {

namespace {
// The factory's signature, taken from the SDK's own declaration so a change
// in the SDK shows up as a compile error here.
using CreateEnvironmentFunction = decltype(&CreateCoreWebView2EnvironmentWithOptions);
} // namespace

bool BrowserLoaderAvailable()
{
    HMODULE loader = LoadLibraryExW(L"WebView2Loader.dll", nullptr, LOAD_LIBRARY_SEARCH_APPLICATION_DIR
                                                                    | LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (!loader)
        return false;
    const auto create = reinterpret_cast<CreateEnvironmentFunction>(
        reinterpret_cast<void*>(GetProcAddress(loader, "CreateCoreWebView2EnvironmentWithOptions")));
    FreeLibrary(loader);
    return create != nullptr;
}

} // namespace postern::shell
