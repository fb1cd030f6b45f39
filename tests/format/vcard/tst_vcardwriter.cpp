// Cards rewritten as vCard 3.0 and 4.0: what each version requires of the
// other, byte for byte, and lines folded without breaking a character.

#include "format/vcard/VCardReader.h"
#include "format/vcard/VCardText.h"
#include "format/vcard/VCardWriter.h"

#include <QTest>

using namespace quarrelby::vcard;

namespace {

QByteArray written(const QByteArray &input, Version version)
{
    CardWriter writer(version);
    Reader reader(std::string_view(input.constData(), size_t(input.size())));
    Card card;
    std::string out;
    while (reader.next(card))
        writer.write(card, out);
    return QByteArray::fromStdString(out);
}

} // namespace

class TestVCardWriter : public QObject {
    Q_OBJECT

private slots:
    void versions_data()
    {
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<QByteArray>("v3");
        QTest::addColumn<QByteArray>("v4");

        QTest::newRow("2.1: quoted-printable, charset, bare types, base64")
            << QByteArray("BEGIN:VCARD\r\n"
                          "VERSION:2.1\r\n"
                          "N;CHARSET=ISO-8859-1;ENCODING=QUOTED-PRINTABLE:M=FCller;J=FCrgen\r\n"
                          "TEL;WORK;FAX;PREF:+49 1\r\n"
                          "NOTE;ENCODING=QUOTED-PRINTABLE:one, two=0D=0Athree; four\\\\five\r\n"
                          "PHOTO;ENCODING=BASE64;TYPE=JPEG:\r\n"
                          " /9j/4AAQ\r\n"
                          " SkZJRg==\r\n"
                          "\r\n"
                          "END:VCARD\r\n")
            << QByteArray("BEGIN:VCARD\r\n"
                          "VERSION:3.0\r\n"
                          "FN:Jürgen Müller\r\n"
                          "N:Müller;Jürgen\r\n"
                          "TEL;TYPE=WORK,FAX,PREF:+49 1\r\n"
                          "NOTE:one\\, two\\nthree\\; four\\\\five\r\n"
                          "PHOTO;ENCODING=b;TYPE=JPEG:/9j/4AAQSkZJRg==\r\n"
                          "END:VCARD\r\n")
            << QByteArray("BEGIN:VCARD\r\n"
                          "VERSION:4.0\r\n"
                          "FN:Jürgen Müller\r\n"
                          "N:Müller;Jürgen;;;\r\n"
                          "TEL;TYPE=WORK,FAX;PREF=1:+49 1\r\n"
                          "NOTE:one\\, two\\nthree\\; four\\\\five\r\n"
                          "PHOTO:data:image/jpeg;base64,/9j/4AAQSkZJRg==\r\n"
                          "END:VCARD\r\n");
        QTest::newRow("3.0: LABEL, SORT-STRING, GEO, groups, unknown parameters")
            << QByteArray("BEGIN:VCARD\r\n"
                          "VERSION:3.0\r\n"
                          "FN:Ada\r\n"
                          "N:Lovelace;Ada;;;\r\n"
                          "SORT-STRING:Lovelace\r\n"
                          "ADR;TYPE=work,pref:;;1 Main St;Town;;;\r\n"
                          "LABEL;TYPE=WORK,PREF:1 Main St\\nTown\r\n"
                          "GEO:51.5;-0.1\r\n"
                          "item1.EMAIL;TYPE=INTERNET:a@x.org\r\n"
                          "item1.X-ABLabel:school\r\n"
                          "PHOTO;ENCODING=b;TYPE=PNG:iVBORw0K\r\n"
                          "X-CUSTOM;X-P=\"a:b\":v\\,w\r\n"
                          "PROFILE:VCARD\r\n"
                          "END:VCARD\r\n")
            << QByteArray("BEGIN:VCARD\r\n"
                          "VERSION:3.0\r\n"
                          "FN:Ada\r\n"
                          "N:Lovelace;Ada;;;\r\n"
                          "SORT-STRING:Lovelace\r\n"
                          "ADR;TYPE=work,pref:;;1 Main St;Town;;;\r\n"
                          "LABEL;TYPE=WORK,PREF:1 Main St\\nTown\r\n"
                          "GEO:51.5;-0.1\r\n"
                          "item1.EMAIL;TYPE=INTERNET:a@x.org\r\n"
                          "item1.X-ABLabel:school\r\n"
                          "PHOTO;ENCODING=b;TYPE=PNG:iVBORw0K\r\n"
                          "X-CUSTOM;X-P=\"a:b\":v\\,w\r\n"
                          "END:VCARD\r\n")
            << QByteArray("BEGIN:VCARD\r\n"
                          "VERSION:4.0\r\n"
                          "FN:Ada\r\n"
                          "N;SORT-AS=Lovelace:Lovelace;Ada;;;\r\n"
                          "ADR;TYPE=work;PREF=1;LABEL=1 Main St^nTown:;;1 Main St;Town;;;\r\n"
                          "GEO:geo:51.5,-0.1\r\n"
                          "item1.EMAIL;TYPE=INTERNET:a@x.org\r\n"
                          "item1.X-ABLabel:school\r\n"
                          "PHOTO:data:image/png;base64,iVBORw0K\r\n"
                          "X-CUSTOM;X-P=\"a:b\":v\\,w\r\n"
                          "END:VCARD\r\n");
        QTest::newRow("4.0: LABEL parameter, tel: URI, data URI, no N")
            << QByteArray("BEGIN:VCARD\r\n"
                          "VERSION:4.0\r\n"
                          "KIND:individual\r\n"
                          "FN:Bo\r\n"
                          "ADR;TYPE=home;LABEL=\"12 Rue^nParis\":;;12 Rue;Paris;;;\r\n"
                          "TEL;VALUE=uri;PREF=1;TYPE=\"voice,home\":tel:+33-1\r\n"
                          "GEO:geo:48.8,2.3\r\n"
                          "PHOTO:data:image/png;base64,iVBORw0K\r\n"
                          "LOGO:http://x.org/l.png\r\n"
                          "END:VCARD\r\n")
            << QByteArray("BEGIN:VCARD\r\n"
                          "VERSION:3.0\r\n"
                          "N:;;;;\r\n"
                          "KIND:individual\r\n"
                          "FN:Bo\r\n"
                          "ADR;TYPE=home:;;12 Rue;Paris;;;\r\n"
                          "LABEL;TYPE=home:12 Rue\\nParis\r\n"
                          "TEL;TYPE=voice,home,pref:+33-1\r\n"
                          "GEO:48.8;2.3\r\n"
                          "PHOTO;ENCODING=b;TYPE=PNG:iVBORw0K\r\n"
                          "LOGO;VALUE=uri:http://x.org/l.png\r\n"
                          "END:VCARD\r\n")
            << QByteArray("BEGIN:VCARD\r\n"
                          "VERSION:4.0\r\n"
                          "KIND:individual\r\n"
                          "FN:Bo\r\n"
                          "ADR;TYPE=home;LABEL=\"12 Rue^nParis\":;;12 Rue;Paris;;;\r\n"
                          "TEL;TYPE=voice,home;VALUE=uri;PREF=1:tel:+33-1\r\n"
                          "GEO:geo:48.8,2.3\r\n"
                          "PHOTO:data:image/png;base64,iVBORw0K\r\n"
                          "LOGO:http://x.org/l.png\r\n"
                          "END:VCARD\r\n");
        QTest::newRow("2.1 GEO, zone name, value without its name")
            << QByteArray("BEGIN:VCARD\r\n"
                          "VERSION:2.1\r\n"
                          "FN:Ada\r\n"
                          "GEO:35.65,139.69\r\n"
                          "TZ:Europe/London\r\n"
                          "TZ:-05:00\r\n"
                          "TEL;WORK;INLINE:+1 5\r\n"
                          "PHOTO;JPEG;URL:http://x.org/a.jpg\r\n"
                          "END:VCARD\r\n")
            << QByteArray("BEGIN:VCARD\r\n"
                          "VERSION:3.0\r\n"
                          "N:;;;;\r\n"
                          "FN:Ada\r\n"
                          "GEO:35.65;139.69\r\n"
                          "TZ;VALUE=text:Europe/London\r\n"
                          "TZ:-05:00\r\n"
                          "TEL;TYPE=WORK:+1 5\r\n"
                          "PHOTO;TYPE=JPEG;VALUE=uri:http://x.org/a.jpg\r\n"
                          "END:VCARD\r\n")
            << QByteArray("BEGIN:VCARD\r\n"
                          "VERSION:4.0\r\n"
                          "FN:Ada\r\n"
                          "GEO:geo:35.65,139.69\r\n"
                          "TZ:Europe/London\r\n"
                          "TZ:-05:00\r\n"
                          "TEL;TYPE=WORK:+1 5\r\n"
                          "PHOTO;TYPE=JPEG;VALUE=uri:http://x.org/a.jpg\r\n"
                          "END:VCARD\r\n");
        QTest::newRow("Evolution's list: none in 3.0, a group in 4.0")
            << QByteArray("BEGIN:VCARD\r\n"
                          "VERSION:3.0\r\n"
                          "UID:list1\r\n"
                          "FN:Team\r\n"
                          "X-EVOLUTION-LIST:TRUE\r\n"
                          "EMAIL;X-EVOLUTION-DEST-CONTACT-UID=c1;X-EVOLUTION-DEST-EMAIL=ada@x.org:Ada <ada@x.org>\r\n"
                          "EMAIL;X-EVOLUTION-DEST-NAME=Bo:Bo <bo@x.org>\r\n"
                          "END:VCARD\r\n")
            << QByteArray()
            << QByteArray("BEGIN:VCARD\r\n"
                          "VERSION:4.0\r\n"
                          "KIND:group\r\n"
                          "UID:list1\r\n"
                          "FN:Team\r\n"
                          "X-EVOLUTION-LIST:TRUE\r\n"
                          "EMAIL;X-EVOLUTION-DEST-CONTACT-UID=c1;X-EVOLUTION-DEST-EMAIL=ada@x.org:Ada \r\n"
                          " <ada@x.org>\r\n"
                          "EMAIL;X-EVOLUTION-DEST-NAME=Bo:Bo <bo@x.org>\r\n"
                          "MEMBER:mailto:ada@x.org\r\n"
                          "MEMBER:mailto:bo@x.org\r\n"
                          "END:VCARD\r\n");
    }

    void versions()
    {
        QFETCH(QByteArray, input);
        QFETCH(QByteArray, v3);
        QFETCH(QByteArray, v4);
        QCOMPARE(written(input, Version::V30), v3);
        QCOMPARE(written(input, Version::V40), v4);
        // Written again in its own version, a card stays as it is.
        QCOMPARE(written(v3, Version::V30), v3);
        QCOMPARE(written(v4, Version::V40), v4);
    }

    // At most 75 octets a line, never inside a character nor after "=".
    void folding()
    {
        // The 75th octet is "=", and then come characters of two octets.
        const QByteArray note = "NOTE:" + QByteArray(69, 'a') + "=" + QString(60, QChar(0x00E9)).toUtf8() + "!";
        const QByteArray out
            = written("BEGIN:VCARD\r\nVERSION:4.0\r\nFN:A\r\n" + note + "\r\nEND:VCARD\r\n", Version::V40);
        for (const QByteArray &line : out.split('\n')) {
            QVERIFY(line.size() <= 76);
            QVERIFY(line.isEmpty() || QByteArrayView(line).isValidUtf8());
            QVERIFY(!line.endsWith("=\r"));
        }
        Reader reader(std::string_view(out.constData(), size_t(out.size())));
        Card card;
        QVERIFY(reader.next(card));
        QCOMPARE(QByteArray::fromStdString(std::string(card.properties()[2].value)), note.mid(5));
    }

    void builder()
    {
        CardBuilder card;
        card.text("N", {"a;b", "c,d", "e\\f", "g\r\nh\ri\nj", std::string_view("k\0l", 3)});
        card.text("NICKNAME", {{}, {}});
        const std::string values[] {"x,y", {}, "z"};
        card.list("CATEGORIES", values);
        card.raw("URL", "https://example.org/?a=b", ";c");
        QCOMPARE(QByteArray::fromStdString(card.finish()),
            QByteArray("BEGIN:VCARD\r\nVERSION:4.0\r\nN:a\\;b;c\\,d;e\\\\f;g\\nh\\ni\\nj;kl\r\n"
                       "CATEGORIES:x\\,y,z\r\nURL:https://example.org/?a=b\\;c\r\nEND:VCARD\r\n"));
    }
};

QTEST_GUILESS_MAIN(TestVCardWriter)
#include "tst_vcardwriter.moc"
