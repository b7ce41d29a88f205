// A UiPort for tests: records go into a queue that the test thread drains in
// place of a message loop. Closing it is the window going away: later
// records are freed on arrival, as the Win32 port does.
#pragma once

#include "app/UiPort.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>

namespace postern::test {

class QueuedUiPort final : public UiPort {
public:
    void Post(std::unique_ptr<ResultRecord> record) override
    {
        {
            const std::lock_guard<std::mutex> guard(mutex_);
            if (closed_ || !record)
                return;
            queue_.push_back(std::move(record));
        }
        arrived_.notify_all();
    }

    void Repaint() override { ++repaints_; }

    // The next record, or nullptr when none came before the deadline.
    std::unique_ptr<ResultRecord> Next(std::chrono::milliseconds limit)
    {
        std::unique_lock<std::mutex> guard(mutex_);
        if (!arrived_.wait_for(guard, limit, [this] { return !queue_.empty(); }))
            return nullptr;
        std::unique_ptr<ResultRecord> record = std::move(queue_.front());
        queue_.pop_front();
        return record;
    }

    void Close()
    {
        std::deque<std::unique_ptr<ResultRecord>> left;
        {
            const std::lock_guard<std::mutex> guard(mutex_);
            closed_ = true;
            left.swap(queue_);
        }
    }

    // UI thread only, like Repaint itself.
    [[nodiscard]] int Repaints() const { return repaints_; }

private:
    std::mutex mutex_;
    std::condition_variable arrived_;
    std::deque<std::unique_ptr<ResultRecord>> queue_;
    bool closed_ = false;
    int repaints_ = 0;
};

} // namespace postern::test
