// Bounded waiting for the tests of threaded code: every wait has a deadline,
// so a lost wake-up fails the test instead of hanging it.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace postern::test {

inline constexpr std::chrono::seconds kWaitLimit{20};

// A one-way signal between threads.
class Gate {
public:
    void Open()
    {
        {
            const std::lock_guard<std::mutex> guard(mutex_);
            open_ = true;
        }
        changed_.notify_all();
    }

    // False when the deadline passed first.
    [[nodiscard]] bool Wait(std::chrono::milliseconds limit = kWaitLimit)
    {
        std::unique_lock<std::mutex> guard(mutex_);
        return changed_.wait_for(guard, limit, [this] { return open_; });
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    bool open_ = false;
};

// Polls `condition` until it holds or the deadline passes; `every` spaces
// out conditions that ask a server.
template <typename Condition>
[[nodiscard]] bool PollUntil(Condition condition, std::chrono::milliseconds limit = kWaitLimit,
                             std::chrono::milliseconds every = std::chrono::milliseconds(1))
{
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(every);
    }
    return true;
}

} // namespace postern::test
