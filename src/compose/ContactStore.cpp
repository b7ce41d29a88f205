#include "compose/ContactStore.h"
#include "platform/AsciiText.h"

#include "account/Json.h"
#include "mail/MimeParser.h"
#include "platform/Files.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace postern {

namespace {

constexpr std::string_view kAutomatedPrefixes[] = {"no-reply",     "noreply",       "donotreply",
                                                   "do-not-reply", "mailer-daemon", "bounce"};

// An address worth offering: an at sign, and no space or control byte,
// which would split it or smuggle a line break into a recipient field.
bool UsableAddress(std::string_view email)
{
    if (email.find('@') == std::string_view::npos)
        return false;
    for (const char c : email) {
        const unsigned char b = static_cast<unsigned char>(c);
        if (b <= 0x20 || b == 0x7F)
            return false;
    }
    return true;
}

// Names end up in a one-line recipient field; line breaks and tabs in a
// decoded name would garble it.
std::string CleanName(std::string_view name)
{
    std::string out(name);
    for (char& c : out) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            c = ' ';
    }
    return out;
}

int32_t ClampCount(double value)
{
    if (std::isnan(value))
        return 1;
    if (value < 0)
        return 0;
    if (value >= static_cast<double>(std::numeric_limits<int32_t>::max()))
        return std::numeric_limits<int32_t>::max();
    return static_cast<int32_t>(value);
}

int64_t ClampSequence(double value)
{
    // Beyond 2^53 a double no longer counts in steps of one.
    constexpr double kMax = 9007199254740992.0;
    if (std::isnan(value) || value < 0)
        return 0;
    if (value >= kMax)
        return static_cast<int64_t>(kMax);
    return static_cast<int64_t>(value);
}

// Splits an address-list value at commas outside quoted names and angle
// brackets.
std::vector<std::string_view> SplitAddressList(std::string_view value)
{
    std::vector<std::string_view> pieces;
    const auto emit = [&pieces](std::string_view piece) {
        piece = TrimAsciiSpace(piece);
        if (!piece.empty())
            pieces.push_back(piece);
    };
    bool quoted = false;
    bool angle = false;
    std::size_t start = 0;
    for (std::size_t i = 0; i < value.size(); ++i) {
        const char c = value[i];
        if (quoted) {
            if (c == '\\')
                ++i; // a quoted pair: the next byte is literal
            else if (c == '"')
                quoted = false;
            continue;
        }
        if (c == '"') {
            quoted = true;
        } else if (c == '<') {
            angle = true;
        } else if (c == '>') {
            angle = false;
        } else if (c == ',' && !angle) {
            emit(value.substr(start, i - start));
            start = i + 1;
        }
    }
    if (start < value.size())
        emit(value.substr(start));
    return pieces;
}

bool WordStartMatch(std::string_view nameKey, std::string_view q)
{
    // Any word of the name, not only the first place the letters occur:
    // "an" should find "Joanna Anderson" by her surname.
    std::size_t pos = nameKey.find(q);
    while (pos != std::string_view::npos) {
        if (pos > 0 && nameKey[pos - 1] == ' ')
            return true;
        pos = nameKey.find(q, pos + 1);
    }
    return false;
}

struct Candidate {
    int tier;
    int32_t count;
    int64_t lastSeen;
    std::size_t index;
};

} // namespace

void ContactStore::RecordAddresses(std::string_view headerValue)
{
    for (const std::string_view piece : SplitAddressList(headerValue)) {
        std::string_view address;
        const std::size_t open = piece.find('<');
        if (open != std::string_view::npos) {
            const std::size_t close = piece.find('>', open + 1);
            address = TrimAsciiSpace(piece.substr(open + 1, close == std::string_view::npos ? std::string_view::npos
                                                                                  : close - open - 1));
        } else if (piece.find('@') != std::string_view::npos) {
            address = piece;
        }
        if (address.empty())
            continue;
        Remember(DisplayName(piece), address);
    }
}

void ContactStore::Remember(std::string_view nameIn, std::string_view address)
{
    const std::string email = ToLowerAscii(TrimAsciiSpace(address));
    if (email.empty() || !UsableAddress(email))
        return;
    for (const std::string_view prefix : kAutomatedPrefixes) {
        if (email.compare(0, prefix.size(), prefix) == 0)
            return;
    }
    std::string_view trimmed = TrimAsciiSpace(nameIn);
    if (trimmed.size() >= 2 && trimmed.front() == '"' && trimmed.back() == '"')
        trimmed = trimmed.substr(1, trimmed.size() - 2);
    std::string name = CleanName(trimmed);
    if (ToLowerAscii(name) == email)
        name.clear();

    const std::lock_guard<std::mutex> lock(mutex_);
    ++sequence_;
    const auto found = byEmail_.find(email);
    if (found != byEmail_.end()) {
        Contact& contact = contacts_[found->second];
        if (contact.count < std::numeric_limits<int32_t>::max())
            ++contact.count;
        contact.lastSeen = sequence_;
        if (name.size() > contact.name.size()) {
            contact.nameKey = ToLowerAscii(name);
            contact.name = std::move(name);
        }
    } else {
        Contact contact;
        contact.nameKey = ToLowerAscii(name);
        contact.name = std::move(name);
        contact.email = email;
        contact.count = 1;
        contact.lastSeen = sequence_;
        byEmail_.emplace(email, contacts_.size());
        contacts_.push_back(std::move(contact));
    }
    dirty_ = true;
}

std::vector<Suggestion> ContactStore::Complete(std::string_view query, std::size_t limit) const
{
    const std::string q = ToLowerAscii(TrimAsciiSpace(query));
    std::vector<Suggestion> suggestions;
    if (q.empty() || limit == 0)
        return suggestions;

    const std::lock_guard<std::mutex> lock(mutex_);
    std::vector<Candidate> candidates;
    for (std::size_t i = 0; i < contacts_.size(); ++i) {
        const Contact& c = contacts_[i];
        int tier = -1;
        if (c.email.compare(0, q.size(), q) == 0)
            tier = 0;
        else if (c.nameKey.compare(0, q.size(), q) == 0)
            tier = 1;
        else if (WordStartMatch(c.nameKey, q))
            tier = 2;
        else if (c.email.find(q) != std::string::npos || c.nameKey.find(q) != std::string::npos)
            tier = 3;
        if (tier >= 0)
            candidates.push_back(Candidate{tier, c.count, c.lastSeen, i});
    }
    const auto better = [](const Candidate& a, const Candidate& b) {
        if (a.tier != b.tier)
            return a.tier < b.tier;
        if (a.count != b.count)
            return a.count > b.count;
        if (a.lastSeen != b.lastSeen)
            return a.lastSeen > b.lastSeen;
        return a.index < b.index;
    };
    const std::size_t take = std::min(limit, candidates.size());
    std::partial_sort(candidates.begin(), candidates.begin() + static_cast<std::ptrdiff_t>(take),
                      candidates.end(), better);
    suggestions.reserve(take);
    for (std::size_t k = 0; k < take; ++k) {
        const Contact& c = contacts_[candidates[k].index];
        Suggestion s;
        s.name = c.name;
        s.email = c.email;
        s.display = c.name.empty() ? c.email : c.name + " <" + c.email + ">";
        suggestions.push_back(std::move(s));
    }
    return suggestions;
}

bool ContactStore::Load(const std::filesystem::path& file, std::string& error)
{
    std::error_code exists;
    if (!std::filesystem::exists(file, exists)) {
        const std::lock_guard<std::mutex> lock(mutex_);
        contacts_.clear();
        byEmail_.clear();
        sequence_ = 0;
        dirty_ = false;
        return true;
    }
    std::string text;
    if (!ReadWholeFile(file, text, error)) {
        error = "contacts not read: " + error;
        return false;
    }
    JsonValue document;
    std::size_t position = 0;
    std::string parseError;
    if (!JsonParse(text, position, document, parseError)) {
        error = "contacts not read: " + parseError;
        return false;
    }

    std::vector<Contact> contacts;
    std::unordered_map<std::string, std::size_t> byEmail;
    int64_t sequence = 0;
    if (const JsonValue* list = document.ArrayMember("contacts")) {
        for (const JsonValue& item : list->items) {
            if (item.type != JsonType::Object)
                continue;
            Contact contact;
            contact.email = ToLowerAscii(TrimAsciiSpace(item.StringMember("e", "")));
            if (!UsableAddress(contact.email))
                continue;
            contact.name = CleanName(item.StringMember("n", ""));
            contact.nameKey = ToLowerAscii(contact.name);
            contact.count = ClampCount(item.NumberMember("c", 1));
            contact.lastSeen = ClampSequence(item.NumberMember("t", 0));
            sequence = std::max(sequence, contact.lastSeen);
            const auto found = byEmail.find(contact.email);
            if (found != byEmail.end()) {
                // A file edited by hand may list an address twice; one
                // contact with the sum of both keeps completion unambiguous.
                Contact& kept = contacts[found->second];
                kept.count = ClampCount(static_cast<double>(kept.count) + contact.count);
                kept.lastSeen = std::max(kept.lastSeen, contact.lastSeen);
                if (contact.name.size() > kept.name.size()) {
                    kept.name = std::move(contact.name);
                    kept.nameKey = std::move(contact.nameKey);
                }
                continue;
            }
            byEmail.emplace(contact.email, contacts.size());
            contacts.push_back(std::move(contact));
        }
    }

    const std::lock_guard<std::mutex> lock(mutex_);
    contacts_ = std::move(contacts);
    byEmail_ = std::move(byEmail);
    sequence_ = sequence;
    dirty_ = false;
    return true;
}

bool ContactStore::Save(const std::filesystem::path& file, std::string& error)
{
    std::string text;
    int64_t savedSequence = 0;
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        if (!dirty_)
            return true;
        JsonValue list = JsonValue::MakeArray();
        list.items.reserve(contacts_.size());
        for (const Contact& c : contacts_) {
            JsonValue item = JsonValue::MakeObject();
            item.Add("n", JsonValue::MakeString(c.name));
            item.Add("e", JsonValue::MakeString(c.email));
            item.Add("c", JsonValue::MakeNumber(static_cast<double>(c.count)));
            item.Add("t", JsonValue::MakeNumber(static_cast<double>(c.lastSeen)));
            list.Push(std::move(item));
        }
        JsonValue document = JsonValue::MakeObject();
        document.Add("contacts", std::move(list));
        text = JsonSerialize(document);
        savedSequence = sequence_;
    }
    // The disk write happens outside the lock, so workers learning addresses
    // are not held up by a slow disk; whatever they learn meanwhile keeps
    // the store dirty for the next save.
    if (!WriteFileAtomically(file, text, error)) {
        error = "contacts not saved: " + error;
        return false;
    }
    const std::lock_guard<std::mutex> lock(mutex_);
    if (sequence_ == savedSequence)
        dirty_ = false;
    return true;
}

std::vector<Contact> ContactStore::Snapshot() const
{
    const std::lock_guard<std::mutex> lock(mutex_);
    return contacts_;
}

bool ContactStore::Dirty() const
{
    const std::lock_guard<std::mutex> lock(mutex_);
    return dirty_;
}

ContactStore& Contacts()
{
    static ContactStore store;
    return store;
}

bool LoadContacts(const std::filesystem::path& file, std::string& error)
{
    return Contacts().Load(file, error);
}

bool SaveContacts(const std::filesystem::path& file, std::string& error)
{
    return Contacts().Save(file, error);
}

} // namespace postern
