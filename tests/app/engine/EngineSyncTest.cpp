// Start-up, folders and lists against the fixture's Dovecot, driven through
// the engine's public calls as the window would drive them.
#include "EngineHarness.h"

#include "platform/Charset.h"
#include "support/DovecotFixture.h"
#include "support/FixtureEnv.h"

#include <algorithm>

#include <gtest/gtest.h>

namespace postern::test {
namespace {

using EngineSync = EngineFixture;

TEST_F(EngineSync, StartUpWithTwoAccountsMergesTheInboxesAndCountsUnread)
{
    alice.Append("INBOX", {.subject = "alice old", .date = "Mon, 05 Feb 2024 08:00:00 +0000", .seen = true});
    alice.Append("INBOX", {.subject = "alice new", .date = "Mon, 05 Feb 2024 12:00:00 +0000"});
    alice.Append("INBOX", {.subject = "alice mid", .date = "Mon, 05 Feb 2024 10:00:00 +0000"});
    alice.Create("Zeta");
    bob.Append("INBOX", {.subject = "bob newest", .date = "Tue, 06 Feb 2024 09:00:00 +0000"});
    bob.Append("INBOX", {.subject = "bob oldest", .date = "Sun, 04 Feb 2024 09:00:00 +0000", .seen = true});

    Engine engine(folder.Path(), {1, 2});
    ASSERT_TRUE(engine.Started());
    PosternApp& app = engine.app;
    ASSERT_TRUE(engine.PumpUntil([&] { return engine.ListSubjects().size() == 5 && app.UnreadTotal() == 3; }))
        << app.List().viewRows.size() << " rows, " << app.UnreadTotal() << " unread, alice "
        << (engine.RailIndex(0, "INBOX") >= 0 ? app.UnreadOf(app.RailItems()[engine.RailIndex(0, "INBOX")]) : 99) << " bob "
        << (engine.RailIndex(1, "INBOX") >= 0 ? app.UnreadOf(app.RailItems()[engine.RailIndex(1, "INBOX")]) : 99);

    // "All Inboxes" first and selected; each account's folders in role
    // order under its header, the accounts in list order.
    const auto& rail = app.RailItems();
    ASSERT_GE(rail.size(), 3u);
    EXPECT_TRUE(rail[0].unified);
    EXPECT_EQ(app.CurrentFolder(), 0);
    std::vector<std::u16string> aliceLabels;
    for (int32_t i = engine.RailIndex(0, "") + 1; i < static_cast<int32_t>(rail.size()) && rail[i].account == 0; ++i)
        aliceLabels.push_back(rail[static_cast<size_t>(i)].label);
    EXPECT_EQ(aliceLabels, (std::vector<std::u16string>{u"Inbox", u"Drafts", u"Sent", u"Archive", u"Junk", u"Trash",
                                                        u"Zeta"}));
    EXPECT_EQ(rail[static_cast<size_t>(engine.RailIndex(0, ""))].label, u"ALICE");
    EXPECT_LT(engine.RailIndex(0, ""), engine.RailIndex(1, ""));

    // Newest first across both accounts.
    EXPECT_EQ(engine.ListSubjects(), (std::vector<std::u16string>{u"bob newest", u"alice new", u"alice mid",
                                                                  u"alice old", u"bob oldest"}));
    EXPECT_EQ(app.UnreadOf(rail[0]), 3u);
    EXPECT_EQ(app.UnreadOf(rail[static_cast<size_t>(engine.RailIndex(0, "INBOX"))]), 2u);
    EXPECT_EQ(engine.port.TrayTip(), u"Postern \u2014 3 unread");
}

TEST_F(EngineSync, TheLastMessageIsOpenedAgainAfterStartUp)
{
    alice.Create("Projects");
    alice.Append("Projects", {.subject = "first"});
    alice.Append("Projects", {.subject = "the one", .body = "Remembered body.\r\n"});
    const std::vector<uint32_t> uids = alice.Search("Projects", "ALL");
    ASSERT_EQ(uids.size(), 2u);

    Engine engine(folder.Path(), {1}, [&](AppSettings& settings) {
        settings.lastSelAccount = 0;
        settings.lastSelFolder = "Projects";
        settings.lastSelUid = uids[1];
    });
    ASSERT_TRUE(engine.Started());
    PosternApp& app = engine.app;
    ASSERT_TRUE(engine.PumpUntil([&] { return app.ShownReady(); }));
    const RailItem& current = app.RailItems().at(static_cast<size_t>(app.CurrentFolder()));
    EXPECT_EQ(current.path, "Projects");
    EXPECT_EQ(app.ShownUid(), uids[1]);
    EXPECT_NE(engine.port.Page().find(u"Remembered body."), std::u16string::npos);
    EXPECT_TRUE(app.AutoSelectDone());
}

TEST_F(EngineSync, FolderLoadsShowTheNewestTwoHundredAndDropLateResults)
{
    alice.Create("Big");
    alice.AppendNumbered("Big", "big", 250);
    alice.Create("Small");
    alice.AppendNumbered("Small", "small", 3);
    alice.Create("Empty");

    Engine engine(folder.Path(), {1});
    ASSERT_TRUE(engine.Started());
    PosternApp& app = engine.app;
    ASSERT_TRUE(engine.PumpUntil([&] { return engine.RailIndex(0, "Empty") >= 0 && !app.List().loading; }));
    engine.AfterQueuedJobs();
    engine.Drain();

    // Small, then Big at once: Small's headers arrive after Big was chosen
    // and are dropped.
    app.SelectFolder(engine.RailIndex(0, "Small"), false);
    app.SelectFolder(engine.RailIndex(0, "Big"), false);
    engine.AfterQueuedJobs();
    engine.Drain();
    const std::vector<std::u16string> subjects = engine.ListSubjects();
    ASSERT_EQ(subjects.size(), 200u);
    EXPECT_EQ(subjects.front(), u"big 250");
    EXPECT_EQ(subjects.back(), u"big 51");
    EXPECT_EQ(app.List().folderTotal, 250u);

    // An empty folder costs its SELECT and nothing else.
    const uint32_t before = app.Traffic(0).commands;
    app.SelectFolder(engine.RailIndex(0, "Empty"), false);
    engine.AfterQueuedJobs();
    engine.Drain();
    EXPECT_TRUE(app.List().viewRows.empty());
    EXPECT_EQ(app.Traffic(0).commands - before, 1u);
}

TEST_F(EngineSync, AnEditedAccountStartsOverWithItsNewSettings)
{
    alice.Append("INBOX", {.subject = "behind the password"});
    Engine engine(folder.Path(), {1}, [](AppSettings& settings) { settings.accounts[0].password = "wrong"; });
    ASSERT_TRUE(engine.Started());
    PosternApp& app = engine.app;
    ASSERT_TRUE(engine.PumpUntil([&] { return app.StatusText().rfind(u"\u26A0 Alice: ", 0) == 0; }))
        << Utf16ToUtf8(app.StatusText());
    EXPECT_TRUE(app.RailItems().empty());

    app.Settings().accounts[0].password = FixtureLogin(1).password; // what the dialog saved
    app.AccountEdited(0);
    EXPECT_EQ(app.StatusText(), u"Account updated \u2014 reconnecting\u2026");
    ASSERT_TRUE(engine.PumpUntil([&] { return engine.ListSubjects().size() == 1; }));
    EXPECT_EQ(engine.ListSubjects(), std::vector<std::u16string>{u"behind the password"});
}

TEST_F(EngineSync, AnEditedAccountShowsNothingOfItsOldServer)
{
    alice.Append("INBOX", {.subject = "on the old server"});
    bob.Append("INBOX", {.subject = "on the new server"});
    Engine engine(folder.Path(), {1});
    ASSERT_TRUE(engine.Started());
    PosternApp& app = engine.app;
    ASSERT_TRUE(engine.PumpUntil([&] { return engine.ListSubjects().size() == 1; }));

    // Same mailbox names and UIDs, other messages: the old rows go at once,
    // so no click can act on the new server's message with their UID.
    app.Settings().accounts[0] = FixtureAccount(2);
    app.AccountEdited(0);
    EXPECT_TRUE(app.List().viewRows.empty());
    ASSERT_TRUE(engine.PumpUntil([&] { return engine.ListSubjects().size() == 1; }));
    EXPECT_EQ(engine.ListSubjects(), std::vector<std::u16string>{u"on the new server"});
}

TEST_F(EngineSync, AnAccountAddedWhileFoldersArriveIsStarted)
{
    bob.Append("INBOX", {.subject = "for the added account"});
    Engine engine(folder.Path(), {1});
    ASSERT_TRUE(engine.Started());
    PosternApp& app = engine.app;
    ASSERT_TRUE(engine.PumpUntil([&] { return engine.RailIndex(0, "INBOX") >= 0; }));

    // The dialog has saved the new account; a folder list of the first one
    // is handled before the dialog's announcement.
    app.Settings().accounts.push_back(FixtureAccount(2));
    auto folders = std::make_unique<FoldersResult>();
    folders->account = 0;
    folders->folders.push_back(FolderInfo{.name = "INBOX", .isInbox = true});
    app.HandleRecord(std::move(folders));
    app.HandleRecord(std::make_unique<AccountAddedRecord>());
    ASSERT_TRUE(engine.PumpUntil([&] { return engine.RailIndex(1, "INBOX") >= 0; }));
    ASSERT_TRUE(engine.OpenFolder(1, "INBOX"));
    EXPECT_EQ(engine.ListSubjects(), std::vector<std::u16string>{u"for the added account"});
}

TEST_F(EngineSync, NewMailThroughTheMtaAppearsWithoutARefresh)
{
    alice.Append("INBOX", {.subject = "already here", .seen = true});
    Engine engine(folder.Path(), {1}, {}, /*watchers=*/true);
    ASSERT_TRUE(engine.Started());
    PosternApp& app = engine.app;
    ASSERT_TRUE(engine.PumpUntil([&] { return engine.ListSubjects().size() == 1; }));
    // The watcher's first report comes once it idles; after it, new mail
    // is what wakes it.
    ASSERT_TRUE(engine.PumpUntil([&] {
        return std::count(engine.handled.begin(), engine.handled.end(), RecordKind::IdleActivity) >= 1;
    }));
    engine.AfterQueuedJobs();
    engine.Drain();

    const std::string mail = MailText({.subject = "fresh arrival", .body = "Just now.\r\n"});
    ASSERT_EQ(SubmitSmtp(2, FixtureValue("POSTERN_EMAIL1"), mail), "");
    ASSERT_TRUE(engine.PumpUntil([&] { return engine.RowWithSubject(u"fresh arrival") >= 0; }));
    engine.AfterQueuedJobs(); // the unread counts the activity queued
    engine.Drain();
    EXPECT_EQ(app.UnreadTotal(), 1u);
    EXPECT_EQ(engine.port.TrayTip(), u"Postern \u2014 1 unread");
}

} // namespace
} // namespace postern::test
