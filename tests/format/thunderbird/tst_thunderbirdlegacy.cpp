// Thunderbird cards that only have the properties of old Thunderbird
// versions, through the legacy mapping and the vCard mapping behind it.

#include "format/Contact.h"
#include "format/thunderbird/LegacyCard.h"
#include "format/vcard/CardFields.h"
#include "format/vcard/VCardContact.h"
#include "format/vcard/VCardReader.h"

#include <QTest>

#include <string>
#include <vector>

using namespace quarrelby;

using Rows = QList<QPair<QByteArray, QByteArray>>;
Q_DECLARE_METATYPE(Rows)

class TestThunderbirdLegacy : public QObject {
    Q_OBJECT

private slots:
    void mapping_data()
    {
        QTest::addColumn<Rows>("rows");
        QTest::addColumn<int>("property");
        QTest::addColumn<QVariant>("expected");

        QTest::newRow("birthday without a year")
            << Rows {{"BirthMonth", "3"}, {"BirthDay", "15"}} << int(Birthday) << QVariant(QStringLiteral("--03-15"));
        QTest::newRow("birthday, padded parts") << Rows {{"BirthYear", "987"}, {"BirthMonth", " 1"}, {"BirthDay", "2 "}}
                                                << int(Birthday) << QVariant(QDate(987, 1, 2));
        QTest::newRow("birthday, impossible month") << Rows {{"BirthYear", "1990"}, {"BirthMonth", "13"},
            {"BirthDay", "1"}} << int(Birthday) << QVariant(QStringLiteral("1990"));
        QTest::newRow("birthday, not numbers")
            << Rows {{"BirthMonth", "March"}, {"BirthDay", "x"}} << int(Birthday) << QVariant();
        QTest::newRow("full name from the names") << Rows {{"FirstName", "Ada"}, {"LastName", "Lovelace"}}
                                                  << int(FullName) << QVariant(QStringLiteral("Ada Lovelace"));
        QTest::newRow("vCard specials survive")
            << Rows {{"DisplayName", "A; B, C\\n D"}} << int(FullName) << QVariant(QStringLiteral("A; B, C\\n D"));
        QTest::newRow("line breaks of any kind in notes") << Rows {{"Notes", "one\r\ntwo\rthree\nfour"}} << int(Body)
                                                          << QVariant(QStringLiteral("one\r\ntwo\r\nthree\r\nfour"));
        QTest::newRow("second address line alone") << Rows {{"HomeAddress2", "Flat 2"}, {"HomeCity", "Leeds"}}
                                                   << int(HomeAddress) << QVariant(QStringLiteral("Flat 2\r\nLeeds"));
        QTest::newRow("home page when there is no work page")
            << Rows {{"WebPage2", "https://home.example"}} << int(WebPage)
            << QVariant(QStringLiteral("https://home.example"));
        QTest::newRow("chat name without its scheme")
            << Rows {{"_AimScreenName", "ada1815"}} << int(IMAddress) << QVariant(QStringLiteral("ada1815"));
        QTest::newRow("first row of a name wins")
            << Rows {{"PrimaryEmail", "a@example.org"}, {"PrimaryEmail", "b@example.org"}} << int(Email1Address)
            << QVariant(QStringLiteral("a@example.org"));
        QTest::newRow("company from the department alone")
            << Rows {{"Department", "Research"}} << int(CompanyName) << QVariant(QString());
        QTest::newRow("NUL bytes dropped") << Rows {{"JobTitle", QByteArray("Chief\0Clerk", 11)}} << int(JobTitle)
                                           << QVariant(QStringLiteral("ChiefClerk"));
    }

    void mapping()
    {
        QFETCH(Rows, rows);
        QFETCH(int, property);
        QFETCH(QVariant, expected);
        std::vector<thunderbird::CardProperty> properties;
        for (const auto &[name, value] : rows)
            properties.push_back({std::string_view(name.constData(), size_t(name.size())),
                std::string_view(value.constData(), size_t(value.size()))});
        const std::string text = thunderbird::legacyVCard(properties);
        vcard::Reader reader(text);
        vcard::Card card;
        QVERIFY(reader.next(card));
        vcard::ContactReader contacts;
        const Contact contact = contacts.read(card);
        QVERIFY(!reader.next(card));
        QVERIFY(!contact.distributionList);
        const QVariant actual = contact.value(property);
        if (expected.typeId() == QMetaType::QDate)
            QCOMPARE(actual.toDate(), expected.toDate());
        else
            QCOMPARE(actual.toString(), expected.toString());
    }

    // What the table has no column for is in the card too.
    void wholeCard()
    {
        const std::vector<thunderbird::CardProperty> rows {{"PhoneticFirstName", "エイダ"}, {"AnniversaryYear", "1835"},
            {"AnniversaryMonth", "7"}, {"AnniversaryDay", "8"}, {"SpouseName", "William"}, {"Custom2", "a, b; c"},
            {"NickName", "Ada"}};
        const std::string text = thunderbird::legacyVCard(rows);
        vcard::Reader reader(text);
        vcard::Card card;
        QVERIFY(reader.next(card));
        vcard::CardFields fields;
        vcard::FieldReader().read(card, fields);
        QCOMPARE(fields.phoneticGiven, std::string("エイダ"));
        QCOMPARE(
            fields.events.front().label + " " + fields.events.front().value, std::string("Anniversary 1835-07-08"));
        QCOMPARE(fields.relations.front().label + " " + fields.relations.front().value, std::string("Spouse William"));
        QCOMPARE(fields.custom.front().label + ": " + fields.custom.front().value, std::string("Custom 2: a, b; c"));
        QCOMPARE(fields.nicknames.front(), std::string("Ada"));
        QCOMPARE(fields.otherFields, 0u);

        const std::vector<std::string> members {"3f1c", "", "9a2b"};
        QCOMPARE(QByteArray::fromStdString(thunderbird::listVCard("Friends", "f", "Old friends", members)),
            QByteArray("BEGIN:VCARD\r\nVERSION:4.0\r\nKIND:group\r\nFN:Friends\r\nNICKNAME:f\r\n"
                       "NOTE:Old friends\r\nMEMBER:urn:uuid:3f1c\r\nMEMBER:urn:uuid:9a2b\r\nEND:VCARD\r\n"));
    }
};

QTEST_GUILESS_MAIN(TestThunderbirdLegacy)
#include "tst_thunderbirdlegacy.moc"
