#include "format/vcard/VCardContact.h"

#include "format/vcard/VCardText.h"

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
    std::transform(token.begin(), token.end(), buffer, upperAscii);
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

// A telephone of one of these types goes to its field, the first type in
// this order deciding; faxes, work, home and other numbers follow.
constexpr std::pair<unsigned, ContactProperty> kTelephoneFields[] = {
    {Assistant, AssistantTelephoneNumber},
    {Callback, CallbackTelephoneNumber},
    {Company, CompanyMainTelephoneNumber},
    {Radio, RadioTelephoneNumber},
    {Tty, TTYTDDTelephoneNumber},
    {Telex, TelexNumber},
    {Isdn, ISDNNumber},
    {Pager, PagerNumber},
    {Car, CarTelephoneNumber},
    {Cell, MobileTelephoneNumber},
};

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
size_t schemeLength(std::string_view uri)
{
    for (size_t i = 0; i < uri.size(); ++i) {
        const char c = uri[i];
        if (c == ':')
            return i > 0 ? i + 1 : 0;
        const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
        const bool other = (c >= '0' && c <= '9') || c == '+' || c == '.' || c == '-';
        if (!letter && !(i > 0 && other))
            return 0;
    }
    return 0;
}

bool isAsciiSpace(char c)
{
    return c == ' ' || (c >= '\t' && c <= '\r');
}

std::string_view trimmedAscii(std::string_view s)
{
    while (!s.empty() && isAsciiSpace(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && isAsciiSpace(s.back()))
        s.remove_suffix(1);
    return s;
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

// A parameter value with its RFC 6868 escapes resolved: ^n (or ^N) a line
// break, ^' a double quote, ^^ a caret.
std::string withoutCaretEscapes(std::string_view value)
{
    std::string out;
    out.reserve(value.size());
    for (size_t i = 0; i < value.size(); ++i) {
        const char next = i + 1 < value.size() ? value[i + 1] : '\0';
        if (value[i] == '^' && (next == 'n' || next == 'N' || next == '\'' || next == '^')) {
            out += next == '^' ? '^' : next == '\'' ? '"' : '\n';
            ++i;
        } else {
            out += value[i];
        }
    }
    return out;
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

// A BDAY value as Outlook would hold it (see Contact::birthday).
QVariant birthdayValue(std::string_view text, std::string_view omitYear)
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
    const unsigned types = typesOf(property);
    for (const auto &[type, field] : kTelephoneFields) {
        if (types & type) {
            fill(field, number);
            return;
        }
    }
    if (types & Fax)
        fill((types & Work) ? BusinessFaxNumber : (types & Home) ? HomeFaxNumber : OtherFaxNumber, number);
    else if (types & Work)
        fill(m_fields[BusinessTelephoneNumber].empty() ? BusinessTelephoneNumber : Business2TelephoneNumber, number);
    else if (types & Home)
        fill(m_fields[HomeTelephoneNumber].empty() ? HomeTelephoneNumber : Home2TelephoneNumber, number);
    else
        fill((types & ~Voice) == Pref ? PrimaryTelephoneNumber : OtherTelephoneNumber, number);
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
    m_birthday = isText ? QVariant(fromUtf8(text)) : birthdayValue(text, omit);
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
            if (slot == Untyped || addresses[slot])
                continue;
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

Contact ContactBuilder::pack(QString *sharedTexts)
{
    Contact contact;
    contact.distributionList = m_distributionList;
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
    return pack(sharedTexts);
}

void ContactBuilder::add(Kind kind, const Property &p)
{
    switch (kind) {
    case Kind::Fn:
        if (m_fn.empty())
            m_fn.assign(m_values.utf8(p));
        break;
    case Kind::N:
        if (!m_hasN)
            addName(p);
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
        }
        break;
    case Kind::Org:
        if (!m_hasOrg) {
            m_values.components(p, m_parts);
            m_fields[CompanyName].assign(m_parts[0]);
            m_hasOrg = true;
        }
        break;
    case Kind::Bday:
        if (!m_hasBday) {
            addBirthday(p);
            m_hasBday = true;
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
        fill(AssistantName, m_values.utf8(p));
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
    case Kind::AppleLabel:
    case Kind::Unknown:
        break;
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
    if (rank >= m_imRank)
        return;
    std::string_view address = m_values.utf8(p);
    // KDE keeps all addresses of one protocol in one value, separated by
    // U+E000 (a private-use character); the first is the one shown.
    constexpr std::string_view separator = "\xEE\x80\x80";
    while (address.starts_with(separator))
        address.remove_prefix(separator.size());
    address = address.substr(0, address.find(separator));
    address.remove_prefix(schemeLength(address));
    if (!address.empty()) {
        m_fields[IMAddress].assign(address);
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

} // namespace quarrelby::vcard
