// An account edited in the account dialog, and one removed from the list.
// The dialog itself is the shell's; this is what follows once it has saved.
#include "app/PosternApp.h"

#include <algorithm>

namespace postern {

void PosternApp::AccountEdited(size_t account)
{
    if (account >= settings_.accounts.size())
        return;
    if (account < idleWatchers_.size())
        idleWatchers_[account].reset();

    // The account may now name another server, where the same mailbox name
    // and UID are another message: nothing remembered of the old one stays.
    const std::string prefix = std::to_string(account) + '|';
    std::erase_if(folderCache_, [&](const auto& entry) { return entry.first.rfind(prefix, 0) == 0; });
    std::erase_if(folderUnread_, [&](const auto& entry) { return entry.first.rfind(prefix, 0) == 0; });
    std::erase_if(bodyCacheOrder_, [&](const std::string& key) {
        if (key.rfind(prefix, 0) != 0)
            return false;
        bodyCache_.erase(key);
        return true;
    });
    inboxHeaders_[account].clear();
    inboxLoadedAt_[account] = 0;
    inboxUnread_[account] = 0;
    UpdateTray();

    // On the priority lane, so that nothing asked for from now on runs on
    // the old connection.
    jobs_.EnqueuePriority([this, account, record = settings_.accounts[account]] {
        sessions_[account].Logout();
        workerAccounts_[account] = record;
        selectedMailbox_[account].clear();
        // The folder list names them again, perhaps differently.
        sentFolder_[account].clear();
        trashFolder_[account].clear();
        RunFolderListJob(account);
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
    const RailItem* item = CurrentItem();
    if (!item || item->lockedView || (!item->unified && item->account != static_cast<int32_t>(account)))
        return;
    ++loadGeneration_;
    if (item->unified) {
        RebuildUnified(true); // without the account's inbox, reloaded once its folders are known
        return;
    }
    const RailItem current = *item;
    StartLoadingState(current);
    QueueHeaderLoad(account, current.path, false, true);
    if (ui_)
        ui_->Repaint();
}

bool PosternApp::RemoveAccount(size_t account, std::string& error)
{
    if (account >= settings_.accounts.size()) {
        error = "There is no such account.";
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

} // namespace postern
