#include "app/JobQueue.h"

#include "support/Waiting.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace postern {
namespace {

using test::Gate;
using test::PollUntil;

// Counts its own destruction, so a test can tell a dropped job (destroyed,
// never run) from a leaked one.
struct Tracker {
    explicit Tracker(std::atomic<int>& destroyedCount) : destroyed(destroyedCount) {}
    ~Tracker() { destroyed.fetch_add(1); }
    std::atomic<int>& destroyed;
};

WorkerJob CountingJob(std::atomic<int>& ran, std::atomic<int>& destroyed)
{
    return [&ran, owned = std::make_unique<Tracker>(destroyed)] { ran.fetch_add(1); };
}

void StartOrFail(JobQueue& queue)
{
    std::string error;
    ASSERT_TRUE(queue.Start(error)) << error;
}

TEST(JobQueue, PriorityWorkOvertakesQueuedNormalWorkButNeverTheRunningJob)
{
    std::vector<std::string> order; // written by the worker only
    Gate running, normalQueued, normalChecked, priorityQueued;
    bool waitingWithNormalOnly = true;
    bool waitingWithPriority = false;
    std::atomic<int> finished{0};
    // Declared last so that it joins its worker before the state above goes.
    JobQueue queue;
    StartOrFail(queue);

    queue.EnqueueNormal([&] {
        order.push_back("running");
        running.Open();
        if (!normalQueued.Wait())
            return;
        waitingWithNormalOnly = queue.PriorityWaiting();
        normalChecked.Open();
        if (!priorityQueued.Wait())
            return;
        waitingWithPriority = queue.PriorityWaiting();
        order.push_back("running done");
        finished.fetch_add(1);
    });
    ASSERT_TRUE(running.Wait());

    for (const char* name : {"normal 1", "normal 2"})
        queue.EnqueueNormal([&order, &finished, name] {
            order.push_back(name);
            finished.fetch_add(1);
        });
    normalQueued.Open();
    ASSERT_TRUE(normalChecked.Wait());
    for (const char* name : {"priority 1", "priority 2"})
        queue.EnqueuePriority([&order, &finished, name] {
            order.push_back(name);
            finished.fetch_add(1);
        });
    queue.EnqueueNormal([&order, &finished] {
        order.push_back("normal 3");
        finished.fetch_add(1);
    });
    priorityQueued.Open();

    ASSERT_TRUE(PollUntil([&] { return finished.load() == 6; }));
    queue.Stop(); // joins: the worker's writes are visible from here on

    EXPECT_FALSE(waitingWithNormalOnly);
    EXPECT_TRUE(waitingWithPriority);
    const std::vector<std::string> expected = {"running",  "running done", "priority 1", "priority 2",
                                               "normal 1", "normal 2",     "normal 3"};
    EXPECT_EQ(order, expected);
}

TEST(JobQueue, StopLetsTheRunningJobFinishAndDropsQueuedJobs)
{
    Gate running;
    std::atomic<bool> runningJobFinished{false};
    std::atomic<bool> sawStop{false};
    std::atomic<int> ran{0}, destroyed{0};
    JobQueue queue;
    StartOrFail(queue);
    queue.EnqueueNormal([&] {
        running.Open();
        // A long job gives way between its steps; at shutdown that is how it
        // learns to end early.
        sawStop = PollUntil([&] { return queue.PriorityWaiting(); });
        runningJobFinished = true;
    });
    ASSERT_TRUE(running.Wait());

    for (int i = 0; i < 200; ++i)
        queue.EnqueueNormal(CountingJob(ran, destroyed));

    queue.Stop();
    EXPECT_TRUE(sawStop);
    EXPECT_TRUE(runningJobFinished);
    EXPECT_EQ(ran.load(), 0);
    EXPECT_EQ(destroyed.load(), 200);
}

TEST(JobQueue, StopIsIdempotentAndDropsJobsOfBothLanesBeforeAndAfterIt)
{
    std::atomic<int> ran{0}, destroyed{0};
    JobQueue queue;
    for (int i = 0; i < 10; ++i) {
        queue.EnqueueNormal(CountingJob(ran, destroyed));
        queue.EnqueuePriority(CountingJob(ran, destroyed));
    }
    queue.Stop();
    queue.Stop();
    EXPECT_EQ(destroyed.load(), 20);

    std::string error;
    EXPECT_FALSE(queue.Start(error)); // a stopped queue stays stopped
    EXPECT_FALSE(error.empty());
    queue.EnqueueNormal(CountingJob(ran, destroyed));
    queue.EnqueuePriority(CountingJob(ran, destroyed));
    EXPECT_EQ(destroyed.load(), 22); // dropped at once, not kept
    EXPECT_EQ(ran.load(), 0);
    EXPECT_TRUE(queue.PriorityWaiting()); // stopping: long jobs give way
}

TEST(JobQueue, AJobMayStopItsOwnQueue)
{
    std::atomic<int> ran{0}, destroyed{0};
    Gate stopped;
    JobQueue queue;
    StartOrFail(queue);
    queue.EnqueueNormal([&] {
        queue.Stop(); // must not try to join its own thread
        stopped.Open();
    });
    ASSERT_TRUE(stopped.Wait());
    queue.EnqueueNormal(CountingJob(ran, destroyed));
    queue.Stop(); // joins the worker that ended after the job above
    EXPECT_EQ(ran.load(), 0);
    EXPECT_EQ(destroyed.load(), 1);
}

TEST(JobQueue, ManyProducersLoseNothingAndEachLaneKeepsItsOrder)
{
    constexpr int kProducers = 6;
    constexpr int kJobsEach = 3000;
    struct Entry {
        int producer;
        bool priority;
        int sequence;
    };
    std::vector<Entry> log; // written by the worker only
    log.reserve(kProducers * kJobsEach);
    std::atomic<int> done{0};

    JobQueue queue;
    StartOrFail(queue);
    std::vector<std::thread> producers;
    for (int p = 0; p < kProducers; ++p) {
        producers.emplace_back([&, p] {
            for (int i = 0; i < kJobsEach; ++i) {
                const bool priority = (i % 3) == 0;
                WorkerJob job = [&log, &done, p, priority, i] {
                    log.push_back({p, priority, i});
                    done.fetch_add(1);
                };
                if (priority)
                    queue.EnqueuePriority(std::move(job));
                else
                    queue.EnqueueNormal(std::move(job));
            }
        });
    }
    for (std::thread& producer : producers)
        producer.join();
    ASSERT_TRUE(PollUntil([&] { return done.load() == kProducers * kJobsEach; }));
    queue.Stop();

    ASSERT_EQ(log.size(), static_cast<size_t>(kProducers * kJobsEach));
    std::vector<int> lastNormal(kProducers, -1), lastPriority(kProducers, -1);
    for (const Entry& entry : log) {
        int& last = entry.priority ? lastPriority[entry.producer] : lastNormal[entry.producer];
        ASSERT_LT(last, entry.sequence) << "producer " << entry.producer << " out of order";
        last = entry.sequence;
    }
}

TEST(JobQueue, AFailingJobIsReportedAndTheWorkerGoesOn)
{
    std::vector<std::string> failures; // worker only until Stop
    std::atomic<bool> laterJobRan{false};
    JobQueue queue;
    queue.SetFailureHandler([&](std::string_view what) { failures.emplace_back(what); });
    StartOrFail(queue);

    queue.EnqueueNormal([] { throw std::runtime_error("out of luck"); });
    queue.EnqueueNormal([] { throw 42; });
    queue.EnqueueNormal([&] { laterJobRan = true; });
    ASSERT_TRUE(PollUntil([&] { return laterJobRan.load(); }));
    queue.Stop();

    const std::vector<std::string> expected = {"out of luck", "unknown failure"};
    EXPECT_EQ(failures, expected);
}

} // namespace
} // namespace postern
