// `postern-cli probe HOST PORT [--starttls-smtp] [--ca FILE]`: connects,
// performs the TLS handshake (after the SMTP greeting and STARTTLS exchange
// when asked) and prints the server's first line. The diagnostic to run when
// an account does not connect.
#include "cli/Command.h"
#include "cli/TrustOption.h"

#include "platform/TlsConnection.h"

#include <cstdio>
#include <string>

namespace postern::cli {

namespace {

constexpr uint32_t kTimeoutMs = 30000;
constexpr std::size_t kMaxLine = 4096;

// Reads one line (without CR LF). Bytes after the line end stay in pending:
// the caller decides whether they may be used.
bool ReadLine(TlsConnection& connection, std::string& pending, std::string& line, std::string& error)
{
    for (;;) {
        const std::size_t end = pending.find('\n');
        if (end != std::string::npos) {
            line = pending.substr(0, end);
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            pending.erase(0, end + 1);
            return true;
        }
        if (pending.size() > kMaxLine) {
            error = "line too long";
            return false;
        }
        char buffer[1024];
        const int got = connection.Receive(buffer, sizeof buffer, error);
        if (got == -2) {
            error = "no answer within the time limit";
            return false;
        }
        if (got == 0) {
            error = "connection closed by the server";
            return false;
        }
        if (got < 0)
            return false;
        pending.append(buffer, static_cast<std::size_t>(got));
    }
}

// Reads an SMTP reply (possibly multi-line) and returns its last line.
bool ReadSmtpReply(TlsConnection& connection, std::string& pending, std::string& last, std::string& error)
{
    for (int lines = 0; lines < 100; ++lines) {
        if (!ReadLine(connection, pending, last, error))
            return false;
        if (last.size() < 4 || last[3] != '-')
            return true;
    }
    error = "SMTP reply too long";
    return false;
}

bool StartTlsSmtp(TlsConnection& connection, std::string& greeting, std::string& error)
{
    std::string pending;
    std::string reply;
    if (!ReadSmtpReply(connection, pending, greeting, error))
        return false;
    if (greeting.rfind("220", 0) != 0) {
        error = "unexpected greeting: " + greeting;
        return false;
    }
    if (!connection.Send("EHLO postern-cli\r\n", error) || !ReadSmtpReply(connection, pending, reply, error))
        return false;
    if (!connection.Send("STARTTLS\r\n", error) || !ReadSmtpReply(connection, pending, reply, error))
        return false;
    if (reply.rfind("220", 0) != 0) {
        error = "STARTTLS refused: " + reply;
        return false;
    }
    // Anything the server sent after its go-ahead was never protected by TLS
    // and may have been injected on the way: refuse rather than read it later.
    if (!pending.empty()) {
        error = "server sent unexpected data after STARTTLS";
        return false;
    }
    return true;
}

} // namespace

int RunProbe(const Arguments& args)
{
    std::string host;
    std::string portText;
    bool starttlsSmtp = false;
    TrustOption trust;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--starttls-smtp") {
            starttlsSmtp = true;
        } else if (trust.Accepts(args, i)) {
            continue;
        } else if (host.empty()) {
            host = args[i];
        } else if (portText.empty()) {
            portText = args[i];
        } else {
            std::fprintf(stderr, "probe: unexpected argument %s\n", args[i].c_str());
            return 2;
        }
    }
    uint32_t port = 0;
    if (host.empty() || !ParsePort(portText, port)) {
        std::fputs("usage: postern-cli probe HOST PORT [--starttls-smtp] [--ca FILE]\n", stderr);
        return 2;
    }
    std::string error;
    if (!trust.Apply(error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 2;
    }

    TlsConnection connection;
    std::string firstLine;
    bool ok = connection.Connect(host, port, kTimeoutMs, error);
    if (ok && starttlsSmtp)
        ok = StartTlsSmtp(connection, firstLine, error);
    if (ok)
        ok = connection.Handshake(host, error);
    if (ok && !starttlsSmtp) {
        std::string pending;
        ok = ReadLine(connection, pending, firstLine, error);
    }
    connection.Close();
    if (!ok) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    std::printf("%s\n", firstLine.c_str());
    return 0;
}

} // namespace postern::cli
