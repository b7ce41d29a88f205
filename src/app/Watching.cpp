// New mail: one watcher per account idles on its inbox and reports activity;
// the window then refreshes counts and, when the account's mail is on
// screen, the list. The notification-area icon shows the inboxes' unread
// total.
#include "app/PosternApp.h"

#include <cstdio>

namespace postern {

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
    jobs_.EnqueueNormal([this, index] { RunUnreadCountsJob(index, 0); });
    if (!list_.filterText.empty())
        return;
    const RailItem* item = CurrentItem();
    if (!item)
        return;
    if (item->unified) {
        if (!inboxName_[index].empty())
            QueueInboxRefresh(index);
    } else if (item->account == account) {
        RefreshCurrent(true);
    }
}

void PosternApp::UpdateTray()
{
    const uint32_t total = UnreadTotal();
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

} // namespace postern
