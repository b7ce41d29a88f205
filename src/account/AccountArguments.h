// The options of `postern-cli account add`, read into an account record. Kept
// apart from the command so that the rules can be tested without a process.
#pragma once

#include "account/Settings.h"

#include <string>
#include <vector>

namespace postern {

// Options: --name N --email E [--display-name D] --imap-host H
// [--imap-port P] --smtp-host H [--smtp-port P] [--user U]. Each takes the
// next argument as its value and may appear once. Ports are decimal 1 to
// 65535; a missing --user means the e-mail address. Secrets are never taken
// from the command line, where other users can see them.
[[nodiscard]] bool ParseAccountAddArguments(const std::vector<std::string>& args,
                                            AccountConfig& account, std::string& error);

} // namespace postern
