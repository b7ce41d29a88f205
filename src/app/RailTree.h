// The rail lines of one account, built from its folder list: folders as a
// tree under the account's header, parents the server did not list filled in
// as lines that cannot be opened, and siblings in role order (Inbox, Drafts,
// Sent, Archive, Junk, Trash, then the rest by name).
#pragma once

#include "mail/FolderInfo.h"
#include "ui/RailItem.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace postern {

// The account header followed by its folders, depth first.
[[nodiscard]] std::vector<RailItem> AccountRailItems(int32_t account, std::string_view accountName,
                                                     const std::vector<FolderInfo>& folders);

// The name of the first folder with the inbox role, or empty.
[[nodiscard]] std::string InboxNameOf(const std::vector<FolderInfo>& folders);

// The rail item of "All Inboxes" and of "Locked".
[[nodiscard]] RailItem UnifiedInboxItem();
[[nodiscard]] RailItem LockedViewItem();

} // namespace postern
