// Local calendar time with the time zone rules Windows has for that date.
#include "platform/Clock.h"

#include <windows.h>

#include <algorithm>

namespace postern {

namespace {

// Seconds between 1601-01-01 (FILETIME's epoch) and 1970-01-01.
constexpr int64_t kEpochDifference = 11644473600;
// FILETIME counts 100 ns ticks; SYSTEMTIME ends with the year 30827, Windows'
// time zone rules earlier, so stay within the year 9999.
constexpr int64_t kLatest = 253402300799;
constexpr int64_t kTicksPerSecond = 10000000;

CivilTime FromSystemTime(const SYSTEMTIME& time)
{
    CivilTime civil;
    civil.year = time.wYear;
    civil.month = time.wMonth;
    civil.day = time.wDay;
    civil.hour = time.wHour;
    civil.minute = time.wMinute;
    civil.second = time.wSecond;
    civil.weekday = time.wDayOfWeek;
    return civil;
}

} // namespace

CivilTime ToLocalTime(int64_t unixSeconds)
{
    const int64_t clamped = std::clamp(unixSeconds, -kEpochDifference, kLatest);
    const uint64_t ticks = static_cast<uint64_t>(clamped + kEpochDifference) * kTicksPerSecond;
    FILETIME fileTime{static_cast<DWORD>(ticks & 0xFFFFFFFFu), static_cast<DWORD>(ticks >> 32)};
    SYSTEMTIME universal{};
    if (!FileTimeToSystemTime(&fileTime, &universal))
        return CivilTime{};
    // The zone's rules decide daylight saving time for that date, where
    // FileTimeToLocalFileTime would apply today's offset to every date. (The
    // Ex variant with year-by-year rules is a crashing stub in Wine 8.)
    SYSTEMTIME local{};
    if (SystemTimeToTzSpecificLocalTime(nullptr, &universal, &local))
        return FromSystemTime(local);
    return FromSystemTime(universal);
}

} // namespace postern
