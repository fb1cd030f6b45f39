#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <optional>
#include <utility>

namespace quarrelby {

// A first-in first-out hand-over from one thread to another that holds at
// most `capacity` items: a producer that runs ahead waits for the consumer.
//
// The producer ends the stream with close(); the consumer then takes what is
// left. Either side may cancel(): a waiting push() or pop() returns at once,
// later ones do nothing, and the work on both sides can poll cancelled() to
// stop within an item.
template <class T> class BoundedQueue {
public:
    explicit BoundedQueue(std::size_t capacity)
        : m_capacity(capacity > 0 ? capacity : 1)
    {
    }

    BoundedQueue(const BoundedQueue &) = delete;
    BoundedQueue &operator=(const BoundedQueue &) = delete;

    // Adds an item, waiting while the queue is full. False, with the item
    // dropped, when the queue was cancelled or closed.
    bool push(T item)
    {
        {
            std::unique_lock lock(m_mutex);
            m_changed.wait(lock, [this] { return m_cancelled || m_closed || m_items.size() < m_capacity; });
            if (m_cancelled || m_closed)
                return false;
            m_items.push_back(std::move(item));
        }
        m_changed.notify_all();
        return true;
    }

    // The oldest item, waiting while the queue is empty and open. Nothing
    // after the last item of a closed queue or once the queue is cancelled.
    std::optional<T> pop()
    {
        std::optional<T> item;
        {
            std::unique_lock lock(m_mutex);
            m_changed.wait(lock, [this] { return m_cancelled || m_closed || !m_items.empty(); });
            if (m_cancelled || m_items.empty())
                return item;
            item.emplace(std::move(m_items.front()));
            m_items.pop_front();
        }
        m_changed.notify_all();
        return item;
    }

    // No more items.
    void close()
    {
        {
            const std::lock_guard lock(m_mutex);
            m_closed = true;
        }
        m_changed.notify_all();
    }

    // Stops both sides; the items still queued are dropped.
    void cancel()
    {
        std::deque<T> dropped;
        {
            const std::lock_guard lock(m_mutex);
            m_cancelled = true;
            dropped.swap(m_items);
        }
        m_changed.notify_all();
    }

    [[nodiscard]] bool cancelled() const { return m_cancelled.load(std::memory_order_relaxed); }

private:
    const std::size_t m_capacity;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<T> m_items;
    bool m_closed = false;
    // Also read without the mutex by cancelled().
    std::atomic<bool> m_cancelled = false;
};

} // namespace quarrelby
