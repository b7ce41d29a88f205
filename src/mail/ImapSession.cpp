#include "mail/ImapSession.h"

#include "mail/Base64.h"
#include "mail/ImapText.h"
#include "mail/ServerSilence.h"

#include <algorithm>
#include <cstdio>

namespace postern {

namespace {

constexpr uint32_t kConnectTimeoutMs = 30000;
constexpr int kReceiveChunk = 16384;

// The status word that makes a line a command's completion.
bool IsStatus(std::string_view text)
{
    for (const std::string_view word : {"OK", "NO", "BAD"}) {
        if (StartsWithIgnoringAsciiCase(text, word) && (text.size() == word.size() || text[word.size()] == ' '))
            return true;
    }
    return false;
}

} // namespace

ImapSession::ImapSession() : stream(&conn), receiveTimeoutMs(kConnectTimeoutMs) {}

ImapSession::~ImapSession()
{
    // A destructor cannot wait for the server's goodbye; just let go.
    conn.Close();
}

void ImapSession::UseStream(ByteStream* other)
{
    stream = other ? other : &conn;
}

void ImapSession::SetReceiveTimeout(uint32_t milliseconds)
{
    receiveTimeoutMs = milliseconds;
    conn.SetReceiveTimeout(milliseconds);
}

std::string ImapSession::Quote(std::string_view text)
{
    std::string out;
    out.reserve(text.size() + 2);
    out.push_back('"');
    for (char c : text) {
        if (c == '\r' || c == '\n')
            continue;
        if (c == '\\' || c == '"')
            out.push_back('\\');
        out.push_back(c);
    }
    out.push_back('"');
    return out;
}

std::string ImapSession::IssueTag()
{
    ++tagCounter;
    counts = MailboxCounts();
    commandUnsent = true;
    char tag[16];
    std::snprintf(tag, sizeof tag, "C%04d", tagCounter);
    return tag;
}

bool ImapSession::SendRaw(std::string_view bytes, std::string& error)
{
    // A send after something was received starts the next exchange: the
    // client never sends again before it has its answer.
    if (receivedSinceSend) {
        ++roundTrips;
        receivedSinceSend = false;
    }
    if (!stream->Send(bytes, error)) {
        Disconnect();
        return false;
    }
    // What came before a command went out cannot be its completion; later
    // sends (a literal, DONE, an answer to a challenge) do not move the mark,
    // as a server may answer a challenge and complete in one piece.
    if (commandUnsent) {
        receivedAtCommand = receivedBytes;
        commandUnsent = false;
    }
    return true;
}

int ImapSession::ReceiveOnce(int capacity, std::string& error)
{
    char buffer[kReceiveChunk];
    if (capacity > kReceiveChunk)
        capacity = kReceiveChunk;
    const int got = stream->Receive(buffer, capacity, error);
    if (got > 0) {
        rx.Append(std::string_view(buffer, static_cast<size_t>(got)));
        receivedSinceSend = true;
        receivedBytes += static_cast<uint64_t>(got);
    } else if (got == 0 || got == -1) {
        Disconnect();
    }
    return got;
}

bool ImapSession::Fill(std::string& error)
{
    std::string lower;
    const int got = ReceiveOnce(kReceiveChunk, lower);
    if (got > 0)
        return true;
    if (got == -2)
        error = ServerSilenceText(receiveTimeoutMs);
    else
        error = lower.empty() ? "connection closed by server" : lower;
    Disconnect();
    return false;
}

bool ImapSession::ReadLine(std::string& line, std::string& error)
{
    for (;;) {
        const ImapResponseReader::Result got = rx.NextLine(line, error);
        if (got == ImapResponseReader::Result::Done)
            return true;
        if (got == ImapResponseReader::Result::Failed) {
            Disconnect();
            return false;
        }
        if (!Fill(error))
            return false;
    }
}

bool ImapSession::ReadResponse(ImapResponse& response, std::string& error)
{
    response = ImapResponse();
    for (;;) {
        const ImapResponseReader::Result got = rx.NextResponse(response, error);
        if (got == ImapResponseReader::Result::Done)
            return true;
        if (got == ImapResponseReader::Result::Failed) {
            Disconnect();
            return false;
        }
        if (!Fill(error))
            return false;
    }
}

bool ImapSession::WasIssued(std::string_view tag) const
{
    if (tag.size() < 5 || tag[0] != 'C')
        return false;
    uint32_t number = 0;
    if (!imap::ReadNumber(tag, 1, number) || number == 0 || number > static_cast<uint32_t>(tagCounter))
        return false;
    char issued[16];
    std::snprintf(issued, sizeof issued, "C%04u", static_cast<unsigned>(number));
    return tag == issued;
}

void ImapSession::Abandon()
{
    Disconnect();
    rx.Clear();
    conn.Close();
}

bool ImapSession::ReadReply(std::string_view tag, ImapResponse& response, Reply& kind, std::string& error)
{
    if (!ReadResponse(response, error))
        return false;
    const std::string& line = response.line;
    if (!line.empty() && line[0] == '+') {
        kind = Reply::Continuation;
        return true;
    }
    kind = Reply::Untagged;
    if (!line.empty() && line[0] == '*') {
        if (FoldCount(response, counts))
            kind = Reply::Count;
        return true;
    }
    // "tag OK|NO|BAD ..."; other lines are junk to pass over, as before.
    const size_t space = line.find(' ');
    if (space == std::string::npos)
        return true;
    if (!IsStatus(std::string_view(line).substr(space + 1)))
        return true;
    const std::string_view replyTag = std::string_view(line).substr(0, std::min<size_t>(space, 40));
    // Bytes taken from the stream so far; the reply ended within them.
    const uint64_t consumed = receivedBytes - rx.Buffered();
    if (replyTag == tag) {
        if (consumed > receivedAtCommand) {
            kind = Reply::Completion;
            return true;
        }
        error = "server replied to command " + std::string(replyTag) + " before it was sent";
    } else if (WasIssued(replyTag)) {
        return true; // a late or repeated completion of an earlier command
    } else {
        error = "server replied to command " + std::string(replyTag) + ", which was never sent";
    }
    Abandon();
    return false;
}

bool ImapSession::TakeBufferedLine(std::string& line, std::string& error, bool& failed)
{
    failed = false;
    const ImapResponseReader::Result got = rx.NextLine(line, error);
    if (got == ImapResponseReader::Result::Failed) {
        failed = true;
        Disconnect();
    }
    return got == ImapResponseReader::Result::Done;
}

void ImapSession::ObserveCapabilities(std::string_view line)
{
    // Servers announce capabilities in a response code ("* OK [CAPABILITY
    // ...]" in the greeting, "C0001 OK [CAPABILITY ...]" after LOGIN) or in
    // an untagged CAPABILITY answer. Either replaces what we knew.
    std::string_view list;
    const size_t code = imap::FindNoCase(line, "[CAPABILITY ");
    if (code != std::string_view::npos) {
        list = line.substr(code + 12);
        const size_t close = list.find(']');
        if (close == std::string_view::npos)
            return;
        list = list.substr(0, close);
    } else if (StartsWithIgnoringAsciiCase(line, "* CAPABILITY ")) {
        list = line.substr(13);
    } else {
        return;
    }
    capabilities.clear();
    size_t i = 0;
    while (i < list.size()) {
        while (i < list.size() && list[i] == ' ')
            ++i;
        size_t end = i;
        while (end < list.size() && list[end] != ' ')
            ++end;
        if (end > i) {
            std::string word(list.substr(i, end - i));
            for (char& c : word)
                c = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
            capabilities.push_back(std::move(word));
        }
        i = end;
    }
    capabilitiesKnown = true;
}

bool ImapSession::HasCapability(std::string_view name) const
{
    for (const std::string& known : capabilities) {
        if (known.size() == name.size() && StartsWithIgnoringAsciiCase(known, name))
            return true;
    }
    return false;
}

bool ImapSession::EnsureCapabilities(std::string& error)
{
    if (capabilitiesKnown)
        return true;
    std::string text;
    return Capability(text, error);
}

bool ImapSession::Command(std::string_view command, std::vector<ImapResponse>& untagged,
                          std::string& error, std::string* status, uint64_t maxBytes)
{
    const std::string tag = IssueTag();
    std::string request;
    request.reserve(tag.size() + command.size() + 3);
    request.append(tag).append(" ").append(command).append("\r\n");
    if (!SendRaw(request, error))
        return false;

    ImapUntaggedBudget budget(maxBytes);
    ImapResponse response;
    Reply kind = Reply::Untagged;
    for (;;) {
        if (!ReadReply(tag, response, kind, error))
            return false;
        if (kind == Reply::Completion)
            break;
        if (kind == Reply::Count)
            continue;
        if (kind == Reply::Continuation) {
            // No command here waits for a go-ahead; this is a server's error
            // challenge (a failed XOAUTH2), which an empty line answers.
            if (!SendRaw("\r\n", error))
                return false;
            continue;
        }
        ObserveCapabilities(response.line);
        if (!budget.Charge(response, error)) {
            // The rest of the answer is still on its way: out of step.
            Abandon();
            return false;
        }
        untagged.push_back(std::move(response));
    }
    ObserveCapabilities(response.line);
    const std::string text = response.line.substr(tag.size() + 1);
    if (status)
        *status = text;
    if (StartsWithIgnoringAsciiCase(text, "OK"))
        return true;
    error = "server said: " + text;
    return false;
}

bool ImapSession::Capability(std::string& text, std::string& error)
{
    std::vector<ImapResponse> untagged;
    const bool ok = Command("CAPABILITY", untagged, error);
    for (const ImapResponse& response : untagged) {
        if (StartsWithIgnoringAsciiCase(response.line, "* CAPABILITY"))
            text = ToLowerAscii(response.line);
    }
    return ok;
}

void ImapSession::Logout()
{
    if (connected) {
        std::vector<ImapResponse> ignored;
        std::string ignoredError;
        (void)Command("LOGOUT", ignored, ignoredError);
    }
    conn.Close();
    rx.Clear();
    connected = false;
    idleTag.clear();
    idleActivityPending = false;
    capabilitiesKnown = false;
    capabilities.clear();
}

bool ImapSession::Open(const ServerLogin& login, std::string& error)
{
    Logout();
    if (stream == &conn) {
        receiveTimeoutMs = kConnectTimeoutMs;
        if (!conn.Connect(login.host, login.port, kConnectTimeoutMs, error))
            return false;
        if (!conn.Handshake(login.host, error))
            return false;
    }

    std::string greeting;
    if (!ReadLine(greeting, error))
        return false;
    if (!StartsWithIgnoringAsciiCase(greeting, "* OK") && !StartsWithIgnoringAsciiCase(greeting, "* PREAUTH")) {
        error = "unexpected IMAP greeting: " + greeting;
        return false;
    }
    connected = true;
    // Capabilities announced before sign-in may grow after it (Dovecot adds
    // MOVE and UIDPLUS), so they count only in a PREAUTH greeting; otherwise
    // the sign-in answer's code, or a later CAPABILITY, tells.
    if (StartsWithIgnoringAsciiCase(greeting, "* PREAUTH"))
        ObserveCapabilities(greeting);

    std::vector<ImapResponse> untagged;
    std::string inner;
    if (!login.accessToken.empty()) {
        std::string initial = "user=" + login.user + "\x01" + "auth=Bearer " + login.accessToken + "\x01\x01";
        if (!Command("AUTHENTICATE XOAUTH2 " + Base64Encode(initial), untagged, inner)) {
            error = "OAuth sign-in rejected: " + inner;
            connected = false;
            return false;
        }
    } else {
        if (!Command("LOGIN " + Quote(login.user) + " " + Quote(login.password), untagged, inner)) {
            error = "sign-in rejected: " + inner;
            connected = false;
            return false;
        }
    }
    return true;
}

} // namespace postern
