#include "ExportFixture.h"
#include "FailDevice.h"
#include "Golden.h"
#include "ScriptedShell.h"

#include "actions/SaveAsCommaDelimited.h"
#include "core/TableEncoders.h"
#include "platform/qt/SaveFileWriter.h"

#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>

using namespace quarrelby;
using namespace quarrelby::test;

namespace {

const QStringList kExampleHeaders {QStringLiteral("Name"), QStringLiteral("Phone")};
const QList<QStringList> kExampleRows {
    {QStringLiteral("x"), QStringLiteral("Ann Lee"), QStringLiteral("555-0101")},
    {QStringLiteral("x"), QStringLiteral("Bo"), QString()},
    {QString(), QStringLiteral("Christopher Smith"), QStringLiteral("12")},
};

using BusyHistory = QList<std::pair<bool, qsizetype>>;

// The file as lines built and encoded one at a time make it, each field in
// double quotes with inner quotes doubled when it holds a comma, a quote, CR
// or LF.
QByteArray lineByLineText(const QStringList &headers, const QList<QStringList> &rows)
{
    QStringEncoder utf8(QStringEncoder::Utf8, QStringEncoder::Flag::Stateless);
    const auto field = [](QString value) {
        const auto special = [](QChar c) { return QStringView(u",\"\r\n").contains(c); };
        if (std::none_of(value.cbegin(), value.cend(), special))
            return value;
        return QLatin1Char('"') + value.replace(QLatin1Char('"'), QLatin1String("\"\"")) + QLatin1Char('"');
    };
    QByteArray text;
    QString line;
    for (const QString &header : headers)
        line += field(header) + QLatin1Char(',');
    text += utf8.encode(line) + "\r\n";
    for (const QStringList &row : rows) {
        QStringList fields;
        for (qsizetype k = 1; k <= headers.size(); ++k)
            fields.append(field(row.value(k)));
        text += utf8.encode(fields.join(QLatin1Char(','))) + "\r\n";
    }
    return text;
}

} // namespace

class TestSaveAsCommaDelimited : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        QVERIFY(m_dir.isValid());
        for (const QString &name : folderEntries(m_dir.path()))
            QVERIFY(QFile::remove(m_dir.filePath(name)));
        m_path = m_dir.filePath(QStringLiteral("contacts.csv"));
    }

    void writesEveryRow_data()
    {
        QTest::addColumn<QStringList>("headers");
        QTest::addColumn<QList<QStringList>>("rows");
        QTest::addColumn<QByteArray>("expected");

        QTest::newRow("worked example: unticked rows too, empty last field") << kExampleHeaders << kExampleRows
                                                                             << QByteArray("Name,Phone,\r\n"
                                                                                           "Ann Lee,555-0101\r\n"
                                                                                           "Bo,\r\n"
                                                                                           "Christopher Smith,12\r\n");
        QTest::newRow("quoted only where needed")
            << QStringList {QStringLiteral("Name"), QStringLiteral("Address"), QStringLiteral("Notes")}
            << QList<QStringList> {{QString(), QStringLiteral("Lee, Ann"), QStringLiteral("1 Main St\r\nAustin"),
                                       QStringLiteral("said \"hi\"")},
                   {QString(), QStringLiteral(" padded "), QStringLiteral("a\nb"), QStringLiteral("c\rd")},
                   {QString(), QStringLiteral("Zo\u00eb \u00c5sa"), QStringLiteral("\"\""),
                       QStringLiteral("tab\there")}}
            << QByteArray("Name,Address,Notes,\r\n"
                          "\"Lee, Ann\",\"1 Main St\r\nAustin\",\"said \"\"hi\"\"\"\r\n"
                          " padded ,\"a\nb\",\"c\rd\"\r\n"
                          "Zo\xc3\xab \xc3\x85sa,\"\"\"\"\"\",tab\there\r\n");
        QTest::newRow("no rows: header alone")
            << kExampleHeaders << QList<QStringList> {} << QByteArray("Name,Phone,\r\n");
        QTest::newRow("one column: no header, a comma on all but the last line")
            << QStringList {QStringLiteral("Name")}
            << QList<QStringList> {{QString(), QStringLiteral("Ann Lee")}, {QStringLiteral("x"), QStringLiteral("Bo")},
                   {QString(), QStringLiteral("Christopher Smith")}}
            << QByteArray("Ann Lee,\r\nBo,\r\nChristopher Smith\r\n");
        QTest::newRow("one column, quoted value")
            << QStringList {QStringLiteral("Name")}
            << QList<QStringList> {{QString(), QStringLiteral("Lee, Ann")}, {QString(), QString()}}
            << QByteArray("\"Lee, Ann\",\r\n\r\n");
        QTest::newRow("no columns, no rows: no bytes") << QStringList {} << QList<QStringList> {} << QByteArray();
    }

    void writesEveryRow()
    {
        QFETCH(QStringList, headers);
        QFETCH(QList<QStringList>, rows);
        QFETCH(QByteArray, expected);

        ExportHarness h;
        fillList(h.list, headers, rows);
        h.shell.saveNames = {m_path};
        saveAsCommaDelimited(h.context, *h.files);

        QCOMPARE(h.shell.texts(), QStringList {});
        QCOMPARE(readFile(m_path), expected);
        QCOMPARE(folderEntries(m_dir.path()), QStringList {QStringLiteral("contacts.csv")});
        QCOMPARE(h.busyHistory, (BusyHistory {{true, 0}, {false, 0}}));
        QCOMPARE(h.shell.yields, static_cast<int>(rows.size()));
    }

    // Many rows, several megabytes: the file is the same as lines encoded
    // and written one at a time make it.
    void largeListAsLineByLine()
    {
        const QStringList headers {QStringLiteral("Name"), QStringLiteral("Company, Inc."), QStringLiteral("Address"),
            QStringLiteral("\"Nickname\""), QStringLiteral("Phone"), QStringLiteral("Notes")};
        const QList<QStringList> rows = variedRows(40000, static_cast<int>(headers.size()));
        ExportHarness h;
        fillList(h.list, headers, rows);
        h.shell.saveNames = {m_path};
        saveAsCommaDelimited(h.context, *h.files);

        QCOMPARE(h.shell.texts(), QStringList {});
        QUARRELBY_COMPARE_TEXT(readFile(m_path), lineByLineText(headers, rows));
    }

    void cancelTouchesNothing()
    {
        ExportHarness h;
        fillList(h.list, kExampleHeaders, kExampleRows);
        saveAsCommaDelimited(h.context, *h.files);
        QCOMPARE(h.shell.dialogs.size(), 1);
        const SaveDialogSettings &d = h.shell.dialogs.first();
        QCOMPARE(d.title, QStringLiteral("Save"));
        QCOMPARE(d.nameFilters, (QStringList {"Text Files (*.txt)", "All Files (*)"}));
        QVERIFY(h.shell.messages.isEmpty());
        QVERIFY(h.busyHistory.isEmpty());
        QVERIFY(folderEntries(m_dir.path()).isEmpty());
    }

    void asksWithTheHourglassShowing_data()
    {
        QTest::addColumn<MessageAnswer>("answer");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("yes") << MessageAnswer::Yes << QByteArray("Name,Phone,\r\n");
        QTest::newRow("no") << MessageAnswer::No << QByteArray("an old file that is longer\r\n");
    }

    void asksWithTheHourglassShowing()
    {
        QFETCH(MessageAnswer, answer);
        QFETCH(QByteArray, expected);

        ExportHarness h;
        fillList(h.list, kExampleHeaders, {});
        writeFile(m_path, "an old file that is longer\r\n");
        h.shell.saveNames = {m_path};
        h.shell.answers = {answer};
        saveAsCommaDelimited(h.context, *h.files);

        QCOMPARE(h.shell.texts(),
            QStringList {QStringLiteral("Are you sure you wish to overwrite ") + m_path + QStringLiteral(" ?")});
        QCOMPARE(h.shell.messages.first().buttons, MessageButtons::YesNo);
        QCOMPARE(h.shell.messages.first().defaultButton, MessageAnswer::Yes);
        // The busy state came before the question and ended after it.
        QCOMPARE(h.busyHistory, (BusyHistory {{true, 0}, {false, 1}}));
        QCOMPARE(readFile(m_path), expected);
    }

    void failedSaveKeepsOldFile_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<int>("limit");
        QTest::addColumn<QString>("description");
        QTest::newRow("disk full at once") << "device" << 0 << "No space left on device";
        QTest::newRow("disk full inside a row") << "device" << 20 << "No space left on device";
        // The system's reason where the device gives none, not "Device I/O error".
        QTest::newRow("disk full, device silent") << "full" << 0 << ".csv: No space left on device";
        QTest::newRow("list cleared before the first row") << "clear" << 1 << "Index out of bounds";
        QTest::newRow("list cleared before the last row") << "clear" << 3 << "Index out of bounds";
        QTest::newRow("folder is a regular file") << "blocked" << 0 << "Not a directory";
    }

    void failedSaveKeepsOldFile()
    {
        QFETCH(QString, how);
        QFETCH(int, limit);
        QFETCH(QString, description);

        ExportHarness h;
        fillList(h.list, kExampleHeaders, kExampleRows);
        const QByteArray old("the user's old list\r\n");
        writeFile(m_path, old);
        const QString path = arrangeFailedSave(h, how, limit, m_path);
        h.shell.saveNames = {path};
        saveAsCommaDelimited(h.context, *h.files);

        const QStringList texts = h.shell.texts();
        // the overwrite question (when the path exists), then the report
        QCOMPARE(texts.size(), how == QLatin1String("blocked") ? 1 : 2);
        QVERIFY2(texts.last().contains(description), qPrintable(texts.last()));
        QVERIFY2(
            texts.last().contains(QStringLiteral("in QuarrelbyApp2021/08/31.Form1.PushButton4_Click at line 122\r\r")),
            qPrintable(texts.last()));
        QVERIFY(!h.busy.busy());
        QCOMPARE(h.busyHistory.size(), 2);
        QCOMPARE(readFile(m_path), old);
        QCOMPARE(folderEntries(m_dir.path()), QStringList {QStringLiteral("contacts.csv")});
    }

    void fieldQuoting_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("field");
        QTest::newRow("empty") << QString() << QString();
        QTest::newRow("plain, spaces kept") << " a b "
                                            << " a b ";
        QTest::newRow("semicolon and tab need nothing") << "a;b\tc"
                                                        << "a;b\tc";
        QTest::newRow("comma") << ","
                               << "\",\"";
        QTest::newRow("quote doubled") << "5\" disk"
                                       << "\"5\"\" disk\"";
        QTest::newRow("lone CR") << "a\r"
                                 << "\"a\r\"";
        QTest::newRow("lone LF") << "\nb"
                                 << "\"\nb\"";
    }

    void fieldQuoting()
    {
        QFETCH(QString, value);
        QFETCH(QString, field);
        QCOMPARE(commaField(value), field);
    }

private:
    QTemporaryDir m_dir;
    QString m_path;
};

QTEST_GUILESS_MAIN(TestSaveAsCommaDelimited)
#include "tst_saveascommadelimited.moc"
