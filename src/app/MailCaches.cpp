#include "app/MailCaches.h"

#include <algorithm>

namespace postern {

namespace {

constexpr size_t kBodyCacheEntries = 24;
// A message larger than this is fetched again when reopened; all cached
// bodies together stay below the second bound, whatever their count.
constexpr size_t kLargestCachedBody = 0x200000;
constexpr size_t kBodyCacheBytes = 0x1000000;

size_t MessageBytes(const ParsedMessage& message)
{
    size_t total = message.textBody.size() + message.htmlBody.size() + message.from.size() + message.to.size()
                   + message.cc.size() + message.subject.size() + message.references.size();
    for (const MimePart& part : message.parts)
        total += part.data.size() + part.filename.size() + part.contentType.size();
    return total;
}

bool HasPrefix(const std::string& key, const std::string& prefix)
{
    return key.rfind(prefix, 0) == 0;
}

} // namespace

std::string FolderKey(uint32_t account, std::string_view mailbox)
{
    std::string key = std::to_string(account);
    key += '|';
    key += mailbox;
    return key;
}

std::string BodyKey(uint32_t account, std::string_view mailbox, uint32_t uid)
{
    return FolderKey(account, mailbox) + '|' + std::to_string(uid);
}

void MailCaches::StoreBody(uint32_t account, std::string_view mailbox, uint32_t uid, const ParsedMessage& message)
{
    const size_t bytes = MessageBytes(message);
    if (bytes > kLargestCachedBody)
        return;
    const std::string key = BodyKey(account, mailbox, uid);
    const auto old = bodies_.find(key);
    if (old != bodies_.end()) {
        bodyBytes_ -= MessageBytes(old->second);
        old->second = message;
    } else {
        bodies_.emplace(key, message);
        bodyOrder_.push_back(key);
    }
    bodyBytes_ += bytes;
    while (bodyOrder_.size() > kBodyCacheEntries || bodyBytes_ > kBodyCacheBytes) {
        const auto oldest = bodies_.find(bodyOrder_.front());
        bodyBytes_ -= MessageBytes(oldest->second);
        bodies_.erase(oldest);
        bodyOrder_.pop_front();
    }
}

const ParsedMessage* MailCaches::FindBody(uint32_t account, std::string_view mailbox, uint32_t uid) const
{
    const auto found = bodies_.find(BodyKey(account, mailbox, uid));
    return found == bodies_.end() ? nullptr : &found->second;
}

void MailCaches::StoreFolder(uint32_t account, std::string_view mailbox, FolderCacheEntry entry)
{
    folders_[FolderKey(account, mailbox)] = std::move(entry);
}

const FolderCacheEntry* MailCaches::FindFolder(uint32_t account, std::string_view mailbox) const
{
    const auto found = folders_.find(FolderKey(account, mailbox));
    return found == folders_.end() ? nullptr : &found->second;
}

void MailCaches::GrowAccounts(size_t count)
{
    if (inboxHeaders_.size() < count) {
        inboxHeaders_.resize(count);
        inboxLoadedAt_.resize(count);
    }
}

void MailCaches::StoreInbox(size_t account, std::vector<MessageHeader> headers, uint64_t nowMs)
{
    inboxHeaders_[account] = std::move(headers);
    inboxLoadedAt_[account] = nowMs;
}

bool MailCaches::AnyInbox() const
{
    return std::any_of(inboxHeaders_.begin(), inboxHeaders_.end(),
                       [](const auto& headers) { return !headers.empty(); });
}

void MailCaches::ForgetAccount(size_t account)
{
    const std::string prefix = std::to_string(account) + '|';
    std::erase_if(folders_, [&](const auto& entry) { return HasPrefix(entry.first, prefix); });
    std::erase_if(bodyOrder_, [&](const std::string& key) {
        if (!HasPrefix(key, prefix))
            return false;
        const auto body = bodies_.find(key);
        bodyBytes_ -= MessageBytes(body->second);
        bodies_.erase(body);
        return true;
    });
    if (account < inboxHeaders_.size()) {
        inboxHeaders_[account].clear();
        inboxLoadedAt_[account] = 0;
    }
}

} // namespace postern
