#pragma once

#include <QByteArray>

#include <deque>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace quarrelby::vcard {

enum class Version { V21, V30, V40 };

// One parameter as written. A bare vCard 2.1 parameter (TEL;WORK;FAX) has an
// empty name. The value keeps its quotes and commas: TYPE="work,voice".
struct Parameter {
    std::string_view name;
    std::string_view value;
};

// One content line: group, name and value as written, the value still encoded
// (quoted-printable, escapes, charset) until someone asks for its text.
struct Property {
    std::string_view group;
    std::string_view name;
    std::string_view value;
    unsigned firstParameter = 0;
    unsigned parameterCount = 0;
};

// The properties of one card in file order. The views point into the
// reader's input or into the card's own line buffers, so they stay valid
// until the card is read into again and while the input lives.
class Card {
public:
    [[nodiscard]] const std::vector<Property> &properties() const { return m_properties; }
    [[nodiscard]] std::span<const Parameter> parameters(const Property &property) const
    {
        return {m_parameters.data() + property.firstParameter, property.parameterCount};
    }
    [[nodiscard]] Version version() const { return m_version; }

    void clear();

private:
    friend class Reader;

    // A buffer for a line that had to be joined from several physical lines.
    std::string &lineBuffer();

    std::vector<Property> m_properties;
    std::vector<Parameter> m_parameters;
    // A deque never moves its elements, so views into them survive growth.
    std::deque<std::string> m_lines;
    size_t m_linesUsed = 0;
    Version m_version = Version::V30;
};

// Where the next LF at or after a position lies (the end of the data when
// there is none), remembered between lines: text with few LFs, such as an
// old Mac file whose lines end in CR alone, is then not searched to its end
// for every line.
class NextNewline {
public:
    [[nodiscard]] size_t at(std::string_view data, size_t pos);

private:
    bool m_known = false;
    size_t m_from = 0;
    size_t m_at = 0;
};

// Splits vCard text into cards. Lenient by design: a line it cannot read is
// skipped, a card without END ends at the next BEGIN or at the end of the
// input, and a card without BEGIN starts at its VERSION, FN or N line.
class Reader {
public:
    // data must outlive the reader and every card read from it.
    explicit Reader(std::string_view data);

    // Reads the next card; false when the input holds no further card.
    bool next(Card &card);
    // The text of the card last read, as the input holds it: from its first
    // line to the end of its last, blank lines and lines it skipped within.
    [[nodiscard]] std::string_view cardText() const { return m_data.substr(m_cardBegin, m_cardEnd - m_cardBegin); }

private:
    bool physicalLine(std::string_view &line);
    [[nodiscard]] bool peekLine(std::string_view &line, size_t &after);
    bool logicalLine(Card &card, std::string_view &line);

    std::string_view m_data;
    size_t m_pos = 0;
    size_t m_cardBegin = 0;
    size_t m_cardEnd = 0;
    NextNewline m_newlines;
    // The line last looked ahead at: every line is looked at before it is read.
    size_t m_peekedPos = std::string_view::npos;
    std::string_view m_peekedLine;
    size_t m_peekedAfter = 0;
};

// Where data may be cut in two so that reading the parts one after the other
// gives the cards reading the whole gives: the start of a BEGIN:VCARD line
// that directly follows an END:VCARD line, the first whose END line starts
// after from. A place the rule cannot vouch for is passed over: npos when
// none is found.
[[nodiscard]] size_t cardBoundary(std::string_view data, size_t from);

// Caseless ASCII comparison, the rule for every vCard name and parameter.
[[nodiscard]] bool equalsIgnoreCase(std::string_view a, std::string_view b);

// An ASCII letter upper-cased; any other byte as it is.
[[nodiscard]] inline char upperAscii(char c)
{
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

// Input that starts with a UTF-16 byte-order mark, as some Windows programs
// write it, converted to UTF-8; any other input is returned empty.
[[nodiscard]] QByteArray utf8FromUtf16(std::string_view data);

// UTF-16 text that comes a block at a time, converted to UTF-8 as it comes,
// giving what utf8FromUtf16 gives for the whole: a block may end inside a
// code unit or between the two halves of a surrogate pair.
class Utf16Stream {
public:
    // Whether data, the start of the text, is UTF-16 (has its byte-order
    // mark); it then starts the stream, which is given the mark too.
    [[nodiscard]] static bool startsUtf16(std::string_view data);
    // Appends the UTF-8 of the next bytes to out; at the end of the text
    // (last), what is held back is given too.
    void append(std::string_view bytes, bool last, std::string &out);

private:
    bool m_started = false;
    bool m_little = true;
    std::string m_held;
};

// The text as UTF-8: data itself, or, when it is UTF-16, its conversion kept
// in buffer (which may hold data itself).
[[nodiscard]] std::string_view utf8Text(std::string_view data, std::string &buffer);

} // namespace quarrelby::vcard
