// MailCaches: what the UI thread remembers of the servers to show things at
// once: recently read bodies (24 entries and 16 MiB at most, one over 2 MiB
// not at all), folder
// headers for a minute's revisit, and each account's inbox headers for "All
// Inboxes". Nothing here is written to disk.
#pragma once

#include "mail/MessageHeader.h"
#include "mail/MimeParser.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace postern {

struct FolderCacheEntry {
    uint32_t count = 0; // messages in the folder, not in `headers`
    std::vector<MessageHeader> headers;
    uint64_t loadedAtMs = 0;
};

class MailCaches {
public:
    // Bodies.
    void StoreBody(uint32_t account, std::string_view mailbox, uint32_t uid, const ParsedMessage& message);
    [[nodiscard]] const ParsedMessage* FindBody(uint32_t account, std::string_view mailbox, uint32_t uid) const;
    [[nodiscard]] size_t BodyCount() const { return bodyOrder_.size(); }
    [[nodiscard]] size_t BodyBytes() const { return bodyBytes_; }

    // Folder headers.
    void StoreFolder(uint32_t account, std::string_view mailbox, FolderCacheEntry entry);
    [[nodiscard]] const FolderCacheEntry* FindFolder(uint32_t account, std::string_view mailbox) const;

    // Inbox headers, for "All Inboxes".
    void GrowAccounts(size_t count);
    [[nodiscard]] size_t AccountCount() const { return inboxHeaders_.size(); }
    [[nodiscard]] std::vector<MessageHeader>& InboxHeaders(size_t account) { return inboxHeaders_[account]; }
    [[nodiscard]] const std::vector<MessageHeader>& InboxHeaders(size_t account) const
    {
        return inboxHeaders_[account];
    }
    [[nodiscard]] uint64_t InboxLoadedAt(size_t account) const { return inboxLoadedAt_[account]; }
    void StoreInbox(size_t account, std::vector<MessageHeader> headers, uint64_t nowMs);
    [[nodiscard]] bool AnyInbox() const;

    // Everything of the account goes (it may name another server now).
    void ForgetAccount(size_t account);

private:
    std::map<std::string, ParsedMessage> bodies_;
    std::deque<std::string> bodyOrder_;
    size_t bodyBytes_ = 0; // of the bodies held, as MessageBytes counts them
    std::map<std::string, FolderCacheEntry> folders_;
    std::vector<std::vector<MessageHeader>> inboxHeaders_;
    std::vector<uint64_t> inboxLoadedAt_;
};

// Keys of the caches: "account|mailbox" and "account|mailbox|uid".
[[nodiscard]] std::string FolderKey(uint32_t account, std::string_view mailbox);
[[nodiscard]] std::string BodyKey(uint32_t account, std::string_view mailbox, uint32_t uid);

} // namespace postern
