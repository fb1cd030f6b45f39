// The comparison behind every golden file: it must never call two different
// texts equal, and must point at the line where they part.

#include "Golden.h"

#include <QTest>

using namespace quarrelby::test;

class TestGolden : public QObject {
    Q_OBJECT

private slots:
    void firstDifference_data()
    {
        QTest::addColumn<QByteArray>("actual");
        QTest::addColumn<QByteArray>("expected");
        QTest::addColumn<QString>("report");
        QTest::newRow("equal") << QByteArray("a\r\nb\r\n") << QByteArray("a\r\nb\r\n") << QString();
        QTest::newRow("both empty") << QByteArray() << QByteArray() << QString();
        QTest::newRow("second line") << QByteArray("a\r\nb\r\nc") << QByteArray("a\r\nB\r\nc")
                                     << QStringLiteral("line 2: got \"b%0D%0A\", expected \"B%0D%0A\"");
        QTest::newRow("line end only") << QByteArray("a\nb") << QByteArray("a\r\nb")
                                       << QStringLiteral("line 1: got \"a%0A\", expected \"a%0D%0A\"");
        QTest::newRow("a last line missing")
            << QByteArray("a\n") << QByteArray("a\nb") << QStringLiteral("line 2: missing, expected \"b\"");
        QTest::newRow("a line too many") << QByteArray("a\nb\n") << QByteArray("a\n")
                                         << QStringLiteral("line 2: got \"b%0A\", expected the end");
        QTest::newRow("trailing line break")
            << QByteArray("a") << QByteArray("a\n") << QStringLiteral("line 1: got \"a\", expected \"a%0A\"");
        QTest::newRow("tab and bytes shown") << QByteArray("x\t\xc3\xab") << QByteArray("x \xc3\xab")
                                             << QStringLiteral("line 1: got \"x%09%C3%AB\", expected \"x %C3%AB\"");
    }

    void firstDifference()
    {
        QFETCH(QByteArray, actual);
        QFETCH(QByteArray, expected);
        QFETCH(QString, report);
        QCOMPARE(quarrelby::test::firstDifference(actual, expected), report);
    }

    void goldenFileIsReadAsBytes()
    {
        const QByteArray advice = goldenFile(QStringLiteral("actions/help-advice.txt"));
        QVERIFY(advice.startsWith("If you are getting a query message that says\r\n\r\n"));
        QVERIFY(!advice.endsWith('\n'));
    }
};

QTEST_GUILESS_MAIN(TestGolden)
#include "tst_golden.moc"
