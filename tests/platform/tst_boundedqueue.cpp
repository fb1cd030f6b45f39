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

void TestBoundedQueue::aFullQueueHoldsTheProducerUntilAnItemIsTaken()
{
    BoundedQueue<int> queue(2);
    std::atomic<int> pushed = 0;
    std::thread producer([&] {
        for (int i = 1; i <= 3; ++i) {
            queue.push(i);
            ++pushed;
        }
    });
    QTRY_COMPARE(pushed.load(), 2);
    // However long we wait, the third item has no room.
    QTest::qWait(50);
    QCOMPARE(pushed.load(), 2);
    QCOMPARE(queue.pop(), std::optional<int>(1));
    producer.join();
    QCOMPARE(pushed.load(), 3);
    QCOMPARE(queue.pop(), std::optional<int>(2));
    QCOMPARE(queue.pop(), std::optional<int>(3));
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
