#include "format/vcard/VCardContact.h"

#include "format/vcard/VCardText.h"
#include "format/vcard/VCardTypes.h"

#include <QDate>
#include <QDateTime>

#include <algorithm>
#include <array>
#include <charconv>
#include <cstring>

namespace quarrelby::vcard {

namespace {

enum class Kind {
    Unknown,
    Fn,
    N,
    FileAs,
    Title,
    Org,
    Bday,
    Email,
    Url,
    OutlookIm,
    Impp,
    OtherIm,
    KdeMessaging,
    Assistant,
    Tel,
    Adr,
    Label,
    Note,
    GroupKind,
    EvolutionList,
    AppleLabel,
    Uid,
};

// KDE 3 and 4 keep IM addresses as X-messaging/<protocol>-All, one such
// property per protocol.
bool isKdeMessaging(std::string_view name)
{
    constexpr std::string_view prefix = "X-MESSAGING/";
    constexpr std::string_view suffix = "-ALL";
    return name.size() > prefix.size() + suffix.size() && equalsIgnoreCase(name.substr(0, prefix.size()), prefix)
        && equalsIgnoreCase(name.substr(name.size() - suffix.size()), suffix);
}

Kind kindOf(std::string_view name)
{
    // Called for every property of every card: a switch on the length and
    // a fixed-size compare of the upper-cased name, no table walk.
    char buffer[32];
    if (isKdeMessaging(name))
        return Kind::KdeMessaging;
    if (name.size() > sizeof buffer)
        return Kind::Unknown;
    std::transform(name.begin(), name.end(), buffer, upperAscii);
    const auto is = [&]<size_t N>(const char(&literal)[N]) { return std::memcmp(buffer, literal, N - 1) == 0; };
    switch (name.size()) {
    case 1:
        return buffer[0] == 'N' ? Kind::N : Kind::Unknown;
    case 2:
        return is("FN") ? Kind::Fn : Kind::Unknown;
    case 3:
        return is("TEL") ? Kind::Tel
            : is("ADR")  ? Kind::Adr
            : is("ORG")  ? Kind::Org
            : is("URL")  ? Kind::Url
            : is("UID")  ? Kind::Uid
                         : Kind::Unknown;
    case 4:
        return is("NOTE") ? Kind::Note
            : is("BDAY")  ? Kind::Bday
            : is("IMPP")  ? Kind::Impp
            : is("KIND")  ? Kind::GroupKind
                          : Kind::Unknown;
    case 5:
        if (is("EMAIL"))
            return Kind::Email;
        if (is("TITLE"))
            return Kind::Title;
        if (is("LABEL"))
            return Kind::Label;
        return is("X-AIM") || is("X-ICQ") || is("X-MSN") ? Kind::OtherIm : Kind::Unknown;
    case 7:
        return is("X-YAHOO") || is("X-SKYPE") || is("X-GTALK") ? Kind::OtherIm : Kind::Unknown;
    case 8:
        return is("X-MS-TEL") ? Kind::Tel : is("X-JABBER") || is("X-MATRIX") ? Kind::OtherIm : Kind::Unknown;
    case 9:
        return is("X-ABLABEL") ? Kind::AppleLabel : Kind::Unknown;
    case 11:
        return is("X-ASSISTANT") ? Kind::Assistant : Kind::Unknown;
    case 13:
        return is("X-GOOGLE-TALK") ? Kind::OtherIm : Kind::Unknown;
    case 14:
        return is("X-MS-IMADDRESS") ? Kind::OutlookIm : is("X-MS-ASSISTANT") ? Kind::Assistant : Kind::Unknown;
    case 16:
        return is("X-EVOLUTION-LIST") ? Kind::EvolutionList : Kind::Unknown;
    case 19:
        return is("X-EVOLUTION-FILE-AS") ? Kind::FileAs : Kind::Unknown;
    case 21:
        return is("X-EVOLUTION-ASSISTANT") ? Kind::Assistant : Kind::Unknown;
    case 24:
        return is("X-ADDRESSBOOKSERVER-KIND") ? Kind::GroupKind : Kind::Unknown;
    case 26:
        return is("X-KADDRESSBOOK-X-IMADDRESS") ? Kind::OtherIm : Kind::Unknown;
    case 31:
        return is("X-KADDRESSBOOK-X-ASSISTANTSNAME") ? Kind::Assistant : Kind::Unknown;
    default:
        return Kind::Unknown;
    }
}

// True when the text has a character that is not white space.
bool present(std::string_view part)
{
    for (const char c : part) {
        if (static_cast<unsigned char>(c) >= 0x80) {
            // Unicode knows more blanks than ASCII; such text is rare.
            const QString text = QString::fromUtf8(part.data(), static_cast<qsizetype>(part.size()));
            return std::any_of(text.begin(), text.end(), [](QChar ch) { return !ch.isSpace(); });
        }
        if (!isAsciiSpace(c))
            return true;
    }
    return false;
}

QString fromUtf8(std::string_view text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

int digits(std::string_view s, size_t at, size_t count)
{
    if (at + count > s.size())
        return -1;
    int value = 0;
    for (size_t i = at; i < at + count; ++i) {
        const char c = s[i];
        if (c < '0' || c > '9')
            return -1;
        value = value * 10 + (c - '0');
    }
    return value;
}

} // namespace

QVariant dateValue(std::string_view text, std::string_view omitYear)
{
    std::string_view value = trimmedAscii(text);
    if (std::any_of(value.begin(), value.end(), [](char c) { return static_cast<unsigned char>(c) >= 0x80; })) {
        // No date has other letters than ASCII ones; keep the text, trimmed
        // of every kind of blank.
        return fromUtf8(value).trimmed();
    }
    if (value.empty())
        return QString();
    auto monthDay = [](int month, int day) -> QVariant {
        if (month < 1 || month > 12 || day < 1 || day > 31)
            return {};
        const char mmdd[] = {'-', '-', static_cast<char>('0' + month / 10), static_cast<char>('0' + month % 10), '-',
            static_cast<char>('0' + day / 10), static_cast<char>('0' + day % 10)};
        return QString::fromLatin1(mmdd, sizeof mmdd);
    };
    const auto asText
        = [&] { return QVariant(QString::fromLatin1(value.data(), static_cast<qsizetype>(value.size()))); };
    if (value.starts_with("--")) {
        const bool dashed = value.size() == 7 && value[4] == '-';
        if (value.size() == 6 || dashed) {
            QVariant result = monthDay(digits(value, 2, 2), digits(value, dashed ? 5 : 4, 2));
            if (result.isValid())
                return result;
        }
        return asText();
    }

    const bool extended = value.size() >= 10 && value[4] == '-' && value[7] == '-';
    const size_t dateLength = extended ? 10 : 8;
    const int year = digits(value, 0, 4);
    const int month = digits(value, extended ? 5 : 4, 2);
    const int day = digits(value, extended ? 8 : 6, 2);
    const QDate date(year, month, day);
    if (year < 0 || !date.isValid())
        return asText();
    if (!omitYear.empty()) {
        const std::string_view omit = trimmedAscii(omitYear);
        int omitted = 0;
        const auto [end, error] = std::from_chars(omit.data(), omit.data() + omit.size(), omitted);
        if (error == std::errc() && end == omit.data() + omit.size() && omitted == year)
            return monthDay(month, day);
    }
    if (value.size() == dateLength)
        return date;
    if (value[dateLength] != 'T' && value[dateLength] != 't')
        return asText();

    // The time of day as written; a zone after it does not move the date.
    const std::string_view time = value.substr(dateLength + 1);
    const bool colons = time.size() >= 5 && time[2] == ':';
    const int hour = digits(time, 0, 2);
    int minute = digits(time, colons ? 3 : 2, 2);
    int second = digits(time, colons ? 6 : 4, 2);
    if (hour < 0)
        return asText();
    if (minute < 0)
        minute = second = 0;
    else if (second < 0)
        second = 0;
    const QTime clock(hour, minute, second);
    if (!clock.isValid())
        return asText();
    return QDateTime(date, clock, Qt::UTC);
}

namespace {

struct GroupLabel {
    std::string_view group;
    unsigned types;
};

} // namespace

// Resolves one card at a time into a Contact. Everything but the birthday is
// gathered as UTF-8 in buffers that live from card to card, and handed out
// packed into one string: resolving a card allocates next to nothing, and
// the text is made into QStrings only where it is read.
class ContactBuilder {
public:
    explicit ContactBuilder(TextDecoder &decoder)
        : m_values(decoder)
    {
    }

    Contact build(const Card &card, QString *sharedTexts);
    Contact identify(const Card &card);

private:
    enum Slot { WorkSlot, HomeSlot, OtherSlot, Untyped };
    struct Address {
        Slot slot = Untyped;
        std::string text;
        std::string label; // the LABEL parameter of a vCard 4.0 ADR
    };
    struct AddressLabel {
        Slot slot = Untyped;
        std::string text;
    };

    void reset(const Card &card);
    void add(Kind kind, const Property &property);
    void addName(const Property &property);
    void addEmail(const Property &property);
    void addUrl(const Property &property);
    void addImAddress(int rank, const Property &property);
    void addNote(const Property &property);
    void countOther(const Property &property);
    void countUnknown(const Property &property);
    unsigned typesOf(const Property &property) const;
    [[nodiscard]] bool preferred(const Property &property, unsigned types) const;
    [[nodiscard]] static Slot slotOf(unsigned types);
    void addTelephone(const Property &property);
    void addAddress(const Property &property);
    void addLabel(const Property &property);
    void addBirthday(const Property &property);
    void fill(int field, std::string_view value);
    void formatAddress(const Components &parts, std::string &out) const;
    void finishAddresses();
    void finishNames();
    void countOmitted();
    Contact pack(QString *sharedTexts);

    const Card *m_card = nullptr;
    ValueReader m_values;

    // What one card has said so far; cleared for the next card, keeping the
    // storage.
    std::array<std::string, kContactPropertyCount> m_fields;
    std::vector<GroupLabel> m_labels;
    std::string m_fn;
    bool m_hasN = false;
    Components m_n;
    std::string m_sortAs;
    std::string m_evolutionFileAs;
    std::string m_uid;
    bool m_hasTitle = false;
    bool m_hasOrg = false;
    bool m_hasBday = false;
    QVariant m_birthday;
    std::string m_emailBytes;
    std::vector<std::pair<size_t, size_t>> m_emails; // offset and size in m_emailBytes
    bool m_preferredEmailSeen = false;
    bool m_urlIsWork = false;
    int m_imRank = 99;
    bool m_distributionList = false;
    int m_webPages = 0;
    int m_imAddresses = 0;
    int m_assistants = 0;
    Omissions m_omitted;
    std::vector<Address> m_addresses;
    size_t m_addressCount = 0;
    std::vector<AddressLabel> m_addressLabels;
    size_t m_addressLabelCount = 0;

    Components m_parts;
};

void ContactBuilder::reset(const Card &card)
{
    m_card = &card;
    m_values.setCard(card);
    for (std::string &field : m_fields)
        field.clear();
    m_labels.clear();
    m_fn.clear();
    m_hasN = false;
    m_n.clear();
    m_sortAs.clear();
    m_evolutionFileAs.clear();
    m_uid.clear();
    m_hasTitle = m_hasOrg = m_hasBday = false;
    m_birthday = QVariant();
    m_emailBytes.clear();
    m_emails.clear();
    m_preferredEmailSeen = false;
    m_urlIsWork = false;
    m_imRank = 99;
    m_distributionList = false;
    m_webPages = m_imAddresses = m_assistants = 0;
    m_omitted = {};
    m_addressCount = 0;
    m_addressLabelCount = 0;
}

unsigned ContactBuilder::typesOf(const Property &property) const
{
    unsigned types = 0;
    for (const Parameter &p : m_card->parameters(property)) {
        if (p.name.empty() || equalsIgnoreCase(p.name, "TYPE"))
            types |= typesOfList(p.value);
    }
    if (!property.group.empty()) {
        for (const GroupLabel &label : m_labels) {
            if (equalsIgnoreCase(label.group, property.group))
                types |= label.types;
        }
    }
    return types;
}

bool ContactBuilder::preferred(const Property &property, unsigned types) const
{
    return (types & Pref) || m_values.parameter(property, "PREF") == "1";
}

ContactBuilder::Slot ContactBuilder::slotOf(unsigned types)
{
    return (types & Work) ? WorkSlot : (types & Home) ? HomeSlot : (types & Other) ? OtherSlot : Untyped;
}

void ContactBuilder::fill(int field, std::string_view value)
{
    if (m_fields[field].empty())
        m_fields[field].assign(value);
}

void ContactBuilder::addTelephone(const Property &property)
{
    std::string_view number = m_values.utf8(property);
    if (number.size() >= 4 && equalsIgnoreCase(number.substr(0, 4), "tel:"))
        number.remove_prefix(4);
    if (number.empty())
        return;
    const auto [first, second] = telephoneFields(typesOf(property));
    const int field = m_fields[first].empty() || second < 0 ? first : second;
    if (m_fields[field].empty())
        m_fields[field].assign(number);
    else
        m_omitted.add(Omission::Telephone);
}

// An address laid out as Outlook shows it: office line, street, city line,
// country. The post-office box, which Outlook keeps in a field of its own,
// gets a line of its own after the street rather than being lost.
void ContactBuilder::formatAddress(const Components &parts, std::string &out) const
{
    const std::string_view poBox = parts[0];
    const std::string_view extended = parts[1];
    const std::string_view street = parts[2];
    const std::string_view city = parts[3];
    const std::string_view region = parts[4];
    const std::string_view postalCode = parts[5];
    const std::string_view country = parts[6];

    out.clear();
    auto line = [&](std::string_view part) {
        if (!present(part))
            return;
        if (!out.empty())
            out += "\r\n";
        out += part;
    };
    line(extended);
    line(street);
    line(poBox);

    const bool hasCity = present(city);
    const bool hasRegion = present(region);
    const bool hasCode = present(postalCode);
    if (hasCity || hasRegion || hasCode) {
        if (!out.empty())
            out += "\r\n";
        if (hasCity)
            out += city;
        if (hasRegion) {
            if (hasCity)
                out += ", ";
            out += region;
        }
        if (hasCode) {
            if (hasCity || hasRegion)
                out += "  ";
            out += postalCode;
        }
    }
    line(country);
}

void ContactBuilder::addAddress(const Property &property)
{
    if (m_addressCount == m_addresses.size())
        m_addresses.emplace_back();
    Address &address = m_addresses[m_addressCount++];
    address.slot = slotOf(typesOf(property));
    m_values.components(property, m_parts);
    formatAddress(m_parts, address.text);
    address.label.clear();
    const std::string_view label = m_values.parameter(property, "LABEL");
    // RFC 6868 writes a line break in a parameter as ^n; many writers use
    // the value escape \n instead, so both are resolved.
    if (!label.empty())
        appendResolved(withoutCaretEscapes(label), Version::V40, address.label);
}

void ContactBuilder::addLabel(const Property &property)
{
    const std::string_view text = m_values.utf8(property);
    if (text.empty())
        return;
    if (m_addressLabelCount == m_addressLabels.size())
        m_addressLabels.emplace_back();
    AddressLabel &label = m_addressLabels[m_addressLabelCount++];
    label.slot = slotOf(typesOf(property));
    label.text.assign(text);
}

void ContactBuilder::addBirthday(const Property &property)
{
    const std::string_view omit = m_values.parameter(property, "X-APPLE-OMIT-YEAR");
    const bool isText = equalsIgnoreCase(m_values.parameter(property, "VALUE"), "TEXT");
    const std::string_view text = m_values.utf8(property);
    m_birthday = isText ? QVariant(fromUtf8(text)) : dateValue(text, omit);
}

void ContactBuilder::finishAddresses()
{
    // An untyped address is a work address (RFC 2426), or the other
    // address when the card has a work one already.
    std::array<const std::string *, 3> addresses {};
    std::array<const std::string *, 3> labels {};
    for (bool typed : {true, false}) {
        for (size_t i = 0; i < m_addressCount; ++i) {
            const Address &address = m_addresses[i];
            if ((address.slot != Untyped) != typed)
                continue;
            Slot slot = address.slot;
            if (slot == Untyped)
                slot = !addresses[WorkSlot] ? WorkSlot : !addresses[OtherSlot] ? OtherSlot : Untyped;
            if (slot == Untyped || addresses[slot]) {
                if (!address.text.empty())
                    m_omitted.add(Omission::PostalAddress);
                continue;
            }
            addresses[slot] = &address.text;
            if (!address.label.empty() && !labels[slot])
                labels[slot] = &address.label;
        }
        for (size_t i = 0; i < m_addressLabelCount; ++i) {
            const AddressLabel &label = m_addressLabels[i];
            if ((label.slot != Untyped) != typed)
                continue;
            Slot slot = label.slot;
            if (slot == Untyped)
                slot = !labels[WorkSlot] ? WorkSlot : !labels[OtherSlot] ? OtherSlot : Untyped;
            if (slot != Untyped && !labels[slot])
                labels[slot] = &label.text;
        }
    }
    const int fields[3] = {BusinessAddress, HomeAddress, OtherAddress};
    for (int slot = 0; slot < 3; ++slot) {
        if (const std::string *text = labels[slot] ? labels[slot] : addresses[slot])
            m_fields[fields[slot]] = *text;
    }
}

void ContactBuilder::finishNames()
{
    std::string &fullName = m_fields[FullName];
    if (!m_fn.empty()) {
        fullName = m_fn;
    } else if (m_hasN) {
        for (size_t i : {3, 1, 2, 0, 4}) {
            if (m_n[i].empty())
                continue;
            if (!fullName.empty())
                fullName += ' ';
            fullName += m_n[i];
        }
    }

    std::string &fileAs = m_fields[FileAs];
    if (!m_evolutionFileAs.empty()) {
        fileAs = m_evolutionFileAs;
    } else if (!m_sortAs.empty()) {
        fileAs = m_sortAs;
    } else if (m_hasN && (!m_n[0].empty() || !m_n[1].empty())) {
        const std::string_view family = m_n[0];
        const std::string_view given = m_n[1];
        fileAs.assign(family);
        if (!family.empty() && !given.empty())
            fileAs += ", ";
        fileAs += given;
    } else if (!m_fields[CompanyName].empty()) {
        fileAs = m_fields[CompanyName];
    } else {
        fileAs = fullName;
    }
}

// What the table has no room for, beyond what was counted on the way.
void ContactBuilder::countOmitted()
{
    if (m_emails.size() > 3)
        m_omitted.add(Omission::EmailPastThird, static_cast<quint32>(m_emails.size() - 3));
    if (m_imAddresses > 1)
        m_omitted.add(Omission::ImAddressPastFirst, static_cast<quint32>(m_imAddresses - 1));
    if (m_webPages > 1)
        m_omitted.add(Omission::WebPagePastFirst, static_cast<quint32>(m_webPages - 1));
    if (m_assistants > 1)
        m_omitted.add(Omission::RelatedPerson, static_cast<quint32>(m_assistants - 1));
    if (!m_hasN)
        return;
    const std::string_view shown[] = {m_fields[FullName], m_fields[FileAs]};
    for (size_t i = 0; i < 5; ++i) {
        const std::string_view part = trimmedAscii(m_n[i]);
        if (present(part) && std::none_of(std::begin(shown), std::end(shown), [&](std::string_view text) {
                return text.find(part) != std::string_view::npos;
            }))
            m_omitted.add(Omission::NamePart);
    }
}

Contact ContactBuilder::pack(QString *sharedTexts)
{
    Contact contact;
    contact.distributionList = m_distributionList;
    contact.omitted = m_omitted;
    contact.uid = m_uid;
    contact.birthday = m_birthday.isValid() ? std::move(m_birthday) : QVariant(QString());
    size_t total = 0;
    for (const std::string &field : m_fields)
        total += field.size();
    // UTF-16 never needs more units than UTF-8 has bytes.
    QString &texts = sharedTexts ? *sharedTexts : contact.texts;
    if (texts.capacity() - texts.size() < static_cast<qsizetype>(total))
        texts.reserve(std::max(texts.size() + static_cast<qsizetype>(total), 2 * texts.capacity()));
    for (size_t i = 0; i < m_fields.size(); ++i)
        contact.appendUtf8(static_cast<int>(i), m_fields[i], texts);
    return contact;
}

Contact ContactBuilder::identify(const Card &card)
{
    reset(card);
    for (const Property &p : card.properties()) {
        const Kind kind = kindOf(p.name);
        if (kind == Kind::Uid || kind == Kind::GroupKind || kind == Kind::EvolutionList)
            add(kind, p);
    }
    Contact contact;
    contact.distributionList = m_distributionList;
    contact.uid = m_uid;
    return contact;
}

Contact ContactBuilder::build(const Card &card, QString *sharedTexts)
{
    reset(card);
    const auto &properties = card.properties();
    for (const Property &p : properties) {
        if (!p.group.empty() && kindOf(p.name) == Kind::AppleLabel)
            m_labels.push_back({p.group, typesOfAppleLabel(p.value)});
    }
    for (const Property &p : properties)
        add(kindOf(p.name), p);

    finishNames();
    for (size_t i = 0; i < m_emails.size() && i < 3; ++i) {
        const auto [offset, size] = m_emails[i];
        m_fields[Email1Address + static_cast<int>(i)] = std::string_view(m_emailBytes).substr(offset, size);
    }
    finishAddresses();
    countOmitted();
    return pack(sharedTexts);
}

void ContactBuilder::add(Kind kind, const Property &p)
{
    switch (kind) {
    case Kind::Fn:
        if (m_fn.empty())
            m_fn.assign(m_values.utf8(p));
        else
            countOther(p);
        break;
    case Kind::N:
        if (!m_hasN)
            addName(p);
        else
            countOther(p);
        break;
    case Kind::Uid:
        if (m_uid.empty())
            m_uid.assign(trimmedAscii(m_values.utf8(p)));
        break;
    case Kind::FileAs:
        if (m_evolutionFileAs.empty())
            m_evolutionFileAs.assign(m_values.utf8(p));
        break;
    case Kind::Title:
        if (!m_hasTitle) {
            m_fields[JobTitle].assign(m_values.utf8(p));
            m_hasTitle = true;
        } else {
            countOther(p);
        }
        break;
    case Kind::Org:
        if (!m_hasOrg) {
            m_values.components(p, m_parts);
            m_fields[CompanyName].assign(m_parts[0]);
            m_hasOrg = true;
            for (size_t i = 1; i < m_parts.size(); ++i) {
                if (present(m_parts[i]))
                    m_omitted.add(Omission::Unit);
            }
        } else {
            countOther(p);
        }
        break;
    case Kind::Bday:
        if (!m_hasBday) {
            addBirthday(p);
            m_hasBday = true;
        } else {
            countOther(p);
        }
        break;
    case Kind::Email:
        addEmail(p);
        break;
    case Kind::Url:
        addUrl(p);
        break;
    case Kind::OutlookIm:
    case Kind::Impp:
    case Kind::OtherIm:
    case Kind::KdeMessaging:
        addImAddress(kind == Kind::OutlookIm ? 0 : kind == Kind::Impp ? 1 : 2, p);
        break;
    case Kind::Assistant:
        if (const std::string_view name = m_values.utf8(p); !name.empty()) {
            fill(AssistantName, name);
            ++m_assistants;
        }
        break;
    case Kind::Tel:
        addTelephone(p);
        break;
    case Kind::Adr:
        addAddress(p);
        break;
    case Kind::Label:
        addLabel(p);
        break;
    case Kind::Note:
        addNote(p);
        break;
    case Kind::GroupKind:
    case Kind::EvolutionList:
        if (equalsIgnoreCase(trimmedAscii(m_values.utf8(p)), kind == Kind::GroupKind ? "group" : "TRUE"))
            m_distributionList = true;
        break;
    case Kind::Unknown:
        countUnknown(p);
        break;
    case Kind::AppleLabel:
        break;
    }
}

void ContactBuilder::countOther(const Property &p)
{
    if (!trimmedAscii(p.value).empty())
        m_omitted.add(Omission::OtherField);
}

// A property the table has no column for, counted by what it holds.
void ContactBuilder::countUnknown(const Property &p)
{
    const Field field = fieldOf(p.name);
    switch (field) {
    case Field::Bookkeeping:
    case Field::Member:
        return;
    case Field::Nickname:
    case Field::Categories: {
        m_values.components(p, m_parts, ',');
        quint32 values = 0;
        for (size_t i = 0; i < m_parts.size(); ++i)
            values += present(m_parts[i]) ? 1 : 0;
        m_omitted.add(field == Field::Nickname ? Omission::Nickname : Omission::Category, values);
        return;
    }
    default:
        break;
    }
    if (trimmedAscii(p.value).empty())
        return;
    switch (field) {
    case Field::Photo:
        m_omitted.add(Omission::Photo);
        break;
    case Field::Anniversary:
        m_omitted.add(Omission::Anniversary);
        break;
    case Field::Spouse:
    case Field::Manager:
    case Field::Related:
    case Field::AppleRelated:
        m_omitted.add(Omission::RelatedPerson);
        break;
    default:
        m_omitted.add(Omission::OtherField);
    }
}

void ContactBuilder::addName(const Property &p)
{
    m_values.components(p, m_n);
    m_hasN = true;
    const std::string_view sortAs = m_values.parameter(p, "SORT-AS");
    size_t start = 0;
    while (start <= sortAs.size()) {
        const size_t comma = std::min(sortAs.find(',', start), sortAs.size());
        if (comma > start) {
            if (!m_sortAs.empty())
                m_sortAs += ", ";
            m_sortAs += sortAs.substr(start, comma - start);
        }
        start = comma + 1;
    }
}

void ContactBuilder::addEmail(const Property &p)
{
    const std::string_view address = m_values.utf8(p);
    if (address.empty())
        return;
    const std::pair<size_t, size_t> range {m_emailBytes.size(), address.size()};
    m_emailBytes += address;
    if (!m_preferredEmailSeen && preferred(p, typesOf(p))) {
        m_preferredEmailSeen = true;
        m_emails.insert(m_emails.begin(), range);
    } else {
        m_emails.push_back(range);
    }
}

void ContactBuilder::addUrl(const Property &p)
{
    if (!trimmedAscii(p.value).empty())
        ++m_webPages;
    const bool work = typesOf(p) & Work;
    std::string &url = m_fields[WebPage];
    if (url.empty() || (work && !m_urlIsWork)) {
        const std::string_view text = m_values.utf8(p);
        if (!text.empty()) {
            url.assign(text);
            m_urlIsWork = work;
        }
    }
}

// rank: 0 Outlook's own property, 1 IMPP, 2 the older per-service ones; the
// lowest rank given wins.
void ContactBuilder::addImAddress(int rank, const Property &p)
{
    const std::string_view value = m_values.utf8(p);
    // KDE keeps all addresses of one protocol in one value, separated by
    // U+E000 (a private-use character); the first is the one shown.
    constexpr std::string_view separator = "\xEE\x80\x80";
    std::string_view shown;
    bool first = true;
    for (size_t start = 0; start < value.size();) {
        const size_t end = std::min(value.find(separator, start), value.size());
        std::string_view address = value.substr(start, end - start);
        start = end + separator.size();
        if (address.empty())
            continue;
        address.remove_prefix(schemeLength(address));
        if (first)
            shown = address;
        first = false;
        m_imAddresses += address.empty() ? 0 : 1;
    }
    if (rank < m_imRank && !shown.empty()) {
        m_fields[IMAddress].assign(shown);
        m_imRank = rank;
    }
}

void ContactBuilder::addNote(const Property &p)
{
    const std::string_view note = m_values.utf8(p);
    if (note.empty())
        return;
    std::string &body = m_fields[Body];
    if (!body.empty())
        body += "\r\n";
    body += note;
}

ContactReader::ContactReader()
    : m_decoder(std::make_unique<TextDecoder>())
    , m_builder(std::make_unique<ContactBuilder>(*m_decoder))
{
}

ContactReader::~ContactReader() = default;

std::vector<Contact> readContacts(std::string_view text, ContactReader &contacts)
{
    std::string converted;
    const std::string_view data = utf8Text(text, converted);
    Reader reader(data);
    Card card;
    std::vector<Contact> out;
    while (reader.next(card))
        out.push_back(contacts.read(card));
    return out;
}

Contact ContactReader::read(const Card &card)
{
    return m_builder->build(card, nullptr);
}

Contact ContactReader::read(const Card &card, QString &sharedTexts)
{
    return m_builder->build(card, &sharedTexts);
}

Contact ContactReader::identify(const Card &card)
{
    return m_builder->identify(card);
}

} // namespace quarrelby::vcard
