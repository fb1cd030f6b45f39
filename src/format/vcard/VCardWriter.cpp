#include "format/vcard/VCardWriter.h"

#include "format/Utf8.h"
#include "format/vcard/VCardText.h"
#include "format/vcard/VCardTypes.h"

#include <QByteArrayView>

#include <algorithm>
#include <cstring>
#include <deque>
#include <vector>

namespace quarrelby::vcard {

using namespace std::string_view_literals;

namespace {

constexpr size_t kLineOctets = 75;

// equalsIgnoreCase, with the cheap test of the lengths where it inlines:
// the conversion compares names of every property and parameter.
inline bool same(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && equalsIgnoreCase(a, b);
}

// Whether name is one of names, without regard to case.
template <size_t N> bool isOneOf(std::string_view name, const std::string_view (&names)[N])
{
    return std::any_of(std::begin(names), std::end(names), [&](std::string_view n) { return same(name, n); });
}

bool isContinuationByte(char c)
{
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

std::string_view unquoted(std::string_view value)
{
    value = trimmedAscii(value);
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
        return value.substr(1, value.size() - 2);
    return value;
}

bool isValidUtf8(std::string_view text)
{
    return isAscii(text) || QByteArrayView(text.data(), static_cast<qsizetype>(text.size())).isValidUtf8();
}

// How vCard 2.1's escapes become those of 3.0 and 4.0: which separators a
// value of the property has, and so which of its commas and semicolons are
// text. A property this program does not know keeps its value as written.
enum class Shape { Text, Structured, List, AsWritten };

Shape shapeOf(std::string_view name)
{
    static constexpr std::string_view structured[] {"N", "ADR", "ORG"};
    static constexpr std::string_view text[] {"FN", "NOTE", "TITLE", "ROLE", "LABEL"};
    static constexpr std::string_view list[] {"CATEGORIES", "NICKNAME"};
    return isOneOf(name, structured) ? Shape::Structured
        : isOneOf(name, text)        ? Shape::Text
        : isOneOf(name, list)        ? Shape::List
                                     : Shape::AsWritten;
}

// A decoded vCard 2.1 value in the escapes of 3.0 and 4.0. 2.1 escapes only
// \; \, \\ (and some writers \:), and keeps line breaks as they are.
void appendFrom21(std::string_view in, Shape shape, std::string &out)
{
    const bool commas = shape == Shape::Text || shape == Shape::Structured;
    const bool semicolons = shape == Shape::Text || shape == Shape::List;
    for (size_t i = 0; i < in.size(); ++i) {
        // Runs of text that needs nothing go in one piece.
        size_t plain = i;
        while (plain < in.size()) {
            const char c = in[plain];
            if (c == '\\' || c == '\r' || c == '\n' || c == '\0' || (c == ',' && commas) || (c == ';' && semicolons))
                break;
            ++plain;
        }
        out.append(in.data() + i, plain - i);
        i = plain;
        if (i == in.size())
            break;
        const char c = in[i];
        const char next = i + 1 < in.size() ? in[i + 1] : '\0';
        if (c == '\\') {
            if (next == '\\' || next == ';' || next == ',') {
                out += c;
                out += next;
                ++i;
            } else if (next == ':') {
                out += ':';
                ++i;
            } else {
                out += shape == Shape::AsWritten ? "\\" : "\\\\";
            }
        } else if (c == '\r' || c == '\n') {
            if (c == '\r' && next == '\n')
                ++i;
            out += "\\n";
        } else if (c == ',' && (shape == Shape::Text || shape == Shape::Structured)) {
            out += "\\,";
        } else if (c == ';' && (shape == Shape::Text || shape == Shape::List)) {
            out += "\\;";
        } else if (c != '\0') {
            out += c;
        }
    }
}

// Line breaks, which quoted-printable can carry, as \n.
void appendLineBreaksEscaped(std::string_view in, std::string &out)
{
    if (!std::memchr(in.data(), '\n', in.size()) && !std::memchr(in.data(), '\r', in.size())) {
        out += in;
        return;
    }
    for (size_t i = 0; i < in.size(); ++i) {
        if (in[i] == '\r' || in[i] == '\n') {
            if (in[i] == '\r' && i + 1 < in.size() && in[i + 1] == '\n')
                ++i;
            out += "\\n";
        } else {
            out += in[i];
        }
    }
}

// A lone backslash at the end of a value is text: written as \\, it
// neither escapes what follows it (separators added after it) nor makes a
// reader join the next line to this one.
void endWithoutLoneBackslash(std::string &value)
{
    size_t backslashes = 0;
    while (backslashes < value.size() && value[value.size() - 1 - backslashes] == '\\')
        ++backslashes;
    if (backslashes % 2 == 1)
        value += '\\';
}

// A parameter value as written, but a line break in it (which only a
// damaged card has there) as RFC 6868 writes one.
void appendAsWritten(std::string &out, std::string_view value)
{
    for (size_t i = 0; i < value.size(); ++i) {
        if (value[i] == '\r' || value[i] == '\n') {
            if (value[i] == '\r' && i + 1 < value.size() && value[i + 1] == '\n')
                ++i;
            out += "^n";
        } else {
            out += value[i];
        }
    }
}

void decodeQuotedPrintable(std::string_view in, std::string &out)
{
    auto hex = [](char c) {
        return c >= '0' && c <= '9' ? c - '0'
            : c >= 'A' && c <= 'F'  ? c - 'A' + 10
            : c >= 'a' && c <= 'f'  ? c - 'a' + 10
                                    : -1;
    };
    out.clear();
    for (size_t i = 0; i < in.size(); ++i) {
        if (in[i] == '=' && i + 2 < in.size() && hex(in[i + 1]) >= 0 && hex(in[i + 2]) >= 0) {
            out += static_cast<char>(hex(in[i + 1]) << 4 | hex(in[i + 2]));
            i += 2;
        } else {
            out += in[i];
        }
    }
}

// The properties the conversion treats apart, by name.
enum class Name : unsigned char {
    Other,
    Version,
    Profile,
    Marker, // BEGIN or END read as a property of a damaged card
    FullName,
    N,
    Kind,
    AppleKind,
    EvolutionList,
    Label,
    SortString,
    Telephone,
    Geo,
    TimeZone,
    Address,
    Email,
    Member,
    AppleMember,
    Media, // PHOTO, LOGO, SOUND, KEY: binary data in 3.0 unless told otherwise
};

Name nameOf(std::string_view name)
{
    // Called for every property: a switch on the length first.
    const auto is = [&](std::string_view n) { return same(name, n); };
    switch (name.size()) {
    case 1:
        return is("N"sv) ? Name::N : Name::Other;
    case 2:
        return is("FN"sv) ? Name::FullName : is("TZ"sv) ? Name::TimeZone : Name::Other;
    case 3:
        return is("TEL"sv) ? Name::Telephone
            : is("ADR"sv)  ? Name::Address
            : is("GEO"sv)  ? Name::Geo
            : is("KEY"sv)  ? Name::Media
            : is("END"sv)  ? Name::Marker
                           : Name::Other;
    case 4:
        return is("KIND"sv) ? Name::Kind : is("LOGO"sv) ? Name::Media : Name::Other;
    case 5:
        return is("EMAIL"sv)                 ? Name::Email
            : is("LABEL"sv)                  ? Name::Label
            : is("PHOTO"sv) || is("SOUND"sv) ? Name::Media
            : is("BEGIN"sv)                  ? Name::Marker
                                             : Name::Other;
    case 6:
        return is("MEMBER"sv) ? Name::Member : Name::Other;
    case 7:
        return is("VERSION"sv) ? Name::Version : is("PROFILE"sv) ? Name::Profile : Name::Other;
    case 11:
        return is("SORT-STRING"sv) ? Name::SortString : Name::Other;
    case 16:
        return is("X-EVOLUTION-LIST"sv) ? Name::EvolutionList : Name::Other;
    case 24:
        return is("X-ADDRESSBOOKSERVER-KIND"sv) ? Name::AppleKind : Name::Other;
    case 26:
        return is("X-ADDRESSBOOKSERVER-MEMBER"sv) ? Name::AppleMember : Name::Other;
    default:
        return Name::Other;
    }
}

// Whether a property of this name makes its card a distribution list.
bool marksList(Name name, std::string_view value)
{
    value = trimmedAscii(value);
    return ((name == Name::Kind || name == Name::AppleKind) && same(value, "group"sv))
        || (name == Name::EvolutionList && same(value, "TRUE"sv));
}

// The media type that a vCard 3.0 TYPE such as JPEG stands for in a data URI.
std::string mediaType(std::string_view name, std::string_view type)
{
    std::string lower;
    for (const char c : type)
        lower += (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    if (lower.find('/') != std::string::npos)
        return lower;
    if (same(name, "KEY"))
        return lower == "pgp" ? "application/pgp-keys"
            : lower == "x509" ? "application/x-x509-user-cert"
                              : "application/octet-stream";
    if (same(name, "SOUND"))
        return "audio/" + (lower.empty() ? std::string("basic") : lower);
    if (lower.empty())
        return same(name, "PHOTO") || same(name, "LOGO") ? "image/jpeg" : "application/octet-stream";
    return "image/" + lower;
}

// The TYPE of a data URI's media type in vCard 3.0: image/jpeg is JPEG.
std::string typeOfMedia(std::string_view media)
{
    const size_t slash = media.find('/');
    std::string type(slash == std::string_view::npos ? media : media.substr(slash + 1));
    for (char &c : type)
        c = upperAscii(c);
    return type;
}

// Whether the text says QUOTED-PRINTABLE. A reader of 2.1 takes a line
// whose parameters say so and whose value ends in "=" to go on on the next
// line; only damaged cards have such text in a parameter the writer keeps,
// and it is left out there.
bool mentionsQuotedPrintable(std::string_view text)
{
    // NUL bytes are dropped where the text is written.
    if (text.find('\0') != std::string_view::npos) {
        std::string written(text);
        std::erase(written, '\0');
        return mentionsQuotedPrintable(written);
    }
    constexpr std::string_view qp = "QUOTED-PRINTABLE";
    for (size_t i = 0; i + qp.size() <= text.size(); ++i) {
        if (upperAscii(text[i]) == 'Q' && same(text.substr(i, qp.size()), qp))
            return true;
    }
    return false;
}

bool isEncodingToken(std::string_view token)
{
    static constexpr std::string_view tokens[] {"QUOTED-PRINTABLE", "BASE64", "B", "8BIT", "7BIT"};
    return isOneOf(token, tokens);
}

// "+01:00", "-0500", "Z": what a time zone of 3.0 holds without VALUE=text.
bool isUtcOffset(std::string_view value)
{
    if (value == "Z")
        return true;
    if (value.size() < 3 || (value[0] != '+' && value[0] != '-'))
        return false;
    return std::all_of(value.begin() + 1, value.end(), [](char c) { return (c >= '0' && c <= '9') || c == ':'; });
}

} // namespace

void appendFolded(std::string &out, std::string_view line)
{
    size_t room = kLineOctets;
    while (line.size() > room) {
        // Never inside a character, and never after "=", which a reader of
        // vCard 2.1 could take for a quoted-printable soft line break.
        size_t cut = room;
        while (cut > 0 && (isContinuationByte(line[cut]) || line[cut - 1] == '='))
            --cut;
        // A line of nothing but "=" can only be cut after one.
        if (cut == 0) {
            cut = room;
            while (cut > 0 && isContinuationByte(line[cut]))
                --cut;
        }
        // Bytes that are no UTF-8 are cut where the octets run out.
        if (cut == 0)
            cut = room;
        out.append(line.data(), cut);
        out += "\r\n ";
        line.remove_prefix(cut);
        room = kLineOctets - 1;
    }
    out.append(line);
    out += "\r\n";
}

void appendEscaped(std::string &out, std::string_view text)
{
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        switch (c) {
        case '\\':
            out += "\\\\";
            break;
        case ',':
            out += "\\,";
            break;
        case ';':
            out += "\\;";
            break;
        case '\r':
            if (i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
            out += "\\n";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\0':
            break;
        default:
            out += c;
        }
    }
}

void appendParameterValue(std::string &out, std::string_view value)
{
    const bool quoted = value.find_first_of(",;:") != std::string_view::npos;
    if (quoted)
        out += '"';
    for (size_t i = 0; i < value.size(); ++i) {
        const char c = value[i];
        if (c == '^') {
            out += "^^";
        } else if (c == '"') {
            out += "^'";
        } else if (c == '\r' || c == '\n') {
            if (c == '\r' && i + 1 < value.size() && value[i + 1] == '\n')
                ++i;
            out += "^n";
        } else if (c != '\0') {
            out += c;
        }
    }
    if (quoted)
        out += '"';
}

CardBuilder::CardBuilder()
    : m_out("BEGIN:VCARD\r\nVERSION:4.0\r\n")
{
}

void CardBuilder::text(std::string_view head, std::initializer_list<std::string_view> components)
{
    if (std::all_of(components.begin(), components.end(), [](std::string_view v) { return v.empty(); }))
        return;
    m_line.assign(head);
    m_line += ':';
    bool first = true;
    for (const std::string_view v : components) {
        if (!first)
            m_line += ';';
        first = false;
        appendEscaped(m_line, v);
    }
    appendFolded(m_out, m_line);
}

void CardBuilder::list(std::string_view head, std::span<const std::string> values)
{
    if (std::all_of(values.begin(), values.end(), [](const std::string &v) { return v.empty(); }))
        return;
    m_line.assign(head);
    m_line += ':';
    bool first = true;
    for (const std::string &v : values) {
        if (v.empty())
            continue;
        if (!first)
            m_line += ',';
        first = false;
        appendEscaped(m_line, v);
    }
    appendFolded(m_out, m_line);
}

void CardBuilder::raw(std::string_view head, std::string_view prefix, std::string_view rest)
{
    m_line.assign(head);
    m_line += ':';
    m_line += prefix;
    appendEscaped(m_line, rest);
    appendFolded(m_out, m_line);
}

std::string CardBuilder::finish()
{
    m_out += "END:VCARD\r\n";
    return std::move(m_out);
}

bool isDistributionList(const Card &card)
{
    const auto &properties = card.properties();
    // Only names of 4, 16 and 24 letters can mark a list.
    return std::any_of(properties.begin(), properties.end(), [](const Property &p) {
        const size_t n = p.name.size();
        return (n == 4 || n == 16 || n == 24) && marksList(nameOf(p.name), p.value);
    });
}

class CardWriter::Conversion {
public:
    explicit Conversion(Version target)
        : m_target(target == Version::V40 ? Version::V40 : Version::V30)
        , m_values(m_decoder)
    {
    }

    bool write(const Card &card, std::string &out);

private:
    void matchLabels();
    [[nodiscard]] unsigned typesOf(const Property &property) const;
    [[nodiscard]] const Property *first(Name name) const;
    void writeDerivedFullName(std::string &out);
    void writeProperty(size_t index, std::string &out);
    void readParameters(const Property &p);
    void readValue(const Property &p);
    void writeTypes(std::string &line);
    void writeLabelProperty(const Property &adr, std::string &out);
    void writeMembers(std::string &out);
    // Bytes as UTF-8: as they are when they are, else read as Windows-1252.
    std::string_view utf8(std::string_view bytes);

    const Version m_target;
    TextDecoder m_decoder;
    ValueReader m_values;
    const Card *m_card = nullptr;
    std::string m_line;
    std::string m_bytes;
    std::string m_converted;
    std::string m_value;
    std::string m_text;
    std::string m_media;
    std::string m_recoded;
    std::deque<std::string> m_withoutNul; // never moves what it holds
    Components m_parts;
    // Per property of the card: skipped (a LABEL or SORT-STRING that went
    // into a parameter), and the LABEL property an ADR takes as parameter.
    std::vector<bool> m_consumed;
    std::vector<Name> m_names;
    std::vector<const Property *> m_labelOf;
    const Property *m_sortString = nullptr;

    // What readParameters found.
    struct {
        Encoding encoding = Encoding::Plain;
        std::string_view charset;
        bool uri = false;
        bool prefOne = false;
        bool hasPref = false;
        std::string_view label;
        std::vector<std::string_view> types;
        std::string kept; // the parameters written as they are
    } m_p;
};

// The types as they will be written: without NUL bytes, without the ones
// that are left out.
unsigned CardWriter::Conversion::typesOf(const Property &property) const
{
    unsigned types = 0;
    for (const Parameter &p : m_card->parameters(property)) {
        std::string name(p.name);
        std::string list(p.value);
        std::erase(name, '\0');
        std::erase(list, '\0');
        if (!name.empty() && !same(name, "TYPE"))
            continue;
        size_t start = 0;
        while (start <= list.size()) {
            const size_t comma = std::min(list.find(',', start), list.size());
            const std::string_view token = std::string_view(list).substr(start, comma - start);
            if (!mentionsQuotedPrintable(token))
                types |= typeOfToken(token);
            start = comma + 1;
        }
    }
    return types;
}

const Property *CardWriter::Conversion::first(Name name) const
{
    const auto at = std::find(m_names.begin(), m_names.end(), name);
    return at == m_names.end() ? nullptr : &m_card->properties()[static_cast<size_t>(at - m_names.begin())];
}

// vCard 4.0 has no LABEL property: each goes to the LABEL parameter of the
// address of its group, else of its types, that has none yet. One that
// finds no address stays a property. SORT-STRING likewise becomes the
// SORT-AS of N.
void CardWriter::Conversion::matchLabels()
{
    const auto &properties = m_card->properties();
    m_consumed.assign(properties.size(), false);
    m_labelOf.assign(properties.size(), nullptr);
    m_sortString = nullptr;
    if (m_target != Version::V40)
        return;
    for (size_t i = 0; i < properties.size(); ++i) {
        const Property &label = properties[i];
        if (m_names[i] != Name::Label || mentionsQuotedPrintable(m_values.utf8(label)))
            continue;
        // A preference is no type, and 4.0 moves it out of TYPE.
        const unsigned types = typesOf(label) & ~Pref;
        for (size_t j = 0; j < properties.size(); ++j) {
            const Property &adr = properties[j];
            if (m_names[j] != Name::Address || m_labelOf[j])
                continue;
            // An address that keeps a LABEL of its own takes no other.
            const auto params = m_card->parameters(adr);
            if (std::any_of(params.begin(), params.end(), [](const Parameter &own) {
                    std::string name(own.name);
                    std::erase(name, '\0');
                    return same(trimmedAscii(name), "LABEL") && !mentionsQuotedPrintable(own.value);
                }))
                continue;
            const bool sameGroup = !label.group.empty() && same(label.group, adr.group);
            if (sameGroup || (label.group.empty() && (typesOf(adr) & ~Pref) == types)) {
                m_labelOf[j] = &label;
                m_consumed[i] = true;
                break;
            }
        }
    }
    const Property *n = first(Name::N);
    for (size_t i = 0; i < properties.size(); ++i) {
        if (n && m_names[i] == Name::SortString && m_values.parameter(*n, "SORT-AS").empty()
            && !mentionsQuotedPrintable(m_values.utf8(properties[i]))) {
            m_sortString = &properties[i];
            m_consumed[i] = true;
            break;
        }
    }
}

bool CardWriter::Conversion::write(const Card &card, std::string &out)
{
    const auto &properties = card.properties();
    m_names.clear();
    bool list = false;
    for (const Property &p : properties) {
        m_names.push_back(nameOf(p.name));
        list = list || marksList(m_names.back(), p.value);
    }
    if (list && m_target == Version::V30)
        return false;
    m_card = &card;
    m_values.setCard(card);
    matchLabels();

    out += "BEGIN:VCARD\r\n";
    out += m_target == Version::V40 ? "VERSION:4.0\r\n" : "VERSION:3.0\r\n";
    if (list && !first(Name::Kind))
        out += "KIND:group\r\n";
    // Both versions require FN, and 3.0 requires N; 2.1 required neither.
    if (!first(Name::FullName))
        writeDerivedFullName(out);
    if (m_target == Version::V30 && !first(Name::N))
        out += "N:;;;;\r\n";
    for (size_t i = 0; i < properties.size(); ++i) {
        // PROFILE:VCARD (RFC 2425) says again what BEGIN:VCARD says, and
        // some readers refuse it inside a card. A damaged BEGIN or END line
        // read as a property could end the card once decoded.
        const Name name = m_names[i];
        const bool profile = name == Name::Profile && same(trimmedAscii(properties[i].value), "VCARD"sv);
        if (!m_consumed[i] && !profile && name != Name::Marker && name != Name::Version)
            writeProperty(i, out);
    }
    if (list)
        writeMembers(out);
    out += "END:VCARD\r\n";
    return true;
}

void CardWriter::Conversion::writeDerivedFullName(std::string &out)
{
    m_text.clear();
    if (const Property *n = first(Name::N)) {
        m_values.components(*n, m_parts);
        for (const size_t i : {3, 1, 2, 0, 4}) {
            const std::string_view part = trimmedAscii(m_parts[i]);
            if (part.empty())
                continue;
            if (!m_text.empty())
                m_text += ' ';
            m_text += part;
        }
    }
    for (const Property &p : m_card->properties()) {
        if (m_text.empty() && same(p.name, "ORG"sv)) {
            m_values.components(p, m_parts);
            m_text.assign(m_parts[0]);
        }
    }
    if (const Property *email = first(Name::Email); m_text.empty() && email)
        m_text.assign(m_values.utf8(*email));
    m_line.assign("FN:");
    appendEscaped(m_line, m_text);
    appendFolded(out, m_line);
}

void CardWriter::Conversion::readParameters(const Property &p)
{
    m_p.encoding = Encoding::Plain;
    m_p.charset = {};
    m_p.uri = m_p.prefOne = m_p.hasPref = false;
    m_p.label = {};
    m_p.types.clear();
    m_p.kept.clear();
    if (p.parameterCount == 0)
        return;
    const bool from21 = m_card->version() == Version::V21;
    auto addTypes = [&](std::string_view list) {
        size_t start = 0;
        while (start <= list.size()) {
            const size_t comma = std::min(list.find(',', start), list.size());
            const std::string_view token = unquoted(list.substr(start, comma - start));
            if (!token.empty() && !mentionsQuotedPrintable(token))
                m_p.types.push_back(token);
            start = comma + 1;
        }
    };
    m_withoutNul.clear();
    for (const Parameter &written : m_card->parameters(p)) {
        // No program means a NUL byte in a parameter; without them a word
        // such as VALUE=uri reads the same whenever the card is read.
        Parameter param = written;
        for (std::string_view *part : {&param.name, &param.value}) {
            if (part->find('\0') == std::string_view::npos)
                continue;
            std::string &copy = m_withoutNul.emplace_back(*part);
            std::erase(copy, '\0');
            *part = copy;
            // Trimmed as a reader trims what it reads there.
            if (part == &param.name || param.name.empty()) {
                while (!part->empty() && (part->front() == ' ' || part->front() == '\t'))
                    part->remove_prefix(1);
                while (!part->empty() && (part->back() == ' ' || part->back() == '\t'))
                    part->remove_suffix(1);
            }
        }
        const std::string_view value = unquoted(param.value);
        if (param.name.empty()) {
            if (same(value, "QUOTED-PRINTABLE"))
                m_p.encoding = Encoding::QuotedPrintable;
            else if (same(value, "BASE64") || same(value, "B"))
                m_p.encoding = Encoding::Binary;
            else if (same(value, "URL"))
                m_p.uri = true; // 2.1's VALUE=URL without its name
            else if (!isEncodingToken(value) && !same(value, "INLINE"))
                addTypes(value);
            continue;
        }
        if (same(param.name, "ENCODING")) {
            if (same(value, "QUOTED-PRINTABLE"))
                m_p.encoding = Encoding::QuotedPrintable;
            else if (same(value, "BASE64") || same(value, "B"))
                m_p.encoding = Encoding::Binary;
            continue;
        }
        if (same(param.name, "CHARSET")) {
            m_p.charset = value;
            continue;
        }
        if (same(param.name, "TYPE")) {
            addTypes(value);
            continue;
        }
        if (same(param.name, "VALUE")) {
            if (same(value, "BINARY")) {
                m_p.encoding = Encoding::Binary;
                continue;
            }
            if (same(value, "INLINE"))
                continue;
            if (same(value, "URL") || same(value, "URI")) {
                m_p.uri = true;
                continue;
            }
        }
        if (same(param.name, "PREF")) {
            m_p.hasPref = true;
            if (m_target == Version::V30 && value == "1") {
                m_p.prefOne = true;
                continue;
            }
        }
        if (same(param.name, "LABEL") && m_target == Version::V30 && same(p.name, "ADR")) {
            m_p.label = param.value;
            continue;
        }
        if (mentionsQuotedPrintable(param.name) || mentionsQuotedPrintable(param.value))
            continue;
        m_p.kept += ';';
        appendAsWritten(m_p.kept, utf8(param.name));
        m_p.kept += '=';
        if (from21)
            appendParameterValue(m_p.kept, utf8(value));
        else
            appendAsWritten(m_p.kept, utf8(param.value));
    }

    const auto isPref = [](std::string_view t) { return same(t, "pref"); };
    if (m_target == Version::V40) {
        if (std::any_of(m_p.types.begin(), m_p.types.end(), isPref)) {
            std::erase_if(m_p.types, isPref);
            if (!m_p.hasPref)
                m_p.kept += ";PREF=1";
        }
    } else if (m_p.prefOne && std::none_of(m_p.types.begin(), m_p.types.end(), isPref)) {
        m_p.types.push_back("pref");
    }
}

// The value as UTF-8 in the escapes of 3.0 and 4.0 into m_value; binary
// data as base64 without blanks.
void CardWriter::Conversion::readValue(const Property &p)
{
    std::string_view value = p.value;
    if (m_p.encoding == Encoding::QuotedPrintable) {
        decodeQuotedPrintable(value, m_bytes);
        value = m_bytes;
    }
    m_value.clear();
    if (m_p.encoding == Encoding::Binary) {
        // No byte outside printable ASCII belongs to base64, and none may
        // make the text that carries it other than UTF-8.
        m_value.reserve(value.size());
        for (const char c : value) {
            if (c > ' ' && c < 0x7F)
                m_value.push_back(c);
        }
        return;
    }
    if (!isValidUtf8(value)) {
        m_decoder.toUtf8(value, m_p.charset, m_converted);
        value = m_converted;
    }
    if (m_card->version() == Version::V21)
        appendFrom21(value, shapeOf(p.name), m_value);
    else
        appendLineBreaksEscaped(value, m_value);
}

std::string_view CardWriter::Conversion::utf8(std::string_view bytes)
{
    if (isValidUtf8(bytes))
        return bytes;
    m_decoder.toUtf8(bytes, {}, m_recoded);
    return m_recoded;
}

void CardWriter::Conversion::writeTypes(std::string &line)
{
    if (m_p.types.empty())
        return;
    // Nearly every type is a plain word, written as it is.
    const auto plain = [](std::string_view t) {
        return std::all_of(t.begin(), t.end(), [](char c) {
            return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '_';
        });
    };
    bool quoted = false;
    for (const std::string_view t : m_p.types) {
        for (const char c : t)
            quoted = quoted || c == ':' || c == ';';
    }
    line += ";TYPE=";
    if (quoted)
        line += '"';
    for (size_t i = 0; i < m_p.types.size(); ++i) {
        if (i > 0)
            line += ',';
        if (plain(m_p.types[i])) {
            line += m_p.types[i];
            continue;
        }
        // The list is quoted as a whole; a quote inside a type is written
        // as RFC 6868 says.
        const size_t start = line.size();
        appendAsWritten(line, utf8(m_p.types[i]));
        for (size_t at = line.find('"', start); at != std::string::npos; at = line.find('"', at + 2))
            line.replace(at, 1, "^'");
    }
    if (quoted)
        line += '"';
}

void CardWriter::Conversion::writeProperty(size_t index, std::string &out)
{
    const Property &p = m_card->properties()[index];
    readParameters(p);
    readValue(p);
    const std::string_view name = p.name;
    const Name kind = m_names[index];

    if (kind == Name::Telephone && m_target == Version::V30 && m_p.uri && m_value.starts_with("tel:")) {
        m_value.erase(0, 4);
        m_p.uri = false;
    } else if (kind == Name::Geo) {
        const bool uri = m_value.size() >= 4 && same(std::string_view(m_value).substr(0, 4), "geo:");
        if (m_target == Version::V40 && !uri) {
            const size_t at = m_value.find_first_of(";,");
            if (at != std::string::npos)
                m_value = "geo:" + m_value.substr(0, at) + ',' + m_value.substr(at + 1);
        } else if (m_target == Version::V30 && uri) {
            std::string pair
                = m_value.substr(4, m_value.find(';') == std::string::npos ? std::string::npos : m_value.find(';') - 4);
            std::replace(pair.begin(), pair.end(), ',', ';');
            m_value = pair;
        } else if (m_target == Version::V30 && m_value.find(';') == std::string::npos) {
            // 2.1 writes "lat,lon"; 3.0 reads a comma as part of the latitude.
            std::replace(m_value.begin(), m_value.end(), ',', ';');
        }
    } else if (kind == Name::TimeZone && m_target == Version::V30 && !isUtcOffset(m_value)
        && m_p.kept.find(";VALUE=") == std::string::npos && !m_p.uri) {
        // A zone's name ("Europe/London"): 3.0 reads the value as an offset
        // unless told it is text.
        m_p.kept += ";VALUE=text";
    }

    endWithoutLoneBackslash(m_value);
    const size_t components = kind == Name::N ? 5 : kind == Name::Address ? 7 : 0;
    if (m_target == Version::V40 && components > 0) {
        // 4.0 wants every component of N and ADR written, empty or not.
        size_t separators = 0;
        for (size_t i = 0; i < m_value.size(); ++i) {
            if (m_value[i] == '\\')
                ++i;
            else if (m_value[i] == ';')
                ++separators;
        }
        if (separators + 1 < components)
            m_value.append(components - 1 - separators, ';');
    }
    bool binary = m_p.encoding == Encoding::Binary;
    if (binary && m_target == Version::V40) {
        // The media type goes into a data URI; only work, home and pref stay types.
        std::string_view media;
        for (auto it = m_p.types.begin(); it != m_p.types.end(); ++it) {
            if (!same(*it, "work") && !same(*it, "home") && !same(*it, "pref")) {
                media = *it;
                m_p.types.erase(it);
                break;
            }
        }
        m_value.insert(0, "data:" + mediaType(name, utf8(media)) + ";base64,");
        m_p.uri = false;
        binary = false;
    } else if (m_target == Version::V30 && !binary && kind == Name::Media && m_value.size() > 5
        && same(std::string_view(m_value).substr(0, 5), "data:")) {
        // A data URI in base64 is binary data of its media type in 3.0.
        const size_t comma = m_value.find(',');
        const std::string_view head = std::string_view(m_value).substr(5, comma == std::string::npos ? 0 : comma - 5);
        if (comma != std::string::npos && head.size() >= 7 && same(head.substr(head.size() - 7), ";base64")) {
            m_media = typeOfMedia(head.substr(0, head.size() - 7));
            m_value.erase(0, comma + 1);
            if (!m_media.empty())
                m_p.types.insert(m_p.types.begin(), m_media);
            binary = true;
            m_p.uri = false;
        } else {
            m_p.uri = true;
        }
    } else if (m_target == Version::V30 && !binary && kind == Name::Media) {
        // In 3.0 these hold binary data unless told they hold a URI.
        m_p.uri = true;
    }

    m_line.clear();
    if (!p.group.empty()) {
        m_line += p.group;
        m_line += '.';
    }
    m_line += name;
    if (binary)
        m_line += ";ENCODING=b";
    writeTypes(m_line);
    if (m_p.uri)
        m_line += ";VALUE=uri";
    m_line += m_p.kept;
    if (m_target == Version::V40 && m_labelOf[index]) {
        m_line += ";LABEL=";
        appendParameterValue(m_line, m_values.utf8(*m_labelOf[index]));
    }
    if (m_sortString && &p == first(Name::N)) {
        m_line += ";SORT-AS=";
        appendParameterValue(m_line, m_values.utf8(*m_sortString));
    }
    m_line += ':';
    m_line += m_value;
    appendFolded(out, m_line);

    if (!m_p.label.empty())
        writeLabelProperty(p, out);
}

// The LABEL parameter of a vCard 4.0 address as the LABEL property of 3.0.
void CardWriter::Conversion::writeLabelProperty(const Property &adr, std::string &out)
{
    m_text.clear();
    appendResolved(withoutCaretEscapes(utf8(unquoted(m_p.label))), Version::V40, m_text);
    m_line.clear();
    if (!adr.group.empty()) {
        m_line += adr.group;
        m_line += '.';
    }
    m_line += "LABEL";
    writeTypes(m_line);
    m_line += ':';
    appendEscaped(m_line, m_text);
    appendFolded(out, m_line);
}

// The members a list of Evolution (EMAIL with X-EVOLUTION-DEST-*
// parameters) or of Apple (X-ADDRESSBOOKSERVER-MEMBER) names, as MEMBER,
// each that the card does not name so already. Values are compared as they
// are written.
void CardWriter::Conversion::writeMembers(std::string &out)
{
    const auto &properties = m_card->properties();
    std::vector<std::string> named;
    for (const Property &p : properties) {
        if (same(p.name, "MEMBER")) {
            readParameters(p);
            readValue(p);
            endWithoutLoneBackslash(m_value);
            named.push_back(m_value);
        }
    }
    for (const Property &p : properties) {
        std::string member;
        if (same(p.name, "X-ADDRESSBOOKSERVER-MEMBER")) {
            readParameters(p);
            readValue(p);
            member = trimmedAscii(m_value);
            endWithoutLoneBackslash(member);
        } else if (same(p.name, "EMAIL")) {
            const auto params = m_card->parameters(p);
            const bool listed = std::any_of(params.begin(), params.end(), [](const Parameter &param) {
                return param.name.size() > 17 && same(param.name.substr(0, 17), "X-EVOLUTION-DEST-");
            });
            if (!listed)
                continue;
            std::string address(utf8(m_values.parameter(p, "X-EVOLUTION-DEST-EMAIL")));
            if (address.empty()) {
                const std::string_view text = m_values.utf8(p);
                const size_t open = text.rfind('<');
                const size_t close = text.rfind('>');
                address = open != std::string_view::npos && close != std::string_view::npos && close > open
                    ? text.substr(open + 1, close - open - 1)
                    : text;
            }
            if (const std::string_view trimmed = trimmedAscii(address); !trimmed.empty()) {
                member = "mailto:";
                appendLineBreaksEscaped(trimmed, member);
                endWithoutLoneBackslash(member);
            }
        }
        if (member.empty() || std::find(named.begin(), named.end(), member) != named.end())
            continue;
        m_line.assign("MEMBER:");
        m_line += member;
        appendFolded(out, m_line);
    }
}

CardWriter::CardWriter(Version target)
    : m_conversion(std::make_unique<Conversion>(target))
{
}

CardWriter::~CardWriter() = default;

bool CardWriter::write(const Card &card, std::string &out)
{
    return m_conversion->write(card, out);
}

} // namespace quarrelby::vcard
