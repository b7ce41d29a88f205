// Sessions recorded from the fixture's Dovecot, replayed as regression
// fixtures: the client must send the same bytes and reach the same outcome
// from what the real server answered, delivered in the pieces it arrived in
// and cut at other offsets too.
//
// To record them again (after a deliberate change of the command bytes):
//   POSTERN_RECORD_TRANSCRIPTS=tests/mail/imap/transcripts imap_tests --gtest_filter='ImapTranscript.Record'
// with the fixture running.
#include "support/DovecotFixture.h"
#include "ReplayCase.h"
#include "Transcript.h"

#include "mail/ImapIdle.h"
#include "mail/ImapMailbox.h"
#include "platform/Files.h"
#include "support/FixtureEnv.h"

#include <gtest/gtest.h>

#include <functional>

namespace postern::test {
namespace {

constexpr const char* kUser = "alice";
constexpr const char* kPassword = "secret";
constexpr const char* kFolder = "Transcript";

// Runs during recording only: what another client does meanwhile.
using Poke = std::function<void()>;

std::string SessionScenario(ImapSession& s, const ServerLogin& login, const Poke&)
{
    std::string out;
    std::string error;
    auto note = [&](const std::string& what, bool ok) {
        out += what + "=" + (ok ? "ok" : "fail(" + error + ")") + "\n";
        error.clear();
    };
    note("open", s.Open(login, error));
    std::vector<ImapResponse> untagged;
    (void)s.Command(std::string("CREATE ") + kFolder, untagged, error);
    error.clear();
    for (int i = 1; i <= 3; ++i) {
        const std::string subject = i == 2 ? "=?UTF-8?Q?Gr=C3=BC=C3=9Fe?= " + std::to_string(i) : "Note " + std::to_string(i);
        note("append", AppendMessage(s, kFolder,
                                     "From: Rec <rec@example.test>\r\nSubject: " + subject +
                                         "\r\nDate: Tue, 06 Feb 2024 09:0" + std::to_string(i) +
                                         ":00 +0100\r\nMessage-ID: <rec" + std::to_string(i) +
                                         "@example.test>\r\n\r\nText " + std::to_string(i) + "\r\n",
                                     i == 3 ? "\\Seen" : "", error));
    }
    std::vector<FolderInfo> folders;
    note("list", ListFolders(s, folders, error));
    for (const FolderInfo& f : folders) {
        out += " folder " + f.name + (f.isInbox ? " inbox" : "") + (f.isSent ? " sent" : "") + (f.isTrash ? " trash" : "") +
               (f.isDrafts ? " drafts" : "") + (f.isJunk ? " junk" : "") + (f.isArchive ? " archive" : "") + "\n";
    }
    uint32_t count = 0;
    note("select", Select(s, kFolder, count, error));
    out += " count " + std::to_string(count) + "\n";
    uint32_t first = 0;
    uint32_t last = 0;
    NewestRange(count, 200, first, last);
    std::vector<MessageHeader> headers;
    note("headers", FetchHeaders(s, first, last, headers, error));
    for (const MessageHeader& h : headers) {
        out += " " + std::to_string(h.uid) + " " + std::to_string(h.date) + " " + (h.seen ? "seen " : "") + h.from + " | " +
               h.subject + " | " + h.messageId + "\n";
    }
    std::string raw;
    note("fetch", !headers.empty() && FetchMessage(s, headers.front().uid, raw, error));
    out += " raw " + std::to_string(raw.size()) + "\n";
    note("store", !headers.empty() && StoreFlag(s, headers.front().uid, "\\Flagged", true, error));
    uint32_t unseen = 0;
    note("status", CountUnseen(s, kFolder, unseen, error));
    out += " unseen " + std::to_string(unseen) + "\n";
    std::vector<uint32_t> uids;
    note("search", SearchUids(s, "UNSEEN", uids, error));
    note("select-search", SelectAndSearch(s, kFolder, "SUBJECT \"grüße\"", count, uids, error));
    for (uint32_t uid : uids)
        out += " found " + std::to_string(uid) + "\n";
    note("move", !headers.empty() && MoveMessage(s, headers.front().uid, "Trash", error));
    note("delete", headers.size() > 1 && DeleteMessage(s, headers[1].uid, error));
    note("missing", Select(s, "NoSuchFolder", count, error));
    (void)s.Command(std::string("DELETE ") + kFolder, untagged, error);
    error.clear();
    s.Logout();
    return out;
}

std::string IdleScenario(ImapSession& s, const ServerLogin& login, const Poke& poke)
{
    std::string error;
    if (!s.Open(login, error))
        return "open: " + error;
    uint32_t count = 0;
    std::string out = Select(s, "INBOX", count, error) ? "select ok\n" : "select: " + error + "\n";
    if (!StartIdle(s, error))
        return out + "idle: " + error;
    poke();
    int result = 0;
    for (int polls = 0; polls < 50 && result == 0; ++polls)
        result = PollIdle(s);
    out += "poll " + std::to_string(result) + "\n";
    out += StopIdle(s, error) ? "stop ok\n" : "stop: " + error + "\n";
    s.Logout();
    return out;
}

std::string WrongPasswordScenario(ImapSession& s, const ServerLogin& login, const Poke&)
{
    ServerLogin wrong = login;
    wrong.password = "wrong-password";
    std::string error;
    const bool ok = s.Open(wrong, error);
    return Outcome(ok, error, s);
}

const struct {
    const char* file;
    std::string (*run)(ImapSession&, const ServerLogin&, const Poke&);
} kScenarios[] = {
    {"dovecot-session.txt", SessionScenario},
    {"dovecot-idle.txt", IdleScenario},
    {"dovecot-wrong-password.txt", WrongPasswordScenario},
};

std::filesystem::path TranscriptDir()
{
    return TestSourcePath("mail/imap/transcripts");
}

TEST(ImapTranscript, Replay)
{
    for (const auto& scenario : kScenarios) {
        SCOPED_TRACE(scenario.file);
        std::string text;
        std::string error;
        ASSERT_TRUE(ReadWholeFile(TranscriptDir() / scenario.file, text, error)) << error;
        Transcript transcript;
        ASSERT_TRUE(ParseTranscript(text, transcript, error)) << error;
        ServerLogin login;
        login.host = "localhost";
        login.user = kUser;
        login.password = kPassword;
        // As recorded, then with every piece cut once more at a few offsets;
        // IDLE counts arrivals, so it replays only as recorded.
        const bool idle = scenario.run == IdleScenario;
        for (size_t split : {size_t{0}, size_t{1}, size_t{2}, size_t{5}, size_t{13}, size_t{100}, size_t{1000}}) {
            if (idle && split)
                continue;
            ScriptedStream stream(transcript.steps, split);
            ImapSession session;
            session.UseStream(&stream);
            const std::string result = scenario.run(session, login, [] {});
            session.UseStream(nullptr);
            ASSERT_EQ(stream.Mismatch(), "") << "split " << split;
            EXPECT_EQ(result, transcript.result) << "split " << split;
        }
    }
}

TEST(ImapTranscript, Record)
{
    const std::string dir = FixtureValue("POSTERN_RECORD_TRANSCRIPTS");
    if (dir.empty() || !FixtureRunning())
        GTEST_SKIP() << "set POSTERN_RECORD_TRANSCRIPTS and start the fixture to record";
    const ServerLogin login = FixtureLogin(1);
    ASSERT_EQ(login.user, kUser);
    for (const auto& scenario : kScenarios) {
        TlsConnection conn;
        std::string error;
        ASSERT_TRUE(conn.Connect(login.host, login.port, 30000, error)) << error;
        ASSERT_TRUE(conn.Handshake(login.host, error)) << error;
        RecordingStream recorder(conn);
        ImapSession session;
        session.UseStream(&recorder);
        const Poke poke = [] {
            ImapSession other;
            ASSERT_EQ(OpenFixture(other, 1), "");
            std::string e;
            ASSERT_TRUE(AppendMessage(other, "INBOX", TestMessage("Poke"), "\\Seen", e)) << e;
            other.Logout();
        };
        conn.SetReceiveTimeout(1000);
        Transcript transcript;
        transcript.result = scenario.run(session, login, poke);
        session.UseStream(nullptr);
        transcript.steps = std::move(recorder.Steps());
        Redact(transcript, login.password, kPassword);
        ASSERT_TRUE(WriteFileAtomically(HostPath(dir) / scenario.file, FormatTranscript(transcript), error)) << error;
        conn.Close();
    }
}

TEST(ImapTranscript, FileFormatRoundTripAndDamage)
{
    Transcript t;
    t.steps = {C("a1 LOGIN \"u\" \"p\"\r\n"), S(std::string("x\0y\n", 4)), Wait(), S("")};
    t.result = "ok\n";
    const std::string text = FormatTranscript(t);
    Transcript back;
    std::string error;
    ASSERT_TRUE(ParseTranscript(text, back, error)) << error;
    ASSERT_EQ(back.steps.size(), 4u);
    EXPECT_EQ(back.steps[1].bytes, std::string("x\0y\n", 4));
    EXPECT_EQ(back.steps[2].kind, ScriptStep::Timeout);
    EXPECT_EQ(back.result, "ok\n");
    const struct {
        std::string text;
        std::string error;
    } damaged[] = {
        {"C 5\nabc\n", "record at byte 0 is cut short"},
        {"C x\nabc\n", "bad record length at byte 0"},
        {"Q 1\na\n", "unknown record kind Q"},
        {"C1\na\n", "bad record header at byte 0"},
        {"C 1\nab", "record at byte 0 is cut short"},
    };
    for (const auto& d : damaged) {
        EXPECT_FALSE(ParseTranscript(d.text, back, error)) << d.text;
        EXPECT_EQ(error, d.error) << d.text;
    }
}

} // namespace
} // namespace postern::test
