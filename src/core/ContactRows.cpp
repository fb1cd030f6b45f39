#include "core/ContactRows.h"

#include "core/FieldCatalogue.h"
#include "core/ResultList.h"
#include "format/Contact.h"

#include <QDateTime>
#include <QLocale>

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

void ContactCells::fill(const Contact &contact)
{
    for (int n = 0; n < kFieldCount; ++n) {
        const ContactField &f = field(n);
        const auto i = static_cast<size_t>(n);
        if (!f.secondProperty && f.property != Birthday) {
            m_views[i] = contact.view(f.property);
            continue;
        }
        QString &value = m_made[i];
        value = cellText(contact.value(f.property));
        if (f.secondProperty)
            value += QLatin1String(" - ") + cellText(contact.value(*f.secondProperty));
        m_views[i] = value;
    }
}

int addContactRow(ResultList &list, const Contact &contact)
{
    ContactCells cells;
    cells.fill(contact);
    const int row = list.addRow({});
    for (int n = 0; n < kFieldCount; ++n)
        list.setCell(row, n, cells.views()[static_cast<size_t>(n)]);
    list.setUid(row, contact.uid);
    return row;
}

} // namespace quarrelby
