// Clear List: every row goes, columns stay as shown, and nothing happens
// while a long action is running.

#include "ScriptedShell.h"
#include "actions/ClearList.h"
#include "core/ActionContext.h"
#include "core/BusyState.h"
#include "core/ResultList.h"

#include <QTest>

#include <optional>

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
    QTest::addColumn<bool>("busy");
    QTest::addColumn<int>("remaining");

    QTest::newRow("rows") << 3 << false << 0;
    QTest::newRow("empty list") << 0 << false << 0;
    QTest::newRow("rows, busy") << 3 << true << 3;
}

void TestClearList::clear()
{
    QFETCH(int, rows);
    QFETCH(bool, busy);
    QFETCH(int, remaining);

    test::ScriptedShell shell;
    ResultList list;
    BusyState state;
    ActionContext context {shell, list, state, [](int) { return 1; }};
    for (const char *header : {"Fullname", "Birthday", "Job Title"})
        list.addColumn(QString::fromLatin1(header));
    list.setColumnHidden(1, true);
    for (int i = 0; i < rows; ++i) {
        list.addRow(QStringLiteral("Contact %1").arg(i));
        list.setCell(i, 2, QStringLiteral("Clerk"));
        list.setChecked(i, true);
    }
    {
        std::optional<BusyState::Scope> action;
        if (busy)
            action.emplace(state);
        clearList(context);
    }

    QCOMPARE(list.itemCount(), remaining);
    QCOMPARE(list.rowCount(), remaining);
    QCOMPARE(list.headerCount(), 3);
    QCOMPARE(list.columnHidden(1), true);
    QCOMPARE(list.columnHidden(2), false);
    QCOMPARE(list.columnText(2), QStringLiteral("Job Title"));
    if (remaining > 0)
        QCOMPARE(list.cell(remaining - 1, 2), QStringLiteral("Clerk"));
    QVERIFY(shell.messages.isEmpty());

    // Once the long action is over, the button works again.
    clearList(context);
    QCOMPARE(list.itemCount(), 0);
}

QTEST_GUILESS_MAIN(TestClearList)
#include "tst_clearlist.moc"
