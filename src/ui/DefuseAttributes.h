// The second line against active content in HTML mail, behind the page's
// Content-Security-Policy: event-handler attributes ("onerror", "onload",
// any "on..." name), "srcdoc", and javascript: or vbscript: URLs in the
// attributes that take a URL are renamed to "x-" + their name, which no
// browser acts on. Tags are read the way browsers tokenize them (quoted and
// unquoted values, "/" between attributes, comments, raw-text elements), so
// text outside tags is never touched; one pass, linear in the input.
#pragma once

#include <string>
#include <string_view>

namespace postern {

[[nodiscard]] std::string DefuseAttributes(std::string_view html);

} // namespace postern
