#include "format/vcard/VCardTypes.h"

#include "format/Contact.h"
#include "format/vcard/VCardReader.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace quarrelby::vcard {

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

unsigned typesOfAppleLabel(std::string_view label)
{
    if (label.starts_with("_$!<") && label.ends_with(">!$_"))
        label = label.substr(4, label.size() - 8);
    return typeOfToken(label);
}

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

namespace {

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

struct NamedField {
    std::string_view name;
    Field field;
};

constexpr NamedField kFields[] = {
    {"FN", Field::FullName},
    {"N", Field::Name},
    {"X-PHONETIC-FIRST-NAME", Field::PhoneticGiven},
    {"X-PHONETIC-MIDDLE-NAME", Field::PhoneticMiddle},
    {"X-PHONETIC-LAST-NAME", Field::PhoneticFamily},
    {"NICKNAME", Field::Nickname},
    {"X-EVOLUTION-FILE-AS", Field::FileAs},
    {"ORG", Field::Organization},
    {"TITLE", Field::Title},
    {"ROLE", Field::Role},
    {"BDAY", Field::Birthday},
    {"ANNIVERSARY", Field::Anniversary},
    {"X-ANNIVERSARY", Field::Anniversary},
    {"X-EVOLUTION-ANNIVERSARY", Field::Anniversary},
    {"X-MS-ANNIVERSARY", Field::Anniversary},
    {"X-KADDRESSBOOK-X-ANNIVERSARY", Field::Anniversary},
    {"EMAIL", Field::Email},
    {"TEL", Field::Telephone},
    {"X-MS-TEL", Field::Telephone},
    {"ADR", Field::Address},
    {"LABEL", Field::AddressLabel},
    {"URL", Field::WebPage},
    {"X-EVOLUTION-BLOG-URL", Field::WebPage},
    {"IMPP", Field::ImAddress},
    {"X-MS-IMADDRESS", Field::ImAddress},
    {"X-KADDRESSBOOK-X-IMADDRESS", Field::ImAddress},
    {"NOTE", Field::Note},
    {"CATEGORIES", Field::Categories},
    {"PHOTO", Field::Photo},
    {"X-MS-CARDPICTURE", Field::Photo},
    {"X-EVOLUTION-SPOUSE", Field::Spouse},
    {"X-MS-SPOUSE", Field::Spouse},
    {"X-SPOUSE", Field::Spouse},
    {"X-KADDRESSBOOK-X-SPOUSENAME", Field::Spouse},
    {"X-EVOLUTION-MANAGER", Field::Manager},
    {"X-MS-MANAGER", Field::Manager},
    {"X-MANAGER", Field::Manager},
    {"X-KADDRESSBOOK-X-MANAGERSNAME", Field::Manager},
    {"X-EVOLUTION-ASSISTANT", Field::Assistant},
    {"X-MS-ASSISTANT", Field::Assistant},
    {"X-ASSISTANT", Field::Assistant},
    {"X-KADDRESSBOOK-X-ASSISTANTSNAME", Field::Assistant},
    {"RELATED", Field::Related},
    {"X-ABDATE", Field::AppleDate},
    {"X-ABRELATEDNAMES", Field::AppleRelated},
    {"MEMBER", Field::Member},
    {"X-ADDRESSBOOKSERVER-MEMBER", Field::Member},
    {"VERSION", Field::Bookkeeping},
    {"PRODID", Field::Bookkeeping},
    {"REV", Field::Bookkeeping},
    {"UID", Field::Bookkeeping},
    {"KIND", Field::Bookkeeping},
    {"X-ADDRESSBOOKSERVER-KIND", Field::Bookkeeping},
    {"X-EVOLUTION-LIST", Field::Bookkeeping},
    {"X-EVOLUTION-LIST-SHOW-ADDRESSES", Field::Bookkeeping},
    {"X-EVOLUTION-WEBDAV-ETAG", Field::Bookkeeping},
    {"X-ABLABEL", Field::Bookkeeping},
    {"X-ABUID", Field::Bookkeeping},
    {"X-ABSHOWAS", Field::Bookkeeping},
    {"X-ABADR", Field::Bookkeeping},
    {"SORT-STRING", Field::Bookkeeping},
    {"CLIENTPIDMAP", Field::Bookkeeping},
    {"SOURCE", Field::Bookkeeping},
    {"NAME", Field::Bookkeeping},
    {"PROFILE", Field::Bookkeeping},
    {"MAILER", Field::Bookkeeping},
    {"X-MS-OL-DESIGN", Field::Bookkeeping},
    {"X-MS-OL-DEFAULT-POSTAL-ADDRESS", Field::Bookkeeping},
    {"X-MOZILLA-HTML", Field::Bookkeeping},
    {"X-EVOLUTION-WANTS-HTML", Field::Bookkeeping},
};

struct Service {
    std::string_view name;
    std::string_view service;
};

constexpr Service kImServices[] = {
    {"X-AIM", "AIM"},
    {"X-ICQ", "ICQ"},
    {"X-MSN", "MSN"},
    {"X-YAHOO", "Yahoo"},
    {"X-SKYPE", "Skype"},
    {"X-GTALK", "Google Talk"},
    {"X-GOOGLE-TALK", "Google Talk"},
    {"X-JABBER", "Jabber"},
    {"X-MATRIX", "Matrix"},
    {"X-GADUGADU", "Gadu-Gadu"},
    {"X-GROUPWISE", "GroupWise"},
    {"X-QQ", "QQ"},
    {"X-MS-IMADDRESS", "IM"},
    {"X-KADDRESSBOOK-X-IMADDRESS", "IM"},
};

} // namespace

std::pair<int, int> telephoneFields(unsigned types)
{
    for (const auto &[type, field] : kTelephoneFields) {
        if (types & type)
            return {field, -1};
    }
    if (types & Fax)
        return {(types & Work) ? BusinessFaxNumber : (types & Home) ? HomeFaxNumber : OtherFaxNumber, -1};
    if (types & Work)
        return {BusinessTelephoneNumber, Business2TelephoneNumber};
    if (types & Home)
        return {HomeTelephoneNumber, Home2TelephoneNumber};
    return {(types & ~Voice) == Pref ? PrimaryTelephoneNumber : OtherTelephoneNumber, -1};
}

Field fieldOf(std::string_view name)
{
    for (const NamedField &f : kFields) {
        if (f.name.size() == name.size() && equalsIgnoreCase(f.name, name))
            return f.field;
    }
    if (!imService(name).empty())
        return Field::ImAddress;
    // Thunderbird's Custom1 to Custom4.
    if (name.size() == 9 && equalsIgnoreCase(name.substr(0, 8), "X-CUSTOM") && name[8] >= '1' && name[8] <= '4')
        return Field::Custom;
    return Field::Other;
}

std::string_view imService(std::string_view name)
{
    for (const Service &s : kImServices) {
        if (s.name.size() == name.size() && equalsIgnoreCase(s.name, name))
            return s.service;
    }
    // KDE 3 and 4 keep IM addresses as X-messaging/<protocol>-All.
    constexpr std::string_view prefix = "X-MESSAGING/";
    constexpr std::string_view suffix = "-ALL";
    if (name.size() > prefix.size() + suffix.size() && equalsIgnoreCase(name.substr(0, prefix.size()), prefix)
        && equalsIgnoreCase(name.substr(name.size() - suffix.size()), suffix))
        return name.substr(prefix.size(), name.size() - prefix.size() - suffix.size());
    return {};
}

} // namespace quarrelby::vcard
