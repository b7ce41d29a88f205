// TEMPORARY stand-in until the real lock list lands.
#pragma once
#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <string_view>
namespace postern {
struct LockEntry { int32_t account = 0; std::string mailbox; uint32_t uid = 0; std::string messageId; std::string from; std::string subject; int64_t date = 0; };
[[nodiscard]] inline std::string LockKey(int32_t account, std::string_view mailbox, uint32_t uid, std::string_view messageId)
{ return messageId.empty() ? std::to_string(account) + "|" + std::string(mailbox) + "|" + std::to_string(uid) : std::to_string(account) + "|m|" + std::string(messageId); }
class LockList { public:
  bool Contains(const std::string& key) const { return entries_.count(key) > 0; }
  void Insert(std::string key, LockEntry entry) { entries_[std::move(key)] = std::move(entry); }
  bool Remove(const std::string& key) { return entries_.erase(key) > 0; }
  bool Empty() const { return entries_.empty(); }
  size_t Size() const { return entries_.size(); }
  const std::map<std::string, LockEntry>& Entries() const { return entries_; }
  [[nodiscard]] bool Load(const std::filesystem::path&, std::string&) { return true; }
  [[nodiscard]] bool Save(const std::filesystem::path&, std::string&) const { return true; }
private: std::map<std::string, LockEntry> entries_; };
}
