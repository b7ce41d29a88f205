// Which message an action reaches. Every folder numbers its messages from 1,
// so a UID names a message only together with its account and mailbox, and
// a conversation row stands for several messages at once. These tests put
// the same UIDs in two folders and check that opening, marking and deleting
// touch exactly the message the row shows, here and on the server.
#include "EngineHarness.h"

#include "mail/ImapMailbox.h"
#include "platform/Charset.h"
#include "support/FixtureEnv.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace postern::test {
namespace {

using EngineMessageTargets = EngineFixture;

uint32_t UnreadBadge(const PosternApp& app, int32_t railIndex)
{
    return railIndex >= 0 ? app.UnreadOf(app.RailItems()[static_cast<size_t>(railIndex)]) : 0u;
}

const MessageRow* RowOf(const std::vector<MessageRow>& rows, const std::string& subject)
{
    const auto found = std::find_if(rows.begin(), rows.end(),
                                    [&](const MessageRow& row) { return row.header.subject == subject; });
    return found == rows.end() ? nullptr : &*found;
}

// The records are handled only when the test pumps, so two clicks in a row
// without pumping are the user's quick second click: the first row's load
// is still on its way when the second row is shown.
TEST_F(EngineMessageTargets, ALateLoadNeverReplacesTheSelectedMessageOfAnotherFolderWithTheSameUid)
{
    // Both folders are new, so both number from 1.
    alice.Create("Left");
    alice.Create("Right");
    alice.Append("Left", {.subject = "Plan seven", .date = "Mon, 05 Feb 2024 08:00:00 +0000", .body = "Left plan.\r\n"});
    alice.Append("Right", {.subject = "Filed seven", .date = "Mon, 05 Feb 2024 06:00:00 +0000", .body = "Filed.\r\n"});

    Engine engine(folder.Path(), {1});
    ASSERT_TRUE(engine.Started());
    PosternApp& app = engine.app;
    ASSERT_TRUE(engine.OpenFolder(0, "Left"));

    // Search hits from both folders, the Right one read before so that its
    // body comes from the cache.
    app.FilterChanged(u"#subject:seven");
    app.StartGlobalSearch();
    ASSERT_TRUE(engine.PumpUntil([&] { return app.StatusText() == u"2 results in all folders"; }))
        << Utf16ToUtf8(app.StatusText());
    const int32_t filed = engine.RowWithSubject(u"Filed seven");
    const int32_t plan = engine.RowWithSubject(u"Plan seven");
    ASSERT_GE(filed, 0);
    ASSERT_GE(plan, 0);
    ASSERT_EQ(app.List().viewRows[static_cast<size_t>(filed)].header.uid,
              app.List().viewRows[static_cast<size_t>(plan)].header.uid);
    app.SelectRow(filed, false);
    ASSERT_TRUE(engine.PumpUntil([&] { return app.ShownReady(); }));

    app.SelectRow(plan, false);  // not cached: a load is queued
    app.SelectRow(filed, false); // cached: shown at once
    ASSERT_TRUE(app.ShownReady());
    engine.AfterQueuedJobs();
    engine.Drain();
    ASSERT_TRUE(app.BodyCached(0, "Left", app.List().viewRows[static_cast<size_t>(plan)].header.uid))
        << "the first row's body never arrived, so nothing was tested";
    EXPECT_EQ(app.List().currentRow, filed);
    EXPECT_EQ(app.ShownMailbox(), "Right");
    EXPECT_EQ(app.ShownMessage().subject, "Filed seven");
    EXPECT_NE(engine.port.Page().find(u"Filed."), std::u16string::npos);
    EXPECT_EQ(engine.port.Page().find(u"Left plan."), std::u16string::npos);
}

// A conversation row is read only when all its messages are, yet carries
// the newest message's UID and flags.
TEST_F(EngineMessageTargets, AConversationIsMarkedMessageByMessageAndADeleteCountsOnlyTheRowsOwnMessage)
{
    const char* plan = "<plan@example.test>";
    alice.Append("INBOX", {.subject = "Plan", .date = "Mon, 05 Feb 2024 08:00:00 +0000", .messageId = plan});
    alice.Append("INBOX", {.subject = "Re: Plan", .date = "Mon, 05 Feb 2024 09:00:00 +0000",
                           .messageId = "<plan2@example.test>", .inReplyTo = plan, .references = plan});
    alice.Append("INBOX", {.subject = "Re: Plan", .date = "Mon, 05 Feb 2024 10:00:00 +0000",
                           .messageId = "<plan3@example.test>", .inReplyTo = plan, .references = plan,
                           .seen = true});
    // Trip sits between Plan and a read message, which becomes current
    // when Trip is deleted.
    const char* trip = "<trip@example.test>";
    alice.Append("INBOX", {.subject = "Trip", .date = "Mon, 05 Feb 2024 06:00:00 +0000", .messageId = trip});
    alice.Append("INBOX", {.subject = "Re: Trip", .date = "Mon, 05 Feb 2024 07:00:00 +0000",
                           .messageId = "<trip2@example.test>", .inReplyTo = trip, .references = trip,
                           .seen = true});
    alice.Append("INBOX", {.subject = "Note", .date = "Mon, 05 Feb 2024 05:00:00 +0000", .seen = true});

    Engine engine(folder.Path(), {1});
    ASSERT_TRUE(engine.Started());
    PosternApp& app = engine.app;
    ASSERT_TRUE(engine.OpenFolder(0, "INBOX"));
    const int32_t inbox = engine.RailIndex(0, "INBOX");
    ASSERT_TRUE(engine.PumpUntil([&] { return UnreadBadge(app, inbox) == 3; })) << UnreadBadge(app, inbox);
    ASSERT_EQ(app.List().viewRows.size(), 3u);

    const int32_t planRow = engine.RowWithSubject(u"Re: Plan");
    ASSERT_GE(planRow, 0);
    ASSERT_EQ(app.List().viewRows[static_cast<size_t>(planRow)].members.size(), 3u);
    app.MarkRead(planRow, true);
    EXPECT_EQ(UnreadBadge(app, inbox), 1u); // only Trip's first message is left
    EXPECT_TRUE(app.List().viewRows[static_cast<size_t>(planRow)].header.seen);
    engine.AfterQueuedJobs();
    EXPECT_EQ(alice.Search("INBOX", "UNSEEN").size(), 1u);
    EXPECT_TRUE(alice.Search("INBOX", "UNSEEN SUBJECT Plan").empty());

    app.MarkRead(planRow, false);
    EXPECT_EQ(UnreadBadge(app, inbox), 4u);
    engine.AfterQueuedJobs();
    EXPECT_EQ(alice.Search("INBOX", "UNSEEN SUBJECT Plan").size(), 3u);

    // Deleting Trip's row deletes its newest message, which is read: the
    // count stays although the conversation as a whole is unread. (Opening
    // the row reads all of it; another client then marks the older message
    // unread and the reload brings that in, the row staying selected.)
    int32_t tripRow = engine.RowWithSubject(u"Re: Trip");
    ASSERT_GE(tripRow, 0);
    app.SelectRow(tripRow, false);
    ASSERT_TRUE(engine.PumpUntil([&] { return app.ShownReady(); }));
    engine.AfterQueuedJobs();
    const uint32_t older = app.List().viewRows[static_cast<size_t>(tripRow)].members.front().uid;
    uint32_t count = 0;
    std::string error;
    ASSERT_TRUE(Select(alice.Session(), "INBOX", count, error)) << error;
    ASSERT_TRUE(StoreFlag(alice.Session(), older, "\\Seen", false, error)) << error;
    app.RefreshCurrent(false);
    ASSERT_TRUE(engine.PumpUntil([&] {
        tripRow = engine.RowWithSubject(u"Re: Trip");
        return tripRow >= 0 && !app.List().viewRows[static_cast<size_t>(tripRow)].header.seen;
    }));
    engine.Drain();
    ASSERT_EQ(app.List().currentRow, engine.RowWithSubject(u"Re: Trip"));
    const uint32_t before = UnreadBadge(app, inbox);
    app.DeleteSelected();
    EXPECT_EQ(UnreadBadge(app, inbox), before);
    engine.AfterQueuedJobs();
    EXPECT_EQ(alice.Search("INBOX", "UNSEEN").size(), 4u);
    EXPECT_TRUE(alice.Search("INBOX", "SUBJECT \"Re: Trip\"").empty());
}

// While search hits are shown, the list underneath still holds the folder
// that was open: hits from another folder with the same UIDs must leave its
// messages alone.
TEST_F(EngineMessageTargets, SearchHitsFromAnotherFolderLeaveTheOpenFoldersMessagesWithTheSameUidsAlone)
{
    // Both folders are new, so both number from 1.
    alice.Create("Here");
    alice.Create("Filed");
    alice.Append("Here", {.subject = "Local one", .date = "Mon, 05 Feb 2024 08:00:00 +0000"});
    alice.Append("Here", {.subject = "Local two", .date = "Mon, 05 Feb 2024 09:00:00 +0000"});
    alice.Append("Filed", {.subject = "hit one", .date = "Mon, 05 Feb 2024 06:00:00 +0000"});
    alice.Append("Filed", {.subject = "hit two", .date = "Mon, 05 Feb 2024 07:00:00 +0000"});
    const std::vector<uint32_t> local = alice.Search("Here", "ALL");
    ASSERT_EQ(alice.Search("Filed", "UNSEEN"), local);

    Engine engine(folder.Path(), {1});
    ASSERT_TRUE(engine.Started());
    PosternApp& app = engine.app;
    ASSERT_TRUE(engine.OpenFolder(0, "Here"));
    const int32_t here = engine.RailIndex(0, "Here");
    ASSERT_TRUE(engine.PumpUntil([&] { return UnreadBadge(app, here) == 2; }));

    app.FilterChanged(u"#subject:hit");
    app.StartGlobalSearch();
    ASSERT_TRUE(engine.PumpUntil([&] { return app.StatusText() == u"2 results in all folders"; }))
        << Utf16ToUtf8(app.StatusText());
    app.SelectRow(engine.RowWithSubject(u"hit one"), false); // opening marks it read
    app.SelectRow(engine.RowWithSubject(u"hit two"), false);
    app.DeleteSelected();
    EXPECT_EQ(UnreadBadge(app, here), 2u);
    engine.AfterQueuedJobs();
    EXPECT_EQ(alice.Search("Filed", "SUBJECT hit"), std::vector<uint32_t>{local.front()});
    EXPECT_TRUE(alice.Search("Filed", "UNSEEN").empty());
    EXPECT_EQ(alice.Search("Here", "UNSEEN"), local);

    // The rows under the hits still hold both messages, unread.
    for (const char* subject : {"Local one", "Local two"}) {
        const MessageRow* row = RowOf(app.List().allRows, subject);
        ASSERT_NE(row, nullptr) << subject << " was removed";
        EXPECT_FALSE(row->header.seen) << subject << " was marked read";
    }
}

TEST_F(EngineMessageTargets, UnlockingInTheLockedViewSaysSo)
{
    alice.Append("INBOX", {.subject = "keep one", .messageId = "<one@example.test>"});
    alice.Append("INBOX", {.subject = "keep two", .messageId = "<two@example.test>"});
    Engine engine(folder.Path(), {1});
    ASSERT_TRUE(engine.Started());
    PosternApp& app = engine.app;
    ASSERT_TRUE(engine.OpenFolder(0, "INBOX"));
    app.ToggleLock(engine.RowWithSubject(u"keep one"));
    app.ToggleLock(engine.RowWithSubject(u"keep two"));
    app.SelectFolder(engine.LockedViewIndex(), false);
    ASSERT_EQ(app.List().viewRows.size(), 2u);
    app.ToggleLock(engine.RowWithSubject(u"keep one"));
    EXPECT_EQ(engine.ListSubjects(), std::vector<std::u16string>{u"keep two"});
    EXPECT_EQ(app.StatusText(), u"Message unlocked.");
}

} // namespace
} // namespace postern::test
