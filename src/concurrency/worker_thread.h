#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

namespace lanque {

// A thread's routine: takes the start argument, returns the thread's exit code.
using ThreadRoutine = std::function<int(int argument)>;
// A thread handle value: 0 holds no thread, 1 is the reservation taken while a start is under way.
using ThreadHandle = std::intptr_t;

struct StartOptions {
    std::optional<int> argument = std::nullopt;   // 0 when not given
    ThreadHandle* handleOut = nullptr;            // receives the handle (0 when the thread is gone or failed)
    std::optional<int> suspended = std::nullopt;  // 1: the routine waits for Resume before it runs
    std::optional<int> waitForEnd = std::nullopt;       // 1: Start waits for the thread's end
    std::optional<int> timeoutMs = std::nullopt;        // limit of that wait; none or -1: without limit
    int* exitCodeOut = nullptr;                         // receives the exit code when the wait saw the end
    std::optional<int> processMessages = std::nullopt;  // 1: that wait keeps the window's messages flowing
    std::optional<int> stackSize = std::nullopt;        // bytes; none or 0: platform default
};

// The stack reservation Start uses for a requested size: 0 for the platform default, 8192 below 8192,
// else the size rounded down to a multiple of 4096.
int ThreadStackReservation(std::optional<int> stackSize);

// Owns at most one operating-system thread at a time. The handle field is changed only atomically,
// so IsIdle, IsRunning and Close may run on another thread than Start, and two concurrent Starts
// cannot both win the reservation. Destroying the object closes the handle; the thread keeps running.
struct ThreadRecord;  // what a handle refers to

class WorkerThread {
public:
    static constexpr ThreadHandle kReserved = 1;
    // What ExitCode gives while the thread still runs.
    static constexpr int kStillActive = 259;

    WorkerThread() = default;
    ~WorkerThread();
    WorkerThread(const WorkerThread&) = delete;
    WorkerThread& operator=(const WorkerThread&) = delete;

    bool IsIdle(std::optional<int> reap = {});
    bool IsRunning();
    bool Start(ThreadRoutine routine, const StartOptions& options = {});
    // The routine as an address value of a plain function int(int); 0 is refused. The id is not kept.
    bool StartAt(std::uintptr_t routineAddress, const StartOptions& options = {});
    bool Wait(std::optional<int> timeoutMs = {});
    // Waits in 15 ms steps, processing window messages between them.
    bool WaitPumping(std::optional<int> timeoutMs = {});
    bool WaitForMessages(std::optional<int> timeoutMs = {});
    bool Suspend();
    bool Resume();
    bool Close();
    bool Terminate();
    int ExitCode();
    int Priority();
    bool SetPriority(int priority);
    bool SetAffinity(std::uint64_t processorMask);
    ThreadHandle Handle() const { return m_handle.load(); }
    void Attach(ThreadHandle handle);
    int ThreadId() const { return m_threadId.load(); }
    bool PostMessageA(int message, int first, int second);
    bool PostMessageW(int message, int first, int second);

private:
    bool StartThread(ThreadRoutine routine, const StartOptions& options, bool keepId);
    // Drops the held handle after a failed wait (the thread is taken to be gone).
    void Forget(ThreadHandle handle);
    std::shared_ptr<ThreadRecord> HeldRecord();

    std::atomic<ThreadHandle> m_handle{0};
    std::atomic<int> m_threadId{0};
};

}  // namespace lanque
