// ByteStream: the two calls a protocol layer needs of its connection. The
// IMAP and SMTP code talk to a ByteStream, so tests can put a replayed or
// counting stream where the network would be.
#pragma once

#include <string>
#include <string_view>

namespace postern {

class ByteStream {
public:
    virtual ~ByteStream() = default;

    // Sends all of data; false with the error text on failure.
    [[nodiscard]] virtual bool Send(std::string_view data, std::string& error) = 0;

    // Delivers up to capacity bytes: the count (> 0), 0 when the peer closed,
    // -1 on error (error text set), -2 when the receive time-out elapsed
    // (error text untouched).
    [[nodiscard]] virtual int Receive(char* buffer, int capacity, std::string& error) = 0;
};

} // namespace postern
