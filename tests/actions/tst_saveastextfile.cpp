#include "ExportFixture.h"
#include "FailDevice.h"
#include "Golden.h"
#include "ScriptedShell.h"

#include "actions/SaveAsTextFile.h"
#include "platform/qt/SaveFileWriter.h"

#include <QDir>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTest>

#include <sched.h>
#include <sys/mount.h>
#include <unistd.h>

using namespace quarrelby;
using namespace quarrelby::test;

namespace {

const QStringList kExampleHeaders {QStringLiteral("Name"), QStringLiteral("Phone")};
const QList<QStringList> kExampleRows {
    {QStringLiteral("x"), QStringLiteral("Ann Lee"), QStringLiteral("555-0101")},
    {QStringLiteral("x"), QStringLiteral("Bo"), QString()},
    {QString(), QStringLiteral("Christopher Smith"), QStringLiteral("12")},
};

// The file as lines built and encoded one at a time make it: every cell
// filled with spaces to its column's widest text and followed by a TAB.
QByteArray lineByLineText(const QStringList &headers, const QList<QStringList> &rows)
{
    const QList<qsizetype> widths = widestCells(headers, rows);
    QStringEncoder utf8(QStringEncoder::Utf8, QStringEncoder::Flag::Stateless);
    const auto line = [&](const QStringList &cells) {
        QString text;
        for (qsizetype k = 0; k < widths.size(); ++k)
            text += cells.value(k).leftJustified(widths[k]) + QLatin1Char('\t');
        return QByteArray(utf8.encode(text)) + "\r\n";
    };
    QByteArray text = line(headers);
    for (const QStringList &row : rows) {
        if (row.value(0) == QLatin1String("x"))
            text += line(row.mid(1));
    }
    return text;
}

// The effective user is "nobody" while it lives, when asked to be.
class OtherUser {
public:
    explicit OtherUser(bool wanted)
        : m_switched(wanted && ::seteuid(65534) == 0)
        , m_active(!wanted || m_switched)
    {
    }
    ~OtherUser()
    {
        if (m_switched && ::seteuid(0) != 0)
            qFatal("cannot become root again");
    }
    OtherUser(const OtherUser &) = delete;
    OtherUser &operator=(const OtherUser &) = delete;

    [[nodiscard]] bool active() const { return m_active; }

private:
    bool m_switched;
    bool m_active;
};

} // namespace

class TestSaveAsTextFile : public QObject {
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
        QTest::newRow("unpaired surrogates: one unit wide, U+FFFD out")
            << QStringList {QStringLiteral("N"), QStringLiteral("E")}
            << QList<QStringList> {{QStringLiteral("x"), QChar(0xd83d) + QStringLiteral("a"),
                   QStringLiteral("b") + QChar(0xde00)}}
            << QByteArray("N \tE \t\r\n"
                          "\xef\xbf\xbd"
                          "a\tb\xef\xbf\xbd\t\r\n");
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
        saveAsTextFile(h.context, *h.files);

        QCOMPARE(h.shell.texts(), QStringList {});
        QUARRELBY_COMPARE_TEXT(readFile(m_path), expected);
        QVERIFY(h.busyHistory.isEmpty());
        QCOMPARE(folderEntries(m_dir.path()), QStringList {QStringLiteral("contacts.txt")});
    }

    // Many rows, several megabytes: the file is the same as lines encoded
    // and written one at a time make it.
    void largeListAsLineByLine()
    {
        const QStringList headers {QStringLiteral("Name"), QStringLiteral("Company"), QStringLiteral("Address"),
            QStringLiteral("E-mail"), QStringLiteral("Phone"), QStringLiteral("Notes")};
        const QList<QStringList> rows = variedRows(20000, static_cast<int>(headers.size()));
        ExportHarness h;
        fillList(h.list, headers, rows);
        h.shell.saveNames = {m_path};
        saveAsTextFile(h.context, *h.files);

        QCOMPARE(h.shell.texts(), QStringList {});
        QUARRELBY_COMPARE_TEXT(readFile(m_path), lineByLineText(headers, rows));
    }

    // A cell set longer than its column while the save yields is written
    // whole and without filling; this one is longer than any buffer too.
    void cellLengthenedMidSaveGoesUnpadded()
    {
        ExportHarness h;
        fillList(h.list, kExampleHeaders, kExampleRows);
        const QString longer(300000, QChar(0x00fc));
        // 6 measuring, 2 headers, row 1 and its 2 cells: 12 comes before row 2
        h.shell.onYield = [&](int n) {
            if (n == 12)
                h.list.setCell(1, 0, longer);
        };
        h.shell.saveNames = {m_path};
        saveAsTextFile(h.context, *h.files);

        QCOMPARE(h.shell.texts(), QStringList {});
        QUARRELBY_COMPARE_TEXT(readFile(m_path),
            "Name             \tPhone   \t\r\n"
            "Ann Lee          \t555-0101\t\r\n"
                + longer.toUtf8() + "\t        \t\r\n");
    }

    void yieldsOncePerCellRowAndHeader()
    {
        ExportHarness h;
        fillList(h.list, kExampleHeaders, kExampleRows);
        h.shell.saveNames = {m_path};
        saveAsTextFile(h.context, *h.files);
        // measuring 2 x 3 cells, 2 headers, 3 rows, 2 x 2 cells of ticked rows
        QCOMPARE(h.shell.yields, 6 + 2 + 3 + 4);
    }

    void setsUpTheDialog()
    {
        ExportHarness h;
        saveAsTextFile(h.context, *h.files);
        QCOMPARE(h.shell.dialogs.size(), 1);
        const SaveDialogSettings &d = h.shell.dialogs.first();
        QCOMPARE(d.title, QStringLiteral("Save"));
        QCOMPARE(d.nameFilters, (QStringList {"Text Files (*.txt)", "All Files (*)"}));
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
        saveAsTextFile(h.context, *h.files);

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
        // The system's reason where the device gives none, not "Device I/O error".
        QTest::newRow("disk full, device silent") << "full" << 0 << ".txt: No space left on device";
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
        saveAsTextFile(h.context, *h.files);

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
        saveAsTextFile(h.context, *h.files);

        QCOMPARE(h.shell.endCount, 1);
        QVERIFY(duringSave.contains(QStringLiteral("contacts.txt")));
        QCOMPARE(afterEnd, QStringList {QStringLiteral("contacts.txt")});
        QCOMPARE(readFile(m_path), old);
    }

    // In a folder where no new file may be made, a file that may be written
    // is saved in place; a failure then puts its old content back.
    void savesInPlaceWhereNoFileMayBeMade_data()
    {
        QTest::addColumn<QString>("how"); // "" for a save that succeeds
        QTest::addColumn<bool>("fileWritable");
        QTest::addColumn<QString>("description"); // of the report, "" for none

        QTest::newRow("saved in place") << QString() << true << QString();
        QTest::newRow("disk full, old content back") << "device" << true << "No space left on device";
        QTest::newRow("list cleared, old content back") << "clear" << true << "Index out of bounds";
        QTest::newRow("file read-only too") << QString() << false << "Permission denied";
    }

    void savesInPlaceWhereNoFileMayBeMade()
    {
        QFETCH(QString, how);
        QFETCH(bool, fileWritable);
        QFETCH(QString, description);

        // Root passes every permission check: save as another user then.
        const bool root = ::geteuid() == 0;
        QTemporaryDir top;
        const QString folder = top.filePath(QStringLiteral("locked"));
        QVERIFY(QDir().mkpath(folder));
        const QString path = folder + QLatin1String("/contacts.txt");
        const QByteArray old("the user's old list, longer than the new one will be\r\n");
        writeFile(path, old);
        const auto all = QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther | QFile::ExeOwner | QFile::ExeGroup
            | QFile::ExeOther;
        QVERIFY(QFile::setPermissions(top.path(), all));
        QVERIFY(QFile::setPermissions(folder, all));
        const auto readable = QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther;
        const auto writable = QFile::WriteOwner | QFile::WriteGroup | QFile::WriteOther;
        QVERIFY(QFile::setPermissions(path, fileWritable ? readable | writable : readable));

        ExportHarness h;
        fillList(h.list, kExampleHeaders, kExampleRows);
        (void)arrangeFailedSave(h, how, how == QLatin1String("device") ? 40 : 10, path);
        h.shell.saveNames = {path};
        {
            const OtherUser other(root);
            if (!other.active())
                QSKIP("cannot save as another user");
            saveAsTextFile(h.context, *h.files);
        }

        QCOMPARE(folderEntries(folder), QStringList {QStringLiteral("contacts.txt")});
        const QStringList texts = h.shell.texts();
        if (description.isEmpty()) {
            QCOMPARE(texts, QStringList {QStringLiteral("Are you sure you wish to overwrite %1 ?").arg(path)});
            QUARRELBY_COMPARE_TEXT(readFile(path),
                "Name             \tPhone   \t\r\n"
                "Ann Lee          \t555-0101\t\r\n"
                "Bo               \t        \t\r\n");
            return;
        }
        QVERIFY2(!texts.isEmpty() && texts.last().contains(description), qPrintable(texts.join(QLatin1Char('|'))));
        QCOMPARE(readFile(path), old);
    }

    // A real disk that fills up during the save, or that takes no writes at
    // all (a small file system of its own, which only root may mount, in a
    // mount namespace of this process).
    void fullDiskIsToldAsFull_data()
    {
        QTest::addColumn<bool>("readOnly");
        QTest::addColumn<QString>("description");
        QTest::newRow("full") << false << "contacts.txt: No space left on device";
        QTest::newRow("read-only") << true << "contacts.txt: Read-only file system";
    }

    void fullDiskIsToldAsFull()
    {
        QFETCH(bool, readOnly);
        QFETCH(QString, description);
        if (::unshare(CLONE_NEWNS) != 0 || ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
            QSKIP("a private mount namespace needs root");
        QTemporaryDir top;
        const QString folder = top.filePath(QStringLiteral("small"));
        QVERIFY(QDir().mkpath(folder));
        const QByteArray mountPoint = QFile::encodeName(folder);
        if (::mount("quarrelby-test", mountPoint.constData(), "tmpfs", 0, "size=16k") != 0)
            QSKIP("no small file system could be mounted");
        const QString path = folder + QLatin1String("/contacts.txt");
        const QByteArray old("old\r\n");
        writeFile(path, old);
        if (readOnly)
            QVERIFY(::mount(nullptr, mountPoint.constData(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr) == 0);

        ExportHarness h;
        QList<QStringList> rows;
        for (int r = 0; r < 2000; ++r)
            rows.append({QStringLiteral("x"), QStringLiteral("Contact %1").arg(r), QStringLiteral("555-%1").arg(r)});
        fillList(h.list, kExampleHeaders, rows);
        h.shell.saveNames = {path};
        saveAsTextFile(h.context, *h.files);

        const QStringList texts = h.shell.texts();
        const QStringList entries = folderEntries(folder);
        const QByteArray left = readFile(path);
        QVERIFY(::umount2(mountPoint.constData(), MNT_DETACH) == 0);
        QVERIFY2(!texts.isEmpty() && texts.last().contains(description), qPrintable(texts.join(QLatin1Char('|'))));
        QCOMPARE(left, old);
        QCOMPARE(entries, QStringList {QStringLiteral("contacts.txt")});
    }

private:
    QTemporaryDir m_dir;
    QString m_path;
};

QTEST_GUILESS_MAIN(TestSaveAsTextFile)
#include "tst_saveastextfile.moc"
