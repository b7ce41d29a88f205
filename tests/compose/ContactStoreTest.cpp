// The contact store: what is learned, how names merge, the completion tiers
// and their tie-breaks, the file, and learning from several threads while
// completion runs.
#include "compose/ContactStore.h"

#include "platform/Files.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

namespace postern {
namespace {

std::vector<std::string> Displays(const std::vector<Suggestion>& suggestions)
{
    std::vector<std::string> out;
    for (const Suggestion& s : suggestions)
        out.push_back(s.display);
    return out;
}

TEST(ContactStore, WhatIsLearned)
{
    const struct {
        const char* name;
        const char* address;
        bool learned;
        const char* storedEmail;
        const char* storedName;
    } cases[] = {
        {"Anna", "anna@example.org", true, "anna@example.org", "Anna"},
        {"  Bo  ", "  BO@Example.ORG ", true, "bo@example.org", "Bo"},
        {"\"Anna Berg\"", "ab@x.org", true, "ab@x.org", "Anna Berg"},
        {"\"", "q@x.org", true, "q@x.org", "\""},
        {"ANNA@X.ORG", "anna@x.org", true, "anna@x.org", ""},
        {"\"anna@x.org\"", "anna@x.org", true, "anna@x.org", ""},
        {"Evil\r\nName", "e@x.org", true, "e@x.org", "Evil  Name"},
        {"", "norma@x.org", true, "norma@x.org", ""},
        {"", "bob.noreply@x.org", true, "bob.noreply@x.org", ""},
        {"", "Mailer-Daemon@x.org", false, "", ""},
        {"", "MAILER-DAEMON@x.org", false, "", ""},
        {"", "noreply+abc@x.org", false, "", ""},
        {"", "no-reply@x.org", false, "", ""},
        {"", "NoReply@x.org", false, "", ""},
        {"", "donotreply@x.org", false, "", ""},
        {"", "do-not-reply@x.org", false, "", ""},
        {"", "bounces+123@x.org", false, "", ""},
        {"", "bounce@x.org", false, "", ""},
        {"", "anna", false, "", ""},
        {"", "", false, "", ""},
        {"", "a b@x.org", false, "", ""},
        {"", "a\r\n@x.org", false, "", ""},
        {"", "a\t@x.org", false, "", ""},
    };
    for (const auto& c : cases) {
        ContactStore store;
        store.Remember(c.name, c.address);
        const std::vector<Contact> contacts = store.Snapshot();
        ASSERT_EQ(contacts.size(), c.learned ? 1u : 0u) << c.address;
        if (!c.learned)
            continue;
        EXPECT_EQ(contacts[0].email, c.storedEmail);
        EXPECT_EQ(contacts[0].name, c.storedName) << c.name;
        EXPECT_EQ(contacts[0].count, 1);
        EXPECT_EQ(contacts[0].lastSeen, 1);
    }
}

TEST(ContactStore, LongerNamesWin)
{
    ContactStore store;
    store.Remember("Anna", "anna@x.org");
    store.Remember("Anna Berg", "ANNA@x.org");
    store.Remember("A", "anna@x.org");
    store.Remember("", "anna@x.org");
    store.Remember("", "other@x.org");
    const std::vector<Contact> contacts = store.Snapshot();
    ASSERT_EQ(contacts.size(), 2u);
    EXPECT_EQ(contacts[0].name, "Anna Berg");
    EXPECT_EQ(contacts[0].nameKey, "anna berg");
    EXPECT_EQ(contacts[0].count, 4);
    EXPECT_EQ(contacts[0].lastSeen, 4);
    EXPECT_EQ(contacts[1].lastSeen, 5);
    EXPECT_TRUE(store.Dirty());
}

TEST(ContactStore, RecordAddresses)
{
    ContactStore store;
    store.RecordAddresses("\"Berg, Anna\" <Anna@x.org>, Bo <bo@x.org>,carl@x.org, junk, <dave@x.org>, ,"
                          " noreply@x.org, \"Q \\\"R\\\", S\" <qrs@x.org>, Eve <eve@x.org");
    const std::vector<Contact> contacts = store.Snapshot();
    ASSERT_EQ(contacts.size(), 6u);
    const std::pair<const char*, const char*> expected[] = {
        {"anna@x.org", "Berg, Anna"}, {"bo@x.org", "Bo"}, {"carl@x.org", ""},
        {"dave@x.org", ""}, {"qrs@x.org", "Q \\\"R\\\", S"}, {"eve@x.org", "Eve"}, // an unclosed bracket runs to the end
    };
    for (std::size_t i = 0; i < contacts.size(); ++i) {
        EXPECT_EQ(contacts[i].email, expected[i].first);
        EXPECT_EQ(contacts[i].name, expected[i].second);
    }
    store.RecordAddresses("");
    store.RecordAddresses(",,,");
    EXPECT_EQ(store.Snapshot().size(), 6u);
}

TEST(ContactStore, CompletionTiers)
{
    ContactStore store;
    store.Remember("Anna Berg", "anna@x.org");
    store.Remember("Bob Anderson", "bob@y.org");
    store.Remember("", "andy@z.org");
    store.Remember("Joanna Anders", "jo@w.org");
    store.Remember("Zed", "mail@anderson.org");
    store.Remember("Hanna Annika", "h@q.org");
    for (int i = 0; i < 5; ++i)
        store.Remember("Zoe", "z@ann.org");

    const struct {
        const char* query;
        std::size_t limit;
        std::vector<std::string> expected;
    } cases[] = {
        // Address prefix, then names with a word starting with the letters
        // (the more recent first at equal counts), then anything containing them.
        {"and", 8, {"andy@z.org", "Joanna Anders <jo@w.org>", "Bob Anderson <bob@y.org>", "Zed <mail@anderson.org>"}},
        {"  AND ", 8, {"andy@z.org", "Joanna Anders <jo@w.org>", "Bob Anderson <bob@y.org>", "Zed <mail@anderson.org>"}},
        {"and", 2, {"andy@z.org", "Joanna Anders <jo@w.org>"}},
        {"and", 0, {}},
        // "Hanna Annika" first has the letters inside "hanna", but "annika"
        // begins with them: a word match, ahead of the more frequent Zoe.
        {"ann", 8, {"Anna Berg <anna@x.org>", "Hanna Annika <h@q.org>", "Zoe <z@ann.org>", "Joanna Anders <jo@w.org>"}},
        {"zed", 8, {"Zed <mail@anderson.org>"}},
        {"z", 8, {"Zoe <z@ann.org>", "Zed <mail@anderson.org>", "andy@z.org"}},
        {"berg", 8, {"Anna Berg <anna@x.org>"}},
        {"@y.org", 8, {"Bob Anderson <bob@y.org>"}},
        {"", 8, {}},
        {"   ", 8, {}},
        {"nobody", 8, {}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Displays(store.Complete(c.query, c.limit)), c.expected) << c.query << " / " << c.limit;

    const std::vector<Suggestion> one = store.Complete("andy", 8);
    ASSERT_EQ(one.size(), 1u);
    EXPECT_EQ(one[0].name, "");
    EXPECT_EQ(one[0].email, "andy@z.org");
}

TEST(ContactStore, TiesByCountThenRecency)
{
    ContactStore store;
    store.Remember("Sam One", "sam1@x.org");
    store.Remember("Sam Two", "sam2@x.org");
    store.Remember("Sam Three", "sam3@x.org");
    store.Remember("Sam Two", "sam2@x.org");
    EXPECT_EQ(Displays(store.Complete("sam", 8)),
              (std::vector<std::string>{"Sam Two <sam2@x.org>", "Sam Three <sam3@x.org>", "Sam One <sam1@x.org>"}));
    store.Remember("", "sam1@x.org");
    store.Remember("", "sam1@x.org");
    EXPECT_EQ(Displays(store.Complete("sam", 8)),
              (std::vector<std::string>{"Sam One <sam1@x.org>", "Sam Two <sam2@x.org>", "Sam Three <sam3@x.org>"}));
}

TEST(ContactStore, SaveAndLoad)
{
    test::TempFolder folder;
    const std::filesystem::path file = folder / "contacts.json";
    std::string error;

    ContactStore store;
    EXPECT_TRUE(store.Save(file, error)) << error;
    EXPECT_FALSE(std::filesystem::exists(file)); // nothing learned, nothing written

    store.Remember("Anna \"A\" Berg", "anna@x.org");
    store.Remember("", "bo@x.org");
    store.Remember("", "anna@x.org");
    ASSERT_TRUE(store.Save(file, error)) << error;
    EXPECT_FALSE(store.Dirty());
    EXPECT_EQ(test::ReadBytes(file), "{\"contacts\":[{\"n\":\"Anna \\\"A\\\" Berg\",\"e\":\"anna@x.org\",\"c\":2,\"t\":3},"
                    "{\"n\":\"\",\"e\":\"bo@x.org\",\"c\":1,\"t\":2}]}");

    ContactStore loaded;
    ASSERT_TRUE(loaded.Load(file, error)) << error;
    const std::vector<Contact> contacts = loaded.Snapshot();
    ASSERT_EQ(contacts.size(), 2u);
    EXPECT_EQ(contacts[0].name, "Anna \"A\" Berg");
    EXPECT_EQ(contacts[0].nameKey, "anna \"a\" berg");
    EXPECT_EQ(contacts[0].count, 2);
    EXPECT_EQ(contacts[1].lastSeen, 2);
    EXPECT_FALSE(loaded.Dirty());
    loaded.Remember("", "new@x.org"); // the counter continues after the largest loaded value
    EXPECT_EQ(loaded.Snapshot().back().lastSeen, 4);
}

TEST(ContactStore, LoadIsForgiving)
{
    test::TempFolder folder;
    const std::filesystem::path file = folder / "contacts.json";
    std::string error;
    ASSERT_TRUE(WriteFileAtomically(file,
                                    "{\"contacts\":[{\"e\":\"A@X.org\"},{\"n\":\"No mail\"},"
                                    "{\"e\":\"b@x.org\",\"c\":5,\"t\":9,\"n\":\"Bee\"},{\"e\":\"bad\"},7,"
                                    "{\"e\":\"c@x.org\",\"n\":3,\"c\":-3,\"t\":1e300},"
                                    "{\"e\":\"b@x.org\",\"c\":2,\"t\":4,\"n\":\"Bee Longer\"},"
                                    "{\"e\":\"d@x.org\",\"c\":1e99,\"t\":-4},{\"e\":\"sp ace@x.org\"}]}",
                                    error));
    ContactStore store;
    ASSERT_TRUE(store.Load(file, error)) << error;
    const std::vector<Contact> contacts = store.Snapshot();
    ASSERT_EQ(contacts.size(), 4u);
    EXPECT_EQ(contacts[0].email, "a@x.org");
    EXPECT_EQ(contacts[0].count, 1); // no "c": seen once
    EXPECT_EQ(contacts[0].lastSeen, 0);
    EXPECT_EQ(contacts[1].email, "b@x.org"); // listed twice: merged
    EXPECT_EQ(contacts[1].count, 7);
    EXPECT_EQ(contacts[1].lastSeen, 9);
    EXPECT_EQ(contacts[1].name, "Bee Longer");
    EXPECT_EQ(contacts[2].name, "");
    EXPECT_EQ(contacts[2].count, 0);
    EXPECT_EQ(contacts[2].lastSeen, 9007199254740992);
    EXPECT_EQ(contacts[3].count, 2147483647);
    EXPECT_EQ(contacts[3].lastSeen, 0);

    // A broken file leaves what the store holds; a missing one is empty.
    ASSERT_TRUE(WriteFileAtomically(file, "{\"contacts\":[{\"e\":", error));
    EXPECT_FALSE(store.Load(file, error));
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(store.Snapshot().size(), 4u);
    ASSERT_TRUE(WriteFileAtomically(file, "[1,2]", error));
    EXPECT_TRUE(store.Load(file, error));
    EXPECT_TRUE(store.Snapshot().empty());
    store.Remember("", "x@x.org");
    EXPECT_TRUE(store.Load(folder / "missing.json", error));
    EXPECT_TRUE(store.Snapshot().empty());
}

TEST(ContactStore, SaveFailureKeepsTheStoreDirty)
{
    test::TempFolder folder;
    std::string error;
    ContactStore store;
    store.Remember("", "a@x.org");
    EXPECT_FALSE(store.Save(folder / "no-such-folder" / "contacts.json", error));
    EXPECT_FALSE(error.empty());
    EXPECT_TRUE(store.Dirty());
    EXPECT_TRUE(store.Save(folder / "contacts.json", error)) << error;
    EXPECT_FALSE(store.Dirty());
}

// Workers learn while the UI thread completes. Each address is learned by
// every worker, so the counts show whether any update was lost.
TEST(ContactStore, LearningWhileCompleting)
{
    ContactStore store;
    constexpr int kThreads = 4;
    constexpr int kAddresses = 500;
    std::atomic<int> finished{0};
    std::vector<std::thread> workers;
    for (int t = 0; t < kThreads; ++t) {
        workers.emplace_back([&store, &finished, t] {
            for (int i = 0; i < kAddresses; ++i) {
                const int k = (i + t * 97) % kAddresses;
                store.RecordAddresses("Person " + std::to_string(k) + " <p" + std::to_string(k) + "@x.org>");
            }
            finished.fetch_add(1);
        });
    }
    std::size_t completions = 0;
    for (int round = 0; finished.load() < kThreads && round < 1'000'000; ++round) {
        const std::vector<Suggestion> found = store.Complete("p1", 8);
        ASSERT_LE(found.size(), 8u);
        completions += found.size();
    }
    for (std::thread& worker : workers)
        worker.join();
    (void)completions;

    const std::vector<Contact> contacts = store.Snapshot();
    ASSERT_EQ(contacts.size(), static_cast<std::size_t>(kAddresses));
    int64_t largest = 0;
    for (const Contact& c : contacts) {
        EXPECT_EQ(c.count, kThreads) << c.email;
        largest = std::max(largest, c.lastSeen);
    }
    EXPECT_EQ(largest, kThreads * kAddresses);
    EXPECT_EQ(Displays(store.Complete("p499@", 8)), std::vector<std::string>{"Person 499 <p499@x.org>"});
    EXPECT_EQ(&Contacts(), &Contacts());
}

} // namespace
} // namespace postern
