#include "ui/Conversations.h"
#include "platform/AsciiText.h"

#include "ui/MessageIdTokens.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <numeric>
#include <utility>

namespace postern {

namespace {

bool HasReplyPrefix(std::string_view subject)
{
    const std::string_view t = TrimAsciiSpace(subject);
    return StartsWithIgnoringAsciiCase(t, "re:") || StartsWithIgnoringAsciiCase(t, "fwd:") || StartsWithIgnoringAsciiCase(t, "fw:");
}

// Union-find over row indices. Path compression alone keeps finds cheap
// enough for lists of tens of thousands of rows; the direction of every
// union is fixed (the first root goes under the second).
class DisjointSets {
public:
    explicit DisjointSets(std::size_t count) : parent_(count)
    {
        std::iota(parent_.begin(), parent_.end(), std::size_t{0});
    }

    std::size_t Find(std::size_t i)
    {
        std::size_t root = i;
        while (parent_[root] != root)
            root = parent_[root];
        while (parent_[i] != root) {
            const std::size_t next = parent_[i];
            parent_[i] = root;
            i = next;
        }
        return root;
    }

    void Unite(std::size_t under, std::size_t over)
    {
        const std::size_t a = Find(under);
        const std::size_t b = Find(over);
        if (a != b)
            parent_[a] = b;
    }

private:
    std::vector<std::size_t> parent_;
};

// A hash table from (account, text) to the first row that entered it, with
// open addressing in one array: the lookups of a large mailbox (several per
// row) then cost a probe or two in contiguous memory instead of a walk
// through separately allocated nodes. The texts are views into the rows or
// into the subject keys, which outlive the table.
template <bool FoldCase>
class FirstRowTable {
public:
    static constexpr std::size_t kNone = static_cast<std::size_t>(-1);

    explicit FirstRowTable(std::size_t rows)
    {
        std::size_t capacity = 16;
        while (capacity < rows * 2)
            capacity *= 2;
        slots_.resize(capacity);
        mask_ = capacity - 1;
    }

    // The row stored for the key, which the caller may change; `row` is
    // stored when the key is new. The table never grows, so the reference
    // stays valid as long as the table.
    std::size_t& RowFor(uint32_t account, std::string_view key, std::size_t row)
    {
        const uint64_t hash = Hash(account, key);
        for (std::size_t i = hash & mask_;; i = (i + 1) & mask_) {
            Slot& slot = slots_[i];
            if (slot.row == kNone) {
                slot = Slot{hash, account, key, row};
                return slot.row;
            }
            if (slot.hash == hash && slot.account == account && Same(slot.key, key))
                return slot.row;
        }
    }

    std::size_t Find(uint32_t account, std::string_view key) const
    {
        const uint64_t hash = Hash(account, key);
        for (std::size_t i = hash & mask_;; i = (i + 1) & mask_) {
            const Slot& slot = slots_[i];
            if (slot.row == kNone)
                return kNone;
            if (slot.hash == hash && slot.account == account && Same(slot.key, key))
                return slot.row;
        }
    }

private:
    struct Slot {
        uint64_t hash = 0;
        uint32_t account = 0;
        std::string_view key;
        std::size_t row = kNone;
    };

    // Eight bytes at a time: a byte-wise hash spends more time in its
    // multiply chain than the table spends probing.
    static uint64_t Hash(uint32_t account, std::string_view key)
    {
        constexpr uint64_t kMul = 0x9E3779B97F4A7C15ull;
        uint64_t h = (static_cast<uint64_t>(account) << 32 | key.size()) * kMul;
        std::size_t pos = 0;
        for (; pos + 8 <= key.size(); pos += 8)
            h = Mix(h ^ Word(key.data() + pos, 8));
        if (pos < key.size())
            h = Mix(h ^ Word(key.data() + pos, key.size() - pos));
        return Mix(h);
    }

    static uint64_t Mix(uint64_t h)
    {
        h *= 0xBF58476D1CE4E5B9ull;
        return h ^ (h >> 31);
    }

    // Up to eight bytes as one word, ASCII letters lowered when folding
    // (all eight at once: a byte has 0x20 added when it lies in 'A'..'Z').
    static uint64_t Word(const char* bytes, std::size_t count)
    {
        uint64_t w = 0;
        std::memcpy(&w, bytes, count);
        if (FoldCase) {
            constexpr uint64_t kOnes = 0x0101010101010101ull;
            constexpr uint64_t kHigh = 0x8080808080808080ull;
            const uint64_t low7 = w & ~kHigh;
            const uint64_t atLeastA = low7 + (0x80 - 'A') * kOnes;
            const uint64_t aboveZ = low7 + (0x80 - 'Z' - 1) * kOnes;
            const uint64_t upper = atLeastA & ~aboveZ & ~w & kHigh;
            w |= upper >> 2;
        }
        return w;
    }

    static bool Same(std::string_view a, std::string_view b)
    {
        if (a.size() != b.size())
            return false;
        if (!FoldCase)
            return a == b;
        for (std::size_t i = 0; i < a.size(); ++i) {
            if (LowerAscii(a[i]) != LowerAscii(b[i]))
                return false;
        }
        return true;
    }

    std::vector<Slot> slots_; // at most half full, so every probe ends at an empty slot
    std::size_t mask_ = 0;
};

using IdTable = FirstRowTable<false>;
// Subject keys compare without regard to ASCII case, so that the keys need
// not be lowered into copies first.
using SubjectTable = FirstRowTable<true>;

// The subject key before lowering: a view into the subject.
std::string_view SubjectKeyView(std::string_view subject)
{
    std::string_view s = TrimAsciiSpace(subject);
    // Every pass removes at least one byte, so the loop ends.
    for (;;) {
        const std::string_view t = TrimAsciiSpace(s);
        if (StartsWithIgnoringAsciiCase(t, "re:")) {
            s = t.substr(3);
        } else if (StartsWithIgnoringAsciiCase(t, "fwd:")) {
            s = t.substr(4);
        } else if (StartsWithIgnoringAsciiCase(t, "fw:")) {
            s = t.substr(3);
        } else if (!t.empty() && t.front() == '[' && t.find(']') != std::string_view::npos) {
            s = t.substr(t.find(']') + 1);
        } else {
            break;
        }
    }
    return TrimAsciiSpace(s);
}

} // namespace

std::string NormalizeSubject(std::string_view subject)
{
    std::string key(SubjectKeyView(subject));
    for (char& c : key)
        c = LowerAscii(c);
    return key;
}

std::vector<MessageRow> BuildConversations(const std::vector<MessageRow>& rows)
{
    std::vector<const MessageRow*> pointers;
    pointers.reserve(rows.size());
    for (const MessageRow& row : rows)
        pointers.push_back(&row);
    return BuildConversations(pointers);
}

std::vector<MessageRow> BuildConversations(const std::vector<const MessageRow*>& rows)
{
    const std::size_t n = rows.size();
    const auto row = [&rows](std::size_t i) -> const MessageRow& { return *rows[i]; };
    DisjointSets sets(n);

    // IDs are looked up per account: the same message delivered to two
    // accounts has the same Message-ID in both, and a reply in either
    // account must find the copy in its own account. A repeated ID keeps
    // its first row.
    IdTable ids(n);
    for (std::size_t i = 0; i < n; ++i) {
        if (!row(i).header.messageId.empty())
            (void)ids.RowFor(row(i).account, row(i).header.messageId, i);
    }

    // Whether a row's References or In-Reply-To names another row: such a
    // reply already sits where its IDs put it.
    std::vector<char> namesOtherRow(n);
    for (std::size_t i = 0; i < n; ++i) {
        const uint32_t account = row(i).account;
        const auto link = [&](std::string_view token) {
            const std::size_t j = ids.Find(account, token);
            if (j != IdTable::kNone && j != i) {
                sets.Unite(i, j);
                namesOtherRow[i] = 1;
            }
            return true;
        };
        ForEachMessageIdToken(row(i).header.references, link);
        ForEachMessageIdToken(row(i).header.inReplyTo, link);
    }

    // Subject links go to the earliest message with the key, the first in
    // list order among equal dates. One walk in list order finds it for every
    // key (touching the rows in the order they lie in memory), and the
    // replies are linked to it once it is known.
    std::vector<int64_t> dates(n);
    for (std::size_t i = 0; i < n; ++i)
        dates[i] = row(i).header.date;
    SubjectTable earliestBySubject(n);
    std::vector<std::pair<std::size_t, const std::size_t*>> repliesBySubject;
    for (std::size_t i = 0; i < n; ++i) {
        const std::string_view subject = row(i).header.subject;
        const std::string_view key = SubjectKeyView(subject);
        if (key.size() < 3)
            continue; // "Re: Hi" and the like are too common to mean anything
        std::size_t& earliest = earliestBySubject.RowFor(row(i).account, key, i);
        if (dates[i] < dates[earliest])
            earliest = i;
        // A reply linked by its IDs must not be pulled into another thread
        // by its subject.
        if (namesOtherRow[i] == 0 && HasReplyPrefix(subject))
            repliesBySubject.emplace_back(i, &earliest);
    }
    for (const auto& [reply, earliest] : repliesBySubject) {
        if (*earliest != reply)
            sets.Unite(reply, *earliest);
    }

    // Groups in the order of their first row, each oldest first; then the
    // newest conversation first (equal dates keep the order of first rows).
    const auto older = [&dates](std::size_t a, std::size_t b) { return dates[a] < dates[b]; };
    std::vector<std::size_t> groupOfRoot(n, IdTable::kNone);
    std::vector<std::vector<std::size_t>> groups;
    for (std::size_t i = 0; i < n; ++i) {
        std::size_t& group = groupOfRoot[sets.Find(i)];
        if (group == IdTable::kNone) {
            group = groups.size();
            groups.emplace_back();
        }
        groups[group].push_back(i);
    }
    for (std::vector<std::size_t>& group : groups)
        std::stable_sort(group.begin(), group.end(), older);
    std::stable_sort(groups.begin(), groups.end(),
                     [&dates](const std::vector<std::size_t>& a, const std::vector<std::size_t>& b) {
                         return dates[a.back()] > dates[b.back()];
                     });

    std::vector<MessageRow> conversations;
    conversations.reserve(groups.size());
    for (const std::vector<std::size_t>& group : groups) {
        const MessageRow& newest = row(group.back());
        MessageRow& conversation = conversations.emplace_back();
        conversation.header = newest.header;
        conversation.account = newest.account;
        conversation.senderText = newest.senderText;
        conversation.subjectText = newest.subjectText;
        conversation.dateText = newest.dateText;
        conversation.mailbox = newest.mailbox;
        conversation.folderLabel = newest.folderLabel;
        conversation.members.reserve(group.size());
        bool allSeen = true;
        for (const std::size_t i : group) {
            conversation.members.push_back(MemberOf(row(i)));
            allSeen = allSeen && row(i).header.seen;
        }
        conversation.header.seen = allSeen;
    }
    return conversations;
}

} // namespace postern
