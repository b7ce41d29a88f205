// Live probes: a server counts only when it greets over the connection the
// account will use. One receive, no commands, closed at once.
#include "account/Autodetect.h"

#include "platform/TlsConnection.h"

namespace postern {

namespace {

constexpr int kGreetingBytes = 511;

std::string ReceiveOnce(TlsConnection& connection)
{
    char buffer[kGreetingBytes];
    std::string error;
    const int got = connection.Receive(buffer, kGreetingBytes, error);
    return got > 0 ? std::string(buffer, static_cast<std::size_t>(got)) : std::string();
}

bool StartsWith(std::string_view text, std::string_view prefix)
{
    return text.substr(0, prefix.size()) == prefix;
}

} // namespace

bool ProbeImap(const std::string& host, uint32_t port, uint32_t timeoutMs)
{
    TlsConnection connection;
    std::string error;
    bool answered = false;
    if (connection.Connect(host, port, timeoutMs, error) && connection.Handshake(host, error)) {
        const std::string greeting = ReceiveOnce(connection);
        answered = StartsWith(greeting, "* OK") || StartsWith(greeting, "* PREAUTH");
    }
    connection.Close();
    return answered;
}

bool ProbeSmtp(const std::string& host, uint32_t port, bool implicitTls, uint32_t timeoutMs)
{
    TlsConnection connection;
    std::string error;
    bool answered = false;
    if (connection.Connect(host, port, timeoutMs, error) && (!implicitTls || connection.Handshake(host, error))) {
        const std::string greeting = ReceiveOnce(connection);
        answered = greeting.size() >= 3 && StartsWith(greeting, "220");
    }
    connection.Close();
    return answered;
}

bool ProbeSmtp(const std::string& host, uint32_t port)
{
    return ProbeSmtp(host, port, port == kSmtpsPort);
}

} // namespace postern
