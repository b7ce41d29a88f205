// ImapSession: one client connection to an IMAP4rev1 server over implicit
// TLS. It opens the connection, checks the greeting, signs in (LOGIN, or
// AUTHENTICATE XOAUTH2 with an access token) and runs tagged commands one at
// a time, collecting the untagged responses for the mailbox operations of
// ImapMailbox.h and ImapIdle.h, which are written on top of Command.
//
// The session reads and writes through a ByteStream: normally its own
// TlsConnection, in tests a replayed or recording stream (UseStream).
#pragma once

#include "platform/ByteStream.h"
#include "mail/ImapResponse.h"
#include "mail/ImapResponseReader.h"
#include "mail/ImapUntaggedBudget.h"
#include "mail/ServerLogin.h"
#include "platform/TlsConnection.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace postern {

class ImapSession {
public:
    ImapSession();
    ~ImapSession();
    ImapSession(const ImapSession&) = delete;
    ImapSession& operator=(const ImapSession&) = delete;

    // Talks over stream instead of the network (tests, transcripts); Open
    // then reads the greeting from it without connecting. nullptr returns to
    // the session's own connection. The stream must outlive its use.
    void UseStream(ByteStream* stream);

    // The session's own connection, for Abort from another thread.
    [[nodiscard]] TlsConnection& Connection() { return conn; }

    // The receive time-out of the connection (Open sets 30 s), also named
    // in the error when the server stays silent that long.
    void SetReceiveTimeout(uint32_t milliseconds);

    [[nodiscard]] bool IsConnected() const { return connected; }
    [[nodiscard]] int TagCounter() const { return tagCounter; }
    // Exchanges with the server so far, over every connection: each time the
    // client sends after it has received (a command, a literal after its
    // continuation) it waits for one more answer.
    [[nodiscard]] uint32_t RoundTrips() const { return roundTrips; }

    // Logs out what the session held, connects with TLS, checks the greeting
    // and signs in. No CAPABILITY or other command is sent.
    [[nodiscard]] bool Open(const ServerLogin& login, std::string& error);

    // Runs one tagged command (text without tag and line end) and appends its
    // untagged responses to untagged, except the counts, which go to Counts().
    // True when the completion was OK; on NO or BAD the error is "server
    // said: " and the status text, and the session stays usable. status,
    // when given, receives the status text. What is kept may cost maxBytes
    // (ImapUntaggedBudget); a server that sends more, or a reply for a
    // command not sent, leaves the session out of step: the command fails
    // and the session is dropped.
    [[nodiscard]] bool Command(std::string_view command, std::vector<ImapResponse>& untagged,
                               std::string& error, std::string* status = nullptr,
                               uint64_t maxBytes = ImapUntaggedBudget::kMaxBytes);

    // The EXISTS, RECENT and EXPUNGE responses since the last tag was issued.
    [[nodiscard]] const MailboxCounts& Counts() const { return counts; }

    // CAPABILITY: the last "* CAPABILITY" line in ASCII lower case.
    [[nodiscard]] bool Capability(std::string& capabilities, std::string& error);

    // LOGOUT when connected (outcome ignored), then closes in every case.
    void Logout();

    [[nodiscard]] bool ReadLine(std::string& line, std::string& error);
    [[nodiscard]] bool ReadResponse(ImapResponse& response, std::string& error);

    enum class Reply { Untagged, Count, Continuation, Completion };
    // The next response while the command tagged `tag` runs: its completion,
    // a continuation request, a count (folded into Counts()) or another
    // untagged response. A tagged reply for a command that was not sent
    // (yet) means client and server are out of step: false, session dropped.
    [[nodiscard]] bool ReadReply(std::string_view tag, ImapResponse& response, Reply& kind,
                                 std::string& error);

    // Gives up a connection that is out of step with the server: not
    // connected, nothing buffered kept; the next Open starts afresh.
    void Abandon();

    // The text as an IMAP quoted string; CR and LF are dropped.
    [[nodiscard]] static std::string Quote(std::string_view text);

    // What the server announced in [CAPABILITY ...] codes and CAPABILITY
    // answers since the sign-in. Not known when the server sent none yet.
    [[nodiscard]] bool CapabilitiesKnown() const { return capabilitiesKnown; }
    // Case-insensitive; false while not known.
    [[nodiscard]] bool HasCapability(std::string_view name) const;
    // Asks the server with CAPABILITY unless it already told us.
    [[nodiscard]] bool EnsureCapabilities(std::string& error);

    // Primitives for the operations with their own exchanges (APPEND, IDLE).
    [[nodiscard]] std::string IssueTag();
    // Sends bytes as they are; a failure marks the session not connected.
    [[nodiscard]] bool SendRaw(std::string_view bytes, std::string& error);
    // One Receive of up to capacity bytes into the buffer: the transport's
    // result. 0 and -1 mark the session not connected; -2 (time-out) not.
    [[nodiscard]] int ReceiveOnce(int capacity, std::string& error);
    // The next complete line already received, without reading.
    [[nodiscard]] bool TakeBufferedLine(std::string& line, std::string& error, bool& failed);
    [[nodiscard]] std::string& IdleTag() { return idleTag; }
    // Activity announced while IDLE started or ended, not yet reported.
    [[nodiscard]] bool& IdleActivityPending() { return idleActivityPending; }

private:
    [[nodiscard]] bool Fill(std::string& error);
    void ObserveCapabilities(std::string_view line);
    void Disconnect() { connected = false; }
    [[nodiscard]] bool WasIssued(std::string_view tag) const;

    TlsConnection conn;
    ByteStream* stream = nullptr; // conn unless a test put another stream there
    ImapResponseReader rx;
    int tagCounter = 0; // never reset, also not on reconnect
    uint32_t roundTrips = 0;
    bool receivedSinceSend = false;
    uint64_t receivedBytes = 0;   // over every connection
    uint64_t receivedAtCommand = 0; // receivedBytes when the last command went out
    bool commandUnsent = false;     // a tag was issued, its command not sent yet
    uint32_t receiveTimeoutMs = 0;
    MailboxCounts counts;
    bool connected = false;
    std::string idleTag;
    bool idleActivityPending = false;
    bool capabilitiesKnown = false;
    std::vector<std::string> capabilities; // upper case
};

} // namespace postern
