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
        for (int k = 1; k <= n; ++k)
            list.addColumn(QStringLiteral("H%1").arg(k));
    }

private slots:
    void oneBasedAccessAndModelAgree()
    {
        ResultList list;
        QAbstractItemModelTester tester(&list, QAbstractItemModelTester::FailureReportingMode::QtTest);
        addColumns(list, 3);
        const int row = list.addRow(QStringLiteral("Ann"));
        QCOMPARE(row, 1);
        list.setSubItem(row, 2, QStringLiteral("third"));
        QCOMPARE(list.text(1), QStringLiteral("Ann"));
        QCOMPARE(list.cell(1, 1), QStringLiteral("Ann"));
        QCOMPARE(list.subItem(1, 1), QString());
        QCOMPARE(list.cell(1, 3), QStringLiteral("third"));
        QCOMPARE(list.columnText(3), QStringLiteral("H3"));
        QCOMPARE(list.data(list.index(0, 2)).toString(), QStringLiteral("third"));
        QCOMPARE(list.headerData(0, Qt::Horizontal).toString(), QStringLiteral("H1"));
        QVERIFY(!list.checked(1));
        QVERIFY(list.setData(list.index(0, 0), Qt::Checked, Qt::CheckStateRole));
        QVERIFY(list.checked(1));
    }

    void outOfRangeIsAReportedFailure_data()
    {
        QTest::addColumn<int>("which");
        QTest::newRow("row 0") << 0;
        QTest::newRow("row past end") << 1;
        QTest::newRow("column 0") << 2;
        QTest::newRow("column past end") << 3;
        QTest::newRow("sub-item 0") << 4;
        QTest::newRow("sub-item past end") << 5;
        QTest::newRow("width of column 4") << 6;
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
                (void)list.text(0);
                break;
            case 1:
                (void)list.text(2);
                break;
            case 2:
                (void)list.cell(1, 0);
                break;
            case 3:
                (void)list.cell(1, 4);
                break;
            case 4:
                (void)list.subItem(1, 0);
                break;
            case 5:
                list.setSubItem(1, 3, QStringLiteral("x"));
                break;
            case 6:
                list.setColumnWidth(4, 1);
                break;
            case 7:
                (void)list.checked(2);
                break;
            case 8:
                list.removeRow(2);
                break;
            case 9:
                list.setCheckedRange(1, 2, true);
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
        QCOMPARE(list.text(1), QString());
    }

    void clearKeepsColumnsAndWidths()
    {
        ResultList list;
        QAbstractItemModelTester tester(&list, QAbstractItemModelTester::FailureReportingMode::QtTest);
        addColumns(list, 2);
        list.setColumnWidth(2, 1);
        list.addRow(QStringLiteral("a"));
        list.addRow(QStringLiteral("b"));
        list.removeRow(1);
        QCOMPARE(list.text(1), QStringLiteral("b"));
        list.clearRows();
        QCOMPARE(list.itemCount(), 0);
        QCOMPARE(list.headerCount(), 2);
        QCOMPARE(list.columnWidth(2), 1.0f);
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
                list.setSubItem(row, 1, QStringLiteral("v"));
            }
            // The views do not know the new rows yet; the logic does.
            QCOMPARE(list.rowCount(), 0);
            QCOMPARE(list.itemCount(), 100);
            QCOMPARE(list.subItem(100, 1), QStringLiteral("v"));
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
        list.setCheckedRange(2, 5, true);
        QCOMPARE(changed.size(), 1);
        QCOMPARE(changed[0][0].toModelIndex(), list.index(1, 0));
        QCOMPARE(changed[0][1].toModelIndex(), list.index(4, 0));
        QString ticks;
        for (int i = 1; i <= 6; ++i)
            ticks += list.data(list.index(i - 1, 0), Qt::CheckStateRole).toInt() == Qt::Checked ? 'x' : '.';
        QCOMPARE(ticks, QStringLiteral(".xxxx."));
        list.setCheckedRange(3, 2, false); // empty: nothing to tell
        QCOMPARE(changed.size(), 1);
    }

    void widthChangesAreSignalled()
    {
        ResultList list;
        addColumns(list, 2);
        QSignalSpy spy(&list, &ResultList::columnWidthChanged);
        list.setColumnWidth(2, 1000);
        list.setColumnWidth(2, 1000);
        QCOMPARE(spy.size(), 1);
        QCOMPARE(spy[0][0].toInt(), 2);
        QCOMPARE(spy[0][1].toFloat(), 1000.0f);
    }

    void multiLineCellsShowOnOneLineButKeepTheirBreaks()
    {
        ResultList list;
        addColumns(list, 1);
        list.addRow(QStringLiteral("1 Main St\r\nAustin"));
        QCOMPARE(list.text(1), QStringLiteral("1 Main St\r\nAustin"));
        QVERIFY(!list.data(list.index(0, 0)).toString().contains(QLatin1Char('\n')));
    }
};

QTEST_GUILESS_MAIN(TestResultList)
#include "tst_resultlist.moc"
