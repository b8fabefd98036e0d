#include "concurrency/worker_thread.h"

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <unordered_map>

#include <sched.h>
#include <sys/resource.h>
#include <unistd.h>

#include "concurrency/message_pump.h"
#include "concurrency/native_thread.h"

namespace lanque {

// What a handle refers to: one started thread, its end and its exit code.
struct ThreadRecord {
    std::mutex mutex;
    std::condition_variable changed;
    bool ended = false;
    int exitCode = 0;
    int tid = 0;
    bool held = false;  // started suspended and not yet resumed

    bool WaitEnd(std::optional<std::chrono::milliseconds> timeout) {
        std::unique_lock lock(mutex);
        if (!timeout) {
            changed.wait(lock, [this] { return ended; });
            return true;
        }
        return changed.wait_for(lock, *timeout, [this] { return ended; });
    }
    bool Ended() {
        std::lock_guard lock(mutex);
        return ended;
    }
};

namespace {

using std::chrono::milliseconds;
constexpr int kPumpStepMs = 15;

// The process's open thread handles, like the kernel's handle table: a handle stays valid until it is
// closed, whoever holds its value.
class HandleTable {
public:
    ThreadHandle Open(std::shared_ptr<ThreadRecord> record) {
        std::lock_guard lock(m_mutex);
        ThreadHandle handle = m_next;
        m_next += 4;
        m_records.emplace(handle, std::move(record));
        return handle;
    }
    std::shared_ptr<ThreadRecord> Find(ThreadHandle handle) {
        std::lock_guard lock(m_mutex);
        auto it = m_records.find(handle);
        return it == m_records.end() ? nullptr : it->second;
    }
    bool Close(ThreadHandle handle) {
        std::lock_guard lock(m_mutex);
        return m_records.erase(handle) == 1;
    }

private:
    std::mutex m_mutex;
    std::unordered_map<ThreadHandle, std::shared_ptr<ThreadRecord>> m_records;
    ThreadHandle m_next = 0x100;
};

HandleTable& Handles() {
    static HandleTable* table = new HandleTable;  // never destroyed: threads may outlive main
    return *table;
}

bool IsHandle(ThreadHandle handle) {
    return handle != 0 && handle != WorkerThread::kReserved;
}

// The stepping of a pumping wait: T mod 15 ms first, then up to T div 15 steps of 15 ms with window
// messages processed before each; without a time-out (or -1), 15 ms steps until the end.
bool WaitEndPumping(ThreadRecord& record, std::optional<int> timeoutMs) {
    if (!timeoutMs || *timeoutMs < 0) {
        while (!record.WaitEnd(milliseconds(kPumpStepMs))) {
            PumpMessages();
        }
        return true;
    }
    if (record.WaitEnd(milliseconds(*timeoutMs % kPumpStepMs))) {
        return true;
    }
    for (int step = 0; step < *timeoutMs / kPumpStepMs; ++step) {
        PumpMessages();
        if (record.WaitEnd(milliseconds(kPumpStepMs))) {
            return true;
        }
    }
    return false;
}

std::optional<milliseconds> Limit(std::optional<int> timeoutMs) {
    if (!timeoutMs || *timeoutMs < 0) {
        return std::nullopt;
    }
    return milliseconds(*timeoutMs);
}

}  // namespace

int ThreadStackReservation(std::optional<int> stackSize) {
    if (!stackSize || *stackSize == 0) {
        return 0;
    }
    return *stackSize < 8192 ? 8192 : *stackSize / 4096 * 4096;
}

WorkerThread::~WorkerThread() {
    Close();
}

void WorkerThread::Forget(ThreadHandle handle) {
    if (m_handle.compare_exchange_strong(handle, 0)) {
        m_threadId.store(0);
    }
}

// The record behind the held handle; a handle whose record is gone is forgotten.
std::shared_ptr<ThreadRecord> WorkerThread::HeldRecord() {
    ThreadHandle handle = m_handle.load();
    if (!IsHandle(handle)) {
        return nullptr;
    }
    auto record = Handles().Find(handle);
    if (!record) {
        Forget(handle);
    }
    return record;
}

bool WorkerThread::IsIdle(std::optional<int> reap) {
    ThreadHandle handle = m_handle.load();
    if (handle == 0) {
        return true;
    }
    if (handle == kReserved) {
        return false;  // a start is under way
    }
    auto record = Handles().Find(handle);
    if (!record) {
        Forget(handle);
        return true;
    }
    if (!record->Ended()) {
        return false;
    }
    if (m_handle.compare_exchange_strong(handle, 0)) {
        m_threadId.store(0);
        if (reap.value_or(0) == 1) {
            Handles().Close(handle);
        }
    }
    return true;
}

bool WorkerThread::IsRunning() {
    auto record = HeldRecord();
    if (!record) {
        return false;
    }
    return !record->Ended();
}

bool WorkerThread::Start(ThreadRoutine routine, const StartOptions& options) {
    return StartThread(std::move(routine), options, true);
}

bool WorkerThread::StartAt(std::uintptr_t routineAddress, const StartOptions& options) {
    if (routineAddress == 0) {
        return false;
    }
    return StartThread(reinterpret_cast<int (*)(int)>(routineAddress), options, false);
}

bool WorkerThread::StartThread(ThreadRoutine routine, const StartOptions& options, bool keepId) {
    if (!IsIdle(1)) {
        return false;
    }
    ThreadHandle expected = 0;
    if (!m_handle.compare_exchange_strong(expected, kReserved)) {
        return false;  // another start is under way
    }
    const bool suspended = options.suspended.value_or(0) == 1;
    auto record = std::make_shared<ThreadRecord>();
    record->held = suspended;
    const ThreadHandle handle = Handles().Open(record);
    const int argument = options.argument.value_or(0);
    bool created =
        routine && StartDetachedThread(
                       [record, routine = std::move(routine), argument] {
                           std::unique_lock lock(record->mutex);
                           record->tid = static_cast<int>(gettid());
                           record->changed.notify_all();
                           record->changed.wait(lock, [&] { return !record->held; });
                           lock.unlock();
                           int exitCode = 0;
                           try {
                               exitCode = routine(argument);
                           } catch (...) {
                               exitCode = -1;  // the routine failed; its exception stays on its own thread
                           }
                           lock.lock();
                           record->exitCode = exitCode;
                           record->ended = true;
                           record->changed.notify_all();
                       },
                       static_cast<std::size_t>(ThreadStackReservation(options.stackSize)));
    if (!created) {
        Handles().Close(handle);
        m_handle.store(0);
        if (options.handleOut) {
            *options.handleOut = 0;
        }
        return false;
    }
    {
        // The id is the kernel's thread id, which only the new thread can read.
        std::unique_lock lock(record->mutex);
        record->changed.wait(lock, [&] { return record->tid != 0; });
        if (keepId) {
            m_threadId.store(record->tid);
        }
    }
    m_handle.store(handle);

    if (options.waitForEnd.value_or(0) == 1 && !suspended) {
        bool ended = options.processMessages.value_or(0) == 1 ? WaitEndPumping(*record, options.timeoutMs)
                                                              : record->WaitEnd(Limit(options.timeoutMs));
        if (ended) {
            if (options.exitCodeOut) {
                std::lock_guard lock(record->mutex);
                *options.exitCodeOut = record->exitCode;
            }
            ThreadHandle held = handle;
            if (m_handle.compare_exchange_strong(held, 0)) {
                Handles().Close(handle);
            }
            if (options.handleOut) {
                *options.handleOut = 0;
            }
            return true;
        }
    }
    if (options.handleOut) {
        *options.handleOut = handle;
    }
    return true;
}

bool WorkerThread::Wait(std::optional<int> timeoutMs) {
    auto record = HeldRecord();
    if (!record) {
        return true;
    }
    return record->WaitEnd(Limit(timeoutMs));
}

bool WorkerThread::WaitPumping(std::optional<int> timeoutMs) {
    auto record = HeldRecord();
    if (!record) {
        return true;
    }
    return WaitEndPumping(*record, timeoutMs);
}

bool WorkerThread::WaitForMessages(std::optional<int> timeoutMs) {
    auto record = HeldRecord();
    if (!record) {
        return true;
    }
    if (!IsGuiThread()) {
        return record->WaitEnd(Limit(timeoutMs));  // no window, so no message can arrive
    }
    // The pump cannot tell whether a message came, so it runs every step and the time-out counts
    // from the call rather than restarting after each message.
    const auto deadline = std::chrono::steady_clock::now() + Limit(timeoutMs).value_or(milliseconds(0));
    for (;;) {
        PumpMessages();
        if (record->WaitEnd(milliseconds(kPumpStepMs))) {
            return true;
        }
        if (Limit(timeoutMs) && std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
    }
}

// Linux cannot suspend a single thread of a process from outside (signals would stop it at any
// point, locks held); a thread of ours can only be held before its routine starts.
bool WorkerThread::Suspend() {
    return false;
}

bool WorkerThread::Resume() {
    ThreadHandle handle = m_handle.load();
    if (!IsHandle(handle) || IsIdle()) {
        return false;
    }
    auto record = Handles().Find(handle);
    if (!record) {
        return false;
    }
    std::lock_guard lock(record->mutex);
    record->held = false;
    record->changed.notify_all();
    return true;
}

bool WorkerThread::Close() {
    ThreadHandle handle = m_handle.load();
    while (IsHandle(handle)) {
        if (m_handle.compare_exchange_weak(handle, 0)) {
            m_threadId.store(0);
            return Handles().Close(handle);
        }
    }
    return true;  // nothing held (a reservation belongs to the start under way)
}

// Linux offers no safe forced end of one thread: pthread_cancel unwinds C++ frames at arbitrary
// points and would leave locks held, so a running thread is never terminated.
bool WorkerThread::Terminate() {
    return IsIdle();
}

int WorkerThread::ExitCode() {
    ThreadHandle handle = m_handle.load();
    if (!IsHandle(handle)) {
        return 0;
    }
    auto record = Handles().Find(handle);
    if (!record) {
        return 0;
    }
    std::lock_guard lock(record->mutex);
    return record->ended ? record->exitCode : kStillActive;
}

// A thread's priority is its nice value turned round: higher runs sooner, 0 is normal.
int WorkerThread::Priority() {
    const int tid = m_threadId.load();
    if (IsIdle() || tid == 0) {
        return 0;  // no thread, or one whose id was not kept (StartAt, Attach)
    }
    errno = 0;
    int nice = getpriority(PRIO_PROCESS, static_cast<id_t>(tid));
    return errno == 0 ? -nice : 0;
}

bool WorkerThread::SetPriority(int priority) {
    if (IsIdle() || m_threadId.load() == 0) {
        return false;
    }
    return setpriority(PRIO_PROCESS, static_cast<id_t>(m_threadId.load()), -priority) == 0;
}

bool WorkerThread::SetAffinity(std::uint64_t processorMask) {
    int tid = m_threadId.load();
    if (IsIdle() || tid == 0) {
        return false;
    }
    cpu_set_t previous;
    CPU_ZERO(&previous);
    if (sched_getaffinity(tid, sizeof previous, &previous) != 0) {
        return false;
    }
    cpu_set_t wanted;
    CPU_ZERO(&wanted);
    for (int cpu = 0; cpu < 64; ++cpu) {
        if (processorMask & (std::uint64_t{1} << cpu)) {
            CPU_SET(cpu, &wanted);
        }
    }
    return sched_setaffinity(tid, sizeof wanted, &wanted) == 0 && CPU_COUNT(&previous) > 0;
}

void WorkerThread::Attach(ThreadHandle handle) {
    Close();
    m_handle.store(handle);
}

// Linux threads have no message queues; window events travel through the GUI's own event loop.
bool WorkerThread::PostMessageA(int, int, int) {
    return false;
}
bool WorkerThread::PostMessageW(int, int, int) {
    return false;
}

}  // namespace lanque
