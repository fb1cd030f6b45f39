// The command line through the real executable (ProgramRun.h). Its files are compared with what the window writes for
// the same books: the list the window holds after the extraction (its start-up columns, one row per contact added by
// the extraction's own row builder, every row ticked) put through the encoders its save actions use.
#include "ProgramRun.h"
#include "ScriptedShell.h"
#include "core/ContactRows.h"
#include "core/FieldCatalogue.h"
#include "core/ResultList.h"
#include "core/TableEncoders.h"
#include "platform/Failure.h"
#include "platform/contacts/ContactStore.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <sqlite3.h>
#include <unistd.h>

#include <memory>

using namespace quarrelby;
using namespace quarrelby::test;

namespace {

const QString kSource = QStringLiteral(QUARRELBY_SOURCE_DIR);
const QString kSamples = kSource + QStringLiteral("/samples/contacts");

// The window's list after extracting the books, every row ticked.
std::unique_ptr<ResultList> windowList(const QStringList &books)
{
    auto list = std::make_unique<ResultList>();
    for (const ContactField &f : fieldCatalogue())
        list->addColumn(QString::fromLatin1(f.caption));
    std::vector<QByteArray> paths;
    for (const QString &book : books)
        paths.push_back(QFile::encodeName(book));
    ContactStore store(paths);
    const std::unique_ptr<ContactWalk> walk = store.open();
    Contact contact;
    while (true) {
        try {
            if (!walk->next(contact))
                break;
        } catch (const Failure &) {
            continue; // told by the window, not part of its list
        }
        if (!contact.distributionList)
            addContactRow(*list, contact);
    }
    list->setCheckedRange(0, list->itemCount() - 1, true);
    return list;
}

// What "Save Results As Text File" or "Save As Comma Delimited" writes.
QByteArray windowFile(const QString &format, const ResultList &list)
{
    test::ScriptedShell loop;
    QByteArray bytes;
    const ByteSink sink = [&](QByteArrayView block) { bytes += block; };
    if (format == QLatin1String("text"))
        encodeAlignedText(list, measureColumnWidths(list, loop, CountHeaders::Yes), loop, sink);
    else
        encodeCommaDelimited(list, loop, sink);
    return bytes;
}

// The cells of the workbook's sheet, read as a spreadsheet program reads
// them (an escaped character such as "_x000D_" decoded); non-text cells
// as "<type>:value".
const char kReader[] = R"(
import json, re, sys, openpyxl
ws = openpyxl.load_workbook(sys.argv[1]).active
unescape = lambda s: re.sub(r'_x([0-9A-Fa-f]{4})_', lambda m: chr(int(m.group(1), 16)), s)
json.dump([[c.row, c.column, unescape(c.value) if c.data_type == 's' else c.data_type + ':' + repr(c.value)]
           for row in ws.iter_rows() for c in row if c.value is not None], sys.stdout)
)";

QMap<std::pair<int, int>, QString> sheetCells(const QString &path)
{
    QProcess python;
    python.start(QStringLiteral("/usr/bin/python3"), {QStringLiteral("-c"), QString::fromLatin1(kReader), path});
    if (!python.waitForFinished(120000) || python.exitCode() != 0)
        qFatal("reading %s failed: %s", qPrintable(path), python.readAllStandardError().constData());
    QMap<std::pair<int, int>, QString> cells;
    for (const QJsonValue &cell : QJsonDocument::fromJson(python.readAllStandardOutput()).array()) {
        const QJsonArray c = cell.toArray();
        cells[{c[0].toInt(), c[1].toInt()}] = c[2].toString();
    }
    return cells;
}

// What tests/core/read_back.py, an independent reader, makes of a file.
QJsonObject readBack(const char *kind, const QString &path)
{
    QProcess python;
    python.start(QStringLiteral("/usr/bin/python3"),
        {kSource + QStringLiteral("/tests/core/read_back.py"), QLatin1String(kind), path});
    if (!python.waitForFinished(120000) || python.exitCode() != 0)
        qFatal("reading %s failed: %s", qPrintable(path), python.readAllStandardError().constData());
    return QJsonDocument::fromJson(python.readAllStandardOutput()).object().value(path).toObject();
}

} // namespace

class TestCli : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_home;
    QString m_generated;
    qint64 m_generatedSize = 0;

    // "@samples", "@generated", "@missing" and "@out/" in the test's
    // arguments stand for the books and the output folder.
    [[nodiscard]] QStringList expanded(const QStringList &arguments) const
    {
        QStringList result;
        for (QString argument : arguments) {
            argument.replace(QLatin1String("@samples"), kSamples);
            argument.replace(QLatin1String("@generated"), m_generated);
            argument.replace(QLatin1String("@missing"), m_dir.filePath(QStringLiteral("missing.vcf")));
            argument.replace(QLatin1String("@out/"), m_dir.filePath(QStringLiteral("out/")));
            result << argument;
        }
        return result;
    }

    // A fresh, empty output folder.
    [[nodiscard]] QString outFolder() const
    {
        QDir out(m_dir.filePath(QStringLiteral("out")));
        out.removeRecursively();
        QDir().mkpath(out.path());
        return out.path();
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        m_home = m_dir.filePath(QStringLiteral("empty-home"));
        QVERIFY(QDir().mkpath(m_home));
        m_generated = m_dir.filePath(QStringLiteral("generated.vcf"));
        writeFile(m_generated, generatedBook(9000));
        m_generatedSize = QFileInfo(m_generated).size();
    }

    // Text and comma-delimited output, to standard output or a file, are the
    // window's files byte for byte, also for a book larger than what is
    // written at a time; a book that cannot be read among good ones is told,
    // naming it, and the others are still written.
    void exportIsTheWindowsFile_data()
    {
        QTest::addColumn<QString>("format");
        QTest::addColumn<QStringList>("books");
        QTest::addColumn<bool>("toFile");
        QTest::addColumn<int>("status");
        const QStringList samples {QStringLiteral("@samples")};
        const QStringList generated {QStringLiteral("@generated")};
        const QStringList withMissing {
            QStringLiteral("@samples"), QStringLiteral("@missing"), QStringLiteral("@generated")};
        QTest::newRow("text, samples, standard output") << "text" << samples << false << 0;
        QTest::newRow("text, samples, file") << "text" << samples << true << 0;
        QTest::newRow("csv, samples, standard output") << "csv" << samples << false << 0;
        QTest::newRow("csv, samples, file") << "csv" << samples << true << 0;
        QTest::newRow("csv, large book, file") << "csv" << generated << true << 0;
        QTest::newRow("text, large book, standard output") << "text" << generated << false << 0;
        QTest::newRow("csv, a missing book among good ones") << "csv" << withMissing << true << 1;
        QTest::newRow("text, a missing book among good ones") << "text" << withMissing << false << 1;
    }

    void exportIsTheWindowsFile()
    {
        QFETCH(QString, format);
        QFETCH(QStringList, books);
        QFETCH(bool, toFile);
        QFETCH(int, status);
        const QString out = outFolder();
        QStringList arguments {QStringLiteral("--export"), format};
        for (const QString &book : books)
            arguments << QStringLiteral("--book") << book;
        const QString path = out + QStringLiteral("/contacts.") + format;
        if (toFile)
            arguments << QStringLiteral("--output") << path;
        const Run run = runProgram(expanded(arguments), m_home);

        QCOMPARE(run.status, status);
        const QByteArray written = toFile ? readFile(path) : run.out;
        const QByteArray expected = windowFile(format, *windowList(expanded(books)));
        QVERIFY(expected.count("\r\n") > 20);
        QCOMPARE(written.size(), expected.size());
        QVERIFY(written == expected);
        if (toFile) {
            QVERIFY(run.out.isEmpty());
            // Nothing of the save is left beside the file.
            QCOMPARE(QDir(out).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                QStringList {QFileInfo(path).fileName()});
        }
        const QByteArray missing = QFile::encodeName(expanded({QStringLiteral("@missing")}).first());
        if (status == 0)
            QCOMPARE(withoutTableWarning(run.err), QByteArray());
        else
            QVERIFY2(run.err.startsWith("quarrelby: ") && run.err.contains(missing), run.err.constData());
    }

    // The workbook holds the window's cells, every one a text cell; it
    // replaces the file that was there, through a file of its own that is
    // gone afterwards. A value too long for a cell is told and its cell
    // left empty, as the window does; the rest is written.
    void workbookHasTheWindowsCells_data()
    {
        QTest::addColumn<QString>("book");
        QTest::addColumn<int>("status");
        QTest::newRow("samples") << "@samples" << 0;
        QTest::newRow("large book") << "@generated" << 0;
        const QString longNote = m_dir.filePath(QStringLiteral("long-note.vcf"));
        writeFile(longNote,
            generatedBook(3) + "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Long\r\nNOTE:" + QByteArray(40000, 'x')
                + "\r\nEMAIL:long@example.org\r\nEND:VCARD\r\n");
        QTest::newRow("a note too long for a cell") << longNote << 1;
    }

    void workbookHasTheWindowsCells()
    {
        QFETCH(QString, book);
        QFETCH(int, status);
        const QString path = outFolder() + QStringLiteral("/contacts.xlsx");
        writeFile(path, "the old file");
        const Run run = runProgram(expanded({QStringLiteral("--export"), QStringLiteral("xlsx"), QStringLiteral("-b"),
                                       book, QStringLiteral("-o"), path}),
            m_home);
        QCOMPARE(run.status, status);
        QVERIFY2(
            status == 0 ? withoutTableWarning(run.err).isEmpty() : run.err.contains("32,767"), run.err.constData());
        QCOMPARE(QFileInfo(path).dir().entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
            QStringList {QStringLiteral("contacts.xlsx")});

        const std::unique_ptr<ResultList> list = windowList(expanded({book}));
        QMap<std::pair<int, int>, QString> expected;
        for (int c = 0; c < list->headerCount(); ++c) {
            expected[{1, c + 1}] = list->columnText(c);
            for (int r = 0; r < list->itemCount(); ++r) {
                if (!list->cellView(r, c).isEmpty() && list->cellView(r, c).size() <= 32767)
                    expected[{r + 2, c + 1}] = list->cell(r, c);
            }
        }
        QVERIFY(QFileInfo::exists(path));
        const QMap<std::pair<int, int>, QString> cells = sheetCells(path);
        QCOMPARE(cells.size(), expected.size());
        QVERIFY(cells == expected);
    }

    // The books a home holds, in the order the window reads them: each kind
    // in its place, with its number of contacts (lists not counted).
    void booksOfAHome()
    {
        const QString home = m_dir.filePath(QStringLiteral("home"));
        const QString eds = home + QStringLiteral("/.local/share/evolution/addressbook/system/contacts.db");
        writeFile(eds, readFile(kSource + QStringLiteral("/tests/data/eds/contacts.db")));
        writeFile(home + QStringLiteral("/.thunderbird/profiles.ini"), "[Profile0]\nIsRelative=1\nPath=p\nDefault=1\n");
        const QString thunderbird = home + QStringLiteral("/.thunderbird/p/abook.sqlite");
        QVERIFY(QDir().mkpath(QFileInfo(thunderbird).absolutePath()));
        sqlite3 *db = nullptr;
        QCOMPARE(sqlite3_open(QFile::encodeName(thunderbird).constData(), &db), SQLITE_OK);
        const QByteArray sql = readFile(kSource + QStringLiteral("/tests/data/thunderbird/abook.sql"));
        QCOMPARE(sqlite3_exec(db, sql.constData(), nullptr, nullptr, nullptr), SQLITE_OK);
        sqlite3_close(db);
        const QString cards = home + QStringLiteral("/.local/share/contacts");
        writeFile(cards + QStringLiteral("/a.vcf"), generatedBook(4));
        writeFile(cards + QStringLiteral("/family/b.vcf"), generatedBook(2));
        // Read only when no other book holds a contact.
        writeFile(home + QStringLiteral("/Documents/old.pst"), "!BDN");

        const Run run = runProgram({QStringLiteral("--books")}, home);
        QCOMPARE(run.err, QByteArray());
        QCOMPARE(run.status, 0);
        const QString expected = QStringLiteral("evolution\t2\t%1\nthunderbird\t3\t%2\nvcard-folder\t4\t%3\n")
                                     .arg(eds, thunderbird, cards);
        QCOMPARE(QString::fromUtf8(run.out), expected);
    }

    // A file name is the bytes the user gave, UTF-8 or not: a book named in
    // Latin-1 is read, and an output so named is made under that name.
    void fileNamesAreBytes()
    {
        const QByteArray folder = QFile::encodeName(outFolder());
        // QFile takes names as UTF-8: these are made and read through the system.
        const QByteArray card = readFile(kSamples + QStringLiteral("/01-anna-lindqvist.vcf"));
        const int fd = ::open((folder
                                  + "/Adressb\xfc"
                                    "cher.vcf")
                                  .constData(),
            O_WRONLY | O_CREAT, 0600);
        QVERIFY(fd >= 0 && ::write(fd, card.constData(), size_t(card.size())) == card.size());
        ::close(fd);
        QProcess process;
        process.setProcessEnvironment(programEnvironment(m_home));
        process.start(QStringLiteral("/bin/sh"),
            {QStringLiteral("-c"),
                QStringLiteral("exec \"$0\" --export csv -b \"$1/$(printf 'Adressb\\374cher.vcf')\" -o \"$1/$(printf "
                               "'\\344.csv')\""),
                programPath(), QFile::decodeName(folder)});
        QVERIFY(process.waitForFinished(60000));
        QCOMPARE(withoutTableWarning(process.readAllStandardError()), QByteArray());
        QCOMPARE(process.exitCode(), 0);
        char written[64] = {};
        const int out = ::open((folder + "/\xe4.csv").constData(), O_RDONLY);
        QVERIFY(out >= 0 && ::read(out, written, sizeof written - 1) > 0);
        ::close(out);
        QVERIFY(QByteArray(written).startsWith("Fullname,"));
    }

    // With no arguments but Qt's own, the window starts, as a session
    // manager restoring it expects; with no display at all it says so in a
    // line.
    void windowStart_data()
    {
        QTest::addColumn<QString>("arguments");
        QTest::addColumn<bool>("display");
        QTest::newRow("no display") << QString() << false;
        QTest::newRow("-platform offscreen") << "-platform offscreen" << true;
        QTest::newRow("restored by a session manager")
            << "-platform offscreen -session 10a1b2c3_42 -style Fusion --qwindowgeometry +10+10" << true;
    }

    void windowStart()
    {
        QFETCH(QString, arguments);
        QFETCH(bool, display);
        QProcess process;
        QProcessEnvironment env = programEnvironment(m_home);
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_dir.path());
        process.setProcessEnvironment(env);
        process.start(programPath(), arguments.split(QLatin1Char(' '), Qt::SkipEmptyParts));
        if (display) {
            // Up with its start-up message, which waits for an answer.
            QVERIFY(!process.waitForFinished(1500));
            process.kill();
            QVERIFY(process.waitForFinished());
            QVERIFY(!process.readAllStandardError().contains("Unknown option"));
            return;
        }
        QVERIFY(process.waitForFinished(60000));
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(process.exitCode(), 1);
        QCOMPARE(process.readAllStandardError(),
            QByteArray("quarrelby: no display was found for the window; quarrelby --books and quarrelby --export work "
                       "without one.\n"));
    }

    // Every contact whole, once, in the table's order, as an independent
    // reader reads the file back: cards of each vCard version, a card past
    // the table's columns, a UID a later book lists again (left out), a
    // distribution list (not in vCard 3.0), a Thunderbird book with a card
    // of old versions and a mailing list. What an output had no room for is
    // told, counted, and only then.
    void wholeExports_data()
    {
        QTest::addColumn<QString>("format");
        QTest::addColumn<QStringList>("books");
        QTest::addColumn<int>("records"); // cards, or rows below the header
        QTest::addColumn<QString>("has"); // a value some card or row holds
        QTest::addColumn<QString>("err");
        const QString mixed = m_dir.filePath(QStringLiteral("mixed"));
        writeFile(mixed + QStringLiteral("/1.vcf"),
            "BEGIN:VCARD\r\nVERSION:2.1\r\nN:Five;Mails\r\nFN:Mails Five\r\nEMAIL;INTERNET:m1@x.example\r\n"
            "EMAIL;INTERNET:m2@x.example\r\nEMAIL;INTERNET:m3@x.example\r\nEMAIL;INTERNET:m4@x.example\r\n"
            "EMAIL;INTERNET:m5@x.example\r\nNOTE;ENCODING=QUOTED-PRINTABLE;CHARSET=UTF-8:Caf=C3=A9 =\r\nau lait\r\n"
            "END:VCARD\r\n");
        writeFile(mixed + QStringLiteral("/2.vcf"),
            "BEGIN:VCARD\r\nVERSION:3.0\r\nUID:twin-1\r\nFN:Twin One\r\nNICKNAME:Twinny\r\nEND:VCARD\r\n");
        writeFile(mixed + QStringLiteral("/3.vcf"),
            "BEGIN:VCARD\r\nVERSION:4.0\r\nFN:Four Zero\r\nX-CUSTOM:kept\r\nEND:VCARD\r\n"
            "BEGIN:VCARD\r\nVERSION:4.0\r\nKIND:group\r\nFN:Team\r\nMEMBER:urn:uuid:twin-1\r\nEND:VCARD\r\n");
        const QString again = m_dir.filePath(QStringLiteral("again.vcf"));
        writeFile(again, "BEGIN:VCARD\r\nVERSION:3.0\r\nUID:twin-1\r\nFN:Twin Again\r\nEND:VCARD\r\n");
        const QString plain = m_dir.filePath(QStringLiteral("plain.vcf"));
        writeFile(plain, "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Plain\r\nEMAIL:plain@x.example\r\nEND:VCARD\r\n");
        const QString thunderbird = m_dir.filePath(QStringLiteral("abook.sqlite"));
        sqlite3 *db = nullptr;
        QCOMPARE(sqlite3_open(QFile::encodeName(thunderbird).constData(), &db), SQLITE_OK);
        const QByteArray sql = readFile(kSource + QStringLiteral("/tests/data/thunderbird/abook.sql"));
        QCOMPARE(sqlite3_exec(db, sql.constData(), nullptr, nullptr, nullptr), SQLITE_OK);
        sqlite3_close(db);

        const QStringList books {mixed, again};
        const QString lists = QStringLiteral("; --export vcard4 keeps every field and list");
        QTest::newRow("vcard") << "vcard" << books << 3 << "m5@x.example"
                               << "1 distribution list is not in the vCard 3.0 file" + lists;
        QTest::newRow("vcard4") << "vcard4" << books << 4 << "Café au lait" << QString();
        QTest::newRow("outlook-csv") << "outlook-csv" << books << 3 << "Twin One"
                                     << "2 e-mail addresses past the third, 1 nickname, 1 distribution list and 1 "
                                        "other field are not in the Outlook CSV file"
                + lists;
        QTest::newRow("google-csv") << "google-csv" << books << 3 << "m5@x.example"
                                    << "1 distribution list and 1 other field are not in the Google CSV file" + lists;
        QTest::newRow("csv") << "csv" << books << 3 << "Twin One"
                             << "2 e-mail addresses past the third, 1 nickname, 1 distribution list and 1 other "
                                "field are not in the table"
                + lists;
        QTest::newRow("csv, nothing left out") << "csv" << QStringList {plain} << 1 << "plain@x.example" << QString();
        QTest::newRow("vcard, nothing left out")
            << "vcard" << QStringList {plain} << 1 << "plain@x.example" << QString();
        QTest::newRow("vcard4, Thunderbird")
            << "vcard4" << QStringList {thunderbird} << 4 << "Grete Legacy" << QString();
        QTest::newRow("vcard, samples") << "vcard" << QStringList {kSamples} << 23 << "Nordvik Kemi AB;Research"
                                        << "2 distribution lists are not in the vCard 3.0 file" + lists;
        QTest::newRow("vcard4, samples") << "vcard4" << QStringList {kSamples} << 25 << "Nordvik Kemi AB;Research"
                                         << QString();
        QTest::newRow("outlook-csv, samples")
            << "outlook-csv" << QStringList {kSamples} << 23 << "Research"
            << "1 e-mail address past the third, 1 telephone number with no column of its kind left, 6 IM "
               "addresses, 2 web pages past the first, 1 photo, 2 distribution lists and 3 other fields are not in "
               "the Outlook CSV file"
                + lists;
        QTest::newRow("google-csv, samples")
            << "google-csv" << QStringList {kSamples} << 23 << "Research"
            << "1 photo, 2 distribution lists and 1 other field are not in the Google CSV file" + lists;
    }

    void wholeExports()
    {
        QFETCH(QString, format);
        QFETCH(QStringList, books);
        QFETCH(int, records);
        QFETCH(QString, has);
        QFETCH(QString, err);
        const QString path = outFolder() + QStringLiteral("/out");
        QStringList arguments {QStringLiteral("--export"), format, QStringLiteral("-o"), path};
        for (const QString &book : books)
            arguments << QStringLiteral("-b") << book;
        const Run run = runProgram(arguments, m_home);
        QCOMPARE(run.status, 0);
        QCOMPARE(QString::fromUtf8(run.err), err.isEmpty() ? err : QStringLiteral("quarrelby: ") + err + '\n');

        const bool vcard = format.startsWith(QLatin1String("vcard"));
        const QJsonObject read = readBack(vcard ? "vcard" : "csv", path);
        QStringList values;
        if (vcard) {
            QCOMPARE(read.value("error").toString(), QString());
            const QJsonArray cards = read.value("cards").toArray();
            QCOMPARE(cards.size(), records);
            for (const QJsonValue &card : cards) {
                for (const QJsonValue &property : card.toArray())
                    values << property.toObject().value("value").toString();
            }
        } else {
            const QJsonArray rows = read.value("records").toArray();
            QCOMPARE(rows.size(), records + 1);
            // The table's header is one field longer than its rows.
            const qsizetype header = rows.first().toArray().size() - (format == QLatin1String("csv") ? 1 : 0);
            for (qsizetype i = 0; i < rows.size(); ++i) {
                const QJsonArray row = rows[i].toArray();
                if (i > 0)
                    QCOMPARE(row.size(), header);
                for (const QJsonValue &field : row)
                    values << field.toString();
            }
        }
        QVERIFY2(values.contains(has), qPrintable(values.join(QLatin1Char('|'))));
        QVERIFY(!values.contains(QStringLiteral("Twin Again")));
        QCOMPARE(values.count(QStringLiteral("twin-1")), vcard && books.size() > 1 ? 1 : 0);
    }

    // Each exit status, and what goes where: usage errors write nothing on
    // standard output; every message names the file it is about. A book
    // that cannot be read is listed with the reason, not told again.
    void exitStatus_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("out"); // standard output starts so
        QTest::addColumn<QString>("err"); // standard error holds this
        const QString version = QStringLiteral("quarrelby " QUARRELBY_VERSION "\n");
        auto row = [](const char *name, const char *arguments, int status, const QString &out, const QString &err) {
            QTest::newRow(name) << QString::fromLatin1(arguments).split(QLatin1Char(' ')) << status << out << err;
        };
        row("help", "--help", 0, QStringLiteral("Usage: "), {});
        row("version", "--version", 0, version, {});
        row("version, short", "-v", 0, version, {});
        row("csv of a book", "--export csv -b @samples", 0, QStringLiteral("Fullname,Birthday,"),
            QStringLiteral(" are not in the table; --export vcard4 keeps every field and list"));
        row("unknown option", "--bogus", 2, {}, QStringLiteral("bogus"));
        row("no format", "--export", 2, {}, QStringLiteral("--export"));
        row("unknown format", "--export pdf", 2, {},
            QStringLiteral("Unknown format \"pdf\": use text, csv, xlsx, vcard, vcard4, outlook-csv or google-csv."));
        row("vcard over the book it reads", "--export vcard -b @generated -o @generated", 1, {},
            QStringLiteral("the contacts are not written over it"));
        row("xlsx without output", "--export xlsx -b @samples", 2, {}, QStringLiteral("--output"));
        row("xlsx to standard output", "--export xlsx -b @samples -o -", 2, {}, QStringLiteral("--output"));
        row("books and export", "--books --export csv", 2, {}, QStringLiteral("--books"));
        row("nothing to do", "-o @out/x.csv", 2, {}, QStringLiteral("--export"));
        row("stray argument", "--export csv stray", 2, {}, QStringLiteral("stray"));
        row("no book at all", "--books", 1, {}, QStringLiteral(".local/share/contacts"));
        row("only a missing book", "--export csv -b @missing", 1, {},
            QStringLiteral("None of the address books named by --book exists:\n")
                + QFile::decodeName(QFile::encodeName(expanded({QStringLiteral("@missing")}).first())));
        row("help with Qt's options", "--help-all", 0, QStringLiteral("Usage: "), {});
        row("a file of the system", "--export csv -b @samples -o /proc/version", 1, {},
            QStringLiteral("Cannot write /proc/version: "));
        row("books, one missing", "--books -b @samples -b @missing", 1,
            QStringLiteral("vcard-folder\t23\t") + kSamples + QStringLiteral("\nvcard\t-\t"), {});
        row("text into no folder", "--export text -b @samples -o @out/no/x.txt", 1, {}, QStringLiteral("no/x.txt"));
        row("over the book it reads", "--export text -b @samples -b @generated -o @generated", 1, {},
            QStringLiteral("generated.vcf"));
        row("xlsx into no folder", "--export xlsx -b @samples -o @out/no/x.xlsx", 1, {}, QStringLiteral("no/x.xlsx"));
    }

    void exitStatus()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, status);
        QFETCH(QString, out);
        QFETCH(QString, err);
        const QString folder = outFolder();
        const Run run = runProgram(expanded(arguments), m_home);
        QCOMPARE(run.status, status);
        QVERIFY2(
            run.out.startsWith(out.toUtf8()) && (!out.isEmpty() || run.out.isEmpty()), run.out.left(200).constData());
        QVERIFY2(
            err.isEmpty() ? run.err.isEmpty() : run.err.startsWith("quarrelby: ") && run.err.contains(err.toUtf8()),
            run.err.constData());
        QCOMPARE(QFileInfo(m_generated).size(), m_generatedSize);
        // A failed or refused export leaves nothing behind.
        if (status != 0)
            QCOMPARE(QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), QStringList());
    }
};

QTEST_GUILESS_MAIN(TestCli)
#include "tst_cli.moc"
