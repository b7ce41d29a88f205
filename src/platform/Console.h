// What a command-line program needs of its console: its arguments as UTF-8,
// a secret read from standard input, and binary standard output.
#pragma once

#include <string>
#include <vector>

namespace postern {

// The arguments after the program name, as UTF-8 (Windows converts the wide
// command line; elsewhere they are taken as they are).
[[nodiscard]] std::vector<std::string> Utf8Arguments(int argc, char** argv);

// One line from standard input without its line end; false at end of input
// before any byte.
[[nodiscard]] bool ReadStandardInputLine(std::string& line);

// Standard output without newline translation (raw messages).
void SetStandardOutputBinary();

} // namespace postern
