#include "ContactFields.h"
#include "Corpus.h"
#include "format/vcard/VCardContact.h"
#include "format/vcard/VCardReader.h"
#include "format/vcard/VCardText.h"

#include <QDate>
#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QRegularExpression>
#include <QTest>

#include <string>
#include <string_view>
#include <vector>

using namespace quarrelby;
using namespace quarrelby::vcard;

namespace {

std::vector<Contact> readAll(const QByteArray &text)
{
    ContactReader contactReader;
    std::vector<Contact> contacts
        = readContacts(std::string_view(text.constData(), static_cast<size_t>(text.size())), contactReader);
    return contacts;
}

Contact readOne(const QByteArray &body, const QByteArray &version = "3.0")
{
    const auto contacts = readAll("BEGIN:VCARD\r\nVERSION:" + version + "\r\n" + body + "END:VCARD\r\n");
    return contacts.empty() ? Contact {} : contacts.front();
}

template <size_t N> QByteArray bytes(const char (&text)[N])
{
    return QByteArray(text, static_cast<qsizetype>(N - 1));
}

QString property(const Contact &contact, const char *name)
{
    const int index = contactPropertyIndex(QString::fromLatin1(name));
    return index < 0 ? QStringLiteral("<unknown>") : contact.value(index).toString();
}

// The contacts of one piece of a book, read as the contact store reads it:
// UTF-16 converted first, one contact reader kept from piece to piece.
void readPiece(std::string_view piece, ContactReader &contactReader, QList<QStringList> &out)
{
    for (const Contact &contact : readContacts(piece, contactReader))
        out << contactFields(contact);
}

// Every place cardBoundary offers, looking on from just past the last one.
// A place before where it was asked to look ends the list (and fails the
// order check of the caller).
std::vector<size_t> boundaries(std::string_view data)
{
    std::vector<size_t> cuts;
    size_t from = 0;
    while (true) {
        const size_t cut = cardBoundary(data, from);
        if (cut == std::string_view::npos)
            break;
        cuts.push_back(cut);
        if (cut < from || cut >= data.size())
            break;
        from = cut + 1;
    }
    return cuts;
}

constexpr int kAnyCuts = -1;
constexpr int kSomeCuts = -2;

// Cuts text at every boundary at once and reads the pieces one after the
// other: the contacts must be those of the whole, property for property.
void checkCutsReadAsWhole(const QByteArray &text, int expectedCuts)
{
    const std::string_view data(text.constData(), static_cast<size_t>(text.size()));
    const std::vector<size_t> cuts = boundaries(data);

    // Each cut starts a BEGIN line right after an END line of its own, at
    // a line start: never inside a folded or joined line.
    static const QRegularExpression endLine(
        QStringLiteral("(^|[\\r\\n])END:VCARD[ \\t]*(\\r\\n|\\r|\\n)$"), QRegularExpression::CaseInsensitiveOption);
    size_t last = 0;
    for (const size_t cut : cuts) {
        QVERIFY2(cut > last && cut < data.size(), qPrintable(QString::number(cut)));
        last = cut;
        const QByteArray at = text.mid(static_cast<qsizetype>(cut), 5).toUpper();
        QVERIFY2(at == "BEGIN", qPrintable(QStringLiteral("at %1: %2").arg(cut).arg(QString::fromLatin1(at))));
        const qsizetype tail = std::min<qsizetype>(static_cast<qsizetype>(cut), 40);
        const QString before = QString::fromLatin1(text.mid(static_cast<qsizetype>(cut) - tail, tail));
        QVERIFY2(endLine.match(before).hasMatch(), qPrintable(QStringLiteral("at %1 after %2").arg(cut).arg(before)));
    }

    QList<QStringList> whole;
    ContactReader wholeReader;
    readPiece(data, wholeReader, whole);
    QList<QStringList> pieces;
    ContactReader pieceReader;
    size_t start = 0;
    for (size_t i = 0; i <= cuts.size(); ++i) {
        const size_t end = i < cuts.size() ? cuts[i] : data.size();
        readPiece(data.substr(start, end - start), pieceReader, pieces);
        start = end;
    }
    QCOMPARE(pieces.size(), whole.size());
    for (qsizetype c = 0; c < whole.size(); ++c) {
        if (pieces[c] != whole[c])
            QCOMPARE(pieces[c].join(QLatin1Char('|')), whole[c].join(QLatin1Char('|')));
    }
    // Last, as the least of faults: a place missed, or one too many that
    // happened to do no harm here.
    if (expectedCuts == kSomeCuts)
        QVERIFY(!cuts.empty());
    else if (expectedCuts != kAnyCuts)
        QCOMPARE(static_cast<int>(cuts.size()), expectedCuts);
}

QByteArray cards(QByteArrayList names, const QByteArray &eol)
{
    QByteArray text;
    for (const QByteArray &name : names)
        text += "BEGIN:VCARD" + eol + "VERSION:3.0" + eol + "FN:" + name + eol + "END:VCARD" + eol;
    return text;
}

} // namespace

class TestVCardReader : public QObject {
    Q_OBJECT

private slots:
    // One property of a one-card file: the mapping from vCard to Outlook.
    void mapping_data()
    {
        QTest::addColumn<QByteArray>("version");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QString>("property");
        QTest::addColumn<QString>("expected");

        auto row = [](const char *tag, const char *version, const char *body, const char *name, const QString &value) {
            QTest::newRow(tag) << QByteArray(version) << QByteArray(body) << QString::fromLatin1(name) << value;
        };
        auto s = [](const char *utf8) { return QString::fromUtf8(utf8); };

        // vCard 2.1 as Outlook writes it.
        row("2.1 bare types work fax", "2.1", "TEL;WORK;FAX:+1 555 0199\r\n", "BusinessFaxNumber", s("+1 555 0199"));
        row("2.1 bare types home voice", "2.1", "TEL;HOME;VOICE:+1 555 0101\r\n", "HomeTelephoneNumber",
            s("+1 555 0101"));
        row("2.1 qp crlf label", "2.1",
            "LABEL;WORK;PREF;ENCODING=QUOTED-PRINTABLE:1 Main St=0D=0AAustin, TX  78701\r\n", "BusinessAddress",
            s("1 Main St\r\nAustin, TX  78701"));
        row("2.1 qp soft break", "2.1", "NOTE;ENCODING=QUOTED-PRINTABLE:first part=\r\n and second\r\n", "Body",
            s("first part and second"));
        row("2.1 windows-1252 qp", "2.1",
            "NOTE;CHARSET=Windows-1252;ENCODING=QUOTED-PRINTABLE:Caf=E9 =80 5=0D=0Aline two\r\n", "Body",
            s("Café € 5\r\nline two"));
        row("2.1 raw 8-bit without charset", "2.1",
            "FN:Jos\xe9 Garc\xed"
            "a\r\n",
            "FullName", s("José García"));
        row("2.1 raw 8-bit charset", "2.1", "FN;CHARSET=WINDOWS-1253:\xcd\xdf\xea\xef\xf2\r\n", "FullName", s("Νίκος"));
        row("2.1 valid utf-8 beats charset", "2.1", "FN;CHARSET=ISO-8859-1:Zo\xc3\xab\r\n", "FullName", s("Zoë"));
        row("2.1 unknown charset falls back", "2.1", "FN;CHARSET=X-NO-SUCH:Zo\xeb\r\n", "FullName", s("Zoë"));
        row("2.1 keeps backslash n", "2.1", "NOTE:C:\\new folder\r\n", "Body", s("C:\\new folder"));
        row("x-ms-tel callback", "2.1", "X-MS-TEL;VOICE;CALLBACK:+1 555 0120\r\n", "CallbackTelephoneNumber",
            s("+1 555 0120"));
        row("x-ms-tel type callback", "3.0", "X-MS-TEL;TYPE=CALLBACK:+1 555 0121\r\n", "CallbackTelephoneNumber",
            s("+1 555 0121"));
        row("x-ms-tel tty/tdd", "2.1", "X-MS-TEL;TYPE=TTY/TDD:+1 555 0122\r\n", "TTYTDDTelephoneNumber",
            s("+1 555 0122"));
        row("backslash continues a line", "2.1", "ADR;HOME:;;Line 1\\\r\nLine 2;Town;;;\r\n", "HomeAddress",
            s("Line 1\r\nLine 2\r\nTown"));
        row("ms assistant name", "2.1", "X-MS-ASSISTANT:Lucy\r\n", "AssistantName", s("Lucy"));
        row("ms im address", "2.1", "X-AIM:aim1\r\nX-MS-IMADDRESS:im@example.org\r\n", "IMAddress",
            s("im@example.org"));

        // vCard 3.0, Apple and Google.
        row("apple assistant label", "3.0", "item2.TEL:+1 555 0130\r\nitem2.X-ABLabel:_$!<AssistantPhone>!$_\r\n",
            "AssistantTelephoneNumber", s("+1 555 0130"));
        row("apple home fax label", "3.0", "item1.TEL:+1 555 0131\r\nitem1.X-ABLabel:_$!<HomeFAX>!$_\r\n",
            "HomeFaxNumber", s("+1 555 0131"));
        row("apple other fax label", "3.0", "item1.TEL:+1 555 0132\r\nitem1.X-ABLabel:_$!<OtherFAX>!$_\r\n",
            "OtherFaxNumber", s("+1 555 0132"));
        row("apple label of other group ignored", "3.0", "item1.TEL:+1 555 0133\r\nitem2.X-ABLabel:_$!<Pager>!$_\r\n",
            "OtherTelephoneNumber", s("+1 555 0133"));
        row("apple birthday without year", "3.0", "BDAY;X-APPLE-OMIT-YEAR=1604:1604-03-15\r\n", "Birthday",
            s("--03-15"));
        row("google workfax type", "3.0", "TEL;TYPE=workfax:+1 555 0134\r\n", "BusinessFaxNumber", s("+1 555 0134"));
        row("escapes", "3.0", "NOTE:a\\, b\\; c\\\\d\\ne\r\n", "Body", s("a, b; c\\d\r\ne"));
        row("folded line", "3.0", "NOTE:abc\r\n def\r\n\tghi\r\n", "Body", s("abcdefghi"));
        row("lf only and folded", "3.0", "NOTE:abc\n def\n", "Body", s("abcdef"));
        row("several notes", "3.0", "NOTE:one\r\nNOTE:two\r\n", "Body", s("one\r\ntwo"));
        row("evolution file-as", "3.0", "N:Doe;John;;;\r\nX-EVOLUTION-FILE-AS:Johnny\r\n", "FileAs", s("Johnny"));
        row("file-as from n", "3.0", "N:Doe;John;;;\r\n", "FileAs", s("Doe, John"));
        row("file-as family only", "3.0", "N:Doe;;;;\r\n", "FileAs", s("Doe"));
        row("file-as company", "3.0", "FN:Ann\r\nORG:Acme;Sales\r\n", "FileAs", s("Acme"));
        row("file-as full name", "3.0", "FN:Ann\r\n", "FileAs", s("Ann"));
        row("full name from n", "3.0", "N:Doe;John;Q;Dr.;Jr.\r\n", "FullName", s("Dr. John Q Doe Jr."));
        row("company first component", "3.0", "ORG:Acme\\; Co;Sales\r\n", "CompanyName", s("Acme; Co"));
        row("title not role", "3.0", "ROLE:Chemist\r\nTITLE:Lead\r\n", "JobTitle", s("Lead"));
        row("preferred email first", "3.0",
            "EMAIL:a@x.example\r\nEMAIL:b@x.example\r\nEMAIL;TYPE=INTERNET,PREF:c@x.example\r\n", "Email1Address",
            s("c@x.example"));
        row("email after preferred", "3.0", "EMAIL:a@x.example\r\nEMAIL;PREF=1:c@x.example\r\n", "Email2Address",
            s("a@x.example"));
        row("work url first", "3.0", "URL:http://home.example\r\nURL;TYPE=WORK:http://work.example\r\n", "WebPage",
            s("http://work.example"));
        row("kde 3/4 messaging, first of several", "3.0",
            "X-messaging/xmpp-All:ann@chat.example\xEE\x80\x80"
            "ann@work.example\r\n",
            "IMAddress", s("ann@chat.example"));
        row("kde 3/4 messaging after an older one", "3.0",
            "X-messaging/aim-All:\xEE\x80\x80"
            "ann1\r\nX-AIM:ann2\r\n",
            "IMAddress", s("ann1"));
        row("kde 3/4 messaging below impp", "4.0", "X-MESSAGING/icq-ALL:123\r\nIMPP:xmpp:ann@chat.example\r\n",
            "IMAddress", s("ann@chat.example"));
        row("impp without scheme", "4.0", "IMPP:xmpp:ann@chat.example\r\n", "IMAddress", s("ann@chat.example"));
        row("third work number dropped", "3.0", "TEL;TYPE=WORK:1\r\nTEL;TYPE=WORK:2\r\nTEL;TYPE=WORK:3\r\n",
            "OtherTelephoneNumber", QString());
        row("second home number", "3.0", "TEL;TYPE=HOME:1\r\nTEL;TYPE=HOME:2\r\n", "Home2TelephoneNumber", s("2"));
        row("pref alone is primary", "3.0", "TEL;TYPE=PREF:1\r\n", "PrimaryTelephoneNumber", s("1"));
        row("pref beside cell", "3.0", "TEL;TYPE=CELL,PREF:1\r\n", "MobileTelephoneNumber", s("1"));
        row("untyped number is other", "3.0", "TEL:1\r\nTEL:2\r\n", "OtherTelephoneNumber", s("1"));
        row("unnamed type is other", "3.0", "TEL;TYPE=MAIN:1\r\n", "OtherTelephoneNumber", s("1"));
        row("evolution prefix", "3.0", "TEL;TYPE=X-EVOLUTION-RADIO:1\r\n", "RadioTelephoneNumber", s("1"));
        row("telex", "3.0", "TEL;TYPE=TLX:1\r\n", "TelexNumber", s("1"));
        row("evolution assistant", "3.0", "X-EVOLUTION-ASSISTANT:Petra\r\n", "AssistantName", s("Petra"));

        // vCard 4.0.
        row("4.0 quoted type list", "4.0", "TEL;TYPE=\"work,voice\":+1 555 0140\r\n", "BusinessTelephoneNumber",
            s("+1 555 0140"));
        row("4.0 tel uri", "4.0", "TEL;VALUE=uri;TYPE=cell:tel:+1-555-0141\r\n", "MobileTelephoneNumber",
            s("+1-555-0141"));
        row("4.0 sort-as", "4.0", "N;SORT-AS=\"Chen,Wei\":陈;伟;;;\r\n", "FileAs", s("Chen, Wei"));
        row("4.0 adr label parameter", "4.0",
            "ADR;TYPE=work;LABEL=\"1 Main St\\nAustin, TX\":;;1 Main St;Austin;TX;;\r\n", "BusinessAddress",
            s("1 Main St\r\nAustin, TX"));
        row("4.0 adr label with caret escapes", "4.0",
            "ADR;TYPE=work;LABEL=\"1 Main St^NSuite ^'B^' ^^2\":;;1 Main St;Austin;TX;;\r\n", "BusinessAddress",
            s("1 Main St\r\nSuite \"B\" ^2"));

        // Addresses laid out from their parts.
        row("address layout", "3.0", "ADR;TYPE=WORK:;Suite 5;1 Main St;Austin;TX;78701;USA\r\n", "BusinessAddress",
            s("Suite 5\r\n1 Main St\r\nAustin, TX  78701\r\nUSA"));
        row("address without region", "3.0", "ADR;TYPE=HOME:;;Gatan 1;Stockholm;;111 22;\r\n", "HomeAddress",
            s("Gatan 1\r\nStockholm  111 22"));
        row("address without city", "3.0", "ADR;TYPE=HOME:;;;;TX;78701;\r\n", "HomeAddress", s("TX  78701"));
        row("address street lines kept", "3.0", "ADR;TYPE=HOME:;;Line 1\\nLine 2;Town;;;\r\n", "HomeAddress",
            s("Line 1\r\nLine 2\r\nTown"));
        row("address post office box kept", "3.0", "ADR;TYPE=WORK:PO Box 12;;;Oslo;;0102;\r\n", "BusinessAddress",
            s("PO Box 12\r\nOslo  0102"));
        row("untyped address is work", "3.0", "ADR:;;1 Main St;;;;\r\n", "BusinessAddress", s("1 Main St"));
        row("untyped address after work is other", "3.0", "ADR:;;Untyped;;;;\r\nADR;TYPE=WORK:;;Typed;;;;\r\n",
            "OtherAddress", s("Untyped"));
        row("label wins over parts", "3.0", "ADR;TYPE=HOME:;;Gatan 1;;;;\r\nLABEL;TYPE=HOME:Gatan 1\\nSweden\r\n",
            "HomeAddress", s("Gatan 1\r\nSweden"));

        // Birthdays.
        row("birthday missing", "3.0", "FN:x\r\n", "Birthday", QString());
        row("birthday no year basic", "4.0", "BDAY:--0315\r\n", "Birthday", s("--03-15"));
        row("birthday no year extended", "3.0", "BDAY:--03-15\r\n", "Birthday", s("--03-15"));
        row("birthday text", "4.0", "BDAY;VALUE=text:circa 1800\r\n", "Birthday", s("circa 1800"));
        row("birthday unparseable", "3.0", "BDAY:1980-02-30\r\n", "Birthday", s("1980-02-30"));
    }

    void mapping()
    {
        QFETCH(QByteArray, version);
        QFETCH(QByteArray, body);
        QFETCH(QString, property);
        QFETCH(QString, expected);
        QCOMPARE(::property(readOne(body, version), property.toLatin1().constData()), expected);
    }

    void birthdayDates_data()
    {
        QTest::addColumn<QByteArray>("value");
        QTest::addColumn<QDateTime>("expected");
        const QDateTime date(QDate(1979, 3, 15), QTime(0, 0), Qt::UTC);
        QTest::newRow("basic") << QByteArray("19790315") << date;
        QTest::newRow("extended") << QByteArray("1979-03-15") << date;
        QTest::newRow("time kept") << QByteArray("1979-03-15T10:30:00Z")
                                   << QDateTime(QDate(1979, 3, 15), QTime(10, 30), Qt::UTC);
        QTest::newRow("basic time, zone ignored")
            << QByteArray("19790315T103015-0500") << QDateTime(QDate(1979, 3, 15), QTime(10, 30, 15), Qt::UTC);
    }

    void birthdayDates()
    {
        QFETCH(QByteArray, value);
        QFETCH(QDateTime, expected);
        const QVariant birthday = readOne("BDAY:" + value + "\r\n").birthday;
        QVERIFY(birthday.typeId() == QMetaType::QDate || birthday.typeId() == QMetaType::QDateTime);
        QCOMPARE(birthday.toDateTime().date(), expected.date());
        QCOMPARE(birthday.toDateTime().time(), expected.time());
    }

    void distributionList_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<bool>("list");
        QTest::newRow("kind group") << QByteArray("KIND:group\r\n") << true;
        QTest::newRow("kind individual") << QByteArray("KIND:individual\r\n") << false;
        QTest::newRow("apple group") << QByteArray("X-ADDRESSBOOKSERVER-KIND:GROUP\r\n") << true;
        QTest::newRow("evolution list") << QByteArray("X-EVOLUTION-LIST:TRUE\r\n") << true;
        QTest::newRow("evolution not a list") << QByteArray("X-EVOLUTION-LIST:FALSE\r\n") << false;
        QTest::newRow("plain contact") << QByteArray("FN:Ann\r\n") << false;
    }

    void distributionList()
    {
        QFETCH(QByteArray, body);
        QFETCH(bool, list);
        QCOMPARE(readOne("FN:x\r\n" + body, "4.0").distributionList, list);
    }

    // What cannot be read costs the line, never the card or the file.
    void damagedInput_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QStringList>("names");

        QTest::newRow("truncated card") << QByteArray("BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Ann\r\nTEL;TYPE=WO")
                                        << QStringList {QStringLiteral("Ann")};
        QTest::newRow("junk line inside") << QByteArray("BEGIN:VCARD\nblablabla\nFN:Ann\n;;;\n:x\nEND:VCARD\n")
                                          << QStringList {QStringLiteral("Ann")};
        QTest::newRow("missing begin") << QByteArray("VERSION:3.0\nFN:Ann\nEND:VCARD\nBEGIN:VCARD\nFN:Bob\nEND:VCARD\n")
                                       << QStringList {QStringLiteral("Ann"), QStringLiteral("Bob")};
        QTest::newRow("missing end") << QByteArray("BEGIN:VCARD\nFN:Ann\nBEGIN:VCARD\nFN:Bob\nEND:VCARD\n")
                                     << QStringList {QStringLiteral("Ann"), QStringLiteral("Bob")};
        QTest::newRow("unterminated quote")
            << QByteArray("BEGIN:VCARD\nTEL;TYPE=\"work:1\nFN:Ann\nEND:VCARD\n") << QStringList {QStringLiteral("Ann")};
        QTest::newRow("qp cut short") << QByteArray("BEGIN:VCARD\nFN:Ann\nNOTE;QUOTED-PRINTABLE:abc=C3=\nEND:VCARD\n")
                                      << QStringList {QStringLiteral("Ann")};
        QTest::newRow("garbage") << bytes("\x00\xff\xfe garbage\r\n\r\n:::;;;\n\\\\\\\n=\n") << QStringList {};
        QTest::newRow("empty") << QByteArray() << QStringList {};
        QTest::newRow("utf-16 with bom") << bytes("\xff\xfe"
                                                  "B\0E\0G\0I\0N\0:\0V\0C\0A\0R\0D\0\n\0F\0N\0:\0"
                                                  "A\0n\0n\0\n\0E\0N\0D\0:\0V\0C\0A\0R\0D\0\n\0")
                                         << QStringList {QStringLiteral("Ann")};
    }

    void damagedInput()
    {
        QFETCH(QByteArray, text);
        QFETCH(QStringList, names);
        QStringList read;
        for (const Contact &contact : readAll(text))
            read << contact.text(FullName);
        QCOMPARE(read, names);
    }

    // The real-world files: none may crash the reader, and each that holds a
    // contact gives at least one.
    void corpus()
    {
        QUARRELBY_REQUIRE_CORPUS(folder, "vcard");
        const QDir dir(folder);
        const QStringList files = dir.entryList({QStringLiteral("*.vcf")}, QDir::Files, QDir::Name);
        QVERIFY(!files.isEmpty());
        for (const QString &name : files) {
            QFile file(dir.filePath(name));
            QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(name));
            const QByteArray text = file.readAll();
            const auto contacts = readAll(text);
            const bool holdsContact = text.contains("FN") || text.contains("N:") || text.contains("EMAIL");
            if (holdsContact)
                QVERIFY2(!contacts.empty(), qPrintable(name));
        }
    }

    // Spot checks on the corpus where a mistake would be easy to miss.
    void corpusValues_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<int>("card");
        QTest::addColumn<QString>("property");
        QTest::addColumn<QString>("expected");
        auto row = [](const char *file, int card, const char *name, const char *value) {
            QTest::newRow(qPrintable(QStringLiteral("%1 %2").arg(QLatin1String(file), QLatin1String(name))))
                << QString::fromLatin1(file) << card << QString::fromLatin1(name) << QString::fromUtf8(value);
        };
        row("bulk-1000-cards-30.vcf", 999, "FullName", nullptr);
        row("android-shiftjis-qp-21.vcf", 0, "Body", "メモ");
        row("win1253-greek-8bit-21.vcf", 0, "BusinessAddress", "Aθήνa");
        row("android-adr-backslash-continuation-21.vcf", 0, "HomeAddress",
            "Grindelberg 999\r\nHamburg  99999\r\nDeutschland");
        row("android-adr-backslash-continuation-21.vcf", 0, "Birthday", "2008-12-03");
        row("evil-escapes-tab-fold-30.vcf", 0, "BusinessTelephoneNumber", "+1-919-676-9515");
        row("evil-escapes-tab-fold-30.vcf", 0, "BusinessFaxNumber", "+1-919-676-9564");
        row("rfc6350-example-40.vcf", 0, "BusinessTelephoneNumber", "+1-418-656-9254;ext=102");
        row("rfc6350-example-40.vcf", 0, "MobileTelephoneNumber", "+1-418-262-6501");
        row("rfc6350-example-40.vcf", 0, "Birthday", "--02-03");
        row("malformed-missing-begin-30.vcf", 0, "Email1Address", "Frank_Dawson@Lotus.com");
    }

    void corpusValues()
    {
        QFETCH(QString, file);
        QFETCH(int, card);
        QFETCH(QString, property);
        QFETCH(QString, expected);
        QUARRELBY_REQUIRE_CORPUS(folder, "vcard");
        QFile f(folder + QLatin1Char('/') + file);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const auto contacts = readAll(f.readAll());
        QVERIFY(static_cast<int>(contacts.size()) > card);
        if (expected.isNull())
            return; // the card is there; that is the point
        QCOMPARE(::property(contacts[static_cast<size_t>(card)], property.toLatin1().constData()), expected);
    }

    // Where a book may be cut so that its pieces can be read side by side:
    // cut everywhere cardBoundary offers, the pieces read one after the
    // other give the cards of the whole.
    void cardBoundaryCutsReadAsWhole_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<int>("cuts");

        const QByteArray crlf = "\r\n";
        QTest::newRow("crlf") << cards({"Ann", "Bob", "Cy"}, crlf) << 2;
        QTest::newRow("lf only") << cards({"Ann", "Bob", "Cy"}, "\n") << 2;
        QTest::newRow("cr only: no line starts after a lf") << cards({"Ann", "Bob", "Cy"}, "\r") << 0;
        QTest::newRow("cr only after a first lf line") << "X-JUNK:1\n" + cards({"Ann", "Bob", "Cy"}, "\r") << 1;
        QTest::newRow("line ends mixed card by card")
            << cards({"Ann"}, crlf) + cards({"Bob"}, "\n") + cards({"Cy"}, "\r") + cards({"Di"}, crlf) << kSomeCuts;
        QTest::newRow("cr cr lf leaves an empty line between")
            << QByteArray("BEGIN:VCARD\r\r\nFN:Ann\r\r\nEND:VCARD\r\r\nBEGIN:VCARD\r\r\nFN:Bob\r\r\nEND:VCARD\r\r\n")
            << 0;
        QTest::newRow("utf-8 byte-order mark") << "\xEF\xBB\xBF" + cards({"Ann", "Bob", "Cy"}, crlf) << 2;
        QTest::newRow("utf-16 with byte-order mark")
            << bytes("\xff\xfe"
                     "B\0E\0G\0I\0N\0:\0V\0C\0A\0R\0D\0\n\0F\0N\0:\0A\0n\0n\0\n\0E\0N\0D\0:\0V\0C\0A\0R\0D\0\n\0"
                     "B\0E\0G\0I\0N\0:\0V\0C\0A\0R\0D\0\n\0F\0N\0:\0B\0o\0b\0\n\0E\0N\0D\0:\0V\0C\0A\0R\0D\0\n\0")
            << 0;

        // Folding: continuation lines that look like markers are text.
        QTest::newRow("folded lines that look like markers")
            << QByteArray("BEGIN:VCARD\r\nFN:Ann\r\nNOTE:a\r\n END:VCARD\r\n BEGIN:VCARD\r\n\tEND:VCARD\r\n"
                          "BEGIN:VCARD\r\n more\r\nEND:VCARD\r\nBEGIN:VCARD\r\nFN:Bob\r\nEND:VCARD\r\n")
            << 1;
        QTest::newRow("begin folded into the end before it") << QByteArray(
            "BEGIN:VCARD\r\nFN:Ann\r\nEND:VCARD\r\n BEGIN:VCARD\r\nFN:Bob\r\nEND:VCARD\r\n"
            "BEGIN:VCARD\r\nFN:Cy\r\nEND:VCARD\r\n") << 1;
        QTest::newRow("begin line with a continuation")
            << QByteArray("BEGIN:VCARD\nFN:Ann\nEND:VCARD\nBEGIN:VCARD\n X-MORE\nFN:Bob\nEND:VCARD\n") << 1;
        QTest::newRow("blank-only line between end and begin")
            << QByteArray("BEGIN:VCARD\nFN:Ann\nEND:VCARD\n \nBEGIN:VCARD\nFN:Bob\nEND:VCARD\n") << 0;

        // Quoted-printable soft line breaks.
        QTest::newRow("qp soft break right before end")
            << QByteArray("BEGIN:VCARD\r\nVERSION:2.1\r\nFN:Ann\r\nNOTE;ENCODING=QUOTED-PRINTABLE:one=0D=0Atwo=\r\n"
                          "END:VCARD\r\nBEGIN:VCARD\r\nVERSION:2.1\r\nNOTE;QUOTED-PRINTABLE:x=\r\nBEGIN:VCARD\r\n"
                          "FN:Bob\r\nEND:VCARD\r\nBEGIN:VCARD\r\nFN:Cy\r\nEND:VCARD\r\n")
            << 2;
        QTest::newRow("qp soft breaks carry marker-like text")
            << QByteArray("BEGIN:VCARD\nVERSION:2.1\nFN:Ann\nNOTE;ENCODING=QUOTED-PRINTABLE:x=\nEND:VCARD=\n"
                          "BEGIN:VCARD=\nEND:VCARD\nBEGIN:VCARD\nFN:Bob\nEND:VCARD\n")
            << 1;
        QTest::newRow("qp soft break then a folded end")
            << QByteArray("BEGIN:VCARD\nVERSION:2.1\nFN:Ann\nNOTE;ENCODING=QUOTED-PRINTABLE:abc=\n END:VCARD\n"
                          "BEGIN:VCARD\nFN:Bob\nEND:VCARD\nBEGIN:VCARD\nFN:Cy\nEND:VCARD\n")
            << 1;

        // Lines continued with a backslash, as some phones write them.
        QTest::newRow("backslash before end")
            << QByteArray("BEGIN:VCARD\r\nVERSION:2.1\r\nFN:Ann\r\nADR;HOME:;;Line 1\\\r\nLine 2;Town;;;\r\n"
                          "NOTE:ends in a backslash\\\r\nEND:VCARD\r\nBEGIN:VCARD\r\nFN:Bob\r\nEND:VCARD\r\n")
            << 1;
        QTest::newRow("backslash continues into marker-like text")
            << QByteArray("BEGIN:VCARD\nFN:Ann\nNOTE:a\\\nEND :VCARD\nBEGIN:VCARD\nFN:Bob\nEND:VCARD\n") << 0;

        // Blanks and case around the markers.
        QTest::newRow("blanks after the markers, lower case")
            << QByteArray("begin:vcard\r\nFN:Ann\r\nend:vcard \t\r\nBegin:VCard\t\r\nFN:Bob\r\nEND:VCARD\r\n") << 1;
        QTest::newRow("blanks before the markers")
            << QByteArray("BEGIN:VCARD\r\nFN:Ann\r\n END:VCARD\r\nBEGIN:VCARD\r\nFN:Bob\r\nEND:VCARD\r\n"
                          "  BEGIN:VCARD\r\nFN:Cy\r\nEND:VCARD\r\n")
            << 0;
        QTest::newRow("empty lines between cards")
            << QByteArray("BEGIN:VCARD\r\nFN:Ann\r\nEND:VCARD\r\n\r\nBEGIN:VCARD\r\nFN:Bob\r\n\r\nEND:VCARD\r\n"
                          "BEGIN:VCARD\r\nFN:Cy\r\nEND:VCARD\r\n")
            << 1;

        // Cards inside cards, and cards without their markers.
        QTest::newRow("agent card inside a card") << QByteArray(
            "BEGIN:VCARD\nVERSION:2.1\nFN:Ann\nAGENT:\nBEGIN:VCARD\nFN:Agent\nEND:VCARD\nFN:Ann again\n"
            "END:VCARD\nBEGIN:VCARD\nFN:Bob\nAGENT:\nBEGIN:VCARD\nFN:Agent 2\nEND:VCARD\nEND:VCARD\n"
            "BEGIN:VCARD\nFN:Cy\nEND:VCARD\n") << 2;
        QTest::newRow("agent end followed by a new card") << QByteArray(
            "BEGIN:VCARD\nFN:Ann\nAGENT:\nBEGIN:VCARD\nFN:Agent\nEND:VCARD\nBEGIN:VCARD\nFN:Bob\n"
            "END:VCARD\n") << 1;
        QTest::newRow("card missing end")
            << QByteArray("BEGIN:VCARD\nFN:Ann\nBEGIN:VCARD\nFN:Bob\nEND:VCARD\nBEGIN:VCARD\nFN:Cy\nEND:VCARD\n") << 1;
        QTest::newRow("card missing begin") << QByteArray(
            "BEGIN:VCARD\nFN:Ann\nEND:VCARD\nVERSION:3.0\nFN:Bob\nEND:VCARD\nBEGIN:VCARD\nFN:Cy\n"
            "END:VCARD\n") << 1;
        QTest::newRow("no end at all") << QByteArray("BEGIN:VCARD\nFN:Ann\nBEGIN:VCARD\nFN:Bob\nBEGIN:VCARD\nFN:Cy\n")
                                       << 0;
        QTest::newRow("last begin without its line end") << cards({"Ann"}, crlf) + "BEGIN:VCARD" << 0;
        QTest::newRow("last card cut short") << cards({"Ann"}, crlf) + "BEGIN:VCARD\r\nFN:Bob\r\nTEL;TY" << 1;
        QTest::newRow("stray end first") << "END:VCARD\r\n" + cards({"Ann", "Bob"}, crlf) << kAnyCuts;

        // The project's own address books, one by one and all in one file,
        // with each kind of line end.
        QByteArray all;
        const QDir samples(QStringLiteral(QUARRELBY_SOURCE_DIR "/samples/contacts"));
        for (const QString &name : samples.entryList({QStringLiteral("*.vcf")}, QDir::Files, QDir::Name)) {
            QFile file(samples.filePath(name));
            QVERIFY(file.open(QIODevice::ReadOnly));
            const QByteArray text = file.readAll();
            QTest::newRow(qPrintable(name)) << text << kAnyCuts;
            all += text;
        }
        QByteArray lf = all;
        lf.replace("\r\n", "\n");
        QByteArray cr = lf;
        cr.replace('\n', '\r');
        QTest::newRow("all samples in one file") << all << kSomeCuts;
        QTest::newRow("all samples, lf only") << lf << kSomeCuts;
        QTest::newRow("all samples, cr only") << cr << 0;
        QTest::newRow("all samples, every line followed by an empty one") << QByteArray(lf).replace("\n", "\n\n") << 0;
    }

    void cardBoundaryCutsReadAsWhole()
    {
        QFETCH(QByteArray, text);
        QFETCH(int, cuts);
        checkCutsReadAsWhole(text, cuts);
    }

    // Where there is no place to cut.
    void cardBoundaryNone_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<int>("from");
        const QByteArray two = cards({"Ann", "Bob"}, "\r\n");
        const int second = static_cast<int>(two.indexOf("BEGIN", 1));
        QTest::newRow("empty") << QByteArray() << 0;
        QTest::newRow("from the end") << two << static_cast<int>(two.size());
        QTest::newRow("from past the end") << two << static_cast<int>(two.size()) + 10;
        QTest::newRow("from past the last boundary") << two << second + 1;
        QTest::newRow("one card") << cards({"Ann"}, "\r\n") << 0;
        QTest::newRow("no line end") << QByteArray("BEGIN:VCARD FN:Ann END:VCARD BEGIN:VCARD FN:Bob END:VCARD") << 0;
        QTest::newRow("end without a begin after it") << QByteArray("FN:Ann\nEND:VCARD\nFN:Bob\nEND:VCARD\n") << 0;
    }

    void cardBoundaryNone()
    {
        QFETCH(QByteArray, text);
        QFETCH(int, from);
        const std::string_view data(text.constData(), static_cast<size_t>(text.size()));
        QCOMPARE(cardBoundary(data, static_cast<size_t>(from)), std::string_view::npos);
    }

    // The same on the real-world files, each cut wherever it may be.
    void corpusCutsReadAsWhole()
    {
        QUARRELBY_REQUIRE_CORPUS(root, "");
        QDirIterator files(root, {QStringLiteral("*.vcf")}, QDir::Files, QDirIterator::Subdirectories);
        int count = 0;
        while (files.hasNext()) {
            const QString path = files.next();
            QFile file(path);
            QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(path));
            checkCutsReadAsWhole(file.readAll(), kAnyCuts);
            if (QTest::currentTestFailed())
                QFAIL(qPrintable(QStringLiteral("in ") + path));
            ++count;
        }
        QVERIFY(count > 0);
    }

    void unknownPropertyName()
    {
        QCOMPARE(contactPropertyIndex(QStringLiteral("FullName")), 0);
        QCOMPARE(contactPropertyIndex(QStringLiteral("Body")), kContactPropertyCount - 1);
        QCOMPARE(contactPropertyIndex(QStringLiteral("NoSuchProperty")), -1);
    }
};

QTEST_GUILESS_MAIN(TestVCardReader)
#include "tst_vcardreader.moc"
