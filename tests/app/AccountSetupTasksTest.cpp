// The account dialog's network work off the UI thread: detection against
// the fixture's autoconfig peer and DNS server, the interactive sign-in
// against its OAuth server, and what happens when the dialog closes first.
#include "app/AccountSetupTasks.h"

#include "support/AutodetectFixture.h"
#include "support/FixtureEnv.h"
#include "support/OAuthPeer.h"
#include "support/QueuedUiPort.h"
#include "support/Waiting.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <string>
#include <vector>

namespace postern {
namespace {

// Waits until every task has ended; then nothing more can arrive.
void Settle(AccountSetupTasks& tasks)
{
    ASSERT_TRUE(test::PollUntil([&] { return tasks.Running() == 0; }));
}

TEST(AccountSetupTasks, DetectionPostsItsResultToTheDialogThatAsked)
{
    POSTERN_REQUIRE_FIXTURE();
    if (test::FixturePort("POSTERN_AUTOCONFIG_PORT") == 0)
        GTEST_SKIP() << "POSTERN_AUTOCONFIG_PORT not set";
    struct Case {
        uint64_t dialog;
        const char* address;
        bool ok;
        const char* found; // source, or the error
    };
    std::vector<Case> cases = {
        {1, "bob@ispdb.test", true, "ISPDB"},
        {2, "nobody-at-all", false, "enter a full email address first"},
    };
    if (test::DnsPeerUsable())
        cases.push_back({3, "carol@hosted.test", true, "DNS SRV records"});

    test::QueuedUiPort port;
    AccountSetupTasks tasks(port, test::FixtureAutodetectSeams());
    for (const Case& c : cases)
        tasks.StartDetection(c.dialog, c.address);
    Settle(tasks);
    auto results = port.TakeDialogResults();
    ASSERT_EQ(results.size(), cases.size());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.address);
        const auto it = std::find_if(results.begin(), results.end(), [&](const auto& r) { return r.dialog == c.dialog; });
        ASSERT_NE(it, results.end());
        const DetectionResultRecord* record = RecordAs<DetectionResultRecord>(*it->record);
        ASSERT_NE(record, nullptr);
        EXPECT_EQ(record->ok, c.ok) << record->error;
        EXPECT_EQ(c.ok ? record->settings.source : record->error, c.found);
        if (c.ok) {
            EXPECT_EQ(record->settings.imapHost, "localhost");
        }
    }
}

TEST(AccountSetupTasks, SignInPostsTheTokensFromTheOAuthServer)
{
    POSTERN_REQUIRE_OAUTH_PEER();
    test::TestBrowser browser;
    SignInOptions options;
    options.endpoints = test::OAuthPeerEndpoints();
    options.openBrowser = browser.Opener();
    options.browserWaitMs = 20000;
    test::QueuedUiPort port;
    AccountSetupTasks tasks(port, {}, options);
    tasks.StartSignIn(7, "client-1", "secret");
    Settle(tasks);
    browser.Join();
    ASSERT_EQ(browser.problem, "");
    auto results = port.TakeDialogResults();
    ASSERT_EQ(results.size(), 1u);
    EXPECT_EQ(results[0].dialog, 7u);
    const SignInResultRecord* record = RecordAs<SignInResultRecord>(*results[0].record);
    ASSERT_NE(record, nullptr);
    EXPECT_TRUE(record->ok) << record->error;
    EXPECT_EQ(record->tokens.email, "alice@example.test");
    EXPECT_EQ(record->tokens.refreshToken.rfind("rt-", 0), 0u);
}

TEST(AccountSetupTasks, ClosedDialogsGetNothingAndCancelledSignInsStopListening)
{
    std::atomic<uint32_t> loopback{0};
    SignInOptions options;
    options.openBrowser = [&loopback](const std::string& url, std::string&) {
        loopback = test::TestBrowser::LoopbackPort(url); // and never come back
        return true;
    };
    options.browserWaitMs = 600000; // only cancelling ends this in time
    AutodetectSeams tableOnly;
    tableOnly.networkAllowed = false;
    test::QueuedUiPort port;
    {
        AccountSetupTasks tasks(port, tableOnly, options);
        // A result that arrives after its dialog closed is freed by the port.
        port.CloseComposeWindow(4);
        tasks.StartDetection(4, "someone@gmail.com");
        // A sign-in whose dialog closes stops waiting for the browser.
        tasks.StartSignIn(5, "client", "");
        ASSERT_TRUE(test::PollUntil([&] { return loopback.load() != 0; }));
        tasks.Cancel(5);
        Settle(tasks);
        test::TestBrowser browser;
        std::string ignored;
        EXPECT_FALSE(browser.Visit(loopback.load(), "GET /?state=x&code=y HTTP/1.1\r\n\r\n", ignored));
        // One the dialog never cancels is stopped when the tasks end.
        tasks.StartSignIn(6, "client", "");
    }
    EXPECT_TRUE(port.TakeDialogResults().empty());
}

} // namespace
} // namespace postern
