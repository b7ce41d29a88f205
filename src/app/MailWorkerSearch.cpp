// The search across every folder of every account that Enter starts in the
// filter box. It runs folder by folder, posts its hits as it goes, gives way
// to interactive work by queueing its own continuation, and stops at its next
// step once the user has typed something else (the generation changed).
#include "app/MailWorker.h"

#include "app/WorkerLanes.h"
#include "mail/ImapMailbox.h"
#include "mail/ModifiedUtf7.h"
#include "platform/Charset.h"
#include "ui/SearchQuery.h"

#include <algorithm>

namespace postern {

namespace {

constexpr size_t kHitsPerFolder = 60;
constexpr size_t kEnoughHits = 800;

// Where the hits are likeliest to be, first.
int SearchRank(const FolderInfo& folder)
{
    if (folder.isInbox)
        return 0;
    if (folder.isSent)
        return 1;
    if (folder.isArchive)
        return 2;
    if (folder.isJunk)
        return 4;
    if (folder.isTrash)
        return 5;
    return 3;
}

std::string HitFolderLabel(const FolderInfo& folder)
{
    if (folder.isInbox)
        return "Inbox";
    const std::u16string name = MailboxDisplayName(folder.name);
    const char16_t delimiter = static_cast<unsigned char>(folder.delimiter != 0 ? folder.delimiter : '/');
    std::u16string label;
    for (const char16_t unit : name) {
        if (unit == delimiter)
            label += u" \u203A ";
        else
            label += unit;
    }
    return Utf16ToUtf8(label);
}

std::string UidSet(const std::vector<uint32_t>& uids)
{
    std::string set;
    for (const uint32_t uid : uids) {
        if (!set.empty())
            set += ',';
        set += std::to_string(uid);
    }
    return set;
}

} // namespace

void MailWorker::WSearch(uint32_t generation, std::string query, size_t account, size_t folderIndex,
                         size_t hitCount)
{
    auto current = [&] { return generations_.search && generations_.search->load() == generation; };
    auto post = [this, generation](std::vector<SearchHit> hits, bool done) {
        auto batch = std::make_unique<SearchBatch>();
        batch->generation = generation;
        batch->done = done;
        batch->hits = std::move(hits);
        Post(std::move(batch));
    };
    if (!current())
        return;
    const std::string criteria = ImapSearchCriteria(query);
    for (size_t a = account; !criteria.empty() && a < accounts_.size() && hitCount <= kEnoughHits; ++a) {
        if (!current())
            return;
        std::string error;
        if (!EnsureConnected(a, error))
            continue;
        std::vector<FolderInfo> folders = folderLists_[a];
        std::stable_sort(folders.begin(), folders.end(),
                         [](const FolderInfo& x, const FolderInfo& y) { return SearchRank(x) < SearchRank(y); });
        for (size_t f = a == account ? folderIndex : 0; f < folders.size() && hitCount <= kEnoughHits; ++f) {
            if (!current())
                return;
            if (lanes_.PriorityWaiting()) {
                // Interactive work goes first; the search resumes here.
                lanes_.Normal([generation, query, a, f, hitCount](MailWorker& worker) {
                    worker.WSearch(generation, query, a, f, hitCount);
                });
                return;
            }
            const FolderInfo& folder = folders[f];
            if (folder.noSelect)
                continue;
            uint32_t count = 0;
            std::vector<uint32_t> uids;
            if (!SelectAndSearch(sessions_[a], folder.name, criteria, count, uids, error)) {
                selectedMailbox_[a].clear();
                if (!sessions_[a].IsConnected() && !EnsureConnected(a, error))
                    break;
                continue;
            }
            selectedMailbox_[a] = folder.name;
            std::sort(uids.begin(), uids.end());
            if (uids.size() > kHitsPerFolder)
                uids.erase(uids.begin(), uids.end() - static_cast<std::ptrdiff_t>(kHitsPerFolder));
            if (uids.empty())
                continue;
            std::vector<MessageHeader> headers;
            if (!FetchHeadersByUid(sessions_[a], UidSet(uids), headers, error))
                continue;
            std::vector<SearchHit> hits;
            const std::string label = HitFolderLabel(folder);
            for (MessageHeader& header : headers)
                hits.push_back({static_cast<int>(a), folder.name, label, std::move(header)});
            hitCount += uids.size();
            if (!current())
                return;
            post(std::move(hits), false);
        }
    }
    if (current())
        post({}, true);
}

} // namespace postern
