// A queue of records between threads, for the places that stand in for a
// window's message queue: the headless engine of `postern-cli check`, the
// tests and the benchmarks. Any thread pushes; one thread takes.
#pragma once

#include "app/ResultRecords.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>

namespace postern {

class RecordQueue {
public:
    // False (and the record freed) once the queue is closed.
    bool Push(std::unique_ptr<ResultRecord> record)
    {
        {
            const std::lock_guard<std::mutex> guard(mutex_);
            if (closed_ || !record)
                return false;
            queue_.push_back(std::move(record));
        }
        arrived_.notify_all();
        return true;
    }

    // The next record, or nullptr when none came before the deadline.
    std::unique_ptr<ResultRecord> Next(std::chrono::steady_clock::time_point deadline)
    {
        std::unique_lock<std::mutex> guard(mutex_);
        if (!arrived_.wait_until(guard, deadline, [this] { return !queue_.empty(); }))
            return nullptr;
        std::unique_ptr<ResultRecord> record = std::move(queue_.front());
        queue_.pop_front();
        return record;
    }

    std::unique_ptr<ResultRecord> Next(std::chrono::milliseconds limit)
    {
        return Next(std::chrono::steady_clock::now() + limit);
    }

    // Frees what is queued; later pushes are refused.
    void Close()
    {
        std::deque<std::unique_ptr<ResultRecord>> left;
        const std::lock_guard<std::mutex> guard(mutex_);
        closed_ = true;
        left.swap(queue_);
    }

private:
    std::mutex mutex_;
    std::condition_variable arrived_;
    std::deque<std::unique_ptr<ResultRecord>> queue_;
    bool closed_ = false;
};

} // namespace postern
