// The accounts on the UI thread's side: an account edited in the account
// dialog or removed from the list (the dialog itself is the shell's; this is
// what follows once it has saved), the new-mail watchers with the
// notification icon's unread total, and handing a compose window's message
// to the worker.
#include "app/PosternApp.h"

#include <algorithm>
#include <cstdio>

namespace postern {

void PosternApp::AccountEdited(size_t account)
{
    if (account >= settings_.accounts.size())
        return;
    if (account < idleWatchers_.size())
        idleWatchers_[account].reset();

    // The account may now name another server, where the same mailbox name
    // and UID are another message: nothing remembered of the old one stays.
    caches_.ForgetAccount(account);
    rail_.ForgetUnread(account);
    UpdateTray();

    // On the priority lane, so that nothing asked for from now on runs on
    // the old connection.
    lanes_.Priority([account, record = settings_.accounts[account]](MailWorker& worker) mutable {
        worker.WAccountEdited(account, std::move(record));
    });
    ForgetShownRowsOf(account);
    if (options_.startWatchers)
        StartWatcher(account);
    ShowStatus(u"Account updated \u2014 reconnecting\u2026");
}

// Rows of the old server must not stay on screen: opening, marking or
// deleting one would act on whatever has its UID on the new server. Loads
// already under way are dropped by the new generation.
void PosternApp::ForgetShownRowsOf(size_t account)
{
    if (shownAccount_ == static_cast<int32_t>(account))
        EmptyReadingPane();
    const RailItem* item = rail_.CurrentItem();
    if (!item || item->lockedView || (!item->unified && item->account != static_cast<int32_t>(account)))
        return;
    ++loadGeneration_;
    if (item->unified) {
        RebuildUnified(true); // without the account's inbox, reloaded once its folders are known
        return;
    }
    const RailItem current = *item;
    StartLoadingState(current);
    QueueHeaderLoad(account, current.path, false, Lane::priority);
    if (ui_)
        ui_->Repaint();
}

bool PosternApp::RemoveAccount(size_t account, std::string& error)
{
    if (account >= settings_.accounts.size()) {
        error = "There is no such account.";
        return false;
    }
    // The restart drops what is still queued: a message must not be lost
    // or sent half.
    if (sendsUnderWay_->load() > 0) {
        error = "A message is still being sent. Remove the account once it has gone.";
        return false;
    }
    AppSettings updated = settings_;
    updated.accounts.erase(updated.accounts.begin() + static_cast<std::ptrdiff_t>(account));
    // Everything that names accounts by their position moves with them.
    const auto removed = static_cast<int32_t>(account);
    if (updated.lastSelAccount == removed) {
        updated.lastSelAccount = -1;
        updated.lastSelFolder.clear();
        updated.lastSelUid = 0;
    } else if (updated.lastSelAccount > removed) {
        --updated.lastSelAccount;
    }
    LockList renumbered;
    for (const auto& [key, entry] : lockList_.Entries()) {
        if (entry.account == removed)
            continue;
        LockEntry moved = entry;
        if (moved.account > removed)
            --moved.account;
        std::string movedKey = LockKey(moved.account, moved.mailbox, moved.uid, moved.messageId);
        renumbered.Insert(std::move(movedKey), std::move(moved));
    }
    if (!SaveSettingsTo(settingsPath_, updated, error))
        return false;
    settings_ = std::move(updated);
    lockList_ = std::move(renumbered);
    SaveLocks();
    // The program restarts now; until this process has ended nothing may
    // write the old picture of the accounts back.
    StopWatchers();
    return true;
}

// --- watchers ------------------------------------------------------------------

void PosternApp::StartWatcher(size_t account)
{
    if (account >= settings_.accounts.size())
        return;
    const AccountConfig& config = settings_.accounts[account];
    WatchedAccount watched;
    watched.accountIndex = static_cast<int32_t>(account);
    watched.host = config.imapHost;
    watched.port = config.imapPort > 0 ? static_cast<uint32_t>(config.imapPort) : 0;
    watched.user = config.user;
    watched.oauth = config.auth == AuthKind::gmail;
    if (watched.oauth) {
        watched.clientId = config.clientId;
        watched.clientSecret = config.clientId.empty() ? std::string() : config.clientSecret;
        watched.refreshToken = config.refreshToken;
        watched.endpoints = options_.signIn.endpoints;
    } else {
        watched.password = config.password;
    }
    while (idleWatchers_.size() <= account)
        idleWatchers_.emplace_back();
    // Replacing the old watcher stops it first.
    idleWatchers_[account] = std::make_unique<IdleWatcher>();
    UiPort* port = ui_;
    idleWatchers_[account]->Start(std::move(watched), [port](int32_t index) {
        if (!port)
            return;
        auto record = std::make_unique<IdleActivityRecord>();
        record->account = index;
        port->Post(std::move(record));
    });
}

void PosternApp::StopWatchers()
{
    for (auto& watcher : idleWatchers_)
        watcher.reset();
}

void PosternApp::OnIdleActivity(int32_t account)
{
    if (account < 0 || static_cast<size_t>(account) >= settings_.accounts.size())
        return;
    const auto index = static_cast<size_t>(account);
    QueueUnreadCounts(index);
    if (!list_.filterText.empty())
        return;
    const RailItem* item = rail_.CurrentItem();
    if (!item)
        return;
    if (item->unified) {
        if (!rail_.InboxName(index).empty())
            QueueInboxRefresh(index);
    } else if (item->account == account) {
        RefreshCurrent(true);
    }
}

void PosternApp::UpdateTray()
{
    const uint32_t total = rail_.UnreadTotal();
    if (static_cast<int64_t>(total) == trayShownTotal_)
        return;
    trayShownTotal_ = static_cast<int32_t>(total);
    if (!ui_)
        return;
    if (total < 1) {
        ui_->ShowTray(false, u"Postern \u2014 no unread mail");
        return;
    }
    char count[16];
    std::snprintf(count, sizeof count, "%u", total);
    std::u16string tip = u"Postern \u2014 ";
    for (const char* c = count; *c; ++c)
        tip += static_cast<char16_t>(*c);
    ui_->ShowTray(true, tip + u" unread");
}

// --- sending -------------------------------------------------------------------

void PosternApp::QueueSend(SendRequestRecord& request)
{
    auto job = std::make_shared<SendRequestRecord>();
    job->composeWindow = request.composeWindow;
    job->request = std::move(request.request);
    sendsUnderWay_->fetch_add(1);
    lanes_.Normal([job, underWay = sendsUnderWay_](MailWorker& worker) {
        worker.WSend(*job);
        underWay->fetch_sub(1);
    });
}

} // namespace postern
