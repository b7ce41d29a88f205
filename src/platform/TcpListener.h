// A TCP listener on the loopback interface, for receiving the browser's
// redirect at the end of an interactive sign-in. Only 127.0.0.1 is ever
// bound: nothing outside this machine may reach it.
#pragma once

#include "platform/ByteStream.h"

#include <cstdint>
#include <memory>
#include <string>

namespace postern {

class TcpListener {
public:
    TcpListener();
    ~TcpListener();
    TcpListener(const TcpListener&) = delete;
    TcpListener& operator=(const TcpListener&) = delete;

    // Binds 127.0.0.1:port (0: the system picks a free port) with a backlog
    // of one. Error texts: "socket() failed", "failed to open loopback listener".
    [[nodiscard]] bool Listen(uint16_t port, std::string& error);

    // The bound port; 0 before Listen succeeded or after Close.
    [[nodiscard]] uint16_t Port() const;

    // Waits up to waitMs for one connection. 1: connected, with send and
    // receive time-outs of ioTimeoutMs on it; 0: nobody came in time; -1:
    // failure ("accept failed"). The listener stays open either way.
    [[nodiscard]] int Accept(uint32_t waitMs, uint32_t ioTimeoutMs,
                             std::unique_ptr<ByteStream>& connection, std::string& error);

    // Stops listening: later connection attempts are refused. Safe to repeat.
    void Close();

    struct State; // defined by the backend

private:
    std::unique_ptr<State> state;
};

} // namespace postern
