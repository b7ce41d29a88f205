// Grouping of list rows into conversations: messages are linked through their
// Message-ID, In-Reply-To and References first, and a message whose subject
// says it is a reply or forward ("Re:", "Fwd:", "Fw:") but names no message
// in the list joins the earliest message with the same subject key. Messages
// of different accounts never join.
#pragma once

#include "ui/MessageRow.h"

#include <string>
#include <string_view>
#include <vector>

namespace postern {

// The subject key: reply and forward prefixes and leading "[tag]"s removed
// (repeatedly, in any order), trimmed and ASCII-lowered, so that
// "Re: [list] Fwd: Hello" and "hello" share the key "hello".
[[nodiscard]] std::string NormalizeSubject(std::string_view subject);

// One conversation row per group, newest conversation first. Each is a copy
// of its newest message's row, with every message of the group in `members`
// (oldest first) and unseen when any member is unseen.
[[nodiscard]] std::vector<MessageRow> BuildConversations(const std::vector<MessageRow>& rows);

// The same over rows held elsewhere (the filtered rows of a view), so that
// they need not be copied first.
[[nodiscard]] std::vector<MessageRow> BuildConversations(const std::vector<const MessageRow*>& rows);

} // namespace postern
