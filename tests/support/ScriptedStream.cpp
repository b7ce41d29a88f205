#include "support/ScriptedStream.h"

#include <algorithm>
#include <cstring>

namespace postern::test {

std::string Visible(std::string_view bytes)
{
    std::string out;
    for (char c : bytes) {
        if (c == '\r')
            out += "\\r";
        else if (c == '\n')
            out += "\\n";
        else
            out += c;
    }
    return out;
}

namespace {

// Enough of the bytes to recognise them in a mismatch.
std::string Printable(std::string_view bytes)
{
    return Visible(bytes.substr(0, 200));
}

} // namespace

std::vector<ScriptStep> Replies(const std::vector<std::string>& replies)
{
    std::vector<ScriptStep> script;
    for (const std::string& reply : replies)
        script.push_back(S(reply));
    return script;
}

ScriptedStream::ScriptedStream(std::vector<ScriptStep> script, std::size_t splitAt)
    : script_(std::move(script)), splitAt_(splitAt)
{
}

bool ScriptedStream::Send(std::string_view data, std::string& error)
{
    const std::lock_guard<std::mutex> lock(mutex_);
    if (!sendError_.empty()) {
        error = sendError_;
        return false;
    }
    sent_.append(data);
    if (!checkSends_)
        return true;
    while (!data.empty()) {
        if (step_ >= script_.size() || script_[step_].kind != ScriptStep::Client) {
            if (mismatch_.empty())
                mismatch_ = "client sent \"" + Printable(data) + "\" where the script has no client step";
            error = "scripted: unexpected send";
            return false;
        }
        const std::string& expected = script_[step_].bytes;
        const std::size_t n = std::min(data.size(), expected.size() - offset_);
        if (data.substr(0, n) != std::string_view(expected).substr(offset_, n)) {
            if (mismatch_.empty())
                mismatch_ = "client sent \"" + Printable(data) + "\", script expects \"" +
                            Printable(std::string_view(expected).substr(offset_)) + "\"";
            error = "scripted: unexpected send";
            return false;
        }
        offset_ += n;
        data.remove_prefix(n);
        if (offset_ == expected.size()) {
            ++step_;
            offset_ = 0;
        }
    }
    return true;
}

int ScriptedStream::Receive(char* buffer, int capacity, std::string& error)
{
    const std::lock_guard<std::mutex> lock(mutex_);
    if (step_ >= script_.size()) {
        ++readsAfterEnd_;
        return 0; // the script is over: the server closes
    }
    const ScriptStep& current = script_[step_];
    switch (current.kind) {
    case ScriptStep::Timeout:
        ++step_;
        return -2;
    case ScriptStep::Fail:
        ++step_;
        error = current.bytes;
        return -1;
    case ScriptStep::Client:
        if (mismatch_.empty())
            mismatch_ = "client reads while the script expects it to send \"" + Printable(current.bytes) + "\"";
        error = "scripted: client reads before sending";
        return -1;
    case ScriptStep::Server:
        break;
    }
    std::size_t end = current.bytes.size();
    if (splitAt_ > 0 && offset_ < splitAt_ && splitAt_ < end)
        end = splitAt_;
    const std::size_t n = std::min({end - offset_, maxChunk_, static_cast<std::size_t>(capacity)});
    std::memcpy(buffer, current.bytes.data() + offset_, n);
    offset_ += n;
    delivered_ += n;
    if (offset_ == current.bytes.size()) {
        offset_ = 0;
        if (++repeated_ >= current.repeat) {
            repeated_ = 0;
            ++step_;
        }
    }
    return static_cast<int>(n);
}

std::string ScriptedStream::Mismatch() const
{
    const std::lock_guard<std::mutex> lock(mutex_);
    return mismatch_;
}

bool ScriptedStream::Finished() const
{
    const std::lock_guard<std::mutex> lock(mutex_);
    return step_ == script_.size();
}

std::size_t ScriptedStream::BytesReceivedByClient() const
{
    const std::lock_guard<std::mutex> lock(mutex_);
    return delivered_;
}

std::string ScriptedStream::Sent() const
{
    const std::lock_guard<std::mutex> lock(mutex_);
    return sent_;
}

int ScriptedStream::ReadsAfterEnd() const
{
    const std::lock_guard<std::mutex> lock(mutex_);
    return readsAfterEnd_;
}

std::size_t LongestServerStep(const std::vector<ScriptStep>& script)
{
    std::size_t longest = 0;
    for (const ScriptStep& s : script) {
        if (s.kind == ScriptStep::Server)
            longest = std::max(longest, s.bytes.size());
    }
    return longest;
}

} // namespace postern::test
