#include "format/thunderbird/LegacyCard.h"

#include <algorithm>
#include <array>
#include <charconv>

namespace quarrelby::thunderbird {

namespace {

class CardText {
public:
    explicit CardText(std::span<const CardProperty> properties)
        : m_properties(properties)
    {
        m_out = "BEGIN:VCARD\r\nVERSION:4.0\r\n";
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

    // NAME[;params]:v1;v2;... with each value escaped; nothing when every
    // value is empty.
    void line(std::string_view head, std::initializer_list<std::string_view> values)
    {
        if (std::all_of(values.begin(), values.end(), [](std::string_view v) { return v.empty(); }))
            return;
        m_out += head;
        m_out += ':';
        bool first = true;
        for (std::string_view v : values) {
            if (!first)
                m_out += ';';
            first = false;
            escape(v);
        }
        m_out += "\r\n";
    }

    // A line whose value starts with text already in vCard form (a date, a
    // URI scheme) followed by an escaped value.
    void raw(std::string_view head, std::string_view prefix, std::string_view value = {})
    {
        m_out += head;
        m_out += ':';
        m_out += prefix;
        escape(value);
        m_out += "\r\n";
    }

    std::string finish()
    {
        m_out += "END:VCARD\r\n";
        return std::move(m_out);
    }

private:
    // vCard text escapes; any line break becomes \n, so a value never ends
    // the line it is on. NUL bytes are dropped: no text program keeps them.
    void escape(std::string_view v)
    {
        for (size_t i = 0; i < v.size(); ++i) {
            const char c = v[i];
            switch (c) {
            case '\\':
                m_out += "\\\\";
                break;
            case ',':
                m_out += "\\,";
                break;
            case ';':
                m_out += "\\;";
                break;
            case '\r':
                if (i + 1 < v.size() && v[i + 1] == '\n')
                    ++i;
                m_out += "\\n";
                break;
            case '\n':
                m_out += "\\n";
                break;
            case '\0':
                break;
            default:
                m_out += c;
            }
        }
    }

    std::span<const CardProperty> m_properties;
    std::string m_out;
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

// BDAY as Thunderbird writes it: the full date, --MM-DD without a year, the
// year alone without a day; empty when nothing usable is there.
std::string birthday(const CardText &card)
{
    const int year = number(card.get("BirthYear"), 1, 9999);
    const int month = number(card.get("BirthMonth"), 1, 12);
    const int day = number(card.get("BirthDay"), 1, 31);
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
std::string street(const CardText &card, std::string_view line1, std::string_view line2)
{
    std::string out(card.get(line1));
    const std::string_view second = card.get(line2);
    if (!out.empty() && !second.empty())
        out += '\n';
    out += second;
    return out;
}

void address(CardText &card, std::string_view type, std::string_view prefix)
{
    const std::string p(prefix);
    const std::string lines = street(card, p + "Address", p + "Address2");
    card.line(std::string("ADR;TYPE=") + std::string(type),
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
    CardText card(properties);
    card.line("FN", {card.get("DisplayName")});
    card.line("N", {card.get("LastName"), card.get("FirstName"), {}, {}, {}});
    card.line("NICKNAME", {card.get("NickName")});
    card.line("EMAIL;PREF=1", {card.get("PrimaryEmail")});
    card.line("EMAIL", {card.get("SecondEmail")});
    card.line("TITLE", {card.get("JobTitle")});
    card.line("ORG", {card.get("Company"), card.get("Department")});
    card.line("TEL;TYPE=work", {card.get("WorkPhone")});
    card.line("TEL;TYPE=home", {card.get("HomePhone")});
    card.line("TEL;TYPE=fax", {card.get("FaxNumber")});
    card.line("TEL;TYPE=pager", {card.get("PagerNumber")});
    card.line("TEL;TYPE=cell", {card.get("CellularNumber")});
    address(card, "work", "Work");
    address(card, "home", "Home");
    card.line("URL;TYPE=work", {card.get("WebPage1")});
    card.line("URL;TYPE=home", {card.get("WebPage2")});
    const std::string bday = birthday(card);
    if (!bday.empty())
        card.raw("BDAY;VALUE=DATE", bday);
    for (const Chat &chat : kChats) {
        const std::string_view name = card.get(chat.property);
        if (!name.empty())
            card.raw("IMPP", chat.scheme, name);
    }
    card.line("NOTE", {card.get("Notes")});
    return card.finish();
}

} // namespace quarrelby::thunderbird
