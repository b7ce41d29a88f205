#include "ui/MessageRow.h"

#include "mail/MimeParser.h"
#include "platform/Charset.h"
#include "ui/ListDate.h"

namespace postern {

MessageRow BuildRow(uint32_t account, std::string_view mailbox, const MessageHeader& header)
{
    MessageRow row;
    row.header = header;
    row.account = account;
    // Made safe again: a row may come from the lock list written before
    // header values were.
    row.senderText = Utf8ToUtf16(DisplaySafeText(DisplayName(header.from)));
    row.subjectText = Utf8ToUtf16(DisplaySafeText(header.subject));
    row.dateText = FormatListDate(header.date);
    row.mailbox = std::string(mailbox);
    return row;
}

ConversationMember MemberOf(const MessageRow& row)
{
    ConversationMember member;
    member.account = row.account;
    member.mailbox = row.mailbox;
    member.uid = row.header.uid;
    member.seq = row.header.seq;
    member.from = row.header.from;
    member.subject = row.header.subject;
    member.date = row.header.date;
    member.size = row.header.size;
    member.seen = row.header.seen;
    member.answered = row.header.answered;
    member.flagged = row.header.flagged;
    member.messageId = row.header.messageId;
    member.inReplyTo = row.header.inReplyTo;
    member.references = row.header.references;
    return member;
}

std::u16string LockedFolderLabel(std::string_view mailbox)
{
    if (mailbox == "INBOX")
        return u"Inbox";
    return Utf8ToUtf16(mailbox);
}

} // namespace postern
