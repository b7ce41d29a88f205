// The reading pane: opening a row (one message or a whole conversation),
// the body jobs, the cache of recently read bodies, and the prefetches the
// pointer triggers by resting on a folder or a row.
#include "app/PosternApp.h"

#include "compose/ContactStore.h"
#include "mail/ImapMailbox.h"
#include "platform/Charset.h"
#include "ui/ConversationPage.h"
#include "ui/ListModel.h"
#include "ui/MessagePage.h"
#include "ui/PlaceholderPage.h"

#include <algorithm>

namespace postern {

namespace {

constexpr size_t kBodyCacheEntries = 24;
constexpr size_t kLargestCachedBody = 0x200000; // bytes of parts
constexpr uint64_t kPrefetchPauseMs = 30001;

size_t PartBytes(const ParsedMessage& message)
{
    size_t total = 0;
    for (const MimePart& part : message.parts)
        total += part.data.size();
    return total;
}

} // namespace

bool PosternApp::BodyCached(uint32_t account, std::string_view mailbox, uint32_t uid) const
{
    return bodyCache_.count(BodyKey(account, mailbox, uid)) > 0;
}

std::string PosternApp::MailboxOfRow(const MessageRow& row) const
{
    if (!row.mailbox.empty())
        return row.mailbox;
    const RailItem* item = CurrentItem();
    return item ? item->path : std::string();
}

void PosternApp::ShowCurrentPage(std::u16string page)
{
    if (ui_)
        ui_->ShowPage(std::move(page));
}

void PosternApp::EmptyReadingPane()
{
    shownMessage_ = ParsedMessage();
    shownUid_ = 0;
    shownAccount_ = -1;
    shownMailbox_.clear();
    shownReady_ = false;
    ShowCurrentPage(std::u16string());
}

void PosternApp::SelectRow(int32_t row, bool keepSelection)
{
    if (row < 0 || static_cast<size_t>(row) >= list_.viewRows.size() || !CurrentItem())
        return;
    if (keepSelection) {
        list_.currentRow = row;
        list_.selectedRows.insert(row);
    } else {
        SelectOnly(list_, row);
        list_.anchorRow = row;
    }
    const MessageRow& shown = list_.viewRows[static_cast<size_t>(row)];
    const std::string mailbox = MailboxOfRow(shown);
    shownUid_ = shown.header.uid;
    shownAccount_ = static_cast<int32_t>(shown.account);
    shownMailbox_ = mailbox;
    shownReady_ = false;
    if (ui_)
        ui_->ScrollToRow(row);

    settings_.lastSelAccount = static_cast<int32_t>(shown.account);
    settings_.lastSelFolder = mailbox;
    settings_.lastSelUid = shown.header.uid;
    autoSelectDone_ = true;

    // An unread message is marked read by the fetch that loads it, which
    // saves a round trip. Whatever the load does not fetch (a conversation
    // cut short by other interactive work, a body from the cache) is marked
    // by a STORE afterwards, in the same job: a separate job waiting in the
    // priority lane would make the conversation load give way before its
    // first message.
    std::vector<MessageRef> unseen = MarkSeenOnOpen(row);
    const MessageRow& current = list_.viewRows[static_cast<size_t>(row)];
    auto storeSeen = [this](const std::vector<MessageRef>& targets) {
        for (const MessageRef& target : targets) {
            std::string error; // marking read is silent: the next load shows the server's state
            if (SelectMailbox(target.account, target.mailbox, error))
                (void)StoreFlag(sessions_[target.account], target.uid, "\\Seen", true, error);
        }
    };
    auto takeTarget = [](std::vector<MessageRef>& targets, const ConversationMember& member) {
        const auto found = std::find_if(targets.begin(), targets.end(), [&](const MessageRef& target) {
            return target.account == member.account && target.uid == member.uid && target.mailbox == member.mailbox;
        });
        if (found == targets.end())
            return false;
        targets.erase(found);
        return true;
    };

    if (current.members.size() > 1) {
        ShowCurrentPage(PlaceholderPage(u"Loading conversation\u2026"));
        jobs_.EnqueuePriority([this, members = current.members, rowUid = current.header.uid,
                               account = current.account, mailbox, unseen = std::move(unseen), storeSeen,
                               takeTarget]() mutable {
            auto result = std::make_unique<ConversationResult>();
            result->account = static_cast<int>(account);
            result->mailbox = mailbox;
            result->uid = rowUid;
            for (const ConversationMember& member : members) {
                if (jobs_.PriorityWaiting())
                    break;
                std::string raw, error;
                const bool markSeen = takeTarget(unseen, member);
                if (!SelectMailbox(member.account, member.mailbox, error)
                    || !FetchMessage(sessions_[member.account], member.uid, raw, error, markSeen)) {
                    if (markSeen)
                        unseen.push_back({member.account, member.mailbox, member.uid, true});
                    continue;
                }
                result->members.push_back(ParseMessage(raw));
            }
            if (!result->members.empty() && ui_)
                ui_->Post(std::move(result));
            storeSeen(unseen);
        });
    } else if (const auto cached = bodyCache_.find(BodyKey(current.account, mailbox, current.header.uid));
               cached != bodyCache_.end()) {
        shownMessage_ = cached->second;
        shownReady_ = true;
        ShowCurrentPage(MessagePage(shownMessage_));
        if (!unseen.empty())
            jobs_.EnqueuePriority([unseen = std::move(unseen), storeSeen] { storeSeen(unseen); });
    } else {
        ShowCurrentPage(PlaceholderPage(u"Loading\u2026"));
        const uint32_t account = current.account;
        const uint32_t uid = current.header.uid;
        const bool markSeen = !unseen.empty();
        jobs_.EnqueuePriority([this, account, mailbox, uid, markSeen] { RunBodyLoad(account, mailbox, uid, markSeen); });
    }
    UpdateTray();
    if (ui_)
        ui_->Repaint();
}

void PosternApp::RunBodyLoad(uint32_t account, const std::string& mailbox, uint32_t uid, bool markSeen)
{
    std::string raw, error;
    if (!SelectMailbox(account, mailbox, error) || !FetchMessage(sessions_[account], uid, raw, error, markSeen)) {
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
    if (ui_)
        ui_->Post(std::move(result));
}

void PosternApp::OnBody(BodyResult& result)
{
    if (result.account < 0)
        return;
    const auto account = static_cast<uint32_t>(result.account);
    const bool shown = result.account == shownAccount_ && result.uid == shownUid_ && result.mailbox == shownMailbox_;
    if (PartBytes(result.message) <= kLargestCachedBody) {
        const std::string key = BodyKey(account, result.mailbox, result.uid);
        if (bodyCache_.insert_or_assign(key, result.message).second)
            bodyCacheOrder_.push_back(key);
        while (bodyCacheOrder_.size() > kBodyCacheEntries) {
            bodyCache_.erase(bodyCacheOrder_.front());
            bodyCacheOrder_.pop_front();
        }
    }
    if (!shown)
        return;
    shownMessage_ = std::move(result.message);
    shownReady_ = true;
    ShowCurrentPage(MessagePage(shownMessage_));
    if (ui_)
        ui_->Repaint();
}

void PosternApp::OnConversation(ConversationResult& result)
{
    if (result.account != shownAccount_ || result.uid != shownUid_ || result.mailbox != shownMailbox_
        || result.members.empty())
        return;
    shownMessage_ = result.members.back();
    shownReady_ = true;
    ShowCurrentPage(ConversationPage(result.members));
    if (ui_)
        ui_->Repaint();
}

void PosternApp::PrefetchHoveredFolder()
{
    if (hoverFolder_ < 0 || static_cast<size_t>(hoverFolder_) >= railItems_.size() || hoverFolder_ == currentFolder_)
        return;
    const RailItem& item = railItems_[static_cast<size_t>(hoverFolder_)];
    if (!IsOpenableFolder(item))
        return;
    const auto account = static_cast<uint32_t>(item.account);
    const auto cached = folderCache_.find(FolderKey(account, item.path));
    if (cached != folderCache_.end() && NowMs() - cached->second.loadedAtMs < kPrefetchPauseMs)
        return;
    jobs_.EnqueueNormal([this, account, mailbox = item.path] { RunHeaderLoad(account, mailbox, false, 0, true); });
}

void PosternApp::PrefetchHoveredRow()
{
    if (hoverRow_ < 0 || static_cast<size_t>(hoverRow_) >= list_.viewRows.size())
        return;
    const MessageRow& row = list_.viewRows[static_cast<size_t>(hoverRow_)];
    if (row.members.size() > 1)
        return;
    const std::string mailbox = MailboxOfRow(row);
    if (mailbox.empty() || BodyCached(row.account, mailbox, row.header.uid))
        return;
    jobs_.EnqueueNormal([this, account = row.account, mailbox, uid = row.header.uid] {
        RunBodyLoad(account, mailbox, uid, false);
    });
}

} // namespace postern
