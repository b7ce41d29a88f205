#include "app/RailModel.h"

#include "app/RailTree.h"
#include "ui/MainLayout.h"
#include "platform/AsciiText.h"

#include <algorithm>
#include <iterator>

namespace postern {

namespace {

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

template <typename List>
void GrowTo(List& list, size_t count)
{
    if (list.size() < count)
        list.resize(count);
}

} // namespace

const RailItem* RailModel::Item(int32_t index) const
{
    if (index < 0 || static_cast<size_t>(index) >= items_.size())
        return nullptr;
    return &items_[static_cast<size_t>(index)];
}

bool RailModel::UnifiedShown() const
{
    const RailItem* item = CurrentItem();
    return item && item->unified;
}

void RailModel::GrowAccounts(size_t count)
{
    GrowTo(inboxName_, count);
    GrowTo(inboxUnread_, count);
}

void RailModel::ReplaceAccount(int32_t account, std::string_view accountName, const std::vector<FolderInfo>& folders,
                               size_t accountCount)
{
    GrowAccounts(accountCount);
    const RailIdentity current = IdentityAt(items_, current_);
    const RailIdentity hover = IdentityAt(items_, hover_);

    // A refresh keeps what the user folded.
    std::vector<std::string> folded;
    for (const RailItem& item : items_) {
        if (item.account == account && !item.expanded)
            folded.push_back(item.path);
    }
    std::erase_if(items_, [&](const RailItem& item) { return item.account == account; });
    std::vector<RailItem> added = AccountRailItems(account, accountName, folders);
    for (RailItem& item : added) {
        if (std::find(folded.begin(), folded.end(), item.path) != folded.end())
            item.expanded = false;
    }
    items_.insert(items_.end(), std::make_move_iterator(added.begin()), std::make_move_iterator(added.end()));
    inboxName_[static_cast<size_t>(account)] = InboxNameOf(folders);

    if (accountCount >= 2 && (items_.empty() || !items_.front().unified))
        items_.insert(items_.begin(), UnifiedInboxItem());

    current_ = FindIdentity(items_, current);
    hover_ = FindIdentity(items_, hover);
}

void RailModel::ToggleExpanded(int32_t index)
{
    if (index < 0 || static_cast<size_t>(index) >= items_.size())
        return;
    RailItem& item = items_[static_cast<size_t>(index)];
    item.expanded = !item.expanded;
    // A line that folding hid can be neither hovered nor hit.
    const std::vector<bool> shown = ShownRailItems(items_);
    if (hover_ >= 0 && static_cast<size_t>(hover_) < shown.size() && !shown[static_cast<size_t>(hover_)])
        hover_ = -1;
}

bool RailModel::SyncLockedItem(bool anyLocked)
{
    const auto locked =
        std::find_if(items_.begin(), items_.end(), [](const RailItem& item) { return item.lockedView; });
    const bool present = locked != items_.end();
    if (present == anyLocked)
        return false;
    if (!present) {
        const int32_t at = !items_.empty() && items_.front().unified ? 1 : 0;
        items_.insert(items_.begin() + at, LockedViewItem());
        ShiftIndices(at, 1);
        return false;
    }
    const auto at = static_cast<int32_t>(locked - items_.begin());
    items_.erase(locked);
    const bool wasCurrent = current_ == at;
    if (wasCurrent)
        current_ = -1;
    if (hover_ == at)
        hover_ = -1;
    ShiftIndices(at + 1, -1);
    return wasCurrent;
}

void RailModel::ShiftIndices(int32_t from, int32_t delta)
{
    if (current_ >= from)
        current_ += delta;
    if (hover_ >= from)
        hover_ += delta;
}

int32_t RailModel::FindFolder(int32_t account, std::string_view path) const
{
    for (size_t i = 0; i < items_.size(); ++i) {
        const RailItem& item = items_[i];
        if (!item.isAccount && !item.unified && item.account == account && item.path == path)
            return static_cast<int32_t>(i);
    }
    return -1;
}

int32_t RailModel::FirstInbox() const
{
    for (size_t i = 0; i < items_.size(); ++i)
        if (!items_[i].isAccount && items_[i].isInbox)
            return static_cast<int32_t>(i);
    return -1;
}

bool RailModel::IsInboxOf(size_t account, std::string_view mailbox) const
{
    return EqualsIgnoringAsciiCase(mailbox, "INBOX") || (account < inboxName_.size() && mailbox == inboxName_[account]);
}

void RailModel::SetUnread(size_t account, std::string_view mailbox, uint32_t count)
{
    if (account >= inboxUnread_.size())
        return;
    if (IsInboxOf(account, mailbox))
        inboxUnread_[account] = count;
    else
        folderUnread_[{account, std::string(mailbox)}] = count;
}

void RailModel::AdjustUnread(size_t account, std::string_view mailbox, int32_t delta)
{
    if (account >= inboxUnread_.size())
        return;
    uint32_t& count = IsInboxOf(account, mailbox) ? inboxUnread_[account]
                                                  : folderUnread_[{account, std::string(mailbox)}];
    if (delta < 0)
        count -= std::min(count, static_cast<uint32_t>(-delta));
    else
        count += static_cast<uint32_t>(delta);
}

void RailModel::ForgetUnread(size_t account)
{
    if (account >= inboxUnread_.size())
        return;
    std::erase_if(folderUnread_, [&](const auto& entry) { return entry.first.first == account; });
    inboxUnread_[account] = 0;
}

uint32_t RailModel::UnreadOf(const RailItem& item) const
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
    const auto found = folderUnread_.find(std::make_pair(account, item.path));
    return found == folderUnread_.end() ? 0 : found->second;
}

uint32_t RailModel::UnreadTotal() const
{
    uint32_t total = 0;
    for (const uint32_t count : inboxUnread_)
        total += count;
    return total;
}

void RailModel::SetHitRects(const std::vector<Rect>& rects)
{
    for (size_t i = 0; i < items_.size(); ++i)
        items_[i].hitRect = i < rects.size() ? rects[i] : Rect{};
}

} // namespace postern
