#include "mail/SmtpClient.h"
#include "platform/AsciiText.h"

#include "mail/Base64.h"
#include "mail/ServerSilence.h"
#include "platform/TlsConnection.h"

namespace postern {

namespace {

constexpr uint32_t kSmtpTimeoutMs = 30000;
constexpr uint32_t kImplicitTlsPort = 465;
constexpr int kReceiveChunk = 8192;
// RFC 5321 allows 512 bytes per reply line; these limits only stop a server
// that never ends a line or a reply from filling the memory.
constexpr std::size_t kMaxReplyLine = 64 * 1024;
constexpr std::size_t kMaxReplyText = 1024 * 1024;

// An address goes between angle brackets on a command line of its own: a
// line break would end the command and start another one of the sender's
// choosing, a bracket would end the path early.
bool IsSafeEnvelopeAddress(std::string_view address)
{
    return address.find_first_of("\r\n<>") == std::string_view::npos;
}

std::string Printable(std::string_view text)
{
    std::string out(text);
    for (char& c : out) {
        if (c == '\r' || c == '\n')
            c = ' ';
    }
    return out;
}

int LeadingNumber(std::string_view line)
{
    int value = 0;
    std::size_t i = 0;
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t'))
        ++i;
    for (; i < line.size() && line[i] >= '0' && line[i] <= '9' && value < 100000; ++i)
        value = value * 10 + (line[i] - '0');
    return value;
}

} // namespace

std::string DotStuff(std::string_view message)
{
    std::string out;
    out.reserve(message.size() + message.size() / 64 + 8);
    bool lineStart = true;
    for (std::size_t i = 0; i < message.size(); ++i) {
        const char c = message[i];
        // RFC 5321 section 4.5.2: a line that begins with a dot gets a
        // second one, the first line included.
        if (lineStart && c == '.')
            out.push_back('.');
        lineStart = false;
        if (c == '\r') {
            // Bare CR and bare LF become CR LF: servers disagree about what
            // a lone one means, and "\n.\r\n" read as the end of the data by
            // one of them would smuggle the rest as a second message.
            out.append("\r\n");
            if (i + 1 < message.size() && message[i + 1] == '\n')
                ++i;
            lineStart = true;
        } else if (c == '\n') {
            out.append("\r\n");
            lineStart = true;
        } else {
            out.push_back(c);
        }
    }
    if (!lineStart || out.empty())
        out.append("\r\n");
    out.append(".\r\n");
    return out;
}

bool SmtpClient::Submit(const ServerLogin& login, const std::string& sender,
                        const std::vector<std::string>& recipients, std::string_view message,
                        std::string& error)
{
    if (recipients.empty()) {
        error = "no recipients";
        return false;
    }
    TlsConnection connection;
    const bool implicitTls =
        implicitTlsChoice < 0 ? login.port == kImplicitTlsPort : implicitTlsChoice == 1;
    bool ok = connection.Connect(login.host, login.port, kSmtpTimeoutMs, error);
    if (ok && implicitTls)
        ok = connection.Handshake(login.host, error);
    if (ok) {
        const StartTls startTls = [&](std::string& tlsError) {
            return connection.Handshake(login.host, tlsError);
        };
        ok = RunDialogue(connection, implicitTls, startTls, login, sender, recipients, message,
                         error);
    }
    connection.Close();
    return ok;
}

bool SmtpClient::RunDialogue(ByteStream& connection, bool implicitTls, const StartTls& startTls,
                             const ServerLogin& login, const std::string& sender,
                             const std::vector<std::string>& recipients, std::string_view message,
                             std::string& error)
{
    if (recipients.empty()) {
        error = "no recipients";
        return false;
    }
    if (!IsSafeEnvelopeAddress(sender)) {
        error = "sender address contains a line break or angle bracket: " + Printable(sender);
        return false;
    }
    for (const std::string& recipient : recipients) {
        if (!IsSafeEnvelopeAddress(recipient)) {
            error = "recipient address contains a line break or angle bracket: "
                    + Printable(recipient);
            return false;
        }
    }

    stream = &connection;
    rx.clear();
    lastCode = 0;
    lastText.clear();

    if (!SmtpCommand({}, 2, error) || !SmtpCommand("EHLO postern.local", 2, error))
        return false;
    if (!implicitTls) {
        if (!SmtpCommand("STARTTLS", 2, error))
            return false;
        // Nothing may follow the go-ahead before the handshake. Bytes that
        // did were put there by someone on the path, to be read later as
        // replies that seem to come over TLS (RFC 3207 section 5).
        if (!rx.empty()) {
            error = "SMTP server sent unexpected data after its STARTTLS reply";
            return false;
        }
        if (!startTls(error))
            return false;
        if (!SmtpCommand("EHLO postern.local", 2, error))
            return false;
    }
    if (!Authenticate(login, error))
        return false;
    if (!SmtpCommand("MAIL FROM:<" + sender + ">", 2, error))
        return false;
    for (const std::string& recipient : recipients) {
        if (!SmtpCommand("RCPT TO:<" + recipient + ">", 2, error))
            return false;
    }
    if (!SmtpCommand("DATA", 3, error))
        return false;
    if (!SendAndExpect(DotStuff(message), 2, error))
        return false;
    std::string ignored;
    (void)SmtpCommand("QUIT", 2, ignored);
    return true;
}

bool SmtpClient::Authenticate(const ServerLogin& login, std::string& error)
{
    if (!login.accessToken.empty()) {
        const std::string sasl =
            "user=" + login.user + "\x01" + "auth=Bearer " + login.accessToken + "\x01\x01";
        if (SmtpCommand("AUTH XOAUTH2 " + Base64Encode(sasl), 2, error))
            return true;
        if (!replyMismatch)
            return false;
        std::string reply = lastText;
        if (lastCode == 334) {
            // The refusal comes as a challenge carrying the error details;
            // the client must answer it (empty) to get the final reply.
            std::string ignored;
            if (SendAndExpect("\r\n", 2, ignored) || replyMismatch)
                reply = lastText;
        }
        error = "SMTP OAuth sign-in rejected: " + std::string(TrimAsciiSpace(reply));
        return false;
    }
    std::string sasl;
    sasl.push_back('\0');
    sasl += login.user;
    sasl.push_back('\0');
    sasl += login.password;
    if (SmtpCommand("AUTH PLAIN " + Base64Encode(sasl), 2, error))
        return true;
    if (replyMismatch)
        error = "SMTP sign-in rejected: " + std::string(TrimAsciiSpace(lastText));
    return false;
}

bool SmtpClient::SmtpCommand(std::string_view text, int expectedClass, std::string& error)
{
    if (text.empty())
        return Expect(expectedClass, error);
    std::string line;
    line.reserve(text.size() + 2);
    line.append(text);
    line.append("\r\n");
    return SendAndExpect(line, expectedClass, error);
}

bool SmtpClient::SendAndExpect(std::string_view bytes, int expectedClass, std::string& error)
{
    replyMismatch = false;
    if (!stream->Send(bytes, error))
        return false;
    return Expect(expectedClass, error);
}

bool SmtpClient::Expect(int expectedClass, std::string& error)
{
    replyMismatch = false;
    if (!ReadReply(error))
        return false;
    if (lastCode / 100 == expectedClass)
        return true;
    replyMismatch = true;
    error = "SMTP error: " + std::string(TrimAsciiSpace(lastText));
    return false;
}

bool SmtpClient::ReadReply(std::string& error)
{
    lastText.clear();
    // Lines are consumed by moving this offset; rx is compacted once per
    // receive, so a burst of many short lines costs no repeated erasing.
    std::size_t consumed = 0;
    std::size_t scanned = 0;
    for (;;) {
        const std::size_t lf = rx.find('\n', scanned);
        if (lf != std::string::npos) {
            std::string_view line(rx.data() + consumed, lf - consumed);
            if (!line.empty() && line.back() == '\r')
                line.remove_suffix(1);
            lastText.append(line);
            lastText.push_back('\n');
            consumed = scanned = lf + 1;
            if (line.size() < 4 || line[3] != '-') {
                lastCode = LeadingNumber(line);
                rx.erase(0, consumed);
                return true;
            }
            if (lastText.size() > kMaxReplyText) {
                error = "SMTP reply too long";
                return false;
            }
            continue;
        }
        rx.erase(0, consumed);
        consumed = 0;
        if (rx.size() > kMaxReplyLine) {
            error = "SMTP reply line too long";
            return false;
        }
        scanned = rx.size();
        char buffer[kReceiveChunk];
        std::string transportError;
        const int got = stream->Receive(buffer, kReceiveChunk, transportError);
        if (got == -2) {
            error = "SMTP " + ServerSilenceText(kSmtpTimeoutMs);
            return false;
        }
        if (got < 1) {
            error = transportError.empty() ? "SMTP connection closed" : transportError;
            return false;
        }
        rx.append(buffer, static_cast<std::size_t>(got));
    }
}

} // namespace postern
