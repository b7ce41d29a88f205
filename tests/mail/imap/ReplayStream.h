// ReplayStream: a scripted IMAP server for what no real server sends. Each
// step either expects the exact bytes the client must send next or holds
// bytes the server answers with. Server steps can be cut at a given offset,
// so one script checks that a response arriving in two pieces reads the
// same as one arriving whole.
#pragma once

#include "platform/ByteStream.h"

#include <string>
#include <vector>

namespace postern::test {

struct ReplayStep {
    enum Kind { Client, Server, Timeout } kind;
    std::string bytes;
};

// Script helpers: C("a LOGIN ...\r\n"), S("* OK ...\r\n"), Wait() for a
// receive time-out.
inline ReplayStep C(std::string bytes) { return {ReplayStep::Client, std::move(bytes)}; }
inline ReplayStep S(std::string bytes) { return {ReplayStep::Server, std::move(bytes)}; }
inline ReplayStep Wait() { return {ReplayStep::Timeout, {}}; }

class ReplayStream final : public ByteStream {
public:
    // splitAt > 0 delivers every server step as its first splitAt bytes and
    // then the rest (in two Receive calls).
    explicit ReplayStream(std::vector<ReplayStep> script, size_t splitAt = 0);

    [[nodiscard]] bool Send(std::string_view data, std::string& error) override;
    [[nodiscard]] int Receive(char* buffer, int capacity, std::string& error) override;

    // Empty when the client sent exactly what the script expects so far;
    // else what went wrong first.
    [[nodiscard]] const std::string& Mismatch() const { return mismatch; }
    // True when every step was played.
    [[nodiscard]] bool Finished() const { return step == script.size(); }
    [[nodiscard]] size_t BytesReceivedByClient() const { return delivered; }

private:
    std::vector<ReplayStep> script;
    size_t splitAt;
    size_t step = 0;
    size_t offset = 0; // within the current step
    size_t delivered = 0;
    std::string mismatch;
};

// Longest server step of a script: the split offsets worth trying.
[[nodiscard]] size_t LongestServerStep(const std::vector<ReplayStep>& script);

} // namespace postern::test
