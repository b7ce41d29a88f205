// Script start tags in HTML mail, in any letter case, become visible text
// ("&lt;script..."), so even a browser with scripts enabled would show them
// instead of running them; then event handlers, srcdoc and script URLs are
// renamed out of effect (DefuseAttributes). The page's Content-Security-
// Policy and the browser host keep scripts from running in any case.
#pragma once

#include <string>
#include <string_view>

namespace postern {

[[nodiscard]] std::string DefuseScripts(std::string_view html);

} // namespace postern
