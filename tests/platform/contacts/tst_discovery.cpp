// Where the contact store looks for address books, on a made-up home folder:
// HOME and the XDG variables point into a temporary folder, and the books
// are real files and folders there.

#include "Corpus.h"
#include "ScriptedShell.h"
#include "actions/ExtractContacts.h"
#include "actions/RequireAddressBooks.h"
#include "core/ActionContext.h"
#include "core/BusyState.h"
#include "core/FieldCatalogue.h"
#include "core/ResultList.h"
#include "platform/contacts/ContactStore.h"
#include "platform/contacts/Discovery.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <sqlite3.h>

#include <cstdio>
#include <fcntl.h>
#include <ftw.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

using namespace quarrelby;
using namespace quarrelby::test;

namespace {

// Paths as bytes all the way: some tests use names that are not UTF-8.
void makeFolder(const QByteArray &path)
{
    QByteArray partial;
    for (const QByteArray &part : path.split('/')) {
        partial += part + '/';
        ::mkdir(partial.constData(), 0700);
    }
}

void writeFile(const QByteArray &path, const QByteArray &content)
{
    makeFolder(path.left(path.lastIndexOf('/')));
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    QVERIFY2(fd >= 0, path.constData());
    QCOMPARE(::write(fd, content.constData(), static_cast<size_t>(content.size())), content.size());
    ::close(fd);
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

const QString kData = QStringLiteral(QUARRELBY_SOURCE_DIR "/tests/data");

// An SQLite database made by running sql.
void makeDatabase(const QByteArray &path, const QByteArray &sql)
{
    makeFolder(path.left(path.lastIndexOf('/')));
    sqlite3 *db = nullptr;
    QCOMPARE(sqlite3_open(path.constData(), &db), SQLITE_OK);
    char *error = nullptr;
    const int rc = sqlite3_exec(db, sql.constData(), nullptr, nullptr, &error);
    const QByteArray message = error ? QByteArray(error) : QByteArray();
    sqlite3_free(error);
    sqlite3_close(db);
    QVERIFY2(rc == SQLITE_OK, message.constData());
}

void makeThunderbirdBook(const QByteArray &path)
{
    makeDatabase(path, readFile(kData + QStringLiteral("/thunderbird/abook.sql")));
}

QByteArray card(const char *name, const char *uid = nullptr, const char *extra = "")
{
    QByteArray text = QByteArray("BEGIN:VCARD\r\nVERSION:3.0\r\nFN:") + name + "\r\n";
    if (uid)
        text += QByteArray("UID:") + uid + "\r\n";
    return text + extra + "END:VCARD\r\n";
}

const char *kindName(BookKind kind)
{
    switch (kind) {
    case BookKind::VCard:
        return "vcard";
    case BookKind::Eds:
        return "eds";
    case BookKind::Thunderbird:
        return "thunderbird";
    case BookKind::OutlookDataFile:
        return "pst";
    case BookKind::Unknown:
        return "unknown";
    case BookKind::OtherDatabase:
        break;
    }
    return "database";
}

// "kind path" with the home folder left out, one per book, the kind told by
// its content for a book named; a book read with
// its sub-books has their folders after it: "kind path [folder, folder]".
QStringList describe(const std::vector<FoundBook> &books, const QByteArray &home)
{
    const auto shown = [&](QByteArray path) {
        if (path.startsWith(home + '/'))
            path = "~" + path.mid(home.size());
        return QFile::decodeName(path);
    };
    QStringList lines;
    for (const FoundBook &book : books) {
        QStringList folders;
        for (const QByteArray &folder : book.folders)
            folders << shown(folder);
        lines << QString::fromLatin1(kindName(recogniseBook(book))) + QLatin1Char(' ') + shown(book.path)
                + (folders.isEmpty() ? QString() : QStringLiteral(" [%1]").arg(folders.join(QStringLiteral(", "))));
    }
    return lines;
}

// The real store under the real extraction, as the window runs it.
struct Walk {
    ScriptedShell shell;
    ResultList list;
    BusyState busy;
    ContactStore books;
    ActionContext context {shell, list, busy, [](int) { return 1; }};

    Walk()
    {
        for (const ContactField &f : fieldCatalogue())
            list.addColumn(QLatin1String(f.caption));
        readAddressBooks(context, books);
    }

    QStringList column(int k) const
    {
        QStringList cells;
        for (int i = 1; i <= list.itemCount(); ++i)
            cells << list.cell(i, k);
        return cells;
    }
};

} // namespace

class TestDiscovery : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_temporary;
    QByteArray m_home;

    [[nodiscard]] QString dirPath() const { return m_temporary->path(); }

    QByteArray at(const char *relative) const { return m_home + '/' + relative; }

private slots:
    void init()
    {
        m_temporary = std::make_unique<QTemporaryDir>();
        QVERIFY(m_temporary->isValid());
        m_home = QFile::encodeName(dirPath()) + "/home";
        makeFolder(m_home);
        qputenv("HOME", m_home);
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(dirPath()));
        for (const char *name : {"XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME", "QUARRELBY_CONTACTS"})
            qunsetenv(name);
    }

    // Every kind of book in its usual place, and things that look like books
    // but are not the user's: the order is the reading order.
    void everyPlaceInOrder()
    {
        writeFile(at(".local/share/evolution/addressbook/aaa-book/contacts.db"), "x");
        writeFile(at(".local/share/evolution/addressbook/system/contacts.db"), "x");
        writeFile(at(".local/share/evolution/addressbook/trash/old/contacts.db"), "x");
        writeFile(at(".local/share/evolution/addressbook/trash/contacts.db"), "x");
        writeFile(at(".local/share/evolution/addressbook/switched-off/contacts.db"), "x");
        writeFile(at(".config/evolution/sources/switched-off.source"),
            "[Data Source]\nDisplayName=Old\nEnabled=false\n\n[Address Book]\nBackendName=local\n");
        writeFile(at(".config/evolution/sources/aaa-book.source"), "[Data Source]\nDisplayName=Club\nEnabled=true\n");
        writeFile(at(".cache/evolution/addressbook/google-1/cache.db"), "x");
        writeFile(at(".cache/evolution/addressbook/trash/cache.db"), "x");

        writeFile(
            at(".thunderbird/profiles.ini"), "[Profile0]\nName=default\nIsRelative=1\nPath=abc.default\nDefault=1\n");
        for (const char *name :
            {"abook.sqlite", "abook-10.sqlite", "abook-2.sqlite", "history.sqlite", "abook-x.sqlite"})
            writeFile(at(".thunderbird/abc.default/") + name, "x");

        writeFile(at(".local/share/contacts/a.vcf"), card("A"));
        writeFile(at(".local/share/contacts/WARNING_README.txt"), "x");
        makeFolder(at(".local/share/contacts/sub-book"));
        makeFolder(at(".local/share/contacts/.hidden"));
        makeFolder(at(".local/share/contacts/sub-book/too-deep"));

        writeFile(at(".config/vdirsyncer/config"),
            "[general]\nstatus_path = \"~/.vdirsyncer/status/\"\n\n"
            "[storage cal_local]\ntype = \"filesystem\"\npath = \"~/calendars/\"\nfileext = \".ics\"\n\n"
            "[storage contacts_local]\ntype = \"filesystem\"\npath = \"~/sync/contacts/\"\nfileext = \".vcf\"\n\n"
            "[storage contacts_remote]\ntype = \"carddav\"\nurl = \"https://dav.example/\"\n");
        makeFolder(at("calendars/home"));
        makeFolder(at("sync/contacts/friends"));
        makeFolder(at("sync/contacts/family"));

        writeFile(at(".config/khard/khard.conf"),
            "[addressbooks]\n[[work]]\npath = ~/.contacts/work/\n[[synced]]\npath = ~/sync/contacts/family\n"
            "[general]\ndefault_action = list\n[[notabook]]\npath = ~/elsewhere\n");
        makeFolder(at(".contacts/work"));
        makeFolder(at(".contacts/personal"));
        // The same place again, through a link: read once.
        QVERIFY(QFile::link(QFile::decodeName(at("sync/contacts/family")), QFile::decodeName(at(".contacts/family"))));
        makeFolder(at("elsewhere"));

        writeFile(at(".kde/share/apps/kabc/std.vcf"), card("KDE 3"));
        writeFile(at(".kde4/share/apps/kabc/std.vcf"), card("KDE 4"));

        writeFile(at("Documents/b.pst"), "!BDN");
        writeFile(at("Documents/a.OST"), "!BDN");
        writeFile(at("Documents/notes.txt"), "x");
        writeFile(at("Documents/deeper/c.pst"), "!BDN");
        writeFile(at("Documents/Outlook Files/outlook.pst"), "!BDN");
        writeFile(at("Downloads/d.pst"), "!BDN");
        writeFile(at("Desktop/e.pst"), "!BDN");

        const FoundBooks found = discoverAddressBooks();
        QCOMPARE(describe(found.books, m_home),
            (QStringList {
                "eds ~/.local/share/evolution/addressbook/system/contacts.db",
                "eds ~/.local/share/evolution/addressbook/aaa-book/contacts.db",
                "eds ~/.cache/evolution/addressbook/google-1/cache.db",
                "thunderbird ~/.thunderbird/abc.default/abook.sqlite",
                "thunderbird ~/.thunderbird/abc.default/abook-2.sqlite",
                "thunderbird ~/.thunderbird/abc.default/abook-10.sqlite",
                "vcard ~/.local/share/contacts [~/.local/share/contacts, ~/.local/share/contacts/sub-book]",
                "vcard ~/sync/contacts/ [~/sync/contacts/family, ~/sync/contacts/friends]",
                "vcard ~/.contacts/work/",
                "vcard ~/.contacts/personal",
                "vcard ~/.kde/share/apps/kabc/std.vcf",
                "vcard ~/.kde4/share/apps/kabc/std.vcf",
            }));
        QCOMPARE(describe(found.fallback, m_home),
            (QStringList {"pst ~/Documents/a.OST", "pst ~/Documents/b.pst", "pst ~/Desktop/e.pst",
                "pst ~/Downloads/d.pst", "pst ~/Documents/Outlook Files/outlook.pst"}));
    }

    // Real Evolution and Thunderbird books in their places, read in order
    // with a vCard folder; the vCard card with the UID of an Evolution
    // contact is that contact again.
    void realBooksInOrder()
    {
        writeFile(at(".local/share/evolution/addressbook/system/contacts.db"),
            readFile(kData + QStringLiteral("/eds/contacts.db")));
        writeFile(
            at(".cache/evolution/addressbook/google/cache.db"), readFile(kData + QStringLiteral("/eds/cache.db")));
        writeFile(at(".thunderbird/profiles.ini"), "[Profile0]\nIsRelative=1\nPath=p\nDefault=1\n");
        makeThunderbirdBook(at(".thunderbird/p/abook.sqlite"));
        writeFile(at(".local/share/contacts/a.vcf"), card("Ann again", "eds-local-plain") + card("Only here", "x-1"));
        const Walk walk;
        QCOMPARE(walk.shell.texts(), QStringList());
        const QStringList names = walk.column(1);
        QCOMPARE(names.mid(0, 5),
            (QStringList {"Dr. José Maria Müller-Łukasz Jr.", "Ann Plain", "Dr. Ingrid Maria Åström Jr.", "New Offline",
                "Søren Kierkegaard-Ødegård"}));
        QCOMPARE(names.last(), QStringLiteral("Only here"));
        QVERIFY(!names.contains(QStringLiteral("Ann again")));
        QVERIFY(!names.contains(QStringLiteral("Deleted Person")));
    }

    // The personal folder and its sub-books are one book, read in order:
    // its files, then each sub-book's. A contact listed again in a later
    // sub-book (the same uid) is shown once, as between books, and twice
    // within one; a file that cannot be read is reported at its place.
    void subBooksReadAsOne()
    {
        writeFile(at(".local/share/contacts/a.vcf"), card("Ann", "u-ann") + card("Bob", "u-bob"));
        writeFile(at(".local/share/contacts/b/a.vcf"), card("Ann in a sub-book", "u-ann") + card("Cid", "u-cid"));
        writeFile(at(".local/share/contacts/b/b.vcf"), card("Cid twice", "u-cid"));
        makeFolder(at(".local/share/contacts/c/empty"));
        makeFolder(at(".local/share/contacts/d"));
        QVERIFY(QFile::link(QStringLiteral("/dev/zero"), QFile::decodeName(at(".local/share/contacts/d/a.vcf"))));
        writeFile(at(".local/share/contacts/d/b.vcf"), card("Cid again", "u-cid") + card("Dee"));
        const Walk walk;
        QCOMPARE(walk.column(1), (QStringList {"Ann", "Bob", "Cid", "Cid twice", "Dee"}));
        QCOMPARE(walk.shell.texts().size(), 1);
        QVERIFY2(walk.shell.texts().first().contains(QFile::decodeName(at(".local/share/contacts/d/a.vcf"))),
            qPrintable(walk.shell.texts().first()));
    }

    // The Personal book switched off: its definition has another name than
    // its folder.
    void personalBookSwitchedOff()
    {
        writeFile(at(".local/share/evolution/addressbook/system/contacts.db"), "x");
        writeFile(at(".config/evolution/sources/system.source"), "[Data Source]\nEnabled=true\n");
        QCOMPARE(discoverAddressBooks().books.size(), size_t(1));
        writeFile(at(".config/evolution/sources/system-address-book.source"),
            "[Data Source]\nDisplayName=Personal\nEnabled=false\n");
        QVERIFY(discoverAddressBooks().empty());
    }

    // The XDG variables move the places; user-dirs.dirs names the document
    // folders; a relative XDG path is ignored, as the standard says.
    void xdgFolders()
    {
        const QByteArray data = QFile::encodeName(dirPath()) + "/data";
        qputenv("XDG_DATA_HOME", data);
        qputenv("XDG_CONFIG_HOME", at("conf"));
        qputenv("XDG_CACHE_HOME", "relative/cache");
        makeFolder(data + "/contacts");
        makeFolder(at(".local/share/contacts"));
        writeFile(at(".cache/evolution/addressbook/remote/cache.db"), "x");
        writeFile(at("conf/user-dirs.dirs"),
            "# written by xdg-user-dirs-update\nXDG_DESKTOP_DIR=\"$HOME/Schreibtisch\"\n"
            "XDG_DOCUMENTS_DIR=\"$HOME/Dokumente\"\nXDG_DOWNLOAD_DIR=\""
                + m_home + "/Downloads\"\n");
        writeFile(at("Dokumente/a.pst"), "!BDN");
        writeFile(at("Documents/ignored.pst"), "!BDN");
        writeFile(at("Schreibtisch/b.pst"), "!BDN");
        writeFile(at("Downloads/c.pst"), "!BDN");

        const FoundBooks found = discoverAddressBooks();
        QCOMPARE(describe(found.books, m_home),
            (QStringList {"eds ~/.cache/evolution/addressbook/remote/cache.db",
                QStringLiteral("vcard ") + QFile::decodeName(data + "/contacts")}));
        QCOMPARE(describe(found.fallback, m_home),
            (QStringList {"pst ~/Dokumente/a.pst", "pst ~/Schreibtisch/b.pst", "pst ~/Downloads/c.pst"}));
    }

    void thunderbirdProfile_data()
    {
        QTest::addColumn<QByteArray>("ini");
        QTest::addColumn<QString>("expected");
        const QByteArray two = "[Profile1]\nName=old\nIsRelative=1\nPath=old.default\n\n"
                               "[Profile0]\nName=new\nIsRelative=1\nPath=new.default-release\n";
        QTest::newRow("install section") << QByteArray("[Install8216C80C92C4E828]\nDefault=new.default-release\n"
                                                       "Locked=1\n\n"
            + two + "Default=1\n") << "new.default-release";
        QTest::newRow("install section wins over Default=1")
            << QByteArray("[InstallAAAA]\nDefault=new.default-release\n\n[Profile1]\nIsRelative=1\n"
                          "Path=old.default\nDefault=1\n[Profile0]\nIsRelative=1\nPath=new.default-release\n")
            << "new.default-release";
        QTest::newRow("Default=1") << QByteArray(two + "\n[Profile2]\nIsRelative=1\nPath=third\nDefault=1\n")
                                   << "third";
        QTest::newRow("install default missing on disk")
            << QByteArray("[InstallAAAA]\nDefault=gone.default\n\n" + two + "Default=1\n") << "new.default-release";
        QTest::newRow("only profile") << QByteArray("[Profile0]\nIsRelative=1\nPath=only\n") << "only";
        QTest::newRow("several, none default") << two << "";
    }

    void thunderbirdProfile()
    {
        QFETCH(QByteArray, ini);
        QFETCH(QString, expected);
        for (const char *profile : {"old.default", "new.default-release", "third", "only"})
            writeFile(at(".thunderbird/") + profile + "/abook.sqlite", "x");
        writeFile(at(".thunderbird/profiles.ini"), ini);
        const QStringList books = describe(discoverAddressBooks().books, m_home);
        QCOMPARE(books,
            expected.isEmpty()
                ? QStringList()
                : QStringList {QStringLiteral("thunderbird ~/.thunderbird/%1/abook.sqlite").arg(expected)});
    }

    // Flatpak's Thunderbird, with an absolute profile path.
    void thunderbirdFlatpak()
    {
        const QByteArray profile = QFile::encodeName(dirPath()) + "/profiles/p1";
        writeFile(profile + "/abook-1.sqlite", "x");
        writeFile(at(".var/app/org.mozilla.Thunderbird/.thunderbird/profiles.ini"),
            "[Profile0]\nIsRelative=0\nPath=" + profile + "\nDefault=1\n");
        const FoundBooks found = discoverAddressBooks();
        QCOMPARE(found.books.size(), size_t(1));
        QCOMPARE(found.books[0].kind, BookKind::Thunderbird);
        QCOMPARE(found.books[0].path, profile + "/abook-1.sqlite");
    }

    // QUARRELBY_CONTACTS names the only books, each recognised by what it
    // holds rather than by its name.
    void namedBooks()
    {
        const QByteArray dir = QFile::encodeName(dirPath());
        writeFile(dir + "/cards.txt", card("Text"));
        writeFile(dir + "/looks-like.vcf", QByteArray("!BDN\x0e\x0f") + QByteArray(100, '\0'));
        writeFile(dir + "/evolution.bin", readFile(kData + QStringLiteral("/eds/contacts.db")));
        makeThunderbirdBook(dir + "/tb");
        makeDatabase(dir + "/places.sqlite", "CREATE TABLE moz_places (id INTEGER, url TEXT)");
        makeFolder(dir + "/folder");
        QCOMPARE(::mkfifo((dir + "/pipe.vcf").constData(), 0600), 0); // looked at without waiting for a writer
        makeFolder(at(".local/share/contacts")); // not read: the variable says where
        qputenv("QUARRELBY_CONTACTS",
            dir + "/cards.txt::" + dir + "/looks-like.vcf:" + dir + "/folder:" + dir + "/evolution.bin:" + dir
                + "/tb:" + dir + "/places.sqlite:" + dir + "/missing.vcf:" + dir + "/pipe.vcf");
        const FoundBooks found = discoverAddressBooks();
        QVERIFY(found.named);
        QCOMPARE(describe(found.books, dir),
            (QStringList {"vcard ~/cards.txt", "pst ~/looks-like.vcf", "vcard ~/folder", "eds ~/evolution.bin",
                "thunderbird ~/tb", "database ~/places.sqlite", "vcard ~/missing.vcf", "vcard ~/pipe.vcf"}));
        QVERIFY(found.fallback.empty());

        qputenv("QUARRELBY_CONTACTS", dir + "/missing.vcf:" + dir + "/gone");
        const FoundBooks none = discoverAddressBooks();
        QVERIFY(none.empty());
        QCOMPARE(none.searched, (std::vector<QByteArray> {dir + "/missing.vcf", dir + "/gone"}));
    }

    // A path that is not UTF-8 reaches the file system as the same bytes.
    void nonUtf8Paths()
    {
        const QByteArray dir = QFile::encodeName(dirPath());
        writeFile(dir + "/b\xff\xfe.vcf", card("Named"));
        writeFile(dir + "/data\xff/contacts/c.vcf", card("Found"));

        qputenv("QUARRELBY_CONTACTS", dir + "/b\xff\xfe.vcf");
        QCOMPARE(Walk().column(1), QStringList {"Named"});

        qunsetenv("QUARRELBY_CONTACTS");
        qputenv("XDG_DATA_HOME", dir + "/data\xff");
        const Walk walk;
        QCOMPARE(walk.shell.texts(), QStringList());
        QCOMPARE(walk.column(1), QStringList {"Found"});
    }

    // A contact whose UID an earlier book listed is listed once; within one
    // book, and without a UID, every card is listed.
    void sameUidListedOnce()
    {
        const QByteArray dir = QFile::encodeName(dirPath());
        // A distribution list is never listed, so its uid does not count.
        writeFile(dir + "/one/a.vcf",
            card("Ann", "uid-1") + card("No uid") + card("Ann again", "uid-1")
                + "BEGIN:VCARD\r\nVERSION:4.0\r\nFN:List\r\nUID:uid-3\r\nKIND:group\r\nEND:VCARD\r\n");
        writeFile(dir + "/two/b.vcf",
            card("Ann elsewhere", " uid-1 ") + card("No uid") + card("Bob", "uid-2") + card("Cy", "uid-3"));
        qputenv("QUARRELBY_CONTACTS", dir + "/one:" + dir + "/two");
        const Walk walk;
        QCOMPARE(walk.shell.texts(), QStringList());
        QCOMPARE(walk.column(1), (QStringList {"Ann", "No uid", "Ann again", "No uid", "Bob", "Cy"}));
    }

    // KDE's own names for the assistant and the IM address.
    void kdeProperties()
    {
        const QByteArray dir = QFile::encodeName(dirPath());
        writeFile(dir + "/kde.vcf",
            card("Kim", nullptr,
                "X-KADDRESSBOOK-X-AssistantsName:Pat Lee\r\nX-KADDRESSBOOK-X-IMAddress:xmpp:kim@chat.example\r\n"
                "TEL;TYPE=ASSISTANT:+1 555 0100\r\n"));
        qputenv("QUARRELBY_CONTACTS", dir + "/kde.vcf");
        const Walk walk;
        const auto columnOf = [](const char *caption) {
            for (const ContactField &f : fieldCatalogue()) {
                if (QLatin1String(f.caption) == QLatin1String(caption))
                    return f.index + 1;
            }
            return -1;
        };
        QCOMPARE(walk.column(columnOf("IM Address")), QStringList {"kim@chat.example"});
        QCOMPARE(walk.column(columnOf("Asst Tel No")), QStringList {"Pat Lee - +1 555 0100"});
    }

    // The Outlook data files in the document folders are read only when no
    // other book held a contact.
    void outlookDataFilesOnlyAsLastResort()
    {
        const QByteArray pst = at("Documents/old.pst");
        writeFile(pst, QByteArray("!BDN") + QByteArray(60, '\0'));
        makeFolder(at(".local/share/contacts"));
        writeFile(
            at(".local/share/contacts/list.vcf"), "BEGIN:VCARD\r\nVERSION:4.0\r\nFN:L\r\nKIND:group\r\nEND:VCARD\r\n");
        {
            // A distribution list is not a contact: the data file is read,
            // and this one, being no real data file, is reported by name.
            const Walk walk;
            QCOMPARE(walk.shell.texts().size(), 1);
            QVERIFY2(
                walk.shell.texts().first().contains(QFile::decodeName(pst)), qPrintable(walk.shell.texts().first()));
            QVERIFY2(walk.shell.texts().first().contains(QStringLiteral("at line 192")),
                qPrintable(walk.shell.texts().first()));
        }
        writeFile(at(".local/share/contacts/someone.vcf"), card("Someone"));
        const Walk walk;
        QCOMPARE(walk.shell.texts(), QStringList());
        QCOMPARE(walk.column(1), QStringList {"Someone"});
    }

    // Outlook data files from Windows through the real reader: found in the
    // Documents folder when nothing else holds a contact, or named; a
    // truncated one reported by name while the others are read.
    void outlookDataFilesFromCorpus()
    {
        QUARRELBY_REQUIRE_CORPUS(corpus, "pst");
        const QByteArray folder = QFile::encodeName(corpus);
        const QByteArray aspose = folder + "/aspose-samplecontacts-6contacts-unicode.pst";
        makeFolder(at("Documents"));
        QCOMPARE(::symlink(aspose.constData(), at("Documents/contacts.pst").constData()), 0);
        {
            const Walk walk;
            QCOMPARE(walk.shell.texts(), QStringList());
            QCOMPARE(walk.column(1).size(), 6);
            QCOMPARE(walk.column(1).first(), QStringLiteral("Sebastian Wright"));
        }
        const QByteArray truncated = folder + "/malformed-truncated-header-40bytes.pst";
        qputenv("QUARRELBY_CONTACTS", folder + "/javalibpst-distlist-contact-unicode.pst:" + truncated + ':' + aspose);
        const Walk walk;
        QCOMPARE(walk.column(1).size(), 1 + 6);
        QCOMPARE(walk.column(1).last(), QStringLiteral("Bertha A. Buell"));
        QCOMPARE(walk.shell.texts().size(), 1);
        QVERIFY(walk.shell.texts().first().contains(QFile::decodeName(truncated)));
        QVERIFY(walk.shell.texts().first().contains(QStringLiteral("at line 192")));
    }

    // A book that cannot be read is reported under the walk's line, naming
    // it, and the books after it are still read.
    void failingBookThenTheNext()
    {
        const QByteArray dir = QFile::encodeName(dirPath());
        writeFile(dir + "/a.vcf", card("Before"));
        writeFile(dir + "/broken.db", QByteArray("SQLite format 3", 16) + QByteArray(40, '\x7f'));
        writeFile(dir + "/c.vcf", card("After"));
        qputenv("QUARRELBY_CONTACTS", dir + "/a.vcf:" + dir + "/broken.db:" + dir + "/gone.vcf:" + dir + "/c.vcf");
        const Walk walk;
        QCOMPARE(walk.column(1), (QStringList {"Before", "After"}));
        const QStringList texts = walk.shell.texts();
        QCOMPARE(texts.size(), 2);
        QVERIFY2(texts[0].contains(QFile::decodeName(dir + "/broken.db")), qPrintable(texts[0]));
        QVERIFY2(texts[1].contains(QFile::decodeName(dir + "/gone.vcf")), qPrintable(texts[1]));
        for (const QString &text : texts)
            QVERIFY2(text.contains(QStringLiteral("at line 192")), qPrintable(text));
    }

    // Many failing books in a row are told in one report that names the first
    // few and counts the rest; the "none exists" advice lists the first
    // places and counts the rest.
    void manyFailingBooksOneReport_data()
    {
        QTest::addColumn<bool>("goodBook");
        QTest::addColumn<int>("missing");
        QTest::addColumn<int>("listed");
        QTest::addColumn<QString>("told");
        QTest::newRow("one good, 999 missing")
            << true << 999 << 5 << "999 address books or contact files in a row could not be read. The first 5:";
        QTest::newRow("one good, 4 missing")
            << true << 4 << 4 << "4 address books or contact files in a row could not be read:";
        QTest::newRow("1,000 missing") << false << 1000 << 20
                                       << "None of the address books named in QUARRELBY_CONTACTS exists:";
    }

    void manyFailingBooksOneReport()
    {
        QFETCH(bool, goodBook);
        QFETCH(int, missing);
        QFETCH(int, listed);
        QFETCH(QString, told);
        const QByteArray dir = QFile::encodeName(dirPath());
        QByteArrayList named;
        if (goodBook) {
            writeFile(dir + "/good.vcf", card("Good"));
            named << dir + "/good.vcf";
        }
        for (int k = 1; k <= missing; ++k)
            named << dir + "/missing-" + QByteArray::number(k) + ".vcf";
        qputenv("QUARRELBY_CONTACTS", named.join(':'));
        const Walk walk;
        QCOMPARE(walk.column(1), goodBook ? QStringList {"Good"} : QStringList {});
        const QStringList texts = walk.shell.texts();
        // Without a book the walk's later steps fail too; the first report
        // is the one about the books.
        QVERIFY(goodBook ? texts.size() == 1 : !texts.isEmpty());
        const QString &text = texts.first();
        QVERIFY2(text.contains(told), qPrintable(text));
        QVERIFY2(text.contains(QStringLiteral("%1/missing-%2.vcf").arg(dirPath()).arg(listed)), qPrintable(text));
        QVERIFY2(!text.contains(QStringLiteral("/missing-%1.vcf").arg(listed + 1)), qPrintable(text));
        QCOMPARE(text.contains(QStringLiteral("\r\nand %1 more.").arg(missing - listed)), missing > listed);
    }

    // An Evolution book that is there but no file is reported by name, as
    // when it is named in QUARRELBY_CONTACTS, and the other books are read.
    void edsBookNotAFile_data()
    {
        QTest::addColumn<bool>("pipe");
        QTest::addColumn<QString>("kind");
        QTest::newRow("named pipe") << true << "named pipe";
        QTest::newRow("link to a device") << false << "device";
    }

    void edsBookNotAFile()
    {
        QFETCH(bool, pipe);
        QFETCH(QString, kind);
        const QByteArray book = at(".local/share/evolution/addressbook/system/contacts.db");
        makeFolder(book.left(book.lastIndexOf('/')));
        QCOMPARE(pipe ? ::mkfifo(book.constData(), 0600) : ::symlink("/dev/zero", book.constData()), 0);
        writeFile(at(".local/share/contacts/a.vcf"), card("A"));
        const Walk walk;
        QCOMPARE(walk.column(1), QStringList {"A"});
        const QStringList texts = walk.shell.texts();
        QCOMPARE(texts.size(), 1);
        const QString expected
            = QStringLiteral("\"%1\" cannot be read: Not a regular file but a %2").arg(QFile::decodeName(book), kind);
        QVERIFY2(texts.first().contains(expected), qPrintable(texts.first()));
    }

    // user-dirs.dirs as the shell that sources it reads it.
    void userDirsAsTheShellReadsThem_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QByteArray>("documents"); // ~ for the home folder
        QTest::newRow("$HOME") << QByteArray("XDG_DOCUMENTS_DIR=\"$HOME/Dokumente\"") << QByteArray("~/Dokumente");
        QTest::newRow("${HOME}") << QByteArray("XDG_DOCUMENTS_DIR=\"${HOME}/Dokumente\"") << QByteArray("~/Dokumente");
        QTest::newRow("export") << QByteArray("export XDG_DOCUMENTS_DIR=\"$HOME/Dokumente\"")
                                << QByteArray("~/Dokumente");
        QTest::newRow("escapes") << QByteArray("XDG_DOCUMENTS_DIR=\"$HOME/My \\\"Docs\\\" \\\\ 2\"")
                                 << QByteArray("~/My \"Docs\" \\ 2");
        QTest::newRow("absolute") << QByteArray("XDG_DOCUMENTS_DIR=\"/srv/docs\"") << QByteArray("/srv/docs");
        QTest::newRow("relative") << QByteArray("XDG_DOCUMENTS_DIR=\"docs\"") << QByteArray("~/Documents");
        QTest::newRow("unclosed") << QByteArray("XDG_DOCUMENTS_DIR=\"$HOME/docs") << QByteArray("~/Documents");
        QTest::newRow("comment") << QByteArray("# XDG_DOCUMENTS_DIR=\"$HOME/docs\"") << QByteArray("~/Documents");
    }

    void userDirsAsTheShellReadsThem()
    {
        QFETCH(QByteArray, line);
        QFETCH(QByteArray, documents);
        writeFile(at(".config/user-dirs.dirs"), "XDG_DESKTOP_DIR=\"$HOME/Desktop\"\n" + line + '\n');
        QByteArray found = discoverAddressBooks().documentsFolder;
        if (found.startsWith(m_home + '/'))
            found = '~' + found.mid(m_home.size());
        QCOMPARE(found, documents);
    }

    // With no book anywhere the start-up advice ends with the places that
    // were searched; one empty vCard folder is enough to start.
    void noBookAtAll()
    {
        ContactStore books;
        {
            ScriptedShell shell;
            QVERIFY_THROWS_EXCEPTION(ProgramEnded, requireAddressBooks(shell, books));
            QCOMPARE(shell.texts().size(), 1);
            const QString text = shell.texts().first();
            const QString advice = noAddressBookText();
            QVERIFY(text.startsWith(advice + QStringLiteral("\r\n\r\n")));
            const QString last = text.mid(advice.size() + 4);
            QVERIFY2(!last.contains(QStringLiteral("\r\n\r\n")), qPrintable(last)); // one paragraph
            const QString home = QFile::decodeName(m_home);
            for (const char *place : {"/.local/share/evolution/addressbook", "/.cache/evolution/addressbook",
                     "/.thunderbird/profiles.ini", "/.local/share/contacts", "/.config/khard/khard.conf", "/.contacts",
                     "/.kde/share/apps/kabc/std.vcf", "/Documents", "/Desktop", "/Downloads",
                     "/Documents/Outlook Files"})
                QVERIFY2(last.contains(QStringLiteral("\r\n") + home + QLatin1String(place) + QStringLiteral("\r\n")),
                    place);
            QVERIFY(last.contains(QStringLiteral("QUARRELBY_CONTACTS")));
        }
        makeFolder(at(".local/share/contacts"));
        ScriptedShell shell;
        requireAddressBooks(shell, books);
        QCOMPARE(shell.texts(), QStringList());
    }

    // QDir would decode the names that are not UTF-8, and miss them.
    void cleanup()
    {
        ::nftw(
            QFile::encodeName(dirPath()).constData(),
            [](const char *path, const struct stat *, int, FTW *) { return ::remove(path); }, 16, FTW_DEPTH | FTW_PHYS);
        m_temporary.reset();
    }

    void cleanupTestCase()
    {
        for (const char *name : {"HOME", "XDG_DATA_HOME", "QUARRELBY_CONTACTS"})
            qunsetenv(name);
    }
};

QTEST_GUILESS_MAIN(TestDiscovery)
#include "tst_discovery.moc"
