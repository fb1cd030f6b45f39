// The workbook export through the shown workbook over libxlsxwriter: the .xlsx file is
// read back with openpyxl, the way a spreadsheet program reads it.
#include "ScriptedShell.h"
#include "actions/ExportWorkbook.h"
#include "core/ActionContext.h"
#include "core/BusyState.h"
#include "core/ResultList.h"
#include "platform/Failure.h"
#include "platform/PrivateFolder.h"
#include "platform/workbook/ShownWorkbook.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <dlfcn.h>
#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>

#include <atomic>
#include <cerrno>

using namespace quarrelby;
using namespace quarrelby::test;

// A temporary folder on a file system without modes (FAT) refuses chmod.
// QFile::setPermissions calls chmod(), which this definition stands in for:
// it refuses while refuseChmod is set.
static std::atomic<bool> refuseChmod {false};

extern "C" int chmod(const char *path, mode_t mode)
{
    if (refuseChmod) {
        errno = EPERM;
        return -1;
    }
    using Chmod = int (*)(const char *, mode_t);
    static const auto real = reinterpret_cast<Chmod>(dlsym(RTLD_NEXT, "chmod"));
    return real(path, mode);
}

namespace {

// Prints what a spreadsheet program would show: the cells with their types
// (escaped characters such as "_x000D_" decoded) and the column widths set.
const char kReader[] = R"(
import json, re, sys, openpyxl
ws = openpyxl.load_workbook(sys.argv[1]).active
unescape = lambda s: re.sub(r'_x([0-9A-Fa-f]{4})_', lambda m: chr(int(m.group(1), 16)), s)
cells = [[c.row, c.column, c.data_type, unescape(c.value) if isinstance(c.value, str) else repr(c.value)]
         for row in ws.iter_rows() for c in row if c.value is not None]
widths = {k: d.width for k, d in ws.column_dimensions.items() if d.customWidth}
json.dump({'cells': cells, 'widths': widths}, sys.stdout)
)";

struct Sheet {
    QMap<std::pair<int, int>, QString> cells;
    QSet<QString> types;
    QMap<QString, double> widths; // by column letter
};

Sheet readSheet(const QString &path)
{
    QProcess python;
    python.start(QStringLiteral("/usr/bin/python3"), {QStringLiteral("-c"), QString::fromLatin1(kReader), path});
    if (!python.waitForFinished(60000) || python.exitCode() != 0)
        qFatal("reading %s failed: %s", qPrintable(path), python.readAllStandardError().constData());
    const QJsonObject json = QJsonDocument::fromJson(python.readAllStandardOutput()).object();
    Sheet sheet;
    for (const QJsonValue &cell : json.value(QLatin1String("cells")).toArray()) {
        const QJsonArray c = cell.toArray();
        sheet.cells[{c[0].toInt(), c[1].toInt()}] = c[3].toString();
        sheet.types << c[2].toString();
    }
    const QJsonObject widths = json.value(QLatin1String("widths")).toObject();
    for (auto it = widths.begin(); it != widths.end(); ++it)
        sheet.widths[it.key()] = it.value().toDouble();
    return sheet;
}

void setTime(const QString &path, const QDateTime &time)
{
    const timespec when {static_cast<time_t>(time.toSecsSinceEpoch()), 0};
    const timespec times[2] {when, when};
    QVERIFY(::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0) == 0);
}

void writeScript(const QString &path, const QByteArray &body)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write("#!/bin/sh\n" + body + '\n');
    file.close();
    QVERIFY(file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
}

struct Harness {
    Harness()
        : context {shell, list, busy, [](int) { return 1; }}
    {
    }

    // Headers and rows: each row is its tick ("x" or "") followed by its cells.
    void fill(const QStringList &headers, const QList<QStringList> &rows)
    {
        for (const QString &header : headers)
            list.addColumn(header);
        for (const QStringList &row : rows) {
            const int i = list.addRow(row.value(1));
            for (int k = 2; k < row.size(); ++k)
                list.setCell(i, k, row[k]);
            list.setChecked(i, row.value(0) == QLatin1String("x"));
        }
    }

    // The one workbook handed to xdg-open.
    QString opened() const
    {
        if (shell.started.size() != 1 || shell.started.first().size() != 2
            || shell.started.first().first() != QLatin1String("xdg-open"))
            return {};
        return shell.started.first().at(1);
    }

    ScriptedShell shell;
    DesktopSpreadsheets spreadsheets {shell};
    ResultList list;
    BusyState busy;
    ActionContext context;
};

} // namespace

class TestShownWorkbook : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void exportRoundTrips();
    void tooLongValueFailsItsCellOnly_data();
    void tooLongValueFailsItsCellOnly();
    void noSpreadsheetProgram_data();
    void noSpreadsheetProgram();
    void writeFailureIsTold();
    void openerFailureIsTold();
    void modelessFolderStillShows();
    void fullFolderIsToldAsFull();
    void rowsFilledOutOfOrder();
    void loneSurrogatesStayInTheirCells();
    void releasedUnshownLeavesNothing();
    void folderGoneWhileFilling();
    void foldersRemovedOnceUnused();

private:
    QStringList temporaryEntries() const { return QDir(m_temp).entryList(QDir::AllEntries | QDir::NoDotAndDotDot); }
    // Every file under the temporary folder, and every empty folder (with a
    // trailing slash), links not followed, sorted.
    QStringList temporaryTree() const
    {
        QStringList tree;
        QDirIterator it(m_temp, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
            QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QFileInfo entry = it.nextFileInfo();
            const QString relative = QDir(m_temp).relativeFilePath(entry.filePath());
            if (entry.isSymLink() || !entry.isDir())
                tree << relative;
            else if (QDir(entry.filePath())
                         .isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System))
                tree << relative + QLatin1Char('/');
        }
        tree.sort();
        return tree;
    }

    QTemporaryDir m_root;
    QString m_bin;
    QString m_temp;
    QByteArray m_path;
};

void TestShownWorkbook::initTestCase()
{
    QVERIFY(m_root.isValid());
    m_bin = m_root.filePath(QStringLiteral("bin"));
    QVERIFY(QDir().mkpath(m_bin));
    m_path = qgetenv("PATH");
}

void TestShownWorkbook::init()
{
    // A desktop with a spreadsheet program, and a temporary folder of our own.
    writeScript(m_bin + QLatin1String("/xdg-mime"), "echo libreoffice-calc.desktop");
    qputenv("PATH", QFile::encodeName(m_bin) + ':' + m_path);
    m_temp = m_root.filePath(
        QStringLiteral("tmp-%1").arg(QTest::currentTestFunction()) + QLatin1String(QTest::currentDataTag()));
    QVERIFY(QDir().mkpath(m_temp));
    qputenv("TMPDIR", QFile::encodeName(m_temp));
}

void TestShownWorkbook::exportRoundTrips()
{
    Harness h;
    h.fill({QStringLiteral("Full Name"), QStringLiteral("=Header"), QStringLiteral("Notes"), QStringLiteral("Extra"),
               QStringLiteral("Web")},
        {{QStringLiteral("x"), QStringLiteral("José Müller 日本 😀"), QStringLiteral("=SUM(A1:A3)"),
             QStringLiteral("Line 1\r\nLine 2, \"quoted\""), QStringLiteral("_x0041_"),
             QStringLiteral("https://example.com/?id=42")},
            {QString(), QStringLiteral("Not ticked"), QStringLiteral("x"), QStringLiteral("y"), QStringLiteral("z")},
            {QStringLiteral("x"), QStringLiteral("=1+1"), QStringLiteral("00123"), QStringLiteral("2021-08-31"),
                QStringLiteral("TRUE"), QStringLiteral("a=b")}});
    exportWorkbook(h.context, h.spreadsheets);

    QVERIFY2(h.shell.messages.isEmpty(), qPrintable(h.shell.texts().join(QLatin1Char('|'))));
    const QString path = h.opened();
    QVERIFY(!path.isEmpty());
    QCOMPARE(QFileInfo(path).fileName(), QStringLiteral("Book1.xlsx"));
    // Read-only, so that the spreadsheet program cannot save it back there.
    const auto userBits = QFileDevice::ReadUser | QFileDevice::WriteUser | QFileDevice::ExeUser;
    QCOMPARE(QFileInfo(path).permissions() & ~userBits, QFileDevice::ReadOwner);
    QVERIFY(QFileInfo(path).absolutePath().startsWith(m_temp + QLatin1String("/quarrelby-")));

    const Sheet sheet = readSheet(path);
    const QMap<std::pair<int, int>, QString> expected {
        {{1, 1}, QStringLiteral("Full Name")},
        {{1, 2}, QStringLiteral("=Header")},
        {{1, 3}, QStringLiteral("Notes")},
        {{1, 4}, QStringLiteral("Extra")},
        {{1, 5}, QStringLiteral("Web")},
        {{2, 1}, QStringLiteral("José Müller 日本 😀")},
        {{2, 2}, QStringLiteral("=SUM(A1:A3)")},
        {{2, 3}, QStringLiteral("Line 1\r\nLine 2, \"quoted\"")},
        {{2, 4}, QStringLiteral("_x0041_")},
        {{2, 5}, QStringLiteral("https://example.com/?id=42")},
        {{4, 1}, QStringLiteral("=1+1")},
        {{4, 2}, QStringLiteral("00123")},
        {{4, 3}, QStringLiteral("2021-08-31")},
        {{4, 4}, QStringLiteral("TRUE")},
        {{4, 5}, QStringLiteral("a=b")},
    };
    QCOMPARE(sheet.cells, expected);
    QCOMPARE(sheet.types, QSet<QString> {QStringLiteral("s")});
    // Every column fitted to its longest text.
    QCOMPARE(sheet.widths.keys(),
        (QList<QString> {
            QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C"), QStringLiteral("D"), QStringLiteral("E")}));
    QVERIFY(sheet.widths.value(QStringLiteral("C")) >= QStringLiteral("Line 1\r\nLine 2, \"quoted\"").size());
    QVERIFY(sheet.widths.value(QStringLiteral("D")) < sheet.widths.value(QStringLiteral("C")));
}

void TestShownWorkbook::tooLongValueFailsItsCellOnly_data()
{
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("start"); // followed by "é" up to the length
    QTest::addColumn<int>("length");
    QTest::addColumn<int>("line"); // 0: no failure

    QTest::newRow("longest a cell holds") << 2 << QString() << 32767 << 0;
    QTest::newRow("one more, later column") << 2 << QString() << 32768 << 158;
    QTest::newRow("one more, first column") << 1 << QString() << 32768 << 154;
    // A literal escape is stored six characters longer.
    const QString escape = QStringLiteral("_x0041_");
    QTest::newRow("escaped, longest") << 2 << escape << 32767 - 6 << 0;
    QTest::newRow("escaped, at the limit") << 2 << escape << 32767 << 158;
    // Two escapes sharing an underscore.
    QTest::newRow("escaped twice, first column") << 1 << escape + QStringLiteral("x0042_") << 32767 - 11 << 154;
    QTest::newRow("look-alike, at the limit") << 2 << QStringLiteral("_x004G_") << 32767 << 0;
}

void TestShownWorkbook::tooLongValueFailsItsCellOnly()
{
    QFETCH(int, column);
    QFETCH(QString, start);
    QFETCH(int, length);
    QFETCH(int, line);

    Harness h;
    h.fill({QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C")},
        {{QStringLiteral("x"), QStringLiteral("name"), QStringLiteral("mail"), QStringLiteral("phone")}});
    const QString value = start + QString(length - start.size(), u'é');
    h.list.setCell(1, column, value);
    exportWorkbook(h.context, h.spreadsheets);

    if (line == 0) {
        QVERIFY2(h.shell.messages.isEmpty(), qPrintable(h.shell.texts().join(QLatin1Char('|'))));
    } else {
        QCOMPARE(h.shell.messages.size(), 1);
        const QString text = h.shell.messages.first().text;
        QVERIFY2(text.contains(QLatin1String("32,767")), qPrintable(text));
        QVERIFY2(text.contains(QStringLiteral("Form1.PushButton1_Click at line %1").arg(line)), qPrintable(text));
    }
    // The rest of the workbook is written either way.
    const Sheet sheet = readSheet(h.opened());
    QCOMPARE(sheet.cells.size(), line == 0 ? 6 : 5);
    QCOMPARE(sheet.cells.value({2, column}), line == 0 ? value : QString());
    QCOMPARE(sheet.cells.value({2, 3}), QStringLiteral("phone"));
}

void TestShownWorkbook::noSpreadsheetProgram_data()
{
    QTest::addColumn<QByteArray>("script"); // empty: no xdg-mime at all

    QTest::newRow("no default") << QByteArray("exit 0");
    QTest::newRow("query fails") << QByteArray("echo libreoffice-calc.desktop; exit 4");
    QTest::newRow("blank answer") << QByteArray("echo '  '");
    QTest::newRow("no xdg-mime") << QByteArray();
}

void TestShownWorkbook::noSpreadsheetProgram()
{
    QFETCH(QByteArray, script);
    if (script.isEmpty()) {
        QFile::remove(m_bin + QLatin1String("/xdg-mime"));
        qputenv("PATH", QFile::encodeName(m_bin));
    } else {
        writeScript(m_bin + QLatin1String("/xdg-mime"), script);
    }

    try {
        requireSpreadsheetApplication();
        QFAIL("the desktop has no spreadsheet program");
    } catch (const Failure &error) {
        QVERIFY2(error.description().contains(QLatin1String(".xlsx")), qPrintable(error.description()));
    }

    Harness h;
    h.fill({QStringLiteral("A")}, {{QStringLiteral("x"), QStringLiteral("name")}});
    exportWorkbook(h.context, h.spreadsheets);
    QCOMPARE(h.shell.texts(),
        (QStringList {QString::fromLatin1(kExcelMissingProbeMessage), QString::fromLatin1(kExcelMissingMessage)}));
    QVERIFY(h.shell.started.isEmpty());
    QVERIFY(temporaryEntries().isEmpty());
}

void TestShownWorkbook::writeFailureIsTold()
{
    // No folder can be made under a file.
    const QString blocker = m_temp + QLatin1String("/file");
    QFile file(blocker);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    qputenv("TMPDIR", QFile::encodeName(blocker));

    Harness h;
    h.fill({QStringLiteral("A")}, {{QStringLiteral("x"), QStringLiteral("name")}});
    exportWorkbook(h.context, h.spreadsheets);

    QCOMPARE(h.shell.messages.size(), 1);
    const MessageRequest &told = h.shell.messages.first();
    QVERIFY2(told.text.contains(QLatin1String("workbook")), qPrintable(told.text));
    QCOMPARE(told.icon, MessageIcon::Exclamation);
    QCOMPARE(told.caption, h.shell.applicationTitle());
    QVERIFY(h.shell.started.isEmpty());
    QCOMPARE(temporaryEntries(), QStringList {QStringLiteral("file")});
    QVERIFY(!h.busy.busy());
}

void TestShownWorkbook::openerFailureIsTold()
{
    Harness h;
    h.shell.startSucceeds = false;
    h.fill({QStringLiteral("A")}, {{QStringLiteral("x"), QStringLiteral("name")}});
    exportWorkbook(h.context, h.spreadsheets);

    QCOMPARE(h.shell.messages.size(), 1);
    const QString path = h.opened();
    QVERIFY(QFile::exists(path));
    QVERIFY2(h.shell.messages.first().text.contains(path), qPrintable(h.shell.messages.first().text));
}

void TestShownWorkbook::modelessFolderStillShows()
{
    refuseChmod = true;
    const bool refused = !QFile::setPermissions(m_temp, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    Harness h;
    h.fill({QStringLiteral("A")}, {{QStringLiteral("x"), QStringLiteral("name")}});
    exportWorkbook(h.context, h.spreadsheets);
    refuseChmod = false;

    QVERIFY2(refused, "chmod was not refused");
    QVERIFY2(h.shell.messages.isEmpty(), qPrintable(h.shell.texts().join(QLatin1Char('|'))));
    QCOMPARE(readSheet(h.opened()).cells.value({2, 1}), QStringLiteral("name"));
}

// A real file system that fills up while the workbook is written (a small
// one of its own, which only root may mount, in a mount namespace of this
// process).
void TestShownWorkbook::fullFolderIsToldAsFull()
{
    if (::unshare(CLONE_NEWNS) != 0 || ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
        QSKIP("a private mount namespace needs root");
    if (::mount("quarrelby-test", QFile::encodeName(m_temp).constData(), "tmpfs", 0, "size=64k") != 0)
        QSKIP("no small file system could be mounted");
    Harness h;
    QList<QStringList> rows;
    for (int r = 0; r < 4000; ++r)
        rows.append({QStringLiteral("x"), QString::number(quint64(r) * 0x9E3779B97F4A7C15ULL, 36)});
    h.fill({QStringLiteral("A")}, rows);
    exportWorkbook(h.context, h.spreadsheets);
    const QStringList entries = temporaryEntries();
    QVERIFY(::umount2(QFile::encodeName(m_temp).constData(), MNT_DETACH) == 0);

    QVERIFY(h.shell.started.isEmpty());
    QCOMPARE(h.shell.messages.size(), 1);
    QVERIFY2(h.shell.messages.first().text.endsWith(
                 QLatin1String("Book1.xlsx could not be written: No space left on device")),
        qPrintable(h.shell.messages.first().text));
    QCOMPARE(entries, QStringList {});
}

void TestShownWorkbook::rowsFilledOutOfOrder()
{
    ScriptedShell shell;
    {
        auto sheet = makeShownWorkbook(shell);
        sheet->setCell(1, 1, QStringLiteral("first"));
        sheet->setCell(1, 2, QStringLiteral("first, second cell"));
        sheet->setCell(3, 1, QStringLiteral("third"));
        sheet->setCell(5, 2, QStringLiteral("fifth"));
        QVERIFY_THROWS_EXCEPTION(Failure, sheet->setCell(2, 2, QStringLiteral("second, late")));
        QVERIFY_THROWS_EXCEPTION(Failure, sheet->setCell(1, 1, QStringLiteral("first, changed")));
        sheet->setCell(6, 1, QStringLiteral("sixth"));
        sheet->show();
    }
    QCOMPARE(shell.started.size(), 1);
    const QMap<std::pair<int, int>, QString> expected {
        {{1, 1}, QStringLiteral("first")},
        {{1, 2}, QStringLiteral("first, second cell")},
        {{3, 1}, QStringLiteral("third")},
        {{5, 2}, QStringLiteral("fifth")},
        {{6, 1}, QStringLiteral("sixth")},
    };
    const Sheet written = readSheet(shell.started.first().at(1));
    QCOMPARE(written.cells, expected);
    // The rows handed over early still count when the columns are fitted.
    QVERIFY(written.widths.value(QStringLiteral("B")) >= QStringLiteral("first, second cell").size());
    QVERIFY(written.widths.value(QStringLiteral("A")) < written.widths.value(QStringLiteral("B")));
    const QStringList folders = temporaryEntries();
    QCOMPARE(folders.size(), 1);
    QCOMPARE(QDir(m_temp + QLatin1Char('/') + folders.first()).entryList(QDir::Files),
        QStringList {QStringLiteral("Book1.xlsx")});
}

// Half a pair at the end of one cell must not join half a pair at the start
// of the next into one character of the second.
void TestShownWorkbook::loneSurrogatesStayInTheirCells()
{
    ScriptedShell shell;
    {
        auto sheet = makeShownWorkbook(shell);
        sheet->setCell(1, 1, QStringLiteral("a") + QChar(0xD83D));
        sheet->setCell(1, 2, QChar(0xDE00) + QStringLiteral("b"));
        sheet->show();
    }
    QCOMPARE(shell.started.size(), 1);
    const QMap<std::pair<int, int>, QString> expected {
        {{1, 1}, QStringLiteral("a\uFFFD")},
        {{1, 2}, QStringLiteral("\uFFFDb")},
    };
    QCOMPARE(readSheet(shell.started.first().at(1)).cells, expected);
}

// Releasing does no work: no sweep, no opener, no message, and nothing of
// the workbook stays.
void TestShownWorkbook::releasedUnshownLeavesNothing()
{
    ScriptedShell shell;
    {
        auto sheet = makeShownWorkbook(shell);
        for (int row = 1; row <= 300; ++row)
            sheet->setCell(row, 1, QStringLiteral("row %1").arg(row));
    }
    QVERIFY(shell.started.isEmpty());
    QVERIFY(shell.messages.isEmpty());
    QVERIFY(temporaryEntries().isEmpty());
}

void TestShownWorkbook::folderGoneWhileFilling()
{
    ScriptedShell shell;
    {
        auto sheet = makeShownWorkbook(shell);
        for (int row = 1; row <= 20; ++row)
            sheet->setCell(row, 1, QStringLiteral("row %1").arg(row));
        const QStringList folders = temporaryEntries();
        QCOMPARE(folders.size(), 1);
        // The writer may be making its scratch file in the folder just now.
        QTRY_VERIFY(QDir(m_temp + QLatin1Char('/') + folders.first()).removeRecursively());
        sheet->setCell(21, 1, QStringLiteral("row 21"));
        try {
            sheet->show();
            QFAIL("a workbook without its folder was shown");
        } catch (const Failure &error) {
            QVERIFY2(error.description().contains(QLatin1String("could not be written")),
                qPrintable(error.description()));
        }
    }
    QVERIFY(shell.started.isEmpty());
    QVERIFY(temporaryEntries().isEmpty());
}

void TestShownWorkbook::foldersRemovedOnceUnused()
{
    // Folders handed over by earlier exports, all an hour old unless said
    // otherwise; what the program wrote there (ours) read-only, as the
    // export leaves it, unless said otherwise; beside it files of the user's.
    const QDateTime hourAgo = QDateTime::currentDateTime().addSecs(-3600);
    const QString book = QStringLiteral("Book1.xlsx");
    QMap<QString, QString> labels; // folder name to what the test calls it
    auto folder = [&](const QString &label, const QStringList &ours, const QStringList &users = {}, bool old = true,
                      bool readOnly = true) {
        PrivateFolder made("workbook");
        const QString path = QFile::decodeName(made.path());
        labels[QFileInfo(path).fileName()] = label;
        for (const QString &file : ours) {
            QFile f(QFile::decodeName(made.file(QFile::encodeName(file))));
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("PK");
            f.close();
            if (readOnly)
                QVERIFY(f.setPermissions(QFileDevice::ReadOwner));
        }
        made.handOver();
        for (const QString &file : users) {
            QFile f(path + QLatin1Char('/') + file);
            QVERIFY(f.open(QIODevice::WriteOnly));
        }
        if (old) {
            for (const QString &file : QDir(path).entryList(QDir::Files | QDir::Hidden))
                setTime(path + QLatin1Char('/') + file, hourAgo);
            setTime(path, hourAgo);
        }
    };
    auto unmarked = [&](const QString &name, const QStringList &files) {
        const QString path = m_temp + QLatin1Char('/') + name;
        QVERIFY(QDir().mkpath(path));
        labels[name] = name;
        for (const QString &file : files) {
            QFile f(path + QLatin1Char('/') + file);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.close();
            if (file.endsWith(QLatin1String(".xlsx")))
                QVERIFY(f.setPermissions(QFileDevice::ReadOwner));
            setTime(f.fileName(), hourAgo);
        }
        setTime(path, hourAgo);
    };
    // The tree with each folder's name as the test calls it.
    auto tree = [&] {
        QStringList named;
        for (const QString &entry : temporaryTree()) {
            const QString top = entry.section(QLatin1Char('/'), 0, 0);
            named << labels.value(top, top) + entry.mid(top.size());
        }
        named.sort();
        return named;
    };
    folder(QStringLiteral("closed"), {book});
    folder(QStringLiteral("empty"), {});
    folder(QStringLiteral("locked"), {book}, {QStringLiteral(".~lock.Book1.xlsx#")});
    folder(QStringLiteral("recent"), {book}, {}, false);
    folder(QStringLiteral("opened"), {book});
    folder(QStringLiteral("worked"), {});
    // What the user keeps: a workbook saved beside ours or over it, a folder
    // of their own named alike with files named as ours are, and one in it.
    folder(QStringLiteral("saved1"), {book}, {QStringLiteral("Contacts.xlsx")});
    folder(QStringLiteral("saved2"), {book}, {}, true, false); // saved over ours
    unmarked(QStringLiteral("quarrelby-ab12cd"), {book, QStringLiteral("tmp.AbCdEfGhIj")});
    unmarked(QStringLiteral("quarrelby-nested/deeper"), {book});
    // Links: a folder of ours whose workbook is a link to a file elsewhere,
    // and a link named like our folders to a folder elsewhere.
    unmarked(QStringLiteral("elsewhere"), {book});
    folder(QStringLiteral("linked"), {});
    const QString linked = labels.key(QStringLiteral("linked"));
    QVERIFY(QFile::link(
        m_temp + QStringLiteral("/elsewhere/") + book, m_temp + QLatin1Char('/') + linked + QLatin1Char('/') + book));
    QVERIFY(QFile::link(m_temp + QStringLiteral("/elsewhere"), m_temp + QStringLiteral("/quarrelby-ln2dir")));
    labels[QStringLiteral("quarrelby-ln2dir")] = QStringLiteral("quarrelby-ln2dir");
    // A folder another process works in.
    QProcess worker;
    worker.setWorkingDirectory(m_temp + QLatin1Char('/') + labels.key(QStringLiteral("worked")));
    worker.start(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), QStringLiteral("echo ready; exec sleep 60")});
    QVERIFY(worker.waitForReadyRead(10000));
    // A program that holds the workbook open, as a spreadsheet program does.
    QProcess holder;
    holder.start(QStringLiteral("/bin/sh"),
        {QStringLiteral("-c"), QStringLiteral("exec 3<\"$1\"; echo ready; exec sleep 60"), QStringLiteral("sh"),
            m_temp + QLatin1Char('/') + labels.key(QStringLiteral("opened")) + QLatin1Char('/') + book});
    QVERIFY(holder.waitForReadyRead(10000));

    removeUnusedWorkbookFolders(QFile::encodeName(m_temp));
    for (QProcess *process : {&holder, &worker}) {
        process->kill();
        process->waitForFinished();
    }

    const QString marker = QStringLiteral("/.quarrelby-folder");
    QStringList expected {QStringLiteral("elsewhere/Book1.xlsx"), QStringLiteral("linked/Book1.xlsx"),
        QStringLiteral("linked") + marker, QStringLiteral("locked/.~lock.Book1.xlsx#"),
        QStringLiteral("locked/Book1.xlsx"), QStringLiteral("locked") + marker, QStringLiteral("opened/Book1.xlsx"),
        QStringLiteral("opened") + marker, QStringLiteral("quarrelby-ab12cd/Book1.xlsx"),
        QStringLiteral("quarrelby-ab12cd/tmp.AbCdEfGhIj"), QStringLiteral("quarrelby-ln2dir"),
        QStringLiteral("quarrelby-nested/deeper/Book1.xlsx"), QStringLiteral("recent/Book1.xlsx"),
        QStringLiteral("recent") + marker, QStringLiteral("saved1/Contacts.xlsx"), QStringLiteral("saved1") + marker,
        QStringLiteral("saved2/Book1.xlsx"), QStringLiteral("saved2") + marker, QStringLiteral("worked") + marker};
    expected.sort();
    QCOMPARE(tree().join(QLatin1Char(' ')), expected.join(QLatin1Char(' ')));

    // An export does the same before it opens its own workbook; the folders
    // kept above are no longer held or worked in.
    folder(QStringLiteral("closed"), {book});
    for (const QString &gone :
        {QStringLiteral("opened/Book1.xlsx"), QStringLiteral("opened") + marker, QStringLiteral("worked") + marker})
        expected.removeOne(gone);
    Harness h;
    h.fill({QStringLiteral("A")}, {{QStringLiteral("x"), QStringLiteral("name")}});
    exportWorkbook(h.context, h.spreadsheets);
    labels[QFileInfo(h.opened()).dir().dirName()] = QStringLiteral("shown");
    expected << QStringLiteral("shown/Book1.xlsx") << QStringLiteral("shown") + marker;
    expected.sort();
    QCOMPARE(tree(), expected);
}

QTEST_GUILESS_MAIN(TestShownWorkbook)
#include "tst_shownworkbook.moc"
