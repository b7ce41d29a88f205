// Console specifics: arguments arrive as bytes (UTF-8 in any sane locale)
// and standard output has no newline translation to turn off.
#include "platform/Console.h"

namespace postern {

std::vector<std::string> Utf8Arguments(int argc, char** argv)
{
    std::vector<std::string> arguments;
    for (int i = 1; i < argc && argv[i]; ++i)
        arguments.emplace_back(argv[i]);
    return arguments;
}

void SetStandardOutputBinary() {}

} // namespace postern
