#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>
#include <vector>

namespace quarrelby {

// Jobs done by a few threads at once, their results taken by one consumer in
// the order the jobs were submitted.
//
// A job hands its result over in parts as it goes (publish), each part
// weighing some number of items. What has been handed over and not yet taken
// is bounded: before a job starts, and after each of its parts, its thread
// waits while all parts waiting weigh `ahead` items or more; the job the
// consumer is on waits only while its own parts do, so it never waits for
// the consumer to take what it cannot reach yet. All that waits stays under
// twice `ahead`, plus a part for each thread. How many jobs are submitted and
// not yet taken in full is bounded by `jobs`.
//
// Either side may cancel(): every wait returns at once, and a job polls
// publish()'s result to stop early.
//
// Why not QThreadPool and QtConcurrent with a window of futures taken in
// order: tried, it held order, failures and cancellation, but a future hands
// its result over only when its whole job is done, and the window can only
// be bounded by the bytes a job was read from, not by the contacts it became.
// Measured interleaved with this scheduler on two shared cores (Release,
// 100,000 contacts, bench/window_time.sh, medians): click to "Done." from
// one .vcf 591 ms against 452, from a folder of 100,000 cards 1493 against
// 1264; a job reading whole files in a worker as here, rather than on the
// reading thread, did not close the gap.
template <class Job, class Part> class OrderedWork {
public:
    struct Publisher;
    // Does one job on worker thread `worker` (0 .. workers - 1).
    using Work = std::function<void(Job &job, std::size_t worker, Publisher &publisher)>;

    // What a running job, number `sequence`, hands its parts to.
    struct Publisher {
        OrderedWork &work;
        std::size_t sequence;

        // Hands over a part weighing `items`, then waits for room; false once
        // the work was cancelled.
        bool publish(Part part, std::size_t items) { return work.publish(sequence, std::move(part), items); }
    };

    OrderedWork(std::size_t workers, std::size_t jobs, std::size_t ahead, Work work)
        : m_jobLimit(jobs > 0 ? jobs : 1)
        , m_ahead(ahead > 0 ? ahead : 1)
        , m_work(std::move(work))
    {
        for (std::size_t w = 0; w < (workers > 0 ? workers : 1); ++w)
            m_threads.emplace_back([this, w] { run(w); });
    }

    ~OrderedWork()
    {
        cancel();
        for (std::thread &thread : m_threads)
            thread.join();
    }

    OrderedWork(const OrderedWork &) = delete;
    OrderedWork &operator=(const OrderedWork &) = delete;

    // Adds a job, waiting while too many are unfinished or untaken; false
    // once cancelled or closed.
    bool submit(Job job)
    {
        {
            std::unique_lock lock(m_mutex);
            m_roomForJobs.wait(lock, [this] { return m_cancelled || m_closed || m_slots.size() < m_jobLimit; });
            if (m_cancelled || m_closed)
                return false;
            m_slots.emplace_back();
            m_queued.emplace_back(m_taken + m_slots.size() - 1, std::move(job));
        }
        m_jobsWaiting.notify_one();
        return true;
    }

    // No more jobs.
    void close() { stop(m_closed); }
    void cancel() { stop(m_cancelled); }

    // The next part in order, waiting for it; nothing after the last part of
    // the last job of closed work, or once cancelled.
    std::optional<Part> take()
    {
        std::unique_lock lock(m_mutex);
        while (true) {
            if (m_cancelled)
                return std::nullopt;
            if (!m_slots.empty()) {
                Slot &front = m_slots.front();
                if (!front.parts.empty()) {
                    std::optional<Part> part(std::move(front.parts.front().first));
                    front.weight -= front.parts.front().second;
                    front.parts.pop_front();
                    lock.unlock();
                    m_roomForParts.notify_all();
                    return part;
                }
                if (front.done) {
                    m_slots.pop_front();
                    ++m_taken;
                    m_roomForJobs.notify_one();
                    m_roomForParts.notify_all();
                    continue;
                }
            } else if (m_closed) {
                return std::nullopt;
            }
            m_partsReady.wait(lock);
        }
    }

private:
    struct Slot {
        std::deque<std::pair<Part, std::size_t>> parts;
        std::size_t weight = 0;
        bool done = false;
    };

    // Whether job `sequence` may go on handing over. Called with the mutex
    // held.
    [[nodiscard]] bool roomFor(std::size_t sequence) const
    {
        if (m_slots.empty() || sequence == m_taken)
            return m_slots.empty() || m_slots.front().weight < m_ahead;
        std::size_t weight = 0;
        for (const Slot &slot : m_slots)
            weight += slot.weight;
        return weight < m_ahead;
    }

    // Sets m_closed or m_cancelled, and wakes every wait to look at it.
    void stop(bool &flag)
    {
        {
            const std::lock_guard lock(m_mutex);
            flag = true;
        }
        m_jobsWaiting.notify_all();
        m_partsReady.notify_all();
        m_roomForJobs.notify_all();
        m_roomForParts.notify_all();
    }

    void waitForRoom(std::unique_lock<std::mutex> &lock, std::size_t sequence)
    {
        m_roomForParts.wait(lock, [&] { return m_cancelled || roomFor(sequence); });
    }

    bool publish(std::size_t sequence, Part part, std::size_t items)
    {
        std::unique_lock lock(m_mutex);
        if (m_cancelled)
            return false;
        Slot &slot = m_slots[sequence - m_taken];
        slot.parts.emplace_back(std::move(part), items);
        slot.weight += items;
        if (sequence == m_taken)
            m_partsReady.notify_one();
        waitForRoom(lock, sequence);
        return !m_cancelled;
    }

    void run(std::size_t worker)
    {
        while (true) {
            std::unique_lock lock(m_mutex);
            m_jobsWaiting.wait(lock, [this] { return m_cancelled || m_closed || !m_queued.empty(); });
            if (m_cancelled || m_queued.empty())
                return;
            auto [sequence, job] = std::move(m_queued.front());
            m_queued.pop_front();
            waitForRoom(lock, sequence);
            if (m_cancelled)
                return;
            lock.unlock();

            Publisher publisher {*this, sequence};
            m_work(job, worker, publisher);

            lock.lock();
            if (m_cancelled)
                return;
            m_slots[sequence - m_taken].done = true;
            const bool front = sequence == m_taken;
            lock.unlock();
            if (front)
                m_partsReady.notify_one();
        }
    }

    const std::size_t m_jobLimit;
    const std::size_t m_ahead;
    const Work m_work;

    std::mutex m_mutex;
    std::condition_variable m_jobsWaiting;
    std::condition_variable m_partsReady;
    std::condition_variable m_roomForJobs;
    std::condition_variable m_roomForParts;
    // Jobs not yet started, with their sequence numbers.
    std::deque<std::pair<std::size_t, Job>> m_queued;
    // One slot for each job submitted and not yet taken in full, the first
    // for job m_taken.
    std::deque<Slot> m_slots;
    std::size_t m_taken = 0;
    bool m_closed = false;
    bool m_cancelled = false;

    // Last: the threads use everything above.
    std::vector<std::thread> m_threads;
};

} // namespace quarrelby
