// The outputs that carry every field, read back by independent readers:
// python3-vobject for vCard, Python's csv module for CSV, over the real
// contact files of the corpus; and the warning that counts what an output
// leaves out.

#include "Corpus.h"
#include "ProgramRun.h"
#include "core/CardEncoders.h"
#include "format/vcard/VCardContact.h"
#include "format/vcard/VCardReader.h"
#include "format/vcard/VCardText.h"
#include "platform/Failure.h"
#include "platform/contacts/BookKinds.h"
#include "platform/contacts/ReadAhead.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using namespace quarrelby;

namespace {

// The published header of Outlook's CSV export.
const QString kOutlookHeader = QStringLiteral(
    "Title,First Name,Middle Name,Last Name,Suffix,Company,Department,Job Title,Business Street,Business Street 2,"
    "Business Street 3,Business City,Business State,Business Postal Code,Business Country/Region,Home Street,"
    "Home Street 2,Home Street 3,Home City,Home State,Home Postal Code,Home Country/Region,Other Street,"
    "Other Street 2,Other Street 3,Other City,Other State,Other Postal Code,Other Country/Region,Assistant's Phone,"
    "Business Fax,Business Phone,Business Phone 2,Callback,Car Phone,Company Main Phone,Home Fax,Home Phone,"
    "Home Phone 2,ISDN,Mobile Phone,Other Fax,Other Phone,Pager,Primary Phone,Radio Phone,TTY/TDD Phone,Telex,"
    "Account,Anniversary,Assistant's Name,Billing Information,Birthday,Business Address PO Box,Categories,Children,"
    "Directory Server,E-mail Address,E-mail Type,E-mail Display Name,E-mail 2 Address,E-mail 2 Type,"
    "E-mail 2 Display Name,E-mail 3 Address,E-mail 3 Type,E-mail 3 Display Name,Gender,Government ID Number,Hobby,"
    "Home Address PO Box,Initials,Internet Free Busy,Keywords,Language,Location,Manager's Name,Mileage,Notes,"
    "Office Location,Organizational ID Number,Other Address PO Box,Priority,Private,Profession,Referred By,"
    "Sensitivity,Spouse,User 1,User 2,User 3,User 4,Web Page");

// Google's import template, a group's columns standing for all its numbers.
const QString kGoogleTemplate = QStringLiteral(
    "Name Prefix,First Name,Middle Name,Last Name,Name Suffix,Phonetic First Name,Phonetic Middle Name,"
    "Phonetic Last Name,Nickname,File As,E-mail 1 - Label,E-mail 1 - Value,Phone 1 - Label,Phone 1 - Value,"
    "Address 1 - Label,Address 1 - Country,Address 1 - Street,Address 1 - Extended Address,Address 1 - City,"
    "Address 1 - Region,Address 1 - Postal Code,Address 1 - PO Box,Organization Name,Organization Title,"
    "Organization Department,Birthday,Event 1 - Label,Event 1 - Value,Relation 1 - Label,Relation 1 - Value,"
    "Website 1 - Label,Website 1 - Value,Custom Field 1 - Label,Custom Field 1 - Value,Notes,Labels");

QByteArray encode(CardFormat format, const QList<QByteArray> &contacts, Omissions *omitted = nullptr)
{
    QByteArray out;
    CardEncoder encoder(format, [&](QByteArrayView bytes) { out.append(bytes); });
    for (const QByteArray &contact : contacts)
        encoder.add(std::string_view(contact.constData(), static_cast<size_t>(contact.size())));
    encoder.finish();
    if (omitted)
        *omitted = encoder.omitted();
    return out;
}

// What a Python script of tests/core makes of each output, by its name: one
// process for all of them, started through wrapper when one is given; a
// non-empty "missing" says what it could not find to run.
QJsonObject runPython(QStringList wrapper, const QString &script, const QStringList &arguments,
    const QMap<QString, QByteArray> &outputs,
    const QProcessEnvironment &environment = QProcessEnvironment::systemEnvironment())
{
    QTemporaryDir dir;
    QStringList command = wrapper << QStringLiteral("/usr/bin/python3")
                                  << QStringLiteral(QUARRELBY_SOURCE_DIR "/tests/core/") + script << arguments;
    for (auto it = outputs.begin(); it != outputs.end(); ++it) {
        QFile file(dir.filePath(it.key()));
        if (!file.open(QIODevice::WriteOnly) || file.write(it.value()) != it.value().size())
            return {};
        command << file.fileName();
    }
    QProcess python;
    python.setProcessEnvironment(environment);
    python.setWorkingDirectory(dir.path());
    python.start(command.takeFirst(), command);
    python.waitForFinished(300000);
    if (python.exitCode() == 3)
        return {{QStringLiteral("missing"), QString::fromUtf8(python.readAllStandardError()).trimmed()}};
    if (python.exitCode() != 0)
        qWarning().noquote() << python.readAllStandardError();
    QJsonObject byName;
    const QJsonObject read = QJsonDocument::fromJson(python.readAllStandardOutput()).object();
    for (auto it = read.begin(); it != read.end(); ++it)
        byName.insert(QFileInfo(it.key()).fileName(), it.value());
    return byName;
}

QJsonObject readBack(const char *kind, const QMap<QString, QByteArray> &outputs)
{
    return runPython({}, QStringLiteral("read_back.py"), {QLatin1String(kind)}, outputs);
}

// What a real Evolution Data Server book holds of each vCard output once
// imported: its daemon on a session bus of its own, in a home of its own.
QJsonObject importIntoEvolution(const QMap<QString, QByteArray> &outputs)
{
    QTemporaryDir home;
    QProcessEnvironment environment;
    environment.insert(QStringLiteral("PATH"), QStringLiteral("/usr/bin:/bin"));
    environment.insert(QStringLiteral("LANG"), QStringLiteral("C.UTF-8"));
    environment.insert(QStringLiteral("HOME"), home.path());
    for (const char *name : {"XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME", "XDG_RUNTIME_DIR"}) {
        const QString folder = home.filePath(QLatin1String(name));
        QDir().mkpath(folder);
        QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        environment.insert(QLatin1String(name), folder);
    }
    if (QStandardPaths::findExecutable(QStringLiteral("dbus-run-session")).isEmpty())
        return {{QStringLiteral("missing"), QStringLiteral("dbus-run-session is not installed")}};
    return runPython({QStringLiteral("dbus-run-session"), QStringLiteral("--")}, QStringLiteral("eds_import.py"), {},
        outputs, environment);
}

QString normalized(std::string_view utf8)
{
    QString text = QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    return text;
}

QString withoutBlanks(QString text)
{
    text.remove(QRegularExpression(QStringLiteral("\\s")));
    return text;
}

// One source property as the comparison sees it.
struct Source {
    QString group;
    QString name;
    QString value;
    bool binary = false;
    QStringList types; // lower case, pref and encodings left out
    bool pref = false;
    QList<QPair<QString, QString>> parameters; // the others, as written
};

QList<QList<Source>> sourceCards(const QByteArray &bytes, int &lists)
{
    std::string buffer;
    const std::string_view text = vcard::utf8Text(std::string_view(bytes.constData(), size_t(bytes.size())), buffer);
    vcard::Reader reader(text);
    vcard::Card card;
    vcard::TextDecoder decoder;
    vcard::ValueReader values(decoder);
    QList<QList<Source>> cards;
    lists = 0;
    while (reader.next(card)) {
        values.setCard(card);
        QList<Source> properties;
        bool list = false;
        for (const vcard::Property &p : card.properties()) {
            Source s;
            s.group = QString::fromUtf8(p.group.data(), qsizetype(p.group.size())).toUpper();
            // vobject writes the underscore some names have as a hyphen.
            s.name = QString::fromUtf8(p.name.data(), qsizetype(p.name.size()))
                         .toUpper()
                         .replace(QLatin1Char('_'), QLatin1Char('-'));
            // PROFILE:VCARD repeats BEGIN:VCARD and is not written, nor a
            // damaged BEGIN or END line.
            if (s.name == QLatin1String("VERSION") || s.name == QLatin1String("PROFILE")
                || s.name == QLatin1String("BEGIN") || s.name == QLatin1String("END"))
                continue;
            const QString raw = normalized(p.value).trimmed();
            list = list
                || ((s.name == QLatin1String("KIND") || s.name == QLatin1String("X-ADDRESSBOOKSERVER-KIND"))
                    && raw.compare(QLatin1String("group"), Qt::CaseInsensitive) == 0)
                || (s.name == QLatin1String("X-EVOLUTION-LIST") && raw.compare(QLatin1String("TRUE")) == 0);
            s.binary = values.encoding(p) == vcard::Encoding::Binary;
            s.value = s.binary ? withoutBlanks(raw.mid(raw.indexOf(QLatin1Char(',')) + 1)) : normalized(values.utf8(p));
            for (const vcard::Parameter &param : card.parameters(p)) {
                const QString name = QString::fromUtf8(param.name.data(), qsizetype(param.name.size())).toUpper();
                QString value = QString::fromUtf8(param.value.data(), qsizetype(param.value.size())).trimmed();
                if (value.startsWith(QLatin1Char('"')) && value.endsWith(QLatin1Char('"')) && value.size() > 1)
                    value = value.mid(1, value.size() - 2);
                if (name.isEmpty() || name == QLatin1String("TYPE")) {
                    for (const QString &t : value.toLower().split(QLatin1Char(','), Qt::SkipEmptyParts)) {
                        // Encodings, and 2.1's values (INLINE, URL) written
                        // without their names: no types.
                        static const QStringList encodings {QStringLiteral("quoted-printable"),
                            QStringLiteral("base64"), QStringLiteral("b"), QStringLiteral("8bit"),
                            QStringLiteral("7bit"), QStringLiteral("inline"), QStringLiteral("url")};
                        if (t == QLatin1String("pref"))
                            s.pref = true;
                        else if (!encodings.contains(t.trimmed()))
                            s.types << t.trimmed();
                    }
                } else if (name == QLatin1String("PREF")) {
                    s.pref = s.pref || value == QLatin1String("1");
                } else if (name != QLatin1String("ENCODING") && name != QLatin1String("CHARSET")
                    && name != QLatin1String("VALUE") && name != QLatin1String("LABEL")) {
                    s.parameters.append({name, value});
                }
            }
            properties << s;
        }
        if (list)
            ++lists;
        cards << properties;
    }
    return cards;
}

QString caretDecoded(QString value)
{
    value.replace(QLatin1String("^n"), QLatin1String("\n"))
        .replace(QLatin1String("^N"), QLatin1String("\n"))
        .replace(QLatin1String("^'"), QLatin1String("\""))
        .replace(QLatin1String("^^"), QLatin1String("^"));
    return value;
}

QString outputValue(const QJsonObject &line)
{
    const QString raw = line[QLatin1String("raw")].toString();
    if (raw.startsWith(QLatin1String("data:"), Qt::CaseInsensitive))
        return raw.mid(raw.indexOf(QLatin1Char(',')) + 1);
    const QJsonObject params = line[QLatin1String("params")].toObject();
    if (params.contains(QLatin1String("ENCODING")))
        return withoutBlanks(raw);
    return line[QLatin1String("value")].toString();
}

QStringList parameter(const QJsonObject &line, const char *name)
{
    QStringList out;
    for (const QJsonValue &v : line[QLatin1String("params")].toObject()[QLatin1String(name)].toArray())
        out << caretDecoded(v.toString());
    return out;
}

// What the output lines lack of the source property: "" when one carries it
// whole.
QString findProperty(const Source &s, const QJsonArray &lines, bool v4)
{
    auto same = [](QString a, QString b, const QString &name) {
        if (name == QLatin1String("GEO")) {
            a = a.remove(QLatin1String("geo:")).replace(QLatin1Char(';'), QLatin1Char(','));
            b = b.remove(QLatin1String("geo:")).replace(QLatin1Char(';'), QLatin1Char(','));
        } else if (name == QLatin1String("TEL")) {
            a.remove(QRegularExpression(QStringLiteral("^tel:")));
            b.remove(QRegularExpression(QStringLiteral("^tel:")));
        } else if (name == QLatin1String("N") || name == QLatin1String("ADR")) {
            // 4.0 writes every component.
            a.remove(QRegularExpression(QStringLiteral(";+$")));
            b.remove(QRegularExpression(QStringLiteral(";+$")));
        }
        return a == b;
    };
    QString lacking = QStringLiteral("no line");
    for (const QJsonValue &value : lines) {
        const QJsonObject line = value.toObject();
        if (v4 && s.name == QLatin1String("LABEL") && line[QLatin1String("name")] == QLatin1String("ADR")
            && parameter(line, "LABEL").contains(s.value))
            return {};
        if (v4 && s.name == QLatin1String("SORT-STRING") && line[QLatin1String("name")] == QLatin1String("N")
            && parameter(line, "SORT-AS").contains(s.value))
            return {};
        if (line[QLatin1String("name")].toString() != s.name
            || line[QLatin1String("group")].toString().toUpper() != s.group
            || !same(outputValue(line), s.value, s.name))
            continue;
        QStringList types;
        for (const QString &t : parameter(line, "TYPE"))
            types << t.toLower().split(QLatin1Char(','));
        const bool pref = types.contains(QLatin1String("pref")) || parameter(line, "PREF").contains(QLatin1String("1"));
        QStringList missing;
        for (const QString &t : s.types) {
            if (!types.contains(t) && !(s.binary && v4))
                missing << QStringLiteral("TYPE=") + t;
        }
        if (s.pref && !pref)
            missing << QStringLiteral("pref");
        for (const auto &[name, v] : s.parameters) {
            const QStringList written = parameter(line, name.toLatin1().constData());
            // A list of values (5550100,"+1") as vobject splits it.
            QStringList values;
            for (const QString &one : v.split(QLatin1Char(',')))
                values << (one.size() > 1 && one.startsWith(QLatin1Char('"')) && one.endsWith(QLatin1Char('"'))
                        ? one.mid(1, one.size() - 2)
                        : one);
            if (!written.contains(caretDecoded(v))
                && !std::all_of(values.begin(), values.end(),
                    [&](const QString &one) { return written.contains(caretDecoded(one)); }))
                missing << name + QLatin1Char('=') + v;
        }
        if (missing.isEmpty())
            return {};
        lacking = missing.join(QLatin1Char(' '));
    }
    return lacking;
}

bool brokenBase64(const QList<QList<Source>> &cards)
{
    for (const QList<Source> &card : cards) {
        for (const Source &s : card) {
            if (s.binary
                && !QByteArray::fromBase64Encoding(s.value.toLatin1(), QByteArray::AbortOnBase64DecodingErrors))
                return true;
        }
    }
    return false;
}

bool isList(const QList<Source> &card)
{
    return std::any_of(card.begin(), card.end(), [](const Source &s) {
        return s.name.endsWith(QLatin1String("KIND")) || s.name == QLatin1String("X-EVOLUTION-LIST");
    });
}

// A value as importers are compared on it: line breaks as LF, no tel:
// scheme, no empty components at the end of a structured value.
QString comparable(QString value)
{
    value.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    value.remove(QRegularExpression(QStringLiteral("^tel:")));
    value.remove(QRegularExpression(QStringLiteral(";+$")));
    return value.trimmed();
}

// The books of tests/data that Evolution's and Thunderbird's own code
// wrote, by a name of their own: Thunderbird's made from its SQL text into
// folder.
QMap<QString, QString> realProgramBooks(const QString &folder)
{
    const QString data = QStringLiteral(QUARRELBY_SOURCE_DIR "/tests/data/");
    QMap<QString, QString> books {{QStringLiteral("eds-contacts.db"), data + QStringLiteral("eds/contacts.db")},
        {QStringLiteral("eds-cache.db"), data + QStringLiteral("eds/cache.db")}};
    for (const char *sql : {"abook", "abook-v1"}) {
        const QString path = folder + QStringLiteral("/thunderbird-") + QLatin1String(sql) + QStringLiteral(".sqlite");
        QProcess::execute(QStringLiteral("/usr/bin/python3"),
            {QStringLiteral("-c"),
                QStringLiteral("import sqlite3, sys; c = sqlite3.connect(sys.argv[1]); "
                               "c.executescript(open(sys.argv[2]).read()); c.close()"),
                path, data + QStringLiteral("thunderbird/") + QLatin1String(sql) + QStringLiteral(".sql")});
        books.insert(QFileInfo(path).fileName(), path);
    }
    return books;
}

// Every contact of a book whole, as its reader hands it on.
QByteArray wholeCards(const QString &path)
{
    const QByteArray name = QFile::encodeName(path);
    ReadAhead source(openBook(FoundBook {BookKind::Unknown, name}), name, true);
    Contact contact;
    std::string_view card;
    QByteArray cards;
    for (;;) {
        try {
            if (!source.next(contact, &card))
                return cards;
        } catch (const Failure &) {
            continue; // a damaged file: what could be read
        }
        cards.append(card.data(), qsizetype(card.size()));
        if (!cards.endsWith('\n'))
            cards.append("\r\n");
    }
}

} // namespace

class TestCardEncoders : public QObject {
    Q_OBJECT

    // The corpus files and the books the real programs wrote, by name; each
    // in every format, and what Python and Evolution read of it.
    QTemporaryDir m_dir;
    QMap<QString, QString> m_books; // the real programs', by name
    QMap<QString, QString> m_paths; // every source's book, by name
    QMap<QString, QByteArray> m_sources;
    QMap<QString, QByteArray> m_outputs;
    QMap<QString, Omissions> m_omitted;
    QJsonObject m_read;
    // The vCard outputs as real Evolution and Thunderbird books took them.
    QMap<QString, QJsonObject> m_imported;
    QJsonObject m_thunderbirdCsv; // the CSV outputs as Thunderbird's importer took them

    static QString key(const QString &path, CardFormat format)
    {
        return QFileInfo(path).fileName() + QLatin1Char('.') + QString::number(int(format));
    }

private slots:
    void initTestCase()
    {
        const QString corpus = corpusFolder("vcard");
        if (!corpus.isEmpty()) {
            for (const QString &name : QDir(corpus).entryList({QStringLiteral("*.vcf")}, QDir::Files, QDir::Name)) {
                m_paths.insert(name, corpus + QLatin1Char('/') + name);
                m_sources.insert(name, test::readFile(m_paths[name]));
            }
        }
        // Outlook's items, as the vCards made of them.
        const QString outlook = corpusFolder("pst");
        for (const QString &name : QDir(outlook).entryList({QStringLiteral("*.pst")}, QDir::Files, QDir::Name))
            m_paths.insert(name, outlook + QLatin1Char('/') + name);
        m_books = realProgramBooks(m_dir.path());
        m_paths.insert(m_books);
        for (auto it = m_paths.begin(); it != m_paths.end(); ++it) {
            if (!m_sources.contains(it.key()))
                m_sources.insert(it.key(), wholeCards(it.value()));
        }
        const std::pair<const char *, std::array<CardFormat, 2>> kinds[] {
            {"vcard", {CardFormat::VCard3, CardFormat::VCard4}},
            {"csv", {CardFormat::OutlookCsv, CardFormat::GoogleCsv}},
        };
        for (const auto &[kind, formats] : kinds) {
            QMap<QString, QByteArray> outputs;
            for (auto source = m_sources.begin(); source != m_sources.end(); ++source) {
                const QString &path = source.key();
                for (const CardFormat format : formats) {
                    Omissions omitted;
                    outputs[key(path, format)] = encode(format, {source.value()}, &omitted);
                    m_omitted[key(path, format)] = omitted;
                }
            }
            if (QLatin1String(kind) == QLatin1String("vcard")) {
                m_imported[QStringLiteral("Evolution")] = importIntoEvolution(outputs);
                m_imported[QStringLiteral("Thunderbird")]
                    = runPython({}, QStringLiteral("thunderbird_import.py"), {QStringLiteral("vcard")}, outputs);
            } else {
                m_thunderbirdCsv
                    = runPython({}, QStringLiteral("thunderbird_import.py"), {QStringLiteral("csv")}, outputs);
            }
            const QJsonObject read = readBack(kind, outputs);
            for (auto it = read.begin(); it != read.end(); ++it)
                m_read.insert(it.key(), it.value());
            m_outputs.insert(outputs);
        }
    }

    void everyPropertyInTheVCard_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<bool>("v4");
        for (const QString &path : m_sources.keys()) {
            for (const bool v4 : {false, true})
                QTest::newRow(qPrintable(path + (v4 ? " 4.0" : " 3.0"))) << path << v4;
        }
    }

    void everyPropertyInTheVCard()
    {
        QFETCH(QString, path);
        QFETCH(bool, v4);
        const QByteArray source = m_sources[path];
        const QString name = key(path, v4 ? CardFormat::VCard4 : CardFormat::VCard3);
        const Omissions omitted = m_omitted[name];
        for (const QByteArray &line : m_outputs[name].split('\n'))
            QVERIFY2(line.size() <= 76, line.constData());
        const QJsonObject read = m_read[name].toObject();
        const QJsonArray cards = read[QLatin1String("cards")].toArray();
        int lists = 0;
        const QList<QList<Source>> sources = sourceCards(source, lists);
        // vobject refuses a card whose base64 is broken in the source too.
        const QString error = read[QLatin1String("error")].toString();
        QVERIFY2(
            error.isEmpty() || (error.contains(QLatin1String("base64")) && brokenBase64(sources)), qPrintable(error));
        QCOMPARE(cards.size(), v4 ? sources.size() : sources.size() - lists);
        QCOMPARE(omitted[Omission::DistributionList], v4 ? 0u : quint32(lists));
        qsizetype next = 0;
        for (const QList<Source> &card : sources) {
            const bool list = std::any_of(card.begin(), card.end(), [](const Source &s) {
                return s.name.endsWith(QLatin1String("KIND")) || s.name == QLatin1String("X-EVOLUTION-LIST");
            }) && lists > 0;
            if (list && !v4)
                continue;
            const QJsonArray lines = cards[next++].toArray();
            for (const Source &s : card) {
                const QString missing = findProperty(s, lines, v4);
                QVERIFY2(missing.isEmpty(),
                    qPrintable(QStringLiteral("card %1: %2%3 (%4): %5")
                                   .arg(next)
                                   .arg(s.group.isEmpty() ? QString() : s.group + QLatin1Char('.'), s.name,
                                       s.value.left(60), missing)));
            }
        }
    }

    // Evolution's and Thunderbird's own parsers and books keep every name,
    // e-mail address, telephone and postal address of our vCards as the
    // source had them.
    void importedByRealBooks_data()
    {
        QTest::addColumn<QString>("importer");
        QTest::addColumn<QString>("path");
        QTest::addColumn<bool>("v4");
        for (const QString &importer : m_imported.keys()) {
            for (const QString &path : m_sources.keys()) {
                for (const bool v4 : {false, true})
                    QTest::newRow(qPrintable(importer + QLatin1Char(' ') + path + (v4 ? " 4.0" : " 3.0")))
                        << importer << path << v4;
            }
        }
    }

    void importedByRealBooks()
    {
        QFETCH(QString, importer);
        QFETCH(QString, path);
        QFETCH(bool, v4);
        const QJsonObject &imported = m_imported[importer];
        const QString missing = imported[QLatin1String("missing")].toString();
        if (!missing.isEmpty())
            QSKIP(qPrintable(missing));
        const QJsonObject file = imported[key(path, v4 ? CardFormat::VCard4 : CardFormat::VCard3)].toObject();
        QVERIFY2(!file.contains(QLatin1String("error")), qPrintable(file[QLatin1String("error")].toString()));
        const QJsonArray cards = file[QLatin1String("cards")].toArray();
        int lists = 0;
        const QList<QList<Source>> sources = sourceCards(m_sources[path], lists);
        QCOMPARE(cards.size(), v4 ? sources.size() : sources.size() - lists);
        qsizetype next = 0;
        for (const QList<Source> &card : sources) {
            if (isList(card) && lists > 0 && !v4)
                continue;
            const QJsonObject stored = cards[next++].toObject();
            QVERIFY2(!stored.contains(QLatin1String("error")), qPrintable(stored[QLatin1String("error")].toString()));
            QStringList held; // NAME:value of each attribute the book holds
            for (const QJsonValue &a : stored[QLatin1String("attributes")].toArray()) {
                QStringList values;
                for (const QJsonValue &v : a[QLatin1String("values")].toArray())
                    values << v.toString();
                QString value = values.join(QLatin1Char(';'));
                // Thunderbird keeps the backslash of an escaped semicolon in
                // a value of one part (FN, EMAIL), which RFC 2426 requires
                // and RFC 6350 allows, and Evolution needs: its loss.
                if (importer == QLatin1String("Thunderbird") && values.size() == 1)
                    value.replace(QLatin1String("\\;"), QLatin1String(";"));
                held << a[QLatin1String("name")].toString() + QLatin1Char(':') + comparable(value);
            }
            for (const Source &s : card) {
                static const QStringList kept {QStringLiteral("FN"), QStringLiteral("N"), QStringLiteral("EMAIL"),
                    QStringLiteral("TEL"), QStringLiteral("ADR")};
                if (!kept.contains(s.name) || s.value.trimmed().isEmpty())
                    continue;
                const QString line = s.name + QLatin1Char(':') + comparable(s.value);
                QVERIFY2(held.contains(line),
                    qPrintable(
                        QStringLiteral("card %1: %2 not in %3").arg(next).arg(line, held.join(QLatin1String(" | ")))));
            }
        }
    }

    // The command line writes every book as the encoders do, so that what
    // the other cases hold of the encoders holds of it.
    void commandLineWritesWhatTheEncodersWrite_data()
    {
        QTest::addColumn<QString>("book");
        QTest::addColumn<QString>("format");
        QTest::addColumn<int>("encoded");
        for (const QString &book : m_paths.keys()) {
            const std::pair<const char *, CardFormat> formats[] {{"vcard", CardFormat::VCard3},
                {"vcard4", CardFormat::VCard4}, {"outlook-csv", CardFormat::OutlookCsv},
                {"google-csv", CardFormat::GoogleCsv}};
            for (const auto &[format, encoded] : formats) {
                // Of the corpus, the two that convert and count most: the
                // cases take a process each.
                if (!m_books.contains(book) && encoded != CardFormat::VCard4 && encoded != CardFormat::GoogleCsv)
                    continue;
                QTest::newRow(qPrintable(book + QLatin1Char(' ') + QLatin1String(format)))
                    << book << QString::fromLatin1(format) << int(encoded);
            }
        }
    }
    void commandLineWritesWhatTheEncodersWrite()
    {
        QFETCH(QString, book);
        QFETCH(QString, format);
        QFETCH(int, encoded);
        QTemporaryDir home;
        const test::Run run = test::runProgram({QStringLiteral("--export"), format, QStringLiteral("--book"),
                                                   m_paths[book], QStringLiteral("-o"), QStringLiteral("-")},
            home.path());
        if (m_books.contains(book)) // a damaged corpus file is read in part: status 1
            QCOMPARE(run.status, 0);
        QCOMPARE(run.out, m_outputs[key(book, CardFormat(encoded))]);
    }

    // Thunderbird's CSV importer, its columns mapped by their meaning as its
    // wizard asks, reads the names, e-mail addresses and telephones of each
    // row as Python's csv module does.
    void csvImportedByThunderbird_data() { csvImportFiles_data(); }
    void csvImportedByThunderbird()
    {
        QFETCH(QString, path);
        QFETCH(bool, google);
        const QString missing = m_thunderbirdCsv[QLatin1String("missing")].toString();
        if (!missing.isEmpty())
            QSKIP(qPrintable(missing));
        const QString name = key(path, google ? CardFormat::GoogleCsv : CardFormat::OutlookCsv);
        const QJsonObject file = m_thunderbirdCsv[name].toObject();
        QVERIFY2(!file.contains(QLatin1String("error")), qPrintable(file[QLatin1String("error")].toString()));
        const QJsonArray cards = file[QLatin1String("cards")].toArray();
        const QJsonArray records = m_read[name][QLatin1String("records")].toArray();
        QCOMPARE(cards.size(), records.size() - 1);
        const QJsonArray header = records[0].toArray();
        for (qsizetype row = 0; row < cards.size(); ++row) {
            const QJsonObject kept = cards[row][QLatin1String("kept")].toObject();
            QVERIFY(!kept.isEmpty());
            for (auto it = kept.begin(); it != kept.end(); ++it) {
                const QString cell = records[row + 1][header.toVariantList().indexOf(it.key())].toString();
                QVERIFY2(it.value().toString() == cell,
                    qPrintable(QStringLiteral("row %1, %2: %3 for %4")
                                   .arg(row + 1)
                                   .arg(it.key(), it.value().toString(), cell)));
            }
        }
    }

    void csvImportFiles_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<bool>("google");
        for (const QString &path : m_sources.keys()) {
            for (const bool google : {false, true})
                QTest::newRow(qPrintable(path + (google ? " Google" : " Outlook"))) << path << google;
        }
    }

    void csvImportFiles()
    {
        QFETCH(QString, path);
        QFETCH(bool, google);
        const QByteArray source = m_sources[path];
        const QString name = key(path, google ? CardFormat::GoogleCsv : CardFormat::OutlookCsv);
        const Omissions omitted = m_omitted[name];
        const QJsonObject read = m_read[name].toObject();
        QCOMPARE(read[QLatin1String("bom")].toBool(), !google);
        const QJsonArray records = read[QLatin1String("records")].toArray();
        QVERIFY(!records.isEmpty());
        QStringList header;
        for (const QJsonValue &v : records[0].toArray())
            header << v.toString();
        if (google) {
            // Each group numbered 1, 2, ... as far as the contacts need.
            QString collapsed = header.join(QLatin1Char(','));
            collapsed.replace(
                QRegularExpression(QStringLiteral("(,([A-Za-z -]+) (\\d+) - [A-Za-z ]+)+")), QStringLiteral("<\\2>"));
            QString expected = kGoogleTemplate;
            expected.replace(
                QRegularExpression(QStringLiteral("(,([A-Za-z -]+) 1 - [A-Za-z ]+)+")), QStringLiteral("<\\2>"));
            QCOMPARE(collapsed, expected);
        } else {
            QCOMPARE(header.join(QLatin1Char(',')), kOutlookHeader);
        }

        int lists = 0;
        const QList<QList<Source>> sources = sourceCards(source, lists);
        QCOMPARE(records.size() - 1, sources.size() - lists);
        QCOMPARE(omitted[Omission::DistributionList], quint32(lists));
        int phones = 0;
        int phonesFound = 0;
        qsizetype row = 1;
        for (const QList<Source> &card : sources) {
            if (std::any_of(card.begin(), card.end(),
                    [](const Source &s) {
                        return s.name == QLatin1String("X-EVOLUTION-LIST") || s.name.endsWith(QLatin1String("KIND"));
                    })
                && lists > 0)
                continue;
            QStringList cells;
            for (const QJsonValue &v : records[row++].toArray())
                cells << v.toString().replace(QLatin1String("\r\n"), QLatin1String("\n"));
            QCOMPARE(cells.size(), header.size());
            // A card with a full name and no name parts keeps the full name.
            const auto property = [&](const char *wanted) -> QString {
                for (const Source &s : card) {
                    if (s.name == QLatin1String(wanted))
                        return s.value;
                }
                return {};
            };
            if (QString parts = property("N");
                parts.remove(QLatin1Char(';')).trimmed().isEmpty() && !property("FN").trimmed().isEmpty())
                QCOMPARE(cells[header.indexOf(QLatin1String("First Name"))], property("FN"));
            int emails = 0;
            for (const Source &s : card) {
                if (s.name == QLatin1String("N")) {
                    const QStringList parts = s.value.split(QLatin1Char(';'));
                    const QString family = parts.value(0);
                    if (!family.contains(QLatin1Char(',')))
                        QCOMPARE(cells[header.indexOf(QLatin1String("Last Name"))], family);
                } else if (s.name == QLatin1String("EMAIL") && !s.value.trimmed().isEmpty()
                    && (google || ++emails <= 3)) {
                    QVERIFY2(cells.contains(s.value.trimmed()), qPrintable(s.value));
                } else if (s.name == QLatin1String("TEL") && !s.value.trimmed().isEmpty()) {
                    ++phones;
                    QString number = s.value.trimmed();
                    number.remove(QRegularExpression(QStringLiteral("^tel:")));
                    phonesFound += cells.removeOne(number) ? 1 : 0;
                }
            }
        }
        // Every telephone is in its row or counted as left out.
        QCOMPARE(phonesFound + int(omitted[Omission::Telephone]), phones);
    }

    void warning_data()
    {
        QTest::addColumn<QByteArray>("card");
        QTest::addColumn<QString>("table");
        QTest::addColumn<QString>("outlook");

        QTest::newRow("nothing left out")
            << QByteArray("FN:Ada\r\nN:Lovelace;Ada;;;\r\nEMAIL:a@x\r\nTEL:1\r\n") << QString() << QString();
        QTest::newRow("e-mails past the third, a nickname")
            << QByteArray("FN:Ada\r\nEMAIL:1@x\r\nEMAIL:2@x\r\nEMAIL:3@x\r\nEMAIL:4@x\r\nEMAIL:5@x\r\nNICKNAME:Al\r\n")
            << QStringLiteral("2 e-mail addresses past the third and 1 nickname are not in the table")
            << QStringLiteral("2 e-mail addresses past the third and 1 nickname are not in the Outlook CSV");
        QTest::newRow("second mobile, third work phone")
            << QByteArray("FN:A\r\nTEL;TYPE=cell:1\r\nTEL;TYPE=cell:2\r\nTEL;TYPE=work:3\r\nTEL;TYPE=work:4\r\n"
                          "TEL;TYPE=work:5\r\n")
            << QStringLiteral("2 telephone numbers with no column of their kind left are not in the table")
            << QStringLiteral("2 telephone numbers with no column of their kind left are not in the Outlook CSV");
        QTest::newRow("name parts, unit, categories, uid not counted")
            << QByteArray("FN:Ada Lovelace\r\nN:Lovelace;Ada;Augusta;Lady;\r\nORG:Acme;Research;Looms\r\n"
                          "CATEGORIES:a,b\\,c\r\nUID:1\r\nREV:2020\r\n")
            << QStringLiteral("2 parts of names, 2 organisational units and 2 categories are not in the table")
            << QStringLiteral("1 organisational unit is not in the Outlook CSV");
        QTest::newRow("IM, web page, photo, anniversary, spouse, other")
            << QByteArray("FN:A\r\nIMPP:xmpp:a@x\r\nX-AIM:a\r\nURL:http://a\r\nURL:http://b\r\n"
                          "PHOTO;ENCODING=b;TYPE=JPEG:AAAA\r\nX-EVOLUTION-ANNIVERSARY:2001-01-01\r\n"
                          "X-EVOLUTION-SPOUSE:B\r\nROLE:Chief\r\nGEO:1;2\r\n")
            << QStringLiteral("1 IM address past the first, 1 web page past the first, 1 photo, 1 anniversary, "
                              "1 related person and 2 other fields are not in the table")
            << QStringLiteral("2 IM addresses, 1 web page past the first, 1 photo and 1 other field are not in "
                              "the Outlook CSV");
        QTest::newRow("a fourth address") << QByteArray("FN:A\r\nADR;TYPE=home:;;1;;;;\r\nADR;TYPE=home:;;2;;;;\r\n")
                                          << QStringLiteral("1 postal address with no column of its kind left is "
                                                            "not in the table")
                                          << QStringLiteral("1 postal address with no column of its kind left is "
                                                            "not in the Outlook CSV");
    }

    void warning()
    {
        QFETCH(QByteArray, card);
        QFETCH(QString, table);
        QFETCH(QString, outlook);
        const QByteArray text = "BEGIN:VCARD\r\nVERSION:3.0\r\n" + card + "END:VCARD\r\n";
        vcard::ContactReader reader;
        const std::vector<Contact> contacts
            = vcard::readContacts(std::string_view(text.constData(), size_t(text.size())), reader);
        QCOMPARE(contacts.size(), size_t(1));
        const QString remedy = QStringLiteral("; --export vcard keeps every field");
        QCOMPARE(omissionWarning(contacts[0].omitted, u"the table", u"--export vcard keeps every field"),
            table.isEmpty() ? table : table + remedy);
        Omissions omitted;
        encode(CardFormat::OutlookCsv, {text}, &omitted);
        QCOMPARE(omissionWarning(omitted, u"the Outlook CSV", u"--export vcard keeps every field"),
            outlook.isEmpty() ? outlook : outlook + remedy);
    }

    // Cards made into pieces on several threads' encoders and put together
    // give the file that adding them gives, and the same counts.
    void piecesAsAdded_data()
    {
        QTest::addColumn<CardFormat>("format");
        QTest::newRow("vCard 3.0") << CardFormat::VCard3;
        QTest::newRow("vCard 4.0") << CardFormat::VCard4;
        QTest::newRow("Outlook CSV") << CardFormat::OutlookCsv;
        QTest::newRow("Google CSV") << CardFormat::GoogleCsv;
    }

    void piecesAsAdded()
    {
        QFETCH(CardFormat, format);
        QList<QByteArray> cards = m_sources.values();
        const QDir samples(QStringLiteral(QUARRELBY_SOURCE_DIR "/samples/contacts"));
        for (const QString &name : samples.entryList({QStringLiteral("*.vcf")}, QDir::Files, QDir::Name))
            cards << test::readFile(samples.filePath(name));
        QVERIFY(cards.size() > 10);
        Omissions added;
        const QByteArray expected = encode(format, cards, &added);

        QByteArray out;
        CardEncoder encoder(format, [&](QByteArrayView bytes) { out.append(bytes); });
        std::array<CardPieces, 2> threads {CardPieces(format), CardPieces(format)};
        for (qsizetype i = 0; i < cards.size(); ++i) {
            std::string piece;
            Omissions counted;
            threads[size_t(i % 2)].transform(
                std::string_view(cards[i].constData(), size_t(cards[i].size())), piece, counted);
            encoder.addPiece(piece, counted);
        }
        encoder.finish();
        QCOMPARE(out, expected);
        QCOMPARE(encoder.omitted().counts, added.counts);
    }
};

QTEST_GUILESS_MAIN(TestCardEncoders)
#include "tst_cardencoders.moc"
