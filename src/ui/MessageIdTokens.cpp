#include "ui/MessageIdTokens.h"

namespace postern {

std::vector<std::string_view> MessageIdTokens(std::string_view value)
{
    std::vector<std::string_view> tokens;
    ForEachMessageIdToken(value, [&tokens](std::string_view token) {
        tokens.push_back(token);
        return true;
    });
    return tokens;
}

} // namespace postern
