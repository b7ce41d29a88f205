// The worker's part of reading and acting on messages: bodies and
// conversations, seen flags, delete, move, and sending.
#include "app/MailWorker.h"

#include "app/AccountLogin.h"
#include "app/UiPort.h"
#include "app/WorkerLanes.h"
#include "compose/ContactStore.h"
#include "mail/ImapMailbox.h"
#include "mail/MessageBuilder.h"
#include "mail/SmtpClient.h"
#include "platform/Charset.h"

#include <algorithm>

namespace postern {

void MailWorker::WBodyLoad(uint32_t account, const std::string& mailbox, uint32_t uid, SeenOnFetch seen)
{
    std::string raw, error;
    if (!SelectMailbox(account, mailbox, error)
        || !FetchMessage(sessions_[account], uid, raw, error, seen == SeenOnFetch::mark)) {
        PostError(Utf8ToUtf16(error));
        return;
    }
    auto result = std::make_unique<BodyResult>();
    result->account = static_cast<int>(account);
    result->mailbox = mailbox;
    result->uid = uid;
    result->message = ParseMessage(raw);
    Contacts().RecordAddresses(result->message.from);
    Contacts().RecordAddresses(result->message.to);
    Contacts().RecordAddresses(result->message.cc);
    Post(std::move(result));
}

void MailWorker::WConversationLoad(ConversationLoad load)
{
    // Takes the member out of the messages still to be marked: its fetch
    // marks it.
    auto takeUnseen = [&load](const ConversationMember& member) {
        const auto found = std::find_if(load.unseen.begin(), load.unseen.end(), [&](const MessageRef& target) {
            return target.account == member.account && target.uid == member.uid && target.mailbox == member.mailbox;
        });
        if (found == load.unseen.end())
            return false;
        load.unseen.erase(found);
        return true;
    };
    auto result = std::make_unique<ConversationResult>();
    result->account = static_cast<int>(load.account);
    result->mailbox = load.mailbox;
    result->uid = load.rowUid;
    for (const ConversationMember& member : load.members) {
        if (lanes_.PriorityWaiting())
            break;
        std::string raw, error;
        const bool markSeen = takeUnseen(member);
        if (!SelectMailbox(member.account, member.mailbox, error)
            || !FetchMessage(sessions_[member.account], member.uid, raw, error, markSeen)) {
            if (markSeen)
                load.unseen.push_back({member.account, member.mailbox, member.uid, true});
            continue;
        }
        result->members.push_back(ParseMessage(raw));
    }
    if (!result->members.empty())
        Post(std::move(result));
    // What was not fetched (cut short by other interactive work) is marked
    // by a STORE, in this job.
    WStoreSeen(load.unseen, true);
}

void MailWorker::WStoreSeen(const std::vector<MessageRef>& messages, bool seen)
{
    for (const MessageRef& message : messages) {
        std::string error; // silent: the next load shows the server's state
        if (SelectMailbox(message.account, message.mailbox, error))
            (void)StoreFlag(sessions_[message.account], message.uid, "\\Seen", seen, error);
    }
}

void MailWorker::WMarkFolderSeen(uint32_t account, const std::string& mailbox)
{
    std::string error;
    uint32_t count = 0;
    if (!SelectCounting(account, mailbox, count, error) || !MarkAllSeen(sessions_[account], error)) {
        PostError(Utf8ToUtf16(error));
        return;
    }
    PostUnreadCount(account, mailbox, 0);
}

void MailWorker::WDelete(const MessageRef& message)
{
    std::string error;
    if (!SelectMailbox(message.account, message.mailbox, error)) {
        PostError(Utf8ToUtf16(error));
        return;
    }
    // Outside the trash a copy stays there; inside it (or without one) the
    // message is gone for good.
    const std::string& trash = trashFolder_[message.account];
    if (!trash.empty() && trash != message.mailbox)
        (void)CopyMessage(sessions_[message.account], message.uid, trash, error);
    if (DeleteMessage(sessions_[message.account], message.uid, error))
        PostStatus(u"Deleted.");
    else
        PostError(Utf8ToUtf16(error));
}

void MailWorker::WMove(const MessageRef& message, const std::string& destination)
{
    std::string error;
    if (!SelectMailbox(message.account, message.mailbox, error)
        || !MoveMessage(sessions_[message.account], message.uid, destination, error)) {
        PostError(Utf8ToUtf16(error));
        return;
    }
    if (destination == selectedMailbox_[message.account])
        return;
    uint32_t unseen = 0;
    if (CountUnseen(sessions_[message.account], destination, unseen, error))
        PostUnreadCount(message.account, destination, unseen);
}

void MailWorker::WSend(SendRequestRecord& request)
{
    auto answer = [this, &request](bool ok, const std::string& error) {
        auto result = std::make_unique<SendResult>();
        result->ok = ok;
        result->error = Utf8ToUtf16(error);
        if (ui_)
            ui_->PostSendResult(request.composeWindow, std::move(result));
    };
    const SendRequest& send = request.request;
    if (send.accountIndex < 0 || static_cast<size_t>(send.accountIndex) >= accounts_.size()) {
        answer(false, "The account no longer exists.");
        return;
    }
    const auto index = static_cast<size_t>(send.accountIndex);
    std::string error;
    // A Google account signs in to SMTP with the same access token, so it
    // has to be fresh before the submission starts.
    const bool google = accounts_[index].auth == AuthKind::gmail;
    if (google && !EnsureConnected(index, error)) {
        answer(false, error);
        return;
    }
    const AccountConfig& account = accounts_[index];

    std::string text;
    std::vector<std::string> recipients;
    if (!PrepareSubmission(account.displayName, account.email, send.message, text, recipients, error)) {
        answer(false, error);
        return;
    }
    Contacts().RecordAddresses(send.message.to);
    Contacts().RecordAddresses(send.message.cc);

    PostStatus(u"Sending\u2026");
    SmtpClient smtp;
    if (!smtp.Submit(SmtpLogin(account), account.email, recipients, text, error)) {
        answer(false, error);
        return;
    }

    // Google files sent mail itself; other servers need the copy.
    const std::string& sent = sentFolder_[index];
    std::string ignored; // the message is out; a missing copy is not worth an error
    if (!google && !sent.empty() && EnsureConnected(index, ignored))
        (void)AppendMessage(sessions_[index], sent, text, "\\Seen", ignored);
    // The UID only means something in its own folder, so the flag is set
    // only where that folder is known and selected.
    if (send.answeredUid != 0 && !send.answeredMailbox.empty() && SelectMailbox(index, send.answeredMailbox, ignored))
        (void)StoreFlag(sessions_[index], send.answeredUid, "\\Answered", true, ignored);

    answer(true, std::string());
    PostStatus(u"Message sent.");
}

} // namespace postern
