// Opening, marking, deleting, moving and locking messages through the
// engine, checked both in what the window shows and on the server.
#include "EngineHarness.h"

#include "mail/ImapMailbox.h"
#include "platform/Charset.h"
#include "support/FixtureEnv.h"

#include <gtest/gtest.h>

namespace postern::test {
namespace {

using EngineActions = EngineFixture;

TEST_F(EngineActions, OpeningMarksSeenCachesTheBodyAndLoadsWholeConversations)
{
    alice.Create("Talk");
    alice.Append("Talk", {.subject = "Plan", .date = "Mon, 05 Feb 2024 08:00:00 +0000",
                          .messageId = "<plan@example.test>", .body = "First words.\r\n"});
    alice.Append("Talk", {.subject = "Re: Plan", .date = "Mon, 05 Feb 2024 09:00:00 +0000",
                          .messageId = "<reply@example.test>", .inReplyTo = "<plan@example.test>",
                          .references = "<plan@example.test>", .body = "Second words.\r\n"});
    alice.Append("Talk", {.subject = "Re: Plan", .date = "Mon, 05 Feb 2024 10:00:00 +0000",
                          .messageId = "<again@example.test>", .inReplyTo = "<reply@example.test>",
                          .references = "<plan@example.test> <reply@example.test>", .body = "Third words.\r\n"});
    alice.Append("Talk", {.subject = "Alone", .date = "Mon, 05 Feb 2024 07:00:00 +0000", .body = "Solo.\r\n"});

    Engine engine(folder.Path(), {1});
    ASSERT_TRUE(engine.Started());
    PosternApp& app = engine.app;
    ASSERT_TRUE(engine.OpenFolder(0, "Talk"));
    ASSERT_EQ(app.List().viewRows.size(), 2u); // one conversation, one single message

    // The conversation: every member's body on one page, all marked seen.
    const int32_t talk = engine.RowWithSubject(u"Re: Plan");
    ASSERT_GE(talk, 0);
    app.SelectRow(talk, false);
    ASSERT_TRUE(engine.PumpUntil([&] { return app.ShownReady(); }));
    for (const char16_t* words : {u"First words.", u"Second words.", u"Third words."})
        EXPECT_NE(engine.port.Page().find(words), std::u16string::npos) << "missing " << Utf16ToUtf8(words);
    engine.AfterQueuedJobs();
    EXPECT_TRUE(alice.Search("Talk", "UNSEEN").size() == 1u); // only "Alone" is left unread

    // A single message: its body, seen on the server, then from the cache.
    const int32_t alone = engine.RowWithSubject(u"Alone");
    app.SelectRow(alone, false);
    ASSERT_TRUE(engine.PumpUntil([&] { return app.ShownReady(); }));
    EXPECT_NE(engine.port.Page().find(u"Solo."), std::u16string::npos);
    engine.AfterQueuedJobs();
    EXPECT_TRUE(alice.Search("Talk", "UNSEEN").empty());
    app.SelectRow(talk, false);
    app.SelectRow(alone, false);
    EXPECT_TRUE(app.ShownReady()); // no job needed
    EXPECT_NE(engine.port.Page().find(u"Solo."), std::u16string::npos);

    // Marking unread again reaches the server.
    app.MarkRead(alone, false);
    engine.AfterQueuedJobs();
    EXPECT_EQ(alice.Search("Talk", "UNSEEN").size(), 1u);
}

TEST_F(EngineActions, DeleteKeepsLockedRowsAndCopiesToTrashExceptInsideIt)
{
    alice.Create("Work");
    alice.AppendNumbered("Work", "work", 5);
    Engine engine(folder.Path(), {1});
    ASSERT_TRUE(engine.Started());
    PosternApp& app = engine.app;
    ASSERT_TRUE(engine.OpenFolder(0, "Work"));
    ASSERT_EQ(app.List().viewRows.size(), 5u);

    app.ToggleLock(engine.RowWithSubject(u"work 2"));
    app.ToggleLock(engine.RowWithSubject(u"work 4"));
    EXPECT_EQ(app.StatusText(), u"Message locked \u2014 it can't be deleted.");
    for (int32_t row = 0; row < 5; ++row)
        app.SelectRow(row, true);
    app.DeleteSelected();
    EXPECT_EQ(app.StatusText(), u"Deleted (kept 2 locked).");
    EXPECT_EQ(engine.ListSubjects(), (std::vector<std::u16string>{u"work 4", u"work 2"}));
    engine.AfterQueuedJobs();
    EXPECT_EQ(alice.Count("Work"), 2u);
    EXPECT_EQ(alice.Count("Trash"), 3u);

    // Deleting with only locked rows chosen changes nothing.
    app.SelectRow(0, false);
    app.DeleteSelected();
    EXPECT_EQ(app.StatusText(), u"Locked \u2014 unlock to delete.");
    EXPECT_EQ(app.List().viewRows.size(), 2u);

    // Inside the trash a delete removes the message for good.
    ASSERT_TRUE(engine.OpenFolder(0, "Trash"));
    ASSERT_EQ(app.List().viewRows.size(), 3u);
    app.SelectRow(0, false);
    app.DeleteSelected();
    engine.AfterQueuedJobs();
    engine.Drain();
    EXPECT_EQ(alice.Count("Trash"), 2u);
    EXPECT_EQ(app.StatusText(), u"Deleted.");
}

TEST_F(EngineActions, MovesStayInsideOneAccount)
{
    alice.Append("INBOX", {.subject = "alice mail"});
    bob.Append("INBOX", {.subject = "bob mail"});
    alice.Create("Keep");
    Engine engine(folder.Path(), {1, 2});
    ASSERT_TRUE(engine.Started());
    PosternApp& app = engine.app;
    ASSERT_TRUE(engine.PumpUntil([&] { return app.List().viewRows.size() == 2 && engine.RailIndex(0, "Keep") >= 0; }));

    // Bob's row onto Alice's folder: refused.
    app.SelectRow(engine.RowWithSubject(u"bob mail"), false);
    app.MoveSelectionToFolder(engine.RailIndex(0, "Keep"));
    EXPECT_EQ(app.StatusText(), u"Can't move messages across accounts.");

    // Both rows: Alice's moves, Bob's is skipped.
    app.SelectRow(engine.RowWithSubject(u"alice mail"), true);
    app.MoveSelectionToFolder(engine.RailIndex(0, "Keep"));
    EXPECT_EQ(app.StatusText(), u"Moved 1 to Keep (some skipped)");
    engine.AfterQueuedJobs();
    EXPECT_EQ(alice.Count("Keep"), 1u);
    EXPECT_EQ(alice.Count("INBOX"), 0u);

    // Onto the folder the row is in: nothing to do.
    ASSERT_TRUE(engine.OpenFolder(0, "Keep"));
    app.SelectRow(0, false);
    app.MoveSelectionToFolder(engine.RailIndex(0, "Keep"));
    EXPECT_EQ(app.StatusText(), u"Nothing to move.");
}

TEST_F(EngineActions, ALockFollowsItsMessageIntoAnotherFolderAndSurvivesARestart)
{
    alice.Create("Here");
    alice.Create("There");
    alice.Append("Here", {.subject = "precious", .messageId = "<precious@example.test>"});
    {
        Engine engine(folder.Path(), {1});
        ASSERT_TRUE(engine.Started());
        ASSERT_TRUE(engine.OpenFolder(0, "Here"));
        engine.app.ToggleLock(0);
        EXPECT_TRUE(engine.app.IsLocked(0));
        EXPECT_GE(engine.LockedViewIndex(), 0); // the "Locked" view appeared
    }
    // Moved by another client.
    std::vector<ImapResponse> untagged;
    std::string error;
    uint32_t count = 0;
    ASSERT_TRUE(Select(alice.Session(), "Here", count, error)) << error;
    ASSERT_TRUE(MoveMessage(alice.Session(), alice.Search("Here", "ALL").at(0), "There", error)) << error;

    Engine engine(folder.Path(), {1});
    ASSERT_TRUE(engine.Started());
    ASSERT_TRUE(engine.OpenFolder(0, "There"));
    ASSERT_EQ(engine.app.List().viewRows.size(), 1u);
    EXPECT_TRUE(engine.app.IsLocked(0));

    // The "Locked" view lists it without asking a server.
    const int32_t lockedView = engine.LockedViewIndex();
    ASSERT_GE(lockedView, 0);
    engine.app.SelectFolder(lockedView, false);
    EXPECT_EQ(engine.ListSubjects(), std::vector<std::u16string>{u"precious"});
    engine.app.ToggleLock(0);
    EXPECT_EQ(engine.LockedViewIndex(), -1);
    EXPECT_TRUE(engine.app.List().viewRows.empty());
}

TEST_F(EngineActions, MarkingAllInboxesReadClearsEveryInbox)
{
    alice.Append("INBOX", {.subject = "a1"});
    alice.Append("INBOX", {.subject = "a2"});
    bob.Append("INBOX", {.subject = "b1"});
    Engine engine(folder.Path(), {1, 2});
    ASSERT_TRUE(engine.Started());
    PosternApp& app = engine.app;
    ASSERT_TRUE(engine.PumpUntil([&] { return app.UnreadTotal() == 3 && app.List().viewRows.size() == 3; }));
    app.MarkFolderRead(0);
    EXPECT_EQ(app.UnreadTotal(), 0u);
    EXPECT_EQ(engine.port.TrayTip(), u"Postern \u2014 no unread mail");
    for (const MessageRow& row : app.List().viewRows)
        EXPECT_TRUE(row.header.seen);
    engine.AfterQueuedJobs();
    EXPECT_TRUE(alice.Search("INBOX", "UNSEEN").empty());
    EXPECT_TRUE(bob.Search("INBOX", "UNSEEN").empty());
}

} // namespace
} // namespace postern::test
