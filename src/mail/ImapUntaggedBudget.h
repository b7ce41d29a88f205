// ImapUntaggedBudget: how much one command may keep of the untagged
// responses that come before its completion, so a server that answers with
// endless lines cannot fill the memory; and MailboxCounts, what the count
// responses (EXISTS, RECENT, EXPUNGE) said, folded as they arrive instead of
// being kept line by line (a mailbox change may legitimately bring
// thousands of them).
#pragma once

#include "mail/ImapResponse.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace postern {

struct MailboxCounts {
    bool existsSeen = false;
    uint32_t exists = 0; // the last EXISTS
    bool recentSeen = false;
    uint32_t recent = 0; // the last RECENT
    uint32_t expunged = 0; // EXPUNGE responses
};

// Folds "* n EXISTS", "* n RECENT" or "* n EXPUNGE" into counts; false for
// any other response, which is left alone.
[[nodiscard]] bool FoldCount(const ImapResponse& response, MailboxCounts& counts);

class ImapUntaggedBudget {
public:
    // The largest answers to what we ask are a FETCH of 200 summaries (200
    // responses, about 2 MB with long References headers), a LIST of a few
    // thousand folders (a few thousand responses, well under 1 MB even with
    // literal names) and one SEARCH line. These limits are twenty times and
    // more above that, and still far below what would hurt.
    static constexpr std::size_t kMaxResponses = 100000;
    static constexpr uint64_t kMaxBytes = uint64_t{64} << 20;

    // maxBytes above kMaxBytes for the one command whose answer is large by
    // nature: a whole message in a literal.
    explicit ImapUntaggedBudget(uint64_t maxBytes = kMaxBytes) : maxBytes(maxBytes) {}

    // Charges one response about to be kept, with what holding it costs
    // beyond its text; false with the error text once past a limit.
    [[nodiscard]] bool Charge(const ImapResponse& response, std::string& error);

private:
    uint64_t maxBytes;
    std::size_t responses = 0;
    uint64_t bytes = 0;
};

} // namespace postern
