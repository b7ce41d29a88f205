// Finding the embedded browser's loader at run time. The loader DLL is loaded
// dynamically: where it or the browser runtime is missing, the program runs
// without a browser instead of failing to start.
#pragma once

namespace postern::shell {

// True when WebView2Loader.dll loads and exports the environment factory.
[[nodiscard]] bool BrowserLoaderAvailable();

} // namespace postern::shell
