// Recorded sessions with real servers, kept as regression fixtures. A
// RecordingStream sits between the session and the real connection and
// notes every Send and every Receive as it happened (the arrival pieces
// too); the transcript file replays them through a ScriptedStream later.
//
// File format, binary-safe and readable: one record per step,
//   "C <length>\n" + bytes + "\n"   the client sent this
//   "S <length>\n" + bytes + "\n"   one Receive delivered this
//   "T 0\n\n"                       one Receive timed out
//   "R <length>\n" + text + "\n"    the outcome the scenario reported
#pragma once

#include "support/ScriptedStream.h"

#include "platform/ByteStream.h"

#include <filesystem>
#include <string>
#include <vector>

namespace postern::test {

class RecordingStream final : public ByteStream {
public:
    explicit RecordingStream(ByteStream& inner) : inner(inner) {}
    [[nodiscard]] bool Send(std::string_view data, std::string& error) override;
    [[nodiscard]] int Receive(char* buffer, int capacity, std::string& error) override;
    [[nodiscard]] std::vector<ScriptStep>& Steps() { return steps; }

private:
    ByteStream& inner;
    std::vector<ScriptStep> steps;
};

struct Transcript {
    std::vector<ScriptStep> steps;
    std::string result;
};

[[nodiscard]] std::string FormatTranscript(const Transcript& transcript);
[[nodiscard]] bool ParseTranscript(const std::string& text, Transcript& transcript, std::string& error);

// Replaces every occurrence of secret in the client's steps (the real
// password of the recording run) by replacement.
void Redact(Transcript& transcript, const std::string& secret, const std::string& replacement);

} // namespace postern::test
