#include "ExportFixture.h"
#include "FailDevice.h"
#include "Golden.h"
#include "ScriptedShell.h"

#include "export/SaveList.h"
#include "platform/qt/SaveFileSystem.h"

#include <QTemporaryDir>
#include <QTest>

using namespace quarrelby;
using namespace quarrelby::test;

namespace {

const QStringList kExampleHeaders {QStringLiteral("Name"), QStringLiteral("Phone")};
const QList<QStringList> kExampleRows {
    {QStringLiteral("x"), QStringLiteral("Ann Lee"), QStringLiteral("555-0101")},
    {QStringLiteral("x"), QStringLiteral("Bo"), QString()},
    {QString(), QStringLiteral("Christopher Smith"), QStringLiteral("12")},
};

} // namespace

class TestSaveList : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        QVERIFY(m_dir.isValid());
        for (const QString &name : folderEntries(m_dir.path()))
            QVERIFY(QFile::remove(m_dir.filePath(name)));
        m_path = m_dir.filePath(QStringLiteral("contacts.txt"));
    }

    void writesAlignedColumns_data()
    {
        QTest::addColumn<QStringList>("headers");
        QTest::addColumn<QList<QStringList>>("rows");
        QTest::addColumn<QByteArray>("expected");

        QTest::newRow("worked example: unticked row widens, empty cell")
            << kExampleHeaders << kExampleRows
            << QByteArray("Name             \tPhone   \t\r\n"
                          "Ann Lee          \t555-0101\t\r\n"
                          "Bo               \t        \t\r\n");
        QTest::newRow("header longer than its cells")
            << QStringList {QStringLiteral("Telephone"), QStringLiteral("N")}
            << QList<QStringList> {{QStringLiteral("x"), QStringLiteral("12"), QStringLiteral("Ann")}}
            << QByteArray("Telephone\tN  \t\r\n"
                          "12       \tAnn\t\r\n");
        QTest::newRow("multi-line cell counts CR and LF, TAB kept")
            << QStringList {QStringLiteral("Address"), QStringLiteral("Note")}
            << QList<QStringList> {{QStringLiteral("x"), QStringLiteral("1 Main St\r\nAustin"), QStringLiteral("a\tb")}}
            << QByteArray("Address          \tNote\t\r\n"
                          "1 Main St\r\nAustin\ta\tb \t\r\n");
        QTest::newRow("widths in UTF-16 code units, UTF-8 bytes out")
            << QStringList {QStringLiteral("N"), QStringLiteral("E")}
            << QList<QStringList> {{QStringLiteral("x"), QStringLiteral("Zo\u00eb"), QStringLiteral("\U0001F600")},
                   {QStringLiteral("x"), QStringLiteral("Bj\u00f6rk \u00c5sa"), QStringLiteral("ab")}}
            << QByteArray("N        \tE \t\r\n"
                          "Zo\xc3\xab      \t\xf0\x9f\x98\x80\t\r\n"
                          "Bj\xc3\xb6rk \xc3\x85sa\tab\t\r\n");
        QTest::newRow("no rows: header alone")
            << kExampleHeaders << QList<QStringList> {} << QByteArray("Name\tPhone\t\r\n");
        QTest::newRow("no row ticked: header alone")
            << kExampleHeaders
            << QList<QStringList> {{QString(), QStringLiteral("Ann Lee"), QStringLiteral("555-0101")}}
            << QByteArray("Name   \tPhone   \t\r\n");
        QTest::newRow("one column") << QStringList {QStringLiteral("Name")}
                                    << QList<QStringList> {{QStringLiteral("x"), QStringLiteral("Ann")},
                                           {QStringLiteral("x"), QString()}}
                                    << QByteArray("Name\t\r\nAnn \t\r\n    \t\r\n");
        QTest::newRow("no columns: one line end") << QStringList {} << QList<QStringList> {} << QByteArray("\r\n");
    }

    void writesAlignedColumns()
    {
        QFETCH(QStringList, headers);
        QFETCH(QList<QStringList>, rows);
        QFETCH(QByteArray, expected);

        ExportHarness h;
        fillList(h.list, headers, rows);
        h.shell.saveNames = {m_path};
        PushButton6_Click(h.form);

        QCOMPARE(h.shell.texts(), QStringList {});
        QUARRELBY_COMPARE_TEXT(readFile(m_path), expected);
        QVERIFY(h.pointerHistory.isEmpty());
        QCOMPARE(folderEntries(m_dir.path()), QStringList {QStringLiteral("contacts.txt")});
    }

    void yieldsOncePerCellRowAndHeader()
    {
        ExportHarness h;
        fillList(h.list, kExampleHeaders, kExampleRows);
        h.shell.saveNames = {m_path};
        PushButton6_Click(h.form);
        // measuring 2 x 3 cells, 2 headers, 3 rows, 2 x 2 cells of ticked rows
        QCOMPARE(h.shell.yields, 6 + 2 + 3 + 4);
    }

    void setsUpTheDialog()
    {
        ExportHarness h;
        PushButton6_Click(h.form);
        QCOMPARE(h.shell.dialogs.size(), 1);
        const SaveDialogSettings &d = h.shell.dialogs.first();
        QCOMPARE(d.fileName, QString());
        QCOMPARE(d.flags, 0x280201u);
        QCOMPARE(d.title, QStringLiteral("Save"));
        QCOMPARE(d.filter, QStringLiteral("Text Files (*.txt)|*.txt|All Files (*.*)|*.*|"));
        // cancelled: nothing asked, written or created
        QVERIFY(h.shell.messages.isEmpty());
        QCOMPARE(h.shell.yields, 0);
        QVERIFY(folderEntries(m_dir.path()).isEmpty());
    }

    void asksBeforeReplacing_data()
    {
        QTest::addColumn<MessageAnswer>("answer");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("yes replaces a longer file entirely") << MessageAnswer::Yes << QByteArray("Name\tPhone\t\r\n");
        QTest::newRow("no leaves it") << MessageAnswer::No << QByteArray("old content, longer than the new\r\n");
    }

    void asksBeforeReplacing()
    {
        QFETCH(MessageAnswer, answer);
        QFETCH(QByteArray, expected);

        ExportHarness h;
        h.shell.setApplicationTitle(QStringLiteral("Quarrelby Title"));
        fillList(h.list, kExampleHeaders, {});
        // no extension: used as typed
        const QString path = m_dir.filePath(QStringLiteral("list"));
        writeFile(path, "old content, longer than the new\r\n");
        h.shell.saveNames = {path};
        h.shell.answers = {answer};
        PushButton6_Click(h.form);

        QCOMPARE(h.shell.messages.size(), 1);
        const MessageRequest &q = h.shell.messages.first();
        QCOMPARE(q.text, QStringLiteral("Are you sure you wish to overwrite ") + path + QStringLiteral(" ?"));
        QCOMPARE(q.caption, QStringLiteral("Quarrelby Title"));
        QCOMPARE(q.buttons, MessageButtons::YesNo);
        QCOMPARE(q.defaultButton, MessageAnswer::Yes);
        QCOMPARE(q.icon, MessageIcon::None);
        QCOMPARE(readFile(path), expected);
        QCOMPARE(folderEntries(m_dir.path()), QStringList {QStringLiteral("list")});
    }

    // A failed save reports at the line of the writer's call and leaves the
    // user's file as it was, with nothing else beside it.
    void failedSaveKeepsOldFile_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<int>("limit");
        QTest::addColumn<QString>("description");
        QTest::newRow("disk full at once") << "device" << 0 << "No space left on device";
        QTest::newRow("disk full inside the header") << "device" << 7 << "No space left on device";
        QTest::newRow("disk full inside a row") << "device" << 40 << "No space left on device";
        QTest::newRow("list cleared while measuring") << "clear" << 2 << "Index out of bounds";
        QTest::newRow("list cleared while writing rows") << "clear" << 10 << "Index out of bounds";
        QTest::newRow("folder is a regular file") << "blocked" << 0 << "Not a directory";
    }

    void failedSaveKeepsOldFile()
    {
        QFETCH(QString, how);
        QFETCH(int, limit);
        QFETCH(QString, description);

        ExportHarness h;
        fillList(h.list, kExampleHeaders, kExampleRows);
        const QByteArray old("the user's old list\r\n");
        writeFile(m_path, old);
        const QString path = arrangeFailedSave(h, how, limit, m_path);
        h.shell.saveNames = {path};
        PushButton6_Click(h.form);

        const QStringList texts = h.shell.texts();
        QVERIFY(!texts.isEmpty());
        const QString report = texts.last();
        QVERIFY2(report.contains(description), qPrintable(report));
        QVERIFY2(report.contains(QStringLiteral("in QuarrelbyApp2021/08/31.Form1.PushButton6_Click at line 128\r\r")),
            qPrintable(report));
        QCOMPARE(h.shell.messages.last().caption, QStringLiteral("Application Error"));
        QCOMPARE(readFile(m_path), old);
        QCOMPARE(folderEntries(m_dir.path()), QStringList {QStringLiteral("contacts.txt")});
    }

    // Closing the window mid-save ends the program without unwinding; the
    // end hook must take the unfinished file away.
    void programEndMidSaveLeavesNoTemporaryFile()
    {
        ExportHarness h;
        fillList(h.list, kExampleHeaders, kExampleRows);
        const QByteArray old("old\r\n");
        writeFile(m_path, old);
        QStringList duringSave;
        QStringList afterEnd;
        h.shell.onYield = [&](int n) {
            if (n != 13)
                return;
            duringSave = folderEntries(m_dir.path());
            try {
                h.shell.endProgram();
            } catch (const ProgramEnded &) {
                afterEnd = folderEntries(m_dir.path());
                throw;
            }
        };
        h.shell.saveNames = {m_path};
        PushButton6_Click(h.form);

        QCOMPARE(h.shell.endCount, 1);
        QVERIFY(duringSave.contains(QStringLiteral("contacts.txt")));
        QCOMPARE(afterEnd, QStringList {QStringLiteral("contacts.txt")});
        QCOMPARE(readFile(m_path), old);
    }

private:
    QTemporaryDir m_dir;
    QString m_path;
};

QTEST_GUILESS_MAIN(TestSaveList)
#include "tst_savelist.moc"
