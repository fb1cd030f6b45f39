#include "ExportFixture.h"
#include "ScriptedShell.h"

#include "actions/CopyToClipboard.h"
#include "platform/qt/QtShell.h"

#include <QApplication>
#include <QClipboard>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTest>

using namespace quarrelby;
using namespace quarrelby::test;

namespace {

const QString kPrevious = QStringLiteral("previous content");

// The text as lines built one at a time make it: the ticked rows, each cell
// filled with spaces to its column's widest cell and followed by a TAB, the
// last one bare and the line's trailing spaces dropped.
QString lineByLineText(const QList<QStringList> &rows, int columns)
{
    const QList<qsizetype> widths = widestCells(QStringList(columns), rows);
    QString text;
    for (const QStringList &row : rows) {
        if (row.value(0) != QLatin1String("x"))
            continue;
        QString line;
        for (int k = 0; k < columns; ++k)
            line += row.value(k + 1).leftJustified(widths[k]) + QLatin1Char('\t');
        line.chop(1);
        while (line.endsWith(QLatin1Char(' ')))
            line.chop(1);
        text += line + QLatin1String("\r\n");
    }
    return text;
}

} // namespace

class TestCopyToClipboard : public QObject {
    Q_OBJECT

private slots:
    void buildsPaddedLines_data()
    {
        QTest::addColumn<QStringList>("headers");
        QTest::addColumn<QList<QStringList>>("rows");
        QTest::addColumn<QString>("expected");

        // The unticked rows set the widths of the examples: 5 and 3, then 3 and 4.
        QTest::newRow("widths 5 and 3: Ann, 12")
            << QStringList {QStringLiteral("A"), QStringLiteral("B")}
            << QList<QStringList> {{QStringLiteral("x"), QStringLiteral("Ann"), QStringLiteral("12")},
                   {QString(), QStringLiteral("Chris"), QStringLiteral("123")}}
            << QStringLiteral("Ann  \t12\r\n");
        QTest::newRow("widths 3 and 4: Bob, empty last cell keeps its TAB")
            << QStringList {QStringLiteral("A"), QStringLiteral("B")}
            << QList<QStringList> {{QStringLiteral("x"), QStringLiteral("Bob"), QString()},
                   {QString(), QStringLiteral("Al"), QStringLiteral("1234")}}
            << QStringLiteral("Bob\t\r\n");
        QTest::newRow("headers are not measured, unticked rows give no line")
            << QStringList {QStringLiteral("A very long header"), QStringLiteral("B")}
            << QList<QStringList> {{QString(), QStringLiteral("Zed"), QStringLiteral("9")},
                   {QStringLiteral("x"), QStringLiteral("Al"), QStringLiteral("1")},
                   {QStringLiteral("x"), QStringLiteral("Bo"), QStringLiteral("22")}}
            << QStringLiteral("Al \t1\r\nBo \t22\r\n");
        QTest::newRow("trailing spaces trimmed at the end of the line only")
            << QStringList {QStringLiteral("A"), QStringLiteral("B")}
            << QList<QStringList> {{QStringLiteral("x"), QStringLiteral("a  "), QStringLiteral("b  ")},
                   {QString(), QStringLiteral("a"), QStringLiteral("bbbbbb")}}
            << QStringLiteral("a  \tb\r\n");
        QTest::newRow("one column, empty cell: empty line")
            << QStringList {QStringLiteral("A")}
            << QList<QStringList> {{QStringLiteral("x"), QString()}, {QStringLiteral("x"), QStringLiteral("Ann")}}
            << QStringLiteral("\r\nAnn\r\n");
        QTest::newRow("cells copied as they are, widths in UTF-16 units")
            << QStringList {QStringLiteral("A"), QStringLiteral("B")}
            << QList<QStringList> {{QStringLiteral("x"), QStringLiteral("\U0001F600"),
                                       QStringLiteral("1 Main\r\nAustin")},
                   {QStringLiteral("x"), QStringLiteral("Zo\u00eb"), QStringLiteral("a\tb")}}
            << QStringLiteral("\U0001F600 \t1 Main\r\nAustin\r\nZo\u00eb\ta\tb\r\n");
        QTest::newRow("none ticked: empty text")
            << QStringList {QStringLiteral("A")} << QList<QStringList> {{QString(), QStringLiteral("Ann")}}
            << QString();
    }

    void buildsPaddedLines()
    {
        QFETCH(QStringList, headers);
        QFETCH(QList<QStringList>, rows);
        QFETCH(QString, expected);

        ExportHarness h;
        fillList(h.list, headers, rows);
        copyToClipboard(h.context);

        QCOMPARE(h.shell.clipboardText, expected);
        QCOMPARE(h.shell.clearAttempts, 1);
        QCOMPARE(h.shell.setTextAttempts, 1);
        QCOMPARE(h.shell.texts(), QStringList {QString::fromLatin1(kCopiedMessage)});
        QVERIFY(h.busyHistory.isEmpty());
    }

    void largeListAsLineByLine()
    {
        const int columns = 7;
        const QList<QStringList> rows = variedRows(20000, columns);
        ExportHarness h;
        fillList(h.list, QStringList(columns, QStringLiteral("H")), rows);
        copyToClipboard(h.context);

        QCOMPARE(h.shell.texts(), QStringList {QString::fromLatin1(kCopiedMessage)});
        // The clipboard holds UTF-8, as another program's paste receives it:
        // an unpaired surrogate arrives as U+FFFD, as in the text files.
        QStringEncoder utf8(QStringEncoder::Utf8, QStringEncoder::Flag::Stateless);
        QCOMPARE(h.shell.clipboardText, QString::fromUtf8(utf8.encode(lineByLineText(rows, columns))));
    }

    // A cell set longer than its column while the copy yields goes whole and
    // without filling, beyond the room the measured widths foretold.
    void cellLengthenedMidCopyGoesUnpadded()
    {
        ExportHarness h;
        fillList(h.list, {QStringLiteral("A"), QStringLiteral("B")},
            {{QStringLiteral("x"), QStringLiteral("a"), QStringLiteral("b")},
                {QStringLiteral("x"), QStringLiteral("c"), QStringLiteral("dd")}});
        const QString longer(5000, QLatin1Char('z'));
        // 4 measuring, row 1 and its 2 cells, row 2: 9 comes before its first cell
        h.shell.onYield = [&](int n) {
            if (n == 9)
                h.list.setCell(1, 0, longer);
        };
        copyToClipboard(h.context);

        QCOMPARE(h.shell.clipboardText, QStringLiteral("a\tb\r\n") + longer + QStringLiteral("\tdd\r\n"));
    }

    void yieldsPerMeasuredCellRowAndCell()
    {
        ExportHarness h;
        fillList(h.list, {QStringLiteral("A"), QStringLiteral("B")},
            {{QStringLiteral("x"), QStringLiteral("a"), QStringLiteral("b")}, {QString(), QStringLiteral("c")},
                {QStringLiteral("x"), QStringLiteral("d")}});
        (void)copyListToClipboard(h.shell, h.list);
        // 2 x 3 measured, 3 rows, 2 x 2 cells of ticked rows
        QCOMPARE(h.shell.yields, 6 + 3 + 4);
    }

    void emptyListLeavesTheClipboard()
    {
        ExportHarness h;
        fillList(h.list, {QStringLiteral("A")}, {});
        copyToClipboard(h.context);
        QCOMPARE(h.shell.clipboardText, kPrevious);
        QCOMPARE(h.shell.clearAttempts, 0);
        QCOMPARE(h.shell.setTextAttempts, 0);
        QCOMPARE(h.shell.texts(), QStringList {QString::fromLatin1(kCopiedMessage)});
    }

    void retriesARefusingClipboard_data()
    {
        QTest::addColumn<int>("refusals");
        QTest::addColumn<int>("attempts");
        QTest::addColumn<QString>("clipboard");
        QTest::addColumn<QString>("message");
        const QString copied = QString::fromLatin1(kCopiedMessage);
        QTest::newRow("accepts at once") << 0 << 1 << "Ann\r\n" << copied;
        QTest::newRow("accepts at the 1000th attempt") << 999 << 1000 << "Ann\r\n" << copied;
        QTest::newRow("refuses for ever") << -1 << 1000 << kPrevious << QString::fromLatin1(kNotCopiedMessage);
    }

    void retriesARefusingClipboard()
    {
        QFETCH(int, refusals);
        QFETCH(int, attempts);
        QFETCH(QString, clipboard);
        QFETCH(QString, message);

        ExportHarness h;
        fillList(h.list, {QStringLiteral("A")}, {{QStringLiteral("x"), QStringLiteral("Ann")}});
        h.shell.clipboardRefusals = refusals;
        copyToClipboard(h.context);

        QCOMPARE(h.shell.clearAttempts, attempts);
        QCOMPARE(h.shell.setTextAttempts, attempts);
        QCOMPARE(h.shell.clipboardText, clipboard);
        QCOMPARE(h.shell.texts(), QStringList {message});
        const MessageRequest &box = h.shell.messages.first();
        QCOMPARE(box.caption, h.shell.applicationTitle());
        QCOMPARE(box.buttons, MessageButtons::Ok);
        QCOMPARE(box.icon, MessageIcon::None);
    }

    void listClearedMidCopyIsReported_data()
    {
        QTest::addColumn<int>("atYield");
        QTest::newRow("while measuring") << 2;
        QTest::newRow("before a row") << 7;
        QTest::newRow("before a cell") << 8;
    }

    void listClearedMidCopyIsReported()
    {
        QFETCH(int, atYield);
        ExportHarness h;
        fillList(h.list, {QStringLiteral("A"), QStringLiteral("B")},
            {{QStringLiteral("x"), QStringLiteral("a"), QStringLiteral("b")},
                {QStringLiteral("x"), QStringLiteral("c"), QStringLiteral("d")},
                {QStringLiteral("x"), QStringLiteral("e"), QStringLiteral("f")}});
        h.shell.onYield = [&](int n) {
            if (n == atYield)
                h.list.clearRows();
        };
        copyToClipboard(h.context);

        // The report alone: the results were not copied, so no claim that they were.
        const QStringList texts = h.shell.texts();
        QCOMPARE(texts.size(), 1);
        QVERIFY(texts.first().startsWith(QStringLiteral("Index out of bounds\r\n")));
        QVERIFY(texts.first().contains(QStringLiteral("Form1.PushButton3_Click at line 106\r\r")));
        QCOMPARE(h.shell.clipboardText, kPrevious);
        QCOMPARE(h.shell.clearAttempts, 0);
    }

    // The product's clipboard, on the offscreen platform's in-process one.
    void realClipboardReceivesTheText()
    {
        QGuiApplication::clipboard()->setText(kPrevious);
        QtShell shell;
        ResultList list;
        fillList(list, {QStringLiteral("Name"), QStringLiteral("Phone")},
            {{QStringLiteral("x"), QStringLiteral("Ann Lee"), QStringLiteral("555-0101")},
                {QString(), QStringLiteral("Christopher Smith"), QStringLiteral("12")},
                {QStringLiteral("x"), QStringLiteral("Bj\u00f6rk"), QString()}});
        QCOMPARE(copyListToClipboard(shell, list), CopyOutcome::Copied);
        QCOMPARE(QGuiApplication::clipboard()->text(),
            QStringLiteral("Ann Lee          \t555-0101\r\nBj\u00f6rk            \t\r\n"));
    }
};

int main(int argc, char *argv[])
{
    // Before QApplication reads them: no display needed, and no warning about
    // a missing runtime folder.
    QTemporaryDir runtime;
    qputenv("XDG_RUNTIME_DIR", runtime.path().toLocal8Bit());
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    TestCopyToClipboard test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_copytoclipboard.moc"
