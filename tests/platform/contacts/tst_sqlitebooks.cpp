// Evolution and Thunderbird address books: EDS books written by EDS's own
// library (tests/data/eds), Thunderbird books built from its schema
// (tests/data/thunderbird/abook.sql), read through the real sources.

#include "ContactFields.h"
#include "format/Contact.h"
#include "format/vcard/VCardContact.h"
#include "platform/Failure.h"
#include "platform/contacts/BookKinds.h"
#include "platform/contacts/ContactStore.h"
#include "platform/contacts/ReadAhead.h"
#include "platform/contacts/SqliteConnection.h"

#include <QCoreApplication>
#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QProcess>
#include <QScopeGuard>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <sqlite3.h>

#include <cstdio>
#include <functional>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

using namespace quarrelby;

namespace {

const QString kData = QStringLiteral(QUARRELBY_SOURCE_DIR "/tests/data");

using Opener = std::unique_ptr<ReadAhead> (*)(const QByteArray &);

std::unique_ptr<ReadAhead> openEdsBook(const QByteArray &path)
{
    return std::make_unique<ReadAhead>(openBook({BookKind::Eds, path}), path);
}

std::unique_ptr<ReadAhead> openThunderbirdBook(const QByteArray &path)
{
    return std::make_unique<ReadAhead>(openBook({BookKind::Thunderbird, path}), path);
}

bool isEdsBook(const QByteArray &path)
{
    return recogniseBook({BookKind::Unknown, path}) == BookKind::Eds;
}

bool isThunderbirdBook(const QByteArray &path)
{
    return recogniseBook({BookKind::Unknown, path}) == BookKind::Thunderbird;
}

QByteArray local(const QString &path)
{
    return QFile::encodeName(path);
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(bytes), bytes.size());
}

// A connection of another program (EDS, Thunderbird) to the same book.
class Writer {
public:
    explicit Writer(const QString &path)
    {
        if (sqlite3_open_v2(local(path).constData(), &m_db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr)
            != SQLITE_OK)
            qFatal("cannot open %s", qPrintable(path));
    }
    ~Writer() { sqlite3_close(m_db); }
    Writer(const Writer &) = delete;
    Writer &operator=(const Writer &) = delete;

    void run(const QByteArray &sql)
    {
        char *message = nullptr;
        if (sqlite3_exec(m_db, sql.constData(), nullptr, nullptr, &message) != SQLITE_OK)
            qFatal("%s: %s", sql.left(60).constData(), message);
    }

private:
    sqlite3 *m_db = nullptr;
};

// abook.sql made into a database at path, as Thunderbird leaves it at rest
// (write-ahead-log mode, no -wal or -shm once it has closed).
void makeThunderbirdBook(const QString &path)
{
    Writer(path).run(readFile(kData + QStringLiteral("/thunderbird/abook.sql")));
}

// Every file of the folder with its bytes and modification time, SQLite's
// -wal and -shm files included: a reader never opens them.
QMap<QString, QByteArray> snapshot(const QString &folder)
{
    QMap<QString, QByteArray> files;
    const QDir dir(folder);
    for (const QString &name : dir.entryList(QDir::Files | QDir::Hidden | QDir::System)) {
        struct stat info { };
        ::stat(QFile::encodeName(dir.filePath(name)).constData(), &info);
        files.insert(name,
            readFile(dir.filePath(name)) + '@' + QByteArray::number(qint64(info.st_mtim.tv_sec)) + '.'
                + QByteArray::number(qint64(info.st_mtim.tv_nsec)));
    }
    return files;
}

// Another program holding a book open (tests/data/thunderbird/hold_book.py)
// until it is killed, which leaves the book as a crash would.
class Holder {
public:
    Holder(const QString &book, const char *vfs, const QByteArray &sql, bool churn = false)
    {
        QStringList arguments {kData + QStringLiteral("/thunderbird/hold_book.py"), book, QString::fromLatin1(vfs),
            QString::fromUtf8(sql)};
        if (churn)
            arguments << QStringLiteral("churn");
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start(QStringLiteral("python3"), arguments);
        m_ready = m_process.waitForStarted() && m_process.waitForReadyRead(20000)
            && m_process.readLine().startsWith("ready");
    }
    ~Holder() { kill(); }
    Holder(const Holder &) = delete;
    Holder &operator=(const Holder &) = delete;

    [[nodiscard]] bool ready() const { return m_ready; }
    void kill()
    {
        m_process.kill();
        m_process.waitForFinished();
    }

private:
    QProcess m_process;
    bool m_ready = false;
};

bool havePython()
{
    return !QStandardPaths::findExecutable(QStringLiteral("python3")).isEmpty();
}

// What Thunderbird does to abook.sql's book in the tests: a card deleted, one
// renamed, one added.
const QByteArray kEdits = "DELETE FROM properties WHERE card = '9a8b7c6d-0003-4000-8000-plain';"
                          "UPDATE properties SET value = 'Grete Renamed' WHERE name = 'DisplayName'"
                          " AND card = '1b2d3e4f-0002-4000-8000-legacy';"
                          "INSERT INTO properties VALUES ('new-card', 'DisplayName', 'New Card');";

QStringList thunderbirdContents(bool edited)
{
    QStringList lines {QString::fromUtf8("tb-vcard-richest Søren Kierkegaard-Ødegård")};
    if (edited)
        return lines << "1b2d3e4f-0002-4000-8000-legacy Grete Renamed"
                     << "new-card New Card";
    return lines << "1b2d3e4f-0002-4000-8000-legacy Grete Legacy"
                 << "9a8b7c6d-0003-4000-8000-plain Plain Card";
}

// A log left beside a book in rollback-journal mode, with no frame in it
// (SQLite passes over an empty one).
const QByteArray kStrayLog(32, '\0');

const QStringList kEdsContents {QString::fromUtf8("eds-local-richest Dr. José Maria Müller-Łukasz Jr."),
    "eds-local-plain Ann Plain", "eds-local-list (list) Friends"};

std::vector<Contact> readAll(ReadAhead &source)
{
    std::vector<Contact> contacts;
    Contact contact;
    while (source.next(contact))
        contacts.push_back(std::move(contact));
    return contacts;
}

// uid, list mark and full name of each contact, in order.
QStringList summary(const std::vector<Contact> &contacts)
{
    QStringList lines;
    for (const Contact &c : contacts) {
        lines << QString::fromStdString(c.uid) + (c.distributionList ? QStringLiteral(" (list) ") : QStringLiteral(" "))
                + c.text(FullName);
    }
    return lines;
}

// The error a source ends with, or an empty text when it ends normally.
QString failureOf(ReadAhead &source, int *contactsBefore = nullptr)
{
    Contact contact;
    int count = 0;
    try {
        while (source.next(contact))
            ++count;
    } catch (const Failure &error) {
        if (contactsBefore)
            *contactsBefore = count;
        // The source has moved past the book.
        if (source.next(contact))
            return QStringLiteral("contacts after the failure");
        return error.description();
    }
    return {};
}

QString source(const QString &kind, const QString &folder)
{
    if (kind.startsWith(QLatin1String("thunderbird"))) {
        const QString path = folder + QStringLiteral("/abook.sqlite");
        if (kind == QLatin1String("thunderbird-v1"))
            Writer(path).run(readFile(kData + QStringLiteral("/thunderbird/abook-v1.sql")));
        else
            makeThunderbirdBook(path);
        return path;
    }
    const QString name
        = kind == QLatin1String("eds-cache") ? QStringLiteral("cache.db") : QStringLiteral("contacts.db");
    const QString path = folder + QLatin1Char('/') + name;
    QByteArray bytes = readFile(kData + QStringLiteral("/eds/") + name);
    // A header whose version for reading alone asks for the write-ahead log.
    if (kind == QLatin1String("eds-wal-to-read"))
        bytes[19] = 2;
    writeFile(path, bytes);
    return path;
}

Opener openerFor(const QString &kind)
{
    return kind.startsWith(QLatin1String("thunderbird")) ? &openThunderbirdBook : &openEdsBook;
}

} // namespace

class TestSqliteBooks : public QObject {
    Q_OBJECT

private slots:
    // The richest contact of each kind of book: every property.
    void richestContact_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("uid");
        QTest::addColumn<QDate>("birthday");
        QTest::addColumn<QStringList>("expected"); // every property but Birthday, in order

        const auto s = [](const char *utf8) { return QString::fromUtf8(utf8); };
        const auto eds = [&](const char *given, const char *family, const char *n) {
            const QString tag = s(n);
            return QStringList {s("Dr. %1 Maria %2 Jr.").arg(s(given), s(family)), s("Head of Lübeck Office"),
                s("Ærø Shipping, Ltd."), s("%1, %2").arg(s(family), s(given)), s("first%1@example.org").arg(tag),
                s("second%1@example.org").arg(tag), s("third%1@example.org").arg(tag), s("https://example.org/~jose"),
                s("jose%1@jabber.example.org").arg(tag), s("+1 555 0100"), s("Zoë Assistant"), s("+1 555 0101"),
                s("+1 555 0102"), s("+1 555 0103"), s("+1 555 0104"), s("+1 555 0105"), s("+1 555 0106"),
                s("+1 555 0107"), s("+1 555 0108"), s("+1 555 0109"), s("+1 555 0110"), s("+1 555 0111"),
                s("+1 555 0112"), s("+1 555 0113"), s("+1 555 0114"), s("+1 555 0115"), s("+1 555 0116"),
                s("+1 555 0117"), s("+1 555 0118"),
                s("Suite 5\r\n12 Harbour Road\r\nBuilding C\r\nAustin, TX  78701\r\nUSA"),
                s("Storgatan 1\r\nStockholm  111 22\r\nSweden"), s("Rue de l'Église 3\r\nF-75001 Paris\r\nFrance"),
                s("Met at the \"Harbour\" fair, 2019;\r\nlikes tea, not coffee.\\done")};
        };
        QTest::newRow("EDS local book") << "eds"
                                        << "eds-local-richest" << QDate(1975, 3, 15)
                                        << eds("José", "Müller-Łukasz", "");
        QTest::newRow("EDS cache") << "eds-cache"
                                   << "eds-cache-richest" << QDate(1975, 3, 15) << eds("Ingrid", "Åström", "-cache");

        QStringList tb {s("Søren Kierkegaard-Ødegård"), s("Chief Philosopher"), s("Øresund Tænketank, A/S"),
            s("Kierkegaard-Ødegård, Søren"), s("soren@example.dk"), s("soren.work@example.dk"),
            s("soren.home@example.dk"), s("https://tank.example.dk/soren"), s("soren@chat.example.dk"),
            s("+45 1000 0001"), s("Regine Olsen")};
        for (int n = 2; n <= 19; ++n)
            tb << s("+45 1000 %1").arg(n, 4, 10, QLatin1Char('0'));
        tb << s("3rd floor\r\nNytorv 2\r\nBack entrance\r\nKøbenhavn K  1450\r\nDanmark")
           << s("Strøget 7\r\nAarhus, Midtjylland  8000\r\nDanmark") << s("Hovedgaden 1\r\nOdense  5000")
           << s("Either/or, \"both\"; see notes\r\nsecond line");
        QTest::newRow("Thunderbird vCard card") << "thunderbird"
                                                << "tb-vcard-richest" << QDate(1980, 2, 29) << tb;

        // Only what a card of old Thunderbird can hold; the rest stays empty.
        QStringList legacy(kContactPropertyCount - 1);
        const auto set = [&](ContactProperty p, const char *value) { legacy[p > Birthday ? p - 1 : p] = s(value); };
        set(FullName, "Grete Legacy");
        set(JobTitle, "Archivist");
        set(CompanyName, "Müller; Söhne, GmbH");
        set(FileAs, "Lægacy, Grete");
        set(Email1Address, "grete@example.de");
        set(Email2Address, "grete.private@example.de");
        set(WebPage, "https://archive.example.de");
        set(IMAddress, "grete@jabber.example.de");
        set(BusinessTelephoneNumber, "+49 30 1111");
        set(HomeTelephoneNumber, "+49 30 2222");
        set(OtherFaxNumber, "+49 30 3333");
        set(PagerNumber, "+49 30 4444");
        set(MobileTelephoneNumber, "+49 170 5555");
        set(BusinessAddress, "Friedrichstraße 10\r\nHinterhaus\r\nBerlin, BE  10117\r\nGermany");
        set(HomeAddress, "Am Markt 1\r\nPotsdam  14467\r\nGermany");
        set(Body, "Keeps the \"old\" files;\r\nask first, then\\ copy.");
        QTest::newRow("Thunderbird legacy card") << "thunderbird"
                                                 << "1b2d3e4f-0002-4000-8000-legacy" << QDate(1962, 7, 4) << legacy;
    }

    void richestContact()
    {
        QFETCH(QString, kind);
        QFETCH(QString, uid);
        QFETCH(QDate, birthday);
        QFETCH(QStringList, expected);
        QTemporaryDir dir;
        const QString path = source(kind, dir.path());
        const std::vector<Contact> contacts = readAll(*openerFor(kind)(local(path)));
        const auto found = std::find_if(
            contacts.begin(), contacts.end(), [&](const Contact &c) { return c.uid == uid.toStdString(); });
        QVERIFY(found != contacts.end());
        QCOMPARE(found->value(Birthday).toDate(), birthday);
        QStringList actual;
        for (int p = 0; p < kContactPropertyCount; ++p) {
            if (p != Birthday)
                actual << found->text(p);
        }
        for (int i = 0; i < actual.size(); ++i) {
            const int p = i < Birthday ? i : i + 1;
            QCOMPARE(contactPropertyName(p) + QLatin1Char('=') + actual[i],
                contactPropertyName(p) + QLatin1Char('=') + expected[i]);
        }
    }

    // Contacts come in book order; lists are marked (EDS) or left out
    // (Thunderbird); a card without UID takes the book's own id; rows EDS
    // deleted offline are gone.
    void bookContents_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("EDS local book") << "eds" << kEdsContents;
        QTest::newRow("EDS cache") << "eds-cache"
                                   << QStringList {QString::fromUtf8("eds-cache-richest Dr. Ingrid Maria Åström Jr."),
                                          "eds-cache-new New Offline"};
        QTest::newRow("Thunderbird") << "thunderbird" << thunderbirdContents(false);
        // Lists are cards too in books of old versions.
        QTest::newRow("Thunderbird of old versions")
            << "thunderbird-v1" << QStringList {"v1-anna Anna Alt", "v1-bert Bert Alt"};
    }

    void bookContents()
    {
        QFETCH(QString, kind);
        QFETCH(QStringList, expected);
        QTemporaryDir dir;
        const QString path = source(kind, dir.path());
        QCOMPARE(summary(readAll(*openerFor(kind)(local(path)))), expected);
    }

    // Opened whole, each contact comes with its card: the book's own vCard,
    // or the one made of an old Thunderbird card's properties, which reads
    // as the contact listed; Thunderbird's lists come last, as groups of
    // their members.
    void wholeCards_data() { bookContents_data(); }

    void wholeCards()
    {
        QFETCH(QString, kind);
        QFETCH(QStringList, expected);
        QTemporaryDir dir;
        const std::unique_ptr<ContactWalk> walk = ContactStore(source(kind, dir.path())).openWhole();
        Contact contact;
        std::string_view card;
        vcard::ContactReader reader;
        QStringList listed;
        while (walk->nextWhole(contact, card)) {
            std::vector<Contact> alone = vcard::readContacts(card, reader);
            QCOMPARE(alone.size(), size_t(1));
            if (alone[0].uid.empty())
                alone[0].uid = contact.uid;
            QCOMPARE(contactFields(alone[0]), contactFields(contact));
            listed += summary(alone);
            if (contact.distributionList && kind == QLatin1String("thunderbird"))
                QVERIFY(card.find("MEMBER:urn:uuid:9a8b7c6d-0003-4000-8000-plain\r\n") != std::string_view::npos);
        }
        if (kind == QLatin1String("thunderbird"))
            expected << QStringLiteral("list-0001 (list) Book Club");
        if (kind == QLatin1String("thunderbird-v1"))
            expected << QStringLiteral("v1-list-outer (list) Outer List")
                     << QStringLiteral("v1-list-inner (list) Inner List");
        QCOMPARE(listed, expected);
    }

    // A card's rows need not lie together: the cards come in the order of
    // their first rows, each whole, a list's rows left out.
    void thunderbirdCardRowsApart()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("abook.sqlite"));
        Writer(path).run("PRAGMA journal_mode = WAL;"
                         "CREATE TABLE properties (card TEXT, name TEXT, value TEXT);"
                         "CREATE TABLE lists (uid TEXT PRIMARY KEY, name TEXT, nickName TEXT, description TEXT);"
                         "INSERT INTO lists VALUES ('list-1', 'A list', '', '');"
                         "INSERT INTO properties VALUES ('b-1', 'DisplayName', 'Bee'), ('a-1', 'DisplayName', 'Ay'),"
                         " ('list-1', 'DisplayName', 'A list'),"
                         " ('b-1', '_vCard', 'BEGIN:VCARD\r\nVERSION:4.0\r\nFN:Bee Card\r\nEND:VCARD\r\n'),"
                         " (NULL, 'DisplayName', 'Nobody'), ('a-1', 'PrimaryEmail', 'ay@example.com')");
        QCOMPARE(summary(readAll(*openThunderbirdBook(local(path)))), (QStringList {"b-1 Bee Card", "a-1 Ay"}));
    }

    // A book read without locks that changes while the walk shows it: the
    // walk shows it as it was, whole, or a beginning of it and then a report
    // naming the file; never contacts of both versions.
    void bookChangedDuringTheWalk()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("abook.sqlite"));
        constexpr int kCards = 20000;
        {
            Writer writer(path);
            writer.run("PRAGMA journal_mode = WAL; CREATE TABLE properties (card TEXT, name TEXT, value TEXT); BEGIN");
            for (int i = 0; i < kCards; ++i) {
                const QByteArray n = QByteArray::number(i);
                writer.run("INSERT INTO properties VALUES ('c" + n + "', '_vCard', 'BEGIN:VCARD\r\nFN:Old " + n
                    + "\r\nEND:VCARD')");
            }
            writer.run("COMMIT");
        }
        auto book = openThunderbirdBook(local(path));
        Contact contact;
        QVERIFY(book->next(contact));
        Writer writer(path);
        writer.run("UPDATE properties SET value = replace(value, 'Old', 'New')");
        int count = 1;
        QString failure;
        try {
            while (book->next(contact)) {
                QCOMPARE(contact.text(FullName), QStringLiteral("Old %1").arg(count));
                ++count;
            }
        } catch (const Failure &error) {
            failure = error.description();
        }
        if (failure.isEmpty())
            QCOMPARE(count, kCards);
        else
            QVERIFY2(failure.contains(path) && !book->next(contact), qPrintable(failure));
    }

    // The checks discovery uses to tell books by their content.
    void contentChecks_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<bool>("eds");
        QTest::addColumn<bool>("thunderbird");
        QTest::newRow("EDS local book") << "eds" << true << false;
        QTest::newRow("EDS cache") << "eds-cache" << true << false;
        QTest::newRow("Thunderbird") << "thunderbird" << false << true;
        QTest::newRow("history-like SQLite") << "other-sqlite" << false << false;
        QTest::newRow("vCard file") << "vcard" << false << false;
        QTest::newRow("missing") << "missing" << false << false;
        // Its read says why it cannot be read (damagedBook).
        QTest::newRow("damaged after the header") << "garbage" << false << false;
    }

    void contentChecks()
    {
        QFETCH(QString, kind);
        QFETCH(bool, eds);
        QFETCH(bool, thunderbird);
        QTemporaryDir dir;
        QString path = dir.filePath(QStringLiteral("book"));
        if (kind == QLatin1String("other-sqlite"))
            Writer(path).run("CREATE TABLE moz_places (id INTEGER, url TEXT)");
        else if (kind == QLatin1String("vcard"))
            writeFile(path, "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:A\r\nEND:VCARD\r\n");
        else if (kind == QLatin1String("garbage"))
            writeFile(path, readFile(kData + QStringLiteral("/eds/contacts.db")).left(100) + QByteArray(8192, '\x5a'));
        else if (kind != QLatin1String("missing"))
            path = source(kind, dir.path());
        const QStringList before = QDir(dir.path()).entryList(QDir::Files | QDir::Hidden);
        QCOMPARE(isEdsBook(local(path)), eds);
        QCOMPARE(isThunderbirdBook(local(path)), thunderbird);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), before);
    }

    // Reading changes no byte and leaves no file behind: at rest, and while
    // the book's own program holds a lock (a consistent read of what was
    // committed, or an error naming the file once the busy timeout is over).
    void readOnly_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QByteArray>("writerSql"); // run by a connection held during the walk
        QTest::addColumn<int>("contacts"); // -1: the walk ends in "database is locked"
        QTest::newRow("EDS at rest") << "eds" << QByteArray() << 3;
        QTest::newRow("EDS cache at rest") << "eds-cache" << QByteArray() << 2;
        QTest::newRow("EDS, write pending")
            << "eds"
            << QByteArray("BEGIN IMMEDIATE; UPDATE folder_id SET vcard = 'BEGIN:VCARD\r\nFN:Torn\r\nEND:VCARD'") << 3;
        QTest::newRow("EDS, log asked for by the reading version") << "eds-wal-to-read" << QByteArray() << 3;
        QTest::newRow("EDS, committing") << "eds" << QByteArray("BEGIN EXCLUSIVE") << -1;
        QTest::newRow("Thunderbird at rest") << "thunderbird" << QByteArray() << 3;
        QTest::newRow("Thunderbird open") << "thunderbird" << QByteArray("SELECT count(*) FROM properties") << 3;
        QTest::newRow("Thunderbird, write pending")
            << "thunderbird"
            << QByteArray("BEGIN EXCLUSIVE; INSERT INTO properties VALUES ('new', 'DisplayName', 'New')") << 3;
    }

    void readOnly()
    {
        QFETCH(QString, kind);
        QFETCH(QByteArray, writerSql);
        QFETCH(int, contacts);
        QTemporaryDir dir;
        const QString path = source(kind, dir.path());
        std::unique_ptr<Writer> writer;
        if (!writerSql.isEmpty()) {
            writer = std::make_unique<Writer>(path);
            writer->run(writerSql);
        }
        const QMap<QString, QByteArray> before = snapshot(dir.path());
        const auto book = openerFor(kind)(local(path));
        if (contacts < 0) {
            const QString failure = failureOf(*book);
            QVERIFY2(failure.contains(QDir::toNativeSeparators(path)), qPrintable(failure));
            QVERIFY2(failure.contains(QLatin1String("locked")), qPrintable(failure));
        } else {
            const std::vector<Contact> all = readAll(*book);
            QCOMPARE(int(all.size()), contacts);
            QVERIFY(!summary(all).join(QLatin1Char(',')).contains(QLatin1String("Torn")));
        }
        const QMap<QString, QByteArray> after = snapshot(dir.path());
        QCOMPARE(after.keys(), before.keys());
        QVERIFY(after == before);
    }

    // A book that cannot be read ends its walk in one error that names the
    // file and says why; its bytes stay as they were.
    void damagedBook_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("damage");
        QTest::addColumn<QString>("reason");
        for (const char *kind : {"eds", "thunderbird"}) {
            const QString k = QString::fromLatin1(kind);
            QTest::addRow("%s truncated", kind) << k << "truncated"
                                                << "malformed";
            QTest::addRow("%s garbage after the header", kind) << k << "garbage"
                                                               << "malformed";
            QTest::addRow("%s not a database", kind) << k << "text"
                                                     << "not a database";
            QTest::addRow("%s empty", kind) << k << "empty"
                                            << "not a database";
            QTest::addRow("%s missing", kind) << k << "missing"
                                              << "No such file";
            QTest::addRow("%s other tables", kind) << k << "other"
                                                   << "is not a";
            QTest::addRow("%s views without end", kind) << k << "endless-view"
                                                        << "is not a";
            // Its cards are made, row after row, by a function of its own.
            QTest::addRow("%s slow generated column", kind) << k << "generated"
                                                            << "is not a";
            QTest::addRow("%s trigger", kind) << k << "trigger"
                                              << "is not a";
        }
        QTest::newRow("eds half-written") << "eds"
                                          << "hot-journal"
                                          << "half-written";
    }

    void damagedBook()
    {
        QFETCH(QString, kind);
        QFETCH(QString, damage);
        QFETCH(QString, reason);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("bööok.db"));
        const QString good = source(kind, dir.path());
        const QByteArray bytes = readFile(good);
        if (damage == QLatin1String("truncated"))
            writeFile(path, bytes.left(4096));
        else if (damage == QLatin1String("garbage"))
            writeFile(path, bytes.left(100) + QByteArray(bytes.size() - 100, '\xa5'));
        else if (damage == QLatin1String("text"))
            writeFile(path, "BEGIN:VCARD\r\nFN:Not a database\r\nEND:VCARD\r\n");
        else if (damage == QLatin1String("empty"))
            writeFile(path, {});
        else if (damage == QLatin1String("other"))
            Writer(path).run("CREATE TABLE moz_places (id INTEGER, url TEXT)");
        else if (damage == QLatin1String("endless-view"))
            Writer(path).run(
                "CREATE VIEW n AS WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n) SELECT i FROM n;"
                "CREATE VIEW folder_id AS SELECT 'u' || i AS uid, 'BEGIN:VCARD' AS vcard FROM n;"
                "CREATE VIEW properties AS SELECT 'c' || i AS card, 'DisplayName' AS name, i AS value FROM n");
        else if (damage == QLatin1String("generated") || damage == QLatin1String("trigger")) {
            const bool eds = kind == QLatin1String("eds");
            const QByteArray table = eds ? "folder_id" : "properties";
            const QByteArray card = "'BEGIN:VCARD\r\nFN:A\r\nEND:VCARD'";
            Writer writer(path);
            if (damage == QLatin1String("generated")) {
                writer.run("CREATE TABLE " + table + (eds ? " (uid, x, vcard" : " (card, name, x, value")
                    + " GENERATED ALWAYS AS (hex(zeroblob(20000000))))");
            } else {
                writer.run("CREATE TABLE " + table + (eds ? " (uid, x, vcard)" : " (card, name, x, value)"));
                writer.run("CREATE TRIGGER t AFTER INSERT ON " + table + " BEGIN SELECT 1; END");
            }
            const QByteArray values = damage == QLatin1String("generated") ? "" : ", " + card;
            for (int i = 0; i < 12; ++i)
                writer.run("INSERT INTO " + table + " VALUES ('c" + QByteArray::number(i) + "'"
                    + (eds ? "" : ", '_vCard'") + ", 'x'" + values + ")");
        } else if (damage == QLatin1String("hot-journal"))
            makeHotJournal(good, path);
        QFile::remove(good);
        const QMap<QString, QByteArray> before = snapshot(dir.path());

        const auto book = openerFor(kind)(local(path)); // nothing is opened yet
        const QString failure = failureOf(*book);
        QVERIFY2(failure.startsWith(QStringLiteral("The address book \"%1\" cannot be read: ").arg(path)),
            qPrintable(failure));
        QVERIFY2(failure.contains(reason), qPrintable(failure));
        QVERIFY(snapshot(dir.path()) == before);
    }

    // A named pipe or a device where the book should be is refused by name
    // before anything is read from it: opening the pipe would wait for a
    // writer, and the device would never end.
    void notARegularFile_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("special");
        QTest::addColumn<QString>("reason");
        for (const char *kind : {"eds", "thunderbird"}) {
            const QString k = QString::fromLatin1(kind);
            QTest::addRow("%s named pipe", kind) << k << "pipe"
                                                 << "Not a regular file but a named pipe";
            QTest::addRow("%s link to /dev/zero", kind) << k << "device"
                                                        << "Not a regular file but a device";
        }
    }

    void notARegularFile()
    {
        QFETCH(QString, kind);
        QFETCH(QString, special);
        QFETCH(QString, reason);
        QTemporaryDir dir;
        const QString path = dir.filePath(
            kind == QLatin1String("eds") ? QStringLiteral("contacts.db") : QStringLiteral("abook.sqlite"));
        if (special == QLatin1String("pipe"))
            QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        else
            QVERIFY(QFile::link(QStringLiteral("/dev/zero"), path));

        const auto book = openerFor(kind)(local(path));
        QCOMPARE(failureOf(*book), QStringLiteral("The address book \"%1\" cannot be read: %2").arg(path, reason));
    }

    // A file name is bytes: not UTF-8, or with characters that mean
    // something in a URI, it still names the book (read with and without
    // locks).
    void unusualFileName_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("EDS") << "eds";
        QTest::newRow("Thunderbird at rest") << "thunderbird";
    }

    void unusualFileName()
    {
        QFETCH(QString, kind);
        QTemporaryDir dir;
        const QString made = source(kind, dir.path());
        const QByteArray path = local(dir.path()) + "/a%20b?c#d\xff\xfe.db";
        QCOMPARE(::rename(local(made).constData(), path.constData()), 0);
        // QTemporaryDir cannot remove a name it cannot decode.
        const auto back = qScopeGuard([&] { ::rename(path.constData(), local(made).constData()); });
        const QMap<QString, QByteArray> before = snapshot(dir.path());
        QCOMPARE(int(readAll(*openerFor(kind)(path)).size()), 3);
        QVERIFY(snapshot(dir.path()) == before);
        QVERIFY(kind == QLatin1String("eds") ? isEdsBook(path) : isThunderbirdBook(path));
    }

    // A book larger than one batch comes whole and in order, and a walk
    // abandoned early stops its reader.
    void largeBook()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("contacts.db"));
        {
            Writer writer(path);
            writer.run("CREATE TABLE folder_id (uid TEXT PRIMARY KEY, vcard TEXT); BEGIN");
            for (int i = 0; i < 3000; ++i) {
                writer.run(QByteArrayLiteral("INSERT INTO folder_id VALUES ('u%1', "
                                             "'BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Person %1\r\nEND:VCARD\r\n')")
                               .replace("%1", QByteArray::number(i)));
            }
            writer.run("COMMIT");
        }
        const std::vector<Contact> all = readAll(*openEdsBook(local(path)));
        QCOMPARE(int(all.size()), 3000);
        for (int i : {0, 255, 256, 2999})
            QCOMPARE(all[size_t(i)].text(FullName), QStringLiteral("Person %1").arg(i));

        auto book = openEdsBook(local(path));
        Contact contact;
        QVERIFY(book->next(contact));
        book.reset();
    }

    // A book whose program has it open, or crashed, is shown as that program
    // shows it, from a private copy: nothing beside the book is created,
    // changed or removed, and the copy is gone afterwards.
    void heldBook_data()
    {
        QTest::addColumn<QString>("kind"); // the book before its program opens it
        QTest::addColumn<QByteArray>("vfs"); // how its program holds it; empty: nobody
        QTest::addColumn<QByteArray>("sql"); // what its program does
        QTest::addColumn<bool>("crash");
        QTest::addColumn<QStringList>("expected");
        const QByteArray profile = readFile(kData + QStringLiteral("/thunderbird/abook.sql"));
        const QStringList edited = thunderbirdContents(true);
        QTest::newRow("Thunderbird running") << "thunderbird" << QByteArray("unix-excl") << kEdits << false << edited;
        QTest::newRow("Thunderbird running, new profile")
            << "thunderbird-new" << QByteArray("unix-excl") << profile << false << thunderbirdContents(false);
        QTest::newRow("Thunderbird running with a -shm")
            << "thunderbird" << QByteArray("unix") << kEdits << false << edited;
        QTest::newRow("crashed, log without -shm")
            << "thunderbird" << QByteArray("unix-excl") << kEdits << true << edited;
        QTest::newRow("crashed, log and -shm") << "thunderbird" << QByteArray("unix") << kEdits << true << edited;
        QTest::newRow("rollback journal, stray log")
            << "eds-stray-log" << QByteArray() << QByteArray() << false << kEdsContents;
    }

    void heldBook()
    {
        QFETCH(QString, kind);
        QFETCH(QByteArray, vfs);
        QFETCH(QByteArray, sql);
        QFETCH(bool, crash);
        QFETCH(QStringList, expected);
        if (!vfs.isEmpty() && !havePython())
            QSKIP("python3 is needed to hold a book as its program does");
        QTemporaryDir dir;
        QTemporaryDir temp;
        const QByteArray oldTemp = qgetenv("TMPDIR");
        qputenv("TMPDIR", QFile::encodeName(temp.path()));
        const auto restore = qScopeGuard([&] { qputenv("TMPDIR", oldTemp); });
        QString path = dir.filePath(QStringLiteral("abook.sqlite"));
        if (kind == QLatin1String("eds-stray-log")) {
            path = source(QStringLiteral("eds"), dir.path());
            writeFile(path + QStringLiteral("-wal"), kStrayLog);
        } else if (kind != QLatin1String("thunderbird-new")) {
            path = source(kind, dir.path());
        }
        std::unique_ptr<Holder> holder;
        if (!vfs.isEmpty()) {
            holder = std::make_unique<Holder>(path, vfs.constData(), sql);
            QVERIFY(holder->ready());
            if (crash)
                holder->kill();
        }
        const QMap<QString, QByteArray> before = snapshot(dir.path());
        QVERIFY(before.contains(QFileInfo(path).fileName() + QStringLiteral("-wal")));
        QCOMPARE(before.contains(QFileInfo(path).fileName() + QStringLiteral("-shm")), vfs == "unix");

        QCOMPARE(summary(readAll(*openerFor(kind)(local(path)))), expected);
        QVERIFY(kind.startsWith(QLatin1String("eds")) ? isEdsBook(local(path)) : isThunderbirdBook(local(path)));
        QVERIFY(snapshot(dir.path()) == before);
        QCOMPARE(QDir(temp.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden), QStringList());
    }

    // A book with an empty log is read where it is when no program holds it
    // (Thunderbird leaves it so after a clean quit), and from a private copy
    // when one does: with no temporary folder to copy into, only the first
    // can be read.
    void emptyLog_data()
    {
        QTest::addColumn<bool>("held");
        QTest::newRow("nobody holds it") << false;
        QTest::newRow("its program holds it") << true;
    }

    void emptyLog()
    {
        QFETCH(bool, held);
        if (held && !havePython())
            QSKIP("python3 is needed to hold a book as its program does");
        QTemporaryDir dir;
        const QString path = source(QStringLiteral("thunderbird"), dir.path());
        std::unique_ptr<Holder> holder;
        if (held) {
            holder = std::make_unique<Holder>(path, "unix-excl", "PRAGMA wal_checkpoint(TRUNCATE)");
            QVERIFY(holder->ready());
        } else {
            writeFile(path + QStringLiteral("-wal"), {});
        }
        QCOMPARE(QFileInfo(path + QStringLiteral("-wal")).size(), 0);
        const QByteArray oldTemp = qgetenv("TMPDIR");
        qputenv("TMPDIR", QFile::encodeName(dir.filePath(QStringLiteral("missing"))));
        const auto restore = qScopeGuard([&] { qputenv("TMPDIR", oldTemp); });
        const QMap<QString, QByteArray> before = snapshot(dir.path());
        if (held)
            QVERIFY(failureOf(*openThunderbirdBook(local(path))).contains(QLatin1String("private copy")));
        else
            QCOMPARE(summary(readAll(*openThunderbirdBook(local(path)))), thunderbirdContents(false));
        QVERIFY(snapshot(dir.path()) == before);
    }

    // A book its program changes all the time is read whole as it was at one
    // commit, or reported by name as in use; never torn.
    void heldBookBeingWritten()
    {
        if (!havePython())
            QSKIP("python3 is needed to hold a book as its program does");
        QTemporaryDir dir;
        const QString path = source(QStringLiteral("thunderbird"), dir.path());
        Holder holder(path, "unix-excl", "INSERT INTO properties VALUES ('churn', 'DisplayName', 'Churn 0')", true);
        QVERIFY(holder.ready());
        for (int read = 0; read < 10; ++read) {
            const auto book = openThunderbirdBook(local(path));
            try {
                QStringList contents = summary(readAll(*book));
                QCOMPARE(contents.size(), 4);
                QVERIFY2(contents.takeLast().startsWith(QLatin1String("churn Churn ")), qPrintable(contents.join(',')));
                QCOMPARE(contents, thunderbirdContents(false).mid(0, 3));
            } catch (const Failure &error) {
                QCOMPARE(error.description(),
                    QStringLiteral("The address book \"%1\" cannot be read: it is in use by another program and kept "
                                   "changing while it was read")
                        .arg(path));
            }
        }
    }

    // Books on a read-only file system (or in a folder the user may not
    // write to) are read as anywhere else. As root, permissions do not hold:
    // the test runs itself again in a mount namespace of its own where the
    // folder is mounted read-only.
    void readOnlyFolder()
    {
        const QString given = qEnvironmentVariable("QUARRELBY_TEST_READONLY_FOLDER");
        if (!given.isEmpty()) {
            QVERIFY(::access(QFile::encodeName(given).constData(), W_OK) != 0);
            readBooksIn(given);
            return;
        }
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("eds")) && QDir(dir.path()).mkpath(QStringLiteral("tb")));
        const QString eds = source(QStringLiteral("eds"), dir.filePath(QStringLiteral("eds")));
        writeFile(eds + QStringLiteral("-wal"), kStrayLog);
        const QString tb = source(QStringLiteral("thunderbird"), dir.filePath(QStringLiteral("tb")));
        if (havePython()) {
            Holder crashed(tb, "unix-excl", kEdits);
            QVERIFY(crashed.ready());
        }
        if (::geteuid() != 0) {
            const QStringList folders {
                dir.path(), dir.filePath(QStringLiteral("eds")), dir.filePath(QStringLiteral("tb"))};
            const auto permit = [&](QFileDevice::Permissions permissions) {
                for (const QString &folder : folders)
                    QFile::setPermissions(folder, permissions | QFileDevice::ReadOwner | QFileDevice::ExeOwner);
            };
            permit({});
            const auto back = qScopeGuard([&] { permit(QFileDevice::WriteOwner); });
            readBooksIn(dir.path());
            return;
        }
        if (QProcess::execute(QStringLiteral("unshare"), {QStringLiteral("--mount"), QStringLiteral("true")}) != 0)
            QSKIP("unshare --mount is needed to mount a folder read-only as root");
        QProcess child;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("QUARRELBY_TEST_READONLY_FOLDER"), dir.path());
        child.setProcessEnvironment(environment);
        child.setProcessChannelMode(QProcess::ForwardedChannels);
        child.start(QStringLiteral("unshare"),
            {QStringLiteral("--mount"), QStringLiteral("sh"), QStringLiteral("-c"),
                QStringLiteral("mount --bind \"$1\" \"$1\" && mount -o remount,bind,ro \"$1\" || exit 77; exec \"$2\" "
                               "readOnlyFolder"),
                QStringLiteral("sh"), dir.path(), QCoreApplication::applicationFilePath()});
        QVERIFY(child.waitForStarted() && child.waitForFinished(120000));
        if (child.exitCode() == 77)
            QSKIP("no read-only mount could be made as root here");
        QCOMPARE(child.exitStatus(), QProcess::NormalExit);
        QCOMPARE(child.exitCode(), 0);
    }

    // A query that does not end is given up once the read has taken its
    // time, naming the file: one step without end, or steps without end.
    void queryLimit_data()
    {
        QTest::addColumn<QByteArray>("sql");
        const QByteArray endless = "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n) ";
        QTest::newRow("one step") << endless + "SELECT count(*) FROM n";
        QTest::newRow("every step quick") << endless + "SELECT i FROM n";
    }

    void queryLimit()
    {
        QFETCH(QByteArray, sql);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("book.db"));
        Writer(path).run("CREATE TABLE t (x)");
        sqlitebook::Connection db(local(path), local(path), false, sqlitebook::readDeadline(local(path)));
        sqlitebook::Statement endless(db, sql.constData());
        try {
            while (endless.step()) { }
            QFAIL("the query ended");
        } catch (const Failure &error) {
            QCOMPARE(error.description(),
                QStringLiteral("The address book \"%1\" cannot be read: a query on it did not finish within 5 "
                               "seconds; its tables are not those of an address book")
                    .arg(path));
        }
    }

private:
    // The books readOnlyFolder() makes, read where they are.
    static void readBooksIn(const QString &folder)
    {
        const QMap<QString, QByteArray> before = snapshot(folder + QStringLiteral("/tb"));
        QCOMPARE(summary(readAll(*openEdsBook(local(folder + QStringLiteral("/eds/contacts.db"))))), kEdsContents);
        QCOMPARE(summary(readAll(*openThunderbirdBook(local(folder + QStringLiteral("/tb/abook.sqlite"))))),
            thunderbirdContents(before.contains(QStringLiteral("abook.sqlite-wal"))));
        QVERIFY(snapshot(folder + QStringLiteral("/tb")) == before);
    }

    // The state a crash in the middle of a commit leaves: pages of the
    // transaction already in the database file, the rollback journal beside
    // it. Made by copying both while a writer is in the middle of a large
    // transaction.
    static void makeHotJournal(const QString &good, const QString &path)
    {
        Writer writer(good);
        writer.run("PRAGMA cache_size = 10; BEGIN");
        const QByteArray filler(2000, 'f');
        for (int i = 0; i < 200; ++i)
            writer.run(
                "INSERT INTO folder_id (uid, vcard) VALUES ('filler" + QByteArray::number(i) + "', '" + filler + "')");
        QVERIFY(QFile::exists(good + QStringLiteral("-journal")));
        writeFile(path, readFile(good));
        writeFile(path + QStringLiteral("-journal"), readFile(good + QStringLiteral("-journal")));
        writer.run("ROLLBACK");
    }
};

QTEST_GUILESS_MAIN(TestSqliteBooks)
#include "tst_sqlitebooks.moc"
