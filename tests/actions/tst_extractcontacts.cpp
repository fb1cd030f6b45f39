#include "ScriptedBooks.h"
#include "ScriptedShell.h"
#include "actions/ExtractContacts.h"
#include "core/ActionContext.h"
#include "core/BusyState.h"
#include "core/ContactRows.h"
#include "core/FieldCatalogue.h"
#include "core/ResultList.h"

#include <QTest>

#include <array>

using namespace quarrelby;
using namespace quarrelby::test;

namespace {

// A window's worth of state around the extraction.
struct Fixture {
    ScriptedShell shell;
    ScriptedBooks books;
    ResultList list;
    BusyState busy;
    std::array<int, kFieldCount> boxes {};
    ActionContext context {shell, list, busy, [this](int n) { return boxes.at(static_cast<size_t>(n)); }};

    Fixture()
    {
        for (const ContactField &f : fieldCatalogue()) {
            list.addColumn(QLatin1String(f.caption));
            boxes.at(static_cast<size_t>(f.index)) = f.tickedAtStart ? 1 : 0;
        }
    }

    // Whether the extraction has hidden the columns of the unticked boxes,
    // and only those.
    [[nodiscard]] bool columnsFollowTheBoxes() const
    {
        for (int n = 0; n < kFieldCount; ++n) {
            if (list.columnHidden(n) != (boxes.at(static_cast<size_t>(n)) == 0))
                return false;
        }
        return true;
    }
};

QString expectedCell(int n, int contact)
{
    const ContactField &f = field(n);
    QString value = QStringLiteral("%1 %2").arg(contactPropertyName(f.property)).arg(contact);
    if (f.secondProperty)
        value += QStringLiteral(" - %1 %2").arg(contactPropertyName(*f.secondProperty)).arg(contact);
    return value;
}

const QString kDone = QStringLiteral("Done.");

} // namespace

class TestExtractContacts : public QObject {
    Q_OBJECT

private slots:
    void everyFieldLandsInItsColumn()
    {
        Fixture fx;
        fx.books.contacts = {fullContact(1), fullContact(2)};
        QList<bool> busyValues;
        connect(&fx.busy, &BusyState::changed, this, [&](bool busy) { busyValues << busy; });

        extractContacts(fx.context, fx.books);

        QCOMPARE(fx.shell.texts(), QStringList {kDone});
        QCOMPARE(fx.shell.messages[0].caption, QStringLiteral("Quarrelby"));
        QCOMPARE(fx.shell.messages[0].icon, MessageIcon::None);
        QCOMPARE(fx.list.itemCount(), 2);
        for (int i = 0; i < 2; ++i)
            for (int n = 0; n < kFieldCount; ++n)
                QCOMPARE(fx.list.cell(i, n), expectedCell(n, i + 1));
        QCOMPARE(fx.shell.sleeps, QList<int> {100});
        QCOMPARE(busyValues, (QList<bool> {true, false}));
        QVERIFY(!fx.list.checked(0));
    }

    // The click looks for the books once, and reads them once.
    void oneDiscoveryAndOneReadPerClick()
    {
        Fixture fx;
        fx.books.contacts = {fullContact(1)};
        extractContacts(fx.context, fx.books);
        extractContacts(fx.context, fx.books);
        QCOMPARE(fx.books.discoveries, 2);
        QCOMPARE(fx.books.opens, 2);
    }

    void missingAssistantDataShowsTheJoinAlone()
    {
        Fixture fx;
        fx.books.contacts = {Contact {}};
        extractContacts(fx.context, fx.books);
        QCOMPARE(fx.list.itemCount(), 1);
        QCOMPARE(fx.list.cell(0, 11), QStringLiteral(" - "));
        QCOMPARE(fx.list.cell(0, 0), QString());
    }

    void emptyAndDistributionListFolders_data()
    {
        QTest::addColumn<int>("distributionLists");
        QTest::newRow("empty folder") << 0;
        QTest::newRow("only distribution lists") << 3;
    }

    void emptyAndDistributionListFolders()
    {
        QFETCH(int, distributionLists);
        Fixture fx;
        fx.list.addRow(QStringLiteral("old row"));
        for (int i = 0; i < distributionLists; ++i) {
            Contact group = fullContact(i);
            group.distributionList = true;
            fx.books.contacts << group;
        }
        extractContacts(fx.context, fx.books);
        QCOMPARE(fx.shell.texts(), QStringList {kDone});
        QCOMPARE(fx.list.itemCount(), 0);
        QVERIFY(fx.columnsFollowTheBoxes());
    }

    void secondExtractionReplacesTheRows()
    {
        Fixture fx;
        fx.books.contacts = {fullContact(1), fullContact(2)};
        extractContacts(fx.context, fx.books);
        extractContacts(fx.context, fx.books);
        QCOMPARE(fx.list.itemCount(), 2);
        QCOMPARE(fx.list.cell(1, 0), expectedCell(0, 2));
    }

    void booksGoneAtTheClickChangeNothing()
    {
        Fixture fx;
        fx.list.addRow(QStringLiteral("kept"));
        fx.books.failOpen = true;
        QList<bool> busyValues;
        connect(&fx.busy, &BusyState::changed, this, [&](bool busy) { busyValues << busy; });

        extractContacts(fx.context, fx.books);

        QCOMPARE(fx.shell.texts(),
            QStringList {QStringLiteral("MS Outlook does not appear to be installed on this computer.")});
        QCOMPARE(fx.shell.messages[0].caption, fx.shell.applicationTitle());
        QCOMPARE(fx.list.itemCount(), 1);
        QCOMPARE(fx.list.cell(0, 0), QStringLiteral("kept"));
        // Some boxes are unticked: an extraction would have hidden columns.
        for (int c = 0; c < kFieldCount; ++c)
            QVERIFY(!fx.list.columnHidden(c));
        QVERIFY(busyValues.isEmpty());
        QVERIFY(fx.shell.sleeps.isEmpty());
    }

    void columnsFollowTheBoxesAndAreSetBeforeTheRowsGo()
    {
        Fixture fx;
        fx.list.addRow(QStringLiteral("old"));
        fx.boxes[3] = 0; // Company Name unticked
        fx.boxes[10] = 1; // TTY/TDD ticked
        QList<int> rowsWhenSet;
        connect(&fx.list, &ResultList::columnHiddenSet, this, [&] { rowsWhenSet << fx.list.itemCount(); });
        fx.books.contacts = {fullContact(1)};

        extractContacts(fx.context, fx.books);

        QVERIFY(fx.columnsFollowTheBoxes());
        // Every column, shown or hidden, changed or not: the view lays each
        // out anew.
        QCOMPARE(rowsWhenSet.size(), kFieldCount);
        for (int rows : rowsWhenSet)
            QCOMPARE(rows, 1); // the old row was still there
        // A hidden column still holds its value.
        QCOMPARE(fx.list.cell(0, 3), expectedCell(3, 1));
    }

    void booksLostAfterTheCheckStillEndTheWalkProperly()
    {
        Fixture fx;
        fx.list.addRow(QStringLiteral("old"));
        // The click sleeps between the probe and the walk: lose the books there.
        struct LosingShell : ScriptedShell {
            ScriptedBooks *books = nullptr;
            void sleep(int ms) override
            {
                ScriptedShell::sleep(ms);
                books->failOpen = true;
            }
        } shell;
        shell.books = &fx.books;
        ActionContext context {shell, fx.list, fx.busy, fx.context.fieldTicked};

        extractContacts(context, fx.books);

        QStringList lines;
        for (const QString &text : shell.texts()) {
            const qsizetype at = text.indexOf(QLatin1String(" at line "));
            lines << (at < 0 ? text : text.mid(at + 9, 3));
        }
        QCOMPARE(lines, (QStringList {"102", "122", kDone}));
        QVERIFY(shell.texts().first().startsWith(QLatin1String("Cannot open the address books\r\n")));
        QCOMPARE(fx.list.itemCount(), 0);
        QVERIFY(fx.columnsFollowTheBoxes());
        QVERIFY(!fx.busy.busy());
    }

    void unreadableItemIsReportedAndTheWalkGoesOn()
    {
        Fixture fx;
        fx.books.contacts = {fullContact(1), fullContact(2), fullContact(3), fullContact(4)};
        fx.books.unreadable = {0, 2};
        extractContacts(fx.context, fx.books);
        QCOMPARE(fx.shell.messages.size(), 3);
        QVERIFY(fx.shell.messages[0].text.startsWith(QLatin1String("Cannot read item 1\r\n")));
        QVERIFY(fx.shell.messages[0].text.contains(QLatin1String(".Form1.GetAllContactsOutlook at line 122\r\r")));
        QVERIFY(fx.shell.messages[1].text.contains(QLatin1String("at line 192\r\r")));
        QCOMPARE(fx.list.itemCount(), 2);
        QCOMPARE(fx.list.cell(0, 0), expectedCell(0, 2));
        QCOMPARE(fx.list.cell(1, 0), expectedCell(0, 4));
    }

    void datesBecomeShortDatesWithTheirCentury_data()
    {
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<QString>("text");
        QTest::newRow("midnight") << QVariant(QDateTime(QDate(1904, 2, 29), QTime(0, 0))) << "2/29/1904";
        QTest::newRow("with time") << QVariant(QDateTime(QDate(2021, 8, 31), QTime(14, 5))) << "8/31/2021 2:05 PM";
        QTest::newRow("with seconds") << QVariant(QDateTime(QDate(2021, 8, 31), QTime(9, 5, 7)))
                                      << "8/31/2021 9:05:07 AM";
        QTest::newRow("date only") << QVariant(QDate(1999, 12, 31)) << "12/31/1999";
        QTest::newRow("text unchanged") << QVariant(QStringLiteral(" --03-15 \r\n")) << " --03-15 \r\n";
        QTest::newRow("empty") << QVariant(QString()) << "";
    }

    void datesBecomeShortDatesWithTheirCentury()
    {
        QFETCH(QVariant, value);
        QFETCH(QString, text);
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        QCOMPARE(cellText(value).replace(QChar(0x202F), QLatin1Char(' ')), text);
        QLocale::setDefault(QLocale::system());
    }
};

QTEST_GUILESS_MAIN(TestExtractContacts)
#include "tst_extractcontacts.moc"
