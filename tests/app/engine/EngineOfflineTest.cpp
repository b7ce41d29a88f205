// The engine's own decisions, fed with records as the worker would post
// them: no server and no worker, so every case is exact and instant.
#include "support/OfflineEngine.h"

#include "platform/Charset.h"

#include <gtest/gtest.h>

namespace postern::test {
namespace {

TEST(EngineOffline, TheRailOrdersRolesFillsInParentsAndKeepsTheSelectionAcrossRebuilds)
{
    Offline offline(1);
    offline.Folders(0, {Folder("Zeta"), Role("Trash", &FolderInfo::isTrash), Role("INBOX", &FolderInfo::isInbox),
                        Role("Archive", &FolderInfo::isArchive), Role("Sent", &FolderInfo::isSent),
                        Role("Drafts", &FolderInfo::isDrafts), Role("Spam", &FolderInfo::isJunk),
                        Folder("Reports/2024/Q1"), Folder("alpha")});
    EXPECT_EQ(offline.Labels(), (std::vector<std::u16string>{u"ACCT0", u"Inbox", u"Drafts", u"Sent", u"Archive",
                                                             u"Spam", u"Trash", u"alpha", u"Reports (dim)",
                                                             u"  2024 (dim)", u"    Q1", u"Zeta"}));
    // One account: no "All Inboxes", the inbox opens on arrival.
    EXPECT_EQ(offline.app.CurrentFolder(), offline.Index(u"Inbox"));

    // A rebuild (the account edited or refreshed) keeps Zeta selected even
    // though its line moves.
    offline.app.SelectFolder(offline.Index(u"Zeta"), false);
    const uint32_t generation = offline.app.LoadGeneration();
    offline.Folders(0, {Role("INBOX", &FolderInfo::isInbox), Folder("Aardvark"), Folder("Zeta")});
    ASSERT_GE(offline.app.CurrentFolder(), 0);
    EXPECT_EQ(offline.app.RailItems()[static_cast<size_t>(offline.app.CurrentFolder())].path, "Zeta");
    EXPECT_EQ(offline.app.LoadGeneration(), generation); // nothing was reloaded
}

TEST(EngineOffline, AllInboxesLeadsWithTwoAccountsAndLateResultsAreDropped)
{
    Offline offline(2);
    offline.Folders(1, {Role("INBOX", &FolderInfo::isInbox), Folder("Work")});
    offline.Folders(0, {Role("INBOX", &FolderInfo::isInbox)});
    EXPECT_EQ(offline.Labels(), (std::vector<std::u16string>{u"All Inboxes", u"ACCT1", u"Inbox", u"Work", u"ACCT0",
                                                             u"Inbox"}));
    EXPECT_EQ(offline.app.CurrentFolder(), 0);

    offline.Headers(0, "INBOX", {Header(1, "zero old", 100), Header(2, "zero new", 300, false)});
    offline.Headers(1, "INBOX", {Header(7, "one mid", 200)});
    std::vector<std::u16string> subjects;
    for (const MessageRow& row : offline.app.List().viewRows)
        subjects.push_back(row.subjectText);
    EXPECT_EQ(subjects, (std::vector<std::u16string>{u"zero new", u"one mid", u"zero old"}));

    // Headers of a load queued before the user moved on change nothing.
    const uint32_t stale = offline.app.LoadGeneration();
    offline.app.SelectFolder(offline.Index(u"Work"), false);
    auto late = std::make_unique<HeadersResult>();
    late->account = 0;
    late->mailbox = "INBOX";
    late->headers = {Header(9, "late", 999)};
    late->generation = stale;
    offline.app.HandleRecord(std::move(late));
    EXPECT_TRUE(offline.app.List().viewRows.empty());
    EXPECT_TRUE(offline.app.List().loading);
}

TEST(EngineOffline, UnreadCountsFeedTheTrayOnlyWhenTheTotalChanges)
{
    Offline offline(2);
    offline.Folders(0, {Role("INBOX", &FolderInfo::isInbox), Folder("Other")});
    auto count = [&](int account, const char* mailbox, uint32_t unread) {
        auto record = std::make_unique<UnreadCount>();
        record->account = account;
        record->mailbox = mailbox;
        record->count = unread;
        offline.app.HandleRecord(std::move(record));
    };
    count(0, "INBOX", 3);
    EXPECT_EQ(offline.port.TrayTip(), u"Postern \u2014 3 unread");
    EXPECT_TRUE(offline.port.TrayUnread());
    const int updates = offline.port.TrayUpdates();
    count(0, "Other", 40); // other folders do not count
    count(0, "INBOX", 3);
    EXPECT_EQ(offline.port.TrayUpdates(), updates);
    EXPECT_EQ(offline.app.UnreadOf(offline.app.RailItems()[static_cast<size_t>(offline.Index(u"Other"))]), 40u);
    count(0, "INBOX", 0);
    EXPECT_EQ(offline.port.TrayTip(), u"Postern \u2014 no unread mail");
    count(5, "INBOX", 9); // an account that does not exist
    EXPECT_EQ(offline.app.UnreadTotal(), 0u);
}

TEST(EngineOffline, BodiesAreCachedUpToTwentyFourAndNeverWhenLarge)
{
    Offline offline(1);
    offline.Folders(0, {Role("INBOX", &FolderInfo::isInbox)});
    auto body = [&](uint32_t uid, size_t partBytes) {
        auto record = std::make_unique<BodyResult>();
        record->account = 0;
        record->mailbox = "INBOX";
        record->uid = uid;
        record->message.subject = "m" + std::to_string(uid);
        if (partBytes > 0)
            record->message.parts.push_back({"application/octet-stream", "", "big.bin", "", std::string(partBytes, 'x')});
        offline.app.HandleRecord(std::move(record));
    };
    for (uint32_t uid = 1; uid <= 30; ++uid)
        body(uid, 0);
    EXPECT_EQ(offline.app.BodyCacheSize(), 24u);
    EXPECT_FALSE(offline.app.BodyCached(0, "INBOX", 6)); // the oldest went first
    EXPECT_TRUE(offline.app.BodyCached(0, "INBOX", 7));
    body(100, 3 * 1024 * 1024);
    EXPECT_FALSE(offline.app.BodyCached(0, "INBOX", 100));
}

TEST(EngineOffline, AnAttachmentIsOfferedUnderASafeNameAndWrittenWhereChosen)
{
    Offline offline(1);
    offline.Folders(0, {Role("INBOX", &FolderInfo::isInbox)});
    offline.Headers(0, "INBOX", {Header(5, "with file", 100)});
    offline.app.SelectRow(0, false);
    auto record = std::make_unique<BodyResult>();
    record->account = 0;
    record->mailbox = "INBOX";
    record->uid = 5;
    record->message.parts.push_back({"application/pdf", "", "..\\..\\CON.pdf", "", "%PDF"});
    record->message.parts.push_back({"text/plain", "", "", "", "plain"});
    offline.app.HandleRecord(std::move(record));
    ASSERT_TRUE(offline.app.ShownReady());

    const std::u16string offered = offline.app.AttachmentFileName(offline.app.ShownAttachment(0));
    EXPECT_EQ(offered.find(u'\\'), std::u16string::npos);
    EXPECT_NE(offered.rfind(u"CON.pdf"), 0u);
    EXPECT_EQ(offline.app.AttachmentFileName(offline.app.ShownAttachment(1)), u"attachment.bin");

    const auto target = offline.folder.Path() / "saved.pdf";
    offline.app.SaveAttachmentTo(offline.app.ShownAttachment(0), target);
    EXPECT_EQ(offline.app.StatusText(), u"Saved " + target.u16string());
    offline.app.SaveAttachmentTo(offline.app.ShownAttachment(0), offline.folder.Path() / "no-such-folder" / "x.pdf");
    EXPECT_EQ(offline.app.StatusText(), u"Could not write file.");
}

TEST(EngineOffline, TheFirstRowOpensAfterThreeSecondsAndRowsCopyToTheClipboard)
{
    Offline offline(1);
    offline.Folders(0, {Role("INBOX", &FolderInfo::isInbox)});
    MessageHeader header = Header(4, "Quarterly numbers", 100);
    header.from = "\"Doe, Jane\" <jane@example.test>";
    offline.Headers(0, "INBOX", {header});
    EXPECT_EQ(offline.app.List().currentRow, -1);
    EXPECT_TRUE(offline.app.OnTimer(kAutoSelectTimer)); // one shot
    EXPECT_EQ(offline.app.List().currentRow, 0);
    EXPECT_EQ(offline.app.ShownUid(), 4u);
    EXPECT_TRUE(offline.app.AutoSelectDone());

    offline.app.CopySender(0);
    EXPECT_EQ(offline.port.Clipboard(), u"jane@example.test");
    EXPECT_EQ(offline.app.StatusText(), u"Sender address copied.");
    offline.app.CopySubject(0);
    EXPECT_EQ(offline.port.Clipboard(), u"Quarterly numbers");
    EXPECT_EQ(offline.app.StatusText(), u"Subject copied.");
}

TEST(EngineOffline, RemovingAnAccountRenumbersLocksAndTheLastSelection)
{
    TempFolder folder;
    LockList locks;
    for (const int32_t account : {0, 1, 2}) {
        LockEntry entry;
        entry.account = account;
        entry.mailbox = "INBOX";
        entry.uid = static_cast<uint32_t>(10 + account);
        entry.messageId = "<m" + std::to_string(account) + "@example.test>";
        locks.Insert(LockKey(account, entry.mailbox, entry.uid, entry.messageId), entry);
    }
    std::string error;
    ASSERT_TRUE(locks.Save(folder.Path() / "locked.json", error)) << error;
    AppSettings settings;
    for (const char* name : {"zero", "one", "two"}) {
        AccountConfig account;
        account.name = name;
        account.email = std::string(name) + "@example.test";
        account.imapHost = "imap.example.test";
        settings.accounts.push_back(account);
    }
    settings.lastSelAccount = 2;
    settings.lastSelFolder = "INBOX";
    settings.lastSelUid = 12;
    ASSERT_TRUE(SaveSettingsTo(folder.Path() / "config.json", settings, error)) << error;

    {
        QueuedUiPort port;
        PosternApp app(folder.Path() / "config.json");
        ASSERT_TRUE(app.LoadSettings());
        app.AttachUi(port);
        app.PrepareState();
        ASSERT_TRUE(app.RemoveAccount(1, error)) << error;
        // Keys as well as entries are renumbered in memory, not only when
        // the file is read again.
        EXPECT_TRUE(app.Locks().Contains(LockKey(1, "INBOX", 12, "<m2@example.test>")));
        EXPECT_EQ(app.Locks().Size(), 2u);
    }
    AppSettings saved;
    ASSERT_EQ(LoadSettingsFile(folder.Path() / "config.json", saved, error), SettingsLoad::loaded) << error;
    ASSERT_EQ(saved.accounts.size(), 2u);
    EXPECT_EQ(saved.accounts[1].name, "two");
    EXPECT_EQ(saved.lastSelAccount, 1);
    LockList reloaded;
    ASSERT_TRUE(reloaded.Load(folder.Path() / "locked.json", error)) << error;
    EXPECT_TRUE(reloaded.Contains(LockKey(0, "INBOX", 10, "<m0@example.test>")));
    EXPECT_TRUE(reloaded.Contains(LockKey(1, "INBOX", 12, "<m2@example.test>")));
    EXPECT_EQ(reloaded.Size(), 2u);
}

} // namespace
} // namespace postern::test
