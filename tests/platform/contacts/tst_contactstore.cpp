#include "ContactFields.h"
#include "Corpus.h"
#include "ScriptedShell.h"
#include "actions/ExtractContacts.h"
#include "core/ActionContext.h"
#include "core/BusyState.h"
#include "core/ContactRows.h"
#include "core/FieldCatalogue.h"
#include "core/ResultList.h"
#include "format/vcard/VCardContact.h"
#include "format/vcard/VCardReader.h"
#include "platform/contacts/ContactStore.h"
#include "platform/contacts/ReadAhead.h"
#include "platform/contacts/VCardBook.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <sqlite3.h>

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

using namespace quarrelby;
using namespace quarrelby::test;

namespace {

const QString kSamples = QStringLiteral(QUARRELBY_SOURCE_DIR "/samples/contacts");

// The window's state around a real extraction from the real store.
struct Extraction {
    ScriptedShell shell;
    ResultList list;
    BusyState busy;
    ContactStore books;
    ActionContext context {shell, list, busy, [](int) { return 1; }};

    // Through the window's store, opened before, when it is given.
    explicit Extraction(const QString &location, ContactStore *opened = nullptr)
    {
        qputenv("QUARRELBY_CONTACTS", QFile::encodeName(location));
        for (const ContactField &f : fieldCatalogue())
            list.addColumn(QLatin1String(f.caption));
        readAddressBooks(context, opened ? *opened : books);
    }

    // The row whose first cell is name, as column caption -> cell text.
    QHash<QString, QString> row(const QString &name) const
    {
        for (int i = 0; i < list.itemCount(); ++i) {
            if (list.cell(i, 0) != name)
                continue;
            QHash<QString, QString> cells;
            for (int k = 0; k < list.headerCount(); ++k)
                cells.insert(list.columnText(k), list.cell(i, k));
            return cells;
        }
        return {};
    }

    QStringList names() const
    {
        QStringList result;
        for (int i = 0; i < list.itemCount(); ++i)
            result << list.cell(i, 0);
        return result;
    }
};

void writeFile(const QString &path, const QByteArray &content)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(content), content.size());
}

QByteArray card(const char *name)
{
    return QByteArray("BEGIN:VCARD\r\nVERSION:3.0\r\nFN:") + name + "\r\nEND:VCARD\r\n";
}

QString birthday(int y, int m, int d)
{
    return cellText(QDate(y, m, d));
}

// The size the vCard source cuts a large file into, give or take a card.
constexpr qsizetype kPieceBytes = 512 * 1024;

// One card of many shapes, chosen by shape: the line ends, encodings and
// damage the reader copes with, so that every piece of a large book holds a
// mix of them.
QByteArray variedCard(int i, unsigned shape)
{
    const QByteArray n = QByteArray::number(i);
    const QByteArray day = QByteArray::number(i % 28 + 10);
    switch (shape) {
    case 0:
        return "BEGIN:VCARD\r\nVERSION:3.0\r\nN:Family" + n + ";Given;;Dr.;\r\nFN:Given Family" + n + "\r\nORG:Acme "
            + n + ";Sales\r\nTITLE:Lead\r\nTEL;TYPE=WORK,VOICE:+1 555 " + n + "\r\nTEL;TYPE=CELL:+1 556 " + n
            + "\r\nEMAIL;TYPE=INTERNET,PREF:p" + n + "@x.example\r\nADR;TYPE=HOME:;;" + n
            + " Main St;Austin;TX;78701;USA\r\nBDAY:1980-02-" + day + "\r\nUID:uid-" + n + "\r\nEND:VCARD\r\n";
    case 1: // a soft line break right before END
        return "BEGIN:VCARD\r\nVERSION:2.1\r\nFN:Quoted " + n
            + "\r\nNOTE;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:Caf=C3=A9 " + n
            + "=0D=0Aline=\r\n two=\r\nEND:VCARD\r\n";
    case 2: // LF only, folded, now and then a list
        return "BEGIN:VCARD\nVERSION:4.0\nFN:Fol\n ded " + n + "\nNOTE:a long note that goes on\n\tand on " + n
            + "\n and ends\nTEL;VALUE=uri;TYPE=cell:tel:+1-555-" + n + (i % 5 == 0 ? "\nKIND:group" : "")
            + "\nEND:VCARD\n";
    case 3: // no END: the next BEGIN ends it
        return "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Open " + n + "\r\nEMAIL:open" + n + "@x.example\r\n";
    case 4: // a value continued with a backslash
        return "BEGIN:VCARD\r\nVERSION:2.1\r\nFN:Phone " + n + "\r\nADR;HOME:;;Street " + n
            + "\\\r\nFloor 2;Town;;;\r\nNOTE:ends with\\\r\nEND:VCARD\r\n";
    case 5:
        return "BEGIN:VCARD\r\nVERSION:2.1\r\nFN;CHARSET=Windows-1252:Jos\xe9 " + n
            + "\r\nN:Garc\xed"
              "a;Jos\xe9\r\nEND:VCARD\r\n";
    case 6: // lower case, blanks after the markers
        return "begin:vcard \r\nversion:3.0\r\nfn:Lower " + n + "\r\nend:vcard\t\r\n";
    case 7: // an agent's card inside
        return "BEGIN:VCARD\r\nVERSION:2.1\r\nFN:Boss " + n + "\r\nAGENT:\r\nBEGIN:VCARD\r\nFN:Agent " + n
            + "\r\nEND:VCARD\r\nEND:VCARD\r\n";
    case 8: // empty lines around
        return "\r\nBEGIN:VCARD\r\nVERSION:3.0\r\nFN:Spaced " + n + "\r\n\r\nEND:VCARD\r\n\r\n";
    case 9:
        return "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Apple " + n + "\r\nitem1.TEL:+1 555 " + n
            + "\r\nitem1.X-ABLabel:_$!<AssistantPhone>!$_\r\nBDAY;X-APPLE-OMIT-YEAR=1604:1604-03-" + day
            + "\r\nEND:VCARD\r\n";
    case 10: // old Mac line ends
        return "BEGIN:VCARD\rVERSION:3.0\rFN:Mac " + n + "\rTEL;TYPE=HOME:" + n + "\rEND:VCARD\r";
    case 11: // no BEGIN
        return "VERSION:3.0\r\nFN:Headless " + n + "\r\nEND:VCARD\r\n";
    case 12: // END folded into the note: the card runs on into the next
        return "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Folded end " + n + "\r\nNOTE:x\r\n END:VCARD\r\n";
    case 13:
        return "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Twin " + n + "\r\nUID:twin-" + QByteArray::number(i % 50)
            + "\r\nEND:VCARD\r\n";
    case 14: // a photo of a few kilobytes, folded
    {
        QByteArray photo = "PHOTO;ENCODING=b;TYPE=JPEG:";
        for (int k = 0; k < 60; ++k)
            photo += "\r\n /9j/4AAQSkZJRgABAQEASABIAAD/2wBDAAMCAgMCAgMDAwMEAwMEBQgFBQQEBQoHBwYIDAoMDAsKCwsN";
        return "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Pictured " + n + "\r\n" + photo + "\r\nEND:VCARD\r\n";
    }
    default:
        return "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:\xe9\x99\x88\xe4\xbc\x9f " + n + "\r\nNOTE:a\\, b\\; c\\nd " + n
            + "\r\nEND:VCARD\r\n";
    }
}

QByteArray variedBook(int count, unsigned seed)
{
    std::minstd_rand random(seed);
    QByteArray book;
    book.reserve(count * 300);
    for (int i = 0; i < count; ++i)
        book += variedCard(i, static_cast<unsigned>(random() % 16));
    return book;
}

// Many small cards, as a phone's export holds them.
QByteArray smallCards(int count)
{
    QByteArray book;
    for (int i = 0; i < count; ++i)
        book += "BEGIN:VCARD\r\nFN:Small " + QByteArray::number(i) + "\r\nEND:VCARD\r\n";
    return book;
}

// Cards whose END never comes, a BEGIN ending each.
QByteArray unterminatedBook(int count, const QByteArray &eol)
{
    QByteArray book;
    for (int i = 0; i < count; ++i)
        book += "BEGIN:VCARD" + eol + "VERSION:3.0" + eol + "FN:Open " + QByteArray::number(i) + eol
            + "TEL;TYPE=WORK:+1 555 " + QByteArray::number(i) + eol;
    return book;
}

QByteArray utf16(const QByteArray &utf8, bool littleEndian)
{
    const QString text = QString::fromUtf8(utf8);
    QByteArray out = littleEndian ? QByteArray("\xff\xfe") : QByteArray("\xfe\xff");
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        const char lo = static_cast<char>(u & 0xff);
        const char hi = static_cast<char>(u >> 8);
        out.append(littleEndian ? lo : hi);
        out.append(littleEndian ? hi : lo);
    }
    return out;
}

// The contacts of a file read the plain way: whole, by one reader.
void readWhole(const QByteArray &bytes, std::vector<Contact> &out)
{
    vcard::ContactReader contacts;
    for (Contact &contact :
        vcard::readContacts(std::string_view(bytes.constData(), static_cast<size_t>(bytes.size())), contacts))
        out.push_back(std::move(contact));
}

// Walks the vCard source at location to its end: it must give exactly the
// expected contacts, in order, and nothing else.
void checkSource(const QString &location, const std::vector<Contact> &expected)
{
    ReadAhead source(vcardBook(QFile::encodeName(location)), {});
    Contact contact;
    size_t i = 0;
    try {
        while (source.next(contact)) {
            QVERIFY2(i < expected.size(), qPrintable(QStringLiteral("more than %1 contacts").arg(expected.size())));
            if (!sameContact(contact, expected[i]))
                QCOMPARE(QString::number(i) + QLatin1Char(' ') + contactFields(contact).join(QLatin1Char('|')),
                    QString::number(i) + QLatin1Char(' ') + contactFields(expected[i]).join(QLatin1Char('|')));
            ++i;
        }
    } catch (const Failure &error) {
        QFAIL(qPrintable(QStringLiteral("after %1 contacts: %2").arg(i).arg(error.description())));
    }
    QCOMPARE(i, expected.size());
}

} // namespace

class TestContactStore : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { qunsetenv("QUARRELBY_CONTACTS"); }

    // Every field of the sample address book lands in its column.
    void sampleFields_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("column");
        QTest::addColumn<QString>("expected");
        auto row = [](const char *name, const char *column, const QString &expected) {
            QTest::newRow(qPrintable(QString::fromUtf8(name) + QLatin1Char(' ') + QLatin1String(column)))
                << QString::fromUtf8(name) << QString::fromLatin1(column) << expected;
        };
        auto s = [](const char *utf8) { return QString::fromUtf8(utf8); };

        const char *anna = "Dr. Anna Maria Lindqvist PhD";
        row(anna, "Birthday", birthday(1979, 3, 15));
        row(anna, "Job Title", s("Head of Research"));
        row(anna, "Company Name", s("Nordvik Kemi AB"));
        row(anna, "File As", s("Lindqvist, Anna"));
        row(anna, "Email Address 1", s("a.lindqvist@mail.example"));
        row(anna, "Email Address 2", s("anna.lindqvist@nordvik.example"));
        row(anna, "Email Address 3", s("anna@lindqvist.example"));
        row(anna, "Webpage", s("https://nordvik.example/people/anna"));
        row(anna, "IM Address", s("anna@chat.nordvik.example"));
        row(anna, "TTY/TDD Tel No", s("+46 8 555 070 00"));
        row(anna, "Asst Tel No", s("Björn Ek - +46 8 555 010 11"));
        row(anna, "Bus. Tel No 1", s("+46 8 555 010 00"));
        row(anna, "Bus. Tel No 2", s("+46 8 555 010 01"));
        row(anna, "Bus. Fax No", s("+46 8 555 010 99"));
        row(anna, "CallbackTel No", s("+46 8 555 010 20"));
        row(anna, "Car Tel No", s("+46 70 555 01 02"));
        row(anna, "Company Tel No", s("+46 8 555 000 00"));
        row(anna, "Home Tel No 1", s("+46 8 555 020 00"));
        row(anna, "Home Tel No 2", s("+46 8 555 020 01"));
        row(anna, "Home Fax No", s("+46 8 555 020 99"));
        row(anna, "ISDN No", s("+46 8 555 030 00"));
        row(anna, "Mobile No", s("+46 70 555 01 01"));
        row(anna, "Other Tel No", s("+46 8 555 040 00"));
        row(anna, "Other Fax No", s("+46 8 555 040 99"));
        row(anna, "Pager No", s("+46 74 555 01 01"));
        row(anna, "Primary Tel No", s("+46 8 555 050 00"));
        row(anna, "Radio Tel No", s("+46 8 555 060 00"));
        row(anna, "Telex Number", s("17654 NORDV S"));
        row(anna, "Business Address", s("Building 4\r\nKemivägen 12\r\nEntrance C\r\nStockholm  111 22\r\nSweden"));
        row(anna, "Home Address", s("Ringvägen 3\r\nStockholm  118 60\r\nSweden"));
        row(anna, "Other Address", s("Sommarstigen 7\r\nVisby, Gotland  621 41\r\nSweden"));
        row(anna, "Body/Notes",
            s("Met at the \"Nordic Chemistry\" conference, Oslo; prefers e-mail.\r\n"
              "Speaks Swedish, English and German."));

        // Outlook's own vCard 2.1: Windows-1252, quoted-printable, X-MS-TEL.
        const char *jose = "Sr. José Luis García";
        row(jose, "Company Name", s("Construcciones Peñalara S.L."));
        row(jose, "File As", s("García, José"));
        row(jose, "Birthday", birthday(1972, 7, 4));
        row(jose, "Email Address 1", s("jose.garcia@penalara.example"));
        row(jose, "IM Address", s("jgarcia@im.penalara.example"));
        row(jose, "Asst Tel No", s("Lucía Martín - +34 91 555 12 10"));
        row(jose, "TTY/TDD Tel No", s("+34 91 555 99 00"));
        row(jose, "Telex Number", s("28745 PENA E"));
        row(jose, "Company Tel No", s("+34 91 555 00 00"));
        row(jose, "Primary Tel No", s("+34 91 555 10 00"));
        row(jose, "Business Address", s("Planta 3\r\nCalle de Alcalá 120\r\nMadrid, Madrid  28009\r\nEspaña"));
        row(jose, "Home Address", s("Paseo de la Castellana 45, 2º B\r\nMadrid  28046\r\nEspaña"));
        row(jose, "Body/Notes",
            s("Cliente desde 2009, \"muy puntual\".\r\nHabla español e inglés; prefiere llamadas por la mañana."));

        // vCard 4.0.
        const char *chen = "陈伟";
        row(chen, "Birthday", s("--03-15"));
        row(chen, "File As", s("Chen, Wei"));
        row(chen, "Bus. Tel No 1", s("+86-21-5555-0101"));
        row(chen, "Mobile No", s("+86-139-5555-0102"));
        row(chen, "Home Tel No 1", s("+86-21-5555-0103"));
        row(chen, "IM Address", s("chenwei@xingchen.example"));
        row(chen, "Business Address", s("浦东新区世纪大道100号\r\n上海 200120\r\n中国"));

        // Apple item groups.
        const char *olivia = "Olivia Bennett";
        row(olivia, "Birthday", s("--11-02"));
        row(olivia, "Asst Tel No", s(" - +44 20 7946 0111"));
        row(olivia, "Mobile No", s("+44 7700 900 123"));
        row(olivia, "Bus. Fax No", s("+44 20 7946 0199"));
        row(olivia, "Home Fax No", s("+44 20 7946 0299"));
        row(olivia, "Other Fax No", s("+44 20 7946 0399"));
        row(olivia, "Pager No", s("+44 7623 900 456"));
        row(olivia, "Business Address", s("12 Wharf Road\r\nUnit 5\r\nLondon  N1 7GR\r\nUnited Kingdom"));

        row("Priya Raghavan", "Email Address 3", s("praghavan@alumni.example"));
        row("Priya Raghavan", "Business Address",
            s("Lotus Works, 3rd Floor, 22 MG Road\r\nBengaluru, KA  560025\r\nIndia"));
        row("Priya Raghavan", "Other Tel No", s("+91 80 5550 0000"));
        row("Jürgen Müller-Lüdenscheidt", "Business Address",
            s("Raum 2.14\r\nBetzdorfer Straße 2\r\n50679 Köln\r\nDeutschland"));
        row("Jürgen Müller-Lüdenscheidt", "Asst Tel No", s("Petra Schäfer - +49 221 5555 2101"));
        row("Aroha Ngata", "Body/Notes",
            s("Kia ora! Allergic to peanuts, shellfish.\r\nSecond note: birthday party on a \"Saturday\"."));
        row("Дмитрий Волков", "Business Address", s("ул. Тверская, д. 7\r\nофис 12\r\nМосква  125009\r\nРоссия"));
        row("Νίκος Παπαδόπουλος", "File As", s("Παπαδόπουλος, Νίκος"));
        row("Alexandra Konstantinopoulou-Fairweather", "Email Address 1",
            s("alexandra.kf@very-long-domain-name-for-testing-folds.example"));
        row("Fjord Logistics AS", "Business Address", s("PO Box 1234\r\nOslo  0102\r\nNorway"));
        row("", "Email Address 1", s("newsletter@shop.example"));
        row("", "Birthday", QString());
    }

    void sampleFields()
    {
        QFETCH(QString, name);
        QFETCH(QString, column);
        QFETCH(QString, expected);
        static const Extraction extraction(kSamples);
        const auto cells = extraction.row(name);
        QVERIFY2(!cells.isEmpty(), qPrintable(name));
        QVERIFY2(cells.contains(column), qPrintable(column));
        QCOMPARE(cells.value(column), expected);
    }

    // The walk as a whole: order, lists skipped, nothing reported.
    void sampleBook()
    {
        const Extraction extraction(kSamples);
        QCOMPARE(extraction.shell.texts(), QStringList());
        const QStringList names = extraction.names();
        QCOMPARE(names.size(), 23);
        QVERIFY(!names.contains(QStringLiteral("Project Aurora team")));
        QVERIFY(!names.contains(QStringLiteral("Book club")));
        QCOMPARE(names.first(), QStringLiteral("Dr. Anna Maria Lindqvist PhD"));
        QCOMPARE(names.last(), QStringLiteral("Alexandra Konstantinopoulou-Fairweather"));
        // Every column holds something somewhere: no field is left unread.
        for (int k = 0; k < extraction.list.headerCount(); ++k) {
            bool filled = false;
            for (int i = 0; i < extraction.list.itemCount() && !filled; ++i)
                filled = !extraction.list.cell(i, k).isEmpty();
            QVERIFY2(filled, qPrintable(extraction.list.columnText(k)));
        }
    }

    // The click reads, from its check on, the books the check found: each
    // row once, as an extraction on its own lists them.
    void clickReadsWhatItsCheckFound_data()
    {
        QTest::addColumn<QString>("location");
        QTest::newRow("vCard folder") << kSamples;
        QTest::newRow("Evolution book") << QStringLiteral(QUARRELBY_SOURCE_DIR "/tests/data/eds/contacts.db");
    }

    void clickReadsWhatItsCheckFound()
    {
        QFETCH(QString, location);
        const Extraction reference(location);
        ScriptedShell shell;
        ResultList list;
        BusyState busy;
        ContactStore books;
        ActionContext context {shell, list, busy, [](int) { return 1; }};
        for (const ContactField &f : fieldCatalogue())
            list.addColumn(QLatin1String(f.caption));
        extractContacts(context, books);
        QCOMPARE(shell.texts(), QStringList {QStringLiteral("Done.")});
        QCOMPARE(list.itemCount(), reference.list.itemCount());
        for (int i = 0; i < list.itemCount(); ++i)
            QCOMPARE(list.cell(i, 0), reference.list.cell(i, 0));
    }

    void folderOrderAndFilter()
    {
        QTemporaryDir dir;
        writeFile(dir.filePath(QStringLiteral("b.vcf")), card("Second") + card("Third"));
        writeFile(dir.filePath(QStringLiteral("a.VCF")), card("First"));
        writeFile(dir.filePath(QStringLiteral("c.vcard")), card("Fourth"));
        writeFile(dir.filePath(QStringLiteral("d.txt")), card("Ignored"));
        writeFile(dir.filePath(QStringLiteral("notes.vcf.bak")), card("Ignored too"));
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("sub.vcf")));
        const Extraction extraction(dir.path());
        QCOMPARE(extraction.shell.texts(), QStringList());
        QCOMPARE(extraction.names(), (QStringList {"First", "Second", "Third", "Fourth"}));
    }

    void singleFile()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("export.vcf"));
        writeFile(path, card("One") + card("Two"));
        const Extraction extraction(path);
        QCOMPARE(extraction.names(), (QStringList {"One", "Two"}));
    }

    void emptyFolder()
    {
        QTemporaryDir dir;
        const Extraction extraction(dir.path());
        QCOMPARE(extraction.shell.texts(), QStringList());
        QCOMPARE(extraction.list.itemCount(), 0);
    }

    // A missing location fails at creation, and the description names it.
    void missingLocation()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("no such folder"));
        ContactStore named(path);
        std::unique_ptr<ContactWalk> opened;
        try {
            opened = named.open();
        } catch (const Failure &error) {
            QVERIFY2(error.description().contains(path), qPrintable(error.description()));
        }
        QVERIFY(!opened);

        qputenv("QUARRELBY_CONTACTS", QFile::encodeName(path));
        ContactStore found;
        QVERIFY(!haveAddressBooks(found));
    }

    void defaultLocation()
    {
        qunsetenv("QUARRELBY_CONTACTS");
        const QByteArray saved = qgetenv("XDG_DATA_HOME");
        qputenv("XDG_DATA_HOME", "/srv/data");
        QCOMPARE(discoverAddressBooks().vcardFolder, QByteArray("/srv/data/contacts"));
        qunsetenv("XDG_DATA_HOME");
        QCOMPARE(discoverAddressBooks().vcardFolder,
            QFile::encodeName(QDir::homePath()) + QByteArray("/.local/share/contacts"));
        qputenv("QUARRELBY_CONTACTS", "/elsewhere/book.vcf");
        QCOMPARE(discoverAddressBooks().searched, std::vector<QByteArray> {"/elsewhere/book.vcf"});
        if (!saved.isNull())
            qputenv("XDG_DATA_HOME", saved);
    }

    // A large file is resolved ahead of the walk on a second thread: the
    // rows must be exactly those of the same cards read one by one, in order,
    // charsets and all.
    void largeFileSameAsSmallFiles()
    {
        const Extraction reference(kSamples);
        QVERIFY(reference.shell.texts().isEmpty());

        QByteArray book;
        for (const QFileInfo &info : QDir(kSamples).entryInfoList({"*.vcf", "*.vcard"}, QDir::Files, QDir::Name)) {
            QFile file(info.filePath());
            QVERIFY(file.open(QIODevice::ReadOnly));
            book += file.readAll() + "\r\n";
        }
        constexpr int kCopies = 40; // well past the size read on a thread of its own
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("large.vcf"));
        writeFile(path, book.repeated(kCopies));

        const Extraction large(path);
        QVERIFY(large.shell.texts().isEmpty());
        QCOMPARE(large.list.itemCount(), reference.list.itemCount() * kCopies);
        for (int i = 0; i < large.list.itemCount(); ++i) {
            const int j = i % reference.list.itemCount();
            for (int k = 0; k < large.list.headerCount(); ++k) {
                if (large.list.cell(i, k) != reference.list.cell(j, k))
                    QFAIL(qPrintable(QStringLiteral("row %1, column %2 differs").arg(i).arg(k)));
            }
        }

        // A walk given up early ends its reading thread with it.
        auto walk = ContactStore(path).open();
        Contact contact;
        QVERIFY(walk->next(contact));
        QCOMPARE(contact.text(FullName), reference.list.cell(0, 0));
        walk.reset();
    }

    // A file that cannot be read during the walk is reported under the
    // walk's line, naming the file, and the walk goes on.
    void unreadableFileDuringWalk()
    {
        QTemporaryDir dir;
        writeFile(dir.filePath(QStringLiteral("a.vcf")), card("Before"));
        const QString vanished = dir.filePath(QStringLiteral("b.vcf"));
        QVERIFY(QFile::link(dir.filePath(QStringLiteral("gone")), vanished));
        writeFile(dir.filePath(QStringLiteral("c.vcf")), card("After"));
        const Extraction extraction(dir.path());
        QCOMPARE(extraction.names(), (QStringList {"Before", "After"}));
        const QStringList texts = extraction.shell.texts();
        QCOMPARE(texts.size(), 1);
        QVERIFY2(texts.first().contains(QStringLiteral("at line 192")), qPrintable(texts.first()));
        QVERIFY2(texts.first().contains(vanished), qPrintable(texts.first()));
    }

    // Paths that open but are no files to read: a named pipe (which would
    // block the walk for good) and a device (which would never end), in the
    // folder or as the book itself. Each is reported by name, under the
    // walk's line, and the walk goes on.
    void notARegularFile_data()
    {
        QTest::addColumn<QStringList>("specials"); // "pipe:name" or "device:name"
        QTest::addColumn<bool>("asTheBook");
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<int>("line"); // the walk's first item (122) or its next (192)

        const QStringList around {"Before", "After"};
        QTest::newRow("named pipe in the folder") << QStringList {"pipe:b.vcf"} << false << around << 192;
        QTest::newRow("link to /dev/zero in the folder") << QStringList {"device:b.vcf"} << false << around << 192;
        QTest::newRow("both") << QStringList {"pipe:b.vcf", "device:bb.vcf"} << false << around << 192;
        QTest::newRow("named pipe as the book") << QStringList {"pipe:x.vcf"} << true << QStringList() << 122;
        QTest::newRow("device as the book") << QStringList {"device:z.vcf"} << true << QStringList() << 122;
    }

    void notARegularFile()
    {
        QFETCH(QStringList, specials);
        QFETCH(bool, asTheBook);
        QFETCH(QStringList, names);
        QFETCH(int, line);

        QTemporaryDir dir;
        if (!asTheBook) {
            writeFile(dir.filePath(QStringLiteral("a.vcf")), card("Before"));
            writeFile(dir.filePath(QStringLiteral("c.vcf")), card("After"));
        }
        QStringList paths;
        for (const QString &special : specials) {
            const QString kind = special.section(QLatin1Char(':'), 0, 0);
            const QString path = dir.filePath(special.section(QLatin1Char(':'), 1));
            if (kind == QLatin1String("pipe"))
                QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
            else
                QVERIFY(QFile::link(QStringLiteral("/dev/zero"), path));
            paths << path;
        }

        const Extraction extraction(asTheBook ? paths.first() : dir.path());
        QCOMPARE(extraction.names(), names);
        const QStringList texts = extraction.shell.texts();
        QCOMPARE(texts.size(), paths.size());
        for (qsizetype k = 0; k < paths.size(); ++k) {
            const QString expected
                = QStringLiteral("The address book \"%1\" cannot be read: Not a regular file but a %2")
                      .arg(paths[k],
                          specials[k].startsWith(QLatin1String("pipe")) ? QStringLiteral("named pipe")
                                                                        : QStringLiteral("device"));
            QVERIFY2(texts[k].startsWith(expected), qPrintable(texts[k]));
            QVERIFY2(texts[k].contains(QStringLiteral("at line %1\r").arg(line)), qPrintable(texts[k]));
        }
    }

    void fileRemovedAfterListing()
    {
        QTemporaryDir dir;
        // The store reads a few pieces of half a megabyte ahead of the walk;
        // a.vcf holds ten megabytes, so that b.vcf is still unopened when it
        // goes, however the threads run.
        constexpr int kAheadOfTheWalk = 10000;
        const QByteArray large
            = QByteArray("BEGIN:VCARD\r\nVERSION:3.0\r\nFN:A\r\nNOTE:") + QByteArray(1000, 'x') + "\r\nEND:VCARD\r\n";
        QByteArray many;
        for (int i = 0; i < kAheadOfTheWalk; ++i)
            many += large;
        writeFile(dir.filePath(QStringLiteral("a.vcf")), many);
        writeFile(dir.filePath(QStringLiteral("b.vcf")), card("B"));
        writeFile(dir.filePath(QStringLiteral("c.vcf")), card("C"));
        auto walk = ContactStore(dir.path()).open();
        Contact contact;
        const auto nextName = [&] { return walk->next(contact) ? contact.text(FullName) : QString(); };
        QCOMPARE(nextName(), QStringLiteral("A"));
        QVERIFY(QFile::remove(dir.filePath(QStringLiteral("b.vcf"))));
        for (int i = 1; i < kAheadOfTheWalk; ++i)
            QCOMPARE(nextName(), QStringLiteral("A"));
        QVERIFY_THROWS_EXCEPTION(Failure, (void)walk->next(contact));
        QCOMPARE(nextName(), QStringLiteral("C"));
        QVERIFY(!walk->next(contact));
    }

    // Files that are no vCard text, or stop being it: each is reported by
    // name after its first block, or where the text stops holding cards,
    // and what follows is not read (a sparse file of zeros stands for
    // gigabytes), in a book of its own or in a folder between two cards.
    void notVCardText_data()
    {
        QTest::addColumn<QByteArray>("head");
        QTest::addColumn<qint64>("size"); // zeros up to it, written as a hole
        QTest::addColumn<bool>("inFolder");
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<QString>("failure");

        const QString notVCard = QStringLiteral("\" cannot be read: it is not a vCard file");
        const QByteArray cards = card("One") + card("Two");
        const QString noCard = QStringLiteral("\" cannot be read: from byte %1 on, after its last card, it holds no "
                                              "vCard text within 32 MB")
                                   .arg(cards.size());
        const QByteArray open = "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Open\r\n";
        const QString noEnd
            = QStringLiteral("\" cannot be read: the card that starts at byte %1 has no end within 32 MB")
                  .arg(cards.size());
        constexpr qint64 kGiant = qint64(1) << 30;
        QTest::newRow("zeros") << QByteArray() << kGiant << false << QStringList() << notVCard;
        QTest::newRow("zeros in a folder")
            << QByteArray() << kGiant << true << QStringList {"Before", "After"} << notVCard;
        QTest::newRow("text of another kind") << QByteArray("Dear Ann,\nthe contacts follow.\n").repeated(40000)
                                              << qint64(0) << false << QStringList() << notVCard;
        QTest::newRow("utf-16 text of another kind")
            << utf16(QByteArray("Dear Ann,\r\n").repeated(30000), true) << qint64(0) << true
            << QStringList {"Before", "After"} << notVCard;
        QTest::newRow("cards, then zeros") << cards << kGiant << false << QStringList {"One", "Two"} << noCard;
        QTest::newRow("cards, then zeros, in a folder")
            << cards << kGiant << true << QStringList {"Before", "One", "Two", "After"} << noCard;
        QTest::newRow("cards, then one with no end")
            << cards + open << kGiant << false << QStringList {"One", "Two", "Open"} << noEnd;
        QTest::newRow("blanks alone, after a byte-order mark")
            << QByteArray("\xEF\xBB\xBF \r\n\r\n") << qint64(0) << false << QStringList() << QString();
    }

    void notVCardText()
    {
        QFETCH(QByteArray, head);
        QFETCH(qint64, size);
        QFETCH(bool, inFolder);
        QFETCH(QStringList, names);
        QFETCH(QString, failure);

        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("b.vcf"));
        writeFile(path, head);
        if (size > 0)
            QVERIFY(QFile::resize(path, size));
        if (inFolder) {
            writeFile(dir.filePath(QStringLiteral("a.vcf")), card("Before"));
            writeFile(dir.filePath(QStringLiteral("c.vcf")), card("After"));
        }
        const Extraction extraction(inFolder ? dir.path() : path);
        QCOMPARE(extraction.names(), names);
        const QStringList texts = extraction.shell.texts();
        QCOMPARE(texts.size(), failure.isEmpty() ? 0 : 1);
        if (!failure.isEmpty())
            QVERIFY2(texts.first().contains(QLatin1Char('"') + path + failure), qPrintable(texts.first()));
    }

    // A large file is cut into pieces of whole cards that several threads
    // parse side by side: the walk must get exactly what one reader gives
    // on the whole file, in order, whatever the cards look like.
    void vcardFileSameAsReadWhole_data()
    {
        QTest::addColumn<QByteArray>("book");
        QTest::addColumn<bool>("cutPastOnePiece"); // the source has places to cut it

        QTest::newRow("30,000 varied cards") << variedBook(30000, 1) << true;
        const QByteArray text = variedBook(3000, 2);
        QTest::newRow("utf-16 little-endian with byte-order mark") << utf16(text, true) << false;
        QTest::newRow("utf-16 big-endian with byte-order mark") << utf16(text, false) << false;
        QTest::newRow("every card unterminated") << unterminatedBook(20000, "\r\n") << false;
        QTest::newRow("unterminated cards, then whole ones")
            << unterminatedBook(12000, "\n") + variedBook(4000, 3) << true;
        QTest::newRow("old Mac line ends only") << unterminatedBook(9000, "\r") + "END:VCARD\r" << false;
        QByteArray huge = "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Huge\r\nPHOTO;ENCODING=b:";
        while (huge.size() < kPieceBytes * 3 / 2)
            huge += "\r\n /9j/4AAQSkZJRgABAQEASABIAAD/2wBDAAMCAgMCAgMDAwMEAwMEBQgFBQQEBQoHBwYIDAoMDAsKCwsN";
        QTest::newRow("a card larger than a piece first") << huge + "\r\nEND:VCARD\r\n" + variedBook(6000, 4) << true;
        QTest::newRow("utf-8 byte-order mark") << "\xEF\xBB\xBF" + variedBook(6000, 5) << true;
        // Blank lines between cards leave no place cardBoundary vouches for:
        // past the largest card the source cuts before a BEGIN line.
        const QByteArray note = "NOTE:" + QByteArray(1000, 'n') + "\r\n";
        QByteArray spaced;
        for (int i = 0; spaced.size() <= 33 * 1024 * 1024; ++i)
            spaced += "BEGIN:VCARD\r\nFN:Spaced " + QByteArray::number(i) + "\r\n" + note + "END:VCARD\r\n\r\n";
        QTest::newRow("blank lines between cards, past the largest card") << spaced << false;
        QTest::newRow("empty") << QByteArray() << false;
    }

    void vcardFileSameAsReadWhole()
    {
        QFETCH(QByteArray, book);
        QFETCH(bool, cutPastOnePiece);
        // The row tests what it says.
        const std::string_view data(book.constData(), static_cast<size_t>(book.size()));
        if (cutPastOnePiece)
            QVERIFY(vcard::cardBoundary(data, kPieceBytes) != std::string_view::npos);
        else if (!book.isEmpty())
            QVERIFY(book.size() > kPieceBytes && vcard::cardBoundary(data, 0) == std::string_view::npos);

        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("book.vcf"));
        writeFile(path, book);
        std::vector<Contact> expected;
        readWhole(book, expected);
        QVERIFY(!book.isEmpty() == !expected.empty());
        checkSource(path, expected);
    }

    // A folder of a few hundred files, one of them large, read by several
    // threads a few dozen files at a time: file after file, each as if read
    // whole.
    void vcardFolderSameAsEachFileReadWhole()
    {
        QTemporaryDir dir;
        std::vector<Contact> expected;
        constexpr int kFiles = 300;
        for (int f = 0; f < kFiles; ++f) {
            QByteArray book = variedBook(f % 7, static_cast<unsigned>(100 + f));
            if (f == 150)
                book = variedBook(12000, 6); // several pieces' worth
            else if (f == 151)
                book = utf16(variedBook(40, 7), true);
            const char *suffix = f % 40 == 3 ? ".VCF" : f % 40 == 4 ? ".vcard" : ".vcf";
            writeFile(
                dir.filePath(QStringLiteral("book-%1%2").arg(f, 4, 10, QLatin1Char('0')).arg(QLatin1String(suffix))),
                book);
            readWhole(book, expected);
        }
        writeFile(dir.filePath(QStringLiteral("ignored.txt")), variedBook(10, 8));
        QVERIFY(expected.size() > 12000);
        checkSource(dir.path(), expected);
    }

    // The real-world files: the corpus folder walked file by file, and all
    // its files (those in UTF-8 or 8-bit) laid end to end, over and over,
    // into one file of several pieces.
    void vcardCorpusSameAsReadWhole()
    {
        QUARRELBY_REQUIRE_CORPUS(folder, "vcard");
        // Every file there is a .vcf; the source takes them in byte order.
        QByteArrayList names;
        for (const QString &name : QDir(folder).entryList(QDir::Files))
            names << QFile::encodeName(name);
        std::sort(names.begin(), names.end());
        std::vector<QByteArray> files;
        std::vector<Contact> expected;
        for (const QByteArray &name : names) {
            QFile file(folder + QLatin1Char('/') + QFile::decodeName(name));
            QVERIFY(file.open(QIODevice::ReadOnly));
            files.push_back(file.readAll());
            readWhole(files.back(), expected);
        }
        QVERIFY(!files.empty());
        checkSource(folder, expected);
        if (QTest::currentTestFailed())
            return;
        expected.clear();

        QByteArray round;
        for (const QByteArray &text : files) {
            if (!vcard::utf8FromUtf16(std::string_view(text.constData(), static_cast<size_t>(text.size()))).isEmpty())
                continue;
            round += text;
        }
        QByteArray book;
        while (book.size() < 3 * kPieceBytes)
            book += round;
        const std::string_view data(book.constData(), static_cast<size_t>(book.size()));
        QVERIFY(vcard::cardBoundary(data, kPieceBytes) != std::string_view::npos);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("corpus.vcf"));
        writeFile(path, book);
        readWhole(book, expected);
        checkSource(path, expected);
    }

    // A walk given up anywhere ends its threads with it: nothing hangs, and
    // under the sanitizers nothing leaks. The books hold more than the
    // source reads ahead, so that its threads are still at work, or waiting
    // for the walk, when it goes.
    void vcardSourceDestroyedDuringTheWalk_data()
    {
        QTest::addColumn<bool>("folder");
        QTest::addColumn<int>("taken"); // -1: to the end; -2: made, never walked
        for (const bool folder : {false, true}) {
            const auto row = [folder](const char *when, int taken) {
                QTest::newRow(qPrintable(QLatin1String(folder ? "folder, " : "file, ") + QLatin1String(when)))
                    << folder << taken;
            };
            row("before the first contact", 0);
            row("made, never walked", -2);
            row("after the first contact", 1);
            row("in the middle", 9000);
            row("at the end", -1);
        }
    }

    void vcardSourceDestroyedDuringTheWalk()
    {
        QFETCH(bool, folder);
        QFETCH(int, taken);
        QTemporaryDir dir;
        QString location = dir.filePath(QStringLiteral("book.vcf"));
        std::vector<Contact> expected;
        if (folder) {
            location = dir.path();
            for (int f = 0; f < 300; ++f) {
                const QByteArray book = variedBook(30, static_cast<unsigned>(f)) + smallCards(120);
                writeFile(dir.filePath(QStringLiteral("b%1.vcf").arg(f, 3, 10, QLatin1Char('0'))), book);
                readWhole(book, expected);
            }
        } else {
            const QByteArray book = variedBook(10000, 9) + smallCards(60000);
            writeFile(location, book);
            readWhole(book, expected);
        }
        QVERIFY(expected.size() > 40000);

        auto source = std::make_unique<ReadAhead>(vcardBook(QFile::encodeName(location)), QByteArray());
        if (taken == -2) {
            source.reset();
            return;
        }
        Contact contact;
        const size_t count = taken == -1 ? expected.size() : static_cast<size_t>(taken);
        for (size_t i = 0; i < count; ++i) {
            QVERIFY(source->next(contact));
            if (i == 0 || i + 1 == count)
                QCOMPARE(contactFields(contact), contactFields(expected[i]));
        }
        if (taken == -1)
            QVERIFY(!source->next(contact));
        source.reset();
    }

    // The window starts the store when it opens; a card edited in place
    // (same size, so only its times tell) before the click must show as it
    // is at the click, however soon after.
    // A walk opened whole hands each contact's card as the book holds it:
    // read alone, it gives the same contact, and the cards follow each other
    // through the book's text. The table's walk hands none.
    void wholeCards_data()
    {
        QTest::addColumn<QList<QByteArray>>("files");
        QTest::newRow("few cards, read on the walk's thread") << QList<QByteArray> {variedBook(40, 7)};
        QTest::newRow("large file, read on threads") << QList<QByteArray> {variedBook(6000, 8)};
        QTest::newRow("folder") << QList<QByteArray> {variedBook(30, 9), smallCards(3), variedBook(30, 10)};
    }

    void wholeCards()
    {
        QFETCH(QList<QByteArray>, files);
        QTemporaryDir dir;
        QByteArray all;
        for (qsizetype i = 0; i < files.size(); ++i) {
            writeFile(dir.filePath(QStringLiteral("%1.vcf").arg(i)), files[i]);
            all += files[i];
        }
        const QString location = files.size() == 1 ? dir.filePath(QStringLiteral("0.vcf")) : dir.path();
        const std::unique_ptr<ContactWalk> walk = ContactStore(location).openWhole();
        // The same walk with each card made into something else where it
        // is parsed: what was made comes in the card's place, with the uid.
        struct Bracket : CardTransform {
            void transform(std::string_view text, std::string &out, Omissions &omitted) override
            {
                out.append("[").append(text).append("]");
                omitted.add(Omission::Photo);
            }
        };
        ContactStore store(location);
        const std::unique_ptr<ContactWalk> made
            = store.open(store.find(), true, [] { return std::make_unique<Bracket>(); });
        Contact contact;
        Contact madeContact;
        std::string_view card;
        std::string_view madeCard;
        qsizetype at = 0;
        int count = 0;
        vcard::ContactReader reader;
        while (walk->nextWhole(contact, card)) {
            QVERIFY(made->nextWhole(madeContact, madeCard));
            QCOMPARE(madeCard, "[" + std::string(card) + "]");
            QCOMPARE(madeContact.uid, contact.uid);
            QCOMPARE(madeContact.omitted[Omission::Photo], 1u);
            const QByteArray text(card.data(), static_cast<qsizetype>(card.size()));
            const qsizetype found = all.indexOf(text, at);
            QVERIFY2(!text.isEmpty() && found >= at, qPrintable(QStringLiteral("card %1 not in order").arg(count)));
            at = found + text.size();
            const std::vector<Contact> alone = vcard::readContacts(card, reader);
            QCOMPARE(alone.size(), size_t(1));
            QVERIFY2(sameContact(alone[0], contact), qPrintable(QString::fromUtf8(text)));
            ++count;
        }
        std::vector<Contact> expected;
        for (const QByteArray &file : files)
            readWhole(file, expected);
        QCOMPARE(size_t(count), expected.size());
        QVERIFY(!made->nextWhole(madeContact, madeCard));

        const std::unique_ptr<ContactWalk> table = ContactStore(location).open();
        QVERIFY(table->nextWhole(contact, card));
        QVERIFY(card.empty());
    }

    void bookEditedAfterStart_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("file") << "file";
        QTest::newRow("folder") << "folder";
        // Thunderbird at rest, then a change written back into the book, or
        // still in the log of a program that has the book open.
        QTest::newRow("Thunderbird book") << "thunderbird";
        QTest::newRow("Thunderbird book, change in its log") << "thunderbird log";
    }

    void bookEditedAfterStart()
    {
        QFETCH(QString, kind);
        QTemporaryDir dir;
        const bool database = kind.startsWith(QLatin1String("thunderbird"));
        const QString edited = dir.filePath(database ? QStringLiteral("abook.sqlite") : QStringLiteral("b.vcf"));
        writeFile(dir.filePath(QStringLiteral("a.vcf")), card("Alpha"));
        std::unique_ptr<sqlite3, decltype(&sqlite3_close)> writer(nullptr, &sqlite3_close);
        if (database) {
            sqlite3 *db = nullptr;
            QCOMPARE(sqlite3_open(QFile::encodeName(edited).constData(), &db), SQLITE_OK);
            writer.reset(db);
            QCOMPARE(sqlite3_exec(db,
                         "PRAGMA journal_mode = WAL; CREATE TABLE properties (card TEXT, name TEXT, value TEXT);"
                         "INSERT INTO properties VALUES ('c1', '_vCard', 'BEGIN:VCARD\r\nFN:Old card\r\nEND:VCARD'),"
                         " ('c2', '_vCard', 'BEGIN:VCARD\r\nFN:Omega\r\nEND:VCARD')",
                         nullptr, nullptr, nullptr),
                SQLITE_OK);
            writer.reset();
        } else {
            writeFile(edited, card("Old card") + card("Omega"));
        }
        // Times in the past: the edit must not fall on the same clock tick.
        const timespec past[2] = {{1000000000, 0}, {1000000000, 0}};
        QCOMPARE(::utimensat(AT_FDCWD, QFile::encodeName(edited).constData(), past, 0), 0);
        const QString location = kind == QLatin1String("folder") ? dir.path() : edited;
        qputenv("QUARRELBY_CONTACTS", QFile::encodeName(location));
        ContactStore store;
        (void)store.open();
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        if (database) {
            sqlite3 *db = nullptr;
            QCOMPARE(sqlite3_open(QFile::encodeName(edited).constData(), &db), SQLITE_OK);
            writer.reset(db);
            QCOMPARE(sqlite3_exec(db,
                         "PRAGMA wal_autocheckpoint = 0;"
                         "UPDATE properties SET value = replace(value, 'Old', 'New') WHERE card = 'c1'",
                         nullptr, nullptr, nullptr),
                SQLITE_OK);
            if (kind == QLatin1String("thunderbird"))
                writer.reset();
        } else {
            QFile file(edited);
            QVERIFY(file.open(QIODevice::ReadWrite));
            QVERIFY(file.seek(card("Old card").indexOf("Old")));
            QCOMPARE(file.write("New"), 3);
        }
        const Extraction extraction(location, &store);
        QCOMPARE(extraction.shell.texts(), QStringList());
        QStringList expected {"New card", "Omega"};
        if (kind == QLatin1String("folder"))
            expected.prepend(QStringLiteral("Alpha"));
        QCOMPARE(extraction.names(), expected);
    }
};

QTEST_GUILESS_MAIN(TestContactStore)
#include "tst_contactstore.moc"
