#include "concurrency/event.h"

namespace lanque {

Event::Event(bool manualReset, bool initiallySet) : m_manualReset(manualReset), m_set(initiallySet) {}

void Event::Set() {
    // Already set: nobody can be waiting for this signal. Nobody waiting: nothing to wake. Both the flag
    // and the waiter count are sequentially consistent, so a waiter that registers now sees the flag.
    // The plain load first keeps a set event's cache line shared between the threads that signal it.
    if (m_set.load() || m_set.exchange(true) || m_waiters.load() == 0) {
        return;
    }
    std::lock_guard lock(m_mutex);
    if (m_manualReset) {
        m_changed.notify_all();
    } else {
        m_changed.notify_one();
    }
}

void Event::Reset() {
    m_set.store(false);
}

bool Event::Wait(std::optional<std::chrono::milliseconds> timeout) {
    auto take = [this] {
        if (m_manualReset) {
            return m_set.load();
        }
        bool expected = true;
        return m_set.compare_exchange_strong(expected, false);
    };
    if (take()) {
        return true;
    }
    if (timeout && timeout->count() <= 0) {
        return false;
    }
    std::unique_lock lock(m_mutex);
    m_waiters.fetch_add(1);
    bool got;
    if (timeout) {
        got = m_changed.wait_for(lock, *timeout, take);
    } else {
        m_changed.wait(lock, take);
        got = true;
    }
    m_waiters.fetch_sub(1);
    return got;
}

std::optional<std::chrono::milliseconds> TimeoutFromMs(std::optional<int> ms) {
    if (!ms || *ms < 0) {
        return std::nullopt;
    }
    return std::chrono::milliseconds(*ms);
}

}  // namespace lanque
