#include "ListedContacts.h"

#include "core/FieldCatalogue.h"
#include "core/ResultList.h"

#include <map>
#include <utility>

namespace quarrelby::bench {

namespace {

const QStringList kGiven = {QStringLiteral("Åsa"), QStringLiteral("José"), QStringLiteral("Zoë"), QStringLiteral("Wei"),
    QStringLiteral("Łukasz"), QStringLiteral("Aoife"), QStringLiteral("Siobhán")};
const QStringList kFamily = {QStringLiteral("Lindqvist"), QStringLiteral("Núñez"), QStringLiteral("O'Brien"),
    QStringLiteral("Müller-Lüdenscheidt"), QStringLiteral("Smith"), QStringLiteral("山田"), QStringLiteral("Dvořák")};
const QStringList kNotes = {QString(), QStringLiteral("Met at the fair, 2019; likes \"Earl Grey\"."),
    QStringLiteral("Call after 5pm.\r\nPrefers e-mail, not phone."), QString(),
    QStringLiteral("Referred by J. Smith, Jr. = \"ask about the Q3 order\"")};

QString phone(int n, int salt)
{
    return QStringLiteral("+1 (512) 555-%1").arg((n * 7 + salt * 131) % 10000, 4, 10, QLatin1Char('0'));
}

} // namespace

QStringList listedContactCells(int n, bool everyField)
{
    QStringList cells(kFieldCount);
    const QString given = kGiven[n % kGiven.size()];
    const QString family = kFamily[(n / 7) % kFamily.size()];
    cells[0] = given + QLatin1Char(' ') + family;
    if (n % 3 == 0)
        cells[1] = QStringLiteral("%1/%2/%3").arg(1 + n % 12).arg(1 + n % 28).arg(1950 + n % 60);
    cells[2] = n % 2 ? QStringLiteral("Senior Engineer") : QString();
    cells[3] = QStringLiteral("Company %1, Inc.").arg(n % 977);
    cells[4] = family + QStringLiteral(", ") + given;
    cells[5] = QStringLiteral("person%1@example.org").arg(n);
    cells[6] = n % 4 ? QString() : QStringLiteral("p%1@mail.example.com").arg(n);
    cells[8] = n % 5 ? QString() : QStringLiteral("https://example.org/~%1").arg(n);
    cells[9] = n % 9 ? QString() : QStringLiteral("%1@chat.example.org").arg(n);
    cells[11] = QStringLiteral(" - ");
    cells[12] = phone(n, 1);
    cells[14] = n % 10 ? QString() : phone(n, 4);
    cells[18] = n % 2 ? phone(n, 2) : QString();
    cells[22] = phone(n, 3);
    cells[29] = QStringLiteral("Suite %1\r\n%2 Congress Ave\r\nAustin, TX  78701\r\nUnited States")
                    .arg(n % 900 + 100)
                    .arg(n % 9000 + 100);
    if (n % 3 == 1)
        cells[30] = QStringLiteral("Storgatan %1\r\nStockholm  111 22\r\nSverige").arg(n % 200);
    cells[32] = kNotes[n % kNotes.size()];
    if (everyField) {
        for (int k = 0; k < kFieldCount; ++k)
            if (cells[k].isEmpty())
                cells[k] = k >= 10 && k <= 28 ? phone(n, k) : QStringLiteral("Value %1 of contact %2").arg(k).arg(n);
    }
    return cells;
}

ResultList &listedContacts(int count, bool everyField)
{
    static std::map<std::pair<int, bool>, ResultList *> lists;
    ResultList *&list = lists[{count, everyField}];
    if (!list) {
        list = new ResultList;
        for (const ContactField &f : fieldCatalogue())
            list->addColumn(QString::fromUtf8(f.caption));
        ResultList::Batch batch(*list);
        for (int n = 0; n < count; ++n) {
            const QStringList cells = listedContactCells(n, everyField);
            const int i = list->addRow(cells[0]);
            for (int c = 1; c < kFieldCount; ++c)
                if (!cells[c].isEmpty())
                    list->setCell(i, c, cells[c]);
            list->setChecked(i, true);
        }
    }
    return *list;
}

} // namespace quarrelby::bench
