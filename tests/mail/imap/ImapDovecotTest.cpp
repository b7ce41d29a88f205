// The session and the mailbox operations against the fixture's Dovecot (and
// Postfix for IDLE): what real servers answer, on both platform backends.
// Each test works in folders of its own under RunPrefix(), so tests do not
// depend on their order or on another run.
#include "support/DovecotFixture.h"

#include "mail/ImapIdle.h"
#include "mail/ImapMailbox.h"
#include "mail/ModifiedUtf7.h"
#include "support/FixtureEnv.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <set>

namespace postern::test {
namespace {

class ImapDovecot : public testing::Test {
protected:
    void SetUp() override
    {
        POSTERN_REQUIRE_FIXTURE();
        ASSERT_EQ(OpenFixture(session, 1), "");
    }

    void TearDown() override
    {
        DropRunFolders(session);
        session.Logout();
    }

    // A folder of this test holding `count` messages "Message 1".. appended.
    std::string FolderWith(const std::string& name, int count, const std::string& flags = "")
    {
        std::string error;
        const std::string folder = MakeFolder(session, name, error);
        EXPECT_EQ(error, "");
        for (int i = 1; i <= count; ++i) {
            EXPECT_TRUE(AppendMessage(session, folder, TestMessage("Message " + std::to_string(i)), flags, error))
                << error;
        }
        return folder;
    }

    uint32_t SelectCount(const std::string& folder)
    {
        uint32_t count = 0;
        std::string error;
        EXPECT_TRUE(Select(session, folder, count, error)) << error;
        return count;
    }

    MessageHeader HeaderOf(uint32_t uid)
    {
        std::vector<MessageHeader> headers;
        std::string error;
        EXPECT_TRUE(FetchHeadersByUid(session, std::to_string(uid), headers, error)) << error;
        return headers.size() == 1 ? headers[0] : MessageHeader();
    }

    ImapSession session;
};

TEST_F(ImapDovecot, SignInTakesOneCommandAndKnowsCapabilities)
{
    EXPECT_TRUE(session.IsConnected());
    EXPECT_EQ(session.TagCounter(), 1) << "nothing but LOGIN during Open";
    EXPECT_TRUE(session.CapabilitiesKnown());
    EXPECT_TRUE(session.HasCapability("UIDPLUS"));
    EXPECT_TRUE(session.HasCapability("MOVE"));
    EXPECT_TRUE(session.HasCapability("idle"));
    std::string text;
    std::string error;
    ASSERT_TRUE(session.Capability(text, error)) << error;
    EXPECT_THAT(text, testing::StartsWith("* capability imap4rev1"));
}

TEST_F(ImapDovecot, WrongPasswordIsRejected)
{
    const struct {
        std::string user;
        std::string password;
    } cases[] = {
        {FixtureLogin(1).user, "wrong"},
        {"nosuchuser", "x"},
        {FixtureLogin(1).user, "with \"quote\" and \\ backslash"},
    };
    for (const auto& c : cases) {
        ImapSession other;
        ServerLogin login = FixtureLogin(1);
        login.user = c.user;
        login.password = c.password;
        std::string error;
        EXPECT_FALSE(other.Open(login, error));
        EXPECT_THAT(error, testing::StartsWith("sign-in rejected: server said: NO "));
        EXPECT_FALSE(other.IsConnected());
        other.Logout();
    }
}

TEST_F(ImapDovecot, ListShowsRolesAndNestedFolders)
{
    std::string error;
    const std::string deep = MakeFolder(session, "Projects/2024/Q1", error);
    ASSERT_EQ(error, "");
    std::string encoded;
    ASSERT_TRUE(EncodeModifiedUtf7("Entwürfe 日本", encoded, error));
    const std::string unicode = MakeFolder(session, encoded, error);
    ASSERT_EQ(error, "");

    std::vector<FolderInfo> folders;
    ASSERT_TRUE(ListFolders(session, folders, error)) << error;
    auto find = [&](const std::string& name) -> const FolderInfo* {
        for (const FolderInfo& f : folders) {
            if (f.name == name)
                return &f;
        }
        return nullptr;
    };
    const struct {
        const char* name;
        bool inbox, sent, trash, drafts, junk, archive;
    } roles[] = {
        {"INBOX", true, false, false, false, false, false},  {"Sent", false, true, false, false, false, false},
        {"Trash", false, false, true, false, false, false},  {"Drafts", false, false, false, true, false, false},
        {"Junk", false, false, false, false, true, false},   {"Archive", false, false, false, false, false, true},
    };
    for (const auto& r : roles) {
        const FolderInfo* f = find(r.name);
        ASSERT_NE(f, nullptr) << r.name;
        EXPECT_EQ(f->isInbox, r.inbox) << r.name;
        EXPECT_EQ(f->isSent, r.sent) << r.name;
        EXPECT_EQ(f->isTrash, r.trash) << r.name;
        EXPECT_EQ(f->isDrafts, r.drafts) << r.name;
        EXPECT_EQ(f->isJunk, r.junk) << r.name;
        EXPECT_EQ(f->isArchive, r.archive) << r.name;
        EXPECT_EQ(f->delimiter, '/');
    }
    const FolderInfo* nested = find(deep);
    ASSERT_NE(nested, nullptr);
    EXPECT_FALSE(nested->noSelect);
    EXPECT_NE(find(RunPrefix() + "/Projects/2024"), nullptr);
    const FolderInfo* u = find(unicode);
    ASSERT_NE(u, nullptr) << "names come back exactly as created";
    EXPECT_TRUE(MailboxDisplayName(u->name) == MailboxDisplayName(RunPrefix() + "/") + u"Entwürfe 日本");
}

TEST_F(ImapDovecot, NewestTwoHundredOfTwoHundredFifty)
{
    const std::string folder = FolderWith("Big", 250);
    const uint32_t count = SelectCount(folder);
    ASSERT_EQ(count, 250u);
    uint32_t first = 0;
    uint32_t last = 0;
    NewestRange(count, 200, first, last);
    std::vector<MessageHeader> headers;
    std::string error;
    ASSERT_TRUE(FetchHeaders(session, first, last, headers, error)) << error;
    ASSERT_EQ(headers.size(), 200u);
    for (size_t i = 0; i < headers.size(); ++i) {
        const MessageHeader& h = headers[i];
        EXPECT_EQ(h.seq, 51 + i);
        EXPECT_EQ(h.uid, 51 + i);
        EXPECT_EQ(h.subject, "Message " + std::to_string(51 + i));
        EXPECT_EQ(h.from, "Test Sender <sender@example.test>");
        EXPECT_EQ(h.date, 1707127200);
        EXPECT_GT(h.size, 100u);
        EXPECT_FALSE(h.seen);
        EXPECT_FALSE(h.messageId.empty());
    }
}

TEST_F(ImapDovecot, FetchByUidAndWholeMessageWithoutMarkingRead)
{
    const std::string folder = FolderWith("Fetch", 7);
    ASSERT_EQ(SelectCount(folder), 7u);
    std::vector<MessageHeader> headers;
    std::string error;
    ASSERT_TRUE(FetchHeadersByUid(session, "2,5,7,99", headers, error)) << error;
    std::vector<uint32_t> uids;
    for (const MessageHeader& h : headers)
        uids.push_back(h.uid);
    EXPECT_EQ(uids, (std::vector<uint32_t>{2, 5, 7}));
    ASSERT_TRUE(FetchHeadersByUid(session, "", headers, error));
    EXPECT_EQ(headers.size(), 3u);

    std::string raw;
    ASSERT_TRUE(FetchMessage(session, 5, raw, error)) << error;
    EXPECT_EQ(raw, TestMessage("Message 5"));
    EXPECT_FALSE(HeaderOf(5).seen) << "BODY.PEEK must not set \\Seen";
    EXPECT_FALSE(FetchMessage(session, 99, raw, error));
    EXPECT_EQ(error, "server returned no message body");
    EXPECT_TRUE(session.IsConnected());
}

TEST_F(ImapDovecot, FlagsStoreAndMarkAll)
{
    const std::string folder = FolderWith("Flags", 4);
    ASSERT_EQ(SelectCount(folder), 4u);
    std::string error;
    ASSERT_TRUE(StoreFlag(session, 1, "\\Seen", true, error)) << error;
    ASSERT_TRUE(StoreFlag(session, 2, "\\Flagged", true, error)) << error;
    ASSERT_TRUE(StoreFlag(session, 2, "\\Answered", true, error)) << error;
    EXPECT_TRUE(HeaderOf(1).seen);
    EXPECT_TRUE(HeaderOf(2).flagged);
    EXPECT_TRUE(HeaderOf(2).answered);
    EXPECT_FALSE(HeaderOf(2).seen);
    ASSERT_TRUE(StoreFlag(session, 1, "\\Seen", false, error)) << error;
    EXPECT_FALSE(HeaderOf(1).seen);
    EXPECT_FALSE(StoreFlag(session, 1, "\\Bogus(", true, error));
    EXPECT_THAT(error, testing::StartsWith("server said: BAD"));
    ASSERT_TRUE(MarkAllSeen(session, error)) << error;
    uint32_t unseen = 99;
    ASSERT_TRUE(CountUnseen(session, folder, unseen, error)) << error;
    EXPECT_EQ(unseen, 0u);
}

TEST_F(ImapDovecot, CopyMoveAndDeleteToTrash)
{
    const std::string source = FolderWith("Source", 5);
    std::string error;
    const std::string target = MakeFolder(session, "Target", error);
    ASSERT_EQ(SelectCount(source), 5u);

    ASSERT_TRUE(CopyMessage(session, 1, target, error)) << error;
    ASSERT_TRUE(MoveMessage(session, 2, target, error)) << error;
    EXPECT_FALSE(MoveMessage(session, 3, RunPrefix() + "/Nowhere", error));
    EXPECT_THAT(error, testing::StartsWith("server said: NO [TRYCREATE]"));
    // The application deletes to the trash by moving there.
    ASSERT_TRUE(MoveMessage(session, 4, target, error)) << error;
    EXPECT_EQ(SelectCount(source), 3u); // 1, 3, 5 are left
    EXPECT_EQ(SelectCount(target), 3u);
    std::vector<MessageHeader> headers;
    ASSERT_TRUE(FetchHeaders(session, 1, 3, headers, error)) << error;
    std::multiset<std::string> subjects;
    for (const MessageHeader& h : headers)
        subjects.insert(h.subject);
    EXPECT_EQ(subjects, (std::multiset<std::string>{"Message 1", "Message 2", "Message 4"}));
}

TEST_F(ImapDovecot, DeleteExpungesOnlyThatMessage)
{
    const std::string folder = FolderWith("Delete", 3);
    ASSERT_EQ(SelectCount(folder), 3u);
    std::string error;
    // Another client marked message 1 for deletion but did not expunge it.
    ASSERT_TRUE(StoreFlag(session, 1, "\\Deleted", true, error)) << error;
    const int before = session.TagCounter();
    ASSERT_TRUE(DeleteMessage(session, 2, error)) << error;
    EXPECT_EQ(session.TagCounter(), before + 2) << "STORE and UID EXPUNGE, no CAPABILITY";
    EXPECT_EQ(SelectCount(folder), 2u) << "message 1 must survive";
    std::vector<MessageHeader> headers;
    ASSERT_TRUE(FetchHeadersByUid(session, "1:*", headers, error)) << error;
    ASSERT_EQ(headers.size(), 2u);
    EXPECT_EQ(headers[0].uid, 1u);
    EXPECT_EQ(headers[1].uid, 3u);
}

TEST_F(ImapDovecot, AppendWithFlags)
{
    std::string error;
    const std::string folder = MakeFolder(session, "Sent", error);
    const std::string message = TestMessage("Sent copy", "Body with ümlauts.\r\n");
    ASSERT_TRUE(AppendMessage(session, folder, message, "\\Seen \\Flagged", error)) << error;
    ASSERT_TRUE(AppendMessage(session, folder, TestMessage("Plain"), "", error)) << error;
    EXPECT_FALSE(AppendMessage(session, RunPrefix() + "/Missing", message, "", error));
    EXPECT_THAT(error, testing::StartsWith("APPEND refused: C"));
    EXPECT_NE(error.find("NO [TRYCREATE]"), std::string::npos) << error;
    EXPECT_FALSE(AppendMessage(session, folder, message, "\\Bogus(", error));
    EXPECT_THAT(error, testing::StartsWith("APPEND refused: "));
    EXPECT_TRUE(session.IsConnected());

    ASSERT_EQ(SelectCount(folder), 2u);
    const MessageHeader first = HeaderOf(1);
    EXPECT_TRUE(first.seen);
    EXPECT_TRUE(first.flagged);
    EXPECT_EQ(first.size, message.size());
    EXPECT_FALSE(HeaderOf(2).seen);
    std::string raw;
    ASSERT_TRUE(FetchMessage(session, 1, raw, error)) << error;
    EXPECT_EQ(raw, message);
}

TEST_F(ImapDovecot, StatusAndSearch)
{
    std::string error;
    const std::string folder = MakeFolder(session, "Search", error);
    const char* subjects[] = {"Grüße aus Köln", "Plain news", "Weitere Grüße", "=?UTF-8?B?R3LDvMOfZQ==?="};
    for (const char* subject : subjects)
        ASSERT_TRUE(AppendMessage(session, folder, TestMessage(subject), "", error)) << error;
    ASSERT_TRUE(AppendMessage(session, folder, TestMessage("Read one"), "\\Seen", error)) << error;

    uint32_t unseen = 99;
    ASSERT_TRUE(CountUnseen(session, folder, unseen, error)) << error;
    EXPECT_EQ(unseen, 4u);
    EXPECT_FALSE(CountUnseen(session, RunPrefix() + "/Missing", unseen, error));
    EXPECT_THAT(error, testing::StartsWith("server said: NO"));

    ASSERT_EQ(SelectCount(folder), 5u);
    const struct {
        const char* criteria;
        std::vector<uint32_t> uids;
    } searches[] = {
        {"UNSEEN", {1, 2, 3, 4}},
        {"SEEN", {5}},
        {"SUBJECT \"Grüße\"", {1, 3, 4}},
        {"SUBJECT \"köln\"", {1}},
        {"SUBJECT \"nothing like it\"", {}},
        {"ALL", {1, 2, 3, 4, 5}},
    };
    for (const auto& s : searches) {
        std::vector<uint32_t> uids;
        ASSERT_TRUE(SearchUids(session, s.criteria, uids, error)) << s.criteria << ": " << error;
        EXPECT_EQ(uids, s.uids) << s.criteria;
    }
    std::vector<uint32_t> uids;
    EXPECT_FALSE(SearchUids(session, "FOO", uids, error));
    EXPECT_THAT(error, testing::StartsWith("server said: BAD"));
}

TEST_F(ImapDovecot, SelectAndSearchPipelined)
{
    const std::string folder = FolderWith("Pipe", 3);
    std::string error;
    ASSERT_TRUE(AppendMessage(session, folder, TestMessage("Über alles"), "\\Seen", error)) << error;
    const struct {
        std::string mailbox;
        std::string criteria;
        bool ok;
        uint32_t count;
        std::vector<uint32_t> uids;
        std::string error;
    } cases[] = {
        {folder, "UNSEEN", true, 4, {1, 2, 3}, ""},
        {folder, "SUBJECT \"über\"", true, 4, {4}, ""},
        {"INBOX", "SUBJECT \"zzz-nothing\"", true, 0, {}, ""},
        {folder, "FOO", false, 4, {}, "SEARCH failed"},
        {RunPrefix() + "/Missing", "ALL", false, 0, {}, "SELECT " + RunPrefix() + "/Missing failed"},
    };
    for (const auto& c : cases) {
        uint32_t count = 99;
        std::vector<uint32_t> uids = {42};
        error.clear();
        EXPECT_EQ(SelectAndSearch(session, c.mailbox, c.criteria, count, uids, error), c.ok) << c.criteria;
        EXPECT_EQ(error, c.error);
        if (c.mailbox != "INBOX") {
            EXPECT_EQ(count, c.count) << c.criteria;
            EXPECT_EQ(uids, c.uids) << c.criteria;
        }
        EXPECT_TRUE(session.IsConnected());
    }
}

// Waits up to `seconds` for PollIdle to report something other than 0.
int PollUntilActivity(ImapSession& idle, int seconds)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (std::chrono::steady_clock::now() < deadline) {
        const int result = PollIdle(idle);
        if (result != 0)
            return result;
    }
    return 0;
}

TEST_F(ImapDovecot, IdleWakesOnDeliveryNotOnFlagChange)
{
    // Bob's inbox is this test's alone; other tests use their own folders.
    ImapSession idle;
    ASSERT_EQ(OpenFixture(idle, 2), "");
    ImapSession other;
    ASSERT_EQ(OpenFixture(other, 2), "");
    std::string error;
    ASSERT_TRUE(AppendMessage(other, "INBOX", TestMessage("Flag me"), "", error)) << error;
    uint32_t count = 0;
    ASSERT_TRUE(Select(other, "INBOX", count, error)) << error;
    ASSERT_TRUE(Select(idle, "INBOX", count, error)) << error;

    idle.SetReceiveTimeout(500);
    ASSERT_TRUE(StartIdle(idle, error)) << error;
    EXPECT_EQ(PollUntilActivity(idle, 1), 0) << "quiet inbox";

    ASSERT_TRUE(StoreFlag(other, count, "\\Seen", true, error)) << error;
    ASSERT_TRUE(StoreFlag(other, count, "\\Flagged", true, error)) << error;
    EXPECT_EQ(PollUntilActivity(idle, 2), 0) << "a flag change is no new mail";

    ASSERT_EQ(SubmitSmtp(1, FixtureValue("POSTERN_EMAIL2"), TestMessage("Wake up")), "");
    EXPECT_EQ(PollUntilActivity(idle, 15), 1) << "delivery through Postfix must wake IDLE";

    ASSERT_TRUE(StopIdle(idle, error)) << error;
    EXPECT_TRUE(idle.IsConnected());
    uint32_t after = 0;
    ASSERT_TRUE(Select(idle, "INBOX", after, error)) << error;
    EXPECT_EQ(after, count + 1);
    // Leave bob's inbox empty for the next run.
    ASSERT_TRUE(MarkAllSeen(idle, error));
    std::vector<ImapResponse> untagged;
    ASSERT_TRUE(idle.Command("STORE 1:* +FLAGS.SILENT (\\Deleted)", untagged, error)) << error;
    ASSERT_TRUE(idle.Command("EXPUNGE", untagged, error)) << error;
    idle.Logout();
    other.Logout();
}

} // namespace
} // namespace postern::test
