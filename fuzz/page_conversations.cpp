// Fuzzes conversation grouping: each input line is one header,
// "account|Message-ID|In-Reply-To|References|Subject|date". Every row must
// land in exactly one conversation of its own account.
#include "ui/Conversations.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace {

std::string_view Field(std::string_view& line)
{
    const size_t bar = line.find('|');
    const std::string_view field = line.substr(0, bar);
    line = bar == std::string_view::npos ? std::string_view() : line.substr(bar + 1);
    return field;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string_view input(reinterpret_cast<const char*>(data), size);
    std::vector<postern::MessageRow> rows;
    while (!input.empty() && rows.size() < 512) {
        const size_t end = input.find('\n');
        std::string_view line = input.substr(0, end);
        input = end == std::string_view::npos ? std::string_view() : input.substr(end + 1);
        postern::MessageRow row;
        const std::string_view account = Field(line);
        row.account = account.empty() ? 0 : static_cast<uint32_t>(account[0] % 3);
        row.header.uid = static_cast<uint32_t>(rows.size() + 1);
        row.header.messageId = std::string(Field(line));
        row.header.inReplyTo = std::string(Field(line));
        row.header.references = std::string(Field(line));
        row.header.subject = std::string(Field(line));
        const std::string_view date = Field(line);
        row.header.date = date.empty() ? 0 : static_cast<int64_t>(static_cast<unsigned char>(date[0])) - 64;
        rows.push_back(row);
    }
    (void)postern::NormalizeSubject(std::string_view(reinterpret_cast<const char*>(data), size));
    const std::vector<postern::MessageRow> conversations = postern::BuildConversations(rows);
    std::map<uint32_t, int> seen;
    for (const postern::MessageRow& c : conversations) {
        for (const postern::ConversationMember& m : c.members) {
            if (m.account != c.account || ++seen[m.uid] != 1)
                std::abort();
        }
    }
    if (seen.size() != rows.size())
        std::abort();
    return 0;
}
