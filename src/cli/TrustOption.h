// The options every network subcommand shares: `--ca FILE` trusts the
// certificates in FILE as extra roots (a private or test CA), and port parsing.
#pragma once

#include "cli/Command.h"

#include <cstdint>
#include <string>

namespace postern::cli {

class TrustOption {
public:
    // Consumes "--ca FILE" at args[index] (advancing index); false otherwise.
    bool Accepts(const Arguments& args, std::size_t& index);

    // Loads the file and installs its certificates; true when none was given.
    [[nodiscard]] bool Apply(std::string& error) const;

private:
    std::string caFile;
};

// A decimal TCP port 1..65535.
[[nodiscard]] bool ParsePort(const std::string& text, uint32_t& port);

} // namespace postern::cli
