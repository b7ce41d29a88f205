// Keeping the window's picture of the mailboxes current: folder lists into
// the rail, header loads of the folder shown (or of every inbox for "All
// Inboxes"), unread counts, and the periodic refresh.
#include "app/PosternApp.h"

#include "app/RailTree.h"
#include "compose/ContactStore.h"
#include "mail/ImapMailbox.h"
#include "platform/AsciiText.h"
#include "platform/Charset.h"
#include "ui/ListModel.h"
#include "ui/StatusText.h"

#include <algorithm>

namespace postern {

namespace {

constexpr uint32_t kNewestHeaders = 200;
constexpr uint64_t kFolderCacheReuseMs = 60000;
constexpr uint64_t kInboxReloadPauseMs = 4000;

// Which line of the rail an index names, so that the same line can be found
// again after the rail was rebuilt around it.
struct RailIdentity {
    int32_t account = -1;
    std::string path;
    bool isAccount = false;
    bool unified = false;
    bool lockedView = false;
    bool valid = false;
};

RailIdentity IdentityAt(const std::vector<RailItem>& items, int32_t index)
{
    RailIdentity identity;
    if (index < 0 || static_cast<size_t>(index) >= items.size())
        return identity;
    const RailItem& item = items[static_cast<size_t>(index)];
    identity = {item.account, item.path, item.isAccount, item.unified, item.lockedView, true};
    return identity;
}

int32_t FindIdentity(const std::vector<RailItem>& items, const RailIdentity& identity)
{
    if (!identity.valid)
        return -1;
    for (size_t i = 0; i < items.size(); ++i) {
        const RailItem& item = items[i];
        if (item.account == identity.account && item.path == identity.path && item.isAccount == identity.isAccount
            && item.unified == identity.unified && item.lockedView == identity.lockedView)
            return static_cast<int32_t>(i);
    }
    return -1;
}

} // namespace

// --- worker jobs ---------------------------------------------------------------

void PosternApp::QueueFolderList(size_t account)
{
    jobs_.EnqueueNormal([this, account] { RunFolderListJob(account); });
}

void PosternApp::RunFolderListJob(size_t account)
{
    std::string error;
    std::vector<FolderInfo> folders;
    if (!EnsureConnected(account, error) || !ListFolders(sessions_[account], folders, error)) {
        const std::string name = account < workerAccounts_.size() ? workerAccounts_[account].name : std::string();
        PostError(Utf8ToUtf16(name) + u": " + Utf8ToUtf16(error));
        return;
    }
    for (const FolderInfo& folder : folders) {
        if (folder.isSent && sentFolder_[account].empty())
            sentFolder_[account] = folder.name;
        if (folder.isTrash && trashFolder_[account].empty())
            trashFolder_[account] = folder.name;
    }
    folderLists_[account] = folders;
    auto result = std::make_unique<FoldersResult>();
    result->account = static_cast<int>(account);
    result->folders = std::move(folders);
    if (ui_)
        ui_->Post(std::move(result));
    RunUnreadCountsJob(account, 0);
}

void PosternApp::RunUnreadCountsJob(size_t account, size_t firstFolder)
{
    std::string error;
    if (!EnsureConnected(account, error))
        return; // counts are background work: the next refresh tries again
    const std::vector<FolderInfo> folders = folderLists_[account];
    ImapSession& session = sessions_[account];
    for (size_t i = firstFolder; i < folders.size(); ++i) {
        const FolderInfo& folder = folders[i];
        if (folder.noSelect)
            continue;
        if (jobs_.PriorityWaiting()) {
            // Interactive work goes first; the counting resumes after it
            // instead of leaving the remaining folders without a count
            // until the next refresh.
            jobs_.EnqueueNormal([this, account, i] { RunUnreadCountsJob(account, i); });
            return;
        }
        uint32_t count = 0;
        if (folder.name == selectedMailbox_[account]) {
            // STATUS on the selected mailbox would make some servers drop
            // the selection; a search answers from it.
            std::vector<uint32_t> uids;
            if (!SearchUids(session, "UNSEEN", uids, error))
                continue;
            count = static_cast<uint32_t>(uids.size());
        } else if (!CountUnseen(session, folder.name, count, error)) {
            continue;
        }
        auto result = std::make_unique<UnreadCount>();
        result->account = static_cast<int>(account);
        result->mailbox = folder.name;
        result->count = count;
        if (ui_)
            ui_->Post(std::move(result));
    }
}

void PosternApp::RunHeaderLoad(size_t account, const std::string& mailbox, bool keepView, uint32_t generation,
                               bool prefetch)
{
    std::string error;
    uint32_t count = 0;
    bool selected = false;
    if (prefetch) {
        selected = EnsureConnected(account, error) && Select(sessions_[account], mailbox, count, error);
        if (selected)
            selectedMailbox_[account] = mailbox;
        else if (account < selectedMailbox_.size())
            selectedMailbox_[account].clear();
    } else {
        selected = SelectCounting(account, mailbox, count, error);
    }
    std::vector<MessageHeader> headers;
    if (selected && count > 0) {
        uint32_t first = 0, last = 0;
        NewestRange(count, kNewestHeaders, first, last);
        selected = FetchHeaders(sessions_[account], first, last, headers, error);
    }
    if (!selected) {
        if (!prefetch)
            PostError(Utf8ToUtf16(error));
        return;
    }
    std::sort(headers.begin(), headers.end(),
              [](const MessageHeader& a, const MessageHeader& b) { return a.seq > b.seq; });
    if (!prefetch)
        for (const MessageHeader& header : headers)
            Contacts().RecordAddresses(header.from);

    auto result = std::make_unique<HeadersResult>();
    result->account = static_cast<int>(account);
    result->mailbox = mailbox;
    result->messageCount = count;
    result->headers = std::move(headers);
    result->keepView = keepView;
    result->generation = generation;
    result->prefetch = prefetch;
    if (ui_)
        ui_->Post(std::move(result));
}

void PosternApp::QueueHeaderLoad(size_t account, const std::string& mailbox, bool keepView, bool priority)
{
    const uint32_t generation = loadGeneration_.load();
    auto job = [this, account, mailbox, keepView, generation] {
        RunHeaderLoad(account, mailbox, keepView, generation, false);
    };
    if (priority)
        jobs_.EnqueuePriority(std::move(job));
    else
        jobs_.EnqueueNormal(std::move(job));
}

void PosternApp::QueueInboxRefresh(size_t account)
{
    // The generation is the one current when the job runs: this load is
    // meant for whatever "All Inboxes" view is up by then.
    jobs_.EnqueueNormal([this, account, mailbox = inboxName_[account]] {
        RunHeaderLoad(account, mailbox, true, loadGeneration_.load(), false);
    });
}

void PosternApp::QueueUnreadCountsForAll()
{
    for (size_t account = 0; account < settings_.accounts.size(); ++account)
        jobs_.EnqueueNormal([this, account] { RunUnreadCountsJob(account, 0); });
}

// --- rail --------------------------------------------------------------------

void PosternApp::ApplyFolders(FoldersResult& result)
{
    if (result.account < 0 || static_cast<size_t>(result.account) >= settings_.accounts.size())
        return;
    const auto account = static_cast<size_t>(result.account);
    GrowAccountState(settings_.accounts.size());

    const RailIdentity current = IdentityAt(railItems_, currentFolder_);
    const RailIdentity hover = IdentityAt(railItems_, hoverFolder_);

    std::erase_if(railItems_, [&](const RailItem& item) { return item.account == result.account; });
    std::vector<RailItem> added = AccountRailItems(result.account, settings_.accounts[account].name, result.folders);
    railItems_.insert(railItems_.end(), std::make_move_iterator(added.begin()),
                      std::make_move_iterator(added.end()));
    inboxName_[account] = InboxNameOf(result.folders);

    if (settings_.accounts.size() >= 2 && (railItems_.empty() || !railItems_.front().unified))
        railItems_.insert(railItems_.begin(), UnifiedInboxItem());
    SyncLockedRailItem();

    // The selection stays on the same folder even though the account's
    // lines were rebuilt at other positions.
    currentFolder_ = FindIdentity(railItems_, current);
    hoverFolder_ = FindIdentity(railItems_, hover);

    if (currentFolder_ >= 0) {
        if (railItems_[static_cast<size_t>(currentFolder_)].unified && !inboxName_[account].empty())
            QueueInboxRefresh(account);
    } else if (settings_.accounts.size() >= 2 && !railItems_.empty() && railItems_.front().unified) {
        SelectFolder(0, false);
    } else {
        for (size_t i = 0; i < railItems_.size(); ++i)
            if (!railItems_[i].isAccount && railItems_[i].isInbox) {
                SelectFolder(static_cast<int32_t>(i), false);
                break;
            }
    }

    if (!autoSelectDone_ && reopenAccount_ == result.account && !reopenFolder_.empty()
        && !EqualsIgnoringAsciiCase(reopenFolder_, "INBOX") && reopenFolder_ != inboxName_[account]) {
        for (size_t i = 0; i < railItems_.size(); ++i) {
            const RailItem& item = railItems_[i];
            if (!item.isAccount && !item.unified && item.account == result.account && item.path == reopenFolder_) {
                SelectFolder(static_cast<int32_t>(i), false);
                break;
            }
        }
    }
    ShowStatus(u"Connected.");
}

void PosternApp::SyncLockedRailItem()
{
    const auto locked = std::find_if(railItems_.begin(), railItems_.end(),
                                     [](const RailItem& item) { return item.lockedView; });
    const bool present = locked != railItems_.end();
    if (present == !lockList_.Empty())
        return;
    if (!present) {
        const int32_t at = !railItems_.empty() && railItems_.front().unified ? 1 : 0;
        railItems_.insert(railItems_.begin() + at, LockedViewItem());
        ShiftRailIndices(at, 1);
        return;
    }
    const auto at = static_cast<int32_t>(locked - railItems_.begin());
    railItems_.erase(locked);
    if (currentFolder_ == at) {
        currentFolder_ = -1;
        lockedViewShown_ = false;
    }
    if (hoverFolder_ == at)
        hoverFolder_ = -1;
    ShiftRailIndices(at + 1, -1);
}

void PosternApp::ShiftRailIndices(int32_t from, int32_t delta)
{
    if (currentFolder_ >= from)
        currentFolder_ += delta;
    if (hoverFolder_ >= from)
        hoverFolder_ += delta;
}

// --- folder selection ----------------------------------------------------------

const RailItem* PosternApp::CurrentItem() const
{
    if (currentFolder_ < 0 || static_cast<size_t>(currentFolder_) >= railItems_.size())
        return nullptr;
    return &railItems_[static_cast<size_t>(currentFolder_)];
}

bool PosternApp::UnifiedShown() const
{
    const RailItem* item = CurrentItem();
    return item && item->unified;
}

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
    if (index < 0 || static_cast<size_t>(index) >= railItems_.size())
        return;
    const RailItem item = railItems_[static_cast<size_t>(index)];
    if (item.isAccount || !item.bright)
        return;
    const bool changed = index != currentFolder_;
    if (changed) {
        SelectOnly(list_, -1);
        list_.anchorRow = -1;
        if (ui_)
            ui_->ScrollToRow(-1);
        EmptyReadingPane();
        ++loadGeneration_;
    }
    currentFolder_ = index;
    list_.searchResults = false;
    lockedViewShown_ = item.lockedView;
    list_.unifiedInbox = item.unified;
    if (item.lockedView) {
        ShowLockedView();
    } else if (item.unified) {
        const bool anyCache = std::any_of(inboxHeaders_.begin(), inboxHeaders_.end(),
                                          [](const auto& headers) { return !headers.empty(); });
        if (changed) {
            if (anyCache)
                RebuildUnified(false);
            else
                StartLoadingState(item);
        }
        const uint64_t now = NowMs();
        for (size_t account = 0; account < inboxName_.size(); ++account) {
            if (inboxName_[account].empty())
                continue;
            if (!inboxHeaders_[account].empty() && now - inboxLoadedAt_[account] < kInboxReloadPauseMs)
                continue;
            QueueHeaderLoad(account, inboxName_[account], background || anyCache, !background);
        }
    } else {
        const auto account = static_cast<uint32_t>(item.account);
        bool fromCache = false;
        if (changed) {
            const auto cached = folderCache_.find(FolderKey(account, item.path));
            if (cached != folderCache_.end() && NowMs() - cached->second.loadedAtMs < kFolderCacheReuseMs) {
                AfterRowsApplied(ApplyFolderRows(list_, account, item.path, cached->second.headers,
                                                 cached->second.count, false, PendingReopen()));
                fromCache = true;
            } else {
                StartLoadingState(item);
            }
        }
        QueueHeaderLoad(account, item.path, background || fromCache, !background);
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
    if (CurrentItem() && !list_.searchResults)
        SelectFolder(currentFolder_, background);
    QueueUnreadCountsForAll();
}

// --- results -------------------------------------------------------------------

void PosternApp::OnHeaders(HeadersResult& result)
{
    if (result.account < 0 || static_cast<size_t>(result.account) >= settings_.accounts.size())
        return;
    const auto account = static_cast<uint32_t>(result.account);
    if (result.prefetch) {
        folderCache_[FolderKey(account, result.mailbox)] = {result.messageCount, std::move(result.headers), NowMs()};
        return;
    }
    if (result.generation != loadGeneration_.load())
        return;
    const RailItem* item = CurrentItem();
    if (!item)
        return;
    if (item->unified) {
        if (result.mailbox == inboxName_[account]) {
            inboxHeaders_[account] = std::move(result.headers);
            inboxLoadedAt_[account] = NowMs();
            RebuildUnified(result.keepView);
        }
        return;
    }
    if (item->account != result.account || item->path != result.mailbox)
        return;
    // The list keeps a copy for the next visit within a minute.
    folderCache_[FolderKey(account, result.mailbox)] = {result.messageCount, result.headers, NowMs()};
    AfterRowsApplied(ApplyFolderRows(list_, account, result.mailbox, result.headers, result.messageCount,
                                     result.keepView, PendingReopen()));
}

void PosternApp::RebuildUnified(bool keepView)
{
    std::vector<MessageRow> rows;
    uint32_t total = 0;
    for (size_t account = 0; account < inboxHeaders_.size(); ++account) {
        for (const MessageHeader& header : inboxHeaders_[account])
            rows.push_back(BuildRow(static_cast<uint32_t>(account), inboxName_[account], header));
        total += static_cast<uint32_t>(inboxHeaders_[account].size());
    }
    std::stable_sort(rows.begin(), rows.end(),
                     [](const MessageRow& a, const MessageRow& b) { return a.header.date > b.header.date; });
    AfterRowsApplied(ApplyRows(list_, std::move(rows), total, keepView, PendingReopen()));
}

bool PosternApp::IsInboxOf(size_t account, std::string_view mailbox) const
{
    return EqualsIgnoringAsciiCase(mailbox, "INBOX") || (account < inboxName_.size() && mailbox == inboxName_[account]);
}

void PosternApp::OnUnreadCount(const UnreadCount& result)
{
    if (result.account < 0 || static_cast<size_t>(result.account) >= inboxUnread_.size())
        return;
    const auto account = static_cast<size_t>(result.account);
    if (IsInboxOf(account, result.mailbox))
        inboxUnread_[account] = result.count;
    else
        folderUnread_[FolderKey(static_cast<uint32_t>(account), result.mailbox)] = result.count;
    UpdateTray();
    if (ui_)
        ui_->Repaint();
}

uint32_t PosternApp::UnreadOf(const RailItem& item) const
{
    if (item.lockedView || item.isAccount)
        return 0;
    if (item.unified)
        return UnreadTotal();
    if (item.account < 0 || static_cast<size_t>(item.account) >= inboxUnread_.size())
        return 0;
    const auto account = static_cast<size_t>(item.account);
    if (IsInboxOf(account, item.path))
        return inboxUnread_[account];
    const auto found = folderUnread_.find(FolderKey(static_cast<uint32_t>(account), item.path));
    return found == folderUnread_.end() ? 0 : found->second;
}

uint32_t PosternApp::UnreadTotal() const
{
    uint32_t total = 0;
    for (const uint32_t count : inboxUnread_)
        total += count;
    return total;
}

} // namespace postern
