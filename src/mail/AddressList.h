// Address lists as they stand in a header or a To field: split on the raw
// text, so that nothing a display name decodes to can add a recipient.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace postern {

struct MailAddress {
    std::string name;    // the phrase without quotes and comments, not decoded
    std::string address; // the bare address as written, never decoded
};

// The addresses of a list ("Ann <a@x>, \"Doe, J\" <j@y> (work), b@z"):
// commas inside double quotes, comments and angle brackets do not split; the
// last complete angle bracket wins over the text around it; a group's name
// ("friends: a@x, b@y;") is dropped; entries without an at sign are dropped,
// and their text (trimmed) goes to `withoutAddress` when it is given.
[[nodiscard]] std::vector<MailAddress> SplitAddressList(std::string_view text,
                                                        std::vector<std::string>* withoutAddress = nullptr);

// Only the bare addresses of SplitAddressList.
[[nodiscard]] std::vector<std::string> ExtractAddresses(std::string_view text);

// One entry for a To or Cc field: "name <address>", the name in double
// quotes when it holds a character that would split or end it there.
[[nodiscard]] std::string FormatAddress(std::string_view name, std::string_view address);

} // namespace postern
