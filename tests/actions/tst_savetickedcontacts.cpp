// The list's menu entries that save the ticked rows' contacts whole: the
// real contact store over a folder of cards, the real file writer, and the
// written file read back by python3-vobject or Python's csv module.

#include "ExportFixture.h"

#include "actions/ExtractContacts.h"
#include "actions/SaveTickedContacts.h"
#include "core/FieldCatalogue.h"
#include "platform/contacts/ContactStore.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace quarrelby;
using namespace quarrelby::test;

namespace {

// Ada and Cleo have a UID, Bo and Dee none; Ada has more e-mail addresses
// than Outlook has columns, and a nickname, which it has none for.
QByteArray card(const char *name, const char *uid, const char *more = "")
{
    QByteArray text = QByteArray("BEGIN:VCARD\r\nVERSION:3.0\r\nFN:") + name + "\r\nN:" + name + ";;;;\r\n";
    if (*uid)
        text += QByteArray("UID:") + uid + "\r\n";
    return text + more + "END:VCARD\r\n";
}
const QByteArray kAda = card("Ada", "ada-1",
    "NICKNAME:Countess\r\nEMAIL:a1@example.org\r\nEMAIL:a2@example.org\r\nEMAIL:a3@example.org\r\n"
    "EMAIL:a4@example.org\r\n");
const QByteArray kBo = card("Bo", "", "TEL;TYPE=CELL:+44 20 7946 0018\r\n");
const QByteArray kCleo = card("Cleo", "cleo-1", "EMAIL:cleo@example.org\r\n");
const QByteArray kDee = card("Dee", "", "NOTE:two\\, with a comma\r\n");
// A twin of Bo, known by its cells alone: unticked, it must not be saved.
const QByteArray kBoTwin = card("Bo", "", "TEL;TYPE=CELL:+44 20 7946 0019\r\n");

// The names in a written file: FN of each card, or the CSV's family names.
QStringList namesIn(const QString &path, CardFormat format)
{
    const bool vcard = format == CardFormat::VCard3 || format == CardFormat::VCard4;
    QProcess python;
    python.start(QStringLiteral("/usr/bin/python3"),
        {QStringLiteral(QUARRELBY_SOURCE_DIR "/tests/core/read_back.py"),
            vcard ? QStringLiteral("vcard") : QStringLiteral("csv"), path});
    if (!python.waitForFinished(60000) || python.exitCode() != 0)
        return {QString::fromUtf8(python.readAllStandardError())};
    const QJsonObject read = QJsonDocument::fromJson(python.readAllStandardOutput()).object().value(path).toObject();
    QStringList names;
    if (vcard) {
        if (!read.value(QLatin1String("error")).toString().isEmpty())
            return {read.value(QLatin1String("error")).toString()};
        for (const QJsonValue &c : read.value(QLatin1String("cards")).toArray()) {
            for (const QJsonValue &line : c.toArray()) {
                if (line[QLatin1String("name")].toString() == QLatin1String("FN"))
                    names << line[QLatin1String("value")].toString();
            }
        }
        return names;
    }
    const QJsonArray records = read.value(QLatin1String("records")).toArray();
    const QJsonArray header = records.at(0).toArray();
    const qsizetype first = header.toVariantList().indexOf(QStringLiteral("Last Name"));
    for (qsizetype r = 1; r < records.size(); ++r) {
        if (records.at(r).toArray().size() != header.size())
            return {QStringLiteral("a record not as long as the header")};
        names << records.at(r).toArray().at(first).toString();
    }
    return names;
}

} // namespace

class TestSaveTickedContacts : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        m_dir.emplace();
        m_book = m_dir->filePath(QStringLiteral("book/cards.vcf"));
        m_out = m_dir->filePath(QStringLiteral("out/contacts"));
        writeFile(m_book, kAda + kBo + kCleo + kBoTwin + kDee);
        writeFile(m_out, {});
        QVERIFY(QFile::remove(m_out));
        m_store.emplace(m_dir->filePath(QStringLiteral("book")));
        m_harness.emplace();
        for (const ContactField &f : fieldCatalogue())
            m_harness->list.addColumn(QLatin1String(f.caption));
        readAddressBooks(m_harness->context, *m_store);
        QCOMPARE(m_harness->list.itemCount(), 5);
        // Ada, Bo and Dee ticked; Cleo and Bo's twin not.
        for (int row : {0, 1, 4})
            m_harness->list.setChecked(row, true);
        m_harness->busyHistory.clear();
    }

    // Every format takes the ticked contacts, whole, in the list's order, as
    // the books hold them now; the closing message says what the format had
    // no column for, and how many ticked contacts the books no longer hold.
    void savesTheTickedContacts_data()
    {
        QTest::addColumn<CardFormat>("format");
        QTest::addColumn<QByteArray>("bookNow"); // empty: as extracted
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<QString>("message");
        const QStringList all {"Ada", "Bo", "Dee"};
        const QString saved = QStringLiteral("3 contacts have been saved to %1.");
        QTest::newRow("vCard 3.0") << CardFormat::VCard3 << QByteArray() << all << saved;
        QTest::newRow("vCard 4.0") << CardFormat::VCard4 << QByteArray() << all << saved;
        QTest::newRow("Outlook CSV") << CardFormat::OutlookCsv << QByteArray() << all
                                     << saved
                + "\r\n\r\n1 e-mail address past the third and 1 nickname are not "
                  "in the file; a vCard file keeps every field.";
        QTest::newRow("Google CSV") << CardFormat::GoogleCsv << QByteArray() << all << saved;
        // Bo's twin differs from Bo in a cell: it is not Bo.
        QTest::newRow("two gone, one changed")
            << CardFormat::VCard4 << kCleo + kBoTwin + card("Ada", "ada-1", "NOTE:since\r\n") << QStringList {"Ada"}
            << "1 contact has been saved to %1.\r\n\r\n2 ticked contacts are no longer in the address books and "
               "are not in the file.";
    }

    void savesTheTickedContacts()
    {
        QFETCH(CardFormat, format);
        QFETCH(QByteArray, bookNow);
        QFETCH(QStringList, names);
        QFETCH(QString, message);
        ExportHarness &h = *m_harness;
        if (!bookNow.isEmpty())
            writeFile(m_book, bookNow);
        h.shell.saveNames = {m_out};
        saveTickedContacts(h.context, *m_store, *h.files, format);

        QCOMPARE(h.shell.texts(), QStringList {message.arg(m_out)});
        QCOMPARE(namesIn(m_out, format), names);
        const bool csv = format == CardFormat::OutlookCsv || format == CardFormat::GoogleCsv;
        QCOMPARE(h.shell.dialogs.constFirst().nameFilters.constFirst(),
            csv ? QStringLiteral("CSV Files (*.csv)") : QStringLiteral("vCard Files (*.vcf)"));
        // Busy from the walk to the commit, as the other long exports.
        QCOMPARE(h.busyHistory, (QList<std::pair<bool, qsizetype>> {{true, 0}, {false, 0}}));
        // Every field of the book, not only the table's.
        if (!csv)
            QVERIFY(readFile(m_out).contains(bookNow.isEmpty() ? "a4@example.org" : "NOTE:since"));
    }

    // What can go wrong ends in a clear message and leaves the user's file
    // as it was, with no file of ours beside it.
    void failuresLeaveTheFileAsItWas_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<QStringList>("messages"); // a part of each one shown
        const QString report = QStringLiteral("in QuarrelbyApp2021/08/31.Form1.saveTickedContacts at line ");
        QTest::newRow("nothing ticked") << "untick" << QStringList {"No contacts are ticked."};
        QTest::newRow("No to the question") << "no" << QStringList {"Are you sure you wish to overwrite"};
        QTest::newRow("cancelled") << "cancel" << QStringList();
        QTest::newRow("list cleared meanwhile")
            << "clear"
            << QStringList {"Are you sure",
                   "The list changed while it was being saved; the file was not saved.\r\n" + report + "106"};
        QTest::newRow("extraction meanwhile")
            << "extract"
            << QStringList {"Are you sure",
                   "The list changed while it was being saved; the file was not saved.\r\n" + report + "106"};
        QTest::newRow("disk full") << "full" << QStringList {"Are you sure", report + "106"};
        QTest::newRow("every ticked contact gone")
            << "gone"
            << QStringList {"Are you sure",
                   "None of the ticked contacts could be read from the address books; the "
                   "file was not saved.\r\n"
                       + report + "106"};
        QTest::newRow("book gone") << "no book" << QStringList {"Are you sure", report + "104"};
    }

    void failuresLeaveTheFileAsItWas()
    {
        QFETCH(QString, how);
        QFETCH(QStringList, messages);
        ExportHarness &h = *m_harness;
        const QByteArray old("the user's old file\r\n");
        writeFile(m_out, old);
        h.shell.saveNames = {how == QLatin1String("cancel") ? QString() : m_out};
        if (how == QLatin1String("untick"))
            h.list.setCheckedRange(0, 4, false);
        if (how == QLatin1String("no"))
            h.shell.answers = {MessageAnswer::No};
        if (how == QLatin1String("clear") || how == QLatin1String("full"))
            QCOMPARE(arrangeFailedSave(h, how, 2, m_out), m_out);
        if (how == QLatin1String("extract")) {
            // A second walk of the same books while the first is under way.
            h.shell.onYield = [&](int n) {
                if (n == 2)
                    readAddressBooks(h.context, *m_store);
            };
        }
        if (how == QLatin1String("gone"))
            writeFile(m_book, kCleo);
        if (how == QLatin1String("no book"))
            QVERIFY(QDir(m_dir->filePath(QStringLiteral("book"))).removeRecursively());
        saveTickedContacts(h.context, *m_store, *h.files, CardFormat::VCard3);

        const QStringList texts = h.shell.texts();
        QCOMPARE(texts.size(), messages.size());
        for (qsizetype i = 0; i < texts.size(); ++i)
            QVERIFY2(texts[i].contains(messages[i]), qPrintable(texts[i]));
        QVERIFY(!h.busy.busy());
        QCOMPARE(readFile(m_out), old);
        QCOMPARE(folderEntries(QFileInfo(m_out).path()), QStringList {QStringLiteral("contacts")});
    }

private:
    std::optional<QTemporaryDir> m_dir;
    QString m_book;
    QString m_out;
    std::optional<ContactStore> m_store;
    std::optional<ExportHarness> m_harness;
};

QTEST_GUILESS_MAIN(TestSaveTickedContacts)
#include "tst_savetickedcontacts.moc"
