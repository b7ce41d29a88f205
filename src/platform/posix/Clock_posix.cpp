// Local calendar time through the C library's time-zone database.
#include "platform/Clock.h"

#include <ctime>

namespace postern {

CivilTime ToLocalTime(int64_t unixSeconds)
{
    CivilTime civil;
    const std::time_t time = static_cast<std::time_t>(unixSeconds);
    std::tm local{};
    if (!localtime_r(&time, &local))
        return civil; // out of the C library's range: the epoch
    civil.year = local.tm_year + 1900;
    civil.month = local.tm_mon + 1;
    civil.day = local.tm_mday;
    civil.hour = local.tm_hour;
    civil.minute = local.tm_min;
    civil.second = local.tm_sec > 59 ? 59 : local.tm_sec; // leap second
    civil.weekday = local.tm_wday;
    return civil;
}

} // namespace postern
