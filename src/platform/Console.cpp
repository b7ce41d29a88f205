#include "platform/Console.h"

#include <cstdio>

namespace postern {

bool ReadStandardInputLine(std::string& line)
{
    line.clear();
    bool any = false;
    for (int c = std::getchar(); c != EOF; c = std::getchar()) {
        any = true;
        if (c == '\n')
            break;
        line.push_back(static_cast<char>(c));
    }
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    return any;
}

} // namespace postern
