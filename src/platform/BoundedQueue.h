#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <optional>
#include <utility>

namespace quarrelby {

// A first-in first-out hand-over from one thread to another that holds items
// weighing at most `capacity` together: a producer that runs ahead waits for
// the consumer. Each item weighs what its producer says (1 unless told), and
// an item heavier than the whole capacity still goes into an empty queue.
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

    // Adds an item, waiting while it would not fit. False, with the item
    // dropped, when the queue was cancelled or closed.
    bool push(T item, std::size_t weight = 1)
    {
        {
            std::unique_lock lock(m_mutex);
            m_changed.wait(lock, [&] { return m_cancelled || m_closed || fits(weight); });
            if (m_cancelled || m_closed)
                return false;
            m_items.emplace_back(std::move(item), weight);
            m_weight += weight;
        }
        m_changed.notify_all();
        return true;
    }

    // Whether push() would add an item of this weight without waiting, as
    // long as nobody else pushes meanwhile.
    [[nodiscard]] bool hasRoom(std::size_t weight)
    {
        const std::lock_guard lock(m_mutex);
        return fits(weight);
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
            item.emplace(std::move(m_items.front().first));
            m_weight -= m_items.front().second;
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
        std::deque<std::pair<T, std::size_t>> dropped;
        {
            const std::lock_guard lock(m_mutex);
            m_cancelled = true;
            dropped.swap(m_items);
            m_weight = 0;
        }
        m_changed.notify_all();
    }

    [[nodiscard]] bool cancelled() const { return m_cancelled.load(std::memory_order_relaxed); }

private:
    [[nodiscard]] bool fits(std::size_t weight) const { return m_items.empty() || m_weight + weight <= m_capacity; }

    const std::size_t m_capacity;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<std::pair<T, std::size_t>> m_items;
    std::size_t m_weight = 0;
    bool m_closed = false;
    // Also read without the mutex by cancelled().
    std::atomic<bool> m_cancelled = false;
};

} // namespace quarrelby
