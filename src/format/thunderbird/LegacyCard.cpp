#include "format/thunderbird/LegacyCard.h"

#include "format/vcard/VCardWriter.h"

#include <algorithm>
#include <array>
#include <charconv>

namespace quarrelby::thunderbird {

namespace {

// Reads the rows of one card: the first row of a name wins.
class CardRows {
public:
    explicit CardRows(std::span<const CardProperty> properties)
        : m_properties(properties)
    {
    }

    // The value of the first row named `name`, empty when there is none.
    [[nodiscard]] std::string_view get(std::string_view name) const
    {
        for (const CardProperty &p : m_properties) {
            if (p.name == name)
                return p.value;
        }
        return {};
    }

private:
    std::span<const CardProperty> m_properties;
};

// A whole number in [low, high] from a property's text, or -1.
int number(std::string_view text, int low, int high)
{
    while (!text.empty() && text.front() == ' ')
        text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ')
        text.remove_suffix(1);
    int value = -1;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() || value < low || value > high)
        return -1;
    return value;
}

void appendDigits(std::string &out, int value, int width)
{
    std::array<char, 8> digits {};
    for (int i = width - 1; i >= 0; --i) {
        digits[static_cast<size_t>(i)] = static_cast<char>('0' + value % 10);
        value /= 10;
    }
    out.append(digits.data(), static_cast<size_t>(width));
}

// A date of a card (BirthYear, BirthMonth, BirthDay; the same for the
// anniversary) as Thunderbird writes it in a vCard: the full date, --MM-DD
// without a year, the year alone without a day; empty when nothing usable is
// there.
std::string date(const CardRows &card, const std::string &prefix)
{
    const int year = number(card.get(prefix + "Year"), 1, 9999);
    const int month = number(card.get(prefix + "Month"), 1, 12);
    const int day = number(card.get(prefix + "Day"), 1, 31);
    std::string out;
    if (month > 0 && day > 0) {
        if (year > 0)
            appendDigits(out, year, 4);
        else
            out += '-';
        out += '-';
        appendDigits(out, month, 2);
        out += '-';
        appendDigits(out, day, 2);
    } else if (year > 0) {
        appendDigits(out, year, 4);
    }
    return out;
}

// A street with its second line, the way Thunderbird puts two address lines
// into one ADR street component.
std::string street(const CardRows &card, std::string_view line1, std::string_view line2)
{
    std::string out(card.get(line1));
    const std::string_view second = card.get(line2);
    if (!out.empty() && !second.empty())
        out += '\n';
    out += second;
    return out;
}

void address(vcard::CardBuilder &out, const CardRows &card, std::string_view type, std::string_view prefix)
{
    const std::string p(prefix);
    const std::string lines = street(card, p + "Address", p + "Address2");
    out.text(std::string("ADR;TYPE=") + std::string(type),
        {{}, {}, lines, card.get(p + "City"), card.get(p + "State"), card.get(p + "ZipCode"), card.get(p + "Country")});
}

struct Chat {
    const char *property;
    const char *scheme;
};

// The chat names Thunderbird turns into IMPP URIs, in the order it lists them.
constexpr std::array<Chat, 9> kChats {
    {{"_GoogleTalk", "gtalk:"}, {"_AimScreenName", "aim:"}, {"_Yahoo", "ymsgr:"}, {"_Skype", "skype:"}, {"_QQ", "qq:"},
        {"_MSN", "msnim:"}, {"_ICQ", "icq:"}, {"_JabberId", "xmpp:"}, {"_IRC", "irc:"}}};

} // namespace

std::string legacyVCard(std::span<const CardProperty> properties)
{
    const CardRows card(properties);
    vcard::CardBuilder out;
    out.text("FN", {card.get("DisplayName")});
    out.text("N", {card.get("LastName"), card.get("FirstName"), {}, {}, {}});
    out.text("X-PHONETIC-FIRST-NAME", {card.get("PhoneticFirstName")});
    out.text("X-PHONETIC-LAST-NAME", {card.get("PhoneticLastName")});
    out.text("NICKNAME", {card.get("NickName")});
    out.text("EMAIL;PREF=1", {card.get("PrimaryEmail")});
    out.text("EMAIL", {card.get("SecondEmail")});
    out.text("TITLE", {card.get("JobTitle")});
    out.text("ORG", {card.get("Company"), card.get("Department")});
    out.text("TEL;TYPE=work", {card.get("WorkPhone")});
    out.text("TEL;TYPE=home", {card.get("HomePhone")});
    out.text("TEL;TYPE=fax", {card.get("FaxNumber")});
    out.text("TEL;TYPE=pager", {card.get("PagerNumber")});
    out.text("TEL;TYPE=cell", {card.get("CellularNumber")});
    address(out, card, "work", "Work");
    address(out, card, "home", "Home");
    out.text("URL;TYPE=work", {card.get("WebPage1")});
    out.text("URL;TYPE=home", {card.get("WebPage2")});
    if (const std::string bday = date(card, "Birth"); !bday.empty())
        out.raw("BDAY;VALUE=DATE", bday);
    if (const std::string anniversary = date(card, "Anniversary"); !anniversary.empty())
        out.raw("ANNIVERSARY;VALUE=DATE", anniversary);
    out.text("RELATED;TYPE=spouse;VALUE=text", {card.get("SpouseName")});
    for (const Chat &chat : kChats) {
        const std::string_view name = card.get(chat.property);
        if (!name.empty())
            out.raw("IMPP", chat.scheme, name);
    }
    for (const char *custom : {"Custom1", "Custom2", "Custom3", "Custom4"}) {
        const std::string_view name(custom);
        out.text("X-CUSTOM" + std::string(name.substr(6)), {card.get(name)});
    }
    const std::string_view format = card.get("PreferMailFormat");
    if (format == "1" || format == "2")
        out.raw("X-MOZILLA-HTML", format == "2" ? "TRUE" : "FALSE");
    out.text("NOTE", {card.get("Notes")});
    return out.finish();
}

std::string listVCard(std::string_view name, std::string_view nickName, std::string_view description,
    std::span<const std::string> members)
{
    vcard::CardBuilder out;
    out.raw("KIND", "group");
    out.raw("FN", {}, name);
    out.text("NICKNAME", {nickName});
    out.text("NOTE", {description});
    for (const std::string &uid : members) {
        if (!uid.empty())
            out.raw("MEMBER", "urn:uuid:", uid);
    }
    return out.finish();
}

} // namespace quarrelby::thunderbird
