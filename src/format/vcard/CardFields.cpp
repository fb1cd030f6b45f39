#include "format/vcard/CardFields.h"

#include "format/vcard/VCardContact.h"
#include "format/vcard/VCardText.h"
#include "format/vcard/VCardTypes.h"
#include "format/vcard/VCardWriter.h"

#include <QDate>
#include <QDateTime>

#include <algorithm>
#include <cstdio>

namespace quarrelby::vcard {

namespace {

struct Scheme {
    std::string_view scheme;
    std::string_view service;
};

constexpr Scheme kSchemes[] = {
    {"xmpp", "Jabber"},
    {"aim", "AIM"},
    {"ymsgr", "Yahoo"},
    {"skype", "Skype"},
    {"msnim", "MSN"},
    {"icq", "ICQ"},
    {"gtalk", "Google Talk"},
    {"qq", "QQ"},
    {"irc", "IRC"},
    {"sip", "SIP"},
    {"matrix", "Matrix"},
};

// Types that say how a value is used, not what it is: no label.
bool isDeliveryType(std::string_view token)
{
    for (const std::string_view type :
        {"INTERNET", "X400", "INTL", "DOM", "POSTAL", "PARCEL", "BBS", "MODEM", "VIDEO", "PCS", "TEXT"}) {
        if (equalsIgnoreCase(token, type))
            return true;
    }
    return false;
}

std::string_view unquoted(std::string_view value)
{
    value = trimmedAscii(value);
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
        return value.substr(1, value.size() - 2);
    return value;
}

class Resolver {
public:
    Resolver(const Card &card, TextDecoder &decoder, ValueReader &values, CardFields &out)
        : m_card(card)
        , m_decoder(decoder)
        , m_values(values)
        , m_out(out)
    {
    }

    void run();

private:
    [[nodiscard]] std::string text(const Property &p) { return std::string(m_values.utf8(p)); }
    [[nodiscard]] std::string_view appleLabel(const Property &p) const;
    [[nodiscard]] TypedValue typed(const Property &p, std::string value) const;
    void single(std::string &field, const Property &p);
    void list(const Property &p, std::vector<std::string> &out);
    void address(const Property &p);
    void imAddress(const Property &p);
    void attachLabels();

    // A label as it names a kind: "spouse" as "Spouse", Apple's
    // _$!<Anniversary>!$_ as "Anniversary", in UTF-8.
    [[nodiscard]] std::string labelText(std::string_view label) const;

    const Card &m_card;
    TextDecoder &m_decoder;
    ValueReader &m_values;
    CardFields &m_out;
    Components m_parts;
    bool m_hasName = false;
    bool m_hasOrganization = false;
    bool m_hasBirthday = false;
    std::vector<std::pair<const Property *, std::string>> m_labels;
};

std::string Resolver::labelText(std::string_view label) const
{
    const bool apple = label.starts_with("_$!<") && label.ends_with(">!$_");
    if (apple)
        label = label.substr(4, label.size() - 8);
    std::string text;
    m_decoder.toUtf8(trimmedAscii(label), {}, text);
    const bool lower = std::any_of(text.begin(), text.end(), [](char c) { return c >= 'a' && c <= 'z'; });
    const bool upper = std::any_of(text.begin(), text.end(), [](char c) { return c >= 'A' && c <= 'Z'; });
    std::string out;
    if (apple) {
        // Apple's own kinds: HomePage is "Home Page".
        for (size_t i = 0; i < text.size(); ++i) {
            if (i > 0 && text[i] >= 'A' && text[i] <= 'Z' && text[i - 1] >= 'a' && text[i - 1] <= 'z')
                out += ' ';
            out += text[i];
        }
    } else if (lower != upper) {
        // A keyword (MAIN, GRAND_CENTRAL, spouse) as words.
        bool start = true;
        for (const char c : text) {
            const bool separator = c == '_' || c == '-' || c == ' ';
            out += separator             ? ' '
                : start                  ? upperAscii(c)
                : (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a')
                                         : c;
            start = separator;
        }
    } else {
        out = std::move(text);
    }
    return out;
}

std::string_view Resolver::appleLabel(const Property &p) const
{
    if (p.group.empty())
        return {};
    for (const Property &label : m_card.properties()) {
        if (equalsIgnoreCase(label.name, "X-ABLABEL") && equalsIgnoreCase(label.group, p.group))
            return label.value;
    }
    return {};
}

TypedValue Resolver::typed(const Property &p, std::string value) const
{
    TypedValue out;
    out.value = std::move(value);
    for (const Parameter &param : m_card.parameters(p)) {
        if (!param.name.empty() && !equalsIgnoreCase(param.name, "TYPE"))
            continue;
        std::string_view list = unquoted(param.value);
        while (!list.empty()) {
            const size_t comma = std::min(list.find(','), list.size());
            const std::string_view token = unquoted(list.substr(0, comma));
            const unsigned type = typeOfToken(token);
            out.types |= type;
            if (type == Unnamed && out.label.empty() && !isDeliveryType(token))
                out.label = labelText(
                    token.size() > 2 && equalsIgnoreCase(token.substr(0, 2), "X-") ? token.substr(2) : token);
            list.remove_prefix(std::min(comma + 1, list.size()));
        }
    }
    if (const std::string_view label = appleLabel(p); !label.empty()) {
        const unsigned types = typesOfAppleLabel(label);
        out.types |= types;
        if (types == Unnamed)
            out.label = labelText(label);
    }
    out.preferred = (out.types & Pref) || m_values.parameter(p, "PREF") == "1";
    return out;
}

void Resolver::single(std::string &field, const Property &p)
{
    if (field.empty())
        field = text(p);
    else if (!trimmedAscii(p.value).empty())
        ++m_out.otherFields;
}

void Resolver::list(const Property &p, std::vector<std::string> &out)
{
    m_values.components(p, m_parts, ',');
    for (size_t i = 0; i < m_parts.size(); ++i) {
        const std::string_view value = trimmedAscii(m_parts[i]);
        if (!value.empty())
            out.emplace_back(value);
    }
}

void Resolver::address(const Property &p)
{
    m_values.components(p, m_parts);
    PostalAddress a;
    a.poBox = m_parts[0];
    a.extended = m_parts[1];
    a.street = m_parts[2];
    a.city = m_parts[3];
    a.region = m_parts[4];
    a.postalCode = m_parts[5];
    a.country = m_parts[6];
    if (const std::string_view label = m_values.parameter(p, "LABEL"); !label.empty()) {
        std::string text;
        m_decoder.toUtf8(label, {}, text);
        appendResolved(withoutCaretEscapes(text), Version::V40, a.text);
    }
    TypedValue kind = typed(p, {});
    a.types = kind.types;
    a.label = std::move(kind.label);
    m_out.addresses.push_back(std::move(a));
}

void Resolver::imAddress(const Property &p)
{
    const std::string_view value = m_values.utf8(p);
    std::string service(imService(p.name));
    if (const std::string_view type = m_values.parameter(p, "X-SERVICE-TYPE"); !type.empty())
        service = labelText(type);
    // KDE keeps all addresses of one protocol in one value, separated by U+E000.
    constexpr std::string_view separator = "\xEE\x80\x80";
    for (size_t start = 0; start < value.size();) {
        const size_t end = std::min(value.find(separator, start), value.size());
        std::string_view address = trimmedAscii(value.substr(start, end - start));
        start = end + separator.size();
        const size_t scheme = schemeLength(address);
        std::string named = service;
        if (named.empty() && scheme > 0) {
            const std::string_view name = address.substr(0, scheme - 1);
            const auto known = std::find_if(std::begin(kSchemes), std::end(kSchemes),
                [&](const Scheme &s) { return equalsIgnoreCase(s.scheme, name); });
            named = known != std::end(kSchemes) ? std::string(known->service) : labelText(name);
        }
        address.remove_prefix(scheme);
        if (address.empty())
            continue;
        TypedValue im = typed(p, std::string(address));
        im.label = named.empty() ? std::string("IM") : named;
        m_out.imAddresses.push_back(std::move(im));
    }
}

// A LABEL goes with the address of its group, else the first of its types
// that has no text yet; without one it is an address of its own.
void Resolver::attachLabels()
{
    for (auto &[property, text] : m_labels) {
        const TypedValue kind = typed(*property, {});
        PostalAddress *target = nullptr;
        for (size_t i = 0; i < m_out.addresses.size() && !target; ++i) {
            PostalAddress &a = m_out.addresses[i];
            if (a.text.empty() && a.types == kind.types)
                target = &a;
        }
        if (!target) {
            m_out.addresses.emplace_back();
            target = &m_out.addresses.back();
            target->types = kind.types;
            target->label = kind.label;
        }
        target->text = std::move(text);
    }
}

void Resolver::run()
{
    m_out.distributionList = isDistributionList(m_card);
    for (const Property &p : m_card.properties()) {
        const Field field = fieldOf(p.name);
        switch (field) {
        case Field::FullName:
            single(m_out.fullName, p);
            break;
        case Field::Name:
            if (m_hasName) {
                ++m_out.otherFields;
                break;
            }
            m_hasName = true;
            m_values.components(p, m_parts);
            m_out.family = m_parts[0];
            m_out.given = m_parts[1];
            m_out.middle = m_parts[2];
            m_out.prefix = m_parts[3];
            m_out.suffix = m_parts[4];
            break;
        case Field::PhoneticGiven:
            single(m_out.phoneticGiven, p);
            break;
        case Field::PhoneticMiddle:
            single(m_out.phoneticMiddle, p);
            break;
        case Field::PhoneticFamily:
            single(m_out.phoneticFamily, p);
            break;
        case Field::Nickname:
            list(p, m_out.nicknames);
            break;
        case Field::FileAs:
            single(m_out.fileAs, p);
            break;
        case Field::Organization:
            if (m_hasOrganization) {
                ++m_out.otherFields;
                break;
            }
            m_hasOrganization = true;
            m_values.components(p, m_parts);
            m_out.organization = m_parts[0];
            for (size_t i = 1; i < m_parts.size(); ++i) {
                if (!trimmedAscii(m_parts[i]).empty())
                    m_out.units.emplace_back(m_parts[i]);
            }
            break;
        case Field::Title:
            single(m_out.title, p);
            break;
        case Field::Role:
            single(m_out.role, p);
            break;
        case Field::Birthday:
            if (m_hasBirthday) {
                ++m_out.otherFields;
                break;
            }
            m_hasBirthday = true;
            m_out.birthday = isoDate(m_values.utf8(p), m_values.parameter(p, "X-APPLE-OMIT-YEAR"));
            break;
        case Field::Anniversary:
            m_out.events.push_back({"Anniversary", isoDate(m_values.utf8(p))});
            break;
        case Field::AppleDate: {
            const std::string label = labelText(appleLabel(p));
            m_out.events.push_back({label.empty() ? std::string("Other") : label,
                isoDate(m_values.utf8(p), m_values.parameter(p, "X-APPLE-OMIT-YEAR"))});
            break;
        }
        case Field::Email:
            if (const std::string_view value = trimmedAscii(m_values.utf8(p)); !value.empty())
                m_out.emails.push_back(typed(p, std::string(value)));
            break;
        case Field::Telephone: {
            std::string_view number = trimmedAscii(m_values.utf8(p));
            if (number.size() >= 4 && equalsIgnoreCase(number.substr(0, 4), "tel:"))
                number.remove_prefix(4);
            if (!number.empty())
                m_out.phones.push_back(typed(p, std::string(number)));
            break;
        }
        case Field::Address:
            address(p);
            break;
        case Field::AddressLabel:
            if (const std::string_view label = m_values.utf8(p); !label.empty())
                m_labels.emplace_back(&p, std::string(label));
            break;
        case Field::WebPage:
            if (const std::string_view url = trimmedAscii(m_values.utf8(p)); !url.empty()) {
                TypedValue page = typed(p, std::string(url));
                if (page.label.empty() && !equalsIgnoreCase(p.name, "URL"))
                    page.label = "Blog";
                m_out.webPages.push_back(std::move(page));
            }
            break;
        case Field::ImAddress:
            imAddress(p);
            break;
        case Field::Note:
            if (const std::string_view note = m_values.utf8(p); !note.empty()) {
                if (!m_out.note.empty())
                    m_out.note += "\r\n";
                m_out.note += note;
            }
            break;
        case Field::Categories:
            list(p, m_out.categories);
            break;
        case Field::Photo:
            if (m_values.encoding(p) == Encoding::Binary)
                m_out.embeddedPhotos += trimmedAscii(p.value).empty() ? 0 : 1;
            else if (const std::string_view uri = trimmedAscii(m_values.utf8(p)); !uri.empty())
                m_out.photoUris.emplace_back(uri);
            break;
        case Field::Spouse:
        case Field::Manager:
        case Field::Assistant:
        case Field::Related:
        case Field::AppleRelated: {
            const std::string value(trimmedAscii(m_values.utf8(p)));
            if (value.empty())
                break;
            std::string label = field == Field::Spouse ? "Spouse"
                : field == Field::Manager              ? "Manager"
                : field == Field::Assistant            ? "Assistant"
                : field == Field::Related              ? labelText(m_values.parameter(p, "TYPE"))
                                                       : labelText(appleLabel(p));
            m_out.relations.push_back({label.substr(0, label.find(',')), value});
            break;
        }
        case Field::Custom:
            if (const std::string_view value = m_values.utf8(p); !value.empty())
                m_out.custom.push_back({"Custom " + std::string(p.name.substr(8)), std::string(value)});
            break;
        case Field::Bookkeeping:
        case Field::Member:
            break;
        case Field::Other:
            if (!trimmedAscii(p.value).empty())
                ++m_out.otherFields;
            break;
        }
    }
    attachLabels();
}

} // namespace

std::string isoDate(std::string_view text, std::string_view omitYear)
{
    const QVariant value = dateValue(text, omitYear);
    QDate date;
    if (value.typeId() == QMetaType::QDate)
        date = value.toDate();
    else if (value.typeId() == QMetaType::QDateTime)
        date = value.toDateTime().date();
    else
        return value.toString().toStdString();
    char digits[11];
    std::snprintf(digits, sizeof digits, "%04d-%02d-%02d", date.year(), date.month(), date.day());
    return digits;
}

FieldReader::FieldReader()
    : m_decoder(std::make_unique<TextDecoder>())
    , m_values(std::make_unique<ValueReader>(*m_decoder))
{
}

FieldReader::~FieldReader() = default;

void FieldReader::read(const Card &card, CardFields &out)
{
    out = CardFields();
    m_values->setCard(card);
    Resolver(card, *m_decoder, *m_values, out).run();
}

} // namespace quarrelby::vcard
