// LockList: the messages the user locked against deletion, kept in
// locked.json in the data folder. A lock key names a message by its
// Message-ID when it has one, so a lock follows the message into another
// folder; otherwise by folder and UID.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <string_view>

namespace postern {

struct LockEntry {
    int32_t account = 0;
    std::string mailbox;   // folder of the message when it was locked
    uint32_t uid = 0;      // its UID when it was locked
    std::string messageId; // Message-ID header, raw
    std::string from;      // From header, decoded
    std::string subject;
    int64_t date = 0; // Unix seconds
};

// "3|m|<id@host>" when the message has a Message-ID, else "3|INBOX|42".
[[nodiscard]] std::string LockKey(int32_t account, std::string_view mailbox, uint32_t uid,
                                  std::string_view messageId);

class LockList {
public:
    [[nodiscard]] bool Contains(const std::string& key) const;
    // Replaces an entry with the same key.
    void Insert(std::string key, LockEntry entry);
    // False when the key was not there.
    bool Remove(const std::string& key);
    [[nodiscard]] bool Empty() const;
    [[nodiscard]] std::size_t Size() const;
    [[nodiscard]] const std::map<std::string, LockEntry>& Entries() const;

    // Replaces the list with the file's entries. A missing file is an empty
    // list (true). A file that cannot be read or is not a lock list also
    // leaves the list empty and returns false with the reason; the file
    // itself stays as it is (see Save). Entries of the wrong shape inside a
    // good file are skipped.
    [[nodiscard]] bool Load(const std::filesystem::path& file, std::string& error);

    // Rewrites the whole file atomically. The list is rewritten after every
    // lock, so a file that could not be read at start-up (the list then
    // looked empty) would be replaced by the one new lock and the user's
    // other locks lost for good. So before writing, Save checks what is on
    // disk: a file that is not a readable lock list is renamed to
    // "<name>.unreadable" ("<name>.unreadable-2", ... when taken) and kept;
    // when it cannot be renamed nothing is written and Save fails.
    [[nodiscard]] bool Save(const std::filesystem::path& file, std::string& error) const;

private:
    std::map<std::string, LockEntry> entries_;
};

} // namespace postern
