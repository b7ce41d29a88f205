// TlsConnection: a blocking TCP connection that can be switched to client TLS
// at any moment. It knows nothing of lines or protocols; time limits come from
// socket time-outs. Each platform backend implements it: Schannel on Windows,
// OpenSSL elsewhere. Both validate the server's chain, then the host name by
// the rule they share (CertificateNames.h). A failed handshake closes the
// connection.
#pragma once

#include "platform/ByteStream.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace postern {

class TlsConnection final : public ByteStream {
public:
    TlsConnection();
    ~TlsConnection() override;
    TlsConnection(TlsConnection&& other) noexcept;
    TlsConnection& operator=(TlsConnection&& other) noexcept;
    TlsConnection(const TlsConnection&) = delete;
    TlsConnection& operator=(const TlsConnection&) = delete;

    // Resolves host and connects to the first address that accepts, with send
    // and receive time-outs of timeoutMs. Does not close an earlier socket.
    [[nodiscard]] bool Connect(const std::string& host, uint32_t port, uint32_t timeoutMs,
                               std::string& error);

    // Client handshake with host as the TLS target name; afterwards Send and
    // Receive go through TLS. On failure the connection is closed: nothing
    // can be sent on it any more, in plain text least of all. Bytes the server sent after its last handshake
    // message are kept for the first Receive.
    [[nodiscard]] bool Handshake(const std::string& host, std::string& error);

    [[nodiscard]] bool Send(std::string_view data, std::string& error) override;
    [[nodiscard]] int Receive(char* buffer, int capacity, std::string& error) override;

    void SetReceiveTimeout(uint32_t milliseconds);

    // Shuts the socket down in both directions so that a Receive blocked in
    // another thread returns. The only call that may come from another thread.
    void Abort();

    // Releases everything; safe to repeat and on a never-connected object.
    void Close();

    [[nodiscard]] bool IsConnected() const;
    [[nodiscard]] bool IsTlsActive() const;

    struct State; // defined by the backend

private:
    std::unique_ptr<State> state;
};

} // namespace postern
