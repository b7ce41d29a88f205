// Conversation grouping: the linking rules as tables of small mailboxes, and
// a seeded property test over random ones.
#include "ui/Conversations.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

namespace postern {
namespace {

struct Msg {
    uint32_t account;
    std::string messageId;
    std::string inReplyTo;
    std::string references;
    std::string subject;
    int64_t date;
    bool seen = true;
};

// Rows get UIDs 1..n in input order, so groups can be named by input index.
std::vector<MessageRow> RowsOf(const std::vector<Msg>& msgs)
{
    std::vector<MessageRow> rows;
    for (std::size_t i = 0; i < msgs.size(); ++i) {
        MessageRow row;
        row.account = msgs[i].account;
        row.mailbox = "INBOX";
        row.header.uid = static_cast<uint32_t>(i + 1);
        row.header.messageId = msgs[i].messageId;
        row.header.inReplyTo = msgs[i].inReplyTo;
        row.header.references = msgs[i].references;
        row.header.subject = msgs[i].subject;
        row.header.from = "sender" + std::to_string(i) + "@example.test";
        row.header.date = msgs[i].date;
        row.header.seen = msgs[i].seen;
        row.senderText = u"sender" + std::u16string(1, static_cast<char16_t>(u'0' + i % 10));
        rows.push_back(row);
    }
    return rows;
}

using Partition = std::set<std::set<uint32_t>>;

Partition PartitionOf(const std::vector<MessageRow>& conversations)
{
    Partition groups;
    for (const MessageRow& c : conversations) {
        std::set<uint32_t> uids;
        for (const ConversationMember& m : c.members)
            uids.insert(m.uid);
        groups.insert(uids);
    }
    return groups;
}

struct GroupingCase {
    const char* name;
    std::vector<Msg> msgs;
    Partition expected; // sets of UIDs (input index + 1)
};

TEST(Conversations, LinkingRules)
{
    const GroupingCase cases[] = {
        {"reply names its parent in In-Reply-To",
         {{0, "<a@x>", "", "", "Lunch", 10}, {0, "<b@x>", "<a@x>", "", "Re: Lunch", 20}},
         {{1, 2}}},
        {"References tokens among junk text",
         {{0, "<a@x>", "", "", "One", 10},
          {0, "<b@x>", "", "", "Two", 20},
          {0, "<c@x>", "", "junk <nothere@x> text<a@x>more", "Three", 30}},
         {{1, 3}, {2}}},
        {"a '<' without '>' ends the token scan",
         {{0, "<a@x>", "", "", "One", 10}, {0, "<b@x>", "<zz <a@x", "", "Two", 20}},
         {{1}, {2}}},
        {"subject link needs a reply prefix; a plain later copy stays apart",
         {{0, "<b1@x>", "", "", "Budget", 10},
          {0, "<b2@x>", "<missing@x>", "", "Re: Budget", 20},
          {0, "<b3@x>", "", "", "Budget", 30}},
         {{1, 2}, {3}}},
        {"a reply that names a listed message never joins by subject",
         {{0, "<p1@x>", "", "", "Plan", 10},
          {0, "<p2@x>", "", "", "Plan", 20},
          {0, "<p3@x>", "<p2@x>", "", "Re: Plan", 30},
          {0, "<p4@x>", "", "", "Re: Plan", 40}},
         {{1, 4}, {2, 3}}},
        {"an ID-linked reply that is the earliest of its key still collects later ones",
         {{0, "<o1@x>", "", "", "Other", 5},
          {0, "<t1@x>", "<o1@x>", "", "Re: Topic", 10},
          {0, "<t2@x>", "", "", "Re: Topic", 20}},
         {{1, 2, 3}}},
        {"accounts never join through IDs",
         {{0, "<a@x>", "", "", "Hello world", 10}, {1, "<b@x>", "<a@x>", "", "Re: Hello world", 20}},
         {{1}, {2}}},
        {"accounts never join through subjects",
         {{0, "", "", "", "Quarterly", 10}, {1, "", "", "", "Re: Quarterly", 20}},
         {{1}, {2}}},
        {"the same message in two accounts: each reply finds its own account's copy",
         {{0, "<s@x>", "", "", "Shared", 10},
          {1, "<s@x>", "", "", "Shared", 11},
          {1, "<r@x>", "<s@x>", "", "Re: Shared", 20}},
         {{1}, {2, 3}}},
        {"keys shorter than three bytes never group",
         {{0, "", "", "", "Hi", 10}, {0, "", "", "", "Re: Hi", 20}, {0, "", "", "", "Re: Yo!", 30},
          {0, "", "", "", "Re: Yo!", 40}},
         {{1}, {2}, {3, 4}}},
        {"duplicate Message-IDs: the first copy takes the reply",
         {{0, "<d@x>", "", "", "Alpha", 10},
          {0, "<d@x>", "", "", "Beta", 20},
          {0, "<e@x>", "<d@x>", "", "Gamma", 30}},
         {{1, 3}, {2}}},
        {"prefixes in any case and order, tags after them",
         {{0, "", "", "", "[team] Plan", 10}, {0, "", "", "", "RE:RE: Fw: [team] fwd: Plan", 20}},
         {{1, 2}}},
        {"a forward prefix links like a reply prefix",
         {{0, "", "", "", "Report", 10}, {0, "", "", "", "FW: Report", 20}, {0, "", "", "", "Fwd:Report", 30}},
         {{1, 2, 3}}},
        {"a message without date sorts oldest and holds the key",
         {{0, "", "", "", "Re: Topic", 0}, {0, "", "", "", "Topic", 100}, {0, "", "", "", "Re: Topic", 200}},
         {{1, 3}, {2}}},
        {"equal dates: the first in list order holds the key",
         {{0, "", "", "", "Re: Topic", 10}, {0, "", "", "", "Topic", 10}, {0, "", "", "", "Re: Topic", 20}},
         {{1, 3}, {2}}},
        {"a message citing only itself is not an ID link of its own",
         {{0, "", "", "", "Status", 10}, {0, "<self@x>", "<self@x>", "", "Re: Status", 20}},
         {{1, 2}}},
    };
    for (const GroupingCase& c : cases) {
        EXPECT_EQ(PartitionOf(BuildConversations(RowsOf(c.msgs))), c.expected) << c.name;
    }
}

TEST(Conversations, NormalizeSubject)
{
    const std::pair<const char*, const char*> cases[] = {
        {"Hello", "hello"},
        {"  Re: Hello  ", "hello"},
        {"Re: [list] Fwd: Hello", "hello"},
        {"RE:RE: Fw: [team] fwd: Plan", "plan"},
        {"Re : Hello", "re : hello"},     // no space allowed before the colon
        {"Hello Re: there", "hello re: there"}, // prefixes only at the start
        {"[a][b] Re: x", "x"},
        {"[unclosed Re: x", "[unclosed re: x"},
        {"[]", ""},
        {"Re:", ""},
        {"", ""},
        {"\t\r\nRe:\tFW:  Ünïcode", "Ünïcode"}, // bytes above 0x7F are neither space nor lowered
        {"Re: Re: Re: Re: Re: Re: Re: Re: deep", "deep"},
    };
    for (const auto& [subject, key] : cases)
        EXPECT_EQ(NormalizeSubject(subject), key) << subject;
}

TEST(Conversations, RowTakesNewestMemberAndUnreadFromAny)
{
    std::vector<Msg> msgs = {
        {0, "<1@x>", "", "", "Trip", 100, false},
        {0, "<2@x>", "<1@x>", "", "Re: Trip", 300, true},
        {0, "<3@x>", "<1@x>", "", "Re: Trip", 200, true},
        {0, "<4@x>", "", "", "Unrelated", 50, true},
    };
    std::vector<MessageRow> rows = RowsOf(msgs);
    rows[1].senderText = u"Newest";
    rows[1].subjectText = u"Re: Trip";
    rows[1].dateText = u"10:00";
    const std::vector<MessageRow> conversations = BuildConversations(rows);
    ASSERT_EQ(conversations.size(), 2u);

    const MessageRow& trip = conversations[0]; // newest conversation first
    EXPECT_EQ(trip.header.uid, 2u);
    EXPECT_EQ(trip.senderText, u"Newest");
    EXPECT_EQ(trip.subjectText, u"Re: Trip");
    EXPECT_EQ(trip.dateText, u"10:00");
    EXPECT_FALSE(trip.header.seen); // the oldest member is unread
    ASSERT_EQ(trip.members.size(), 3u);
    EXPECT_EQ(trip.members[0].uid, 1u);
    EXPECT_EQ(trip.members[1].uid, 3u);
    EXPECT_EQ(trip.members[2].uid, 2u);
    EXPECT_EQ(trip.members[2].mailbox, "INBOX");

    const MessageRow& single = conversations[1];
    EXPECT_EQ(single.header.uid, 4u);
    EXPECT_TRUE(single.header.seen);
    ASSERT_EQ(single.members.size(), 1u); // a lone message is still a conversation
}

TEST(Conversations, EqualDatesKeepListOrder)
{
    const std::vector<MessageRow> conversations = BuildConversations(RowsOf({
        {0, "<1@x>", "", "", "First", 100},
        {0, "<2@x>", "", "", "Second", 100},
        {0, "<3@x>", "<1@x>", "", "Re: First", 100},
        {0, "<4@x>", "", "", "Third", 100},
    }));
    ASSERT_EQ(conversations.size(), 3u);
    EXPECT_EQ(conversations[0].header.uid, 3u); // the last member of the first group
    EXPECT_EQ(conversations[1].header.uid, 2u);
    EXPECT_EQ(conversations[2].header.uid, 4u);
    ASSERT_EQ(conversations[0].members.size(), 2u);
    EXPECT_EQ(conversations[0].members[0].uid, 1u);
}

TEST(Conversations, EmptyInput)
{
    EXPECT_TRUE(BuildConversations(std::vector<MessageRow>{}).empty());
}

// Random mailboxes: three accounts, unique IDs, references to listed,
// foreign-account and missing IDs, subjects from a small pool with and
// without prefixes, distinct dates. The grouping must keep accounts apart,
// place every row exactly once, order rows and members by date, and give the
// same groups for any input order.
TEST(Conversations, PropertiesOnRandomMailboxes)
{
    const char* subjects[] = {"Budget", "Plan", "Hi", "Party on Friday", "Report", "[dev] Build"};
    const char* prefixes[] = {"", "", "Re: ", "RE: ", "Fwd: ", "Re: Re: "};
    std::mt19937 random(20240611);
    for (int round = 0; round < 200; ++round) {
        const int n = 1 + static_cast<int>(random() % 60);
        std::vector<int64_t> dates(static_cast<std::size_t>(n));
        for (int i = 0; i < n; ++i)
            dates[static_cast<std::size_t>(i)] = 1000 + i * 7;
        std::shuffle(dates.begin(), dates.end(), random);
        std::vector<Msg> msgs;
        for (int i = 0; i < n; ++i) {
            Msg m;
            m.account = static_cast<uint32_t>(random() % 3);
            m.messageId = random() % 5 == 0 ? "" : "<m" + std::to_string(i) + "@x>";
            const auto someId = [&] { return "<m" + std::to_string(random() % (n + 3)) + "@x>"; };
            if (random() % 3 == 0)
                m.inReplyTo = someId();
            if (random() % 3 == 0)
                m.references = someId() + " " + someId();
            m.subject = std::string(prefixes[random() % 6]) + subjects[random() % 6];
            m.date = dates[static_cast<std::size_t>(i)];
            m.seen = random() % 2 == 0;
            msgs.push_back(m);
        }
        const std::vector<MessageRow> rows = RowsOf(msgs);
        const std::vector<MessageRow> conversations = BuildConversations(rows);

        std::map<uint32_t, int> appearances;
        for (std::size_t k = 0; k < conversations.size(); ++k) {
            const MessageRow& c = conversations[k];
            ASSERT_FALSE(c.members.empty());
            bool allSeen = true;
            for (std::size_t j = 0; j < c.members.size(); ++j) {
                const ConversationMember& m = c.members[j];
                ++appearances[m.uid];
                EXPECT_EQ(m.account, c.account) << "round " << round;
                EXPECT_EQ(rows[m.uid - 1].account, m.account);
                if (j > 0) {
                    EXPECT_LT(c.members[j - 1].date, m.date);
                }
                allSeen = allSeen && m.seen;
            }
            EXPECT_EQ(c.header.uid, c.members.back().uid);
            EXPECT_EQ(c.header.seen, allSeen);
            if (k > 0) {
                EXPECT_GT(conversations[k - 1].header.date, c.header.date);
            }
        }
        ASSERT_EQ(appearances.size(), static_cast<std::size_t>(n)) << "round " << round;
        for (const auto& [uid, count] : appearances)
            EXPECT_EQ(count, 1) << "uid " << uid;

        std::vector<MessageRow> shuffled = rows;
        std::shuffle(shuffled.begin(), shuffled.end(), random);
        EXPECT_EQ(PartitionOf(BuildConversations(shuffled)), PartitionOf(conversations)) << "round " << round;
    }
}

} // namespace
} // namespace postern
