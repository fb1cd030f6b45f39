#include "outlook/Extraction.h"

#include "core/ErrorTrap.h"
#include "core/FieldCatalogue.h"
#include "core/FormContext.h"
#include "core/MousePointer.h"
#include "core/ObjectReference.h"
#include "core/ResultList.h"
#include "platform/AddressBooks.h"
#include "platform/Shell.h"

#include <QDateTime>
#include <QLocale>

#include <memory>
#include <utility>

namespace quarrelby {

namespace {

QString dateFormatWithFullYear(const QLocale &locale)
{
    // Asked for every birthday of a large book: kept while the locale stays.
    thread_local QLocale cachedLocale(QLocale::c());
    thread_local QString cachedFormat;
    if (cachedFormat.isEmpty() || locale != cachedLocale) {
        cachedFormat = locale.dateFormat(QLocale::ShortFormat);
        // A two-digit year loses the century of every birthday.
        if (!cachedFormat.contains(QLatin1String("yyyy")))
            cachedFormat.replace(QLatin1String("yy"), QLatin1String("yyyy"));
        cachedLocale = locale;
    }
    return cachedFormat;
}

QString timeText(const QLocale &locale, QTime time)
{
    QString format = locale.timeFormat(QLocale::ShortFormat);
    if (time.second() != 0 && !format.contains(QLatin1String("ss")))
        format.replace(QLatin1String("mm"), QLatin1String("mm:ss"));
    return locale.toString(time, format);
}

} // namespace

QString cellText(const QVariant &value)
{
    // Nearly every value is text: take it without the conversion machinery.
    if (value.metaType() == QMetaType::fromType<QString>())
        return *static_cast<const QString *>(value.constData());
    switch (value.typeId()) {
    case QMetaType::QDate: {
        // A date has no time of day; going through a QDateTime would ask the
        // time zone database for the start of every birthday.
        const QLocale locale;
        return locale.toString(*static_cast<const QDate *>(value.constData()), dateFormatWithFullYear(locale));
    }
    case QMetaType::QDateTime: {
        const QLocale locale;
        const QDateTime when = value.toDateTime();
        QString text = locale.toString(when.date(), dateFormatWithFullYear(locale));
        if (when.time().isValid() && when.time() != QTime(0, 0))
            text += QLatin1Char(' ') + timeText(locale, when.time());
        return text;
    }
    default:
        return value.toString();
    }
}

bool IsOutlookInstalled(AddressBooks *books)
{
    try {
        return books && books->open() != nullptr;
    } catch (...) {
        return false;
    }
}

void PushButton2_Click(FormContext &form)
{
    ErrorTrap trap(form.shell, QStringLiteral("Form1.PushButton2_Click"));
    if (trap.test(100, [&] { return !IsOutlookInstalled(form.books); })) {
        trap(102, [&] {
            form.shell.message(QStringLiteral("MS Outlook does not appear to be installed on this computer."));
        });
        return;
    }
    trap(104, [&] { form.shell.sleep(100); });
    trap(106, [&] { form.pointer.setValue(MousePointer::Hourglass); });
    trap(108, [&] { GetAllContactsOutlook(form); });
    trap(110, [&] { form.shell.message(QStringLiteral("Done.")); });
    trap(112, [&] { form.pointer.setValue(MousePointer::Default); });
}

namespace {

// The contact's 33 cells into a new row: text as the contact holds it,
// without a copy of its own; a date or a pair of properties as text.
void addContactRow(ResultList &list, const Contact &contact)
{
    const int row = list.addRow({});
    for (int n = 0; n < kFieldCount; ++n) {
        const ContactField &f = field(n);
        if (!f.secondProperty && f.property != Birthday) {
            list.setCell(row, n + 1, contact.view(f.property));
            continue;
        }
        QString value = cellText(contact.value(f.property));
        if (f.secondProperty)
            value += QLatin1String(" - ") + cellText(contact.value(*f.secondProperty));
        list.setCell(row, n + 1, value);
    }
}

} // namespace

void GetAllContactsOutlook(FormContext &form)
{
    ErrorTrap trap(form.shell, QStringLiteral("Form1.GetAllContactsOutlook"));
    ResultList &list = form.list;
    std::unique_ptr<ContactWalk> walk;

    trap(100, [&] { form.pointer.setValue(MousePointer::Hourglass); });
    trap(102, [&] { walk = object(form.books).open(); });

    for (int n = 0; n < kFieldCount; ++n) {
        if (trap.test(112, [&] { return form.chkData(n) == 1; }))
            trap(114, [&] { list.setColumnWidth(n + 1, 1000); });
        else
            trap(116, [&] { list.setColumnWidth(n + 1, 1); });
    }

    trap(120, [&] { list.clearRows(); });

    {
        ResultList::Batch batch(list);
        Contact contact;
        int line = 122;
        while (true) {
            bool found = false;
            const bool advanced = trap(line, [&] { found = object(walk).next(contact); });
            line = 192;
            if (!advanced) {
                // What could not be read has been reported; the walk has
                // moved past it. Without a walk there is nothing to go on with.
                if (!walk)
                    break;
                continue;
            }
            if (!found)
                break;
            if (!contact.distributionList)
                trap(126, [&] { addContactRow(list, contact); });
        }
    }

    trap(200, [&] { form.pointer.setValue(MousePointer::Default); });
}

} // namespace quarrelby
