// ContactStore: the addresses the program has seen (senders of fetched mail,
// From/To/Cc of opened mail, recipients of sent mail), kept in memory for
// address completion and saved to contacts.json. Worker threads learn while
// the UI thread completes, so every operation takes the store's one mutex
// for its whole duration; completions are returned as copies.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace postern {

struct Contact {
    std::string name;    // display name, possibly empty
    std::string email;   // ASCII lower case
    std::string nameKey; // name in ASCII lower case, for matching
    int32_t count = 0;   // times seen
    int64_t lastSeen = 0; // the store's sequence number when last seen
};

struct Suggestion {
    std::string name;
    std::string email;
    std::string display; // "name <email>", or the bare email without a name
};

class ContactStore {
public:
    ContactStore() = default;
    ContactStore(const ContactStore&) = delete;
    ContactStore& operator=(const ContactStore&) = delete;

    // Learns every address of a From, To or Cc value.
    void RecordAddresses(std::string_view headerValue);

    // Learns one address. Automated senders (no-reply, bounce and
    // mailer-daemon addresses) and malformed addresses are ignored. A known
    // address counts once more and takes a longer name when one comes.
    void Remember(std::string_view name, std::string_view address);

    // At most `limit` contacts matching the query, best first: addresses
    // beginning with it, then names beginning with it, then names with a
    // word beginning with it, then any other match; within each tier the
    // more often and then the more recently seen first.
    [[nodiscard]] std::vector<Suggestion> Complete(std::string_view query, std::size_t limit) const;

    // Replaces the contents with the file's. A missing file is an empty list
    // (true); an unreadable or malformed one leaves the store as it was.
    [[nodiscard]] bool Load(const std::filesystem::path& file, std::string& error);

    // Writes the file (atomically) when something was learned since the
    // last load or save; the flag stays set when writing fails, so the next
    // save tries again.
    [[nodiscard]] bool Save(const std::filesystem::path& file, std::string& error);

    [[nodiscard]] std::vector<Contact> Snapshot() const;
    [[nodiscard]] bool Dirty() const;

private:
    mutable std::mutex mutex_;
    std::vector<Contact> contacts_; // insertion order
    std::unordered_map<std::string, std::size_t> byEmail_;
    int64_t sequence_ = 0;
    bool dirty_ = false;
};

// The one store of the process.
[[nodiscard]] ContactStore& Contacts();

// The process store and its file: loaded once at start-up, saved on the
// main window's five-minute timer and at exit.
[[nodiscard]] bool LoadContacts(const std::filesystem::path& file, std::string& error);
[[nodiscard]] bool SaveContacts(const std::filesystem::path& file, std::string& error);

} // namespace postern
