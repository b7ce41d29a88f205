#include "app/WorkerLanes.h"

#include "app/MailWorker.h"

namespace postern {

WorkerLanes::WorkerLanes() = default;

WorkerLanes::~WorkerLanes()
{
    Stop();
}

void WorkerLanes::SetFailureHandler(JobQueue::FailureHandler handler)
{
    queue_.SetFailureHandler(std::move(handler));
}

bool WorkerLanes::Start(std::unique_ptr<MailWorker> worker, std::string& error)
{
    if (!worker || worker_) {
        error = "The worker has already started.";
        return false;
    }
    worker_ = std::move(worker);
    return queue_.Start(error);
}

void WorkerLanes::Stop()
{
    queue_.Stop();
    // The worker has ended, so its sessions are ours now.
    if (worker_)
        worker_->SignOutAll();
}

} // namespace postern
