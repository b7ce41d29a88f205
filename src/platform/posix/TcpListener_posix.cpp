// TcpListener over BSD sockets.
#include "platform/TcpListener.h"

#include "platform/posix/UniqueFd.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>

#include <cerrno>

namespace postern {

namespace {

void SetTimeouts(int fd, uint32_t milliseconds)
{
    timeval tv{};
    tv.tv_sec = static_cast<time_t>(milliseconds / 1000);
    tv.tv_usec = static_cast<suseconds_t>((milliseconds % 1000) * 1000);
    (void)::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
    (void)::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
}

class AcceptedConnection final : public ByteStream {
public:
    explicit AcceptedConnection(posix::UniqueFd fd) : fd(std::move(fd)) {}

    bool Send(std::string_view data, std::string& error) override
    {
        std::size_t done = 0;
        while (done < data.size()) {
            const ssize_t sent = ::send(fd.Get(), data.data() + done, data.size() - done, MSG_NOSIGNAL);
            if (sent < 0 && errno == EINTR)
                continue;
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
        for (;;) {
            const ssize_t got = ::recv(fd.Get(), buffer, static_cast<std::size_t>(capacity), 0);
            if (got >= 0)
                return static_cast<int>(got);
            if (errno == EINTR)
                continue;
            if (errno == EAGAIN || errno == EWOULDBLOCK)
                return -2;
            error = "receive failed";
            return -1;
        }
    }

private:
    posix::UniqueFd fd;
};

} // namespace

struct TcpListener::State {
    posix::UniqueFd fd;
    uint16_t port = 0;
};

TcpListener::TcpListener() : state(std::make_unique<State>()) {}
TcpListener::~TcpListener() = default;

bool TcpListener::Listen(uint16_t port, std::string& error)
{
    Close();
    posix::UniqueFd fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (!fd.Valid()) {
        error = "socket() failed";
        return false;
    }
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (::bind(fd.Get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0
        || ::listen(fd.Get(), 1) != 0
        || ::getsockname(fd.Get(), reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        error = "failed to open loopback listener";
        return false;
    }
    state->fd = std::move(fd);
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
    if (!state->fd.Valid()) {
        error = "accept failed";
        return -1;
    }
    pollfd entry{state->fd.Get(), POLLIN, 0};
    int ready = 0;
    do {
        ready = ::poll(&entry, 1, static_cast<int>(waitMs > 0x7fffffffu ? 0x7fffffffu : waitMs));
    } while (ready < 0 && errno == EINTR);
    if (ready == 0)
        return 0;
    if (ready < 0) {
        error = "accept failed";
        return -1;
    }
    posix::UniqueFd accepted(::accept4(state->fd.Get(), nullptr, nullptr, SOCK_CLOEXEC));
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
    state->fd.Reset();
    state->port = 0;
}

} // namespace postern
