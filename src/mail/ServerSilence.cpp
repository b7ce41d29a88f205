#include "mail/ServerSilence.h"

namespace postern {

std::string ServerSilenceText(uint32_t timeoutMs)
{
    // Integer arithmetic: a decimal separator must not depend on a locale.
    std::string seconds = std::to_string(timeoutMs / 1000);
    if (const uint32_t part = timeoutMs % 1000; part != 0) {
        std::string digits = std::to_string(part + 1000).substr(1); // "050" for 50 ms
        while (digits.back() == '0')
            digits.pop_back();
        seconds += "." + digits;
    }
    return "server did not answer within " + seconds + " s";
}

} // namespace postern
