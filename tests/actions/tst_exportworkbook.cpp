// The workbook export against a recording spreadsheet program: which cells
// are set, in which order, and what the user sees when a step fails.
#include "RecordingWorkbook.h"
#include "ScriptedShell.h"
#include "actions/ExportWorkbook.h"
#include "core/ActionContext.h"
#include "core/BusyState.h"
#include "core/ResultList.h"

#include <QTest>

using namespace quarrelby;
using namespace quarrelby::test;

namespace {

const QString kMessageA = QString::fromLatin1(kExcelMissingProbeMessage);
const QString kMessageB = QString::fromLatin1(kExcelMissingMessage);

struct Harness {
    Harness()
        : context {shell, list, busy, [](int) { return 1; }}
    {
        QObject::connect(&busy, &BusyState::changed, [this](bool busyNow) { busyValues << busyNow; });
    }

    // Headers H1..Hn; each row is its tick ("x" or "") followed by its cells.
    void fill(int columns, const QList<QStringList> &rows)
    {
        for (int k = 1; k <= columns; ++k)
            list.addColumn(QStringLiteral("H%1").arg(k));
        for (const QStringList &row : rows) {
            const int i = list.addRow(row.value(1));
            for (int k = 2; k < row.size(); ++k)
                list.setCell(i, k - 1, row[k]);
            list.setChecked(i, row.value(0) == QLatin1String("x"));
        }
    }

    // Error reports as "line: description".
    QStringList reports() const
    {
        QStringList result;
        for (const MessageRequest &m : shell.messages) {
            if (m.caption != QLatin1String("Application Error"))
                continue;
            const QString first = m.text.section(QLatin1String("\r\n"), 0, 0);
            const qsizetype at = m.text.indexOf(QLatin1String(" at line "));
            const QString line = m.text.mid(at + 9).section(QLatin1Char('\r'), 0, 0);
            result << line + QLatin1String(": ") + first;
        }
        return result;
    }

    ScriptedShell shell;
    RecordingSpreadsheets excel;
    ResultList list;
    BusyState busy;
    ActionContext context;
    QList<bool> busyValues;
};

} // namespace

class TestExportWorkbook : public QObject {
    Q_OBJECT

private slots:
    void noSpreadsheetProgramShowsBothMessages();
    void emptyListCreatesNothing();
    void callsInOrder();
    void sheetRowFollowsListRow_data();
    void sheetRowFollowsListRow();
    void equalsSignsKeptInEveryColumn_data();
    void equalsSignsKeptInEveryColumn();
    void failingCallReportsItsStepOnce_data();
    void failingCallReportsItsStepOnce();
    void listClearedDuringYield();
    void listClearedBeforeARow();
};

void TestExportWorkbook::noSpreadsheetProgramShowsBothMessages()
{
    Harness h;
    h.fill(2, {{QStringLiteral("x"), QStringLiteral("a"), QStringLiteral("b")}});
    h.excel.missing = true;
    exportWorkbook(h.context, h.excel);

    QCOMPARE(h.shell.texts(), (QStringList {kMessageA, kMessageB}));
    for (const MessageRequest &m : std::as_const(h.shell.messages)) {
        QCOMPARE(m.caption, h.shell.applicationTitle());
        QCOMPARE(m.buttons, MessageButtons::Ok);
        QCOMPARE(m.icon, MessageIcon::None);
    }
    QVERIFY(h.busyValues.isEmpty());
    QCOMPARE(h.excel.made, 0);
    QCOMPARE(h.list.itemCount(), 1);
}

void TestExportWorkbook::emptyListCreatesNothing()
{
    Harness h;
    h.fill(3, {});
    exportWorkbook(h.context, h.excel);

    QVERIFY(h.shell.messages.isEmpty());
    QCOMPARE(h.busyValues, (QList<bool> {true, false}));
    QCOMPARE(h.excel.made, 0);
}

void TestExportWorkbook::callsInOrder()
{
    Harness h;
    h.fill(
        2, {{QStringLiteral("x"), QStringLiteral("Ann"), QStringLiteral("a@x")}, {QString(), QStringLiteral("Bob")}});
    h.shell.onYield = [&](int) { QVERIFY(h.busy.busy()); };
    exportWorkbook(h.context, h.excel);

    // The header, then the ticked rows, cell by cell; sheet row 3 (Bob) stays empty.
    QCOMPARE(h.excel.order, (QList<Cell> {{1, 1}, {1, 2}, {2, 1}, {2, 2}}));
    QCOMPARE(h.excel.cells,
        (QMap<Cell, QString> {{{1, 1}, QStringLiteral("H1")}, {{1, 2}, QStringLiteral("H2")},
            {{2, 1}, QStringLiteral("Ann")}, {{2, 2}, QStringLiteral("a@x")}}));
    QVERIFY(h.shell.messages.isEmpty());
    QCOMPARE(h.busyValues, (QList<bool> {true, false}));
    // A yield before each header, each row and each cell of a ticked row.
    QCOMPARE(h.shell.yields, 2 + 2 + 2);
    QCOMPARE(h.excel.made, 1);
    QCOMPARE(h.excel.shown, 1);
}

void TestExportWorkbook::sheetRowFollowsListRow_data()
{
    QTest::addColumn<QString>("ticks");
    QTest::addColumn<QList<int>>("filledRows");

    QTest::newRow("rows 1 and 3 of three") << QStringLiteral("x-x") << QList<int> {1, 2, 4};
    QTest::newRow("none ticked") << QStringLiteral("---") << QList<int> {1};
    QTest::newRow("all ticked") << QStringLiteral("xxx") << QList<int> {1, 2, 3, 4};
}

void TestExportWorkbook::sheetRowFollowsListRow()
{
    QFETCH(QString, ticks);
    QFETCH(QList<int>, filledRows);

    Harness h;
    QList<QStringList> rows;
    for (qsizetype i = 0; i < ticks.size(); ++i) {
        const QString n = QString::number(i + 1);
        rows << QStringList {ticks[i] == u'x' ? QStringLiteral("x") : QString(), QLatin1String("name") + n,
            QLatin1String("mail") + n, QLatin1String("phone") + n};
    }
    h.fill(3, rows);
    exportWorkbook(h.context, h.excel);

    QVERIFY(h.shell.messages.isEmpty());
    QMap<std::pair<int, int>, QString> expected;
    for (int k = 1; k <= 3; ++k)
        expected[{1, k}] = QStringLiteral("H%1").arg(k);
    for (int row : filledRows) {
        if (row == 1)
            continue;
        for (int k = 1; k <= 3; ++k)
            expected[{row, k}] = h.list.cell(row - 2, k - 1);
    }
    QCOMPARE(h.excel.cells, expected);
    QCOMPARE(h.excel.shown, 1);
}

void TestExportWorkbook::equalsSignsKeptInEveryColumn_data()
{
    QTest::addColumn<int>("column"); // 0 for the header
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("written");

    QTest::newRow("formula in column 2") << 2 << QStringLiteral("=SUM(A1:A3)") << QStringLiteral("=SUM(A1:A3)");
    QTest::newRow("every sign") << 3 << QStringLiteral("a=b=c") << QStringLiteral("a=b=c");
    QTest::newRow("web address") << 3 << QStringLiteral("https://example.com/?id=42")
                                 << QStringLiteral("https://example.com/?id=42");
    QTest::newRow("only signs") << 2 << QStringLiteral("==") << QStringLiteral("==");
    QTest::newRow("first column") << 1 << QStringLiteral("=SUM(A1:A3)") << QStringLiteral("=SUM(A1:A3)");
    QTest::newRow("header unchanged") << 0 << QStringLiteral("=Header") << QStringLiteral("=Header");
}

void TestExportWorkbook::equalsSignsKeptInEveryColumn()
{
    QFETCH(int, column);
    QFETCH(QString, value);
    QFETCH(QString, written);

    Harness h;
    for (int k = 1; k <= 3; ++k)
        h.list.addColumn(k == 2 && column == 0 ? value : QStringLiteral("H%1").arg(k));
    const int row = h.list.addRow(QStringLiteral("name"));
    h.list.setChecked(row, true);
    if (column > 0)
        h.list.setCell(row, column - 1, value);
    exportWorkbook(h.context, h.excel);

    QVERIFY(h.shell.messages.isEmpty());
    QCOMPARE(h.excel.cells.value({column == 0 ? 1 : 2, column == 0 ? 2 : column}), written);
}

void TestExportWorkbook::failingCallReportsItsStepOnce_data()
{
    QTest::addColumn<int>("row"); // 0: making the workbook fails
    QTest::addColumn<int>("column");
    QTest::addColumn<int>("line");

    QTest::newRow("making the workbook") << 0 << 0 << 112;
    QTest::newRow("first header") << 1 << 1 << 126;
    QTest::newRow("later header") << 1 << 3 << 130;
    QTest::newRow("first column value") << 3 << 1 << 154;
    QTest::newRow("later value") << 2 << 2 << 158;
}

void TestExportWorkbook::failingCallReportsItsStepOnce()
{
    QFETCH(int, row);
    QFETCH(int, column);
    QFETCH(int, line);

    Harness h;
    h.fill(3,
        {{QStringLiteral("x"), QStringLiteral("a1"), QStringLiteral("b1"), QStringLiteral("c1")},
            {QStringLiteral("x"), QStringLiteral("a2"), QStringLiteral("b2"), QStringLiteral("c2")}});
    h.excel.failing = {{row, column}};
    h.excel.failNew = row == 0;
    exportWorkbook(h.context, h.excel);

    const QStringList reports = h.reports();
    QVERIFY2(reports.first().startsWith(QString::number(line) + QLatin1String(": Scripted failure at ")),
        qPrintable(reports.first()));
    QVERIFY(h.shell.messages.first().text.contains(QLatin1String("Form1.PushButton1_Click")));
    QVERIFY(!h.busy.busy());
    if (row == 0) {
        // Every cell would fail alike: one report ends the export.
        QCOMPARE(reports.size(), 1);
        QCOMPARE(h.excel.made, 0);
        return;
    }
    QCOMPARE(reports.size(), 1);
    // Every other cell arrives, and the export still ends normally.
    QCOMPARE(h.excel.cells.size(), 8);
    QVERIFY(!h.excel.cells.contains({row, column}));
    QCOMPARE(h.excel.shown, 1);
}

void TestExportWorkbook::listClearedDuringYield()
{
    Harness h;
    h.fill(3,
        {{QStringLiteral("x"), QStringLiteral("a1"), QStringLiteral("b1"), QStringLiteral("c1")},
            {QStringLiteral("x"), QStringLiteral("a2"), QStringLiteral("b2"), QStringLiteral("c2")}});
    // Yields 1 to 3 come before the headers, 4 before row 1 and 5 to 7
    // before its cells: the rows go after the first cell of row 1.
    h.shell.onYield = [&](int n) {
        if (n == 6)
            h.list.clearRows();
    };
    exportWorkbook(h.context, h.excel);

    const QStringList reports = h.reports();
    // The first cell that finds its row gone is reported, and the rows end
    // there: one report, not one for every cell left.
    QCOMPARE(reports, (QStringList {QStringLiteral("158: Index out of bounds")}));
    QCOMPARE(h.excel.cells.value({2, 1}), QStringLiteral("a1"));
    QCOMPARE(h.excel.shown, 1);
    QVERIFY(!h.busy.busy());
}

void TestExportWorkbook::listClearedBeforeARow()
{
    Harness h;
    h.fill(3,
        {{QStringLiteral("x"), QStringLiteral("a1"), QStringLiteral("b1"), QStringLiteral("c1")},
            {QStringLiteral("x"), QStringLiteral("a2"), QStringLiteral("b2"), QStringLiteral("c2")}});
    // Yield 4 comes before row 1: its tick test finds the row gone.
    h.shell.onYield = [&](int n) {
        if (n == 4)
            h.list.clearRows();
    };
    exportWorkbook(h.context, h.excel);
    QCOMPARE(h.reports(), (QStringList {QStringLiteral("144: Index out of bounds")}));
    QCOMPARE(h.excel.shown, 1);
    QVERIFY(!h.busy.busy());
}

QTEST_GUILESS_MAIN(TestExportWorkbook)
#include "tst_exportworkbook.moc"
