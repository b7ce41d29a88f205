// JobQueue: the one worker thread of the main window and its two FIFO lanes.
// What the user has just asked for goes in the priority lane and overtakes
// background work still waiting in the normal lane; a job that is already
// running is never interrupted, so long background jobs ask PriorityWaiting()
// between their steps and give way on their own.
//
// Shutdown keeps the program responsive: the running job completes, queued
// jobs are dropped without running, and jobs handed in after Stop are dropped
// too. A dropped job is destroyed, so whatever it owns is released.
#pragma once

#include "app/WorkerJob.h"

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

namespace postern {

class JobQueue {
public:
    // Called on the worker thread when a job ends by an exception (an
    // allocation failure, say): the worker reports it and carries on with
    // the next job instead of taking the process down.
    using FailureHandler = std::function<void(std::string_view what)>;

    JobQueue() = default;
    ~JobQueue(); // Stop()
    JobQueue(const JobQueue&) = delete;
    JobQueue& operator=(const JobQueue&) = delete;

    // Only before Start; later calls are ignored.
    void SetFailureHandler(FailureHandler handler);

    // Starts the worker thread. Fails when it already ran or cannot start.
    [[nodiscard]] bool Start(std::string& error);

    // Sets the stop flag, wakes the worker and joins it; queued jobs are
    // dropped. Safe to call more than once, before Start, and from a job (the
    // worker then ends after that job; a later call from another thread joins).
    void Stop();

    // Any thread. After Stop the job is dropped.
    void EnqueueNormal(WorkerJob job);
    void EnqueuePriority(WorkerJob job);

    // For long jobs on the worker: true when they should end their current
    // step and give way, because interactive work waits in the priority lane
    // or because the queue is stopping (their continuation would be dropped).
    [[nodiscard]] bool PriorityWaiting() const;

private:
    void Enqueue(std::deque<WorkerJob>& lane, WorkerJob job);
    void WorkerLoop();
    void RunJob(WorkerJob& job);
    void ReportFailure(std::string_view what) noexcept;

    std::deque<WorkerJob> priorityLane_;
    std::deque<WorkerJob> normalLane_;
    mutable std::mutex lock_;
    std::condition_variable wake_;
    std::thread worker_;
    bool stop_ = false;
    bool started_ = false;
    FailureHandler onFailure_;
};

} // namespace postern
