// ImapSession against scripted servers: greetings, sign-in, the shapes of
// responses no real server sends in these tests, and hostile input.
#include "ReplayCase.h"

#include "mail/ImapSession.h"

#include <gtest/gtest.h>

namespace postern::test {
namespace {

std::string RunCommand(ImapSession& s, const std::string& command)
{
    if (std::string e = OpenReplay(s); !e.empty())
        return "open: " + e;
    std::vector<ImapResponse> untagged;
    std::string error;
    std::string status;
    const bool ok = s.Command(command, untagged, error, &status);
    return Outcome(ok, error, s) + " status=" + status + " untagged=" + Dump(untagged);
}

std::string OpenOnly(ImapSession& s)
{
    const std::string error = OpenReplay(s);
    return Outcome(error.empty(), error, s) + " tag=" + std::to_string(s.TagCounter());
}

std::string OpenWith(ImapSession& s, const std::string& user, const std::string& password,
                     const std::string& token = "")
{
    ServerLogin login;
    login.host = "replay.invalid";
    login.user = user;
    login.password = password;
    login.accessToken = token;
    std::string error;
    const bool ok = s.Open(login, error);
    return Outcome(ok, error, s);
}

const std::vector<ScriptStep> kGreeting = {S("* OK [CAPABILITY IMAP4rev1 LITERAL+ AUTH=PLAIN] Server ready.\r\n")};

const std::vector<ReplayCase>& SessionCases()
{
    static const std::vector<ReplayCase> cases = {
        {"greeting and LOGIN", SignedIn(), OpenOnly, "ok tag=1"},
        {"PREAUTH greeting still signs in",
         {S("* PREAUTH ready\r\n"), C("C0001 LOGIN \"u\" \"p\"\r\n"), S("C0001 OK done\r\n")}, OpenOnly,
         "ok tag=1"},
        {"greeting in lower case", {S("* ok hi\r\n"), C("C0001 LOGIN \"u\" \"p\"\r\n"), S("C0001 OK\r\n")},
         OpenOnly, "ok tag=1"},
        {"BYE greeting", {S("* BYE too many connections\r\n")}, OpenOnly,
         "fail: unexpected IMAP greeting: * BYE too many connections connected=0 tag=0"},
        {"server closes before greeting", {}, OpenOnly, "fail: connection closed by server connected=0 tag=0"},
        {"time-out before greeting", {Wait()}, OpenOnly, "fail: server did not answer within 30 s connected=0 tag=0"},
        {"time-out during a command names the time the session waited",
         Join(SignedIn(), {C("C0002 NOOP\r\n"), S("* OK still\r\n"), Wait()}),
         [](ImapSession& s) {
             s.SetReceiveTimeout(1500);
             return RunCommand(s, "NOOP");
         },
         "fail: server did not answer within 1.5 s connected=0 status= untagged=* OK still"},
        {"sign-in answered before it was sent: the completion came with the greeting",
         {S("* OK hi\r\nC0001 OK\r\nC0002 OK\r\n"), C("C0001 LOGIN \"u\" \"p\"\r\n")}, OpenOnly,
         "fail: sign-in rejected: server replied to command C0001 before it was sent connected=0 tag=1", false},
        {"wrong password",
         Join(kGreeting, {C("C0001 LOGIN \"u\" \"p\"\r\n"),
                          S("C0001 NO [AUTHENTICATIONFAILED] Authentication failed.\r\n")}),
         OpenOnly,
         "fail: sign-in rejected: server said: NO [AUTHENTICATIONFAILED] Authentication failed. connected=0 tag=1"},
        {"user and password are quoted, CR and LF dropped",
         Join(kGreeting, {C("C0001 LOGIN \"a\\\"b\" \"c\\\\dx\"\r\n"), S("C0001 OK\r\n")}),
         [](ImapSession& s) { return OpenWith(s, "a\"b", "c\\d\r\nx"); }, "ok"},
        {"XOAUTH2 accepted",
         Join(kGreeting, {C("C0001 AUTHENTICATE XOAUTH2 dXNlcj1tZUBleGFtcGxlLnRlc3QBYXV0aD1CZWFyZXIgdG9rMTIzAQE=\r\n"),
                          S("C0001 OK Logged in\r\n")}),
         [](ImapSession& s) { return OpenWith(s, "me@example.test", "ignored", "tok123"); }, "ok"},
        {"XOAUTH2 error challenge answered with an empty line",
         Join(kGreeting,
              {C("C0001 AUTHENTICATE XOAUTH2 dXNlcj1tZUBleGFtcGxlLnRlc3QBYXV0aD1CZWFyZXIgdG9rMTIzAQE=\r\n"),
               S("+ eyJzdGF0dXMiOiI0MDEifQ==\r\n"), C("\r\n"), S("C0001 NO [AUTHENTICATIONFAILED] Failed\r\n")}),
         [](ImapSession& s) { return OpenWith(s, "me@example.test", "", "tok123"); },
         "fail: OAuth sign-in rejected: server said: NO [AUTHENTICATIONFAILED] Failed connected=0"},
        {"error challenge and refusal in one piece: the refusal still counts",
         Join(kGreeting,
              {C("C0001 AUTHENTICATE XOAUTH2 dXNlcj1tZUBleGFtcGxlLnRlc3QBYXV0aD1CZWFyZXIgdG9rMTIzAQE=\r\n"),
               S("+ eyJzdGF0dXMiOiI0MDEifQ==\r\nC0001 NO [AUTHENTICATIONFAILED] Failed\r\n"), C("\r\n")}),
         [](ImapSession& s) { return OpenWith(s, "me@example.test", "", "tok123"); },
         "fail: OAuth sign-in rejected: server said: NO [AUTHENTICATIONFAILED] Failed connected=0", false},
        {"literal of size zero",
         Join(SignedIn(), {C("C0002 X\r\n"), S("* 1 FETCH (BODY[] {0}\r\n)\r\nC0002 OK done\r\n")}),
         [](ImapSession& s) { return RunCommand(s, "X"); },
         "ok status=OK done untagged=* 1 FETCH (BODY[] {0})[]"},
        {"two literals in one response",
         Join(SignedIn(), {C("C0002 X\r\n"),
                           S("* 1 FETCH (BODY[1] {3}\r\nabc BODY[2] {4}\r\nd\r\nf)\r\nC0002 OK\r\n")}),
         [](ImapSession& s) { return RunCommand(s, "X"); },
         "ok status=OK untagged=* 1 FETCH (BODY[1] {3} BODY[2] {4})[abc,d\\r\\nf]"},
        {"brace inside a quoted string before the real marker",
         Join(SignedIn(), {C("C0002 X\r\n"), S("* 2 FETCH (X \"{9}\" BODY[] {2}\r\nhi)\r\nC0002 OK\r\n")}),
         [](ImapSession& s) { return RunCommand(s, "X"); },
         "ok status=OK untagged=* 2 FETCH (X \"{9}\" BODY[] {2})[hi]"},
        {"braces around no number are no literal",
         Join(SignedIn(), {C("C0002 X\r\n"), S("* OK {abc}\r\n* OK {}\r\n* OK {-1}\r\nC0002 OK\r\n")}),
         [](ImapSession& s) { return RunCommand(s, "X"); },
         "ok status=OK untagged=* OK {abc}|* OK {}|* OK {-1}"},
        {"bare LF line ends, a CR inside a line stays",
         Join(SignedIn(), {C("C0002 X\r\n"), S("* OK a\rb\n* OK c\r\r\nC0002 OK\n")}),
         [](ImapSession& s) { return RunCommand(s, "X"); }, "ok status=OK untagged=* OK a\\rb|* OK c\\r"},
        {"lower-case status word",
         Join(SignedIn(), {C("C0002 NOOP\r\n"), S("C0002 ok noop done\r\n")}),
         [](ImapSession& s) { return RunCommand(s, "NOOP"); }, "ok status=ok noop done untagged="},
        {"NO keeps the session",
         Join(SignedIn(), {C("C0002 SELECT \"x\"\r\n"), S("C0002 NO Mailbox doesn't exist: x\r\n")}),
         [](ImapSession& s) { return RunCommand(s, "SELECT \"x\""); },
         "fail: server said: NO Mailbox doesn't exist: x status=NO Mailbox doesn't exist: x untagged="},
        {"BAD reads like NO",
         Join(SignedIn(), {C("C0002 FOO\r\n"), S("C0002 BAD Error in IMAP command FOO: Unknown command.\r\n")}),
         [](ImapSession& s) { return RunCommand(s, "FOO"); },
         "fail: server said: BAD Error in IMAP command FOO: Unknown command. status=BAD Error in IMAP command "
         "FOO: Unknown command. untagged="},
        {"BYE before the tagged reply",
         Join(SignedIn(), {C("C0002 NOOP\r\n"), S("* BYE Server shutting down.\r\n")}),
         [](ImapSession& s) { return RunCommand(s, "NOOP"); },
         "fail: connection closed by server connected=0 status= untagged=* BYE Server shutting down."},
        {"unexpected continuation is answered with an empty line",
         Join(SignedIn(), {C("C0002 X\r\n"), S("+\r\n"), C("\r\n"), S("+ more\r\n"), C("\r\n"), S("C0002 OK\r\n")}),
         [](ImapSession& s) { return RunCommand(s, "X"); }, "ok status=OK untagged="},
        {"an earlier command's completion is passed over",
         Join(SignedIn(), {C("C0002 X\r\n"), S("C0001 OK stale\r\nC0002 OK\r\n")}),
         [](ImapSession& s) { return RunCommand(s, "X"); }, "ok status=OK untagged=C0001 OK stale"},
        {"a completion for a tag never sent drops the session",
         Join(SignedIn(), {C("C0002 X\r\n"), S("C00021 OK no\r\nC0002 OK\r\n")}),
         [](ImapSession& s) { return RunCommand(s, "X"); },
         "fail: server replied to command C00021, which was never sent connected=0 status= untagged="},
        {"a foreign tag likewise",
         Join(SignedIn(), {C("C0002 X\r\n"), S("* OK a\r\nA1 NO nothing\r\n")}),
         [](ImapSession& s) { return RunCommand(s, "X"); },
         "fail: server replied to command A1, which was never sent connected=0 status= untagged=* OK a"},
        {"counts are folded, not kept; lines that only look tagged are kept",
         Join(SignedIn(), {C("C0002 NOOP\r\n"), S("* 3 EXISTS\r\n* 1 RECENT\r\n* 2 EXPUNGE\r\n* 4 exists\r\n"
                                                  "* 3 Expunge\r\n* OK x\r\nnoise\r\nC9 OKAY\r\nC0002 OK\r\n")}),
         [](ImapSession& s) {
             const std::string out = RunCommand(s, "NOOP");
             const MailboxCounts& n = s.Counts();
             return out + " exists=" + std::to_string(n.exists) + " recent=" + std::to_string(n.recent) +
                    " expunged=" + std::to_string(n.expunged);
         },
         "ok status=OK untagged=* OK x|noise|C9 OKAY exists=4 recent=1 expunged=2"},
        {"literal beyond 256 MiB is refused before any byte of it",
         Join(SignedIn(), {C("C0002 X\r\n"), S("* 1 FETCH (BODY[] {268435457}\r\nabc")}),
         [](ImapSession& s) { return RunCommand(s, "X"); },
         "fail: literal of 268435457 bytes exceeds the 256 MiB limit connected=0 status= untagged="},
        {"literal size that does not parse",
         Join(SignedIn(), {C("C0002 X\r\n"), S("* 1 FETCH (BODY[] {184467440737095516160}\r\nabc")}),
         [](ImapSession& s) { return RunCommand(s, "X"); },
         "fail: literal size does not parse: {184467440737095516160} connected=0 status= untagged="},
        {"literal of exactly 256 MiB announced, connection ends early",
         Join(SignedIn(), {C("C0002 X\r\n"), S("* 1 FETCH (BODY[] {268435456}\r\nabc")}),
         [](ImapSession& s) { return RunCommand(s, "X"); },
         "fail: connection closed by server connected=0 status= untagged="},
        {"capability text in lower case, last line wins",
         Join(SignedIn(), {C("C0002 CAPABILITY\r\n"),
                           S("* CAPABILITY IMAP4rev1 X\r\n* CAPABILITY IMAP4rev1 IDLE\r\nC0002 OK\r\n")}),
         [](ImapSession& s) {
             if (std::string e = OpenReplay(s); !e.empty())
                 return e;
             std::string text;
             std::string error;
             const bool ok = s.Capability(text, error);
             return Outcome(ok, error, s) + " " + text + " idle=" + (s.HasCapability("idle") ? "1" : "0");
         },
         "ok * capability imap4rev1 idle idle=1"},
        {"capabilities from the sign-in answer, none asked for",
         SignedIn("IMAP4rev1 UIDPLUS"),
         [](ImapSession& s) {
             const std::string e = OpenReplay(s);
             return e + "known=" + (s.CapabilitiesKnown() ? "1" : "0") + " uidplus=" +
                    (s.HasCapability("UIDPLUS") ? "1" : "0") + " move=" + (s.HasCapability("MOVE") ? "1" : "0");
         },
         "known=1 uidplus=1 move=0"},
        {"greeting capabilities do not outlive the sign-in",
         {S("* OK [CAPABILITY IMAP4rev1 UIDPLUS] hi\r\n"), C("C0001 LOGIN \"u\" \"p\"\r\n"), S("C0001 OK\r\n")},
         [](ImapSession& s) {
             const std::string e = OpenReplay(s);
             return e + "known=" + (s.CapabilitiesKnown() ? "1" : "0");
         },
         "known=0"},
        {"logout sends LOGOUT and closes",
         Join(SignedIn(), {C("C0002 LOGOUT\r\n"), S("* BYE Logging out\r\nC0002 OK Logout completed.\r\n")}),
         [](ImapSession& s) {
             const std::string e = OpenReplay(s);
             s.Logout();
             return e + "connected=" + (s.IsConnected() ? "1" : "0");
         },
         "connected=0"},
    };
    return cases;
}

TEST(ImapSessionReplay, Cases)
{
    for (const ReplayCase& c : SessionCases())
        RunReplayCase(c);
}

TEST(ImapSessionReplay, EndlessLineStopsAtOneMebibyte)
{
    // 4 MiB without a line feed: the session must give up near 1 MiB, not
    // read (and keep) all of it.
    const std::string endless(4u << 20, 'x');
    ScriptedStream stream(Join(SignedIn(), {C("C0002 X\r\n"), S("* OK " + endless)}));
    ImapSession session;
    session.UseStream(&stream);
    ASSERT_EQ(OpenReplay(session), "");
    std::vector<ImapResponse> untagged;
    std::string error;
    EXPECT_FALSE(session.Command("X", untagged, error));
    EXPECT_EQ(error, "response line longer than 1 MiB without a line end");
    EXPECT_FALSE(session.IsConnected());
    EXPECT_LT(stream.BytesReceivedByClient(), (1u << 20) + 2 * 16384 + 200);
    session.UseStream(nullptr);
}

TEST(ImapSessionReplay, TagCounterPastNineThousandNineHundredNinetyNine)
{
    std::vector<ScriptStep> script = SignedIn();
    for (int i = 2; i <= 10001; ++i) {
        char tag[16];
        std::snprintf(tag, sizeof tag, "C%04d", i);
        script.push_back(C(std::string(tag) + " NOOP\r\n"));
        script.push_back(S(std::string(tag) + " OK\r\n"));
    }
    ScriptedStream stream(script);
    ImapSession session;
    session.UseStream(&stream);
    ASSERT_EQ(OpenReplay(session), "");
    for (int i = 2; i <= 10001; ++i) {
        std::vector<ImapResponse> untagged;
        std::string error;
        ASSERT_TRUE(session.Command("NOOP", untagged, error)) << i << ": " << error << stream.Mismatch();
    }
    EXPECT_EQ(stream.Mismatch(), "");
    EXPECT_TRUE(stream.Finished());
    EXPECT_EQ(session.TagCounter(), 10001);
    session.UseStream(nullptr);
}

TEST(ImapSessionReplay, QuoteTable)
{
    const struct {
        std::string in;
        std::string out;
    } cases[] = {
        {"", "\"\""},
        {"INBOX", "\"INBOX\""},
        {"a\"b", "\"a\\\"b\""},
        {"a\\b", "\"a\\\\b\""},
        {"line\r\nbreak", "\"linebreak\""},
        {"Entw&APw-rfe", "\"Entw&APw-rfe\""},
        {"Grüße", "\"Grüße\""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ImapSession::Quote(c.in), c.out) << c.in;
}

} // namespace
} // namespace postern::test
