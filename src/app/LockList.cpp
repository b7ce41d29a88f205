#include "app/LockList.h"

#include "account/Json.h"
#include "platform/Files.h"

#include <cmath>
#include <limits>
#include <system_error>
#include <utility>

namespace postern {

namespace {

// Set-aside names tried before giving up: "locked.json.unreadable", then
// "-2" up to this suffix.
constexpr int kMaxSetAsideNames = 100;

bool IsJsonSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// A whole number within [low, high]; JSON numbers arrive as doubles.
bool WholeNumber(const JsonValue* value, double low, double high, double& out)
{
    if (!value || value->type != JsonType::Number)
        return false;
    const double n = value->number;
    if (!std::isfinite(n) || std::trunc(n) != n || n < low || n > high)
        return false;
    out = n;
    return true;
}

// A string member, or empty when absent; false when present with another type.
bool OptionalString(const JsonValue& item, std::string_view key, std::string& out)
{
    const JsonValue* value = item.Find(key);
    if (!value)
        return true;
    if (value->type != JsonType::String)
        return false;
    out = value->text;
    return true;
}

// One entry of the "locked" array; false for a shape that names no message.
bool ReadEntry(const JsonValue& item, LockEntry& entry)
{
    if (item.type != JsonType::Object)
        return false;
    double account = 0;
    double uid = 0;
    // A negative account names none: the Locked view would have to guess one.
    if (!WholeNumber(item.Find("a"), 0, std::numeric_limits<int32_t>::max(), account)
        || !WholeNumber(item.Find("u"), 0, std::numeric_limits<uint32_t>::max(), uid))
        return false;
    const JsonValue* mailbox = item.Find("f");
    if (!mailbox || mailbox->type != JsonType::String)
        return false;
    entry.account = static_cast<int32_t>(account);
    entry.uid = static_cast<uint32_t>(uid);
    entry.mailbox = mailbox->text;
    if (!OptionalString(item, "mid", entry.messageId) || !OptionalString(item, "from", entry.from)
        || !OptionalString(item, "subj", entry.subject))
        return false;
    // Without a Message-ID the key rests on the UID, and IMAP has no UID 0.
    if (entry.messageId.empty() && entry.uid == 0)
        return false;
    if (const JsonValue* date = item.Find("d")) {
        // 2^53: every whole number up to it survives the trip through double.
        constexpr double kExact = 9007199254740992.0;
        double seconds = 0;
        if (!WholeNumber(date, -kExact, kExact, seconds))
            return false;
        entry.date = static_cast<int64_t>(seconds);
    }
    return true;
}

// The entries of a lock-list document; false when the text is not one.
bool ParseLockFile(std::string_view text, std::map<std::string, LockEntry>& entries,
                   std::string& error)
{
    JsonValue document;
    std::size_t position = 0;
    if (!JsonParse(text, position, document, error))
        return false;
    while (position < text.size() && IsJsonSpace(text[position]))
        ++position;
    if (position != text.size()) {
        error = "text after the JSON document";
        return false;
    }
    const JsonValue* list = document.ArrayMember("locked");
    if (document.type != JsonType::Object || !list) {
        error = "not a lock list (no \"locked\" array)";
        return false;
    }
    for (const JsonValue& item : list->items) {
        LockEntry entry;
        if (!ReadEntry(item, entry))
            continue;
        std::string key = LockKey(entry.account, entry.mailbox, entry.uid, entry.messageId);
        // A duplicate key (a file edited by hand) keeps the first entry.
        entries.emplace(std::move(key), std::move(entry));
    }
    return true;
}

// Moves a file that is there but not a readable lock list out of the way;
// true when the path is free to be written (nothing there, or a good list).
bool SetAsideUnreadable(const std::filesystem::path& file, std::string& error)
{
    std::error_code code;
    if (!std::filesystem::exists(file, code) && !code)
        return true;
    std::string text;
    std::string readError;
    std::map<std::string, LockEntry> ignored;
    if (ReadWholeFile(file, text, readError) && ParseLockFile(text, ignored, readError))
        return true;

    for (int n = 1; n <= kMaxSetAsideNames; ++n) {
        std::filesystem::path aside = file;
        aside += n == 1 ? ".unreadable" : ".unreadable-" + std::to_string(n);
        if (std::filesystem::exists(aside, code) || code)
            continue;
        std::filesystem::rename(file, aside, code);
        if (code) {
            error = "cannot move the unreadable " + PathToUtf8(file) + " aside: " + code.message();
            return false;
        }
        return true;
    }
    error = "cannot move the unreadable " + PathToUtf8(file) + " aside: no free name";
    return false;
}

} // namespace

std::string LockKey(int32_t account, std::string_view mailbox, uint32_t uid,
                    std::string_view messageId)
{
    std::string key = std::to_string(account);
    if (!messageId.empty()) {
        key += "|m|";
        key += messageId;
    } else {
        key += '|';
        key += mailbox;
        key += '|';
        key += std::to_string(uid);
    }
    return key;
}

bool LockList::Contains(const std::string& key) const
{
    return entries_.find(key) != entries_.end();
}

void LockList::Insert(std::string key, LockEntry entry)
{
    entries_.insert_or_assign(std::move(key), std::move(entry));
}

bool LockList::Remove(const std::string& key)
{
    return entries_.erase(key) > 0;
}

bool LockList::Empty() const
{
    return entries_.empty();
}

std::size_t LockList::Size() const
{
    return entries_.size();
}

const std::map<std::string, LockEntry>& LockList::Entries() const
{
    return entries_;
}

bool LockList::Load(const std::filesystem::path& file, std::string& error)
{
    entries_.clear();
    std::error_code code;
    if (!std::filesystem::exists(file, code) && !code)
        return true;
    std::string text;
    std::string reason;
    if (!ReadWholeFile(file, text, reason)) {
        error = "locked messages not read: " + reason;
        return false;
    }
    std::map<std::string, LockEntry> entries;
    if (!ParseLockFile(text, entries, reason)) {
        error = "locked messages not read: " + PathToUtf8(file) + ": " + reason;
        return false;
    }
    entries_ = std::move(entries);
    return true;
}

bool LockList::Save(const std::filesystem::path& file, std::string& error) const
{
    JsonValue list = JsonValue::MakeArray();
    for (const auto& [key, entry] : entries_) {
        JsonValue item = JsonValue::MakeObject();
        item.Add("a", JsonValue::MakeNumber(entry.account));
        item.Add("f", JsonValue::MakeString(entry.mailbox));
        item.Add("u", JsonValue::MakeNumber(entry.uid));
        item.Add("mid", JsonValue::MakeString(entry.messageId));
        item.Add("from", JsonValue::MakeString(entry.from));
        item.Add("subj", JsonValue::MakeString(entry.subject));
        item.Add("d", JsonValue::MakeNumber(static_cast<double>(entry.date)));
        list.Push(std::move(item));
    }
    JsonValue document = JsonValue::MakeObject();
    document.Add("locked", std::move(list));

    std::string reason;
    if (!SetAsideUnreadable(file, reason) || !WriteFileAtomically(file, JsonSerialize(document), reason)) {
        error = "locked messages not saved: " + reason;
        return false;
    }
    return true;
}

} // namespace postern
