#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include <gtest/gtest.h>

#include "app/globals.h"

namespace lanque {
namespace {

// Holds a thread until it is opened.
class Gate {
public:
    void Pass() {
        std::unique_lock lock(m_mutex);
        m_arrived = true;
        m_changed.notify_all();
        m_changed.wait(lock, [this] { return m_open; });
    }
    void WaitArrived() {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [this] { return m_arrived; });
    }
    void Open() {
        std::lock_guard lock(m_mutex);
        m_open = true;
        m_changed.notify_all();
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_arrived = false;
    bool m_open = false;
};

bool WaitExpired(const std::weak_ptr<Globals>& watch) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!watch.expired()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

TEST(Globals, InitialStates) {
    std::shared_ptr<Globals> globals = CreateGlobals();
    ASSERT_NE(globals, nullptr);
    EXPECT_EQ(globals->ArticlePool.State(), 0);
    EXPECT_EQ(globals->SearchPool.State(), 0);
    EXPECT_EQ(globals->ArticlePool.ThreadCount(), 0);
    EXPECT_EQ(globals->ArticleBuffer.Count(), 0);
    EXPECT_EQ(globals->ArticleBuffer.Capacity(), 65536);
    EXPECT_EQ(globals->ArticleBuffer.GrowthStep(), 65536);
    EXPECT_EQ(globals->DispatcherThread.Handle(), 0);
    EXPECT_EQ(globals->DispatcherThread.ThreadId(), 0);
    EXPECT_TRUE(globals->LogLock.TryEnter());
    globals->LogLock.Leave();
    DestroyGlobals(globals);
    EXPECT_EQ(globals, nullptr);
    DestroyGlobals(globals);  // nothing left: nothing happens
}

// The exit routine runs while the dispatcher and a pool task still work: it returns at once, and the
// work finishes on storage that outlives the app's reference.
TEST(Globals, DestroyingWhileWorkRunsReturnsWithoutWaiting) {
    std::shared_ptr<Globals> globals = CreateGlobals();
    std::weak_ptr<Globals> watch = globals;
    Gate dispatcherGate;
    Gate taskGate;
    std::atomic<int> dispatcherDone{0};
    std::atomic<int> queuedRuns{0};
    ASSERT_TRUE(globals->DispatcherThread.Start([shared = globals, &dispatcherGate, &dispatcherDone](int) {
        std::lock_guard lock(shared->LogLock);
        dispatcherGate.Pass();
        shared->ArticleBuffer.PushText("http://127.0.0.1/s?id=1|关键词");
        ++dispatcherDone;
        return 0;
    }));
    ASSERT_TRUE(globals->ArticlePool.Create(1));
    ASSERT_TRUE(globals->ArticlePool.Submit([shared = globals, &taskGate](int, int) {
        taskGate.Pass();
        std::lock_guard lock(shared->DatabaseLock);
        Text entry;
        shared->ArticleBuffer.PopText(entry);
    }));
    ASSERT_TRUE(globals->ArticlePool.Submit([shared = globals, &queuedRuns](int, int) { ++queuedRuns; }));
    dispatcherGate.WaitArrived();
    taskGate.WaitArrived();

    DestroyGlobals(globals);
    EXPECT_EQ(globals, nullptr);
    EXPECT_FALSE(watch.expired());  // the work still holds the objects

    dispatcherGate.Open();
    taskGate.Open();
    EXPECT_TRUE(WaitExpired(watch));
    EXPECT_EQ(dispatcherDone.load(), 1);
    EXPECT_EQ(queuedRuns.load(), 0);  // queued work was dropped
}

}  // namespace
}  // namespace lanque
