// The worker's part of keeping the window's picture of the mailboxes
// current: folder lists, unread counts and header loads.
#include "app/MailWorker.h"

#include "app/WorkerLanes.h"
#include "compose/ContactStore.h"
#include "mail/ImapMailbox.h"
#include "platform/Charset.h"

#include <algorithm>

namespace postern {

namespace {

constexpr uint32_t kNewestHeaders = 200;

} // namespace

void MailWorker::WFolderList(size_t account)
{
    std::string error;
    std::vector<FolderInfo> folders;
    if (!EnsureConnected(account, error) || !ListFolders(sessions_[account], folders, error)) {
        const std::string name = account < accounts_.size() ? accounts_[account].name : std::string();
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
    Post(std::move(result));
    WUnreadCounts(account, 0);
}

void MailWorker::WUnreadCounts(size_t account, size_t firstFolder)
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
        if (lanes_.PriorityWaiting()) {
            // Interactive work goes first; the counting resumes after it
            // instead of leaving the remaining folders without a count
            // until the next refresh.
            lanes_.Normal([account, i](MailWorker& worker) { worker.WUnreadCounts(account, i); });
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
        PostUnreadCount(account, folder.name, count);
    }
}

void MailWorker::WHeaderLoad(const HeaderLoad& load)
{
    const size_t account = load.account;
    const bool prefetch = load.purpose == HeaderLoadPurpose::prefetch;
    std::string error;
    uint32_t count = 0;
    bool selected = false;
    if (prefetch) {
        selected = EnsureConnected(account, error) && Select(sessions_[account], load.mailbox, count, error);
        if (selected)
            selectedMailbox_[account] = load.mailbox;
        else if (account < selectedMailbox_.size())
            selectedMailbox_[account].clear();
    } else {
        selected = SelectCounting(account, load.mailbox, count, error);
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
    result->mailbox = load.mailbox;
    result->messageCount = count;
    result->headers = std::move(headers);
    result->keepView = load.keepView;
    result->generation = load.generation;
    result->prefetch = prefetch;
    Post(std::move(result));
}

} // namespace postern
