// The engine as the window runs it, minus the window: a settings file with
// the fixture's accounts, a PosternApp started the way the shell starts it,
// and a test port whose queue the test drains in place of a message loop.
// Beside it, a plain IMAP session per fixture user to set the servers up and
// to look at what the engine did to them.
#pragma once

#include "support/QueuedUiPort.h"
#include "support/TempFolder.h"

#include "app/PosternApp.h"
#include "mail/ImapSession.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

namespace postern::test {

// Fixture users: 1 alice, 2 bob.
[[nodiscard]] AccountConfig FixtureAccount(int user);

// A message with the given headers; `date` in RFC 5322 form.
struct TestMail {
    std::string subject = {};
    std::string date = "Mon, 05 Feb 2024 10:00:00 +0000";
    std::string from = "Test Sender <sender@example.test>";
    std::string messageId = {}; // empty: none
    std::string inReplyTo = {};
    std::string references = {};
    std::string body = "Hello.\r\n";
    bool seen = false;
};
[[nodiscard]] std::string MailText(const TestMail& mail);

// An IMAP session signed in as a fixture user, for arranging and checking.
class ServerSide {
public:
    explicit ServerSide(int user);
    [[nodiscard]] bool Ok() const { return error_.empty(); }
    [[nodiscard]] const std::string& Error() const { return error_; }

    // Empties the inbox and the special folders and deletes every other
    // folder, so that a test starts from a known account.
    void Reset();
    void Create(const std::string& mailbox);
    void Append(const std::string& mailbox, const TestMail& mail);
    // Appends many messages in one go (subjects "<prefix> 1" ... "<prefix> n").
    void AppendNumbered(const std::string& mailbox, const std::string& prefix, int count);
    [[nodiscard]] uint32_t Count(const std::string& mailbox);
    [[nodiscard]] std::vector<uint32_t> Search(const std::string& mailbox, const std::string& criteria);
    [[nodiscard]] ImapSession& Session() { return session_; }

private:
    ImapSession session_;
    std::string error_;
};

class Engine {
public:
    // Writes config.json with these accounts (plus `tweak`'s changes) into
    // `folder`; the lock and contact files live there too.
    Engine(const std::filesystem::path& folder, const std::vector<int>& users,
           const std::function<void(AppSettings&)>& tweak = {}, bool watchers = false);
    ~Engine();

    [[nodiscard]] bool Started() const { return started_; }
    // Handles records until `done` holds; false when the limit passed first.
    [[nodiscard]] bool PumpUntil(const std::function<bool()>& done,
                                 std::chrono::milliseconds limit = std::chrono::seconds(20));
    // Handles whatever arrives within `quiet` of the previous record.
    void Drain(std::chrono::milliseconds quiet = std::chrono::milliseconds(300));
    // Runs `probe` on the worker after every job queued so far and waits
    // for it.
    void AfterQueuedJobs();

    // The rail index of an account's folder (or its header with path ""), -1 if absent.
    [[nodiscard]] int32_t RailIndex(int32_t account, const std::string& path) const;
    // The rail index of the "Locked" view, -1 while there is none.
    [[nodiscard]] int32_t LockedViewIndex() const;
    [[nodiscard]] std::vector<std::u16string> ListSubjects() const;
    [[nodiscard]] int32_t RowWithSubject(const std::u16string& subject) const;
    // Opens a folder by a click and waits until its headers are shown.
    [[nodiscard]] bool OpenFolder(int32_t account, const std::string& path);

    QueuedUiPort port; // outlives the app, whose worker posts to it
    // The kinds of the records handled so far, in order.
    std::vector<RecordKind> handled;

private:
    void Handle(std::unique_ptr<ResultRecord> record);

    std::unique_ptr<PosternApp> owned_;

public:
    PosternApp& app;

private:
    bool started_ = false;
};

// Tests against the fixture's servers: Alice's and Bob's accounts emptied
// first, and a data folder of their own.
class EngineFixture : public ::testing::Test {
protected:
    void SetUp() override;

    TempFolder folder;
    ServerSide alice{1};
    ServerSide bob{2};
};

} // namespace postern::test
