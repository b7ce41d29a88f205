// Mailbox operations against scripted servers: exact command bytes, the
// fallbacks real servers here never take (no MOVE, no UIDPLUS, no UTF-8
// search), and response shapes such as literal LIST names.
#include "ReplayCase.h"

#include "mail/ImapIdle.h"
#include "mail/ImapMailbox.h"

#include <gtest/gtest.h>

namespace postern::test {
namespace {

#define OPEN_OR_RETURN(s)                                                                          \
    if (std::string openError = OpenReplay(s); !openError.empty())                                \
    return "open: " + openError

std::string Folders(ImapSession& s)
{
    OPEN_OR_RETURN(s);
    std::vector<FolderInfo> folders;
    std::string error;
    const bool ok = ListFolders(s, folders, error);
    std::string out = Outcome(ok, error, s);
    for (const FolderInfo& f : folders) {
        out += " [" + f.name + " " + f.delimiter + (f.noSelect ? " noselect" : "") + (f.isInbox ? " inbox" : "") +
               (f.isSent ? " sent" : "") + (f.isTrash ? " trash" : "") + (f.isDrafts ? " drafts" : "") +
               (f.isJunk ? " junk" : "") + (f.isArchive ? " archive" : "") + "]";
    }
    return out;
}

std::string Headers(ImapSession& s, uint32_t first, uint32_t last)
{
    OPEN_OR_RETURN(s);
    std::vector<MessageHeader> headers;
    std::string error;
    const bool ok = FetchHeaders(s, first, last, headers, error);
    std::string out = Outcome(ok, error, s);
    for (const MessageHeader& h : headers) {
        out += " [" + std::to_string(h.seq) + ":" + std::to_string(h.uid) + " size=" + std::to_string(h.size) +
               (h.seen ? " seen" : "") + (h.answered ? " answered" : "") + (h.flagged ? " flagged" : "") +
               " date=" + std::to_string(h.date) + " from=" + h.from + " subject=" + h.subject +
               " id=" + h.messageId + "]";
    }
    return out;
}

std::string Move(ImapSession& s, uint32_t uid, const std::string& target)
{
    OPEN_OR_RETURN(s);
    std::string error = "stale";
    const bool ok = MoveMessage(s, uid, target, error);
    return Outcome(ok, error, s);
}

std::string Delete(ImapSession& s, uint32_t uid)
{
    OPEN_OR_RETURN(s);
    std::string error;
    const bool ok = DeleteMessage(s, uid, error);
    return Outcome(ok, error, s);
}

std::string Append(ImapSession& s, const std::string& mailbox, const std::string& message, const std::string& flags)
{
    OPEN_OR_RETURN(s);
    std::string error;
    const bool ok = AppendMessage(s, mailbox, message, flags, error);
    return Outcome(ok, error, s);
}

std::string Search(ImapSession& s, const std::string& criteria)
{
    OPEN_OR_RETURN(s);
    std::vector<uint32_t> uids = {7};
    std::string error;
    const bool ok = SearchUids(s, criteria, uids, error);
    std::string out = Outcome(ok, error, s);
    for (uint32_t uid : uids)
        out += " " + std::to_string(uid);
    return out;
}

std::string SelectSearch(ImapSession& s, const std::string& mailbox, const std::string& criteria)
{
    OPEN_OR_RETURN(s);
    std::vector<uint32_t> uids = {7};
    uint32_t count = 99;
    std::string error;
    const bool ok = SelectAndSearch(s, mailbox, criteria, count, uids, error);
    std::string out = Outcome(ok, error, s) + " count=" + std::to_string(count) + " uids=";
    for (uint32_t uid : uids)
        out += std::to_string(uid) + ",";
    return out;
}

std::string Idle(ImapSession& s, int polls)
{
    OPEN_OR_RETURN(s);
    std::string error;
    if (!StartIdle(s, error))
        return Outcome(false, error, s);
    std::string out = "idle";
    for (int i = 0; i < polls; ++i)
        out += " " + std::to_string(PollIdle(s));
    if (s.IsConnected()) {
        const bool ok = StopIdle(s, error);
        out += " stop=" + Outcome(ok, error, s);
    }
    return out;
}

const char* kFetchItems =
    " (UID FLAGS RFC822.SIZE INTERNALDATE BODY.PEEK[HEADER.FIELDS (FROM SUBJECT DATE MESSAGE-ID IN-REPLY-TO "
    "REFERENCES)])\r\n";

const std::vector<ReplayCase>& MailboxCases()
{
    static const std::vector<ReplayCase> cases = {
        {"LIST roles by attribute and by name",
         Join(SignedIn(),
              {C("C0002 LIST \"\" \"*\"\r\n"),
               S("* LIST (\\HasNoChildren) \"/\" INBOX\r\n"
                 "* LIST (\\HasNoChildren \\Sent) \"/\" \"[Gmail]/Sent Mail\"\r\n"
                 "* LIST (\\HasNoChildren) \".\" \"INBOX.Sent Items\"\r\n"
                 "* LIST (\\HasNoChildren) \"/\" Archive/2019\r\n"
                 "* LIST (\\HasNoChildren) \"/\" Bin\r\n"
                 "* LIST (\\Noselect \\HasChildren) \"/\" \"[Gmail]\"\r\n"
                 "* LIST (\\NonExistent) \"/\" Gone\r\n"
                 "* LIST (\\HasNoChildren) \"/\" inBoX\r\n"
                 "* LIST (\\HasNoChildren) \"/\" INBOX/Sent\r\n"
                 "* LIST (\\Junk \\Drafts) \"/\" Odd\r\n"
                 "* LIST (\\All) \"/\" \"All Mail\"\r\n"
                 "C0002 OK List completed.\r\n")}),
         Folders,
         "ok [INBOX / inbox] [[Gmail]/Sent Mail / sent] [INBOX.Sent Items . sent] [Archive/2019 /] [Bin / trash] "
         "[[Gmail] / noselect] [Gone / noselect] [inBoX / inbox] [INBOX/Sent / sent] [Odd / drafts junk] "
         "[All Mail / archive]"},
        {"LIST names as literals, NIL delimiters, broken lines skipped",
         Join(SignedIn(),
              {C("C0002 LIST \"\" \"*\"\r\n"),
               S("* LIST (\\HasNoChildren) NIL {4}\r\nSpam\r\n"
                 "* LIST (\\HasNoChildren) NIL Notes/Trash\r\n"
                 "* LIST (\\HasNoChildren) {1}\r\n.\r\n {0}\r\n\r\n"
                 "* LIST \\HasNoChildren \"/\" NoParens\r\n"
                 "* LIST (\\HasNoChildren) \"/\"\r\n"
                 "* LIST () \"/\" \"a\\\\b\\\"c\"\r\n"
                 "* list () \"/\" lower\r\n"
                 "* LSUB () \"/\" NotAList\r\n"
                 "C0002 OK\r\n")}),
         Folders,
         "ok [Spam / junk] [Notes/Trash / trash] [a\\b\"c /] [lower /]"},
        {"LIST answered before it was sent: fails, no empty folder list",
         {S("* OK hi\r\n"), C("C0001 LOGIN \"u\" \"p\"\r\n"), S("C0001 OK\r\nC0002 OK\r\n"),
          C("C0002 LIST \"\" \"*\"\r\n")},
         Folders, "fail: server replied to command C0002 before it was sent connected=0", false},
        {"SELECT counts EXISTS, the last one wins",
         Join(SignedIn(), {C("C0002 SELECT \"Caf&AOk-\"\r\n"),
                           S("* FLAGS (\\Seen)\r\n* 3 EXISTS\r\n* 0 RECENT\r\n* 5 EXISTS\r\n"
                             "* OK [UIDVALIDITY 1] UIDs valid\r\n* 12345678901 EXISTS\r\nC0002 OK [READ-WRITE]\r\n")}),
         [](ImapSession& s) {
             OPEN_OR_RETURN(s);
             uint32_t count = 0;
             std::string error;
             const bool ok = Select(s, "Caf&AOk-", count, error);
             return Outcome(ok, error, s) + " count=" + std::to_string(count);
         },
         "ok count=5"},
        {"header range 0:0 and first above last send nothing", SignedIn(),
         [](ImapSession& s) {
             OPEN_OR_RETURN(s);
             std::vector<MessageHeader> headers;
             std::string error;
             const bool ok = FetchHeaders(s, 0, 0, headers, error) && FetchHeaders(s, 5, 4, headers, error);
             return Outcome(ok, error, s) + " n=" + std::to_string(headers.size());
         },
         "ok n=0"},
        {"header summaries, unsolicited and broken FETCH lines skipped",
         Join(SignedIn(),
              {C(std::string("C0002 FETCH 1:4") + kFetchItems),
               S("* 1 FETCH (UID 11 FLAGS (\\Seen \\Flagged) RFC822.SIZE 1234 INTERNALDATE \"01-Feb-2024 10:00:00 "
                 "+0000\" BODY[HEADER.FIELDS (FROM SUBJECT DATE MESSAGE-ID IN-REPLY-TO REFERENCES)] {122}\r\n"
                 "From: =?UTF-8?Q?J=C3=B6rg?= <j@example.test>\r\nSubject: Hello\r\n"
                 "Date: Thu, 01 Feb 2024 12:00:00 +0000\r\nMessage-ID: <a@b>\r\n\r\n)\r\n"
                 "* 2 FETCH (FLAGS (\\Seen))\r\n"
                 "* 3 FETCH (UID 13 FLAGS (\\Answered) INTERNALDATE \" 2-Feb-2024 10:00:00 -0130\" "
                 "BODY[HEADER.FIELDS (FROM)] {2}\r\n\r\n)\r\n"
                 "* 4 FETCH (UID 0 FLAGS ())\r\n"
                 "* 5 EXISTS\r\n"
                 "C0002 OK Fetch completed.\r\n")}),
         [](ImapSession& s) { return Headers(s, 1, 4); },
         "ok [1:11 size=1234 seen flagged date=1706788800 from=Jörg <j@example.test> subject=Hello id=<a@b>] "
         "[3:13 size=0 answered date=1706873400 from= subject= id=]"},
        {"fetch message takes the first FETCH literal",
         Join(SignedIn(), {C("C0002 UID FETCH 42 (BODY.PEEK[])\r\n"),
                           S("* 3 FETCH (FLAGS (\\Seen))\r\n* 3 FETCH (UID 42 BODY[] {9}\r\nSubject:\n)\r\n"
                             "C0002 OK\r\n")}),
         [](ImapSession& s) {
             OPEN_OR_RETURN(s);
             std::string raw;
             std::string error;
             const bool ok = FetchMessage(s, 42, raw, error);
             return Outcome(ok, error, s) + " raw=" + Visible(raw);
         },
         "ok raw=Subject:\\n"},
        {"fetch message without a literal",
         Join(SignedIn(), {C("C0002 UID FETCH 42 (BODY.PEEK[])\r\n"), S("C0002 OK Fetch completed.\r\n")}),
         [](ImapSession& s) {
             OPEN_OR_RETURN(s);
             std::string raw;
             std::string error;
             const bool ok = FetchMessage(s, 42, raw, error);
             return Outcome(ok, error, s);
         },
         "fail: server returned no message body"},
        {"store, mark all, copy: exact commands",
         Join(SignedIn(), {C("C0002 UID STORE 5 +FLAGS.SILENT (\\Seen)\r\n"), S("C0002 OK\r\n"),
                           C("C0003 UID STORE 6 -FLAGS.SILENT (\\Flagged)\r\n"), S("C0003 OK\r\n"),
                           C("C0004 STORE 1:* +FLAGS.SILENT (\\Seen)\r\n"), S("C0004 OK\r\n"),
                           C("C0005 UID COPY 7 \"Arch\\\"ive\"\r\n"), S("C0005 NO [TRYCREATE] no\r\n")}),
         [](ImapSession& s) {
             OPEN_OR_RETURN(s);
             std::string e1, e2, e3, e4;
             const bool a = StoreFlag(s, 5, "\\Seen", true, e1);
             const bool b = StoreFlag(s, 6, "\\Flagged", false, e2);
             const bool c = MarkAllSeen(s, e3);
             const bool d = CopyMessage(s, 7, "Arch\"ive", e4);
             return Outcome(a && b && c, e1 + e2 + e3, s) + " copy=" + Outcome(d, e4, s);
         },
         "ok copy=fail: server said: NO [TRYCREATE] no"},
        {"move with MOVE",
         Join(SignedIn(), {C("C0002 UID MOVE 9 \"Trash\"\r\n"),
                           S("* OK [COPYUID 1 9 3] Moved\r\n* 2 EXPUNGE\r\nC0002 OK Move completed.\r\n")}),
         [](ImapSession& s) { return Move(s, 9, "Trash"); }, "ok"},
        {"move fallback without MOVE and without UIDPLUS",
         Join(SignedIn("IMAP4rev1 IDLE"),
              {C("C0002 UID MOVE 9 \"Trash\"\r\n"), S("C0002 BAD Error in IMAP command UID: Unknown command\r\n"),
               C("C0003 UID COPY 9 \"Trash\"\r\n"), S("C0003 OK Copy completed.\r\n"),
               C("C0004 UID STORE 9 +FLAGS.SILENT (\\Deleted)\r\n"), S("C0004 OK\r\n"),
               C("C0005 EXPUNGE\r\n"), S("* 2 EXPUNGE\r\nC0005 OK\r\n")}),
         [](ImapSession& s) { return Move(s, 9, "Trash"); }, "ok"},
        {"move fallback with UIDPLUS expunges only that UID",
         Join(SignedIn("IMAP4rev1 UIDPLUS"),
              {C("C0002 UID MOVE 9 \"Trash\"\r\n"), S("C0002 BAD unknown command\r\n"),
               C("C0003 UID COPY 9 \"Trash\"\r\n"), S("C0003 OK\r\n"),
               C("C0004 UID STORE 9 +FLAGS.SILENT (\\Deleted)\r\n"), S("C0004 OK\r\n"),
               C("C0005 UID EXPUNGE 9\r\n"), S("* 2 EXPUNGE\r\nC0005 OK\r\n")}),
         [](ImapSession& s) { return Move(s, 9, "Trash"); }, "ok"},
        {"move fallback stops at a failed copy with its text",
         Join(SignedIn(), {C("C0002 UID MOVE 9 \"Nope\"\r\n"), S("C0002 NO [TRYCREATE] Mailbox doesn't exist\r\n"),
                           C("C0003 UID COPY 9 \"Nope\"\r\n"), S("C0003 NO [TRYCREATE] Mailbox doesn't exist\r\n")}),
         [](ImapSession& s) { return Move(s, 9, "Nope"); },
         "fail: server said: NO [TRYCREATE] Mailbox doesn't exist"},
        {"move on a lost connection does not fall back",
         Join(SignedIn(), {C("C0002 UID MOVE 9 \"Trash\"\r\n")}), [](ImapSession& s) { return Move(s, 9, "Trash"); },
         "fail: connection closed by server connected=0"},
        {"delete asks for capabilities the server has not told",
         {S("* OK hi\r\n"), C("C0001 LOGIN \"u\" \"p\"\r\n"), S("C0001 OK\r\n"),
          C("C0002 UID STORE 4 +FLAGS.SILENT (\\Deleted)\r\n"), S("C0002 OK\r\n"), C("C0003 CAPABILITY\r\n"),
          S("* CAPABILITY IMAP4rev1 UIDPLUS\r\nC0003 OK\r\n"), C("C0004 UID EXPUNGE 4\r\n"), S("C0004 OK\r\n")},
         [](ImapSession& s) { return Delete(s, 4); }, "ok"},
        {"delete on a server without UIDPLUS expunges the folder",
         Join(SignedIn("IMAP4rev1"), {C("C0002 UID STORE 4 +FLAGS.SILENT (\\Deleted)\r\n"), S("C0002 OK\r\n"),
                                      C("C0003 EXPUNGE\r\n"), S("C0003 OK\r\n")}),
         [](ImapSession& s) { return Delete(s, 4); }, "ok"},
        {"delete stops when the flag cannot be set",
         Join(SignedIn(), {C("C0002 UID STORE 4 +FLAGS.SILENT (\\Deleted)\r\n"), S("C0002 NO read-only\r\n")}),
         [](ImapSession& s) { return Delete(s, 4); }, "fail: server said: NO read-only"},
        {"append waits for the go-ahead past untagged lines",
         Join(SignedIn(), {C("C0002 APPEND \"Sent\" (\\Seen) {5}\r\n"), S("* 3 EXISTS\r\n* OK [ALERT] hi\r\n+ OK\r\n"),
                           C("Hello\r\n"), S("* 4 EXISTS\r\nC0002 OK [APPENDUID 1 4] Append completed.\r\n")}),
         [](ImapSession& s) { return Append(s, "Sent", "Hello", "\\Seen"); }, "ok"},
        {"append of an empty message without flags",
         Join(SignedIn(), {C("C0002 APPEND \"Drafts\" () {0}\r\n"), S("+\r\n"), C("\r\n"), S("C0002 ok\r\n")}),
         [](ImapSession& s) { return Append(s, "Drafts", "", ""); }, "ok"},
        {"append refused before the literal",
         Join(SignedIn(), {C("C0002 APPEND \"Nope\" () {5}\r\n"), S("C0002 NO [TRYCREATE] Mailbox doesn't exist\r\n")}),
         [](ImapSession& s) { return Append(s, "Nope", "Hello", ""); },
         "fail: APPEND refused: C0002 NO [TRYCREATE] Mailbox doesn't exist"},
        {"append failed after the literal",
         Join(SignedIn(), {C("C0002 APPEND \"Sent\" () {5}\r\n"), S("+ go\r\n"), C("Hello\r\n"),
                           S("C0002 NO [OVERQUOTA] Quota exceeded\r\n")}),
         [](ImapSession& s) { return Append(s, "Sent", "Hello", ""); },
         "fail: APPEND failed: NO [OVERQUOTA] Quota exceeded"},
        {"status reads the counter, not a mailbox called UNSEEN",
         Join(SignedIn(), {C("C0002 STATUS \"UNSEEN 5\" (UNSEEN)\r\n"),
                           S("* STATUS \"UNSEEN 5\" (UNSEEN 3)\r\nC0002 OK\r\n"), C("C0003 STATUS \"x\" (UNSEEN)\r\n"),
                           S("* status {1}\r\nx (UNSEEN 12)\r\nC0003 OK\r\n")}),
         [](ImapSession& s) {
             OPEN_OR_RETURN(s);
             uint32_t a = 99;
             uint32_t b = 99;
             std::string error;
             const bool ok = CountUnseen(s, "UNSEEN 5", a, error) && CountUnseen(s, "x", b, error);
             return Outcome(ok, error, s) + " " + std::to_string(a) + " " + std::to_string(b);
         },
         "ok 3 12"},
        {"search with CHARSET, UIDs appended",
         Join(SignedIn(), {C("C0002 UID SEARCH CHARSET UTF-8 UNSEEN\r\n"),
                           S("* SEARCH 3 5 10 (MODSEQ 4)\r\n* SEARCH\r\n* search 11\r\nC0002 OK\r\n")}),
         [](ImapSession& s) { return Search(s, "UNSEEN"); }, "ok 7 3 5 10 11"},
        {"search without CHARSET after BADCHARSET",
         Join(SignedIn(), {C("C0002 UID SEARCH CHARSET UTF-8 UNSEEN\r\n"), S("* SEARCH 99\r\nC0002 NO [BADCHARSET]\r\n"),
                           C("C0003 UID SEARCH UNSEEN\r\n"), S("* SEARCH 4\r\nC0003 OK\r\n")}),
         [](ImapSession& s) { return Search(s, "UNSEEN"); }, "ok 7 4"},
        {"search failing twice",
         Join(SignedIn(), {C("C0002 UID SEARCH CHARSET UTF-8 FOO\r\n"), S("C0002 BAD no\r\n"),
                           C("C0003 UID SEARCH FOO\r\n"), S("C0003 BAD still no\r\n")}),
         [](ImapSession& s) { return Search(s, "FOO"); }, "fail: server said: BAD still no 7"},
        {"select and search pipelined, ASCII criteria without CHARSET",
         Join(SignedIn(), {C("C0002 SELECT \"INBOX\"\r\nC0003 UID SEARCH UNSEEN\r\n"),
                           S("* 4 EXISTS\r\n* SEARCH 1\r\nC0002 OK\r\n* SEARCH 2 3\r\nC0003 OK\r\n")}),
         [](ImapSession& s) { return SelectSearch(s, "INBOX", "UNSEEN"); }, "ok count=4 uids=2,3,"},
        {"select and search with non-ASCII criteria",
         Join(SignedIn(), {C("C0002 SELECT \"INBOX\"\r\nC0003 UID SEARCH CHARSET UTF-8 TEXT \"Grüße\"\r\n"),
                           S("* 1 EXISTS\r\nC0002 OK\r\n* SEARCH 1\r\nC0003 OK\r\n")}),
         [](ImapSession& s) { return SelectSearch(s, "INBOX", "TEXT \"Grüße\""); }, "ok count=1 uids=1,"},
        {"select and search, SELECT fails",
         Join(SignedIn(), {C("C0002 SELECT \"Nope\"\r\nC0003 UID SEARCH ALL\r\n"),
                           S("C0002 NO Mailbox doesn't exist\r\n* SEARCH 1\r\nC0003 BAD No mailbox selected\r\n")}),
         [](ImapSession& s) { return SelectSearch(s, "Nope", "ALL"); }, "fail: SELECT Nope failed count=0 uids="},
        {"select and search, SEARCH fails",
         Join(SignedIn(), {C("C0002 SELECT \"INBOX\"\r\nC0003 UID SEARCH FOO\r\n"),
                           S("* 2 EXISTS\r\nC0002 OK\r\n* SEARCH 1\r\nC0003 BAD Unknown argument FOO\r\n")}),
         [](ImapSession& s) { return SelectSearch(s, "INBOX", "FOO"); }, "fail: SEARCH failed count=2 uids="},
        {"idle wakes on EXISTS, not on a flag change",
         Join(SignedIn(), {C("C0002 IDLE\r\n"), S("* OK Still here\r\n+ idling\r\n"),
                           S("* 3 FETCH (FLAGS (\\Seen))\r\n"), S("* 4 EXISTS\r\n"), Wait(),
                           S("* 4 EXPUNGE\r\n* 2 RECENT\r\n"), C("DONE\r\n"), S("C0002 OK Idle completed.\r\n")}),
         [](ImapSession& s) { return Idle(s, 4); }, "idle 0 1 0 1 stop=ok", false},
        {"idle wakes once for two lines in one piece",
         Join(SignedIn(), {C("C0002 IDLE\r\n"), S("+ idling\r\n* 5 EXISTS\r\n* 1 RECENT\r\n"), S("* OK x\r\n"),
                           C("DONE\r\n"), S("* 6 EXISTS\r\nC0002 NO whatever\r\n")}),
         [](ImapSession& s) { return Idle(s, 2); }, "idle 1 0 stop=ok", false},
        {"idle reports mail announced before the go-ahead and during DONE",
         Join(SignedIn(), {C("C0002 IDLE\r\n"), S("* 7 EXISTS\r\n+ idling\r\n"), C("DONE\r\n"),
                           S("* 8 EXISTS\r\nC0002 OK Idle completed.\r\n"), C("C0003 IDLE\r\n"), S("+ idling\r\n"),
                           C("DONE\r\n"), S("C0003 OK Idle completed.\r\n")}),
         [](ImapSession& s) -> std::string {
             OPEN_OR_RETURN(s);
             std::string error, out;
             for (int pass = 0; pass < 2; ++pass) {
                 const bool started = StartIdle(s, error);
                 const int polled = started ? PollIdle(s) : -9;
                 const bool stopped = started && StopIdle(s, error);
                 out += std::to_string(polled) + (stopped ? " stopped " : " failed ");
             }
             return out + error;
         },
         "1 stopped 1 stopped ", false},
        {"idle connection lost",
         Join(SignedIn(), {C("C0002 IDLE\r\n"), S("+ idling\r\n")}), [](ImapSession& s) { return Idle(s, 1); },
         "idle -1", false},
        {"idle not accepted",
         Join(SignedIn(), {C("C0002 IDLE\r\n"), S("* OK x\r\nC0002 BAD Unknown command IDLE\r\n")}),
         [](ImapSession& s) { return Idle(s, 0); }, "fail: IDLE not accepted: C0002 BAD Unknown command IDLE",
         false},
    };
    return cases;
}

TEST(ImapMailboxReplay, Cases)
{
    for (const ReplayCase& c : MailboxCases())
        RunReplayCase(c);
}

TEST(ImapMailboxReplay, FloodsAreFoldedOrBounded)
{
    // Streamed as read: count lines are folded as they come, whatever their
    // number; other responses are kept only within the limits, past which
    // the command fails and the session, out of step, is dropped. A message
    // may still be larger than those limits.
    const std::string mebibyte(1u << 20, 'x');
    const std::vector<ScriptStep> headerFlood = {
        Many("* 1 FETCH (UID 1 BODY[HEADER.FIELDS (FROM)] {1048576}\r\n" + mebibyte + ")\r\n", 65)};
    const struct {
        const char* name;
        std::vector<ScriptStep> script;
        std::function<std::string(ImapSession&)> run;
        std::string expected;
    } cases[] = {
        {"a million EXISTS answering SELECT",
         {C("C0002 SELECT \"INBOX\"\r\n"), Many("* 7 EXISTS\r\n", 1000000), S("* 9 EXISTS\r\nC0002 OK\r\n")},
         [](ImapSession& s) {
             OPEN_OR_RETURN(s);
             uint32_t count = 0;
             std::string error;
             const bool ok = Select(s, "INBOX", count, error);
             return Outcome(ok, error, s) + " count=" + std::to_string(count);
         },
         "ok count=9"},
        {"LIST without end",
         {C("C0002 LIST \"\" \"*\"\r\n"), Many("* LIST () \"/\" x\r\n", ImapUntaggedBudget::kMaxResponses + 1)},
         Folders, "fail: server sent more than 100000 responses to one command connected=0"},
        {"SEARCH without end",
         {C("C0002 SELECT \"INBOX\"\r\nC0003 UID SEARCH ALL\r\n"), S("C0002 OK\r\n"),
          Many("* SEARCH 1\r\n", ImapUntaggedBudget::kMaxResponses + 1)},
         [](ImapSession& s) { return SelectSearch(s, "INBOX", "ALL"); },
         "fail: server sent more than 100000 responses to one command connected=0 count=0 uids="},
        {"header literals beyond 64 MiB", Join({C(std::string("C0002 FETCH 1:2") + kFetchItems)}, headerFlood),
         [](ImapSession& s) { return Headers(s, 1, 2); },
         "fail: server's responses to one command exceed 64 MiB connected=0"},
        {"a message of 65 MiB",
         Join({C("C0002 UID FETCH 5 (BODY.PEEK[])\r\n"), S("* 1 FETCH (UID 5 BODY[] {68157440}\r\n"),
               Many(mebibyte, 65)},
              {S(")\r\nC0002 OK\r\n")}),
         [](ImapSession& s) {
             OPEN_OR_RETURN(s);
             std::string raw;
             std::string error;
             const bool ok = FetchMessage(s, 5, raw, error);
             return Outcome(ok, error, s) + " size=" + std::to_string(raw.size());
         },
         "ok size=68157440"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedStream stream(Join(SignedIn(), c.script));
        ImapSession session;
        session.UseStream(&stream);
        EXPECT_EQ(c.run(session), c.expected);
        EXPECT_EQ(stream.Mismatch(), "");
        session.UseStream(nullptr);
    }
}

TEST(ImapMailboxReplay, NewestRange)
{
    const struct {
        uint32_t count, first, last;
    } cases[] = {{0, 1, 0}, {1, 1, 1}, {199, 1, 199}, {200, 1, 200}, {201, 2, 201}, {250, 51, 250}, {10000, 9801, 10000}};
    for (const auto& c : cases) {
        uint32_t first = 0;
        uint32_t last = 0;
        NewestRange(c.count, 200, first, last);
        EXPECT_EQ(first, c.first) << c.count;
        EXPECT_EQ(last, c.last) << c.count;
    }
}

} // namespace
} // namespace postern::test
