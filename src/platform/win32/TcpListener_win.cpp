// TcpListener over Winsock.
#include "platform/TcpListener.h"

#include "platform/win32/WinsockStartup_win.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <utility>

namespace postern {

namespace {

class UniqueSocket {
public:
    UniqueSocket() = default;
    explicit UniqueSocket(SOCKET s) : handle(s) {}
    ~UniqueSocket() { Reset(); }
    UniqueSocket(UniqueSocket&& other) noexcept : handle(std::exchange(other.handle, INVALID_SOCKET)) {}
    UniqueSocket& operator=(UniqueSocket&& other) noexcept
    {
        if (this != &other) {
            Reset();
            handle = std::exchange(other.handle, INVALID_SOCKET);
        }
        return *this;
    }
    UniqueSocket(const UniqueSocket&) = delete;
    UniqueSocket& operator=(const UniqueSocket&) = delete;

    [[nodiscard]] SOCKET Get() const { return handle; }
    [[nodiscard]] bool Valid() const { return handle != INVALID_SOCKET; }
    void Reset()
    {
        if (handle != INVALID_SOCKET)
            closesocket(handle);
        handle = INVALID_SOCKET;
    }

private:
    SOCKET handle = INVALID_SOCKET;
};

void SetTimeouts(SOCKET s, uint32_t milliseconds)
{
    const DWORD value = milliseconds;
    (void)setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&value), sizeof value);
    (void)setsockopt(s, SOL_SOCKET, SO_SNDTIMEO, reinterpret_cast<const char*>(&value), sizeof value);
}

class AcceptedConnection final : public ByteStream {
public:
    explicit AcceptedConnection(UniqueSocket s) : socket(std::move(s)) {}

    bool Send(std::string_view data, std::string& error) override
    {
        std::size_t done = 0;
        while (done < data.size()) {
            const std::size_t left = data.size() - done;
            const int chunk = left > 0x10000 ? 0x10000 : static_cast<int>(left);
            const int sent = send(socket.Get(), data.data() + done, chunk, 0);
            if (sent <= 0) {
                error = "send failed";
                return false;
            }
            done += static_cast<std::size_t>(sent);
        }
        return true;
    }

    int Receive(char* buffer, int capacity, std::string& error) override
    {
        const int got = recv(socket.Get(), buffer, capacity, 0);
        if (got >= 0)
            return got;
        if (WSAGetLastError() == WSAETIMEDOUT)
            return -2;
        error = "receive failed";
        return -1;
    }

private:
    UniqueSocket socket;
};

} // namespace

struct TcpListener::State {
    UniqueSocket socket;
    uint16_t port = 0;
};

TcpListener::TcpListener() : state(std::make_unique<State>()) {}
TcpListener::~TcpListener() = default;

bool TcpListener::Listen(uint16_t port, std::string& error)
{
    Close();
    if (!EnsureWinsockStarted()) {
        error = "socket() failed";
        return false;
    }
    UniqueSocket s(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
    if (!s.Valid()) {
        error = "socket() failed";
        return false;
    }
    // Without exclusive use another program could bind the same port and
    // take the browser's redirect, code and all.
    const BOOL exclusive = TRUE;
    (void)setsockopt(s.Get(), SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&exclusive),
                     sizeof exclusive);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int length = sizeof address;
    if (bind(s.Get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || listen(s.Get(), 1) != 0
        || getsockname(s.Get(), reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        error = "failed to open loopback listener";
        return false;
    }
    state->socket = std::move(s);
    state->port = ntohs(address.sin_port);
    return true;
}

uint16_t TcpListener::Port() const
{
    return state->port;
}

int TcpListener::Accept(uint32_t waitMs, uint32_t ioTimeoutMs, std::unique_ptr<ByteStream>& connection,
                        std::string& error)
{
    if (!state->socket.Valid()) {
        error = "accept failed";
        return -1;
    }
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(state->socket.Get(), &readable);
    timeval limit{};
    limit.tv_sec = static_cast<long>(waitMs / 1000);
    limit.tv_usec = static_cast<long>((waitMs % 1000) * 1000);
    const int ready = select(0, &readable, nullptr, nullptr, &limit);
    if (ready == 0)
        return 0;
    if (ready < 0) {
        error = "accept failed";
        return -1;
    }
    UniqueSocket accepted(accept(state->socket.Get(), nullptr, nullptr));
    if (!accepted.Valid()) {
        error = "accept failed";
        return -1;
    }
    SetTimeouts(accepted.Get(), ioTimeoutMs);
    connection = std::make_unique<AcceptedConnection>(std::move(accepted));
    return 1;
}

void TcpListener::Close()
{
    state->socket.Reset();
    state->port = 0;
}

} // namespace postern
