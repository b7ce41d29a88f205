// The date text of the message list, also used by the reading-pane header,
// the conversation page and reply quotations: the time of day for today,
// month and day for this year, the full date otherwise.
#pragma once

#include "platform/Clock.h"

#include <cstdint>
#include <string>

namespace postern {

// Local time against the current clock; empty for 0 and negative times
// (messages without any date).
[[nodiscard]] std::u16string FormatListDate(int64_t unixSeconds);

// The same rule on calendar fields already broken down, so that the choice
// between the three forms can be checked for any pair of days.
[[nodiscard]] std::u16string FormatListDateFields(const CivilTime& when, const CivilTime& now);

} // namespace postern
