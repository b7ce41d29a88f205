// Script start tags in HTML mail, in any letter case, become visible text
// ("&lt;script..."), so even a browser with scripts enabled would show them
// instead of running them. Nothing else is changed: the browser host keeps
// scripts and event handlers from running in any case.
#pragma once

#include <string>
#include <string_view>

namespace postern {

[[nodiscard]] std::string DefuseScripts(std::string_view html);

} // namespace postern
