#include "Corpus.h"
#include "format/vcard/VCardReader.h"
#include "format/vcard/VCardText.h"
#include "platform/Failure.h"
#include "platform/contacts/OutlookDataFile.h"
#include "platform/contacts/ReadAhead.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace quarrelby;

namespace {

// An Outlook data file of the shared test corpus.
#define CORPUS_FILE(variable, name)                                                                                    \
    QUARRELBY_REQUIRE_CORPUS(variable##Folder, "pst");                                                                 \
    const QString variable = variable##Folder + QLatin1Char('/') + QLatin1String(name);                                \
    QVERIFY2(QFileInfo::exists(variable), qPrintable(variable))

// What one walk over a file gave: the contacts and, in between, the errors.
struct Walk {
    std::vector<Contact> contacts;
    QStringList events; // full names, and "error: <text>"

    explicit Walk(const QByteArray &path)
    {
        ReadAhead source(outlookDataFile(path), path);
        for (int calls = 0; calls < 1000; ++calls) {
            try {
                Contact contact;
                if (!source.next(contact))
                    return;
                events << contact.text(FullName);
                contacts.push_back(std::move(contact));
            } catch (const Failure &error) {
                events << QStringLiteral("error: ") + error.description();
            }
        }
        qFatal("the walk does not end");
    }
    explicit Walk(const QString &path)
        : Walk(QFile::encodeName(path))
    {
    }
};

QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(bytes), bytes.size());
}

// Each contact of a file whole, as "NAME:value" lines, by its full name.
QMap<QString, QStringList> wholeCards(const QString &path)
{
    QMap<QString, QStringList> byName;
    ReadAhead source(outlookDataFile(QFile::encodeName(path)), QFile::encodeName(path), true);
    Contact contact;
    std::string_view text;
    while (source.next(contact, &text)) {
        vcard::Reader reader(text);
        vcard::Card card;
        vcard::TextDecoder decoder;
        vcard::ValueReader values(decoder);
        QStringList lines;
        while (reader.next(card)) {
            values.setCard(card);
            for (const vcard::Property &p : card.properties()) {
                const std::string_view value = values.utf8(p);
                lines << QString::fromUtf8(p.name.data(), qsizetype(p.name.size())) + QLatin1Char(':')
                        + QString::fromUtf8(value.data(), qsizetype(value.size()));
            }
        }
        byName.insert(contact.text(FullName), lines);
    }
    return byName;
}

// The components of a structured value as written in a vCard, escapes
// resolved.
QStringList components(const QString &written)
{
    QStringList parts {QString()};
    for (qsizetype i = 0; i < written.size(); ++i) {
        const QChar c = written[i];
        if (c == QLatin1Char('\\') && i + 1 < written.size()) {
            const QChar next = written[++i];
            parts.last() += next == QLatin1Char('n') || next == QLatin1Char('N') ? QChar(QLatin1Char('\n')) : next;
        } else if (c == QLatin1Char(';')) {
            parts << QString();
        } else {
            parts.last() += c;
        }
    }
    return parts;
}

// What pffexport shows of each contact and list of a file: its label and
// value pairs of the item's own section, by the item's display name.
QMap<QString, QList<QPair<QString, QString>>> pffexportItems(const QString &path, const QString &folder)
{
    QProcess pffexport;
    pffexport.start(
        QStringLiteral("pffexport"), {QStringLiteral("-q"), QStringLiteral("-t"), folder + QStringLiteral("/x"), path});
    pffexport.waitForFinished(60000);
    QMap<QString, QList<QPair<QString, QString>>> items;
    QDirIterator it(folder, {QStringLiteral("Contact.txt"), QStringLiteral("DistributionList.txt")}, QDir::Files,
        QDirIterator::Subdirectories);
    while (it.hasNext()) {
        QFile file(it.next());
        if (!file.open(QIODevice::ReadOnly))
            continue;
        QString displayName;
        QList<QPair<QString, QString>> fields;
        bool own = false; // past the Message: section
        for (const QString &line : QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'))) {
            if (line == QLatin1String("Contact:") || line == QLatin1String("Distribution list:"))
                own = true;
            const qsizetype colon = line.indexOf(QLatin1String(":\t"));
            if (colon < 0)
                continue;
            const QString label = line.left(colon);
            const QString value = line.mid(colon + 1).trimmed();
            if (label == QLatin1String("Display name"))
                displayName = value;
            else if (own && !value.isEmpty())
                fields.append({label, value});
        }
        items.insert(displayName, fields);
    }
    return items;
}

const QStringList kAsposeNames = {QStringLiteral("Sebastian Wright"), QStringLiteral("Wichert Kroos"),
    QStringLiteral("Christoffer van de Meeberg"), QStringLiteral("Margaret J. Tolle"),
    QStringLiteral("Matthew R. Wilcox"), QStringLiteral("Bertha A. Buell")};

} // namespace

class TestOutlookDataFile : public QObject {
    Q_OBJECT

private slots:
    void recognisedByContent_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("outlook");
        QTest::newRow("unicode file") << QByteArray("!BDN\x12\x34SM\x17\x00", 10) << true;
        QTest::newRow("signature only") << QByteArray("!BDN") << true;
        QTest::newRow("too short") << QByteArray("!BD") << false;
        QTest::newRow("empty") << QByteArray() << false;
        QTest::newRow("other case") << QByteArray("!bdn") << false;
        QTest::newRow("SQLite") << QByteArray("SQLite format 3\0", 16) << false;
        QTest::newRow("vCard") << QByteArray("BEGIN:VCARD\r\n") << false;
    }
    void recognisedByContent()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, outlook);
        QCOMPARE(isOutlookDataFile(bytes), outlook);
    }

    // The richest contact of the sample file, every cell of it.
    void sampleContacts()
    {
        CORPUS_FILE(path, "aspose-samplecontacts-6contacts-unicode.pst");
        const QByteArray before = fileBytes(path);
        const Walk walk(path);
        QCOMPARE(walk.events, kAsposeNames);
        QCOMPARE(isOutlookDataFile(before.left(4)), true);

        const Contact &tolle = walk.contacts[3];
        QVERIFY(!tolle.distributionList);
        QStringList expected(kContactPropertyCount);
        expected[FullName] = QStringLiteral("Margaret J. Tolle");
        expected[JobTitle] = QStringLiteral("Recording engineer");
        expected[CompanyName] = QStringLiteral("Adaptaz");
        expected[FileAs] = QStringLiteral("Tolle, Margaret J.");
        expected[Email1Address] = QStringLiteral("MargaretJTolle@dayrep.com");
        expected[BusinessTelephoneNumber] = QStringLiteral("(08)9080-1183");
        expected[MobileTelephoneNumber] = QStringLiteral("(925)599-3355(925)599-3355"); // as the file has it
        expected[BusinessAddress] = QStringLiteral("4 Darwinia Loop EIGHTY MILE BEACH WA 6725");
        for (int i = 0; i < kContactPropertyCount; ++i) {
            if (i == Birthday)
                QVERIFY(!tolle.value(i).isValid());
            else
                QVERIFY2(tolle.text(i) == expected[i],
                    qPrintable(contactPropertyName(i) + QStringLiteral(": ") + tolle.text(i)));
        }
        // A primary telephone number, and the personal home page that is not
        // Outlook's WebPage.
        const Contact &buell = walk.contacts[5];
        QCOMPARE(buell.text(PrimaryTelephoneNumber), QStringLiteral("06605045265"));
        QCOMPARE(buell.text(WebPage), QString());
        QCOMPARE(fileBytes(path), before);
    }

    // Lists come flagged, appointments and free/busy items not at all.
    void distributionListsAndOtherItems_data()
    {
        QTest::addColumn<QString>("file");
        QTest::newRow("lists") << QStringLiteral("javalibpst-distlist-contact-unicode.pst");
        QTest::newRow("password") << QStringLiteral("javalibpst-password-protected-unicode.pst");
    }
    void distributionListsAndOtherItems()
    {
        QFETCH(QString, file);
        CORPUS_FILE(path, file.toLatin1().constData());
        const Walk walk(path);
        QCOMPARE(walk.events, QStringList({QStringLiteral("test dist list"), QStringLiteral("contact name 1")}));
        QVERIFY(walk.contacts[0].distributionList);
        QVERIFY(!walk.contacts[1].distributionList);
        QCOMPARE(walk.contacts[1].text(FileAs), QStringLiteral("1, contact name"));
        QCOMPARE(walk.contacts[1].text(Email1Address), QStringLiteral("contact1@rjohnson.id.au"));
    }

    void noContacts()
    {
        CORPUS_FILE(path, "gopst-ansi-32bit-nocontacts.pst");
        QCOMPARE(Walk(path).events, QStringList());
    }

    // A file that cannot be opened is one error naming it, at the first
    // next() and not before, and then the end of the walk.
    void unreadableFiles()
    {
        CORPUS_FILE(truncated, "malformed-truncated-header-40bytes.pst");
        QTemporaryDir dir;
        // A name that is not UTF-8 is used as it is, and shown as Qt decodes it.
        const QByteArray nonUtf8 = QFile::encodeName(dir.path()) + "/caf\xe9.pst";
        {
            const QByteArray bytes = fileBytes(truncated);
            const int fd = ::open(nonUtf8.constData(), O_WRONLY | O_CREAT | O_EXCL, 0644);
            QVERIFY(fd >= 0);
            QCOMPARE(::write(fd, bytes.constData(), size_t(bytes.size())), ssize_t(bytes.size()));
            ::close(fd);
        }
        const QString empty = dir.filePath(QStringLiteral("empty.pst"));
        writeFile(empty, {});
        const QString text = dir.filePath(QStringLiteral("notes.pst"));
        writeFile(text, QByteArray("BEGIN:VCARD\r\nFN:Ann\r\nEND:VCARD\r\n").repeated(100));

        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("folder.pst")));
        // Nobody writes into the pipe: opening it for libpff would wait forever.
        QCOMPARE(::mkfifo(QFile::encodeName(dir.filePath(QStringLiteral("pipe.pst"))).constData(), 0600), 0);

        const struct {
            QByteArray path;
            QString reason;
        } cases[] = {
            {QFile::encodeName(truncated), QStringLiteral("it is damaged or not an Outlook data file")},
            {nonUtf8, QStringLiteral("it is damaged or not an Outlook data file")},
            {QFile::encodeName(empty), QStringLiteral("it is damaged or not an Outlook data file")},
            {QFile::encodeName(text), QStringLiteral("it is damaged or not an Outlook data file")},
            {QFile::encodeName(dir.filePath(QStringLiteral("missing.pst"))), QStringLiteral("No such file")},
            {QFile::encodeName(dir.filePath(QStringLiteral("folder.pst"))), QStringLiteral("Is a directory")},
            {QFile::encodeName(dir.filePath(QStringLiteral("pipe.pst"))), QStringLiteral("Not a regular file")},
        };
        for (const auto &c : cases) {
            const QStringList events = Walk(c.path).events;
            QCOMPARE(events.size(), 1);
            const QString prefix
                = QStringLiteral("error: The Outlook data file \"%1\" cannot be read: ").arg(QFile::decodeName(c.path));
            QVERIFY2(events[0].startsWith(prefix + c.reason), qPrintable(events[0]));
        }
        ::unlink(nonUtf8.constData()); // a name QTemporaryDir cannot remove
        const auto lazy = outlookDataFile(QFile::encodeName(dir.filePath(QStringLiteral("missing.pst"))));
        QVERIFY(lazy != nullptr);
    }

    // The vCard of each item holds everything libpff's own export shows of
    // it: the name and its parts, every e-mail address and telephone number,
    // the parts of its address, company and title; a list's members.
    void wholeItemsAsPffexportShowsThem_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QStringList>("members");
        QTest::newRow("contacts") << QStringLiteral("aspose-samplecontacts-6contacts-unicode.pst") << QStringList();
        const QStringList members {QStringLiteral("MEMBER:mailto:contact1@rjohnson.id.au"),
            QStringLiteral("MEMBER:mailto:dist1@rjohnson.id.au"), QStringLiteral("MEMBER:mailto:dist2@rjohnson.id.au")};
        QTest::newRow("a list") << QStringLiteral("javalibpst-distlist-contact-unicode.pst") << members;
        QTest::newRow("password") << QStringLiteral("javalibpst-password-protected-unicode.pst") << members;
    }
    void wholeItemsAsPffexportShowsThem()
    {
        QFETCH(QString, file);
        QFETCH(QStringList, members);
        CORPUS_FILE(path, file.toLatin1().constData());
        if (QStandardPaths::findExecutable(QStringLiteral("pffexport")).isEmpty())
            QSKIP("pffexport (pff-tools) is not installed");
        QTemporaryDir dir;
        const auto items = pffexportItems(path, dir.path());
        const QMap<QString, QStringList> cards = wholeCards(path);
        QCOMPARE(cards.keys(), items.keys());
        // Where each label's value is: a property, and the component of it.
        static const QMap<QString, QPair<QString, int>> kWhere {
            {QStringLiteral("File under"), {QStringLiteral("X-EVOLUTION-FILE-AS"), 0}},
            {QStringLiteral("Surname"), {QStringLiteral("N"), 0}},
            {QStringLiteral("Given name"), {QStringLiteral("N"), 1}},
            {QStringLiteral("Generational abbreviation"), {QStringLiteral("N"), 4}},
            {QStringLiteral("Company name"), {QStringLiteral("ORG"), 0}},
            {QStringLiteral("Department name"), {QStringLiteral("ORG"), 1}},
            {QStringLiteral("Job title"), {QStringLiteral("TITLE"), 0}},
            {QStringLiteral("Locality"), {QStringLiteral("ADR"), 3}},
            {QStringLiteral("Country"), {QStringLiteral("ADR"), 6}},
            {QStringLiteral("Name"), {QStringLiteral("FN"), 0}}, // a list's
        };
        for (auto item = items.begin(); item != items.end(); ++item) {
            const QStringList &card = cards[item.key()];
            for (const auto &[label, value] : item.value()) {
                // Outlook's initials have no place in a vCard.
                if (label == QLatin1String("Initials"))
                    continue;
                QString name;
                int component = 0;
                if (label.startsWith(QLatin1String("Email address")))
                    name = QStringLiteral("EMAIL");
                else if (label.contains(QLatin1String("phone number")) || label.contains(QLatin1String("fax")))
                    name = QStringLiteral("TEL");
                else if (kWhere.contains(label))
                    std::tie(name, component) = kWhere[label];
                QVERIFY2(!name.isEmpty(), qPrintable(QStringLiteral("pffexport shows \"%1\"").arg(label)));
                const bool found = std::any_of(card.begin(), card.end(), [&](const QString &line) {
                    return line.section(QLatin1Char(':'), 0, 0) == name
                        && components(line.section(QLatin1Char(':'), 1)).value(component) == value;
                });
                QVERIFY2(found,
                    qPrintable(item.key() + QStringLiteral(": ") + label + QStringLiteral(" ") + value
                        + card.join(QLatin1Char(0x7c))));
            }
            if (card.contains(QStringLiteral("KIND:group"))) {
                QStringList listed = card.filter(QRegularExpression(QStringLiteral("^MEMBER:")));
                QCOMPARE(listed, members);
            }
        }
    }

    // A damaged item is reported in its place, naming the file, and the
    // contacts after it are still read. The bytes flipped here hold the
    // second contact's property table.
    void damagedItem()
    {
        CORPUS_FILE(path, "aspose-samplecontacts-6contacts-unicode.pst");
        QByteArray bytes = fileBytes(path);
        for (int i = 25088; i < 25088 + 512; ++i)
            bytes[i] = static_cast<char>(bytes[i] ^ 0x5A);
        QTemporaryDir dir;
        const QString copy = dir.filePath(QStringLiteral("damaged.pst"));
        writeFile(copy, bytes);
        QStringList events = Walk(copy).events;
        QCOMPARE(events.size(), 6);
        const QString error = events.takeAt(1);
        QVERIFY2(error.startsWith(
                     QStringLiteral("error: An item in the Outlook data file \"%1\" cannot be read: ").arg(copy)),
            qPrintable(error));
        QStringList expected = kAsposeNames;
        expected.removeAt(1);
        QCOMPARE(events, expected);
    }

    // Reading leaves the file and its folder as they were.
    void readOnly()
    {
        CORPUS_FILE(path, "javalibpst-distlist-contact-unicode.pst");
        QTemporaryDir dir;
        const QString copy = dir.filePath(QStringLiteral("Outlook.pst"));
        QVERIFY(QFile::copy(path, copy));
        QVERIFY(QFile::setPermissions(copy, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
        const QByteArray before = fileBytes(copy);
        const QDateTime modified = QFileInfo(copy).lastModified();
        QCOMPARE(Walk(copy).contacts.size(), size_t(2));
        QCOMPARE(fileBytes(copy), before);
        QCOMPARE(QFileInfo(copy).lastModified(), modified);
        QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
            QStringList({QStringLiteral("Outlook.pst")}));
    }
};

QTEST_GUILESS_MAIN(TestOutlookDataFile)
#include "tst_outlookdatafile.moc"
