#include "platform/Clock.h"

#include <chrono>

namespace postern {

int64_t NowUnixSeconds()
{
    using namespace std::chrono;
    return duration_cast<seconds>(system_clock::now().time_since_epoch()).count();
}

} // namespace postern
