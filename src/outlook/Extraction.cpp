#include "outlook/Extraction.h"

#include "core/ErrorTrap.h"
#include "core/FieldCatalogue.h"
#include "core/FormContext.h"
#include "core/MousePointer.h"
#include "core/ObjectReference.h"
#include "core/ResultList.h"
#include "platform/Outlook.h"
#include "platform/Shell.h"

#include <QDateTime>
#include <QLocale>

#include <memory>
#include <utility>

namespace quarrelby {

namespace {

const QString kOutlookProgId = QStringLiteral("Outlook.Application");

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

bool IsOutlookInstalled(const AutomationFactory &automation)
{
    try {
        return automation.create<OutlookApplication>(kOutlookProgId) != nullptr;
    } catch (...) {
        return false;
    }
}

void PushButton2_Click(FormContext &form)
{
    ErrorTrap trap(form.shell, QStringLiteral("Form1.PushButton2_Click"));
    if (trap.test(100, [&] { return !IsOutlookInstalled(form.automation); })) {
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

void GetAllContactsOutlook(FormContext &form)
{
    ErrorTrap trap(form.shell, QStringLiteral("Form1.GetAllContactsOutlook"));
    ResultList &list = form.list;

    std::unique_ptr<OutlookApplication> application;
    std::unique_ptr<OutlookNamespace> mapi;
    std::unique_ptr<OutlookFolder> folder;
    std::unique_ptr<OutlookItems> items;

    trap(100, [&] { form.pointer.setValue(MousePointer::Hourglass); });
    trap(102, [&] { application = form.automation.create<OutlookApplication>(kOutlookProgId); });
    trap(104, [&] { mapi = object(application).getNamespace(QStringLiteral("MAPI")); });
    trap(106, [&] { folder = object(mapi).getDefaultFolder(olFolderContacts); });
    trap(108, [&] { items = object(folder).items(); });

    for (int n = 0; n < kFieldCount; ++n) {
        if (trap.test(112, [&] { return form.chkData(n) == 1; }))
            trap(114, [&] { list.setColumnWidth(n + 1, 1000); });
        else
            trap(116, [&] { list.setColumnWidth(n + 1, 1); });
    }

    trap(120, [&] { list.clearRows(); });

    {
        ResultList::Batch batch(list);
        int line = 122;
        while (true) {
            std::unique_ptr<OutlookItem> item;
            const bool advanced = trap(line, [&] { item = object(items).next(); });
            line = 192;
            if (!advanced) {
                // An item that could not be read has been reported; the store
                // has moved past it. Without a collection there is no walk.
                if (!items)
                    break;
                continue;
            }
            if (!item)
                break;

            if (!trap.test(124, [&] { return item->isContactItem(); }))
                continue;

            int row = 0;
            trap(126, [&] {
                // The row is added even when the name cannot be read: that
                // costs one cell, not the contact's other 32.
                row = list.addRow({});
                if (QStringView text; item->propertyText(field(0).property, text))
                    list.setCell(row, 1, text);
                else
                    list.setCell(row, 1, cellText(item->property(field(0).property)));
            });
            for (int n = 1; n < kFieldCount; ++n) {
                trap(126 + 2 * n, [&] {
                    const ContactField &f = field(n);
                    // Text as the item holds it, without a copy of its own.
                    if (QStringView text; !f.secondProperty && item->propertyText(f.property, text)) {
                        list.setSubItem(row, n, text);
                        return;
                    }
                    QString value = cellText(item->property(f.property));
                    if (f.secondProperty)
                        value += QLatin1String(" - ") + cellText(item->property(*f.secondProperty));
                    list.setSubItem(row, n, value);
                });
            }
        }
    }

    trap(194, [&] { object(application).quit(); });
    trap(196, [&] { mapi.reset(); });
    trap(198, [&] { application.reset(); });
    trap(200, [&] { form.pointer.setValue(MousePointer::Default); });
}

} // namespace quarrelby
