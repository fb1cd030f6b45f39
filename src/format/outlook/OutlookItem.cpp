#include "format/outlook/OutlookItem.h"

#include "format/outlook/RtfText.h"

#include <QDate>
#include <QDateTime>

namespace quarrelby::outlook {

namespace {

// The property each text field is read from, in field order; 0 for the two
// fields read otherwise (Birthday, Body).
constexpr PropertyKey kFieldKeys[kContactPropertyCount] = {
    tag::DisplayName, // FullName
    0, // Birthday
    0x3A17, // JobTitle
    0x3A16, // CompanyName
    tag::FileAs,
    0x8083, // Email1Address
    0x8093, // Email2Address
    0x80A3, // Email3Address
    tag::Html, // WebPage
    0x8062, // IMAddress
    0x3A4B, // TTYTDDTelephoneNumber
    0x3A30, // AssistantName
    0x3A2E, // AssistantTelephoneNumber
    0x3A08, // BusinessTelephoneNumber
    0x3A1B, // Business2TelephoneNumber
    0x3A24, // BusinessFaxNumber
    0x3A02, // CallbackTelephoneNumber
    0x3A1E, // CarTelephoneNumber
    0x3A57, // CompanyMainTelephoneNumber
    0x3A09, // HomeTelephoneNumber
    0x3A2F, // Home2TelephoneNumber
    0x3A25, // HomeFaxNumber
    0x3A2D, // ISDNNumber
    0x3A1C, // MobileTelephoneNumber
    0x3A1F, // OtherTelephoneNumber
    0x3A23, // OtherFaxNumber
    0x3A21, // PagerNumber
    0x3A1A, // PrimaryTelephoneNumber
    0x3A1D, // RadioTelephoneNumber
    0x3A2C, // TelexNumber
    0x801B, // BusinessAddress
    0x801A, // HomeAddress
    0x801C, // OtherAddress
    0, // Body
};

bool isClass(std::string_view messageClass, std::string_view name)
{
    const QLatin1StringView text(messageClass.data(), static_cast<qsizetype>(messageClass.size()));
    return text.startsWith(QLatin1StringView(name.data(), static_cast<qsizetype>(name.size())), Qt::CaseInsensitive)
        && (messageClass.size() == name.size() || messageClass[name.size()] == '.');
}

// Milliseconds from 1601-01-01 to 1970-01-01.
constexpr std::int64_t kFiletimeEpochOffsetMs = 11644473600000;

} // namespace

ItemKind itemKind(std::string_view messageClass)
{
    if (isClass(messageClass, "IPM.Contact"))
        return ItemKind::Contact;
    if (isClass(messageClass, "IPM.DistList"))
        return ItemKind::DistributionList;
    return ItemKind::Other;
}

QVariant birthdayFromFiletime(std::uint64_t filetime)
{
    const auto ms = static_cast<std::int64_t>(filetime / 10000) - kFiletimeEpochOffsetMs;
    const QDateTime utc = QDateTime::fromMSecsSinceEpoch(ms, Qt::UTC);
    if (filetime == 0 || !utc.isValid() || utc.date().year() >= 4500)
        return {};
    const QDate local = utc.toLocalTime().date();
    return local.isValid() ? QVariant(local) : QVariant();
}

bool ContactMapper::read(PropertyBag &item, Contact &contact)
{
    item.text(tag::MessageClass, m_value);
    const ItemKind kind = itemKind(m_value);
    if (kind == ItemKind::Other)
        return false;

    contact = Contact();
    contact.distributionList = kind == ItemKind::DistributionList;
    for (int field = 0; field < kContactPropertyCount; ++field) {
        const PropertyKey key = kFieldKeys[field];
        if ((key != 0 && item.text(key, m_value)) || (field == WebPage && item.text(tag::BusinessHomePage, m_value))) {
            contact.appendUtf8(field, m_value);
        } else if (field == Body) {
            contact.appendUtf8(field, readBody(item));
        } else {
            contact.appendUtf8(field, {});
        }
    }
    std::uint64_t birthday = 0;
    if (item.filetime(tag::Birthday, birthday))
        contact.birthday = birthdayFromFiletime(birthday);
    return true;
}

std::string ContactMapper::readBody(PropertyBag &item)
{
    if (item.text(tag::Body, m_value) && !m_value.empty())
        return m_value;
    // Without a plain text body Outlook still shows the notes: take the
    // text of the RTF one, without its markup.
    if (item.rtfBody(m_value))
        return rtfToText(m_value);
    return {};
}

} // namespace quarrelby::outlook
