#include "platform/VCardContact.h"

#include "platform/VCardText.h"

#include <QDate>
#include <QDateTime>
#include <QHash>

#include <algorithm>
#include <cstring>
#include <optional>

namespace quarrelby::vcard {

namespace {

const char *const kPropertyNames[kContactPropertyCount] = {"FullName", "Birthday", "JobTitle", "CompanyName", "FileAs",
    "Email1Address", "Email2Address", "Email3Address", "WebPage", "IMAddress", "TTYTDDTelephoneNumber", "AssistantName",
    "AssistantTelephoneNumber", "BusinessTelephoneNumber", "Business2TelephoneNumber", "BusinessFaxNumber",
    "CallbackTelephoneNumber", "CarTelephoneNumber", "CompanyMainTelephoneNumber", "HomeTelephoneNumber",
    "Home2TelephoneNumber", "HomeFaxNumber", "ISDNNumber", "MobileTelephoneNumber", "OtherTelephoneNumber",
    "OtherFaxNumber", "PagerNumber", "PrimaryTelephoneNumber", "RadioTelephoneNumber", "TelexNumber", "BusinessAddress",
    "HomeAddress", "OtherAddress", "Body"};

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
    Assistant,
    Tel,
    Adr,
    Label,
    Note,
    GroupKind,
    EvolutionList,
    AppleLabel,
};

Kind kindOf(std::string_view name)
{
    // Called for every property of every card: a switch on the length and
    // a fixed-size compare of the upper-cased name, no table walk.
    char buffer[32];
    if (name.size() > sizeof buffer)
        return Kind::Unknown;
    for (size_t i = 0; i < name.size(); ++i) {
        const char c = name[i];
        buffer[i] = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
    }
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
    default:
        return Kind::Unknown;
    }
}

// Types of a telephone, address, e-mail or web address.
enum Type : unsigned {
    Work = 1u << 0,
    Home = 1u << 1,
    Other = 1u << 2,
    Cell = 1u << 3,
    Fax = 1u << 4,
    Voice = 1u << 5,
    Msg = 1u << 6,
    Pager = 1u << 7,
    Car = 1u << 8,
    Isdn = 1u << 9,
    Pref = 1u << 10,
    Assistant = 1u << 11,
    Callback = 1u << 12,
    Company = 1u << 13,
    Radio = 1u << 14,
    Tty = 1u << 15,
    Telex = 1u << 16,
    Unnamed = 1u << 17, // a type none of the rules names
};

unsigned typeOfToken(std::string_view token)
{
    while (!token.empty() && (token.front() == ' ' || token.front() == '"'))
        token.remove_prefix(1);
    while (!token.empty() && (token.back() == ' ' || token.back() == '"'))
        token.remove_suffix(1);
    if (token.empty())
        return 0;
    char buffer[40];
    if (token.size() > sizeof buffer)
        return Unnamed;
    for (size_t i = 0; i < token.size(); ++i) {
        const char c = token[i];
        buffer[i] = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
    }
    std::string_view upper(buffer, token.size());
    for (const std::string_view prefix : {"X-MS-", "X-EVOLUTION-", "X-"}) {
        if (upper.size() < 2 || upper[0] != 'X' || upper[1] != '-')
            break;
        if (upper.starts_with(prefix)) {
            upper.remove_prefix(prefix.size());
            break;
        }
    }
    const auto is = [&]<size_t N>(const char(&literal)[N]) { return std::memcmp(upper.data(), literal, N - 1) == 0; };
    // Encodings written as bare vCard 2.1 parameters are no types.
    switch (upper.size()) {
    case 1:
        return upper[0] == 'B' ? 0u : static_cast<unsigned>(Unnamed);
    case 3:
        return is("FAX") ? Fax : is("MSG") ? Msg : is("CAR") ? Car : is("TLX") ? Telex : Unnamed;
    case 4:
        if (is("WORK"))
            return Work;
        if (is("HOME"))
            return Home;
        if (is("CELL"))
            return Cell;
        if (is("PREF"))
            return Pref;
        if (is("ISDN"))
            return Isdn;
        return is("8BIT") || is("7BIT") ? 0u : static_cast<unsigned>(Unnamed);
    case 5:
        if (is("VOICE"))
            return Voice;
        if (is("OTHER"))
            return Other;
        if (is("PAGER"))
            return Pager;
        return is("RADIO") ? Radio : is("TELEX") ? Telex : Unnamed;
    case 6:
        return is("MOBILE") ? Cell : is("TTYTDD") ? Tty : is("BASE64") ? 0u : static_cast<unsigned>(Unnamed);
    case 7:
        if (is("COMPANY"))
            return Company;
        if (is("HOMEFAX"))
            return Home | Fax;
        if (is("WORKFAX"))
            return Work | Fax;
        return is("TTY-TDD") || is("TTY/TDD") ? Tty : Unnamed;
    case 8:
        return is("CALLBACK") ? Callback : is("OTHERFAX") ? Other | Fax : Unnamed;
    case 9:
        return is("ASSISTANT") ? Assistant : is("TEXTPHONE") ? Tty : Unnamed;
    case 14:
        return is("ASSISTANTPHONE") ? Assistant : Unnamed;
    case 16:
        return is("QUOTED-PRINTABLE") ? 0u : static_cast<unsigned>(Unnamed);
    default:
        return Unnamed;
    }
}

unsigned typesOfList(std::string_view list)
{
    unsigned types = 0;
    size_t start = 0;
    while (start <= list.size()) {
        const size_t comma = list.find(',', start);
        const size_t end = comma == std::string_view::npos ? list.size() : comma;
        types |= typeOfToken(list.substr(start, end - start));
        if (comma == std::string_view::npos)
            break;
        start = comma + 1;
    }
    return types;
}

// Apple writes a label such as _$!<HomeFAX>!$_ for a standard kind and plain
// text for one the user named.
unsigned typesOfAppleLabel(std::string_view label)
{
    if (label.starts_with("_$!<") && label.ends_with(">!$_"))
        label = label.substr(4, label.size() - 8);
    return typeOfToken(label);
}

// The length of a leading "scheme:" (xmpp:, aim:, sip:), 0 if none.
qsizetype schemeLength(const QString &uri)
{
    for (qsizetype i = 0; i < uri.size(); ++i) {
        const QChar c = uri.at(i);
        if (c == QLatin1Char(':'))
            return i > 0 ? i + 1 : 0;
        const bool letter
            = (c >= QLatin1Char('a') && c <= QLatin1Char('z')) || (c >= QLatin1Char('A') && c <= QLatin1Char('Z'));
        const bool other = (c >= QLatin1Char('0') && c <= QLatin1Char('9')) || c == QLatin1Char('+')
            || c == QLatin1Char('.') || c == QLatin1Char('-');
        if (!letter && !(i > 0 && other))
            return 0;
    }
    return 0;
}

struct GroupLabel {
    std::string_view group;
    unsigned types;
};

} // namespace

class ContactBuilder {
public:
    explicit ContactBuilder(TextDecoder &decoder)
        : m_values(decoder)
    {
    }

    Contact build(const Card &card);

private:
    void reset(const Card &card);
    unsigned typesOf(const Property &property) const;
    [[nodiscard]] bool preferred(const Property &property, unsigned types) const;
    void addTelephone(const Property &property);
    void addAddress(const Property &property);
    void addLabel(const Property &property);
    void fill(int field, const QString &value);
    void finishAddresses();
    [[nodiscard]] QString fullNameFromN();
    [[nodiscard]] QString fileAs();
    [[nodiscard]] QString formatAddress(const Components &parts);
    [[nodiscard]] QString lineText() const
    {
        return QString::fromUtf8(m_line.data(), static_cast<qsizetype>(m_line.size()));
    }

    const Card *m_card = nullptr;
    ValueReader m_values;
    Contact m_contact;

    // What one card has said so far; cleared for the next card, keeping the
    // containers' storage.
    std::vector<GroupLabel> m_labels;
    QString m_fn;
    bool m_hasN = false;
    Components m_n;
    QString m_sortAs;
    QString m_evolutionFileAs;
    bool m_hasTitle = false;
    bool m_hasOrg = false;
    bool m_hasBday = false;
    std::vector<QString> m_emails;
    bool m_preferredEmailSeen = false;
    QString m_url;
    bool m_urlIsWork = false;
    int m_imRank = 99;
    std::vector<QString> m_notes;

    enum Slot { WorkSlot, HomeSlot, OtherSlot, Untyped };
    struct Address {
        Slot slot;
        QString text;
        QString label; // the LABEL parameter of a vCard 4.0 ADR
    };
    std::vector<Address> m_addresses;
    std::vector<std::pair<Slot, QString>> m_addressLabels;

    // Scratch for structured values and the text made of them.
    Components m_parts;
    std::string m_line;
};

void ContactBuilder::reset(const Card &card)
{
    m_card = &card;
    m_values.setCard(card);
    m_contact = Contact();
    m_labels.clear();
    m_fn.clear();
    m_hasN = false;
    m_n.clear();
    m_sortAs.clear();
    m_evolutionFileAs.clear();
    m_hasTitle = m_hasOrg = m_hasBday = false;
    m_emails.clear();
    m_preferredEmailSeen = false;
    m_url.clear();
    m_urlIsWork = false;
    m_imRank = 99;
    m_notes.clear();
    m_addresses.clear();
    m_addressLabels.clear();
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

void ContactBuilder::fill(int field, const QString &value)
{
    if (m_contact.text[field].isEmpty())
        m_contact.text[field] = value;
}

void ContactBuilder::addTelephone(const Property &property)
{
    QString number = m_values.text(property);
    if (number.startsWith(QLatin1String("tel:"), Qt::CaseInsensitive))
        number.remove(0, 4);
    if (number.isEmpty())
        return;
    const unsigned types = typesOf(property);
    auto one = [&](int field) { fill(field, number); };
    auto two = [&](int first, int second) {
        if (m_contact.text[first].isEmpty())
            m_contact.text[first] = number;
        else
            fill(second, number);
    };
    if (types & Assistant)
        one(AssistantTelephoneNumber);
    else if (types & Callback)
        one(CallbackTelephoneNumber);
    else if (types & Company)
        one(CompanyMainTelephoneNumber);
    else if (types & Radio)
        one(RadioTelephoneNumber);
    else if (types & Tty)
        one(TTYTDDTelephoneNumber);
    else if (types & Telex)
        one(TelexNumber);
    else if (types & Isdn)
        one(ISDNNumber);
    else if (types & Pager)
        one(PagerNumber);
    else if (types & Car)
        one(CarTelephoneNumber);
    else if (types & Cell)
        one(MobileTelephoneNumber);
    else if (types & Fax)
        one((types & Work) ? BusinessFaxNumber : (types & Home) ? HomeFaxNumber : OtherFaxNumber);
    else if (types & Work)
        two(BusinessTelephoneNumber, Business2TelephoneNumber);
    else if (types & Home)
        two(HomeTelephoneNumber, Home2TelephoneNumber);
    else if ((types & ~Voice) == Pref)
        one(PrimaryTelephoneNumber);
    else
        one(OtherTelephoneNumber);
}

namespace {

// True when the text has a character that is not white space.
bool present(std::string_view part)
{
    for (const char c : part) {
        const auto b = static_cast<unsigned char>(c);
        if (b >= 0x80) {
            // Unicode knows more blanks than ASCII; such text is rare.
            const QString text = QString::fromUtf8(part.data(), static_cast<qsizetype>(part.size()));
            return std::any_of(text.begin(), text.end(), [](QChar ch) { return !ch.isSpace(); });
        }
        if (b != ' ' && (b < '\t' || b > '\r'))
            return true;
    }
    return false;
}

} // namespace

// An address laid out as Outlook shows it: office line, street, city line,
// country. The post-office box, which Outlook keeps in a field of its own,
// gets a line of its own after the street rather than being lost.
QString ContactBuilder::formatAddress(const Components &parts)
{
    const std::string_view poBox = parts[0];
    const std::string_view extended = parts[1];
    const std::string_view street = parts[2];
    const std::string_view city = parts[3];
    const std::string_view region = parts[4];
    const std::string_view postalCode = parts[5];
    const std::string_view country = parts[6];

    m_line.clear();
    auto line = [&](std::string_view part) {
        if (!present(part))
            return;
        if (!m_line.empty())
            m_line += "\r\n";
        m_line += part;
    };
    line(extended);
    line(street);
    line(poBox);

    const bool hasCity = present(city);
    const bool hasRegion = present(region);
    const bool hasCode = present(postalCode);
    if (hasCity || hasRegion || hasCode) {
        if (!m_line.empty())
            m_line += "\r\n";
        if (hasCity)
            m_line += city;
        if (hasRegion) {
            if (hasCity)
                m_line += ", ";
            m_line += region;
        }
        if (hasCode) {
            if (hasCity || hasRegion)
                m_line += "  ";
            m_line += postalCode;
        }
    }
    line(country);
    return lineText();
}

void ContactBuilder::addAddress(const Property &property)
{
    const unsigned types = typesOf(property);
    const Slot slot = (types & Work) ? WorkSlot : (types & Home) ? HomeSlot : (types & Other) ? OtherSlot : Untyped;
    m_values.components(property, m_parts);
    Address address {slot, formatAddress(m_parts), {}};
    const std::string_view label = m_values.parameter(property, "LABEL");
    if (!label.empty()) {
        // RFC 6868 writes a line break in a parameter as ^n; many writers
        // use the value escape \n instead.
        QString text = QString::fromUtf8(label.data(), static_cast<qsizetype>(label.size()));
        text.replace(QLatin1String("^n"), QLatin1String("\n"), Qt::CaseInsensitive);
        text.replace(QLatin1String("^'"), QLatin1String("\""));
        text.replace(QLatin1String("^^"), QLatin1String("^"));
        address.label = withCrLf(unescape(text, Version::V40));
    }
    m_addresses.push_back(std::move(address));
}

void ContactBuilder::addLabel(const Property &property)
{
    const unsigned types = typesOf(property);
    const Slot slot = (types & Work) ? WorkSlot : (types & Home) ? HomeSlot : (types & Other) ? OtherSlot : Untyped;
    QString text = m_values.text(property);
    if (!text.isEmpty())
        m_addressLabels.emplace_back(slot, std::move(text));
}

void ContactBuilder::finishAddresses()
{
    // An untyped address is a work address (RFC 2426), or the other
    // address when the card has a work one already.
    auto place = [](auto &table, Slot slot, QString text) {
        if (slot != Untyped) {
            if (!table[slot])
                table[slot] = std::move(text);
        } else if (!table[WorkSlot]) {
            table[WorkSlot] = std::move(text);
        } else if (!table[OtherSlot]) {
            table[OtherSlot] = std::move(text);
        }
    };
    std::array<std::optional<QString>, 3> addresses;
    std::array<std::optional<QString>, 3> labels;
    for (bool typed : {true, false}) {
        for (Address &address : m_addresses) {
            if ((address.slot != Untyped) != typed)
                continue;
            Slot slot = address.slot;
            if (slot == Untyped)
                slot = !addresses[WorkSlot] ? WorkSlot : !addresses[OtherSlot] ? OtherSlot : Untyped;
            if (slot == Untyped || addresses[slot])
                continue;
            addresses[slot] = address.text;
            if (!address.label.isEmpty() && !labels[slot])
                labels[slot] = address.label;
        }
        for (auto &[slot, text] : m_addressLabels) {
            if ((slot != Untyped) == typed)
                place(labels, slot, text);
        }
    }
    const int fields[3] = {BusinessAddress, HomeAddress, OtherAddress};
    for (int slot = 0; slot < 3; ++slot)
        m_contact.text[fields[slot]] = labels[slot] ? *labels[slot] : addresses[slot].value_or(QString());
}

QString ContactBuilder::fullNameFromN()
{
    if (!m_hasN)
        return {};
    m_line.clear();
    for (size_t i : {3, 1, 2, 0, 4}) {
        if (m_n[i].empty())
            continue;
        if (!m_line.empty())
            m_line += ' ';
        m_line += m_n[i];
    }
    return lineText();
}

QString ContactBuilder::fileAs()
{
    if (!m_evolutionFileAs.isEmpty())
        return m_evolutionFileAs;
    if (!m_sortAs.isEmpty())
        return m_sortAs;
    if (m_hasN) {
        const std::string_view family = m_n[0];
        const std::string_view given = m_n[1];
        if (!family.empty() || !given.empty()) {
            m_line.assign(family);
            if (!family.empty() && !given.empty())
                m_line += ", ";
            m_line += given;
            return lineText();
        }
    }
    if (!m_contact.text[CompanyName].isEmpty())
        return m_contact.text[CompanyName];
    return m_contact.text[FullName];
}

Contact ContactBuilder::build(const Card &card)
{
    reset(card);
    const auto &properties = card.properties();
    for (const Property &p : properties) {
        if (!p.group.empty() && kindOf(p.name) == Kind::AppleLabel)
            m_labels.push_back({p.group, typesOfAppleLabel(p.value)});
    }

    for (const Property &p : properties) {
        switch (kindOf(p.name)) {
        case Kind::Fn:
            if (m_fn.isEmpty())
                m_fn = m_values.text(p);
            break;
        case Kind::N:
            if (!m_hasN) {
                m_values.components(p, m_n);
                m_hasN = true;
                const std::string_view sortAs = m_values.parameter(p, "SORT-AS");
                if (!sortAs.empty()) {
                    QStringList parts = QString::fromUtf8(sortAs.data(), static_cast<qsizetype>(sortAs.size()))
                                            .split(QLatin1Char(','), Qt::SkipEmptyParts);
                    m_sortAs = parts.join(QLatin1String(", "));
                }
            }
            break;
        case Kind::FileAs:
            if (m_evolutionFileAs.isEmpty())
                m_evolutionFileAs = m_values.text(p);
            break;
        case Kind::Title:
            if (!m_hasTitle) {
                m_contact.text[JobTitle] = m_values.text(p);
                m_hasTitle = true;
            }
            break;
        case Kind::Org:
            if (!m_hasOrg) {
                m_values.components(p, m_parts);
                const std::string_view company = m_parts[0];
                m_contact.text[CompanyName] = QString::fromUtf8(company.data(), static_cast<qsizetype>(company.size()));
                m_hasOrg = true;
            }
            break;
        case Kind::Bday:
            if (!m_hasBday) {
                const std::string_view omit = m_values.parameter(p, "X-APPLE-OMIT-YEAR");
                const std::string_view valueType = m_values.parameter(p, "VALUE");
                const QString text = m_values.text(p);
                m_contact.birthday = equalsIgnoreCase(valueType, "TEXT")
                    ? QVariant(text)
                    : birthdayValue(text, QString::fromLatin1(omit.data(), static_cast<qsizetype>(omit.size())));
                m_hasBday = true;
            }
            break;
        case Kind::Email: {
            QString address = m_values.text(p);
            if (address.isEmpty())
                break;
            if (!m_preferredEmailSeen && preferred(p, typesOf(p))) {
                m_preferredEmailSeen = true;
                m_emails.insert(m_emails.begin(), std::move(address));
            } else {
                m_emails.push_back(std::move(address));
            }
            break;
        }
        case Kind::Url: {
            const bool work = typesOf(p) & Work;
            if ((m_url.isEmpty() || (work && !m_urlIsWork))) {
                QString url = m_values.text(p);
                if (!url.isEmpty()) {
                    m_url = std::move(url);
                    m_urlIsWork = work;
                }
            }
            break;
        }
        case Kind::OutlookIm:
        case Kind::Impp:
        case Kind::OtherIm: {
            const Kind kind = kindOf(p.name);
            const int rank = kind == Kind::OutlookIm ? 0 : kind == Kind::Impp ? 1 : 2;
            if (rank >= m_imRank)
                break;
            QString address = m_values.text(p);
            address.remove(0, schemeLength(address));
            if (!address.isEmpty()) {
                m_contact.text[IMAddress] = address;
                m_imRank = rank;
            }
            break;
        }
        case Kind::Assistant:
            fill(AssistantName, m_values.text(p));
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
        case Kind::Note: {
            QString note = m_values.text(p);
            if (!note.isEmpty())
                m_notes.push_back(std::move(note));
            break;
        }
        case Kind::GroupKind:
            if (m_values.text(p).trimmed().compare(QLatin1String("group"), Qt::CaseInsensitive) == 0)
                m_contact.distributionList = true;
            break;
        case Kind::EvolutionList:
            if (m_values.text(p).trimmed().compare(QLatin1String("TRUE"), Qt::CaseInsensitive) == 0)
                m_contact.distributionList = true;
            break;
        case Kind::AppleLabel:
        case Kind::Unknown:
            break;
        }
    }

    m_contact.text[FullName] = m_fn.isEmpty() ? fullNameFromN() : m_fn;
    m_contact.text[FileAs] = fileAs();
    for (size_t i = 0; i < m_emails.size() && i < 3; ++i)
        m_contact.text[Email1Address + static_cast<int>(i)] = std::move(m_emails[i]);
    m_contact.text[WebPage] = std::move(m_url);
    finishAddresses();
    if (!m_notes.empty()) {
        QString body = std::move(m_notes.front());
        for (size_t i = 1; i < m_notes.size(); ++i)
            body += QLatin1String("\r\n") + m_notes[i];
        m_contact.text[Body] = std::move(body);
    }
    if (!m_contact.birthday.isValid())
        m_contact.birthday = QString();
    return std::move(m_contact);
}

namespace {

int digits(QStringView s, qsizetype at, qsizetype count)
{
    if (at + count > s.size())
        return -1;
    int value = 0;
    for (qsizetype i = at; i < at + count; ++i) {
        const char16_t c = s[i].unicode();
        if (c < u'0' || c > u'9')
            return -1;
        value = value * 10 + (c - u'0');
    }
    return value;
}

} // namespace

int contactPropertyIndex(const QString &name)
{
    static const QHash<QString, int> indexes = [] {
        QHash<QString, int> map;
        for (int i = 0; i < kContactPropertyCount; ++i)
            map.insert(QLatin1String(kPropertyNames[i]), i);
        return map;
    }();
    return indexes.value(name, -1);
}

QString contactPropertyName(int index)
{
    return contactPropertyLatin1(index);
}

QLatin1StringView contactPropertyLatin1(int index)
{
    return QLatin1StringView(kPropertyNames[index]);
}

QVariant birthdayValue(const QString &text, const QString &omitYear)
{
    const QString value = text.trimmed();
    if (value.isEmpty())
        return QString();
    auto monthDay = [](int month, int day) -> QVariant {
        if (month < 1 || month > 12 || day < 1 || day > 31)
            return {};
        const char mmdd[] = {'-', '-', static_cast<char>('0' + month / 10), static_cast<char>('0' + month % 10), '-',
            static_cast<char>('0' + day / 10), static_cast<char>('0' + day % 10)};
        return QString::fromLatin1(mmdd, sizeof mmdd);
    };
    if (value.startsWith(QLatin1String("--"))) {
        const bool dashed = value.size() == 7 && value[4] == QLatin1Char('-');
        if (value.size() == 6 || dashed) {
            const QVariant result = monthDay(digits(value, 2, 2), digits(value, dashed ? 5 : 4, 2));
            if (result.isValid())
                return result;
        }
        return value;
    }

    const bool extended = value.size() >= 10 && value[4] == QLatin1Char('-') && value[7] == QLatin1Char('-');
    const qsizetype dateLength = extended ? 10 : 8;
    const int year = digits(value, 0, 4);
    const int month = digits(value, extended ? 5 : 4, 2);
    const int day = digits(value, extended ? 8 : 6, 2);
    const QDate date(year, month, day);
    if (year < 0 || !date.isValid())
        return value;
    if (!omitYear.isEmpty() && omitYear.toInt() == year)
        return monthDay(month, day);
    if (value.size() == dateLength)
        return date;
    if (value[dateLength] != QLatin1Char('T') && value[dateLength] != QLatin1Char('t'))
        return value;

    // The time of day as written; a zone after it does not move the date.
    const QStringView time = QStringView(value).mid(dateLength + 1);
    const bool colons = time.size() >= 5 && time[2] == QLatin1Char(':');
    const int hour = digits(time, 0, 2);
    int minute = digits(time, colons ? 3 : 2, 2);
    int second = digits(time, colons ? 6 : 4, 2);
    if (hour < 0)
        return value;
    if (minute < 0)
        minute = second = 0;
    else if (second < 0)
        second = 0;
    const QTime clock(hour, minute, second);
    if (!clock.isValid())
        return value;
    return QDateTime(date, clock, Qt::UTC);
}

ContactReader::ContactReader()
    : m_decoder(std::make_unique<TextDecoder>())
    , m_builder(std::make_unique<ContactBuilder>(*m_decoder))
{
}

ContactReader::~ContactReader() = default;

Contact ContactReader::read(const Card &card)
{
    return m_builder->build(card);
}

} // namespace quarrelby::vcard
