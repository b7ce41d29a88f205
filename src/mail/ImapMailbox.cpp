#include "mail/ImapMailbox.h"

#include "mail/ImapListParser.h"
#include "mail/ImapSummaryParser.h"
#include "mail/ImapText.h"

#include <cstdio>

namespace postern {

namespace {

std::string Format(const char* format, uint32_t value)
{
    char text[64];
    std::snprintf(text, sizeof text, format, static_cast<unsigned>(value));
    return text;
}

// Numbers after "* SEARCH", up to the first thing that is no number (a
// server may append "(MODSEQ n)").
void CollectSearchUids(const ImapResponse& response, std::vector<uint32_t>& uids)
{
    const std::string& line = response.line;
    if (!StartsWithIgnoringAsciiCase(line, "* SEARCH"))
        return;
    size_t at = 8;
    for (;;) {
        while (at < line.size() && line[at] == ' ')
            ++at;
        uint32_t uid = 0;
        if (!imap::ReadNumber(line, at, uid))
            return;
        uids.push_back(uid);
        while (at < line.size() && line[at] >= '0' && line[at] <= '9')
            ++at;
    }
}

bool HasNonAscii(std::string_view text)
{
    for (char c : text) {
        if (static_cast<unsigned char>(c) > 127)
            return true;
    }
    return false;
}

// Reads the replies to the command tagged `tag` up to its completion,
// passing each untagged one to `each`; status gets the completion's text.
template <typename Each>
bool ReadToCompletion(ImapSession& session, const std::string& tag, std::string& status, std::string& error,
                      Each each)
{
    ImapResponse response;
    ImapSession::Reply kind = ImapSession::Reply::Untagged;
    for (;;) {
        if (!session.ReadReply(tag, response, kind, error))
            return false;
        if (kind == ImapSession::Reply::Completion) {
            status = response.line.substr(tag.size() + 1);
            return true;
        }
        if (kind == ImapSession::Reply::Untagged && !each(response, error)) {
            session.Abandon();
            return false;
        }
    }
}

bool FetchSummaries(ImapSession& session, const std::string& command, std::vector<MessageHeader>& headers,
                    std::string& error)
{
    std::vector<ImapResponse> untagged;
    if (!session.Command(command, untagged, error))
        return false;
    for (const ImapResponse& response : untagged) {
        MessageHeader header;
        if (ParseSummaryResponse(response, header))
            headers.push_back(std::move(header));
    }
    return true;
}

// Removes the \Deleted message: only this UID when the server has UIDPLUS,
// since a plain EXPUNGE also removes what another client merely flagged.
bool ExpungeOne(ImapSession& session, uint32_t uid, std::string& error)
{
    std::vector<ImapResponse> untagged;
    if (!session.EnsureCapabilities(error) && !session.IsConnected())
        return false;
    error.clear();
    if (session.HasCapability("UIDPLUS"))
        return session.Command(Format("UID EXPUNGE %u", uid), untagged, error);
    return session.Command("EXPUNGE", untagged, error);
}

} // namespace

void NewestRange(uint32_t count, uint32_t newest, uint32_t& first, uint32_t& last)
{
    last = count;
    first = (newest == 0 || count < newest) ? 1 : count - newest + 1;
}

bool ListFolders(ImapSession& session, std::vector<FolderInfo>& folders, std::string& error)
{
    std::vector<ImapResponse> untagged;
    if (!session.Command("LIST \"\" \"*\"", untagged, error))
        return false;
    for (const ImapResponse& response : untagged) {
        FolderInfo folder;
        if (ParseListResponse(response, folder))
            folders.push_back(std::move(folder));
    }
    return true;
}

bool Select(ImapSession& session, std::string_view mailbox, uint32_t& count, std::string& error)
{
    std::vector<ImapResponse> untagged;
    const bool ok = session.Command("SELECT " + ImapSession::Quote(mailbox), untagged, error);
    count = session.Counts().exists;
    return ok;
}

bool FetchHeaders(ImapSession& session, uint32_t first, uint32_t last, std::vector<MessageHeader>& headers,
                  std::string& error)
{
    if (first == 0)
        first = 1;
    if (last < first)
        return true;
    char range[32];
    std::snprintf(range, sizeof range, "%u:%u", static_cast<unsigned>(first), static_cast<unsigned>(last));
    return FetchSummaries(session, std::string("FETCH ") + range + kHeaderFetchItems, headers, error);
}

bool FetchHeadersByUid(ImapSession& session, std::string_view uidSet, std::vector<MessageHeader>& headers,
                       std::string& error)
{
    if (uidSet.empty())
        return true;
    return FetchSummaries(session, "UID FETCH " + std::string(uidSet) + kHeaderFetchItems, headers, error);
}

bool FetchMessage(ImapSession& session, uint32_t uid, std::string& raw, std::string& error, bool markSeen)
{
    std::vector<ImapResponse> untagged;
    // The one answer that is large by nature: room for a message as large
    // as a literal may be, besides the usual allowance.
    constexpr uint64_t kMessageBytes = ImapResponseReader::kMaxLiteralBytes + ImapUntaggedBudget::kMaxBytes;
    if (!session.Command(Format(markSeen ? "UID FETCH %u (BODY[])" : "UID FETCH %u (BODY.PEEK[])", uid), untagged,
                         error, nullptr, kMessageBytes))
        return false;
    for (ImapResponse& response : untagged) {
        if (response.line.find("FETCH") != std::string::npos && !response.literals.empty()) {
            raw = std::move(response.literals.front());
            return true;
        }
    }
    error = "server returned no message body";
    return false;
}

bool StoreFlag(ImapSession& session, uint32_t uid, std::string_view flag, bool add, std::string& error)
{
    std::string command = Format("UID STORE %u ", uid);
    command += add ? '+' : '-';
    command += "FLAGS.SILENT (";
    command += flag;
    command += ')';
    std::vector<ImapResponse> untagged;
    return session.Command(command, untagged, error);
}

bool MarkAllSeen(ImapSession& session, std::string& error)
{
    std::vector<ImapResponse> untagged;
    return session.Command("STORE 1:* +FLAGS.SILENT (\\Seen)", untagged, error);
}

bool CopyMessage(ImapSession& session, uint32_t uid, std::string_view target, std::string& error)
{
    std::vector<ImapResponse> untagged;
    return session.Command(Format("UID COPY %u ", uid) + ImapSession::Quote(target), untagged, error);
}

bool DeleteMessage(ImapSession& session, uint32_t uid, std::string& error)
{
    if (!StoreFlag(session, uid, "\\Deleted", true, error))
        return false;
    return ExpungeOne(session, uid, error);
}

bool MoveMessage(ImapSession& session, uint32_t uid, std::string_view target, std::string& error)
{
    std::vector<ImapResponse> untagged;
    if (session.Command(Format("UID MOVE %u ", uid) + ImapSession::Quote(target), untagged, error))
        return true;
    // A lost connection is no reason to try the long way round; the copy
    // would only fail with a less telling text.
    if (!session.IsConnected())
        return false;
    error.clear();
    if (!CopyMessage(session, uid, target, error))
        return false;
    if (!StoreFlag(session, uid, "\\Deleted", true, error))
        return false;
    return ExpungeOne(session, uid, error);
}

bool AppendMessage(ImapSession& session, std::string_view mailbox, std::string_view message,
                   std::string_view flags, std::string& error)
{
    const std::string tag = session.IssueTag();
    char marker[32];
    std::snprintf(marker, sizeof marker, "{%zu}", message.size());
    std::string request = tag + " APPEND " + ImapSession::Quote(mailbox) + " (" + std::string(flags) + ") " +
                          marker + "\r\n";
    if (!session.SendRaw(request, error))
        return false;

    // The literal may go only after the server's go-ahead; untagged lines
    // (EXISTS of another client, alerts) can come first.
    ImapResponse response;
    ImapSession::Reply kind = ImapSession::Reply::Untagged;
    for (;;) {
        if (!session.ReadReply(tag, response, kind, error))
            return false;
        if (kind == ImapSession::Reply::Continuation)
            break;
        if (kind == ImapSession::Reply::Completion) {
            error = "APPEND refused: " + response.line;
            return false;
        }
    }

    std::string payload;
    payload.reserve(message.size() + 2);
    payload.append(message).append("\r\n");
    if (!session.SendRaw(payload, error))
        return false;
    std::string status;
    if (!ReadToCompletion(session, tag, status, error, [](const ImapResponse&, std::string&) { return true; }))
        return false;
    if (StartsWithIgnoringAsciiCase(status, "OK"))
        return true;
    error = "APPEND failed: " + status;
    return false;
}

bool CountUnseen(ImapSession& session, std::string_view mailbox, uint32_t& unseen, std::string& error)
{
    std::vector<ImapResponse> untagged;
    const bool ok = session.Command("STATUS " + ImapSession::Quote(mailbox) + " (UNSEEN)", untagged, error);
    unseen = 0;
    for (const ImapResponse& response : untagged) {
        const std::string& line = response.line;
        if (!StartsWithIgnoringAsciiCase(line, "* STATUS"))
            continue;
        // The counters come last, in parentheses; a mailbox named
        // "UNSEEN 5" must not be read as a count.
        const size_t list = line.rfind('(');
        if (list == std::string::npos)
            continue;
        const size_t at = line.find("UNSEEN ", list);
        uint32_t value = 0;
        if (at != std::string::npos && imap::ReadNumber(line, at + 7, value))
            unseen = value;
    }
    return ok;
}

bool SearchUids(ImapSession& session, std::string_view criteria, std::vector<uint32_t>& uids, std::string& error)
{
    std::vector<ImapResponse> untagged;
    if (!session.Command("UID SEARCH CHARSET UTF-8 " + std::string(criteria), untagged, error)) {
        // Servers without UTF-8 searching answer NO [BADCHARSET]; ask again
        // without the charset. A lost connection ends it here.
        if (!session.IsConnected())
            return false;
        untagged.clear();
        error.clear();
        if (!session.Command("UID SEARCH " + std::string(criteria), untagged, error))
            return false;
    }
    for (const ImapResponse& response : untagged)
        CollectSearchUids(response, uids);
    return true;
}

bool SelectAndSearch(ImapSession& session, std::string_view mailbox, std::string_view criteria, uint32_t& count,
                     std::vector<uint32_t>& uids, std::string& error)
{
    uids.clear();
    count = 0;
    const std::string selectTag = session.IssueTag();
    const std::string searchTag = session.IssueTag();
    std::string request = selectTag + " SELECT " + ImapSession::Quote(mailbox) + "\r\n";
    request += searchTag + " UID SEARCH ";
    if (HasNonAscii(criteria))
        request += "CHARSET UTF-8 ";
    request.append(criteria).append("\r\n");
    if (!session.SendRaw(request, error))
        return false;

    std::string selectStatus;
    if (!ReadToCompletion(session, selectTag, selectStatus, error,
                          [](const ImapResponse&, std::string&) { return true; }))
        return false;
    count = session.Counts().exists;
    // The found UIDs are kept: the same budget as for Command.
    ImapUntaggedBudget budget;
    std::string searchStatus;
    const auto collect = [&](const ImapResponse& response, std::string& failure) {
        if (!StartsWithIgnoringAsciiCase(response.line, "* SEARCH"))
            return true;
        CollectSearchUids(response, uids);
        return budget.Charge(response, failure);
    };
    if (!ReadToCompletion(session, searchTag, searchStatus, error, collect)) {
        uids.clear();
        return false;
    }
    if (!StartsWithIgnoringAsciiCase(selectStatus, "OK")) {
        error = "SELECT " + std::string(mailbox) + " failed";
        uids.clear();
        return false;
    }
    if (!StartsWithIgnoringAsciiCase(searchStatus, "OK")) {
        error = "SEARCH failed";
        uids.clear();
        return false;
    }
    return true;
}

} // namespace postern
