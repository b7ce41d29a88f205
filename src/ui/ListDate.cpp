#include "ui/ListDate.h"

#include <cstdio>

namespace postern {

namespace {

constexpr const char* kMonths[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                     "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

std::u16string Widen(const char* ascii)
{
    std::u16string out;
    for (const char* p = ascii; *p != '\0'; ++p)
        out.push_back(static_cast<char16_t>(static_cast<unsigned char>(*p)));
    return out;
}

} // namespace

std::u16string FormatListDateFields(const CivilTime& when, const CivilTime& now)
{
    char text[48];
    if (when.year != now.year) {
        std::snprintf(text, sizeof text, "%04d-%02d-%02d", when.year, when.month, when.day);
    } else if (when.month != now.month || when.day != now.day) {
        // A broken clock or calendar could hand over a month outside 1..12;
        // the name table must not be read out of bounds for it.
        const int month = when.month >= 1 && when.month <= 12 ? when.month : 1;
        std::snprintf(text, sizeof text, "%s %d", kMonths[month - 1], when.day);
    } else {
        std::snprintf(text, sizeof text, "%02d:%02d", when.hour, when.minute);
    }
    return Widen(text);
}

std::u16string FormatListDate(int64_t unixSeconds)
{
    if (unixSeconds <= 0)
        return {};
    return FormatListDateFields(ToLocalTime(unixSeconds), ToLocalTime(NowUnixSeconds()));
}

} // namespace postern
