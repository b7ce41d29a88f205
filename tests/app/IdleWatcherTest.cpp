// The new-mail watcher against the fixture's real Dovecot (alice's inbox):
// notifications after connecting and per IDLE pass with new mail, a prompt
// Stop while blocked in IDLE, reconnection after the connection is cut or
// the server kicks the session, back-off on refused sign-ins; and against
// scripted servers for what Dovecot never does (no IDLE capability).
#include "app/IdleWatcher.h"

#include "support/Waiting.h"
#include "platform/ByteStream.h"
#include "mail/ImapMailbox.h"
#include "mail/ImapSession.h"
#include "platform/TlsConnection.h"
#include "platform/TcpListener.h"
#include "support/DovecotFixture.h"
#include "support/FixtureEnv.h"
#include "support/ScriptedStream.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace postern {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using test::FixturePort;
using test::FixtureValue;
using test::PollUntil;
using test::C;
using test::S;
using test::ScriptedStream;
using test::ScriptStep;

constexpr int32_t kAccount = 4;

long long MillisecondsSince(Clock::time_point start)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

// Records the watcher's calls, which arrive on its thread.
class NotifyLog {
public:
    IdleWatcher::Notify Callback()
    {
        return [this](int32_t account) {
            const std::lock_guard<std::mutex> lock(mutex_);
            calls_.push_back(account);
            times_.push_back(Clock::now());
        };
    }
    [[nodiscard]] std::size_t Count() const
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        return calls_.size();
    }
    [[nodiscard]] std::vector<int32_t> Calls() const
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        return calls_;
    }
    [[nodiscard]] Clock::time_point Time(std::size_t index) const
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        return times_.at(index);
    }
    [[nodiscard]] bool WaitFor(std::size_t count, std::chrono::milliseconds limit = 20s) const
    {
        return PollUntil([&] { return Count() >= count; }, limit);
    }

private:
    mutable std::mutex mutex_;
    std::vector<int32_t> calls_;
    std::vector<Clock::time_point> times_;
};

WatchedAccount Alice(uint32_t port = 0)
{
    const ServerLogin login = test::FixtureLogin(1);
    WatchedAccount account;
    account.accountIndex = kAccount;
    account.host = login.host;
    account.port = port ? port : login.port;
    account.user = login.user;
    account.password = login.password;
    return account;
}

// Test messages carry the process's run prefix in their subject, so runs
// side by side (natively and under Wine) only ever touch their own.
std::string Message(int number)
{
    return test::TestMessage(test::RunPrefix() + " " + std::to_string(number));
}

// Puts `count` messages into alice's inbox with one APPEND (MULTIAPPEND,
// RFC 3502, with non-synchronising literals): they arrive in one
// transaction, as a burst of new mail does. "" or the error.
std::string AppendToInbox(int count)
{
    ImapSession session;
    std::string error;
    if (!session.Open(test::FixtureLogin(1), error))
        return "open: " + error;
    const std::string tag = session.IssueTag();
    std::string command = tag + " APPEND INBOX";
    for (int i = 0; i < count; ++i) {
        const std::string message = Message(i);
        command += " {" + std::to_string(message.size()) + "+}\r\n" + message;
    }
    command += "\r\n";
    if (!session.SendRaw(command, error))
        return "send: " + error;
    ImapResponse response;
    for (;;) {
        if (!session.ReadResponse(response, error))
            return "append: " + error;
        if (response.line.rfind(tag + " ", 0) == 0)
            break;
    }
    session.Logout();
    if (response.line.rfind(tag + " OK", 0) != 0)
        return "append: " + response.line;
    return {};
}

// Removes this run's test messages from alice's inbox.
void RemoveTestMail()
{
    ImapSession session;
    std::string error;
    uint32_t count = 0;
    if (!session.Open(test::FixtureLogin(1), error) || !Select(session, "INBOX", count, error))
        return;
    std::vector<ImapResponse> untagged;
    if (session.Command("SEARCH SUBJECT " + ImapSession::Quote(test::RunPrefix()), untagged, error)) {
        std::string numbers;
        for (const ImapResponse& response : untagged) {
            if (response.line.rfind("* SEARCH ", 0) == 0)
                numbers = response.line.substr(9);
        }
        for (char& c : numbers)
            c = c == ' ' ? ',' : c;
        if (!numbers.empty()) {
            std::vector<ImapResponse> ignored;
            (void)session.Command("STORE " + numbers + " +FLAGS.SILENT (\\Deleted)", ignored, error);
            (void)session.Command("EXPUNGE", ignored, error);
        }
    }
    session.Logout();
}

class IdleWatcherFixture : public testing::Test {
protected:
    void TearDown() override
    {
        if (test::FixtureRunning())
            RemoveTestMail();
    }
};

// A plain TCP relay on loopback between the watcher and Dovecot (TLS passes
// through it end to end), so a test can cut the connection the way a
// network failure or a server restart does, and count connection attempts.
class CuttableRelay {
public:
    explicit CuttableRelay(uint32_t upstreamPort) : upstreamPort_(upstreamPort)
    {
        std::string error;
        listening_ = listener_.Listen(0, error);
        if (listening_)
            acceptor_ = std::thread([this] { AcceptLoop(); });
    }
    ~CuttableRelay()
    {
        stop_ = true;
        if (acceptor_.joinable())
            acceptor_.join();
        Cut();
        for (auto& link : links_) {
            for (std::thread& pump : link->pumps)
                pump.join();
        }
    }
    CuttableRelay(const CuttableRelay&) = delete;
    CuttableRelay& operator=(const CuttableRelay&) = delete;

    [[nodiscard]] bool Listening() const { return listening_; }
    [[nodiscard]] uint16_t Port() const { return listener_.Port(); }
    [[nodiscard]] int Accepted() const { return accepted_; }

    // Ends every relayed connection (both sides see the stream close).
    void Cut()
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        for (auto& link : links_)
            link->cut = true;
    }

private:
    struct Link {
        std::unique_ptr<ByteStream> client;
        TlsConnection server; // plain TCP: no handshake here
        std::atomic<bool> cut{false};
        std::atomic<int> pumpsLeft{2};
        std::vector<std::thread> pumps;
    };

    static constexpr uint32_t kSliceMs = 20;

    void AcceptLoop()
    {
        while (!stop_) {
            std::unique_ptr<ByteStream> client;
            std::string error;
            if (listener_.Accept(kSliceMs * 5, kSliceMs, client, error) != 1)
                continue;
            ++accepted_;
            auto link = std::make_unique<Link>();
            link->client = std::move(client);
            if (!link->server.Connect("127.0.0.1", upstreamPort_, 5000, error))
                continue; // the client sees its connection close
            link->server.SetReceiveTimeout(kSliceMs);
            Link* raw = link.get();
            raw->pumps.emplace_back([this, raw] { Pump(*raw, *raw->client, raw->server); });
            raw->pumps.emplace_back([this, raw] { Pump(*raw, raw->server, *raw->client); });
            const std::lock_guard<std::mutex> lock(mutex_);
            links_.push_back(std::move(link));
        }
    }

    // Copies from one side to the other until either side ends or the link
    // is cut; the last pump out closes both sockets.
    void Pump(Link& link, ByteStream& from, ByteStream& to)
    {
        char buffer[16384];
        while (!link.cut && !stop_) {
            std::string error;
            const int got = from.Receive(buffer, static_cast<int>(sizeof buffer), error);
            if (got == -2)
                continue;
            if (got <= 0 || !to.Send(std::string_view(buffer, static_cast<std::size_t>(got)), error))
                break;
        }
        link.cut = true;
        if (--link.pumpsLeft == 0) {
            link.server.Close();
            link.client.reset();
        }
    }

    uint32_t upstreamPort_;
    TcpListener listener_;
    bool listening_ = false;
    std::atomic<bool> stop_{false};
    std::atomic<int> accepted_{0};
    std::thread acceptor_;
    std::mutex mutex_;
    std::list<std::unique_ptr<Link>> links_;
};

TEST_F(IdleWatcherFixture, ReportsEachConnectionAndEachIdlePassWithNewMail)
{
    POSTERN_REQUIRE_FIXTURE();
    NotifyLog log;
    IdleWatcher watcher;
    watcher.Start(Alice(), log.Callback());
    ASSERT_TRUE(log.WaitFor(1)) << "no notification after connecting";
    EXPECT_EQ(log.Calls().front(), kAccount);
    EXPECT_TRUE(watcher.Running());

    // The watcher reports just before it sends IDLE; mail that lands before
    // IDLE begins is announced when it does, so no pause is needed here.
    ASSERT_EQ(AppendToInbox(1), "");
    ASSERT_TRUE(log.WaitFor(2, 15s)) << "new mail while idling was not reported";

    // Ten messages at once: one pass notices them, one notification. The
    // exact count depends on timing, but never one per message: a report
    // per EXISTS would follow within milliseconds.
    ASSERT_EQ(AppendToInbox(10), "");
    ASSERT_TRUE(log.WaitFor(3, 15s)) << "a burst of new mail was not reported";
    EXPECT_FALSE(log.WaitFor(5, 300ms)) << "one notification per message";

    watcher.Stop();
    EXPECT_FALSE(watcher.Running());
    for (int32_t account : log.Calls())
        EXPECT_EQ(account, kAccount);
}

TEST_F(IdleWatcherFixture, StopReturnsPromptlyWhileBlockedInIdle)
{
    POSTERN_REQUIRE_FIXTURE();
    NotifyLog log;
    IdleWatcher watcher; // the product's timing: each poll waits up to 20 s
    watcher.Start(Alice(), log.Callback());
    // The report comes just before IDLE is sent: Stop now meets the watcher
    // waiting for the server's go-ahead or already blocked in the poll, and
    // either read must be cut short.
    ASSERT_TRUE(log.WaitFor(1));

    const auto start = Clock::now();
    watcher.Stop();
    // Aborting takes milliseconds; waiting the poll out would take up to 20 s.
    EXPECT_LT(MillisecondsSince(start), 5000);
    EXPECT_FALSE(watcher.Running());
    // Stop joined the thread: nothing can be reported any more.
    EXPECT_EQ(log.Count(), 1u);
    watcher.Stop();
}

// Stop at every stage of connecting: before the socket exists, during the
// handshake, the sign-in, SELECT. Each must end promptly (the abort is
// repeated until the thread ends) and, under TSan, without a race.
TEST_F(IdleWatcherFixture, StopAtAnyMomentOfConnectingIsPrompt)
{
    POSTERN_REQUIRE_FIXTURE();
    IdleWatcher watcher;
    NotifyLog log;
    for (int round = 0; round < 20; ++round) {
        watcher.Start(Alice(), log.Callback());
        std::this_thread::sleep_for(std::chrono::milliseconds(round * 3));
        const auto stop = Clock::now();
        watcher.Stop();
        EXPECT_LT(MillisecondsSince(stop), 5000) << "round " << round;
        EXPECT_FALSE(watcher.Running());
    }
}

TEST(IdleWatcher, StopBeforeStartAndTwiceIsHarmless)
{
    IdleWatcher watcher;
    EXPECT_FALSE(watcher.Running());
    watcher.Stop();
    watcher.Stop();
    EXPECT_FALSE(watcher.Running());
}

TEST_F(IdleWatcherFixture, ReconnectsAfterTheConnectionIsCut)
{
    POSTERN_REQUIRE_FIXTURE();
    CuttableRelay relay(FixturePort("POSTERN_IMAP_PORT"));
    ASSERT_TRUE(relay.Listening());
    NotifyLog log;
    IdleWatcher watcher;
    watcher.Start(Alice(relay.Port()), log.Callback());
    ASSERT_TRUE(log.WaitFor(1));

    const auto cut = Clock::now();
    relay.Cut();
    ASSERT_TRUE(log.WaitFor(2, 15s)) << "no notification after reconnecting";
    EXPECT_GE(relay.Accepted(), 2);
    // The watcher pauses 1.5 s before reconnecting, so a server that drops
    // every connection is not hammered.
    EXPECT_GE(std::chrono::duration_cast<std::chrono::milliseconds>(log.Time(1) - cut).count(), 1400);

    // And the new connection idles: new mail is reported again.
    ASSERT_EQ(AppendToInbox(1), "");
    EXPECT_TRUE(log.WaitFor(3, 15s));
    watcher.Stop();
}

#ifndef _WIN32
// The server itself ends the session ("* BYE", then close). Native only:
// the Windows test executable cannot start doveadm.
TEST_F(IdleWatcherFixture, ReconnectsAfterTheServerKicksTheSession)
{
    POSTERN_REQUIRE_FIXTURE();
    const std::string config = FixtureValue("POSTERN_DOVECOT_CONF");
    ASSERT_FALSE(config.empty());
    NotifyLog log;
    IdleWatcher watcher;
    watcher.Start(Alice(), log.Callback());
    ASSERT_TRUE(log.WaitFor(1));

    const std::string kick = "doveadm -c '" + config + "' kick " + FixtureValue("POSTERN_USER1") + " >/dev/null 2>&1";
    ASSERT_EQ(std::system(kick.c_str()), 0) << kick;
    ASSERT_TRUE(log.WaitFor(2, 15s)) << "no notification after the server dropped the session";
    watcher.Stop();
}
#endif

TEST_F(IdleWatcherFixture, RefusedSignInBacksOffWithoutNotifying)
{
    POSTERN_REQUIRE_FIXTURE();
    CuttableRelay relay(FixturePort("POSTERN_IMAP_PORT"));
    ASSERT_TRUE(relay.Listening());
    WatchedAccount account = Alice(relay.Port());
    account.password = "wrong";
    NotifyLog log;
    IdleWatcher watcher; // the product's back-off: 2 s, then 4 s, ...
    const auto start = Clock::now();
    watcher.Start(account, log.Callback());
    ASSERT_TRUE(PollUntil([&] { return relay.Accepted() >= 2; }, 10s)) << "no second attempt";
    EXPECT_GE(MillisecondsSince(start), 1900) << "retried before the 2 s back-off";
    EXPECT_TRUE(watcher.Running());
    EXPECT_EQ(log.Count(), 0u);

    const auto stop = Clock::now();
    watcher.Stop();
    EXPECT_LT(MillisecondsSince(stop), 5000);
    EXPECT_LE(relay.Accepted(), 3);
    EXPECT_EQ(log.Count(), 0u);
}

// A Google account whose token endpoint (and IMAP server) are on loopback.
WatchedAccount GoogleAccount(uint16_t imapPort, uint16_t tokenPort)
{
    WatchedAccount account;
    account.accountIndex = kAccount;
    account.host = "localhost";
    account.port = imapPort;
    account.user = "alice";
    account.oauth = true;
    account.clientId = "client";
    account.refreshToken = "refresh";
    account.endpoints.tokenHost = "localhost";
    account.endpoints.tokenPort = tokenPort;
    return account;
}

TEST(IdleWatcher, FailedTokenRefreshBacksOffWithoutNotifying)
{
    // The token endpoint accepts and hangs up at once (the relay's upstream
    // is a loopback port nobody listens on), and counts the attempts.
    uint16_t closedPort = 0;
    {
        TcpListener probe;
        std::string error;
        ASSERT_TRUE(probe.Listen(0, error)) << error;
        closedPort = probe.Port();
    }
    CuttableRelay tokenServer(closedPort);
    ASSERT_TRUE(tokenServer.Listening());
    const WatchedAccount account = GoogleAccount(closedPort, tokenServer.Port());
    IdleWatcherOptions options;
    options.firstBackoff = 50ms;
    options.maxBackoff = 200ms;
    NotifyLog log;
    IdleWatcher watcher(options);
    watcher.Start(account, log.Callback());
    ASSERT_TRUE(PollUntil([&] { return tokenServer.Accepted() >= 3; }, 10s)) << "the refresh was not retried";
    EXPECT_TRUE(watcher.Running());
    EXPECT_EQ(log.Count(), 0u);
    const auto stop = Clock::now();
    watcher.Stop();
    EXPECT_LT(MillisecondsSince(stop), 5000);
}

TEST(IdleWatcher, StopEndsATokenRefreshThatNeverAnswers)
{
    // The token endpoint takes the connection and then says nothing: the
    // refresh would wait out its time-outs (8 s a phase), and editing or
    // removing the account would wait with it.
    TcpListener tokenServer;
    std::string error;
    ASSERT_TRUE(tokenServer.Listen(0, error)) << error;
    const WatchedAccount account = GoogleAccount(tokenServer.Port(), tokenServer.Port());
    NotifyLog log;
    IdleWatcher watcher;
    watcher.Start(account, log.Callback());
    std::unique_ptr<ByteStream> refresh;
    ASSERT_EQ(tokenServer.Accept(10000, 30000, refresh, error), 1) << "no refresh came: " << error;
    const auto stop = Clock::now();
    watcher.Stop();
    EXPECT_LT(MillisecondsSince(stop), 4000) << "Stop waited for the token request's time-out";
    EXPECT_EQ(log.Count(), 0u);
}

const std::vector<ScriptStep> kSignIn = {
    S("* OK [CAPABILITY IMAP4rev1 AUTH=PLAIN] ready\r\n"),
    C("C0001 LOGIN \"alice\" \"secret\"\r\n"),
    S("C0001 OK signed in\r\n"),
};

WatchedAccount ScriptedAccount()
{
    WatchedAccount account;
    account.accountIndex = kAccount;
    account.host = "scripted.invalid";
    account.port = 993;
    account.user = "alice";
    account.password = "secret";
    return account;
}

// Options that read the script instead of connecting, with waits short
// enough for a test.
IdleWatcherOptions ScriptedOptions(ScriptedStream& server)
{
    IdleWatcherOptions options;
    options.stream = &server;
    options.firstBackoff = 20ms;
    options.maxBackoff = 40ms;
    options.reconnectPause = 20ms;
    return options;
}

TEST(IdleWatcher, ServerWithoutIdleEndsTheThread)
{
    std::vector<ScriptStep> steps = kSignIn;
    // "IDLEX" and "X-IDLE" contain the letters, not the capability.
    steps.insert(steps.end(), {C("C0002 CAPABILITY\r\n"), S("* CAPABILITY IMAP4rev1 IDLEX X-IDLE MOVE\r\nC0002 OK done\r\n"),
                               C("C0003 LOGOUT\r\n"), S("* BYE bye\r\nC0003 OK done\r\n")});
    ScriptedStream server(steps);
    NotifyLog log;
    IdleWatcher watcher(ScriptedOptions(server));
    watcher.Start(ScriptedAccount(), log.Callback());
    EXPECT_TRUE(PollUntil([&] { return !watcher.Running(); }, 10s)) << "still running without IDLE";
    EXPECT_TRUE(server.Finished()) << server.Mismatch();
    EXPECT_EQ(log.Count(), 0u);
    watcher.Stop();
}

TEST(IdleWatcher, ConnectionLostWhileAskingCapabilitiesIsRetried)
{
    std::vector<ScriptStep> steps = kSignIn;
    steps.push_back(C("C0002 CAPABILITY\r\n")); // and then the server is gone
    ScriptedStream server(steps);
    NotifyLog log;
    IdleWatcher watcher(ScriptedOptions(server));
    watcher.Start(ScriptedAccount(), log.Callback());
    // Each retry reads the (ended) stream for a greeting again.
    EXPECT_TRUE(PollUntil([&] { return server.ReadsAfterEnd() >= 3; }, 10s));
    EXPECT_TRUE(watcher.Running()) << "one lost connection ended the watcher for good";
    EXPECT_EQ(log.Count(), 0u);
    watcher.Stop();
    EXPECT_FALSE(watcher.Running());
}

TEST(IdleWatcher, ServerWithIdleIsWatchedUntilStopped)
{
    std::vector<ScriptStep> steps = kSignIn;
    steps.insert(steps.end(), {C("C0002 CAPABILITY\r\n"), S("* CAPABILITY IMAP4rev1 IDLE\r\nC0002 OK done\r\n"),
                               C("C0003 SELECT \"INBOX\"\r\n"), S("* 3 EXISTS\r\nC0003 OK [READ-WRITE] done\r\n"),
                               C("C0004 IDLE\r\n"), S("+ idling\r\n* 4 EXISTS\r\n* 5 EXISTS\r\n"),
                               C("DONE\r\n"), S("C0004 OK idle done\r\n")});
    ScriptedStream server(steps);
    NotifyLog log;
    IdleWatcher watcher(ScriptedOptions(server));
    watcher.Start(ScriptedAccount(), log.Callback());
    // The connection, then one pass with two new messages; then the script
    // ends the connection and reconnecting fails from there on.
    EXPECT_TRUE(PollUntil([&] { return server.ReadsAfterEnd() >= 2; }, 10s));
    EXPECT_TRUE(server.Finished()) << server.Mismatch();
    EXPECT_EQ(log.Count(), 2u);
    EXPECT_TRUE(watcher.Running());
    watcher.Stop();
}

TEST(IdleWatcher, IdleRefusedAtOnceBacksOffInsteadOfReconnectingAtOnce)
{
    // Every connection signs in and selects, then the server refuses IDLE.
    // Tags run on across connections.
    std::vector<ScriptStep> steps;
    int tag = 0;
    auto next = [&tag] {
        char text[8];
        std::snprintf(text, sizeof text, "C%04d", ++tag);
        return std::string(text);
    };
    for (int connection = 0; connection < 4; ++connection) {
        steps.push_back(S("* OK [CAPABILITY IMAP4rev1 IDLE AUTH=PLAIN] ready\r\n"));
        steps.push_back(S(next() + " OK signed in\r\n"));
        steps.push_back(S("* CAPABILITY IMAP4rev1 IDLE\r\n" + next() + " OK done\r\n"));
        steps.push_back(S("* 3 EXISTS\r\n" + next() + " OK [READ-WRITE] done\r\n"));
        steps.push_back(S(next() + " BAD not now\r\n"));
        steps.push_back(S("* BYE bye\r\n" + next() + " OK done\r\n"));
    }
    ScriptedStream server(steps);
    server.RecordSendsOnly();
    IdleWatcherOptions options = ScriptedOptions(server);
    options.firstBackoff = 100ms;
    options.maxBackoff = 400ms;
    options.reconnectPause = 1ms;
    NotifyLog log;
    IdleWatcher watcher(options);
    watcher.Start(ScriptedAccount(), log.Callback());
    // Each connection reports once; the waits between them grow from the
    // first back-off (a slow machine only makes them longer).
    ASSERT_TRUE(log.WaitFor(3));
    EXPECT_GE(log.Time(2) - log.Time(0), 300ms) << "reconnected without backing off";
    watcher.Stop();
}

} // namespace
} // namespace postern
