#include <atomic>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "blocker.h"
#include "concurrency/message_pump.h"
#include "concurrency/thread_pool.h"

namespace lanque {
namespace {

using test::Blocker;
using test::WaitUntil;

void ExpectDrained(const ThreadPool& pool) {
    EXPECT_EQ(pool.State(), kPoolIdle);
    EXPECT_EQ(pool.BusyTasks(), 0);
    EXPECT_EQ(pool.QueuedTasks(), 0);
    EXPECT_EQ(pool.ThreadCount(), 0);
}

TEST(ThreadPool, CreateStartsFiveWorkersByDefaultAndRefusesASecondCreate) {
    ThreadPool pool;
    ASSERT_TRUE(pool.Create());
    EXPECT_EQ(pool.State(), kPoolRunning);
    EXPECT_EQ(pool.ThreadCount(), 5);
    EXPECT_EQ(pool.MaxThreads(), 5);
    EXPECT_EQ(pool.IdleThreads(), 5);
    EXPECT_TRUE(pool.IsIdle());
    EXPECT_FALSE(pool.Create(2));
    EXPECT_EQ(pool.ThreadCount(), 5);
    EXPECT_TRUE(pool.Stop(1));
    ExpectDrained(pool);
}

TEST(ThreadPool, CreateWithZeroStartsOneAndAStoppedPoolCanBeCreatedAgain) {
    ThreadPool pool;
    ASSERT_TRUE(pool.Create(0));
    EXPECT_EQ(pool.ThreadCount(), 1);
    EXPECT_EQ(pool.MaxThreads(), 1);
    EXPECT_TRUE(pool.Stop(0));
    ExpectDrained(pool);
    ASSERT_TRUE(pool.Create(3, 2));  // a maximum below the initial count takes the initial count
    EXPECT_EQ(pool.MaxThreads(), 3);
    std::atomic<int> ran{0};
    ASSERT_TRUE(pool.Submit([&](int, int) { ++ran; }));
    EXPECT_TRUE(pool.Stop(1));
    EXPECT_EQ(ran.load(), 1);
}

TEST(ThreadPool, WhatAnIdlePoolRefuses) {
    ThreadPool pool;
    EXPECT_TRUE(pool.Stop());  // never created: nothing to stop
    EXPECT_FALSE(pool.Submit([](int, int) {}));
    EXPECT_FALSE(pool.Pause());
    EXPECT_FALSE(pool.Resume());
    EXPECT_FALSE(pool.WaitWhilePaused(0));
    EXPECT_FALSE(pool.WaitTaskDone(0));
    EXPECT_FALSE(pool.SignalTaskDone());
    EXPECT_EQ(pool.SetStackSize(100000), 0);
    pool.SetMaxThreads(9);
    EXPECT_EQ(pool.MaxThreads(), 0);
    EXPECT_EQ(pool.QueuedTasks(), 0);
    ASSERT_TRUE(pool.Create(1));
    EXPECT_FALSE(pool.Submit(TaskRoutine{}));
    EXPECT_FALSE(pool.SubmitAt(0));
    EXPECT_EQ(pool.QueuedTasks(), 0);
    EXPECT_TRUE(pool.Stop(0));
}

TEST(ThreadPool, CountsWithBusyWorkersAndQueuedTasks) {
    ThreadPool pool;
    ASSERT_TRUE(pool.Create(2));
    Blocker blocker;
    for (int i = 0; i < 5; ++i) {
        ASSERT_TRUE(pool.Submit([&](int, int) { blocker.Enter(); }));
    }
    ASSERT_TRUE(blocker.WaitArrived(2));
    EXPECT_EQ(pool.IdleThreads(), 0);
    EXPECT_EQ(pool.BusyTasks(), 2);
    EXPECT_EQ(pool.QueuedTasks(), 3);
    EXPECT_FALSE(pool.IsIdle());
    blocker.Open();
    EXPECT_TRUE(WaitUntil([&] { return pool.IsIdle(); }));
    EXPECT_EQ(blocker.Arrived(), 5);
    EXPECT_TRUE(pool.Stop(0));
}

struct StopCase {
    int mode;
    int expectedQueuedRuns;
};

class ThreadPoolStop : public ::testing::TestWithParam<StopCase> {};

// A worker is held in a task while three more are queued; the stop's time-out passes first, so the
// stop is known to be under way before the running task is let go.
TEST_P(ThreadPoolStop, QueuedTasksAreDroppedOrRun) {
    ThreadPool pool;
    ASSERT_TRUE(pool.Create(1));
    Blocker blocker;
    std::atomic<int> queuedRuns{0};
    ASSERT_TRUE(pool.Submit([&](int, int) { blocker.Enter(); }));
    ASSERT_TRUE(blocker.WaitArrived(1));
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(pool.Submit([&](int, int) { ++queuedRuns; }));
    }
    EXPECT_FALSE(pool.Stop(GetParam().mode, 30));
    EXPECT_EQ(pool.State(), kPoolStopping);
    EXPECT_FALSE(pool.Stop(GetParam().mode));  // a second stop while stopping
    EXPECT_FALSE(pool.Submit([&](int, int) { ++queuedRuns; }));
    blocker.Open();
    ASSERT_TRUE(WaitUntil([&] { return pool.State() == kPoolIdle; }));
    EXPECT_EQ(queuedRuns.load(), GetParam().expectedQueuedRuns);
    ExpectDrained(pool);
}

INSTANTIATE_TEST_SUITE_P(Modes, ThreadPoolStop,
                         ::testing::Values(StopCase{0, 0}, StopCase{1, 3}, StopCase{7, 0}));

class ThreadPoolStopWithoutWaiting : public ::testing::TestWithParam<StopCase> {};

TEST_P(ThreadPoolStopWithoutWaiting, ReturnsOnceTheMarkersArePosted) {
    ThreadPool pool;
    ASSERT_TRUE(pool.Create(1));
    Blocker blocker;
    std::atomic<int> queuedRuns{0};
    ASSERT_TRUE(pool.Submit([&](int, int) { blocker.Enter(); }));
    ASSERT_TRUE(blocker.WaitArrived(1));
    ASSERT_TRUE(pool.Submit([&](int, int) { ++queuedRuns; }));
    EXPECT_TRUE(pool.Stop(GetParam().mode));
    EXPECT_EQ(pool.State(), kPoolStopping);  // the held task still runs
    blocker.Open();
    ASSERT_TRUE(WaitUntil([&] { return pool.State() == kPoolIdle; }));
    EXPECT_EQ(queuedRuns.load(), GetParam().expectedQueuedRuns);
    ExpectDrained(pool);
}

INSTANTIATE_TEST_SUITE_P(Modes, ThreadPoolStopWithoutWaiting,
                         ::testing::Values(StopCase{2, 0}, StopCase{3, 1}));

TEST(ThreadPool, StopWithMessageProcessingPumpsOnTheGuiThread) {
    std::atomic<int> pumped{0};
    SetPumpHook([&] { ++pumped; });
    ThreadPool pool;
    ASSERT_TRUE(pool.Create(1, {}, {}, 1));
    Blocker blocker;
    ASSERT_TRUE(pool.Submit([&](int, int) { blocker.Enter(); }));
    ASSERT_TRUE(blocker.WaitArrived(1));
    EXPECT_FALSE(pool.Stop(1, 50, 1));  // held task: the time-out passes while the window is served
    EXPECT_GT(pumped.load(), 0);
    blocker.Open();
    ASSERT_TRUE(WaitUntil([&] { return pool.State() == kPoolIdle; }));
    SetPumpHook({});
}

TEST(ThreadPool, APausedPoolHoldsItsTaskUntilResume) {
    ThreadPool pool;
    ASSERT_TRUE(pool.Create(1));
    ASSERT_TRUE(pool.Pause());
    EXPECT_FALSE(pool.WaitWhilePaused(10));
    std::atomic<int> ran{0};
    ASSERT_TRUE(pool.Submit([&](int, int) { ++ran; }));
    EXPECT_FALSE(pool.WaitTaskDone(50));
    EXPECT_EQ(ran.load(), 0);
    ASSERT_TRUE(pool.Resume());
    EXPECT_TRUE(pool.WaitWhilePaused());
    EXPECT_TRUE(pool.WaitTaskDone());
    EXPECT_EQ(ran.load(), 1);
    EXPECT_TRUE(pool.Stop(1));
}

TEST(ThreadPool, StopOnAPausedPoolCompletes) {
    ThreadPool pool;
    ASSERT_TRUE(pool.Create(2));
    ASSERT_TRUE(pool.Pause());
    std::atomic<int> ran{0};
    ASSERT_TRUE(pool.Submit([&](int, int) { ++ran; }));
    EXPECT_TRUE(pool.Stop(1));
    EXPECT_EQ(ran.load(), 1);
    ExpectDrained(pool);
}

TEST(ThreadPool, GrowsToItsMaximumAndShrinksAfterTheIdleTimeOut) {
    ThreadPool pool;
    ASSERT_TRUE(pool.Create(1, 4, 100));
    Blocker blocker;
    for (int i = 0; i < 4; ++i) {
        ASSERT_TRUE(pool.Submit([&](int, int) { blocker.Enter(); }));
    }
    ASSERT_TRUE(blocker.WaitArrived(4));  // four tasks at once need four workers
    EXPECT_EQ(pool.ThreadCount(), 4);
    EXPECT_EQ(pool.BusyTasks(), 4);
    blocker.Open();
    ASSERT_TRUE(WaitUntil([&] { return pool.ThreadCount() == 1; }));
    EXPECT_TRUE(pool.IsIdle());
    EXPECT_TRUE(pool.Stop(0));
    ExpectDrained(pool);
}

TEST(ThreadPool, RaisingTheMaximumGrowsARunningPool) {
    ThreadPool pool;
    ASSERT_TRUE(pool.Create(1));
    Blocker blocker;
    for (int i = 0; i < 2; ++i) {
        ASSERT_TRUE(pool.Submit([&](int, int) { blocker.Enter(); }));
    }
    ASSERT_TRUE(blocker.WaitArrived(1));
    EXPECT_EQ(pool.QueuedTasks(), 1);
    pool.SetMaxThreads(2);
    ASSERT_TRUE(blocker.WaitArrived(2));
    EXPECT_EQ(pool.ThreadCount(), 2);
    blocker.Open();
    EXPECT_TRUE(pool.Stop(1));
}

TEST(ThreadPool, TasksRunInSubmissionOrderWithTheirArguments) {
    ThreadPool pool;
    ASSERT_TRUE(pool.Create(1));
    std::mutex mutex;
    std::vector<int> seen;
    for (int i = 0; i < 200; ++i) {
        ASSERT_TRUE(pool.Submit(
            [&](int first, int second) {
                std::lock_guard lock(mutex);
                seen.push_back(first * 1000 + second);
            },
            i, 7));
    }
    EXPECT_TRUE(pool.Stop(1));
    ASSERT_EQ(seen.size(), 200u);
    for (int i = 0; i < 200; ++i) {
        EXPECT_EQ(seen[i], i * 1000 + 7);
    }
}

std::atomic<int> g_plainRuns{0};
void PlainTask(int first, int) {
    g_plainRuns += first;
}

TEST(ThreadPool, SubmitAtRunsAPlainRoutineAndAThrowingTaskSparesItsWorker) {
    ThreadPool pool;
    ASSERT_TRUE(pool.Create(1));
    ASSERT_TRUE(pool.Submit([](int, int) { throw std::runtime_error("task failed"); }));
    ASSERT_TRUE(pool.SubmitAt(reinterpret_cast<std::uintptr_t>(&PlainTask), 5));
    EXPECT_TRUE(pool.Stop(1));
    EXPECT_EQ(g_plainRuns.load(), 5);
}

TEST(ThreadPool, HooksAndTheTaskDispatcher) {
    ThreadPool pool;
    std::atomic<int> poolStarted{0}, poolEnded{0}, threadStarts{0}, threadEnds{0}, dispatched{0}, ran{0};
    pool.SetPoolHooks([&] { ++poolStarted; }, [&] { ++poolEnded; });
    pool.SetThreadHooks([&] { ++threadStarts; }, [&] { ++threadEnds; },
                        [&](const TaskRoutine& routine, int first, int second) {
                            ++dispatched;
                            routine(first, second);
                        });
    ASSERT_TRUE(pool.Create(3));
    ASSERT_TRUE(pool.Submit([&](int, int) { ++ran; }));
    EXPECT_TRUE(pool.Stop(1));
    EXPECT_EQ(poolStarted.load(), 1);
    EXPECT_EQ(poolEnded.load(), 1);
    EXPECT_EQ(threadStarts.load(), 3);
    EXPECT_EQ(threadEnds.load(), 3);
    EXPECT_EQ(dispatched.load(), 1);
    EXPECT_EQ(ran.load(), 1);
}

TEST(ThreadPool, SettingsOfARunningPool) {
    ThreadPool pool;
    ASSERT_TRUE(pool.Create(1));
    EXPECT_EQ(pool.SetStackSize(5000), 1);
    EXPECT_EQ(pool.SetStackSize(100000), 98304);
    EXPECT_EQ(pool.SetStackSize(0), 0);
    pool.SetMaxThreads(0);
    EXPECT_EQ(pool.MaxThreads(), 1);
    EXPECT_TRUE(pool.SignalTaskDone());
    EXPECT_TRUE(pool.WaitTaskDone(0));
    EXPECT_TRUE(pool.Stop(0));
}

TEST(ThreadPool, DestroyingARunningPoolDoesNotWaitForItsWorkers) {
    Blocker blocker;
    std::atomic<bool> ended{false};
    std::atomic<int> queuedRuns{0};
    auto pool = std::make_unique<ThreadPool>();
    pool->SetPoolHooks({}, [&] { ended = true; });
    ASSERT_TRUE(pool->Create(1));
    ASSERT_TRUE(pool->Submit([&](int, int) { blocker.Enter(); }));
    ASSERT_TRUE(blocker.WaitArrived(1));
    ASSERT_TRUE(pool->Submit([&](int, int) { ++queuedRuns; }));
    pool.reset();  // returns although a task is still running
    EXPECT_FALSE(ended.load());
    blocker.Open();
    ASSERT_TRUE(WaitUntil([&] { return ended.load(); }));
    EXPECT_EQ(queuedRuns.load(), 0);
}

// Many submitters at once against a growing pool, then a stop that runs what is queued.
TEST(ThreadPool, ConcurrentSubmittersLoseNoTask) {
    ThreadPool pool;
    ASSERT_TRUE(pool.Create(2, 4, 100));
    std::atomic<int> ran{0};
    std::vector<std::thread> submitters;
    for (int t = 0; t < 4; ++t) {
        submitters.emplace_back([&] {
            for (int i = 0; i < 500; ++i) {
                EXPECT_TRUE(pool.Submit([&](int, int) { ++ran; }));
            }
        });
    }
    for (auto& submitter : submitters) {
        submitter.join();
    }
    EXPECT_TRUE(pool.Stop(1));
    EXPECT_EQ(ran.load(), 2000);
    ExpectDrained(pool);
}

// Submits keep coming while the pool stops and drops what is queued: the counts still end at 0 and
// the pool can start again.
TEST(ThreadPool, SubmitsRacingAStopLeaveExactCounts) {
    for (int round = 0; round < 10; ++round) {
        ThreadPool pool;
        ASSERT_TRUE(pool.Create(2));
        std::atomic<int> accepted{0};
        std::atomic<int> ran{0};
        std::thread submitter([&] {
            while (pool.Submit([&](int, int) { ++ran; })) {
                ++accepted;
            }
        });
        ASSERT_TRUE(WaitUntil([&] { return accepted.load() > 100; }));
        EXPECT_TRUE(pool.Stop(0));
        submitter.join();
        ExpectDrained(pool);
        EXPECT_LE(ran.load(), accepted.load());
        ASSERT_TRUE(pool.Create(1));
        EXPECT_EQ(pool.QueuedTasks(), 0);
        EXPECT_TRUE(pool.Stop(1));
    }
}

}  // namespace
}  // namespace lanque
