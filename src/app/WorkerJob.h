// WorkerJob: one unit of work for the job worker. It is a move-only closure so
// that a job can own what it works on (account records, mailbox names, UIDs,
// parsed messages) outright; nothing it refers to can change under it while it
// waits in a lane on the UI thread's behalf.
#pragma once

#include <memory>
#include <type_traits>
#include <utility>

namespace postern {

class WorkerJob {
public:
    WorkerJob() = default;

    template <typename F>
        requires(!std::is_same_v<std::decay_t<F>, WorkerJob> && std::is_invocable_r_v<void, std::decay_t<F>&>)
    WorkerJob(F&& work) // NOLINT(google-explicit-constructor): lambdas convert where a job is expected
        : callable_(std::make_unique<Holder<std::decay_t<F>>>(std::forward<F>(work)))
    {
    }

    WorkerJob(WorkerJob&&) noexcept = default;
    WorkerJob& operator=(WorkerJob&&) noexcept = default;
    WorkerJob(const WorkerJob&) = delete;
    WorkerJob& operator=(const WorkerJob&) = delete;

    [[nodiscard]] explicit operator bool() const { return callable_ != nullptr; }

    void operator()()
    {
        if (callable_)
            callable_->Call();
    }

private:
    struct Callable {
        virtual ~Callable() = default;
        virtual void Call() = 0;
    };

    template <typename F>
    struct Holder final : Callable {
        template <typename G>
        explicit Holder(G&& source) : work(std::forward<G>(source))
        {
        }
        void Call() override { work(); }
        F work;
    };

    std::unique_ptr<Callable> callable_;
};

} // namespace postern
