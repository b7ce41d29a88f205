// RFC 5322 dates ("Mon, 7 Dec 2026 10:00:00 +0100") to Unix seconds.
#include "mail/MimeParser.h"
#include "platform/AsciiText.h"

#include <cstdint>

namespace postern {

namespace {

// Numbers beyond this are nonsense in a date; clamping keeps the arithmetic
// below far from overflow.
constexpr int64_t kNumberLimit = 1000000000;

// The latest time the Windows calendar functions accept: 3000-12-31 23:59:59 UTC.
constexpr int64_t kLatestTime = 32535215999;

bool IsScanSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// A cursor with the conversions of the C scanf family, so the date grammar
// stays as lenient as the one mail clients have always used.
class Scanner {
public:
    explicit Scanner(std::string_view text) : text(text) {}

    void SkipSpace()
    {
        while (pos < text.size() && IsScanSpace(text[pos]))
            ++pos;
    }

    bool Number(int64_t& value)
    {
        SkipSpace();
        std::size_t at = pos;
        bool negative = false;
        if (at < text.size() && (text[at] == '+' || text[at] == '-')) {
            negative = text[at] == '-';
            ++at;
        }
        if (at >= text.size() || text[at] < '0' || text[at] > '9')
            return false;
        int64_t n = 0;
        while (at < text.size() && text[at] >= '0' && text[at] <= '9') {
            if (n < kNumberLimit)
                n = n * 10 + (text[at] - '0');
            ++at;
        }
        pos = at;
        value = negative ? -n : n;
        return true;
    }

    bool Word(std::size_t limit, std::string_view& word)
    {
        SkipSpace();
        const std::size_t start = pos;
        while (pos < text.size() && pos - start < limit && !IsScanSpace(text[pos]))
            ++pos;
        word = text.substr(start, pos - start);
        return !word.empty();
    }

    bool Literal(char c)
    {
        if (pos < text.size() && text[pos] == c) {
            ++pos;
            return true;
        }
        return false;
    }

private:
    std::string_view text;
    std::size_t pos = 0;
};

int MonthFromWord(std::string_view word)
{
    static constexpr std::string_view kMonths[] = {"jan", "feb", "mar", "apr", "may", "jun",
                                                   "jul", "aug", "sep", "oct", "nov", "dec"};
    const std::size_t length = word.size() < 3 ? word.size() : 3;
    char lower[3] = {};
    for (std::size_t i = 0; i < length; ++i) {
        const char c = word[i];
        lower[i] = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    }
    const std::string_view key(lower, length);
    for (int i = 0; i < 12; ++i) {
        if (kMonths[i].substr(0, length) == key)
            return i + 1;
    }
    return 0;
}

// Leading decimal number with an optional sign, as atoi reads it.
int64_t LeadingNumber(std::string_view text)
{
    std::size_t at = 0;
    bool negative = false;
    if (at < text.size() && (text[at] == '+' || text[at] == '-')) {
        negative = text[at] == '-';
        ++at;
    }
    int64_t n = 0;
    while (at < text.size() && text[at] >= '0' && text[at] <= '9') {
        if (n < kNumberLimit)
            n = n * 10 + (text[at] - '0');
        ++at;
    }
    return negative ? -n : n;
}

} // namespace

int64_t DaysFromCivil(int64_t year, int64_t month, int64_t day)
{
    // Howard Hinnant's algorithm over 400-year eras of the proleptic
    // Gregorian calendar; exact for every year, before 1970 too.
    year -= month <= 2 ? 1 : 0;
    const int64_t era = (year >= 0 ? year : year - 399) / 400;
    const int64_t yearOfEra = year - era * 400;
    const int64_t dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

int64_t ParseDate(std::string_view text)
{
    text = TrimAsciiSpace(text);
    const std::size_t comma = text.find(',');
    if (comma != std::string_view::npos && comma < 4)
        text = TrimAsciiSpace(text.substr(comma + 1));

    Scanner scan(text);
    int64_t day = 0;
    int64_t year = 0;
    int64_t hour = 0;
    int64_t minute = 0;
    int64_t second = 0;
    std::string_view monthWord;
    std::string_view zone;
    if (!scan.Number(day) || !scan.Word(15, monthWord) || !scan.Number(year)
        || !scan.Number(hour) || !scan.Literal(':') || !scan.Number(minute))
        return 0;
    // RFC 5322 section 3.3 makes the seconds optional ("19:59 CST").
    if (scan.Literal(':') && !scan.Number(second))
        return 0;
    if (!scan.Word(15, zone))
        zone = {};

    // Out-of-range fields roll over below, as the C calendar functions do,
    // but a clock reading no clock shows is garbage, not a time ("59:10"
    // where the hour went missing).
    if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 60)
        return 0;
    const int month = MonthFromWord(monthWord);
    if (month == 0 || year < 0)
        return 0;
    if (year < 100)
        year += year < 70 ? 2000 : 1900;

    // A day past the month's end rolls over into the next ("31 Feb" is
    // 3 Mar in a common year).
    int64_t time = (DaysFromCivil(year, month, 1) + day - 1) * 86400 + hour * 3600 + minute * 60
                   + second;
    if (time < 0 || time > kLatestTime)
        return 0;
    if (!zone.empty() && (zone[0] == '+' || zone[0] == '-')) {
        const int64_t offset = LeadingNumber(zone);
        const int64_t magnitude = offset < 0 ? -offset : offset;
        // A zone is four digits, HHMM; a longer number is no zone at all
        // and would move the date by years.
        if (magnitude <= 9999) {
            const int64_t minutes = magnitude / 100 * 60 + magnitude % 100;
            time -= (offset < 0 ? -minutes : minutes) * 60;
        }
    }
    // A zone can carry a time just after the epoch to before it, or the
    // last representable one beyond it; such dates are unrepresentable too.
    return time < 0 || time > kLatestTime ? 0 : time;
}

} // namespace postern
