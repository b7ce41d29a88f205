#include "app/MailCaches.h"

#include <algorithm>

namespace postern {

namespace {

constexpr size_t kBodyCacheEntries = 24;
constexpr size_t kLargestCachedBody = 0x200000; // bytes of parts

size_t PartBytes(const ParsedMessage& message)
{
    size_t total = 0;
    for (const MimePart& part : message.parts)
        total += part.data.size();
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
    if (PartBytes(message) > kLargestCachedBody)
        return;
    const std::string key = BodyKey(account, mailbox, uid);
    if (bodies_.insert_or_assign(key, message).second)
        bodyOrder_.push_back(key);
    while (bodyOrder_.size() > kBodyCacheEntries) {
        bodies_.erase(bodyOrder_.front());
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
        bodies_.erase(key);
        return true;
    });
    if (account < inboxHeaders_.size()) {
        inboxHeaders_[account].clear();
        inboxLoadedAt_[account] = 0;
    }
}

} // namespace postern
