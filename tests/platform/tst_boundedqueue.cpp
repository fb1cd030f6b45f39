// The hand-over between the contact store's reader thread and the walk, and
// between the workbook export and its writer thread.
#include "platform/BoundedQueue.h"

#include <QtTest>

#include <atomic>
#include <memory>
#include <thread>

using namespace quarrelby;

class TestBoundedQueue : public QObject {
    Q_OBJECT

private slots:
    void itemsArriveInOrderAcrossThreads();
    void aFullQueueHoldsTheProducerUntilAnItemIsTaken_data();
    void aFullQueueHoldsTheProducerUntilAnItemIsTaken();
    void cancellingReleasesAWaitingSide_data();
    void cancellingReleasesAWaitingSide();
    void nothingIsAcceptedAfterClosing();
};

void TestBoundedQueue::itemsArriveInOrderAcrossThreads()
{
    // A move-only item type, and a queue far smaller than the stream.
    BoundedQueue<std::unique_ptr<int>> queue(3);
    constexpr int kCount = 20000;
    std::thread producer([&] {
        for (int i = 0; i < kCount; ++i)
            queue.push(std::make_unique<int>(i));
        queue.close();
    });
    int expected = 0;
    bool inOrder = true;
    while (auto item = queue.pop()) {
        inOrder = inOrder && **item == expected;
        ++expected;
    }
    producer.join();
    QVERIFY(inOrder);
    QCOMPARE(expected, kCount);
}

void TestBoundedQueue::aFullQueueHoldsTheProducerUntilAnItemIsTaken_data()
{
    QTest::addColumn<int>("capacity");
    QTest::addColumn<QList<int>>("weights"); // the last one finds no room until the first is taken
    QTest::newRow("items of one, room for two") << 2 << QList<int> {1, 1, 1};
    QTest::newRow("a heavy item waits for room") << 10 << QList<int> {4, 4, 3};
    QTest::newRow("heavier than the capacity: alone") << 3 << QList<int> {5, 1};
}

void TestBoundedQueue::aFullQueueHoldsTheProducerUntilAnItemIsTaken()
{
    QFETCH(int, capacity);
    QFETCH(QList<int>, weights);
    BoundedQueue<int> queue(static_cast<std::size_t>(capacity));
    const auto held = static_cast<int>(weights.size()) - 1;
    std::atomic<int> pushed = 0;
    std::thread producer([&] {
        for (const int weight : weights) {
            queue.push(pushed + 1, static_cast<std::size_t>(weight));
            ++pushed;
        }
    });
    QTRY_COMPARE(pushed.load(), held);
    // However long we wait, the last item has no room.
    QTest::qWait(50);
    QCOMPARE(pushed.load(), held);
    QCOMPARE(queue.pop(), std::optional<int>(1));
    producer.join();
    QCOMPARE(pushed.load(), held + 1);
    for (int i = 2; i <= held + 1; ++i)
        QCOMPARE(queue.pop(), std::optional<int>(i));
    // Empty, it takes anything at once.
    QVERIFY(queue.hasRoom(static_cast<std::size_t>(capacity) + 1));
}

void TestBoundedQueue::cancellingReleasesAWaitingSide_data()
{
    QTest::addColumn<bool>("producerWaits");
    QTest::newRow("producer on a full queue") << true;
    QTest::newRow("consumer on an empty queue") << false;
}

void TestBoundedQueue::cancellingReleasesAWaitingSide()
{
    QFETCH(bool, producerWaits);
    BoundedQueue<int> queue(1);
    if (producerWaits)
        QVERIFY(queue.push(1));
    std::atomic<bool> returned = false;
    bool result = true;
    std::thread waiting([&] {
        result = producerWaits ? queue.push(2) : queue.pop().has_value();
        returned = true;
    });
    QTest::qWait(20);
    QVERIFY(!returned);
    queue.cancel();
    waiting.join();
    QVERIFY(!result);
    QVERIFY(queue.cancelled());
    // Whatever was queued is gone, and nothing more gets in.
    QCOMPARE(queue.pop(), std::nullopt);
    QVERIFY(!queue.push(3));
}

void TestBoundedQueue::nothingIsAcceptedAfterClosing()
{
    BoundedQueue<int> queue(2);
    queue.close();
    QVERIFY(!queue.push(1));
    QCOMPARE(queue.pop(), std::nullopt);
    QVERIFY(!queue.cancelled());
}

QTEST_GUILESS_MAIN(TestBoundedQueue)
#include "tst_boundedqueue.moc"
