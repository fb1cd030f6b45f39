#include "core/ResultList.h"
#include "platform/Failure.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QTest>

using namespace quarrelby;

class TestResultList : public QObject {
    Q_OBJECT

private:
    static void addColumns(ResultList &list, int n)
    {
        for (int c = 0; c < n; ++c)
            list.addColumn(QStringLiteral("H%1").arg(c));
    }

private slots:
    void accessAndModelAgree()
    {
        ResultList list;
        QAbstractItemModelTester tester(&list, QAbstractItemModelTester::FailureReportingMode::QtTest);
        addColumns(list, 3);
        QCOMPARE(list.addRow(QStringLiteral("Zoe")), 0);
        const int row = list.addRow(QStringLiteral("Ann"));
        QCOMPARE(row, 1);
        list.setCell(row, 2, QStringLiteral("third"));
        QCOMPARE(list.cell(1, 0), QStringLiteral("Ann"));
        QCOMPARE(list.cell(1, 1), QString());
        QCOMPARE(list.cell(1, 2), QStringLiteral("third"));
        QCOMPARE(list.columnText(2), QStringLiteral("H2"));
        QCOMPARE(list.data(list.index(1, 2)).toString(), QStringLiteral("third"));
        QCOMPARE(list.headerData(0, Qt::Horizontal).toString(), QStringLiteral("H0"));
        QVERIFY(!list.checked(1));
        QVERIFY(list.setData(list.index(1, 0), Qt::Checked, Qt::CheckStateRole));
        QVERIFY(list.checked(1));
        QVERIFY(!list.checked(0));
    }

    void outOfRangeIsAReportedFailure_data()
    {
        QTest::addColumn<int>("which");
        QTest::newRow("row -1") << 0;
        QTest::newRow("row past end") << 1;
        QTest::newRow("column -1") << 2;
        QTest::newRow("column past end") << 3;
        QTest::newRow("set a cell past the end") << 5;
        QTest::newRow("hide column 3") << 6;
        QTest::newRow("tick of missing row") << 7;
        QTest::newRow("remove missing row") << 8;
        QTest::newRow("tick range past end") << 9;
    }

    void outOfRangeIsAReportedFailure()
    {
        QFETCH(int, which);
        ResultList list;
        addColumns(list, 3);
        list.addRow(QStringLiteral("only"));
        try {
            switch (which) {
            case 0:
                (void)list.cell(-1, 0);
                break;
            case 1:
                (void)list.cell(1, 0);
                break;
            case 2:
                (void)list.cell(0, -1);
                break;
            case 3:
                (void)list.cell(0, 3);
                break;
            case 5:
                list.setCell(0, 3, QStringLiteral("x"));
                break;
            case 6:
                list.setColumnHidden(3, true);
                break;
            case 7:
                (void)list.checked(1);
                break;
            case 8:
                list.removeRow(1);
                break;
            case 9:
                list.setCheckedRange(0, 1, true);
                break;
            }
            QFAIL("no failure");
        } catch (const Failure &error) {
            QCOMPARE(error.description(), QStringLiteral("Index out of bounds"));
        }
    }

    void listWithoutColumnsStillHasARowText()
    {
        ResultList list;
        list.addRow(QStringLiteral("x"));
        QCOMPARE(list.headerCount(), 0);
        QCOMPARE(list.itemCount(), 1);
        QCOMPARE(list.cell(0, 0), QString());
    }

    void clearKeepsColumnsAndWhatIsHidden()
    {
        ResultList list;
        QAbstractItemModelTester tester(&list, QAbstractItemModelTester::FailureReportingMode::QtTest);
        addColumns(list, 2);
        list.setColumnHidden(1, true);
        list.addRow(QStringLiteral("a"));
        list.addRow(QStringLiteral("b"));
        list.removeRow(0);
        QCOMPARE(list.cell(0, 0), QStringLiteral("b"));
        list.clearRows();
        QCOMPARE(list.itemCount(), 0);
        QCOMPARE(list.headerCount(), 2);
        QVERIFY(!list.columnHidden(0));
        QVERIFY(list.columnHidden(1));
    }

    void batchAnnouncesRowsOnceAndStaysConsistent()
    {
        ResultList list;
        QAbstractItemModelTester tester(&list, QAbstractItemModelTester::FailureReportingMode::QtTest);
        addColumns(list, 2);
        QSignalSpy inserted(&list, &QAbstractItemModel::rowsInserted);
        {
            ResultList::Batch batch(list);
            for (int i = 0; i < 100; ++i) {
                const int row = list.addRow(QString::number(i));
                list.setCell(row, 1, QStringLiteral("v"));
            }
            // The views do not know the new rows yet; the logic does.
            QCOMPARE(list.rowCount(), 0);
            QCOMPARE(list.itemCount(), 100);
            QCOMPARE(list.cell(99, 1), QStringLiteral("v"));
        }
        QCOMPARE(inserted.size(), 1);
        QCOMPARE(list.rowCount(), 100);
        QCOMPARE(list.data(list.index(99, 1)).toString(), QStringLiteral("v"));
    }

    void aRangeOfTicksIsOneChange()
    {
        ResultList list;
        QAbstractItemModelTester tester(&list, QAbstractItemModelTester::FailureReportingMode::QtTest);
        addColumns(list, 2);
        for (int i = 0; i < 6; ++i)
            list.addRow(QString::number(i));
        QSignalSpy changed(&list, &QAbstractItemModel::dataChanged);
        list.setCheckedRange(1, 4, true);
        QCOMPARE(changed.size(), 1);
        QCOMPARE(changed[0][0].toModelIndex(), list.index(1, 0));
        QCOMPARE(changed[0][1].toModelIndex(), list.index(4, 0));
        QString ticks;
        for (int i = 0; i < 6; ++i)
            ticks += list.data(list.index(i, 0), Qt::CheckStateRole).toInt() == Qt::Checked ? 'x' : '.';
        QCOMPARE(ticks, QStringLiteral(".xxxx."));
        list.setCheckedRange(2, 1, false); // empty: nothing to tell
        QCOMPARE(changed.size(), 1);
    }

    // Every setting is told, changed or not: the view lays the column out
    // anew each time.
    void hiddenColumnsAreSignalled()
    {
        ResultList list;
        addColumns(list, 2);
        QSignalSpy spy(&list, &ResultList::columnHiddenSet);
        list.setColumnHidden(1, false);
        list.setColumnHidden(1, true);
        QCOMPARE(spy.size(), 2);
        QCOMPARE(spy[1][0].toInt(), 1);
        QCOMPARE(spy[1][1].toBool(), true);
    }

    void multiLineCellsShowOnOneLineButKeepTheirBreaks()
    {
        ResultList list;
        addColumns(list, 1);
        list.addRow(QStringLiteral("1 Main St\r\nAustin"));
        QCOMPARE(list.cell(0, 0), QStringLiteral("1 Main St\r\nAustin"));
        QVERIFY(!list.data(list.index(0, 0)).toString().contains(QLatin1Char('\n')));
    }
};

QTEST_GUILESS_MAIN(TestResultList)
#include "tst_resultlist.moc"
