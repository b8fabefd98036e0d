#include <atomic>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "blocker.h"
#include "concurrency/message_pump.h"
#include "concurrency/worker_thread.h"

namespace lanque {
namespace {

using test::Blocker;

TEST(WorkerThread, AnEmptyObject) {
    WorkerThread thread;
    EXPECT_TRUE(thread.IsIdle());
    EXPECT_FALSE(thread.IsRunning());
    EXPECT_TRUE(thread.Wait());
    EXPECT_TRUE(thread.WaitPumping());
    EXPECT_TRUE(thread.WaitForMessages(10));
    EXPECT_TRUE(thread.Close());
    EXPECT_TRUE(thread.Terminate());
    EXPECT_EQ(thread.ExitCode(), 0);
    EXPECT_EQ(thread.Priority(), 0);
    EXPECT_FALSE(thread.Suspend());
    EXPECT_FALSE(thread.Resume());
    EXPECT_FALSE(thread.SetPriority(1));
    EXPECT_FALSE(thread.SetAffinity(1));
    EXPECT_EQ(thread.Handle(), 0);
    EXPECT_EQ(thread.ThreadId(), 0);
}

TEST(WorkerThread, StartWaitAndStartAgainAfterTheEnd) {
    WorkerThread thread;
    Blocker blocker;
    ThreadHandle handle = 0;
    ASSERT_TRUE(thread.Start(
        [&](int argument) {
            blocker.Enter();
            return argument * 2;
        },
        {.argument = 21, .handleOut = &handle}));
    EXPECT_EQ(handle, thread.Handle());
    EXPECT_GT(handle, WorkerThread::kReserved);
    EXPECT_NE(thread.ThreadId(), 0);
    EXPECT_TRUE(thread.IsRunning());
    EXPECT_FALSE(thread.IsIdle());
    EXPECT_EQ(thread.ExitCode(), WorkerThread::kStillActive);
    EXPECT_FALSE(thread.Start([](int) { return 0; }));  // the first still runs
    EXPECT_FALSE(thread.Wait(10));
    EXPECT_FALSE(thread.Terminate());
    EXPECT_FALSE(thread.PostMessageA(1, 2, 3));
    blocker.Open();
    EXPECT_TRUE(thread.Wait());
    EXPECT_EQ(thread.ExitCode(), 42);
    EXPECT_EQ(thread.Handle(), handle);  // held until reaped
    EXPECT_FALSE(thread.IsRunning());
    std::atomic<int> ran{0};
    ASSERT_TRUE(thread.Start([&](int) { return ++ran; }));
    EXPECT_NE(thread.Handle(), handle);
    EXPECT_TRUE(thread.Wait());
    EXPECT_EQ(ran.load(), 1);
    EXPECT_TRUE(thread.IsIdle(1));
    EXPECT_EQ(thread.Handle(), 0);
    EXPECT_EQ(thread.ThreadId(), 0);
}

TEST(WorkerThread, StartCanWaitForTheEnd) {
    WorkerThread thread;
    ThreadHandle handle = -5;
    int exitCode = 0;
    ASSERT_TRUE(thread.Start([](int) { return 9; },
                             {.handleOut = &handle, .waitForEnd = 1, .exitCodeOut = &exitCode}));
    EXPECT_EQ(exitCode, 9);
    EXPECT_EQ(handle, 0);
    EXPECT_EQ(thread.Handle(), 0);

    Blocker blocker;
    ASSERT_TRUE(thread.Start(
        [&](int) {
            blocker.Enter();
            return 0;
        },
        {.handleOut = &handle, .waitForEnd = 1, .timeoutMs = 20, .processMessages = 1}));
    EXPECT_EQ(handle, thread.Handle());  // the time-out passed: the thread is kept
    blocker.Open();
    EXPECT_TRUE(thread.Wait());
}

TEST(WorkerThread, ASuspendedStartRunsOnlyAfterResume) {
    WorkerThread thread;
    std::atomic<bool> ran{false};
    ASSERT_TRUE(thread.Start(
        [&](int) {
            ran = true;
            return 0;
        },
        {.suspended = 1, .waitForEnd = 1}));  // no wait for a suspended thread
    EXPECT_FALSE(thread.Wait(30));
    EXPECT_FALSE(ran.load());
    EXPECT_FALSE(thread.Suspend());  // Linux cannot suspend a running thread
    EXPECT_TRUE(thread.Resume());
    EXPECT_TRUE(thread.Wait());
    EXPECT_TRUE(ran.load());
}

TEST(WorkerThread, WaitPumpingStepsIn15MsAndPumpsBeforeEachStep) {
    int pumps = 0;
    SetPumpHook([&] { ++pumps; });
    WorkerThread thread;
    Blocker blocker;
    ASSERT_TRUE(thread.Start([&](int) {
        blocker.Enter();
        return 0;
    }));
    EXPECT_FALSE(thread.WaitPumping(100));  // 10 ms, then 6 steps of 15 ms
    EXPECT_EQ(pumps, 6);
    // Without a time-out it returns only at the end; the window is served meanwhile.
    pumps = 0;
    SetPumpHook([&] {
        if (++pumps == 3) {
            blocker.Open();
        }
    });
    EXPECT_TRUE(thread.WaitPumping());
    EXPECT_GE(pumps, 3);
    SetPumpHook({});
}

TEST(WorkerThread, WaitForMessagesTimesOutAndSeesTheEnd) {
    WorkerThread thread;
    Blocker blocker;
    ASSERT_TRUE(thread.Start([&](int) {
        blocker.Enter();
        return 0;
    }));
    EXPECT_FALSE(thread.WaitForMessages(20));
    int pumps = 0;
    SetPumpHook([&] {
        if (++pumps == 2) {
            blocker.Open();
        }
    });
    EXPECT_TRUE(thread.WaitForMessages());
    SetPumpHook({});
}

TEST(WorkerThread, StackReservation) {
    struct Case {
        std::optional<int> requested;
        int reservation;
    };
    for (const Case& c : {Case{std::nullopt, 0}, Case{0, 0}, Case{5000, 8192}, Case{20000, 16384},
                          Case{-3, 8192}, Case{1 << 20, 1 << 20}}) {
        EXPECT_EQ(ThreadStackReservation(c.requested), c.reservation);
    }
    WorkerThread thread;
    ASSERT_TRUE(thread.Start([](int) { return 3; }, {.waitForEnd = 1, .stackSize = 5000}));
}

TEST(WorkerThread, PriorityAndAffinityOfARunningThread) {
    WorkerThread thread;
    Blocker blocker;
    ASSERT_TRUE(thread.Start([&](int) {
        blocker.Enter();
        return 0;
    }));
    EXPECT_EQ(thread.Priority(), 0);
    EXPECT_TRUE(thread.SetPriority(-1));  // a lower priority needs no privilege
    EXPECT_EQ(thread.Priority(), -1);
    EXPECT_TRUE(thread.SetAffinity(~std::uint64_t{0}));
    blocker.Open();
    EXPECT_TRUE(thread.Wait());
}

int PlainRoutine(int argument) {
    return argument + 1;
}

TEST(WorkerThread, StartAtTakesAnAddressAndKeepsNoId) {
    WorkerThread thread;
    EXPECT_FALSE(thread.StartAt(0));
    ASSERT_TRUE(thread.StartAt(reinterpret_cast<std::uintptr_t>(&PlainRoutine), {.argument = 4}));
    EXPECT_EQ(thread.ThreadId(), 0);
    EXPECT_TRUE(thread.Wait());
    EXPECT_EQ(thread.ExitCode(), 5);
}

TEST(WorkerThread, AttachAndAFailedWait) {
    WorkerThread owner;
    ThreadHandle handle = 0;
    ASSERT_TRUE(owner.Start([](int) { return 1; }, {.handleOut = &handle}));
    ASSERT_TRUE(owner.Wait());
    WorkerThread other;
    other.Attach(handle);
    EXPECT_EQ(other.Handle(), handle);
    EXPECT_EQ(other.ThreadId(), 0);
    EXPECT_EQ(other.ExitCode(), 1);
    EXPECT_TRUE(owner.Close());  // the handle is gone: the other's wait fails and frees it
    EXPECT_TRUE(other.Wait());
    EXPECT_EQ(other.Handle(), 0);
    other.Attach(123457);  // never a handle
    EXPECT_TRUE(other.IsIdle());
    EXPECT_EQ(other.Handle(), 0);
}

TEST(WorkerThread, OfTwoConcurrentStartsOnlyOneWins) {
    for (int round = 0; round < 20; ++round) {
        WorkerThread thread;
        Blocker blocker;
        std::atomic<int> wins{0};
        std::vector<std::thread> starters;
        for (int i = 0; i < 2; ++i) {
            starters.emplace_back([&] {
                if (thread.Start([&](int) {
                        blocker.Enter();
                        return 0;
                    })) {
                    ++wins;
                }
            });
        }
        for (auto& starter : starters) {
            starter.join();
        }
        EXPECT_EQ(wins.load(), 1);
        blocker.Open();
        EXPECT_TRUE(thread.Wait());
    }
}

}  // namespace
}  // namespace lanque
