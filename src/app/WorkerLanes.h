// WorkerLanes: the job worker's two lanes, with the worker's state handed to
// each job as its argument. The MailWorker (sessions, the worker's account
// records) is given to the lanes when the worker starts and is reachable from
// then on only inside a job, on the worker thread: code on the UI thread has
// no way to touch it by accident.
#pragma once

#include "app/JobQueue.h"

#include <memory>
#include <string>
#include <utility>

namespace postern {

class MailWorker;

class WorkerLanes {
public:
    WorkerLanes();
    ~WorkerLanes(); // Stop()
    WorkerLanes(const WorkerLanes&) = delete;
    WorkerLanes& operator=(const WorkerLanes&) = delete;

    // Only before Start.
    void SetFailureHandler(JobQueue::FailureHandler handler);

    // Hands the worker state over and starts the worker thread.
    [[nodiscard]] bool Start(std::unique_ptr<MailWorker> worker, std::string& error);

    // Joins the worker (a running job completes, queued jobs are dropped),
    // then signs every session out. Safe to call twice and before Start.
    void Stop();

    // Any thread. `job` is called as job(MailWorker&) on the worker; jobs
    // queued before Start wait for it, jobs queued after Stop are dropped.
    template <typename F>
    void Priority(F&& job)
    {
        queue_.EnqueuePriority(Bind(std::forward<F>(job)));
    }
    template <typename F>
    void Normal(F&& job)
    {
        queue_.EnqueueNormal(Bind(std::forward<F>(job)));
    }

    // For long jobs: interactive work waits, or the worker is stopping.
    [[nodiscard]] bool PriorityWaiting() const { return queue_.PriorityWaiting(); }

private:
    template <typename F>
    WorkerJob Bind(F&& job)
    {
        // The worker is set before the thread starts and released only
        // after it has been joined, so reading it inside a job is safe.
        return [this, job = std::forward<F>(job)]() mutable { job(*worker_); };
    }

    JobQueue queue_;
    std::unique_ptr<MailWorker> worker_;
};

} // namespace postern
