#include "Transcript.h"

namespace postern::test {

bool RecordingStream::Send(std::string_view data, std::string& error)
{
    steps.push_back(C(std::string(data)));
    return inner.Send(data, error);
}

int RecordingStream::Receive(char* buffer, int capacity, std::string& error)
{
    const int got = inner.Receive(buffer, capacity, error);
    if (got > 0)
        steps.push_back(S(std::string(buffer, static_cast<size_t>(got))));
    else if (got == -2)
        steps.push_back(Wait());
    return got;
}

std::string FormatTranscript(const Transcript& transcript)
{
    std::string out;
    auto record = [&out](char kind, const std::string& bytes) {
        out += kind;
        out += ' ' + std::to_string(bytes.size()) + '\n' + bytes + '\n';
    };
    for (const ScriptStep& step : transcript.steps) {
        const char kind = step.kind == ScriptStep::Client ? 'C' : step.kind == ScriptStep::Server ? 'S' : 'T';
        record(kind, step.bytes);
    }
    record('R', transcript.result);
    return out;
}

bool ParseTranscript(const std::string& text, Transcript& transcript, std::string& error)
{
    transcript = Transcript();
    size_t at = 0;
    while (at < text.size()) {
        const size_t lf = text.find('\n', at);
        if (lf == std::string::npos || lf - at < 3 || text[at + 1] != ' ') {
            error = "bad record header at byte " + std::to_string(at);
            return false;
        }
        const char kind = text[at];
        size_t length = 0;
        for (size_t i = at + 2; i < lf; ++i) {
            if (text[i] < '0' || text[i] > '9' || length > 1u << 28) {
                error = "bad record length at byte " + std::to_string(at);
                return false;
            }
            length = length * 10 + static_cast<size_t>(text[i] - '0');
        }
        if (lf + 1 + length >= text.size() + 1 || text.size() - (lf + 1) < length + 1 || text[lf + 1 + length] != '\n') {
            error = "record at byte " + std::to_string(at) + " is cut short";
            return false;
        }
        std::string bytes = text.substr(lf + 1, length);
        at = lf + 1 + length + 1;
        switch (kind) {
        case 'C': transcript.steps.push_back(C(std::move(bytes))); break;
        case 'S': transcript.steps.push_back(S(std::move(bytes))); break;
        case 'T': transcript.steps.push_back(Wait()); break;
        case 'R': transcript.result = std::move(bytes); break;
        default:
            error = std::string("unknown record kind ") + kind;
            return false;
        }
    }
    return true;
}

void Redact(Transcript& transcript, const std::string& secret, const std::string& replacement)
{
    if (secret.empty())
        return;
    for (ScriptStep& step : transcript.steps) {
        if (step.kind != ScriptStep::Client)
            continue;
        for (size_t at = step.bytes.find(secret); at != std::string::npos;
             at = step.bytes.find(secret, at + replacement.size()))
            step.bytes.replace(at, secret.size(), replacement);
    }
}

} // namespace postern::test
