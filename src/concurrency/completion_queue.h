#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <optional>

#include "concurrency/steady_clock.h"

namespace lanque {

// A thread-safe first-in, first-out queue with a timed blocking take, for any number of producers and
// consumers. A closed queue refuses posts and fails every take until it is opened again.
template <typename Item>
class CompletionQueue {
public:
    CompletionQueue() = default;
    CompletionQueue(const CompletionQueue&) = delete;
    CompletionQueue& operator=(const CompletionQueue&) = delete;

    bool Post(Item item) {
        {
            std::lock_guard lock(m_mutex);
            if (!m_open) {
                return false;
            }
            m_items.push_back(std::move(item));
        }
        m_ready.notify_one();
        return true;
    }

    // The oldest item; nothing when the time-out passed (none: without limit) or the queue is closed.
    std::optional<Item> Take(std::optional<std::chrono::milliseconds> timeout = std::nullopt) {
        std::unique_lock lock(m_mutex);
        auto ready = [this] { return !m_open || !m_items.empty(); };
        if (timeout) {
            if (!m_ready.wait_for(lock, *timeout, ready)) {
                return std::nullopt;
            }
        } else {
            m_ready.wait(lock, ready);
        }
        if (!m_open) {
            return std::nullopt;
        }
        Item item = std::move(m_items.front());
        m_items.pop_front();
        return item;
    }

    void Open() {
        std::lock_guard lock(m_mutex);
        m_open = true;
    }

    // Closes the queue, wakes every taker and returns the items that were still queued; the caller
    // destroys them outside the queue's lock.
    std::deque<Item> Close() {
        std::deque<Item> dropped;
        {
            std::lock_guard lock(m_mutex);
            m_open = false;
            dropped.swap(m_items);
        }
        m_ready.notify_all();
        return dropped;
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_ready;
    std::deque<Item> m_items;
    bool m_open = false;
};

}  // namespace lanque
