// Wall-clock time and its local calendar form.
#pragma once

#include <cstdint>

namespace postern {

struct CivilTime {
    int year = 1970;
    int month = 1;   // 1..12
    int day = 1;     // 1..31
    int hour = 0;
    int minute = 0;
    int second = 0;
    int weekday = 4; // 0 = Sunday
};

[[nodiscard]] int64_t NowUnixSeconds();

// The local (time-zone adjusted) calendar time of a Unix time.
[[nodiscard]] CivilTime ToLocalTime(int64_t unixSeconds);

} // namespace postern
