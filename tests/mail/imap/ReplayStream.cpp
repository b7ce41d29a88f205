#include "ReplayStream.h"

#include <algorithm>
#include <cstring>

namespace postern::test {

namespace {

std::string Printable(std::string_view bytes)
{
    std::string out;
    for (char c : bytes.substr(0, 200)) {
        if (c == '\r')
            out += "\\r";
        else if (c == '\n')
            out += "\\n";
        else
            out += c;
    }
    return out;
}

} // namespace

ReplayStream::ReplayStream(std::vector<ReplayStep> steps, size_t split)
    : script(std::move(steps)), splitAt(split)
{
}

bool ReplayStream::Send(std::string_view data, std::string& error)
{
    while (!data.empty()) {
        if (step >= script.size() || script[step].kind != ReplayStep::Client) {
            if (mismatch.empty())
                mismatch = "client sent \"" + Printable(data) + "\" where the script has no client step";
            error = "replay: unexpected send";
            return false;
        }
        const std::string& expected = script[step].bytes;
        const size_t n = std::min(data.size(), expected.size() - offset);
        if (data.substr(0, n) != std::string_view(expected).substr(offset, n)) {
            if (mismatch.empty())
                mismatch = "client sent \"" + Printable(data) + "\", script expects \"" +
                           Printable(std::string_view(expected).substr(offset)) + "\"";
            error = "replay: unexpected send";
            return false;
        }
        offset += n;
        data.remove_prefix(n);
        if (offset == expected.size()) {
            ++step;
            offset = 0;
        }
    }
    return true;
}

int ReplayStream::Receive(char* buffer, int capacity, std::string& error)
{
    if (step >= script.size())
        return 0; // the script is over: the server closes
    const ReplayStep& current = script[step];
    if (current.kind == ReplayStep::Timeout) {
        ++step;
        return -2;
    }
    if (current.kind == ReplayStep::Client) {
        if (mismatch.empty())
            mismatch = "client reads while the script expects it to send \"" + Printable(current.bytes) + "\"";
        error = "replay: client reads before sending";
        return -1;
    }
    size_t end = current.bytes.size();
    if (splitAt > 0 && offset < splitAt && splitAt < end)
        end = splitAt;
    const size_t n = std::min(end - offset, static_cast<size_t>(capacity));
    std::memcpy(buffer, current.bytes.data() + offset, n);
    offset += n;
    delivered += n;
    if (offset == current.bytes.size()) {
        ++step;
        offset = 0;
    }
    return static_cast<int>(n);
}

size_t LongestServerStep(const std::vector<ReplayStep>& script)
{
    size_t longest = 0;
    for (const ReplayStep& s : script) {
        if (s.kind == ReplayStep::Server)
            longest = std::max(longest, s.bytes.size());
    }
    return longest;
}

} // namespace postern::test
