#include "format/outlook/OutlookCard.h"

#include "format/Utf8.h"
#include "format/outlook/RtfText.h"
#include "format/vcard/VCardWriter.h"

#include <QByteArray>
#include <QDate>
#include <QString>

#include <array>
#include <cstring>
#include <vector>

namespace quarrelby::outlook {

namespace {

// PidLid (from 0x8000) and PidTag properties of a contact item, named as
// in [MS-OXOCNTC].
namespace key {
constexpr PropertyKey Generation = 0x3A05;
constexpr PropertyKey GivenName = 0x3A06;
constexpr PropertyKey Surname = 0x3A11;
constexpr PropertyKey CompanyName = 0x3A16;
constexpr PropertyKey Title = 0x3A17;
constexpr PropertyKey DepartmentName = 0x3A18;
constexpr PropertyKey Assistant = 0x3A30;
constexpr PropertyKey WeddingAnniversary = 0x3A41;
constexpr PropertyKey MiddleName = 0x3A44;
constexpr PropertyKey DisplayNamePrefix = 0x3A45;
constexpr PropertyKey Profession = 0x3A46;
constexpr PropertyKey SpouseName = 0x3A48;
constexpr PropertyKey ManagerName = 0x3A4E;
constexpr PropertyKey Nickname = 0x3A4F;
constexpr PropertyKey PersonalHomePage = 0x3A50;
constexpr PropertyKey ChildrensNames = 0x3A58;
constexpr PropertyKey DistributionListName = 0x8053;
constexpr PropertyKey DistributionListOneOffMembers = 0x8054;
constexpr PropertyKey InstantMessagingAddress = 0x8062;
} // namespace key

struct Phone {
    PropertyKey key;
    const char *head;
};

// Every telephone field with the types Evolution writes for it, which the
// vCard mapping reads back into the same field (the primary number's
// TYPE=pref becomes PREF=1 where the card is written as 4.0).
constexpr std::array<Phone, 19> kPhones {{
    {0x3A08, "TEL;TYPE=work,voice"},
    {0x3A1B, "TEL;TYPE=work,voice"},
    {0x3A24, "TEL;TYPE=work,fax"},
    {0x3A09, "TEL;TYPE=home,voice"},
    {0x3A2F, "TEL;TYPE=home,voice"},
    {0x3A25, "TEL;TYPE=home,fax"},
    {0x3A1C, "TEL;TYPE=cell"},
    {0x3A1A, "TEL;TYPE=pref"},
    {0x3A1F, "TEL;TYPE=voice"},
    {0x3A23, "TEL;TYPE=fax"},
    {0x3A21, "TEL;TYPE=pager"},
    {0x3A1E, "TEL;TYPE=car"},
    {0x3A2D, "TEL;TYPE=isdn"},
    {0x3A2E, "TEL;TYPE=x-evolution-assistant"},
    {0x3A02, "TEL;TYPE=x-evolution-callback"},
    {0x3A57, "TEL;TYPE=x-evolution-company"},
    {0x3A1D, "TEL;TYPE=x-evolution-radio"},
    {0x3A2C, "TEL;TYPE=x-evolution-telex"},
    {0x3A4B, "TEL;TYPE=x-evolution-ttytdd"},
}};

// An address by its parts: PO box, street, city, state, postal code,
// country, and Outlook's text of the whole.
struct Address {
    const char *type;
    std::array<PropertyKey, 6> parts;
    PropertyKey text;
};

// The work address has its own named properties; the mailing address
// (the PidTag ones) is usually the same and stands in when they are empty.
constexpr std::array<Address, 4> kAddresses {{
    {"work", {0x804A, 0x8045, 0x8046, 0x8047, 0x8048, 0x8049}, 0x801B},
    {"work", {0x3A2B, 0x3A29, 0x3A27, 0x3A28, 0x3A2A, 0x3A26}, 0x801B},
    {"home", {0x3A5E, 0x3A5D, 0x3A59, 0x3A5C, 0x3A5B, 0x3A5A}, 0x801A},
    {"other", {0x3A64, 0x3A63, 0x3A5F, 0x3A62, 0x3A61, 0x3A60}, 0x801C},
}};

class ItemCard {
public:
    explicit ItemCard(PropertyBag &item)
        : m_item(item)
    {
    }

    // The text of a property, empty when the item has none.
    std::string get(PropertyKey key)
    {
        std::string value;
        m_item.text(key, value);
        return value;
    }

    void date(std::string_view name, PropertyKey key)
    {
        std::uint64_t filetime = 0;
        if (!m_item.filetime(key, filetime))
            return;
        const QDate day = birthdayFromFiletime(filetime).toDate();
        if (day.isValid())
            m_out.raw(name, day.toString(QStringLiteral("yyyyMMdd")).toStdString());
    }

    void addresses()
    {
        bool workDone = false;
        for (const Address &address : kAddresses) {
            const bool work = std::strcmp(address.type, "work") == 0;
            if (work && workDone)
                continue;
            std::array<std::string, 6> parts;
            bool any = false;
            for (size_t i = 0; i < parts.size(); ++i) {
                parts[i] = get(address.parts[i]);
                any = any || !parts[i].empty();
            }
            if (work && !any && &address == &kAddresses[0])
                continue;
            workDone = workDone || work;
            const std::string text = get(address.text);
            if (!any && text.empty())
                continue;
            std::string head = std::string("ADR;TYPE=") + address.type;
            if (!text.empty()) {
                head += ";LABEL=";
                vcard::appendParameterValue(head, text);
            }
            if (any)
                m_out.text(head, {parts[0], {}, parts[1], parts[2], parts[3], parts[4], parts[5]});
            else
                m_out.raw(head, ";;;;;;");
        }
    }

    void members()
    {
        std::vector<std::string> entries;
        if (!m_item.binaries(key::DistributionListOneOffMembers, entries))
            return;
        OneOffAddress member;
        for (const std::string &entry : entries) {
            if (readOneOffEntryId(entry, member) && !member.address.empty())
                m_out.raw("MEMBER", "mailto:", member.address);
        }
    }

    std::string body()
    {
        std::string text;
        if (m_item.text(tag::Body, text) && !text.empty())
            return text;
        // As in the table: without a plain text body, the text of the RTF one.
        if (m_item.rtfBody(text))
            return rtfToText(text);
        return {};
    }

    vcard::CardBuilder &out() { return m_out; }
    PropertyBag &item() { return m_item; }

private:
    PropertyBag &m_item;
    vcard::CardBuilder m_out;
};

// A NUL-terminated string of a one-off entry id from at on, in UTF-16LE or
// in an 8-bit code page, as UTF-8; false when it runs off the end.
bool readString(std::string_view bytes, size_t &at, bool unicode, std::string &out)
{
    out.clear();
    if (unicode) {
        QString text;
        for (; at + 1 < bytes.size(); at += 2) {
            const auto unit = static_cast<char16_t>(
                static_cast<unsigned char>(bytes[at]) | static_cast<unsigned char>(bytes[at + 1]) << 8);
            if (unit == 0) {
                at += 2;
                appendUtf8(out, text);
                return true;
            }
            text.append(QChar(unit));
        }
        return false;
    }
    const size_t end = bytes.find('\0', at);
    if (end == std::string_view::npos)
        return false;
    const std::string_view text = bytes.substr(at, end - at);
    at = end + 1;
    if (isAscii(text) || QByteArrayView(text.data(), static_cast<qsizetype>(text.size())).isValidUtf8())
        out.assign(text);
    else
        appendUtf8(out, QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size())));
    return true;
}

} // namespace

bool readOneOffEntryId(std::string_view bytes, OneOffAddress &out)
{
    // Flags (4 bytes), the one-off provider's UID, version (2), flags (2).
    static constexpr unsigned char kProvider[16]
        = {0x81, 0x2B, 0x1F, 0xA4, 0xBE, 0xA3, 0x10, 0x19, 0x9D, 0x6E, 0x00, 0xDD, 0x01, 0x0F, 0x54, 0x02};
    if (bytes.size() < 24 || std::memcmp(bytes.data() + 4, kProvider, sizeof kProvider) != 0)
        return false;
    const bool unicode = static_cast<unsigned char>(bytes[23]) & 0x80;
    size_t at = 24;
    return readString(bytes, at, unicode, out.displayName) && readString(bytes, at, unicode, out.addressType)
        && readString(bytes, at, unicode, out.address);
}

std::string itemVCard(PropertyBag &item)
{
    std::string messageClass;
    item.text(tag::MessageClass, messageClass);
    const ItemKind kind = itemKind(messageClass);
    if (kind == ItemKind::Other)
        return {};
    ItemCard card(item);
    vcard::CardBuilder &out = card.out();
    if (kind == ItemKind::DistributionList) {
        out.raw("KIND", "group");
        std::string name = card.get(tag::DisplayName);
        out.raw("FN", {}, name.empty() ? card.get(key::DistributionListName) : name);
        card.members();
        out.text("NOTE", {card.body()});
        return out.finish();
    }

    out.raw("FN", {}, card.get(tag::DisplayName));
    out.text("N",
        {card.get(key::Surname), card.get(key::GivenName), card.get(key::MiddleName), card.get(key::DisplayNamePrefix),
            card.get(key::Generation)});
    out.text("NICKNAME", {card.get(key::Nickname)});
    out.text("X-EVOLUTION-FILE-AS", {card.get(tag::FileAs)});
    out.text("EMAIL;PREF=1", {card.get(0x8083)});
    out.text("EMAIL", {card.get(0x8093)});
    out.text("EMAIL", {card.get(0x80A3)});
    for (const Phone &phone : kPhones)
        out.text(phone.head, {card.get(phone.key)});
    card.addresses();
    out.text("ORG", {card.get(key::CompanyName), card.get(key::DepartmentName)});
    out.text("TITLE", {card.get(key::Title)});
    out.text("ROLE", {card.get(key::Profession)});
    out.text("X-MS-ASSISTANT", {card.get(key::Assistant)});
    out.text("X-MS-MANAGER", {card.get(key::ManagerName)});
    out.text("RELATED;TYPE=spouse;VALUE=text", {card.get(key::SpouseName)});
    std::vector<std::string> children;
    item.textList(key::ChildrensNames, children);
    for (const std::string &child : children)
        out.text("RELATED;TYPE=child;VALUE=text", {child});
    card.date("BDAY", tag::Birthday);
    card.date("ANNIVERSARY", key::WeddingAnniversary);
    std::string work = card.get(tag::Html);
    if (work.empty())
        work = card.get(tag::BusinessHomePage);
    out.text("URL;TYPE=work", {work});
    out.text("URL;TYPE=home", {card.get(key::PersonalHomePage)});
    out.text("X-MS-IMADDRESS", {card.get(key::InstantMessagingAddress)});
    std::vector<std::string> categories;
    item.categories(categories);
    out.list("CATEGORIES", categories);
    out.text("NOTE", {card.body()});
    std::string photo;
    if (item.photo(photo) && !photo.empty()) {
        const QByteArray base64
            = QByteArray::fromRawData(photo.data(), static_cast<qsizetype>(photo.size())).toBase64();
        out.raw("PHOTO", "data:image/jpeg;base64," + base64.toStdString());
    }
    return out.finish();
}

} // namespace quarrelby::outlook
