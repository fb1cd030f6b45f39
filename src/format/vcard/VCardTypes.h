#pragma once

#include <string>
#include <string_view>
#include <utility>

namespace quarrelby::vcard {

// Types of a telephone, address, e-mail or web address, as the TYPE
// parameter, a bare vCard 2.1 parameter or an Apple label names them.
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

// One type name, without regard to case and with or without an X-, X-MS- or
// X-EVOLUTION- prefix; 0 for the encodings vCard 2.1 writes as bare
// parameters.
[[nodiscard]] unsigned typeOfToken(std::string_view token);
// The types of a comma-separated list such as "work,voice".
[[nodiscard]] unsigned typesOfList(std::string_view list);
// Apple writes a label such as _$!<HomeFAX>!$_ for a standard kind and plain
// text for one the user named.
[[nodiscard]] unsigned typesOfAppleLabel(std::string_view label);

// The Outlook properties (ContactProperty) a telephone of these types fills:
// its kind's field, and the one it takes when that is filled (work and home
// numbers have a second; -1 for the others).
[[nodiscard]] std::pair<int, int> telephoneFields(unsigned types);

// What a property holds, for the exports that keep every field; the name
// decides. Bookkeeping is what says nothing about the person (the version,
// the product, the revision, the uid, list markers, Apple's and Outlook's
// layout properties).
enum class Field : unsigned char {
    Other,
    Bookkeeping,
    FullName,
    Name,
    PhoneticGiven,
    PhoneticMiddle,
    PhoneticFamily,
    Nickname,
    FileAs,
    Organization,
    Title,
    Role,
    Birthday,
    Anniversary,
    Email,
    Telephone,
    Address,
    AddressLabel,
    WebPage,
    ImAddress,
    Note,
    Categories,
    Photo,
    Spouse,
    Manager,
    Assistant,
    Related,
    AppleDate,
    AppleRelated,
    Custom,
    Member,
};
[[nodiscard]] Field fieldOf(std::string_view name);

// The service an IM property names (X-JABBER is "Jabber"), empty for IMPP,
// whose URI scheme says it.
[[nodiscard]] std::string_view imService(std::string_view name);

// The length of a leading "scheme:" (xmpp:, aim:, sip:), 0 if none.
[[nodiscard]] size_t schemeLength(std::string_view uri);

[[nodiscard]] inline bool isAsciiSpace(char c)
{
    return c == ' ' || (c >= '\t' && c <= '\r');
}

[[nodiscard]] inline std::string_view trimmedAscii(std::string_view s)
{
    while (!s.empty() && isAsciiSpace(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && isAsciiSpace(s.back()))
        s.remove_suffix(1);
    return s;
}

// A parameter value with its RFC 6868 escapes resolved: ^n (or ^N) a line
// break, ^' a double quote, ^^ a caret.
[[nodiscard]] std::string withoutCaretEscapes(std::string_view value);

} // namespace quarrelby::vcard
