#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

namespace lanque {

// A task: a routine taking two 32-bit arguments, run on a pool worker.
using TaskRoutine = std::function<void(int first, int second)>;
// Hooks without arguments: pool started or ended, a worker thread starting or ending.
using PoolHook = std::function<void()>;
// When set, runs every task in place of calling its routine directly.
using TaskDispatcher = std::function<void(const TaskRoutine& routine, int first, int second)>;

// Pool states.
inline constexpr int kPoolIdle = 0;
inline constexpr int kPoolRunning = 1;
inline constexpr int kPoolCreating = 2;
inline constexpr int kPoolStopping = 3;

// Runs small tasks on worker threads fed from one first-in, first-out queue: a fixed number of permanent
// workers, extra workers up to a maximum while work waits (they leave after an idle time-out), a gate
// for pausing, and stopping that either drops the queued tasks or lets them run first.
//
// The pool's working state lives in a shared block that every worker and the manager also hold, so
// destroying the pool while workers are still finishing neither waits for them nor pulls memory from
// under them: the block goes when the last of them leaves.
class ThreadPool {
public:
    ThreadPool();
    // Stop with mode 2: the workers are told to leave; nothing waits for them.
    ~ThreadPool();
    ThreadPool(const ThreadPool&) = delete;
    ThreadPool& operator=(const ThreadPool&) = delete;

    // Starts the pool: initial workers (default 5, at least 1), maximum (not below the initial count),
    // idle time-out of extra workers (default 10000 ms, at least 100), message processing while it
    // waits, worker stack size (0: platform default). False when the pool was not idle or could not start.
    bool Create(std::optional<int> initialThreads = {}, std::optional<int> maxThreads = {},
                std::optional<int> idleTimeoutMs = {}, std::optional<int> processMessages = {},
                std::optional<int> stackSize = {});
    // Mode 0 drops the queued tasks, 1 runs them first; 2 (drops) and 3 (runs) return without waiting.
    // True when the pool reached the idle state (or was idle); false while creating, when already
    // stopping, or when the time-out passed (the pool then keeps stopping on its own).
    bool Stop(std::optional<int> mode = {}, std::optional<int> timeoutMs = {},
              std::optional<int> processMessages = {});
    bool Pause();
    bool Resume();
    bool WaitWhilePaused(std::optional<int> timeoutMs = {});
    bool Submit(TaskRoutine routine, int first = 0, int second = 0);
    // The routine as an address value of a plain function void(int, int); 0 is refused.
    bool SubmitAt(std::uintptr_t routineAddress, int first = 0, int second = 0);
    bool WaitTaskDone(std::optional<int> timeoutMs = {}, std::optional<int> processMessages = {});
    bool SignalTaskDone();

    int IdleThreads() const;
    int BusyTasks() const;
    int QueuedTasks() const;
    int ThreadCount() const;
    int MaxThreads() const;
    bool IsIdle() const;
    int State() const;

    void SetMaxThreads(int n);
    void SetIdleTimeout(int ms);
    int SetStackSize(int bytes);
    void SetThreadHooks(std::optional<PoolHook> threadStart = {}, std::optional<PoolHook> threadEnd = {},
                        std::optional<TaskDispatcher> dispatcher = {});
    void SetPoolHooks(std::optional<PoolHook> poolStarted = {}, std::optional<PoolHook> poolEnded = {});

    struct Core;

private:
    std::shared_ptr<Core> m_core;
};

}  // namespace lanque
