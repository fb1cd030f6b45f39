// The hand-over between the threads that parse a vCard book side by side and
// the walk that takes their contacts in the book's order.
#include "platform/OrderedWork.h"

#include <QtTest>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

using namespace quarrelby;

namespace {

// A move-only part naming its job and its place in the job.
using Piece = std::unique_ptr<std::pair<int, int>>;
using Work = OrderedWork<int, Piece>;
using Taken = std::vector<std::pair<int, int>>;

Piece piece(int job, int part)
{
    return std::make_unique<std::pair<int, int>>(job, part);
}

// A door jobs wait at until `count` others have arrived, or the test opens
// it (always, on the way out, so that a failed check never leaves a job
// waiting for good).
class Gate {
public:
    explicit Gate(int count = 1)
        : m_count(count)
    {
    }
    void arrive()
    {
        const std::lock_guard lock(m_mutex);
        m_count = std::max(m_count - 1, 0);
        m_changed.notify_all();
    }
    void open()
    {
        const std::lock_guard lock(m_mutex);
        m_count = 0;
        m_changed.notify_all();
    }
    void wait()
    {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [this] { return m_count == 0; });
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    int m_count;
};

// A producer (or any side) on a thread of its own. Should it not come to
// its end (a deadlock, or a failed check while it waits), the work is
// cancelled to release it before it is joined.
class Side {
public:
    Side(Work &work, std::function<void()> run)
        : m_work(work)
        , m_thread([this, run = std::move(run)] {
            run();
            m_finished = true;
        })
    {
    }
    ~Side()
    {
        if (m_thread.joinable()) {
            m_work.cancel();
            m_thread.join();
        }
    }
    Side(const Side &) = delete;
    Side &operator=(const Side &) = delete;

    // True when it came to its end by itself.
    bool finish();

private:
    Work &m_work;
    std::atomic<bool> m_finished = false;
    std::thread m_thread;
};

// Long enough for any machine; only a deadlock waits this long.
constexpr int kDeadlockMs = 60000;

bool Side::finish()
{
    const bool ended = QTest::qWaitFor([this] { return m_finished.load(); }, kDeadlockMs);
    if (!ended)
        m_work.cancel();
    m_thread.join();
    return ended;
}

// Cancels the work should the test thread itself still wait in it after a
// long while: a deadlock then fails the test instead of hanging it.
class Watchdog {
public:
    explicit Watchdog(Work &work)
        : m_thread([this, &work] {
            std::unique_lock lock(m_mutex);
            if (!m_dismissed.wait_for(lock, std::chrono::milliseconds(kDeadlockMs), [this] { return m_done; }))
                work.cancel();
        })
    {
    }
    ~Watchdog()
    {
        {
            const std::lock_guard lock(m_mutex);
            m_done = true;
        }
        m_dismissed.notify_all();
        m_thread.join();
    }
    Watchdog(const Watchdog &) = delete;
    Watchdog &operator=(const Watchdog &) = delete;

private:
    std::mutex m_mutex;
    std::condition_variable m_dismissed;
    bool m_done = false;
    std::thread m_thread;
};

// Takes parts on a thread of its own until the work ends. A deadlock shows as
// a failed test rather than a hung one: after a long wait the work is
// cancelled, which releases every side.
class Consumer {
public:
    explicit Consumer(Work &work)
        : m_work(work)
        , m_thread([this] {
            while (std::optional<Piece> part = m_work.take()) {
                m_taken.push_back(**part);
                ++m_count;
            }
            m_finished = true;
        })
    {
    }
    ~Consumer()
    {
        if (m_thread.joinable()) {
            m_work.cancel();
            m_thread.join();
        }
    }
    Consumer(const Consumer &) = delete;
    Consumer &operator=(const Consumer &) = delete;

    // True when take() ended by itself.
    bool finish()
    {
        const bool ended = QTest::qWaitFor([this] { return m_finished.load(); }, kDeadlockMs);
        if (!ended)
            m_work.cancel();
        m_thread.join();
        return ended;
    }
    // What was taken, once finished.
    [[nodiscard]] const Taken &taken() const { return m_taken; }
    [[nodiscard]] int count() const { return m_count; }
    [[nodiscard]] bool finished() const { return m_finished; }

private:
    Work &m_work;
    Taken m_taken;
    std::atomic<int> m_count = 0;
    std::atomic<bool> m_finished = false;
    std::thread m_thread;
};

// What a job published, seen from inside the work function.
struct Counters {
    std::atomic<int> started = 0;
    std::atomic<int> items = 0; // weight handed to publish, counted before the call
    std::atomic<int> inPublish = 0; // threads inside publish() right now
    std::atomic<int> refused = 0; // publish() calls that answered false
};

// Publishes a part, keeping the counters; false once refused.
bool publishCounted(Work::Publisher &publisher, Counters &counters, int job, int part, int items)
{
    counters.items += items;
    ++counters.inPublish;
    const bool accepted = publisher.publish(piece(job, part), static_cast<std::size_t>(items));
    --counters.inPublish;
    if (!accepted)
        ++counters.refused;
    return accepted;
}

Taken expectedParts(int jobs, const std::function<int(int)> &partsOf)
{
    Taken expected;
    for (int j = 0; j < jobs; ++j) {
        for (int k = 0; k < partsOf(j); ++k)
            expected.emplace_back(j, k);
    }
    return expected;
}

} // namespace

class TestOrderedWork : public QObject {
    Q_OBJECT

private slots:
    void partsArriveInJobOrder_data();
    void partsArriveInJobOrder();
    void aLaterJobDoneFirstWaitsItsTurn();
    void aheadBoundsWhatWaitsUntaken_data();
    void aheadBoundsWhatWaitsUntaken();
    void laterJobsNeverHoldTheJobTakenFrom_data();
    void laterJobsNeverHoldTheJobTakenFrom();
    void theJobLimitHoldsTheProducer();
    void cancellingReleasesEverySide_data();
    void cancellingReleasesEverySide();
    void closingEndsTheTaking_data();
    void closingEndsTheTaking();
};

void TestOrderedWork::partsArriveInJobOrder_data()
{
    QTest::addColumn<int>("workers");
    QTest::addColumn<int>("jobLimit");
    QTest::addColumn<int>("ahead");
    QTest::addColumn<int>("jobs");
    QTest::addColumn<int>("partItems");

    QTest::newRow("one worker") << 1 << 4 << 8 << 200 << 1;
    QTest::newRow("four workers") << 4 << 10 << 16 << 300 << 1;
    QTest::newRow("two workers, one job at a time, one item ahead") << 2 << 1 << 1 << 100 << 1;
    QTest::newRow("three workers, parts heavier than the bound") << 3 << 8 << 4 << 150 << 10;
    QTest::newRow("no worker, job or item asked: one each") << 0 << 0 << 0 << 60 << 1;
    QTest::newRow("more workers than jobs") << 4 << 16 << 100 << 3 << 1;
}

// Jobs of different lengths, some sleeping before they start, so that later
// jobs often finish first; some publish nothing at all.
void TestOrderedWork::partsArriveInJobOrder()
{
    QFETCH(int, workers);
    QFETCH(int, jobLimit);
    QFETCH(int, ahead);
    QFETCH(int, jobs);
    QFETCH(int, partItems);

    const auto partsOf = [](int job) { return (job * 7) % 6; };
    std::atomic<bool> badWorker = false;
    Work work(static_cast<std::size_t>(workers), static_cast<std::size_t>(jobLimit), static_cast<std::size_t>(ahead),
        [&](int &job, std::size_t worker, Work::Publisher &publisher) {
            if (worker >= static_cast<std::size_t>(std::max(workers, 1)))
                badWorker = true;
            if (job % 3 == 0)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            for (int k = 0; k < partsOf(job); ++k) {
                if (!publisher.publish(piece(job, k), static_cast<std::size_t>(partItems)))
                    return;
                if (k == 1)
                    std::this_thread::yield();
            }
        });
    Consumer consumer(work);
    std::atomic<bool> refused = false;
    Side producer(work, [&] {
        for (int j = 0; j < jobs; ++j)
            refused = refused || !work.submit(j);
        work.close();
    });
    QVERIFY2(producer.finish(), "deadlock: the producer was held");
    QVERIFY(consumer.finish());
    QVERIFY(!refused);
    QVERIFY(!badWorker);
    QCOMPARE(consumer.taken(), expectedParts(jobs, partsOf));
}

// Jobs 1 and 2 run to their end while job 0 has not published anything:
// their parts wait, and job 0's come first.
void TestOrderedWork::aLaterJobDoneFirstWaitsItsTurn()
{
    Gate laterJobsDone(2);
    std::vector<int> finished;
    std::mutex finishedMutex;
    Work work(3, 4, 100, [&](int &job, std::size_t, Work::Publisher &publisher) {
        if (job == 0)
            laterJobsDone.wait();
        for (int k = 0; k < 3; ++k)
            publisher.publish(piece(job, k), 1);
        {
            const std::lock_guard lock(finishedMutex);
            finished.push_back(job);
        }
        if (job != 0)
            laterJobsDone.arrive();
    });
    const auto openAtExit = qScopeGuard([&] { laterJobsDone.open(); });
    Consumer consumer(work);
    for (int j = 0; j < 3; ++j)
        QVERIFY(work.submit(j));
    work.close();
    QVERIFY(consumer.finish());
    QCOMPARE(finished.back(), 0);
    QCOMPARE(consumer.taken(), expectedParts(3, [](int) { return 3; }));
}

void TestOrderedWork::aheadBoundsWhatWaitsUntaken_data()
{
    QTest::addColumn<int>("workers");
    QTest::addColumn<int>("partItems");
    QTest::newRow("one worker, light parts") << 1 << 1;
    QTest::newRow("one worker, parts of five") << 1 << 5;
    QTest::newRow("three workers, light parts") << 3 << 1;
    QTest::newRow("three workers, parts of five") << 3 << 5;
}

// While nothing is taken, the jobs stop publishing near the bound: with one
// worker exactly at the first part that reaches it; with several, each
// running job stops once it and the jobs before it reach the bound, so no
// more than one bound (and a part) per worker waits.
void TestOrderedWork::aheadBoundsWhatWaitsUntaken()
{
    QFETCH(int, workers);
    QFETCH(int, partItems);
    constexpr int kAhead = 12;
    constexpr int kJobs = 10;
    constexpr int kParts = 40;

    Counters counters;
    Work work(static_cast<std::size_t>(workers), kJobs, kAhead, [&](int &job, std::size_t, Work::Publisher &publisher) {
        ++counters.started;
        for (int k = 0; k < kParts; ++k) {
            if (!publishCounted(publisher, counters, job, k, partItems))
                return;
        }
    });
    for (int j = 0; j < kJobs; ++j)
        QVERIFY(work.submit(j));
    work.close();

    // The first job can always fill the bound.
    QTRY_VERIFY(counters.items.load() >= kAhead);
    if (workers == 1) {
        const int atTheBound = (kAhead + partItems - 1) / partItems * partItems;
        QTRY_COMPARE(counters.items.load(), atTheBound);
        QTRY_COMPARE(counters.inPublish.load(), 1);
        // However long we wait, nothing more is published.
        QTest::qWait(50);
        QCOMPARE(counters.items.load(), atTheBound);
        QCOMPARE(counters.started.load(), 1);
    } else {
        QTest::qWait(50);
        QVERIFY2(counters.items.load() <= workers * (kAhead + partItems - 1),
            qPrintable(QString::number(counters.items.load())));
    }

    // Taking lets everything through, in order.
    Consumer consumer(work);
    QVERIFY(consumer.finish());
    QCOMPARE(consumer.taken(), expectedParts(kJobs, [](int) { return kParts; }));
    QCOMPARE(counters.refused.load(), 0);
}

void TestOrderedWork::laterJobsNeverHoldTheJobTakenFrom_data()
{
    QTest::addColumn<int>("parts");
    QTest::addColumn<int>("partItems");
    QTest::newRow("many light parts, past the bound") << 30 << 1;
    QTest::newRow("one part heavier than the bound") << 1 << 100;
}

// Job 1 fills the bound and waits before job 0 publishes anything. Job 0,
// the one being taken from, must still get every part through, however far
// past the bound, and only then may job 1 go on.
void TestOrderedWork::laterJobsNeverHoldTheJobTakenFrom()
{
    QFETCH(int, parts);
    QFETCH(int, partItems);
    constexpr int kAhead = 4;
    constexpr int kLaterParts = 10;

    Gate laterJobHeld;
    Counters later;
    Work work(2, 4, kAhead, [&](int &job, std::size_t, Work::Publisher &publisher) {
        if (job == 0) {
            laterJobHeld.wait();
            for (int k = 0; k < parts; ++k)
                publisher.publish(piece(0, k), static_cast<std::size_t>(partItems));
            return;
        }
        for (int k = 0; k < kLaterParts; ++k)
            publishCounted(publisher, later, 1, k, 1);
    });
    const auto openAtExit = qScopeGuard([&] { laterJobHeld.open(); });
    Consumer consumer(work);
    QVERIFY(work.submit(0));
    QVERIFY(work.submit(1));
    work.close();

    // Job 1 is held inside its fourth publish.
    QTRY_COMPARE(later.items.load(), kAhead);
    QTRY_COMPARE(later.inPublish.load(), 1);
    laterJobHeld.open();
    QVERIFY2(consumer.finish(), "deadlock: the job being taken from was held");
    Taken expected = expectedParts(1, [&](int) { return parts; });
    for (int k = 0; k < kLaterParts; ++k)
        expected.emplace_back(1, k);
    QCOMPARE(consumer.taken(), expected);
}

// At most `jobs` jobs are submitted and not yet taken in full; taking lets
// the producer go on.
void TestOrderedWork::theJobLimitHoldsTheProducer()
{
    constexpr int kLimit = 3;
    constexpr int kJobs = 10;
    Work work(2, kLimit, 1000,
        [](int &job, std::size_t, Work::Publisher &publisher) { publisher.publish(piece(job, 0), 1); });
    std::atomic<int> submitted = 0;
    Side producer(work, [&] {
        for (int j = 0; j < kJobs; ++j) {
            if (!work.submit(j))
                return;
            ++submitted;
        }
        work.close();
    });

    QTRY_COMPARE(submitted.load(), kLimit);
    // However long we wait, the next job has no room.
    QTest::qWait(50);
    QCOMPARE(submitted.load(), kLimit);

    const Watchdog watchdog(work);
    Taken taken;
    bool withinLimit = true;
    while (std::optional<Piece> part = work.take()) {
        taken.push_back(**part);
        // Every job submitted past the limit needed one taken in full.
        withinLimit = withinLimit && submitted.load() <= kLimit + static_cast<int>(taken.size());
        if (taken.size() == 2)
            QTRY_VERIFY(submitted.load() > kLimit);
    }
    QVERIFY2(producer.finish(), "deadlock: the producer was held");
    QVERIFY(withinLimit);
    QCOMPARE(submitted.load(), kJobs);
    QCOMPARE(taken, expectedParts(kJobs, [](int) { return 1; }));
}

void TestOrderedWork::cancellingReleasesEverySide_data()
{
    QTest::addColumn<QString>("who");
    QTest::newRow("the consumer, while workers and producer wait") << QStringLiteral("consumer");
    QTest::newRow("the producer, while the consumer waits") << QStringLiteral("producer");
    QTest::newRow("nobody: the destructor, while workers wait") << QStringLiteral("destructor");
}

void TestOrderedWork::cancellingReleasesEverySide()
{
    QFETCH(QString, who);
    constexpr int kLimit = 4;
    Counters counters;
    auto work = std::make_unique<Work>(3, kLimit, 5, [&](int &job, std::size_t, Work::Publisher &publisher) {
        ++counters.started;
        for (int k = 0; k < 1000; ++k) {
            if (!publishCounted(publisher, counters, job, k, 1))
                return;
        }
    });

    if (who == QLatin1String("producer")) {
        // Nothing to take yet: the consumer waits in take().
        std::atomic<bool> returned = false;
        std::atomic<bool> gotPart = true;
        Side consumer(*work, [&] {
            gotPart = work->take().has_value();
            returned = true;
        });
        QTest::qWait(20);
        QVERIFY(!returned);
        work->cancel();
        QVERIFY(consumer.finish());
        QVERIFY(!gotPart);
        QVERIFY(!work->submit(1));
        work.reset();
        QCOMPARE(counters.started.load(), 0);
        return;
    }

    if (who == QLatin1String("consumer")) {
        // Nothing is taken: the workers wait inside publish() and the
        // producer, at the job limit, inside submit().
        std::atomic<int> submitted = 0;
        std::atomic<bool> refusedSubmit = false;
        Side producer(*work, [&] {
            for (int j = 0; j < 100; ++j) {
                if (!work->submit(j)) {
                    refusedSubmit = true;
                    return;
                }
                ++submitted;
            }
        });
        QTRY_COMPARE(submitted.load(), kLimit);
        QTRY_VERIFY(counters.started.load() >= 1);
        QTRY_COMPARE(counters.inPublish.load(), counters.started.load());
        QVERIFY(work->take().has_value());
        work->cancel();
        QVERIFY2(producer.finish(), "deadlock: the producer was held");
        QVERIFY(refusedSubmit);
        QVERIFY(!work->take());
        work.reset();
    } else {
        for (int j = 0; j < kLimit - 1; ++j)
            QVERIFY(work->submit(j));
        QTRY_VERIFY(counters.started.load() >= 1);
        QTRY_COMPARE(counters.inPublish.load(), counters.started.load());
        work.reset();
    }
    // Every job that ran was told to stop; none is still inside publish().
    QVERIFY(counters.started.load() >= 1);
    QCOMPARE(counters.refused.load(), counters.started.load());
    QCOMPARE(counters.inPublish.load(), 0);
}

void TestOrderedWork::closingEndsTheTaking_data()
{
    QTest::addColumn<int>("jobs");
    QTest::addColumn<bool>("whileTaking");
    QTest::newRow("no job, closed first") << 0 << false;
    QTest::newRow("no job, closed while the consumer waits") << 0 << true;
    QTest::newRow("jobs, closed first") << 3 << false;
    QTest::newRow("jobs, closed while the consumer waits") << 3 << true;
}

void TestOrderedWork::closingEndsTheTaking()
{
    QFETCH(int, jobs);
    QFETCH(bool, whileTaking);
    Work work(2, 8, 100, [](int &job, std::size_t, Work::Publisher &publisher) {
        publisher.publish(piece(job, 0), 1);
        publisher.publish(piece(job, 1), 1);
    });
    for (int j = 0; j < jobs; ++j)
        QVERIFY(work.submit(j));
    if (!whileTaking)
        work.close();
    Consumer consumer(work);
    if (whileTaking) {
        // Everything there is has been taken; the consumer waits for more.
        QTRY_COMPARE(consumer.count(), 2 * jobs);
        QTest::qWait(20);
        QVERIFY(!consumer.finished());
        work.close();
    }
    QVERIFY(consumer.finish());
    QCOMPARE(consumer.taken(), expectedParts(jobs, [](int) { return 2; }));
    // Once closed, no job gets in and take() keeps answering nothing.
    QVERIFY(!work.submit(jobs));
    QVERIFY(!work.take());
}

QTEST_GUILESS_MAIN(TestOrderedWork)
#include "tst_orderedwork.moc"
