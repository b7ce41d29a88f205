#include "mail/ImapIdle.h"

namespace postern {

namespace {

constexpr int kPollChunk = 4096;

bool IsActivity(const std::string& line)
{
    return line.find("EXISTS") != std::string::npos || line.find("EXPUNGE") != std::string::npos ||
           line.find("RECENT") != std::string::npos;
}

// Consumes every complete line already received; 1 when one of them tells
// of new or removed messages, -1 when the buffer holds garbage.
int DrainLines(ImapSession& session)
{
    int result = 0;
    std::string line;
    std::string error;
    bool failed = false;
    while (session.TakeBufferedLine(line, error, failed)) {
        if (IsActivity(line))
            result = 1;
    }
    return failed ? -1 : result;
}

} // namespace

bool StartIdle(ImapSession& session, std::string& error)
{
    std::string& tag = session.IdleTag();
    tag = session.IssueTag();
    if (!session.SendRaw(tag + " IDLE\r\n", error))
        return false;
    ImapResponse response;
    ImapSession::Reply kind = ImapSession::Reply::Untagged;
    for (;;) {
        if (!session.ReadReply(tag, response, kind, error))
            return false;
        if (kind == ImapSession::Reply::Continuation)
            return true;
        // New mail announced before the server's go-ahead is still new mail:
        // the first poll reports it.
        if (kind == ImapSession::Reply::Count)
            session.IdleActivityPending() = true;
        if (kind == ImapSession::Reply::Completion) {
            error = "IDLE not accepted: " + response.line;
            return false;
        }
    }
}

int PollIdle(ImapSession& session)
{
    if (session.IdleActivityPending()) {
        session.IdleActivityPending() = false;
        return 1;
    }
    const int buffered = DrainLines(session);
    if (buffered != 0)
        return buffered;
    std::string error;
    const int got = session.ReceiveOnce(kPollChunk, error);
    if (got == -2)
        return 0;
    if (got <= 0)
        return -1;
    return DrainLines(session);
}

bool StopIdle(ImapSession& session, std::string& error)
{
    if (!session.SendRaw("DONE\r\n", error))
        return false;
    ImapResponse response;
    ImapSession::Reply kind = ImapSession::Reply::Untagged;
    for (;;) {
        if (!session.ReadReply(session.IdleTag(), response, kind, error))
            return false;
        if (kind == ImapSession::Reply::Completion)
            return true;
        // Mail that arrived while DONE was on its way is reported by the
        // next pass's first poll rather than lost.
        if (kind == ImapSession::Reply::Count)
            session.IdleActivityPending() = true;
    }
}

} // namespace postern
