#include "app/RailTree.h"

#include "mail/ModifiedUtf7.h"
#include "platform/AsciiText.h"
#include "platform/Charset.h"

#include <algorithm>
#include <map>

namespace postern {

namespace {

char DelimiterOf(const FolderInfo& folder)
{
    return folder.delimiter != 0 ? folder.delimiter : '/';
}

int RoleRank(const FolderInfo& folder)
{
    if (folder.isInbox)
        return 0;
    if (folder.isDrafts)
        return 1;
    if (folder.isSent)
        return 2;
    if (folder.isArchive)
        return 3;
    if (folder.isJunk)
        return 4;
    if (folder.isTrash)
        return 5;
    return 6;
}

std::string_view LastComponent(const FolderInfo& folder)
{
    const size_t cut = folder.name.rfind(DelimiterOf(folder));
    return cut == std::string::npos ? std::string_view(folder.name)
                                    : std::string_view(folder.name).substr(cut + 1);
}

std::string ParentOf(const FolderInfo& folder)
{
    const size_t cut = folder.name.rfind(DelimiterOf(folder));
    return cut == std::string::npos ? std::string() : folder.name.substr(0, cut);
}

class TreeBuilder {
public:
    TreeBuilder(int32_t account, const std::vector<FolderInfo>& folders) : account_(account)
    {
        for (const FolderInfo& folder : folders)
            byName_.emplace(folder.name, folder);
        AddMissingParents();
        for (const auto& [name, folder] : byName_)
            children_[ParentOf(folder)].push_back(&folder);
        for (auto& [parent, group] : children_)
            std::stable_sort(group.begin(), group.end(), [](const FolderInfo* a, const FolderInfo* b) {
                const int rankA = RoleRank(*a), rankB = RoleRank(*b);
                if (rankA != rankB)
                    return rankA < rankB;
                return ToLowerAscii(LastComponent(*a)) < ToLowerAscii(LastComponent(*b));
            });
    }

    void AppendFrom(const std::string& parent, int32_t depth, std::vector<RailItem>& items) const
    {
        const auto group = children_.find(parent);
        if (group == children_.end())
            return;
        for (const FolderInfo* folder : group->second) {
            const bool hasChildren = children_.count(folder->name) > 0;
            items.push_back(ItemFor(*folder, depth, hasChildren));
            // A folder named like its own parent ("a/" with delimiter "/")
            // would recurse forever; the empty parent is only the top.
            if (hasChildren && !folder->name.empty())
                AppendFrom(folder->name, depth + 1, items);
        }
    }

private:
    // Servers may list "Reports/2024/Q1" without "Reports" or "Reports/2024";
    // the tree still needs those lines, as folders that cannot be opened.
    void AddMissingParents()
    {
        std::vector<FolderInfo> missing;
        for (const auto& [name, folder] : byName_) {
            const char delimiter = DelimiterOf(folder);
            for (size_t at = name.find(delimiter); at != std::string::npos; at = name.find(delimiter, at + 1)) {
                if (at == 0)
                    continue;
                std::string parent = name.substr(0, at);
                if (byName_.count(parent) > 0)
                    continue;
                FolderInfo filler;
                filler.name = std::move(parent);
                filler.delimiter = delimiter;
                filler.noSelect = true;
                missing.push_back(std::move(filler));
            }
        }
        for (FolderInfo& filler : missing)
            byName_.emplace(filler.name, std::move(filler));
    }

    RailItem ItemFor(const FolderInfo& folder, int32_t depth, bool hasChildren) const
    {
        RailItem item;
        item.account = account_;
        item.path = folder.name;
        item.noSelect = folder.noSelect;
        item.isInbox = folder.isInbox;
        item.isSent = folder.isSent;
        item.isTrash = folder.isTrash;
        item.isDrafts = folder.isDrafts;
        item.isJunk = folder.isJunk;
        item.isArchive = folder.isArchive;
        item.depth = depth;
        item.hasChildren = hasChildren;
        item.bright = !folder.noSelect;
        item.label = folder.isInbox && depth == 0 ? std::u16string(u"Inbox") : MailboxDisplayName(LastComponent(folder));
        return item;
    }

    int32_t account_;
    std::map<std::string, FolderInfo> byName_;
    std::map<std::string, std::vector<const FolderInfo*>> children_;
};

} // namespace

std::vector<RailItem> AccountRailItems(int32_t account, std::string_view accountName,
                                       const std::vector<FolderInfo>& folders)
{
    std::vector<RailItem> items;
    RailItem header;
    header.account = account;
    header.isAccount = true;
    header.label = ToUpperAscii(Utf8ToUtf16(accountName));
    items.push_back(std::move(header));

    const TreeBuilder tree(account, folders);
    tree.AppendFrom(std::string(), 0, items);
    items.front().hasChildren = items.size() > 1;
    return items;
}

std::string InboxNameOf(const std::vector<FolderInfo>& folders)
{
    for (const FolderInfo& folder : folders)
        if (folder.isInbox)
            return folder.name;
    return {};
}

RailItem UnifiedInboxItem()
{
    RailItem item;
    item.label = u"All Inboxes";
    item.bright = true;
    item.unified = true;
    return item;
}

RailItem LockedViewItem()
{
    RailItem item;
    item.label = u"Locked";
    item.bright = true;
    item.lockedView = true;
    return item;
}

} // namespace postern
