// The lock list and its file: keys, the exact bytes of locked.json, files
// that are missing, damaged or hold entries of the wrong shape.
#include "app/LockList.h"

#include "support/TempFolder.h"
#include "platform/Files.h"

#include <gtest/gtest.h>

#include <string>

namespace postern {
namespace {

using test::TempFolder;

TEST(LockList, KeysNameTheMessageIdWhenThereIsOneElseFolderAndUid)
{
    struct Case {
        int32_t account;
        const char* mailbox;
        uint32_t uid;
        const char* messageId;
        const char* key;
    };
    const Case cases[] = {
        {3, "INBOX", 42, "", "3|INBOX|42"},
        {3, "INBOX", 42, "<a@b>", "3|m|<a@b>"},
        {0, "Archive/2024", 4294967295u, "", "0|Archive/2024|4294967295"},
        {12, "Sent", 7, "<x|y@z>", "12|m|<x|y@z>"},
        {-1, "", 1, "", "-1||1"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(LockKey(c.account, c.mailbox, c.uid, c.messageId), c.key) << c.key;
    // A message with a Message-ID keeps its key in another folder.
    EXPECT_EQ(LockKey(1, "INBOX", 5, "<m@h>"), LockKey(1, "Archive", 99, "<m@h>"));
}

TEST(LockList, InsertRemoveAndContains)
{
    LockList list;
    EXPECT_TRUE(list.Empty());
    LockEntry entry;
    entry.account = 1;
    entry.mailbox = "INBOX";
    entry.uid = 9;
    list.Insert("1|INBOX|9", entry);
    entry.subject = "replaced";
    list.Insert("1|INBOX|9", entry);
    EXPECT_EQ(list.Size(), 1u);
    EXPECT_TRUE(list.Contains("1|INBOX|9"));
    EXPECT_EQ(list.Entries().at("1|INBOX|9").subject, "replaced");
    EXPECT_FALSE(list.Remove("1|INBOX|8"));
    EXPECT_TRUE(list.Remove("1|INBOX|9"));
    EXPECT_TRUE(list.Empty());
}

TEST(LockList, SavesMembersInFileOrderAndReadsThemBack)
{
    TempFolder folder;
    const auto file = folder.Path() / "locked.json";
    LockList list;
    LockEntry withId{2, "INBOX", 17, "<abc@example.test>", "Zoë Ünal <zoe@example.test>",
                     "Grüße — 日本語 🙂", 1707127200};
    LockEntry withoutId{0, "Dossiers/Été", 4294967295u, "", "\"Quote\\Back\" <q@x>", "tab\there", -5};
    list.Insert(LockKey(withId.account, withId.mailbox, withId.uid, withId.messageId), withId);
    list.Insert(LockKey(withoutId.account, withoutId.mailbox, withoutId.uid, withoutId.messageId), withoutId);
    std::string error;
    ASSERT_TRUE(list.Save(file, error)) << error;

    // Map order: "0|Dossiers/Été|4294967295" sorts before "2|m|<abc@...>".
    const std::string expected =
        "{\"locked\":["
        "{\"a\":0,\"f\":\"Dossiers/Été\",\"u\":4294967295,\"mid\":\"\","
        "\"from\":\"\\\"Quote\\\\Back\\\" <q@x>\",\"subj\":\"tab\\there\",\"d\":-5},"
        "{\"a\":2,\"f\":\"INBOX\",\"u\":17,\"mid\":\"<abc@example.test>\","
        "\"from\":\"Zoë Ünal <zoe@example.test>\",\"subj\":\"Grüße — 日本語 🙂\",\"d\":1707127200}"
        "]}";
    EXPECT_EQ(test::ReadBytes(file), expected);

    LockList loaded;
    ASSERT_TRUE(loaded.Load(file, error)) << error;
    ASSERT_EQ(loaded.Size(), 2u);
    const LockEntry& a = loaded.Entries().at("2|m|<abc@example.test>");
    EXPECT_EQ(a.account, 2);
    EXPECT_EQ(a.mailbox, "INBOX");
    EXPECT_EQ(a.uid, 17u);
    EXPECT_EQ(a.messageId, "<abc@example.test>");
    EXPECT_EQ(a.from, withId.from);
    EXPECT_EQ(a.subject, withId.subject);
    EXPECT_EQ(a.date, 1707127200);
    const LockEntry& b = loaded.Entries().at("0|Dossiers/Été|4294967295");
    EXPECT_EQ(b.uid, 4294967295u);
    EXPECT_EQ(b.from, withoutId.from);
    EXPECT_EQ(b.subject, "tab\there");
    EXPECT_EQ(b.date, -5);

    // Saving what was loaded gives the same bytes.
    ASSERT_TRUE(loaded.Save(file, error)) << error;
    EXPECT_EQ(test::ReadBytes(file), expected);
}

TEST(LockList, EmptyListSavesAnEmptyArray)
{
    TempFolder folder;
    const auto file = folder.Path() / "locked.json";
    LockList list;
    std::string error;
    ASSERT_TRUE(list.Save(file, error)) << error;
    EXPECT_EQ(test::ReadBytes(file), "{\"locked\":[]}");
}

TEST(LockList, MissingFileIsAnEmptyList)
{
    TempFolder folder;
    LockList list;
    list.Insert("1|INBOX|1", LockEntry{1, "INBOX", 1, "", "", "", 0});
    std::string error;
    EXPECT_TRUE(list.Load(folder.Path() / "locked.json", error)) << error;
    EXPECT_TRUE(list.Empty());
    EXPECT_TRUE(error.empty());
}

TEST(LockList, UnreadableFileIsSetAsideNotOverwritten)
{
    const std::string damaged[] = {
        "{\"locked\":[{\"a\":1,\"f\":\"INBOX\",\"u\":4,\"mid\":\"<k@h>\"",  // cut short
        "\xEF\xBB\xBF garbage",                                              // not JSON
        "[]",                                                                // not an object
        "{\"locked\":{}}",                                                   // not an array
        "{\"locked\":[]} trailing",                                          // more than one document
        "",                                                                  // empty file
    };
    for (const std::string& text : damaged) {
        SCOPED_TRACE(text);
        TempFolder folder;
        const auto file = folder.Path() / "locked.json";
        test::WriteBytes(file, text);

        LockList list;
        std::string error;
        EXPECT_FALSE(list.Load(file, error));
        EXPECT_NE(error.find("locked messages not read"), std::string::npos) << error;
        EXPECT_TRUE(list.Empty());
        // Loading alone changes nothing on disk.
        EXPECT_EQ(test::ReadBytes(file), text);

        list.Insert("1|INBOX|7", LockEntry{1, "INBOX", 7, "", "f", "s", 1});
        error.clear();
        ASSERT_TRUE(list.Save(file, error)) << error;
        EXPECT_EQ(test::ReadBytes(folder.Path() / "locked.json.unreadable"), text);
        LockList again;
        ASSERT_TRUE(again.Load(file, error)) << error;
        EXPECT_TRUE(again.Contains("1|INBOX|7"));

        // A second damaged file does not replace the first one set aside.
        test::WriteBytes(file, "second damage");
        ASSERT_TRUE(list.Save(file, error)) << error;
        EXPECT_EQ(test::ReadBytes(folder.Path() / "locked.json.unreadable"), text);
        EXPECT_EQ(test::ReadBytes(folder.Path() / "locked.json.unreadable-2"), "second damage");
        // A good file is simply rewritten.
        ASSERT_TRUE(list.Save(file, error)) << error;
        EXPECT_FALSE(std::filesystem::exists(folder.Path() / "locked.json.unreadable-3"));
    }
}

TEST(LockList, EntriesOfTheWrongShapeAreSkippedAndTheRestKept)
{
    TempFolder folder;
    const auto file = folder.Path() / "locked.json";
    test::WriteBytes(file,
              "{\"other\":1,\"locked\":["
              "{\"a\":1,\"f\":\"INBOX\",\"u\":5,\"mid\":\"\",\"from\":\"ok\",\"subj\":\"s\",\"d\":10},"
              "5,"
              "\"text\","
              "{\"a\":\"1\",\"f\":\"INBOX\",\"u\":6},"           // account as text
              "{\"a\":1,\"f\":\"INBOX\",\"u\":-6},"              // negative UID
              "{\"a\":1,\"f\":\"INBOX\",\"u\":4294967296},"      // UID past 32 bits
              "{\"a\":1.5,\"f\":\"INBOX\",\"u\":7},"             // fractional account
              "{\"a\":-1,\"f\":\"INBOX\",\"u\":11},"             // negative account
              "{\"a\":1,\"u\":8},"                               // no folder
              "{\"a\":1,\"f\":\"INBOX\",\"u\":9,\"mid\":5},"     // Message-ID not text
              "{\"a\":1,\"f\":\"INBOX\",\"u\":10,\"d\":\"x\"},"  // date not a number
              "{\"a\":1,\"f\":\"INBOX\",\"u\":0},"               // UID 0 without Message-ID
              "{\"a\":1,\"f\":\"INBOX\",\"u\":0,\"mid\":\"<z@h>\"}," // a Message-ID is enough
              "{\"a\":2,\"f\":\"Sent\",\"u\":3}"                 // optional members missing
              "]}");
    LockList list;
    std::string error;
    ASSERT_TRUE(list.Load(file, error)) << error;
    EXPECT_EQ(list.Size(), 3u);
    EXPECT_TRUE(list.Contains("1|INBOX|5"));
    EXPECT_TRUE(list.Contains("1|m|<z@h>"));
    ASSERT_TRUE(list.Contains("2|Sent|3"));
    EXPECT_EQ(list.Entries().at("2|Sent|3").date, 0);
    EXPECT_EQ(list.Entries().at("1|INBOX|5").from, "ok");
}

TEST(LockList, LoadReplacesWhatWasThere)
{
    TempFolder folder;
    const auto file = folder.Path() / "locked.json";
    test::WriteBytes(file, "{\"locked\":[{\"a\":1,\"f\":\"INBOX\",\"u\":5}]}");
    LockList list;
    list.Insert("9|INBOX|9", LockEntry{9, "INBOX", 9, "", "", "", 0});
    std::string error;
    ASSERT_TRUE(list.Load(file, error)) << error;
    EXPECT_EQ(list.Size(), 1u);
    EXPECT_FALSE(list.Contains("9|INBOX|9"));
}

} // namespace
} // namespace postern
