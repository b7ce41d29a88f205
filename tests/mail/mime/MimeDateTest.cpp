// RFC 5322 dates to Unix seconds.
#include "mail/MimeParser.h"

#include <gtest/gtest.h>

namespace postern {
namespace {

TEST(ParseDate, Table)
{
    const struct {
        const char* text;
        int64_t expected;
    } cases[] = {
        {"Mon, 07 Dec 2026 10:00:00 +0100", 1796634000}, // 09:00:00 UTC
        {"07 Dec 2026 10:00:00 +0100", 1796634000},
        {"  Mon,   07 Dec 2026 10:00:00 +0100  ", 1796634000},
        {"Mon, 7 Dec 2026 09:00:00 GMT", 1796634000},       // named zones read as UTC
        {"Mon, 7 Dec 2026 09:00:00 EST", 1796634000},
        {"Mon, 7 Dec 2026 09:00:00", 1796634000},           // missing zone: UTC
        {"Mon, 7 Dec 2026 04:00:00 -0500", 1796634000},
        {"Mon, 7 Dec 2026 14:30:00 +0530", 1796634000},
        {"Mon, 7 Dec 2026 09:00:00 +0000 (UTC)", 1796634000},
        {"Mon, 7 December 2026 09:00:00 +0000", 1796634000}, // month word compared on 3 letters
        {"Mon, 7 DEC 2026 09:00:00 +0000", 1796634000},
        {"Mon, 7 Dec 2026 09:00 +0000", 1796634000},      // seconds are optional
        {"7 Dec 26 09:00:00 +0000", 1796634000},            // two-digit year below 70: 20xx
        {"7 Dec 75 09:00:00 +0000", 187174800},             // 70 and above: 19xx
        {"1 Jan 1970 00:00:00 +0000", 0},
        {"1 Jan 1970 00:00:01 +0000", 1},
        {"31 Dec 1969 23:59:59 +0000", 0},                  // before 1970: none
        {"15 Jun 1969 12:00:00 +0000", 0},
        {"1 Jan 1970 00:30:00 +0100", 0},                   // the zone carries it into 1969
        {"29 Feb 2024 12:00:00 +0000", 1709208000},
        {"31 Feb 2023 00:00:00 +0000", 1677801600},         // rolls over to 3 Mar
        {"31 Dec 3000 23:59:59 +0000", 32535215999},
        {"1 Jan 3001 00:00:00 +0000", 0},                   // out of range
        {"31 Dec 3000 23:59:59 -0100", 0},                  // carried out of range by the zone
        {"7 Dec 2026 09:00:00 -23992592", 1796634000},      // not a zone: UTC
        {"Mon, 7 Foo 2026 09:00:00 +0000", 0},              // no such month
        {"Mon, 7 Dec 2026", 0},                             // no time
        {"Wed, 15 Dec 2010    59:10 -0500", 0},             // hour missing
        {"7 Dec 2026 24:00:00 +0000", 0},
        {"7 Dec 2026 09:60:00 +0000", 0},
        {"", 0},
        {"garbage", 0},
        {"Mon,", 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ParseDate(c.text), c.expected) << c.text;
}

TEST(DaysFromCivil, KnownDays)
{
    EXPECT_EQ(DaysFromCivil(1970, 1, 1), 0);
    EXPECT_EQ(DaysFromCivil(1969, 12, 31), -1);
    EXPECT_EQ(DaysFromCivil(2000, 3, 1), 11017);
    EXPECT_EQ(DaysFromCivil(2026, 12, 7), 20794);
    EXPECT_EQ(DaysFromCivil(2023, 2, 29), DaysFromCivil(2023, 3, 1));
    // Every day from 1900 to 2100 is one more than the one before.
    int64_t previous = DaysFromCivil(1899, 12, 31);
    const int lengths[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    for (int year = 1900; year <= 2100; ++year) {
        const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
        for (int month = 1; month <= 12; ++month) {
            const int days = lengths[month - 1] + (month == 2 && leap ? 1 : 0);
            for (int day = 1; day <= days; ++day) {
                const int64_t current = DaysFromCivil(year, month, day);
                ASSERT_EQ(current, previous + 1) << year << "-" << month << "-" << day;
                previous = current;
            }
        }
    }
}

} // namespace
} // namespace postern
