#include "app/JobQueue.h"

#include <exception>
#include <system_error>
#include <utility>

namespace postern {

JobQueue::~JobQueue()
{
    Stop();
}

void JobQueue::SetFailureHandler(FailureHandler handler)
{
    const std::lock_guard<std::mutex> guard(lock_);
    if (!started_)
        onFailure_ = std::move(handler);
}

bool JobQueue::Start(std::string& error)
{
    const std::lock_guard<std::mutex> guard(lock_);
    if (started_ || stop_) {
        error = "the job worker was already started";
        return false;
    }
    try {
        worker_ = std::thread([this] { WorkerLoop(); });
    } catch (const std::system_error& e) {
        error = std::string("cannot start the job worker: ") + e.what();
        return false;
    }
    started_ = true;
    return true;
}

void JobQueue::Stop()
{
    std::deque<WorkerJob> dropped;
    std::deque<WorkerJob> droppedPriority;
    {
        const std::lock_guard<std::mutex> guard(lock_);
        stop_ = true;
        // Jobs are destroyed outside the lock: a job's destructor may be
        // arbitrary code, and it must not run while producers are blocked.
        dropped.swap(normalLane_);
        droppedPriority.swap(priorityLane_);
    }
    wake_.notify_all();
    if (worker_.joinable() && worker_.get_id() != std::this_thread::get_id())
        worker_.join();
}

void JobQueue::EnqueueNormal(WorkerJob job)
{
    Enqueue(normalLane_, std::move(job));
}

void JobQueue::EnqueuePriority(WorkerJob job)
{
    Enqueue(priorityLane_, std::move(job));
}

void JobQueue::Enqueue(std::deque<WorkerJob>& lane, WorkerJob job)
{
    {
        const std::lock_guard<std::mutex> guard(lock_);
        if (stop_)
            return; // `job` is destroyed on the way out, after the unlock
        lane.push_back(std::move(job));
    }
    wake_.notify_one();
}

bool JobQueue::PriorityWaiting() const
{
    const std::lock_guard<std::mutex> guard(lock_);
    return stop_ || !priorityLane_.empty();
}

void JobQueue::WorkerLoop()
{
    for (;;) {
        WorkerJob job;
        {
            std::unique_lock<std::mutex> guard(lock_);
            wake_.wait(guard, [this] { return stop_ || !priorityLane_.empty() || !normalLane_.empty(); });
            if (stop_)
                return;
            std::deque<WorkerJob>& lane = priorityLane_.empty() ? normalLane_ : priorityLane_;
            job = std::move(lane.front());
            lane.pop_front();
        }
        RunJob(job);
        // The job and what it owns go before the next one is taken.
        job = WorkerJob();
    }
}

void JobQueue::RunJob(WorkerJob& job)
{
    try {
        job();
    } catch (const std::exception& e) {
        ReportFailure(e.what());
    } catch (...) {
        ReportFailure("unknown failure");
    }
}

void JobQueue::ReportFailure(std::string_view what) noexcept
{
    // Set before Start and never changed afterwards, so the worker reads it
    // without the lock.
    if (!onFailure_)
        return;
    try {
        onFailure_(what);
    } catch (...) {
        // Reporting is best effort; the worker must outlive it.
    }
}

} // namespace postern
