#include "format/outlook/OutlookCard.h"
#include "format/outlook/OutlookItem.h"
#include "format/outlook/RtfText.h"
#include "format/vcard/CardFields.h"
#include "format/vcard/VCardContact.h"

#include <QDate>
#include <QTest>

#include <cstdlib>
#include <ctime>
#include <map>

using namespace quarrelby;
using namespace quarrelby::outlook;

namespace {

// An item's properties as a test sets them.
class Item : public PropertyBag {
public:
    std::map<PropertyKey, std::string> texts;
    std::map<PropertyKey, std::uint64_t> filetimes;
    std::string rtf;
    std::map<PropertyKey, std::vector<std::string>> lists;
    std::vector<std::string> keywords;
    std::string picture;

    bool text(PropertyKey key, std::string &out) override
    {
        const auto found = texts.find(key);
        out = found == texts.end() ? std::string() : found->second;
        return found != texts.end();
    }
    bool filetime(PropertyKey key, std::uint64_t &out) override
    {
        const auto found = filetimes.find(key);
        if (found != filetimes.end())
            out = found->second;
        return found != filetimes.end();
    }
    bool rtfBody(std::string &out) override
    {
        out = rtf;
        return !rtf.empty();
    }
    bool textList(PropertyKey key, std::vector<std::string> &out) override
    {
        out = lists[key];
        return !out.empty();
    }
    bool binaries(PropertyKey key, std::vector<std::string> &out) override { return textList(key, out); }
    bool categories(std::vector<std::string> &out) override
    {
        out = keywords;
        return !out.empty();
    }
    bool photo(std::string &out) override
    {
        out = picture;
        return !out.empty();
    }
};

// The item's card, resolved into its fields.
vcard::CardFields cardFields(Item &item)
{
    const std::string text = itemVCard(item);
    vcard::Reader reader(text);
    vcard::Card card;
    vcard::CardFields fields;
    if (reader.next(card))
        vcard::FieldReader().read(card, fields);
    return fields;
}

// A one-off entry id of MS-OXCDATA 2.2.5.1 in UTF-16.
std::string oneOff(const std::u16string &name, const std::u16string &type, const std::u16string &address)
{
    std::string out(4, '\0');
    out += std::string("\x81\x2B\x1F\xA4\xBE\xA3\x10\x19\x9D\x6E\x00\xDD\x01\x0F\x54\x02", 16);
    out += std::string("\0\0\x00\x80", 4);
    for (const std::u16string *text : {&name, &type, &address}) {
        for (const char16_t unit : *text + u'\0') {
            out += static_cast<char>(unit & 0xFF);
            out += static_cast<char>(unit >> 8);
        }
    }
    return out;
}

std::uint64_t filetimeOf(const QDateTime &utc)
{
    return static_cast<std::uint64_t>(utc.toMSecsSinceEpoch() + 11644473600000) * 10000;
}

// Runs with the local time zone set to zone, restored after.
class LocalZone {
public:
    explicit LocalZone(const char *zone)
        : m_old(qgetenv("TZ"))
    {
        qputenv("TZ", zone);
        tzset();
    }
    ~LocalZone()
    {
        qputenv("TZ", m_old);
        tzset();
    }

private:
    QByteArray m_old;
};

} // namespace

class TestOutlookItem : public QObject {
    Q_OBJECT

private slots:
    void messageClass_data()
    {
        QTest::addColumn<QByteArray>("messageClass");
        QTest::addColumn<int>("kind");
        const int contact = int(ItemKind::Contact), list = int(ItemKind::DistributionList),
                  other = int(ItemKind::Other);
        QTest::newRow("contact") << QByteArray("IPM.Contact") << contact;
        QTest::newRow("custom form") << QByteArray("IPM.Contact.Supplier") << contact;
        QTest::newRow("other case") << QByteArray("ipm.CONTACT") << contact;
        QTest::newRow("longer name") << QByteArray("IPM.Contacts") << other;
        QTest::newRow("distribution list") << QByteArray("IPM.DistList") << list;
        QTest::newRow("list form") << QByteArray("IPM.DistList.Team") << list;
        QTest::newRow("mail") << QByteArray("IPM.Note") << other;
        QTest::newRow("prefix only") << QByteArray("IPM.Cont") << other;
        QTest::newRow("empty") << QByteArray() << other;
    }
    void messageClass()
    {
        QFETCH(QByteArray, messageClass);
        QFETCH(int, kind);
        QCOMPARE(int(itemKind(messageClass.toStdString())), kind);

        Item item;
        item.texts[tag::MessageClass] = messageClass.toStdString();
        item.texts[tag::DisplayName] = "Ann";
        Contact contact;
        contact.texts = QStringLiteral("untouched");
        ContactMapper mapper;
        QCOMPARE(mapper.read(item, contact), kind != int(ItemKind::Other));
        if (kind == int(ItemKind::Other)) {
            QCOMPARE(contact.texts, QStringLiteral("untouched"));
        } else {
            QCOMPARE(contact.distributionList, kind == int(ItemKind::DistributionList));
            QCOMPARE(contact.text(FullName), QStringLiteral("Ann"));
        }
    }

    // Every text field from its own property: a value in the wrong cell, or
    // a cell left empty, shows at once.
    void everyFieldFromItsProperty()
    {
        const std::map<const char *, PropertyKey> tags = {{"FullName", 0x3001}, {"JobTitle", 0x3A17},
            {"CompanyName", 0x3A16}, {"FileAs", 0x8005}, {"Email1Address", 0x8083}, {"Email2Address", 0x8093},
            {"Email3Address", 0x80A3}, {"WebPage", 0x802B}, {"IMAddress", 0x8062}, {"TTYTDDTelephoneNumber", 0x3A4B},
            {"AssistantName", 0x3A30}, {"AssistantTelephoneNumber", 0x3A2E}, {"BusinessTelephoneNumber", 0x3A08},
            {"Business2TelephoneNumber", 0x3A1B}, {"BusinessFaxNumber", 0x3A24}, {"CallbackTelephoneNumber", 0x3A02},
            {"CarTelephoneNumber", 0x3A1E}, {"CompanyMainTelephoneNumber", 0x3A57}, {"HomeTelephoneNumber", 0x3A09},
            {"Home2TelephoneNumber", 0x3A2F}, {"HomeFaxNumber", 0x3A25}, {"ISDNNumber", 0x3A2D},
            {"MobileTelephoneNumber", 0x3A1C}, {"OtherTelephoneNumber", 0x3A1F}, {"OtherFaxNumber", 0x3A23},
            {"PagerNumber", 0x3A21}, {"PrimaryTelephoneNumber", 0x3A1A}, {"RadioTelephoneNumber", 0x3A1D},
            {"TelexNumber", 0x3A2C}, {"BusinessAddress", 0x801B}, {"HomeAddress", 0x801A}, {"OtherAddress", 0x801C},
            {"Body", 0x1000}};
        QCOMPARE(int(tags.size()), kContactPropertyCount - 1);
        Item item;
        item.texts[tag::MessageClass] = "IPM.Contact";
        for (const auto &[name, key] : tags)
            item.texts[key] = std::string("«") + name + "»\r\nline 2";
        // Properties the fields are not read from.
        item.texts[0x3A51] = "business home page twin";
        item.texts[0x3A50] = "personal home page";
        item.texts[0x8080] = "e-mail display name";

        Contact contact;
        ContactMapper mapper;
        QVERIFY(mapper.read(item, contact));
        for (const auto &[name, key] : tags) {
            const int index = contactPropertyIndex(QLatin1String(name));
            QCOMPARE(contact.text(index), QStringLiteral("«%1»\r\nline 2").arg(QLatin1String(name)));
        }
        QVERIFY(!contact.value(Birthday).isValid());

        // Read again with fewer properties: nothing is left from the first.
        Item sparse;
        sparse.texts[tag::MessageClass] = "IPM.Contact";
        sparse.texts[0x3A51] = "https://example.com";
        QVERIFY(mapper.read(sparse, contact));
        QCOMPARE(contact.text(WebPage), QStringLiteral("https://example.com"));
        for (int i = 0; i < kContactPropertyCount; ++i)
            QVERIFY2(i == WebPage || contact.text(i).isEmpty(), qPrintable(contactPropertyName(i)));
    }

    // The whole contact's card reads back into the same 33 fields, and keeps
    // what they have no room for.
    void wholeCard()
    {
        Item item;
        item.texts[tag::MessageClass] = "IPM.Contact";
        const PropertyKey fieldKeys[] = {0x3001, 0x3A17, 0x3A16, 0x8005, 0x8083, 0x8093, 0x80A3, 0x802B, 0x8062, 0x3A4B,
            0x3A30, 0x3A2E, 0x3A08, 0x3A1B, 0x3A24, 0x3A02, 0x3A1E, 0x3A57, 0x3A09, 0x3A2F, 0x3A25, 0x3A2D, 0x3A1C,
            0x3A1F, 0x3A23, 0x3A21, 0x3A1A, 0x3A1D, 0x3A2C, 0x801B, 0x801A, 0x801C, 0x1000};
        for (const PropertyKey key : fieldKeys)
            item.texts[key] = "«" + std::to_string(key) + "», ; \\\r\nline 2";
        item.filetimes[tag::Birthday] = filetimeOf(QDateTime(QDate(1815, 12, 10), QTime(0, 0), Qt::UTC));
        item.texts[0x3A06] = "Augusta";
        item.texts[0x3A44] = "Ada";
        item.texts[0x3A11] = "King";
        item.texts[0x3A45] = "Lady";
        item.texts[0x3A4F] = "Ada";
        item.texts[0x3A18] = "Analytics";
        item.texts[0x3A46] = "Mathematician";
        item.texts[0x3A48] = "William";
        item.texts[0x3A50] = "https://home.example";
        item.texts[0x3A5D] = "12 St James's Square";
        item.texts[0x3A59] = "London";
        item.lists[0x3A58] = {"Byron", "Annabella"};
        item.filetimes[0x3A41] = filetimeOf(QDateTime(QDate(1835, 7, 8), QTime(0, 0), Qt::UTC));
        item.keywords = {"Family", "Engines, analytical"};
        item.picture = std::string("\xFF\xD8\xFF\0jpeg", 8);

        Contact expected;
        QVERIFY(ContactMapper().read(item, expected));
        const std::string text = itemVCard(item);
        vcard::Reader reader(text);
        vcard::Card card;
        QVERIFY(reader.next(card));
        const Contact actual = vcard::ContactReader().read(card);
        for (int i = 0; i < kContactPropertyCount; ++i)
            QCOMPARE(actual.value(i), expected.value(i));

        const vcard::CardFields fields = cardFields(item);
        QCOMPARE(QString::fromStdString(fields.given + "|" + fields.middle + "|" + fields.family + "|" + fields.prefix),
            QStringLiteral("Augusta|Ada|King|Lady"));
        QCOMPARE(fields.nicknames, std::vector<std::string> {"Ada"});
        QCOMPARE(fields.units, std::vector<std::string> {"Analytics"});
        QCOMPARE(fields.role, std::string("Mathematician"));
        QCOMPARE(fields.relations.size(), size_t(4)); // the assistant, the spouse, two children
        QCOMPARE(fields.relations[1].label + ":" + fields.relations[1].value, std::string("Spouse:William"));
        QCOMPARE(fields.relations[3].label + ":" + fields.relations[3].value, std::string("Child:Annabella"));
        QCOMPARE(fields.events.front().value, std::string("1835-07-08"));
        QCOMPARE(fields.categories, (std::vector<std::string> {"Family", "Engines, analytical"}));
        QCOMPARE(fields.embeddedPhotos, 1u);
        QCOMPARE(fields.webPages.size(), size_t(2));
        QCOMPARE(fields.addresses.size(), size_t(3)); // work and other as text, home by its parts
        QCOMPARE(
            fields.addresses[1].street + "|" + fields.addresses[1].city, std::string("12 St James's Square|London"));
    }

    void distributionListCard()
    {
        Item list;
        list.texts[tag::MessageClass] = "IPM.DistList";
        list.texts[0x8053] = "Analysts";
        list.lists[0x8054] = {oneOff(u"Ada", u"SMTP", u"ada@example.org"), "not an entry id",
            oneOff(u"Charles", u"SMTP", u"charles@example.org")};
        const std::string text = itemVCard(list);
        QVERIFY2(text.find("KIND:group\r\nFN:Analysts\r\nMEMBER:mailto:ada@example.org\r\n"
                           "MEMBER:mailto:charles@example.org\r\n")
                != std::string::npos,
            text.c_str());
        OneOffAddress read;
        QVERIFY(!readOneOffEntryId(oneOff(u"Ada", u"SMTP", u"ada").substr(0, 30), read));
    }

    void birthday_data()
    {
        QTest::addColumn<QByteArray>("zone");
        QTest::addColumn<QDateTime>("stored");
        QTest::addColumn<QDate>("expected");
        // Outlook stores the local midnight in UTC.
        QTest::newRow("east of UTC") << QByteArray("Europe/Berlin")
                                     << QDateTime(QDate(1980, 3, 14), QTime(23, 0), Qt::UTC) << QDate(1980, 3, 15);
        QTest::newRow("west of UTC") << QByteArray("America/Chicago")
                                     << QDateTime(QDate(1975, 12, 31), QTime(6, 0), Qt::UTC) << QDate(1975, 12, 31);
        QTest::newRow("UTC") << QByteArray("UTC") << QDateTime(QDate(2000, 2, 29), QTime(0, 0), Qt::UTC)
                             << QDate(2000, 2, 29);
        QTest::newRow("before 1970") << QByteArray("Asia/Tokyo") << QDateTime(QDate(1931, 7, 1), QTime(15, 0), Qt::UTC)
                                     << QDate(1931, 7, 2);
        QTest::newRow("none (4501-01-01)")
            << QByteArray("UTC") << QDateTime(QDate(4501, 1, 1), QTime(0, 0), Qt::UTC) << QDate();
    }
    void birthday()
    {
        QFETCH(QByteArray, zone);
        QFETCH(QDateTime, stored);
        QFETCH(QDate, expected);
        const LocalZone local(zone.constData());
        Item item;
        item.texts[tag::MessageClass] = "IPM.Contact";
        item.filetimes[tag::Birthday] = filetimeOf(stored);
        Contact contact;
        ContactMapper mapper;
        QVERIFY(mapper.read(item, contact));
        QCOMPARE(contact.value(Birthday), expected.isValid() ? QVariant(expected) : QVariant());
        QVERIFY(!birthdayFromFiletime(0).isValid());
        QVERIFY(!birthdayFromFiletime(~std::uint64_t(0)).isValid());
    }

    void body()
    {
        Item item;
        item.texts[tag::MessageClass] = "IPM.Contact";
        item.rtf = R"({\rtf1\ansi Notes in RTF\par})";
        Contact contact;
        ContactMapper mapper;
        item.texts[tag::Body] = "Plain notes\r\n";
        QVERIFY(mapper.read(item, contact));
        QCOMPARE(contact.text(Body), QStringLiteral("Plain notes\r\n"));
        item.texts[tag::Body].clear();
        QVERIFY(mapper.read(item, contact));
        QCOMPARE(contact.text(Body), QStringLiteral("Notes in RTF\r\n"));
        item.texts.erase(tag::Body);
        item.rtf.clear();
        QVERIFY(mapper.read(item, contact));
        QCOMPARE(contact.text(Body), QString());
    }

    void rtfText_data()
    {
        QTest::addColumn<QByteArray>("rtf");
        QTest::addColumn<QString>("text");
        QTest::newRow("paragraphs and tabs") << QByteArray(
            R"({\rtf1\ansi{\fonttbl{\f0 Arial;}}{\colortbl;\red0\green0\blue0;}\f0\fs20 One\par Two\tab 2\line three})")
                                             << QStringLiteral("One\r\nTwo\t2\r\nthree");
        QTest::newRow("escapes and raw line ends")
            << QByteArray("{\\rtf1 a\\{b\\}c\\\\d\r\ne\\~f}") << QStringLiteral("a{b}c\\de\u00A0f");
        QTest::newRow("code page 1252") << QByteArray(R"({\rtf1\ansi\ansicpg1252 Caf\'e9 \'80})")
                                        << QStringLiteral("Café €");
        QTest::newRow("code page 1251") << QByteArray(R"({\rtf1\ansi\ansicpg1251 \'cf\'f0\'e8\'e2\'e5\'f2})")
                                        << QStringLiteral("Привет");
        QTest::newRow("unknown code page") << QByteArray(R"({\rtf1\ansi\ansicpg99999 \'e9})") << QStringLiteral("é");
        QTest::newRow("unicode with fallbacks")
            << QByteArray(R"({\rtf1 \u8364?\uc2\u20013\'d6\'d0x{\uc0\u26085}\uc1\u-10179?\u-8704?})")
            << QStringLiteral("€中x日\U0001F600");
        QTest::newRow("ignorable and skipped destinations") << QByteArray(
            R"({\rtf1{\*\generator Riched20;}{\info{\author A}}{\field{\*\fldinst HYPERLINK "x"}{\fldrslt link}} end})")
                                                            << QStringLiteral("link end");
        QTest::newRow("encapsulated html") << QByteArray(
            R"({\rtf1\ansi\fromhtml1 {\*\htmltag64 <p>}\htmlrtf {\htmlrtf0 Hello\htmlrtf\par}\htmlrtf0 {\*\htmltag148 &amp;}\htmlrtf &\htmlrtf0  W\u246?rld})")
                                           << QStringLiteral("Hello\r\n& Wörld");
        QTest::newRow("binary data") << QByteArray("{\\rtf1 a\\bin3 {}\\b}") << QStringLiteral("ab");
        QTest::newRow("unbalanced") << QByteArray(R"({\rtf1 {{a\'4)") << QStringLiteral("a\u0004");
        QTest::newRow("text after the document") << QByteArray(R"({\rtf1 in}out)") << QStringLiteral("in");
        QTest::newRow("a surrogate alone")
            << QByteArray(R"({\rtf1 \u-10179?x\u-8704?})") << QStringLiteral("\uFFFDx\uFFFD");
    }
    void rtfText()
    {
        QFETCH(QByteArray, rtf);
        QFETCH(QString, text);
        QCOMPARE(QString::fromStdString(rtfToText(rtf.toStdString())), text);
    }
};

QTEST_GUILESS_MAIN(TestOutlookItem)
#include "tst_outlookitem.moc"
