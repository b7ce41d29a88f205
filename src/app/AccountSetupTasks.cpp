#include "app/AccountSetupTasks.h"

#include "app/ResultRecords.h"

#include <utility>

namespace postern {

AccountSetupTasks::AccountSetupTasks(UiPort& port, AutodetectSeams detection, SignInOptions signIn)
    : port_(port), detection_(std::move(detection)), signIn_(std::move(signIn))
{
}

AccountSetupTasks::~AccountSetupTasks()
{
    for (Task& task : tasks_)
        task.cancelled->store(true);
    for (Task& task : tasks_) {
        if (task.thread.joinable())
            task.thread.join();
    }
}

void AccountSetupTasks::StartDetection(uint64_t dialog, std::string address)
{
    AutodetectSeams seams = detection_;
    Start(dialog, [seams = std::move(seams), address = std::move(address)](const std::atomic<bool>& cancelled) mutable {
        // Every network step asks first; once cancelled, each is skipped as
        // if nothing answered and detection ends quickly.
        auto before = std::move(seams.beforeNetwork);
        seams.beforeNetwork = [&cancelled, before = std::move(before)](const std::string& step) {
            return !cancelled.load() && (!before || before(step));
        };
        auto record = std::make_unique<DetectionResultRecord>();
        record->ok = DetectServerSettings(seams, address, record->settings, record->error);
        return record;
    });
}

void AccountSetupTasks::StartSignIn(uint64_t dialog, std::string clientId, std::string clientSecret)
{
    SignInOptions options = signIn_;
    Start(dialog, [options = std::move(options), clientId = std::move(clientId),
                   clientSecret = std::move(clientSecret)](const std::atomic<bool>& cancelled) mutable {
        options.cancelled = [&cancelled] { return cancelled.load(); };
        auto record = std::make_unique<SignInResultRecord>();
        record->ok = SignInInteractive(options, clientId, clientSecret, record->tokens, record->error);
        return record;
    });
}

void AccountSetupTasks::Start(uint64_t dialog, Work work)
{
    ReapFinished();
    Task task;
    task.dialog = dialog;
    // The thread owns its inputs and the flags; of this object it uses only
    // the port, which outlives it (the destructor joins).
    task.thread = std::thread([&port = port_, dialog, work = std::move(work), cancelled = task.cancelled,
                               finished = task.finished] {
        std::unique_ptr<ResultRecord> record = work(*cancelled);
        if (!cancelled->load())
            port.PostDialogResult(dialog, std::move(record));
        record.reset(); // not delivered: freed here
        finished->store(true);
    });
    tasks_.push_back(std::move(task));
}

void AccountSetupTasks::Cancel(uint64_t dialog)
{
    for (Task& task : tasks_) {
        if (task.dialog == dialog)
            task.cancelled->store(true);
    }
    ReapFinished();
}

size_t AccountSetupTasks::Running()
{
    ReapFinished();
    return tasks_.size();
}

void AccountSetupTasks::ReapFinished()
{
    // A finished flag is set as the thread's last act, so the join is
    // immediate; a running thread is never destroyed while joinable.
    for (auto it = tasks_.begin(); it != tasks_.end();) {
        if (it->finished->load()) {
            it->thread.join();
            it = tasks_.erase(it);
        } else {
            ++it;
        }
    }
}

} // namespace postern
