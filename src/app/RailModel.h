// RailModel: the rail as the UI thread holds it: its lines (account headers,
// folders, "All Inboxes", "Locked"), which line is current and which the
// pointer rests on, each account's inbox, and the unread counts its badges
// show. Lines are rebuilt whenever an account's folder list arrives; the
// current and hovered lines are found again by what they name, not by their
// position.
#pragma once

#include "mail/FolderInfo.h"
#include "ui/RailItem.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace postern {

class RailModel {
public:
    [[nodiscard]] const std::vector<RailItem>& Items() const { return items_; }
    [[nodiscard]] const RailItem* Item(int32_t index) const;
    [[nodiscard]] int32_t Current() const { return current_; }
    void SetCurrent(int32_t index) { current_ = index; }
    [[nodiscard]] int32_t Hover() const { return hover_; }
    void SetHover(int32_t index) { hover_ = index; }
    [[nodiscard]] const RailItem* CurrentItem() const { return Item(current_); }
    // Each line's rectangle as last painted, in item order.
    void SetHitRects(const std::vector<Rect>& rects);
    [[nodiscard]] bool UnifiedShown() const;

    // Per-account state for `count` accounts (it never shrinks: removing an
    // account restarts the program).
    void GrowAccounts(size_t count);
    [[nodiscard]] size_t AccountCount() const { return inboxName_.size(); }

    // The account's lines from its folder list, in place of the old ones;
    // "All Inboxes" leads the rail once there are two accounts. The current
    // and hovered lines stay on what they named (-1 when it is gone).
    void ReplaceAccount(int32_t account, std::string_view accountName, const std::vector<FolderInfo>& folders,
                        size_t accountCount);
    // Folds or unfolds an account header or a folder with children.
    void ToggleExpanded(int32_t index);
    // "Locked" is present exactly while something is locked. True when the
    // line that went away was the current one.
    bool SyncLockedItem(bool anyLocked);

    // The line of the account's folder `path`, or -1.
    [[nodiscard]] int32_t FindFolder(int32_t account, std::string_view path) const;
    // The first inbox line, or -1.
    [[nodiscard]] int32_t FirstInbox() const;

    [[nodiscard]] const std::string& InboxName(size_t account) const { return inboxName_[account]; }
    [[nodiscard]] bool IsInboxOf(size_t account, std::string_view mailbox) const;

    // Unread counts: the inboxes' (for the badges, "All Inboxes" and the
    // notification icon) and the other folders'.
    void SetUnread(size_t account, std::string_view mailbox, uint32_t count);
    void AdjustUnread(size_t account, std::string_view mailbox, int32_t delta);
    // An account's counts start over (it may name another server now).
    void ForgetUnread(size_t account);
    // An inbox's or folder's count, the sum of the inboxes for "All
    // Inboxes", 0 for headers and "Locked".
    [[nodiscard]] uint32_t UnreadOf(const RailItem& item) const;
    [[nodiscard]] uint32_t UnreadTotal() const;

private:
    void ShiftIndices(int32_t from, int32_t delta);

    std::vector<RailItem> items_;
    int32_t current_ = -1;
    int32_t hover_ = -1;
    std::vector<std::string> inboxName_;
    std::vector<uint32_t> inboxUnread_;
    std::map<std::pair<size_t, std::string>, uint32_t, std::less<>> folderUnread_; // not the inboxes
};

} // namespace postern
