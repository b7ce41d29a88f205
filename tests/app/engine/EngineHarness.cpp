#include "EngineHarness.h"

#include "support/Waiting.h"
#include "mail/ImapMailbox.h"
#include "platform/Charset.h"
#include "support/DovecotFixture.h"
#include "support/FixtureEnv.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace postern::test {

AccountConfig FixtureAccount(int user)
{
    const ServerLogin login = FixtureLogin(user);
    AccountConfig account;
    account.email = FixtureValue(("POSTERN_EMAIL" + std::to_string(user)).c_str());
    account.name = user == 1 ? "Alice" : "Bob";
    account.displayName = account.name;
    account.imapHost = login.host;
    account.imapPort = static_cast<int32_t>(login.port);
    account.smtpHost = login.host;
    account.smtpPort = static_cast<int32_t>(FixturePort("POSTERN_SUBMISSION_PORT"));
    account.user = login.user;
    account.password = login.password;
    return account;
}

std::string MailText(const TestMail& mail)
{
    std::string text = "From: " + mail.from + "\r\nTo: alice@example.test\r\nSubject: " + mail.subject
                       + "\r\nDate: " + mail.date + "\r\n";
    if (!mail.messageId.empty())
        text += "Message-ID: " + mail.messageId + "\r\n";
    if (!mail.inReplyTo.empty())
        text += "In-Reply-To: " + mail.inReplyTo + "\r\n";
    if (!mail.references.empty())
        text += "References: " + mail.references + "\r\n";
    return text + "MIME-Version: 1.0\r\nContent-Type: text/plain; charset=utf-8\r\n\r\n" + mail.body;
}

ServerSide::ServerSide(int user)
{
    error_ = OpenFixture(session_, user);
}

void ServerSide::Reset()
{
    std::vector<FolderInfo> folders;
    if (!ListFolders(session_, folders, error_))
        return;
    std::sort(folders.begin(), folders.end(),
              [](const FolderInfo& a, const FolderInfo& b) { return a.name.size() > b.name.size(); });
    for (const FolderInfo& folder : folders) {
        std::vector<ImapResponse> untagged;
        std::string error;
        const bool special = folder.isInbox || folder.isSent || folder.isTrash || folder.isDrafts || folder.isJunk
                             || folder.isArchive;
        if (!special) {
            (void)session_.Command("DELETE " + ImapSession::Quote(folder.name), untagged, error);
            continue;
        }
        uint32_t count = 0;
        if (!Select(session_, folder.name, count, error) || count == 0)
            continue;
        (void)session_.Command("STORE 1:* +FLAGS.SILENT (\\Deleted)", untagged, error);
        (void)session_.Command("EXPUNGE", untagged, error);
    }
    std::vector<ImapResponse> untagged;
    (void)session_.Command("UNSELECT", untagged, error_);
    error_.clear();
}

void ServerSide::Create(const std::string& mailbox)
{
    std::vector<ImapResponse> untagged;
    std::string error;
    if (!session_.Command("CREATE " + ImapSession::Quote(mailbox), untagged, error))
        ADD_FAILURE() << "CREATE " << mailbox << ": " << error;
}

void ServerSide::Append(const std::string& mailbox, const TestMail& mail)
{
    std::string error;
    if (!AppendMessage(session_, mailbox, MailText(mail), mail.seen ? "\\Seen" : "", error))
        ADD_FAILURE() << "APPEND to " << mailbox << ": " << error;
}

void ServerSide::AppendNumbered(const std::string& mailbox, const std::string& prefix, int count)
{
    for (int i = 1; i <= count; ++i) {
        TestMail mail;
        mail.subject = prefix + " " + std::to_string(i);
        // One minute apart, in delivery order.
        mail.date = "Mon, 05 Feb 2024 " + std::to_string(10 + i / 60) + ":" + (i % 60 < 10 ? "0" : "")
                    + std::to_string(i % 60) + ":00 +0000";
        mail.seen = true;
        Append(mailbox, mail);
    }
}

uint32_t ServerSide::Count(const std::string& mailbox)
{
    uint32_t count = 0;
    std::string error;
    if (!Select(session_, mailbox, count, error))
        ADD_FAILURE() << "SELECT " << mailbox << ": " << error;
    return count;
}

std::vector<uint32_t> ServerSide::Search(const std::string& mailbox, const std::string& criteria)
{
    std::vector<uint32_t> uids;
    uint32_t count = 0;
    std::string error;
    if (!SelectAndSearch(session_, mailbox, criteria, count, uids, error))
        ADD_FAILURE() << "SEARCH " << mailbox << ": " << error;
    std::sort(uids.begin(), uids.end());
    return uids;
}

Engine::Engine(const std::filesystem::path& folder, const std::vector<int>& users,
               const std::function<void(AppSettings&)>& tweak, bool watchers)
    : owned_(std::make_unique<PosternApp>(folder / "config.json", [watchers] {
          EngineOptions options;
          options.startWatchers = watchers;
          return options;
      }())),
      app(*owned_)
{
    AppSettings settings;
    for (const int user : users)
        settings.accounts.push_back(FixtureAccount(user));
    if (tweak)
        tweak(settings);
    std::string error;
    if (!SaveSettingsTo(folder / "config.json", settings, error)) {
        ADD_FAILURE() << error;
        return;
    }
    if (!app.LoadSettings())
        return;
    if (!app.StartWithoutWindow(port, error)) {
        ADD_FAILURE() << error;
        return;
    }
    started_ = true;
}

Engine::~Engine()
{
    owned_->Shutdown();
}

bool Engine::PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds limit)
{
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            return false;
        if (std::unique_ptr<ResultRecord> record = port.Next(left))
            Handle(std::move(record));
    }
    return true;
}

void Engine::Drain(std::chrono::milliseconds quiet)
{
    for (int i = 0; i < 100000; ++i) {
        std::unique_ptr<ResultRecord> record = port.Next(quiet);
        if (!record)
            return;
        Handle(std::move(record));
    }
}

void Engine::Handle(std::unique_ptr<ResultRecord> record)
{
    handled.push_back(record->kind);
    app.HandleRecord(std::move(record));
}

void Engine::AfterQueuedJobs()
{
    auto gate = std::make_shared<Gate>();
    app.Lanes().Normal([gate](MailWorker&) { gate->Open(); });
    EXPECT_TRUE(gate->Wait());
}

int32_t Engine::RailIndex(int32_t account, const std::string& path) const
{
    const auto& items = app.RailItems();
    for (size_t i = 0; i < items.size(); ++i)
        if (items[i].account == account && items[i].path == path && !items[i].unified && !items[i].lockedView)
            return static_cast<int32_t>(i);
    return -1;
}

int32_t Engine::LockedViewIndex() const
{
    const auto& items = app.RailItems();
    for (size_t i = 0; i < items.size(); ++i)
        if (items[i].lockedView)
            return static_cast<int32_t>(i);
    return -1;
}

std::vector<std::u16string> Engine::ListSubjects() const
{
    std::vector<std::u16string> subjects;
    for (const MessageRow& row : app.List().viewRows)
        subjects.push_back(row.subjectText);
    return subjects;
}

int32_t Engine::RowWithSubject(const std::u16string& subject) const
{
    const auto& rows = app.List().viewRows;
    for (size_t i = 0; i < rows.size(); ++i)
        if (rows[i].subjectText == subject)
            return static_cast<int32_t>(i);
    return -1;
}

bool Engine::OpenFolder(int32_t account, const std::string& path)
{
    if (!PumpUntil([&] { return RailIndex(account, path) >= 0; }))
        return false;
    app.SelectFolder(RailIndex(account, path), false);
    return PumpUntil([&] { return !app.List().loading; });
}

void EngineFixture::SetUp()
{
    POSTERN_REQUIRE_FIXTURE();
    for (ServerSide* side : {&alice, &bob}) {
        ASSERT_TRUE(side->Ok()) << side->Error();
        side->Reset();
    }
}

} // namespace postern::test
