// The search across every folder of every account, and the send job, against
// the fixture's Dovecot and Postfix.
#include "EngineHarness.h"

#include "mail/ImapMailbox.h"
#include "platform/Charset.h"
#include "support/Waiting.h"
#include "support/FixtureEnv.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

namespace postern::test {
namespace {

class EngineSearchSend : public EngineFixture {
protected:
    // Alice gets 25 folders besides the inbox and the five special ones;
    // five of them and Bob's inbox hold a needle.
    void MakeHaystack()
    {
        for (int i = 1; i <= 25; ++i) {
            const std::string name = "Hay/F" + std::string(i < 10 ? "0" : "") + std::to_string(i);
            alice.Create(name);
            if (i % 5 == 0)
                alice.Append(name, {.subject = "needle " + std::to_string(i), .seen = true});
            alice.Append(name, {.subject = "straw", .seen = true});
        }
        bob.Append("INBOX", {.subject = "needle for bob", .seen = true});
    }

    // The haystack, and an engine on both accounts whose rails are complete
    // and whose start-up jobs are done; null (with a failure) otherwise.
    std::unique_ptr<Engine> StartOnHaystack()
    {
        MakeHaystack();
        auto engine = std::make_unique<Engine>(folder.Path(), std::vector<int>{1, 2});
        const bool ready = engine->Started() && engine->PumpUntil([&] {
            return engine->RailIndex(1, "INBOX") >= 0 && engine->RailIndex(0, "Hay/F25") >= 0;
        });
        EXPECT_TRUE(ready) << "the engine did not start on both accounts' folders";
        if (!ready)
            return nullptr;
        engine->AfterQueuedJobs();
        engine->Drain();
        return engine;
    }

    [[nodiscard]] static size_t Count(const Engine& engine, RecordKind kind)
    {
        return static_cast<size_t>(std::count(engine.handled.begin(), engine.handled.end(), kind));
    }
};

TEST_F(EngineSearchSend, ASearchStreamsHitsFromEveryAccountAndFolder)
{
    const std::unique_ptr<Engine> started = StartOnHaystack();
    ASSERT_TRUE(started);
    Engine& engine = *started;
    PosternApp& app = engine.app;

    app.FilterChanged(u"#subject:needle");
    app.StartGlobalSearch();
    EXPECT_EQ(app.StatusText(), u"Searching all folders\u2026");
    ASSERT_TRUE(engine.PumpUntil([&] { return app.StatusText() == u"6 results in all folders"; })) << Utf16ToUtf8(app.StatusText());
    EXPECT_GE(Count(engine, RecordKind::SearchBatch), 7u); // one per folder with hits, and the last
    std::vector<std::u16string> labels;
    for (const MessageRow& row : app.List().viewRows)
        labels.push_back(row.folderLabel);
    std::sort(labels.begin(), labels.end());
    EXPECT_EQ(labels, (std::vector<std::u16string>{u"Hay \u203A F05", u"Hay \u203A F10", u"Hay \u203A F15",
                                                   u"Hay \u203A F20", u"Hay \u203A F25", u"Inbox"}));

    // The periodic refresh leaves the hits the user is looking at.
    app.RefreshCurrent(true);
    engine.AfterQueuedJobs();
    engine.Drain();
    EXPECT_TRUE(app.List().searchResults);
    EXPECT_EQ(app.List().viewRows.size(), 6u);
}

TEST_F(EngineSearchSend, TypingCancelsASearchAndAClickIsServedBeforeItGoesOn)
{
    const std::unique_ptr<Engine> started = StartOnHaystack();
    ASSERT_TRUE(started);
    Engine& engine = *started;
    PosternApp& app = engine.app;

    // A folder click while the search runs: its headers come before the
    // search's last batch.
    app.FilterChanged(u"needle");
    app.StartGlobalSearch();
    app.SelectFolder(engine.RailIndex(0, "Hay/F03"), false);
    engine.handled.clear();
    ASSERT_TRUE(engine.PumpUntil([&] { return app.StatusText() == u"6 results in all folders"; }));
    const auto headers = std::find(engine.handled.begin(), engine.handled.end(), RecordKind::Headers);
    ASSERT_NE(headers, engine.handled.end());
    EXPECT_LT(headers - engine.handled.begin(), static_cast<std::ptrdiff_t>(engine.handled.size()) - 1);

    // Typing drops the running search: its later batches never show.
    app.StartGlobalSearch();
    app.FilterChanged(u"straw");
    engine.AfterQueuedJobs();
    engine.Drain();
    EXPECT_FALSE(app.List().searchResults);
    EXPECT_EQ(engine.ListSubjects(), std::vector<std::u16string>{u"straw"}); // F03's one straw, filtered locally
}

TEST_F(EngineSearchSend, SendingSubmitsFilesACopyAndFlagsTheAnsweredMessageInItsFolder)
{
    alice.Create("Threads");
    alice.Append("Threads", {.subject = "question", .messageId = "<question@example.test>", .seen = true});
    alice.Append("INBOX", {.subject = "decoy", .seen = true});
    const uint32_t answered = alice.Search("Threads", "ALL").at(0);

    Engine engine(folder.Path(), {1});
    ASSERT_TRUE(engine.Started());
    PosternApp& app = engine.app;
    ASSERT_TRUE(engine.PumpUntil([&] { return app.List().viewRows.size() == 1; })); // the inbox is open

    // A line break in To would send to another address than the To line
    // shows: refused before anything is built or connected.
    auto refused = std::make_unique<SendRequestRecord>();
    refused->composeWindow = 76;
    refused->request.message.to = FixtureValue("POSTERN_EMAIL1") + "\r\n<" + FixtureValue("POSTERN_EMAIL2") + ">";
    refused->request.message.subject = "refused";
    app.HandleRecord(std::move(refused));
    ASSERT_TRUE(engine.PumpUntil([&] { return engine.port.SendAnswers().size() == 1; }));
    EXPECT_FALSE(engine.port.SendAnswers()[0].ok);
    EXPECT_EQ(engine.port.SendAnswers()[0].error, u"A line break is not allowed in To.");

    auto request = std::make_unique<SendRequestRecord>();
    request->composeWindow = 77;
    SendRequest& send = request->request;
    send.accountIndex = 0;
    send.message.to = FixtureValue("POSTERN_EMAIL1");
    send.message.subject = "Re: question";
    send.message.textBody = "The answer.\r\n";
    send.message.inReplyTo = "<question@example.test>";
    send.message.references = "<question@example.test>";
    send.message.attachments.push_back({"notes.txt", "", "attached text"});
    send.answeredUid = answered;
    send.answeredMailbox = "Threads";
    app.HandleRecord(std::move(request));
    ASSERT_TRUE(engine.PumpUntil([&] { return app.StatusText() == u"Message sent."; })) << Utf16ToUtf8(app.StatusText());
    const auto answers = engine.port.SendAnswers();
    ASSERT_EQ(answers.size(), 2u);
    EXPECT_EQ(answers[1].composeWindow, 77u);
    EXPECT_TRUE(answers[1].ok) << Utf16ToUtf8(answers[1].error);

    EXPECT_EQ(alice.Search("Sent", "SEEN SUBJECT \"Re: question\"").size(), 1u);
    EXPECT_EQ(alice.Search("Threads", "ANSWERED"), std::vector<uint32_t>{answered});
    EXPECT_TRUE(alice.Search("INBOX", "ANSWERED").empty());

    // The message went through the MTA into the inbox.
    EXPECT_TRUE(test::PollUntil([&] { return !alice.Search("INBOX", "SUBJECT \"Re: question\"").empty(); },
                                test::kWaitLimit, std::chrono::milliseconds(100)));
    // The refused message, queued before it, went nowhere.
    EXPECT_TRUE(alice.Search("INBOX", "SUBJECT refused").empty());
    EXPECT_TRUE(alice.Search("Sent", "SUBJECT refused").empty());
    EXPECT_TRUE(bob.Search("INBOX", "SUBJECT refused").empty());

    // An answer for a compose window that has closed is dropped unread.
    engine.port.CloseComposeWindow(78);
    auto late = std::make_unique<SendRequestRecord>();
    late->composeWindow = 78;
    late->request.message.to = "nobody@nowhere.invalid";
    late->request.message.subject = "never";
    app.HandleRecord(std::move(late));
    engine.AfterQueuedJobs();
    EXPECT_EQ(engine.port.SendAnswers().size(), 2u);
}

} // namespace
} // namespace postern::test
