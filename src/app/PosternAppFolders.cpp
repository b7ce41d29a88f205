// Keeping the window's picture of the mailboxes current: folder lists into
// the rail, header loads of the folder shown (or of every inbox for "All
// Inboxes"), unread counts, and the periodic refresh. The server work is the
// worker's; this is the UI thread's half.
#include "app/PosternApp.h"

#include "platform/AsciiText.h"
#include "ui/ListModel.h"
#include "ui/StatusText.h"

#include <algorithm>

namespace postern {

namespace {

constexpr uint64_t kFolderCacheReuseMs = 60000;
constexpr uint64_t kInboxReloadPauseMs = 4000;

} // namespace

// --- jobs ------------------------------------------------------------------------

void PosternApp::QueueFolderList(size_t account)
{
    lanes_.Normal([account](MailWorker& worker) { worker.WFolderList(account); });
}

void PosternApp::QueueUnreadCounts(size_t account)
{
    lanes_.Normal([account](MailWorker& worker) { worker.WUnreadCounts(account, 0); });
}

void PosternApp::QueueHeaderLoad(size_t account, const std::string& mailbox, bool keepView, Lane lane)
{
    HeaderLoad load;
    load.account = account;
    load.mailbox = mailbox;
    load.generation = loadGeneration_.load();
    load.keepView = keepView;
    auto job = [load = std::move(load)](MailWorker& worker) { worker.WHeaderLoad(load); };
    if (lane == Lane::priority)
        lanes_.Priority(std::move(job));
    else
        lanes_.Normal(std::move(job));
}

void PosternApp::QueueInboxRefresh(size_t account)
{
    // The generation is the one current when the job runs: this load is
    // meant for whatever "All Inboxes" view is up by then.
    lanes_.Normal([account, mailbox = rail_.InboxName(account)](MailWorker& worker) {
        HeaderLoad load;
        load.account = account;
        load.mailbox = mailbox;
        load.generation = worker.CurrentLoadGeneration();
        load.keepView = true;
        worker.WHeaderLoad(load);
    });
}

void PosternApp::QueueUnreadCountsForAll()
{
    for (size_t account = 0; account < settings_.accounts.size(); ++account)
        QueueUnreadCounts(account);
}

// --- rail --------------------------------------------------------------------

void PosternApp::ApplyFolders(FoldersResult& result)
{
    if (result.account < 0 || static_cast<size_t>(result.account) >= settings_.accounts.size())
        return;
    const auto account = static_cast<size_t>(result.account);
    GrowAccountState(settings_.accounts.size());
    rail_.ReplaceAccount(result.account, settings_.accounts[account].name, result.folders,
                         settings_.accounts.size());
    SyncLockedRailItem();

    const std::vector<RailItem>& items = rail_.Items();
    if (const RailItem* current = rail_.CurrentItem()) {
        if (current->unified && !rail_.InboxName(account).empty())
            QueueInboxRefresh(account);
    } else if (settings_.accounts.size() >= 2 && !items.empty() && items.front().unified) {
        SelectFolder(0, false);
    } else if (const int32_t inbox = rail_.FirstInbox(); inbox >= 0) {
        SelectFolder(inbox, false);
    }

    if (!autoSelectDone_ && reopenAccount_ == result.account && !reopenFolder_.empty()
        && !EqualsIgnoringAsciiCase(reopenFolder_, "INBOX") && reopenFolder_ != rail_.InboxName(account)) {
        if (const int32_t folder = rail_.FindFolder(result.account, reopenFolder_); folder >= 0)
            SelectFolder(folder, false);
    }
    ShowStatus(u"Connected.");
}

void PosternApp::SyncLockedRailItem()
{
    if (rail_.SyncLockedItem(!lockList_.Empty()))
        lockedViewShown_ = false;
}

// --- folder selection ----------------------------------------------------------

ReopenRequest PosternApp::PendingReopen() const
{
    ReopenRequest reopen;
    reopen.pending = !autoSelectDone_ && reopenAccount_ >= 0;
    reopen.account = reopenAccount_ >= 0 ? static_cast<uint32_t>(reopenAccount_) : 0;
    reopen.uid = reopenUid_;
    return reopen;
}

void PosternApp::StartLoadingState(const RailItem& item)
{
    list_.viewRows.clear();
    list_.allRows.clear();
    SelectOnly(list_, -1);
    list_.loading = true;
    list_.statusText = u"Syncing " + item.label + u"\u2026";
}

void PosternApp::SelectFolder(int32_t index, bool background)
{
    const RailItem* chosen = rail_.Item(index);
    if (!chosen || chosen->isAccount || !chosen->bright)
        return;
    const RailItem item = *chosen;
    const bool changed = index != rail_.Current();
    if (changed) {
        SelectOnly(list_, -1);
        list_.anchorRow = -1;
        listScroll_ = 0;
        EmptyReadingPane();
        ++loadGeneration_;
    }
    rail_.SetCurrent(index);
    list_.searchResults = false;
    lockedViewShown_ = item.lockedView;
    list_.unifiedInbox = item.unified;
    const Lane lane = background ? Lane::normal : Lane::priority;
    if (item.lockedView) {
        ShowLockedView();
    } else if (item.unified) {
        const bool anyCache = caches_.AnyInbox();
        if (changed) {
            if (anyCache)
                RebuildUnified(false);
            else
                StartLoadingState(item);
        }
        const uint64_t now = NowMs();
        for (size_t account = 0; account < rail_.AccountCount(); ++account) {
            const std::string& inbox = rail_.InboxName(account);
            if (inbox.empty())
                continue;
            if (!caches_.InboxHeaders(account).empty() && now - caches_.InboxLoadedAt(account) < kInboxReloadPauseMs)
                continue;
            QueueHeaderLoad(account, inbox, background || anyCache, lane);
        }
    } else {
        const auto account = static_cast<uint32_t>(item.account);
        bool fromCache = false;
        if (changed) {
            const FolderCacheEntry* cached = caches_.FindFolder(account, item.path);
            if (cached && NowMs() - cached->loadedAtMs < kFolderCacheReuseMs) {
                AfterRowsApplied(ApplyFolderRows(list_, account, item.path, cached->headers, cached->count, false,
                                                 PendingReopen()));
                fromCache = true;
            } else {
                StartLoadingState(item);
            }
        }
        QueueHeaderLoad(account, item.path, background || fromCache, lane);
    }
    if (ui_)
        ui_->Repaint();
}

void PosternApp::AfterRowsApplied(const RowsApplied& applied)
{
    if (applied.emptyReadingPane && shownAccount_ >= 0)
        EmptyReadingPane();
    if (applied.reopenRow >= 0)
        SelectRow(applied.reopenRow, false);
    if (ui_)
        ui_->Repaint();
}

void PosternApp::SetConversationMode(bool on)
{
    ChangeConversationMode(list_, on);
    if (ui_)
        ui_->Repaint();
}

void PosternApp::RefreshCurrent(bool background)
{
    if (lockedViewShown_)
        return;
    // Reloading the folder would put its rows in place of the search's hits,
    // which the user is still looking at.
    if (rail_.CurrentItem() && !list_.searchResults)
        SelectFolder(rail_.Current(), background);
    QueueUnreadCountsForAll();
}

// --- results -------------------------------------------------------------------

void PosternApp::OnHeaders(HeadersResult& result)
{
    if (result.account < 0 || static_cast<size_t>(result.account) >= settings_.accounts.size())
        return;
    const auto account = static_cast<uint32_t>(result.account);
    if (result.prefetch) {
        caches_.StoreFolder(account, result.mailbox, {result.messageCount, std::move(result.headers), NowMs()});
        return;
    }
    if (result.generation != loadGeneration_.load())
        return;
    const RailItem* item = rail_.CurrentItem();
    if (!item)
        return;
    if (item->unified) {
        if (result.mailbox == rail_.InboxName(account)) {
            caches_.StoreInbox(account, std::move(result.headers), NowMs());
            RebuildUnified(result.keepView);
        }
        return;
    }
    if (item->account != result.account || item->path != result.mailbox)
        return;
    // The list keeps a copy for the next visit within a minute.
    caches_.StoreFolder(account, result.mailbox, {result.messageCount, result.headers, NowMs()});
    AfterRowsApplied(ApplyFolderRows(list_, account, result.mailbox, result.headers, result.messageCount,
                                     result.keepView, PendingReopen()));
}

void PosternApp::RebuildUnified(bool keepView)
{
    std::vector<MessageRow> rows;
    uint32_t total = 0;
    for (size_t account = 0; account < caches_.AccountCount(); ++account) {
        for (const MessageHeader& header : caches_.InboxHeaders(account))
            rows.push_back(BuildRow(static_cast<uint32_t>(account), rail_.InboxName(account), header));
        total += static_cast<uint32_t>(caches_.InboxHeaders(account).size());
    }
    std::stable_sort(rows.begin(), rows.end(),
                     [](const MessageRow& a, const MessageRow& b) { return a.header.date > b.header.date; });
    AfterRowsApplied(ApplyRows(list_, std::move(rows), total, keepView, PendingReopen()));
}

void PosternApp::OnUnreadCount(const UnreadCount& result)
{
    if (result.account < 0 || static_cast<size_t>(result.account) >= rail_.AccountCount())
        return;
    rail_.SetUnread(static_cast<size_t>(result.account), result.mailbox, result.count);
    UpdateTray();
    if (ui_)
        ui_->Repaint();
}

} // namespace postern
