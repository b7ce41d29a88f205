// Where detection and Google sign-in go, changed through the environment:
// the window tests point them at loopback servers, as the engine's own
// tests do through EngineOptions. Unset variables keep the real world.
//
//   POSTERN_AUTOCONFIG=HOST:PORT   the ISPDB and every domain's autoconfig host
//   POSTERN_DNS_SERVER=IP:PORT     SRV and MX queries
//   POSTERN_PROBE_PORTS=I,S,M      the IMAP, SMTPS and submission probe ports
//   POSTERN_OAUTH=HOST:PORT        Google's authorization and token endpoints
//   POSTERN_GOOGLE_IMAP=HOST:PORT  where accounts made by a Google sign-in
//   POSTERN_GOOGLE_SMTP=HOST:PORT  read and send mail
#pragma once

#include "app/PosternApp.h"

#include <functional>
#include <optional>
#include <string>

namespace postern {

// `variable` returns a variable's value, nothing when it is unset. A value
// that does not parse is ignored, and so is the variable.
[[nodiscard]] EngineOptions
EngineOptionsWithOverrides(const std::function<std::optional<std::string>(const char* name)>& variable);

} // namespace postern
