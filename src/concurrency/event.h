#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>

namespace lanque {

// A signalling event. An auto-reset event lets one waiter through per Set and clears itself;
// a manual-reset event stays set until Reset. Waits take an optional time-out (none: without limit).
class Event {
public:
    explicit Event(bool manualReset, bool initiallySet = false);
    Event(const Event&) = delete;
    Event& operator=(const Event&) = delete;

    void Set();
    void Reset();
    // True when the event was (or became) set within the time-out; an auto-reset event is consumed.
    bool Wait(std::optional<std::chrono::milliseconds> timeout = std::nullopt);
    bool IsSet() const { return m_set.load(); }

private:
    const bool m_manualReset;
    std::atomic<bool> m_set;
    std::atomic<int> m_waiters{0};
    std::mutex m_mutex;
    std::condition_variable m_changed;
};

// Milliseconds as a wait's time-out: a negative value means without limit.
std::optional<std::chrono::milliseconds> TimeoutFromMs(std::optional<int> ms);

}  // namespace lanque
