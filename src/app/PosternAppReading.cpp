// The reading pane: opening a row (one message or a whole conversation),
// the body jobs, the cache of recently read bodies, and the prefetches the
// pointer triggers by resting on a folder or a row.
#include "app/PosternApp.h"

#include "ui/ConversationPage.h"
#include "ui/ListModel.h"
#include "ui/MessagePage.h"
#include "ui/PlaceholderPage.h"
#include "ui/StatusText.h"

#include <algorithm>

namespace postern {

namespace {

constexpr uint64_t kPrefetchPauseMs = 30001;

} // namespace

std::string PosternApp::MailboxOfRow(const MessageRow& row) const
{
    if (!row.mailbox.empty())
        return row.mailbox;
    const RailItem* item = rail_.CurrentItem();
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
    if (row < 0 || static_cast<size_t>(row) >= list_.viewRows.size() || !rail_.CurrentItem())
        return;
    if (keepSelection) {
        list_.currentRow = row;
        list_.selectedRows.insert(row);
    } else {
        const bool wasSeveral = list_.selectedRows.size() > 1;
        SelectOnly(list_, row);
        list_.anchorRow = row;
        if (wasSeveral)
            UpdateStatusText(list_); // no longer "3 selected"
    }
    const MessageRow& shown = list_.viewRows[static_cast<size_t>(row)];
    const std::string mailbox = MailboxOfRow(shown);
    shownUid_ = shown.header.uid;
    shownAccount_ = static_cast<int32_t>(shown.account);
    shownMailbox_ = mailbox;
    shownReady_ = false;
    listScroll_ = ScrollIntoView(Metrics(), listScroll_, row);
    ClampScroll();

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
    if (current.members.size() > 1) {
        ShowCurrentPage(PlaceholderPage(u"Loading conversation\u2026"));
        ConversationLoad load;
        load.account = current.account;
        load.mailbox = mailbox;
        load.rowUid = current.header.uid;
        load.members = current.members;
        load.unseen = std::move(unseen);
        lanes_.Priority(
            [load = std::move(load)](MailWorker& worker) mutable { worker.WConversationLoad(std::move(load)); });
    } else if (const ParsedMessage* cached = caches_.FindBody(current.account, mailbox, current.header.uid)) {
        shownMessage_ = *cached;
        shownReady_ = true;
        ShowCurrentPage(MessagePage(shownMessage_));
        if (!unseen.empty())
            lanes_.Priority([unseen = std::move(unseen)](MailWorker& worker) { worker.WStoreSeen(unseen, true); });
    } else {
        ShowCurrentPage(PlaceholderPage(u"Loading\u2026"));
        const SeenOnFetch seen = unseen.empty() ? SeenOnFetch::leave : SeenOnFetch::mark;
        lanes_.Priority([account = current.account, mailbox, uid = current.header.uid, seen](MailWorker& worker) {
            worker.WBodyLoad(account, mailbox, uid, seen);
        });
    }
    UpdateTray();
    if (ui_)
        ui_->Repaint();
}

void PosternApp::OnBody(BodyResult& result)
{
    if (result.account < 0)
        return;
    const auto account = static_cast<uint32_t>(result.account);
    const bool shown = result.account == shownAccount_ && result.uid == shownUid_ && result.mailbox == shownMailbox_;
    caches_.StoreBody(account, result.mailbox, result.uid, result.message);
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
    const RailItem* item = rail_.Item(rail_.Hover());
    if (!item || rail_.Hover() == rail_.Current() || !IsOpenableFolder(*item))
        return;
    const auto account = static_cast<uint32_t>(item->account);
    const FolderCacheEntry* cached = caches_.FindFolder(account, item->path);
    if (cached && NowMs() - cached->loadedAtMs < kPrefetchPauseMs)
        return;
    HeaderLoad load;
    load.account = account;
    load.mailbox = item->path;
    load.purpose = HeaderLoadPurpose::prefetch;
    lanes_.Normal([load = std::move(load)](MailWorker& worker) { worker.WHeaderLoad(load); });
}

void PosternApp::PrefetchHoveredRow()
{
    if (hoverRow_ < 0 || static_cast<size_t>(hoverRow_) >= list_.viewRows.size())
        return;
    const MessageRow& row = list_.viewRows[static_cast<size_t>(hoverRow_)];
    if (row.members.size() > 1)
        return;
    const std::string mailbox = MailboxOfRow(row);
    if (mailbox.empty() || caches_.FindBody(row.account, mailbox, row.header.uid))
        return;
    lanes_.Normal([account = row.account, mailbox, uid = row.header.uid](MailWorker& worker) {
        worker.WBodyLoad(account, mailbox, uid, SeenOnFetch::leave);
    });
}

} // namespace postern
