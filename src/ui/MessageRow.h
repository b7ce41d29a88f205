// MessageRow: one row of the message list, and ConversationMember, what a
// conversation row keeps of each of its messages so that actions and the
// conversation page can reach every one of them.
#pragma once

#include "mail/MessageHeader.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace postern {

struct ConversationMember {
    uint32_t account = 0;
    std::string mailbox; // IMAP name, UTF-8
    uint32_t uid = 0;
    uint32_t seq = 0;
    std::string from;
    std::string subject;
    int64_t date = 0;
    uint32_t size = 0;
    bool seen = false;
    bool answered = false;
    bool flagged = false;
    std::string messageId;
    std::string inReplyTo;
    std::string references;
};

struct MessageRow {
    MessageHeader header;
    uint32_t account = 0;       // index into the settings' account list
    std::u16string senderText;  // DisplayName of From; empty when From yields nothing
    std::u16string subjectText;
    std::u16string dateText;    // FormatListDate of header.date
    std::string mailbox;        // IMAP name, UTF-8
    std::u16string folderLabel; // chip text: cross-folder search hits and the Locked view only
    std::vector<ConversationMember> members; // conversation rows: every message, oldest first
};

[[nodiscard]] MessageRow BuildRow(uint32_t account, std::string_view mailbox, const MessageHeader& header);

[[nodiscard]] ConversationMember MemberOf(const MessageRow& row);

// The chip of a row in the Locked view: the mailbox name, with the inbox
// spelled as people say it.
[[nodiscard]] std::u16string LockedFolderLabel(std::string_view mailbox);

} // namespace postern
