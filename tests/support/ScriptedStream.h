// ScriptedStream: a scripted server for what no real server sends. Each
// step either expects the exact bytes the client must send next, holds bytes
// the server answers with, or makes one receive time out or fail. Server
// steps can be cut (the first splitAt bytes, then the rest; or pieces of at
// most maxChunk bytes), so one script checks that a response arriving in
// pieces reads the same as one arriving whole. After the last step the
// server has closed: every read sees the end. Safe to use from the thread
// under test while the test thread watches it.
#pragma once

#include "platform/ByteStream.h"

#include <cstddef>
#include <limits>
#include <mutex>
#include <string>
#include <vector>

namespace postern::test {

struct ScriptStep {
    enum Kind { Client, Server, Timeout, Fail } kind;
    std::string bytes; // Fail: the error text
    std::size_t repeat = 1; // Server: the bytes this many times over
};

// Script helpers: C("a LOGIN ...\r\n"), S("* OK ...\r\n"), Wait() for a
// receive time-out, Fail("connection reset") for a receive error.
inline ScriptStep C(std::string bytes) { return {ScriptStep::Client, std::move(bytes)}; }
inline ScriptStep S(std::string bytes) { return {ScriptStep::Server, std::move(bytes)}; }
inline ScriptStep Wait() { return {ScriptStep::Timeout, {}}; }
inline ScriptStep Fail(std::string error) { return {ScriptStep::Fail, std::move(error)}; }
// The server sends bytes `times` times over, produced as they are read, so
// a flood of a million lines costs the test no memory.
inline ScriptStep Many(std::string bytes, std::size_t times) { return {ScriptStep::Server, std::move(bytes), times}; }

// Server steps only, one per reply.
[[nodiscard]] std::vector<ScriptStep> Replies(const std::vector<std::string>& replies);

class ScriptedStream : public ByteStream {
public:
    // splitAt > 0 delivers every server step as its first splitAt bytes and
    // then the rest (in two reads).
    explicit ScriptedStream(std::vector<ScriptStep> script, std::size_t splitAt = 0);

    // Every server step in pieces of at most maxChunk bytes.
    void CutInto(std::size_t maxChunk) { maxChunk_ = maxChunk; }
    // The script holds no client steps and sends are only recorded, for
    // clients that pipeline and are checked by their whole transcript.
    void RecordSendsOnly() { checkSends_ = false; }
    // Every send fails with this error.
    void FailSends(std::string error) { sendError_ = std::move(error); }

    [[nodiscard]] bool Send(std::string_view data, std::string& error) override;
    [[nodiscard]] int Receive(char* buffer, int capacity, std::string& error) override;

    // Empty when the client sent exactly what the script expects so far;
    // else what went wrong first.
    [[nodiscard]] std::string Mismatch() const;
    // True when every step was played.
    [[nodiscard]] bool Finished() const;
    [[nodiscard]] std::size_t BytesReceivedByClient() const;
    // Everything the client sent.
    [[nodiscard]] std::string Sent() const;
    // Reads after the last step (each sees the connection closed).
    [[nodiscard]] int ReadsAfterEnd() const;

private:
    mutable std::mutex mutex_;
    std::vector<ScriptStep> script_;
    std::size_t splitAt_;
    std::size_t maxChunk_ = std::numeric_limits<std::size_t>::max();
    bool checkSends_ = true;
    std::string sendError_;
    std::size_t step_ = 0;
    std::size_t offset_ = 0; // within the current step
    std::size_t repeated_ = 0; // times the current step was sent whole
    std::size_t delivered_ = 0;
    std::string sent_;
    std::string mismatch_;
    int readsAfterEnd_ = 0;
};

// CR and LF spelled as \r and \n, for messages about protocol text.
[[nodiscard]] std::string Visible(std::string_view bytes);

// Longest server step of a script: the split offsets worth trying.
[[nodiscard]] std::size_t LongestServerStep(const std::vector<ScriptStep>& script);

} // namespace postern::test
