#include "concurrency/thread_pool.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

#include "concurrency/event.h"
#include "concurrency/message_pump.h"
#include "concurrency/native_thread.h"

namespace lanque {

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr int kDefaultThreads = 5;
constexpr int kDefaultIdleTimeoutMs = 10000;
constexpr int kLeastIdleTimeoutMs = 100;
constexpr int kLeastStack = 8192;
constexpr milliseconds kPumpSlice{20};
constexpr int kPumpRounds = 100;
constexpr milliseconds kManagerWait{2000};
constexpr int kMaxFailuresInARow = 4;
constexpr int kTakeSpins = 50;

// One queue item: a task, or the stop marker that tells the worker taking it to leave.
struct Packet {
    TaskRoutine routine;
    int first = 0;
    int second = 0;
    bool stopMarker = false;
};

Packet StopMarker() {
    return Packet{{}, -1, -1, true};
}

long long MsSince(Clock::time_point start) {
    return std::chrono::duration_cast<milliseconds>(Clock::now() - start).count();
}

// Waits for the event, pumping window messages between short waits when asked.
bool WaitManagerEnd(Event& done, bool pump) {
    if (!pump) {
        return done.Wait(kManagerWait);
    }
    for (int round = 0; round < kPumpRounds; ++round) {
        if (done.Wait(kPumpSlice)) {
            return true;
        }
        PumpMessages();
    }
    return false;
}

}  // namespace

struct ThreadPool::Core {
    std::atomic<int> state{kPoolIdle};
    std::atomic<int> accepting{0};
    Event wake{false};
    Event started{false};
    Event taskDone{false};
    Event gate{true, true};

    // The completion queue: first in, first out, any number of takers, a timed blocking take. The
    // queued and busy counts sit on the queue's cache line and change together with a post or a take,
    // under the queue's lock, so a task costs the queue's lock and little more.
    alignas(64) std::mutex queueMutex;
    std::condition_variable queueReady;
    std::deque<Packet> queueItems;
    bool queueOpen = false;
    std::atomic<int> queueLength{0};  // mirrors queueItems.size(), for a taker that spins
    std::atomic<int> busyCount{0};
    std::atomic<int> queuedCount{0};

    alignas(64) std::atomic<int> threadCount{0};
    std::atomic<int> checkedIn{0};
    std::atomic<int> maxThreads{0};
    std::atomic<int> idleTimeoutMs{0};
    std::atomic<int> stackSize{0};
    // Each run's manager has its own end signal and generation, so a manager left over from a failed
    // start can never be mistaken for the current one.
    std::shared_ptr<Event> managerDone;
    std::atomic<unsigned> generation{0};

    std::mutex hookMutex;
    PoolHook poolStarted;
    PoolHook poolEnded;
    PoolHook threadStart;
    PoolHook threadEnd;
    TaskDispatcher dispatcher;
    std::atomic<bool> hasDispatcher{false};

    PoolHook Hook(PoolHook Core::*which) {
        std::lock_guard lock(hookMutex);
        return this->*which;
    }
    void RunHook(PoolHook Core::*which) {
        PoolHook hook = Hook(which);
        if (hook) {
            try {
                hook();
            } catch (...) {
                // A hook's failure is its own; the pool carries on.
            }
        }
    }

    // Posts a packet; a task is counted as queued in the same step. False when the queue is closed.
    bool Post(Packet packet) {
        {
            std::lock_guard lock(queueMutex);
            if (!queueOpen) {
                return false;
            }
            if (!packet.stopMarker) {
                queuedCount.fetch_add(1);
            }
            queueItems.push_back(std::move(packet));
            queueLength.fetch_add(1, std::memory_order_relaxed);
        }
        queueReady.notify_one();
        return true;
    }

    // The oldest packet, waiting at most the time-out (none: without limit); nothing on time-out or
    // when the queue is closed. A task taken while the gate is open and the pool accepting is moved
    // from queued to busy in the same step (busy first); claimed tells whether that happened.
    std::optional<Packet> Take(std::optional<milliseconds> timeout, bool& claimed) {
        claimed = false;
        // Work often arrives within microseconds: a short spin before sleeping saves the wake-up,
        // which costs more than a task.
        for (int spin = 0; spin < kTakeSpins && queueLength.load(std::memory_order_relaxed) == 0; ++spin) {
            std::this_thread::yield();
        }
        std::unique_lock lock(queueMutex);
        auto ready = [this] { return !queueOpen || !queueItems.empty(); };
        if (timeout) {
            if (!queueReady.wait_for(lock, *timeout, ready)) {
                return std::nullopt;
            }
        } else {
            queueReady.wait(lock, ready);
        }
        if (!queueOpen) {
            return std::nullopt;
        }
        std::optional<Packet> packet(std::move(queueItems.front()));
        queueItems.pop_front();
        queueLength.fetch_sub(1, std::memory_order_relaxed);
        if (!packet->stopMarker && gate.IsSet() && accepting.load(std::memory_order_relaxed) == 1) {
            busyCount.fetch_add(1);  // busy first: a reader of queued, then busy, always counts the task
            queuedCount.fetch_sub(1);
            claimed = true;
        }
        return packet;
    }

    void OpenQueue() {
        std::lock_guard lock(queueMutex);
        queueOpen = true;
    }

    // Closes the queue and wakes every taker; the tasks still queued are no longer counted. Returns
    // them, to be destroyed outside the lock.
    std::deque<Packet> CloseQueue() {
        std::deque<Packet> dropped;
        {
            std::lock_guard lock(queueMutex);
            queueOpen = false;
            dropped.swap(queueItems);
            queueLength.store(0, std::memory_order_relaxed);
            for (const Packet& p : dropped) {
                if (!p.stopMarker) {
                    queuedCount.fetch_sub(1);
                }
            }
        }
        queueReady.notify_all();
        return dropped;
    }

    bool GrowthDue() const {
        int threads = threadCount.load();
        return threads < maxThreads.load() && busyCount.load() + queuedCount.load() > threads;
    }
};

namespace {

using Core = ThreadPool::Core;

void WorkerLoop(const std::shared_ptr<Core>& core, bool extra);

// The creator counts the worker before it exists, so a stop that counts workers for its stop markers
// never misses one that is still starting.
bool StartWorker(const std::shared_ptr<Core>& core, bool extra) {
    core->threadCount.fetch_add(1);
    bool started = StartDetachedThread([core, extra] { WorkerLoop(core, extra); },
                                       static_cast<std::size_t>(core->stackSize.load()));
    if (!started) {
        core->threadCount.fetch_sub(1);
    }
    return started;
}

void RunTask(Core& core, const Packet& packet) {
    try {
        if (core.hasDispatcher.load()) {
            TaskDispatcher dispatcher;
            {
                std::lock_guard lock(core.hookMutex);
                dispatcher = core.dispatcher;
            }
            if (dispatcher) {
                dispatcher(packet.routine, packet.first, packet.second);
                return;
            }
        }
        packet.routine(packet.first, packet.second);
    } catch (...) {
        // A task that throws ends only itself; the worker takes the next one.
    }
}

// The last worker out releases the run: the queue (with whatever was still queued), the signals,
// and finally the state, which lets a waiting Stop return.
void EndPool(const std::shared_ptr<Core>& core) {
    core->CloseQueue().clear();  // tasks still queued are destroyed here, outside the queue lock
    core->taskDone.Reset();
    core->wake.Reset();
    core->gate.Set();
    core->accepting.store(0);
    core->RunHook(&Core::poolEnded);
    core->state.store(kPoolIdle);
    core->started.Set();
}

void WorkerLoop(const std::shared_ptr<Core>& core, bool extra) {
    core->checkedIn.fetch_add(1);
    if (core->state.load() != kPoolStopping) {
        core->started.Set();
    }
    core->RunHook(&Core::threadStart);
    for (;;) {
        std::optional<milliseconds> wait;
        if (extra) {
            wait = milliseconds(core->idleTimeoutMs.load());
        }
        bool claimed = false;
        std::optional<Packet> packet = core->Take(wait, claimed);
        core->gate.Wait();  // a paused pool holds at most one taken task per worker
        if (!packet) {
            break;
        }
        if (core->accepting.load() != 1) {
            if (claimed) {
                core->busyCount.fetch_sub(1);  // dropped unrun
            } else if (!packet->stopMarker) {
                core->queuedCount.fetch_sub(1);
            }
            break;
        }
        if (packet->stopMarker) {
            break;
        }
        if (!claimed) {
            core->busyCount.fetch_add(1);  // busy before queued, so the task is always counted
            core->queuedCount.fetch_sub(1);
        }
        RunTask(*core, *packet);
        packet.reset();
        int busy = core->busyCount.fetch_sub(1) - 1;
        core->taskDone.Set();
        if (extra && busy >= core->maxThreads.load()) {
            break;  // the pool is above its limit
        }
    }
    core->RunHook(&Core::threadEnd);
    if (core->threadCount.fetch_sub(1) - 1 > 0) {
        return;
    }
    EndPool(core);
}

void ManagerLoop(const std::shared_ptr<Core>& core, unsigned generation, const std::shared_ptr<Event>& done) {
    core->wake.Wait();
    int failures = 0;
    while (core->state.load() == kPoolRunning && core->generation.load() == generation) {
        if (core->GrowthDue()) {
            if (StartWorker(core, true)) {
                failures = 0;
                core->started.Wait(milliseconds(core->threadCount.load() * 10 + 5000));
            } else if (++failures > kMaxFailuresInARow) {
                core->maxThreads.store(std::max(1, core->threadCount.load()));
                failures = 0;
            }
        } else {
            core->wake.Wait();
        }
        core->gate.Wait();  // a paused pool does not grow
    }
    done->Set();
}

}  // namespace

ThreadPool::ThreadPool() : m_core(std::make_shared<Core>()) {}

ThreadPool::~ThreadPool() {
    Stop(2);
}

bool ThreadPool::Create(std::optional<int> initialThreads, std::optional<int> maxThreads,
                        std::optional<int> idleTimeoutMs, std::optional<int> processMessages,
                        std::optional<int> stackSize) {
    Core& core = *m_core;
    int expected = kPoolIdle;
    if (!core.state.compare_exchange_strong(expected, kPoolCreating)) {
        return false;
    }
    const bool pump = processMessages.value_or(0) == 1;
    const int initial = initialThreads ? std::max(*initialThreads, 1) : kDefaultThreads;
    core.maxThreads.store(maxThreads && *maxThreads >= initial ? *maxThreads : initial);
    core.idleTimeoutMs.store(idleTimeoutMs ? std::max(*idleTimeoutMs, kLeastIdleTimeoutMs)
                                           : kDefaultIdleTimeoutMs);
    int stack = 0;
    if (stackSize && *stackSize != 0) {
        stack = *stackSize < kLeastStack ? kLeastStack : *stackSize / 4096 * 4096;
    }
    core.stackSize.store(stack);

    core.OpenQueue();
    core.wake.Reset();
    core.started.Reset();
    core.taskDone.Reset();
    core.gate.Set();
    core.checkedIn.store(0);
    core.accepting.store(1);
    unsigned generation = core.generation.fetch_add(1) + 1;
    auto managerDone = std::make_shared<Event>(true);
    core.managerDone = managerDone;
    std::shared_ptr<Core> shared = m_core;
    if (!StartDetachedThread(
            [shared, generation, managerDone] { ManagerLoop(shared, generation, managerDone); }, 0)) {
        core.CloseQueue();
        core.accepting.store(0);
        core.state.store(kPoolIdle);
        return false;
    }

    int startedWorkers = 0;
    int failuresInARow = 0;
    for (int i = 0; i < initial && failuresInARow <= kMaxFailuresInARow; ++i) {
        if (StartWorker(m_core, false)) {
            ++startedWorkers;
            failuresInARow = 0;
        } else {
            ++failuresInARow;
        }
        if (pump) {
            PumpMessages();
        }
    }
    // Wait until every started worker runs, so that Create returns a pool whose workers all exist.
    for (int round = 0; core.checkedIn.load() < startedWorkers && round < startedWorkers + 1000; ++round) {
        core.started.Wait(kPumpSlice);
        if (pump) {
            PumpMessages();
        }
    }
    if (startedWorkers == 0) {
        core.wake.Set();
        WaitManagerEnd(*managerDone, pump);
        core.CloseQueue();
        core.accepting.store(0);
        core.state.store(kPoolIdle);
        return false;
    }
    core.RunHook(&Core::poolStarted);
    core.state.store(kPoolRunning);
    return true;
}

bool ThreadPool::Stop(std::optional<int> mode, std::optional<int> timeoutMs,
                      std::optional<int> processMessages) {
    Core& core = *m_core;
    int expected = kPoolRunning;
    if (!core.state.compare_exchange_strong(expected, kPoolStopping)) {
        return expected == kPoolIdle;
    }
    const bool pump = processMessages.value_or(0) == 1;
    int stopMode = mode.value_or(0);
    if (stopMode < 0 || stopMode > 3) {
        stopMode = 0;
    }
    if (stopMode == 0 || stopMode == 2) {
        core.accepting.store(0);  // the tasks still queued are dropped
    }
    core.taskDone.Set();
    core.started.Set();
    core.wake.Set();
    core.gate.Set();
    WaitManagerEnd(*core.managerDone, pump);
    core.started.Reset();
    const int markers = core.threadCount.load() + 1;
    for (int i = 0; i < markers; ++i) {
        core.Post(StopMarker());
        if (pump && (i + 1) % 100 == 0) {
            PumpMessages();
        }
    }
    if (stopMode >= 2) {
        return true;
    }
    const auto start = Clock::now();
    const bool limited = timeoutMs && *timeoutMs > 0;
    while (core.state.load() == kPoolStopping) {
        if (pump) {
            core.started.Wait(kPumpSlice);
            PumpMessages();
            if (limited && MsSince(start) > *timeoutMs) {
                return core.state.load() != kPoolStopping;
            }
        } else if (!limited) {
            core.started.Wait();
        } else {
            long long left = *timeoutMs - MsSince(start);
            if (left <= 0 || !core.started.Wait(milliseconds(left))) {
                return core.state.load() != kPoolStopping;
            }
        }
    }
    return true;
}

bool ThreadPool::Pause() {
    if (m_core->state.load() != kPoolRunning) {
        return false;
    }
    m_core->gate.Reset();
    return true;
}

bool ThreadPool::Resume() {
    if (m_core->state.load() != kPoolRunning) {
        return false;
    }
    m_core->gate.Set();
    return true;
}

bool ThreadPool::WaitWhilePaused(std::optional<int> timeoutMs) {
    if (m_core->state.load() != kPoolRunning) {
        return false;
    }
    return m_core->gate.Wait(TimeoutFromMs(timeoutMs));
}

bool ThreadPool::Submit(TaskRoutine routine, int first, int second) {
    Core& core = *m_core;
    if (core.state.load() != kPoolRunning || !routine) {
        return false;
    }
    if (!core.Post(Packet{std::move(routine), first, second, false})) {
        return false;
    }
    if (core.GrowthDue()) {
        core.wake.Set();
    }
    return true;
}

bool ThreadPool::SubmitAt(std::uintptr_t routineAddress, int first, int second) {
    if (routineAddress == 0) {
        return false;
    }
    return Submit(reinterpret_cast<void (*)(int, int)>(routineAddress), first, second);
}

bool ThreadPool::WaitTaskDone(std::optional<int> timeoutMs, std::optional<int> processMessages) {
    Core& core = *m_core;
    if (core.state.load() != kPoolRunning) {
        return false;
    }
    if (processMessages.value_or(0) != 1) {
        return core.taskDone.Wait(TimeoutFromMs(timeoutMs));
    }
    const auto start = Clock::now();
    for (;;) {
        PumpMessages();
        if (core.taskDone.Wait(kPumpSlice)) {
            return true;
        }
        if (timeoutMs && *timeoutMs != -1 && MsSince(start) > *timeoutMs) {
            return false;
        }
    }
}

bool ThreadPool::SignalTaskDone() {
    if (m_core->state.load() != kPoolRunning) {
        return false;
    }
    m_core->taskDone.Set();
    return true;
}

int ThreadPool::IdleThreads() const {
    return m_core->threadCount.load() - m_core->busyCount.load();
}
int ThreadPool::BusyTasks() const {
    return m_core->busyCount.load();
}
int ThreadPool::QueuedTasks() const {
    return m_core->queuedCount.load();
}
int ThreadPool::ThreadCount() const {
    return m_core->threadCount.load();
}
int ThreadPool::MaxThreads() const {
    return m_core->maxThreads.load();
}
bool ThreadPool::IsIdle() const {
    return m_core->queuedCount.load() == 0 && m_core->busyCount.load() == 0;
}
int ThreadPool::State() const {
    return m_core->state.load();
}

void ThreadPool::SetMaxThreads(int n) {
    if (m_core->state.load() != kPoolRunning) {
        return;
    }
    m_core->maxThreads.store(std::max(n, 1));
    if (m_core->GrowthDue()) {
        m_core->wake.Set();
    }
}

void ThreadPool::SetIdleTimeout(int ms) {
    if (m_core->state.load() == kPoolRunning) {
        m_core->idleTimeoutMs.store(std::max(ms, kLeastIdleTimeoutMs));
    }
}

int ThreadPool::SetStackSize(int bytes) {
    if (m_core->state.load() != kPoolRunning) {
        return 0;
    }
    if (bytes >= 1 && bytes < kLeastStack) {
        m_core->stackSize.store(kLeastStack);
        return 1;
    }
    // A negative size means nothing sensible; it takes the platform default like 0.
    int size = bytes <= 0 ? 0 : bytes / kLeastStack * kLeastStack;
    m_core->stackSize.store(size);
    return size;
}

void ThreadPool::SetThreadHooks(std::optional<PoolHook> threadStart, std::optional<PoolHook> threadEnd,
                                std::optional<TaskDispatcher> dispatcher) {
    std::lock_guard lock(m_core->hookMutex);
    if (threadStart) {
        m_core->threadStart = std::move(*threadStart);
    }
    if (threadEnd) {
        m_core->threadEnd = std::move(*threadEnd);
    }
    if (dispatcher) {
        m_core->dispatcher = std::move(*dispatcher);
        m_core->hasDispatcher.store(static_cast<bool>(m_core->dispatcher));
    }
}

void ThreadPool::SetPoolHooks(std::optional<PoolHook> poolStarted, std::optional<PoolHook> poolEnded) {
    std::lock_guard lock(m_core->hookMutex);
    if (poolStarted) {
        m_core->poolStarted = std::move(*poolStarted);
    }
    if (poolEnded) {
        m_core->poolEnded = std::move(*poolEnded);
    }
}

}  // namespace lanque
