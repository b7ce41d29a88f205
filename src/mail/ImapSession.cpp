#include "mail/ImapSession.h"

#include "mail/Base64.h"
#include "mail/ImapText.h"

#include <cstdio>

namespace postern {

namespace {

constexpr uint32_t kConnectTimeoutMs = 30000;
constexpr int kReceiveChunk = 16384;

} // namespace

ImapSession::ImapSession() : stream(&conn) {}

ImapSession::~ImapSession()
{
    // A destructor cannot wait for the server's goodbye; just let go.
    conn.Close();
}

void ImapSession::UseStream(ByteStream* other)
{
    stream = other ? other : &conn;
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
    // A time-out (-2) leaves no text; closed and time-out read the same here.
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
                          std::string& error, std::string* status)
{
    const std::string tag = IssueTag();
    std::string request;
    request.reserve(tag.size() + command.size() + 3);
    request.append(tag).append(" ").append(command).append("\r\n");
    if (!SendRaw(request, error))
        return false;

    const std::string tagSpace = tag + " ";
    ImapResponse response;
    for (;;) {
        if (!ReadResponse(response, error))
            return false;
        if (response.line.compare(0, tagSpace.size(), tagSpace) == 0)
            break;
        if (response.line == "+" || response.line.compare(0, 2, "+ ") == 0) {
            // No command here waits for a go-ahead; this is a server's error
            // challenge (a failed XOAUTH2), which an empty line answers.
            if (!SendRaw("\r\n", error))
                return false;
            continue;
        }
        ObserveCapabilities(response.line);
        untagged.push_back(std::move(response));
    }
    ObserveCapabilities(response.line);
    const std::string text = response.line.substr(tagSpace.size());
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
