// Clear List: every row goes, columns and widths stay, and nothing happens
// while a long action shows the hourglass.

#include "ScriptedShell.h"
#include "actions/ClearList.h"
#include "core/ActionContext.h"
#include "core/MousePointer.h"
#include "core/ResultList.h"

#include <QTest>

using namespace quarrelby;

class TestClearList : public QObject {
    Q_OBJECT

private slots:
    void clear_data();
    void clear();
};

void TestClearList::clear_data()
{
    QTest::addColumn<int>("rows");
    QTest::addColumn<int>("pointer");
    QTest::addColumn<int>("remaining");

    QTest::newRow("rows, arrow") << 3 << MousePointer::Default << 0;
    QTest::newRow("rows, hand") << 3 << MousePointer::Custom << 0;
    QTest::newRow("empty list") << 0 << MousePointer::Default << 0;
    QTest::newRow("rows, hourglass") << 3 << MousePointer::Hourglass << 3;
}

void TestClearList::clear()
{
    QFETCH(int, rows);
    QFETCH(int, pointer);
    QFETCH(int, remaining);

    test::ScriptedShell shell;
    ResultList list;
    MousePointer mouse;
    ActionContext context {shell, list, mouse, [](int) { return 1; }};
    for (const char *header : {"Fullname", "Birthday", "Job Title"})
        list.addColumn(QString::fromLatin1(header));
    const float widths[] = {1000, 1, 2000};
    for (int k = 1; k <= 3; ++k)
        list.setColumnWidth(k, widths[k - 1]);
    for (int i = 1; i <= rows; ++i) {
        list.addRow(QStringLiteral("Contact %1").arg(i));
        list.setSubItem(i, 2, QStringLiteral("Clerk"));
        list.setChecked(i, true);
    }
    mouse.setValue(pointer);

    clearList(context);

    QCOMPARE(list.itemCount(), remaining);
    QCOMPARE(list.rowCount(), remaining);
    QCOMPARE(mouse.value(), pointer);
    QCOMPARE(list.headerCount(), 3);
    for (int k = 1; k <= 3; ++k)
        QCOMPARE(list.columnWidth(k), widths[k - 1]);
    QCOMPARE(list.columnText(3), QStringLiteral("Job Title"));
    if (remaining > 0)
        QCOMPARE(list.subItem(remaining, 2), QStringLiteral("Clerk"));
    QVERIFY(shell.messages.isEmpty());

    // Once the long action is over, the button works again.
    mouse.setValue(MousePointer::Default);
    clearList(context);
    QCOMPARE(list.itemCount(), 0);
}

QTEST_GUILESS_MAIN(TestClearList)
#include "tst_clearlist.moc"
