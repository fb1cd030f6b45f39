#include "format/vcard/VCardReader.h"

#include <QString>

#include <algorithm>
#include <cstring>

namespace quarrelby::vcard {

namespace {

// The characters of a property name as written, group and dot included.
// KDE 3 and 4 write a slash in their IM properties (X-messaging/aim-All).
bool isNameChar(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '_'
        || c == '.' || c == '/';
}

std::string_view trimmed(std::string_view s)
{
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
        s.remove_suffix(1);
    return s;
}

// BEGIN:VCARD or END:VCARD, with the stray blanks some writers leave.
bool isMarker(std::string_view line, std::string_view keyword)
{
    // Every line is asked twice; most start with a letter no marker has.
    if (!line.empty() && upperAscii(line.front()) != keyword.front() && line.front() != ' ' && line.front() != '\t')
        return false;
    line = trimmed(line);
    if (line.size() < keyword.size() + 1 || line[keyword.size()] != ':')
        return false;
    return equalsIgnoreCase(line.substr(0, keyword.size()), keyword)
        && equalsIgnoreCase(trimmed(line.substr(keyword.size() + 1)), "VCARD");
}

bool isBegin(std::string_view line)
{
    return isMarker(line, "BEGIN");
}

bool isEnd(std::string_view line)
{
    return isMarker(line, "END");
}

// A line that starts a new property: NAME (or group.NAME) followed by ; or :.
bool startsProperty(std::string_view line)
{
    size_t i = 0;
    while (i < line.size() && isNameChar(line[i]))
        ++i;
    return i > 0 && i < line.size() && (line[i] == ';' || line[i] == ':');
}

bool isQuotedPrintable(std::string_view line)
{
    // Only the part before the value can declare the encoding.
    bool quoted = false;
    size_t end = 0;
    for (; end < line.size(); ++end) {
        if (line[end] == '"')
            quoted = !quoted;
        else if (line[end] == ':' && !quoted)
            break;
    }
    constexpr std::string_view qp = "QUOTED-PRINTABLE";
    for (size_t i = 0; i + qp.size() <= end; ++i) {
        if (upperAscii(line[i]) == 'Q' && equalsIgnoreCase(line.substr(i, qp.size()), qp))
            return true;
    }
    return false;
}

bool endsWithOddBackslashes(std::string_view line)
{
    size_t count = 0;
    while (count < line.size() && line[line.size() - 1 - count] == '\\')
        ++count;
    return count % 2 == 1;
}

// Parses one content line; false for a line that is not a property.
bool parseProperty(std::string_view line, Property &property, std::vector<Parameter> &parameters)
{
    size_t i = 0;
    while (i < line.size() && isNameChar(line[i]))
        ++i;
    if (i == 0 || i == line.size() || (line[i] != ';' && line[i] != ':'))
        return false;
    std::string_view name = line.substr(0, i);
    const size_t dot = name.rfind('.');
    property.group = dot == std::string_view::npos ? std::string_view() : name.substr(0, dot);
    property.name = dot == std::string_view::npos ? name : name.substr(dot + 1);
    if (property.name.empty())
        return false;

    const size_t firstParameter = parameters.size();
    while (line[i] == ';') {
        ++i;
        const size_t start = i;
        size_t equals = std::string_view::npos;
        bool quoted = false;
        while (i < line.size()) {
            const char c = line[i];
            if (c == '"')
                quoted = !quoted;
            else if (!quoted && (c == ';' || c == ':'))
                break;
            else if (!quoted && c == '=' && equals == std::string_view::npos)
                equals = i;
            ++i;
        }
        if (i == line.size()) {
            parameters.resize(firstParameter);
            return false;
        }
        const std::string_view token = line.substr(start, i - start);
        if (token.empty())
            continue;
        if (equals == std::string_view::npos)
            parameters.push_back({{}, trimmed(token)});
        else
            parameters.push_back(
                {trimmed(line.substr(start, equals - start)), line.substr(equals + 1, i - equals - 1)});
    }
    property.value = line.substr(i + 1);
    property.firstParameter = static_cast<unsigned>(firstParameter);
    property.parameterCount = static_cast<unsigned>(parameters.size() - firstParameter);
    return true;
}

} // namespace

size_t NextNewline::at(std::string_view data, size_t pos)
{
    if (m_known && pos >= m_from && pos <= m_at)
        return m_at;
    const void *found = std::memchr(data.data() + pos, '\n', data.size() - pos);
    m_from = pos;
    m_at = found ? static_cast<size_t>(static_cast<const char *>(found) - data.data()) : data.size();
    m_known = true;
    return m_at;
}

namespace {

// The physical line at pos, and where the next one starts.
bool splitLine(std::string_view data, size_t pos, NextNewline &newlines, std::string_view &line, size_t &after)
{
    if (pos >= data.size())
        return false;
    const char *begin = data.data() + pos;
    const size_t newlineAt = newlines.at(data, pos);
    const bool newline = newlineAt < data.size();
    size_t length = newlineAt - pos;
    after = pos + length + (newline ? 1 : 0);
    // A bare CR also ends a line (old Mac files); CR LF is one ending.
    if (const void *cr = std::memchr(begin, '\r', length)) {
        const size_t at = static_cast<size_t>(static_cast<const char *>(cr) - begin);
        if (at + 1 != length)
            after = pos + at + 1;
        length = at;
    }
    line = std::string_view(begin, length);
    return true;
}

} // namespace

bool equalsIgnoreCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (upperAscii(a[i]) != upperAscii(b[i]))
            return false;
    }
    return true;
}

bool Utf16Stream::startsUtf16(std::string_view data)
{
    return data.size() >= 2 && ((data[0] == '\xFF' && data[1] == '\xFE') || (data[0] == '\xFE' && data[1] == '\xFF'));
}

void Utf16Stream::append(std::string_view bytes, bool last, std::string &out)
{
    m_held.append(bytes);
    size_t at = 0;
    if (!m_started) {
        if (m_held.size() < 2 && !last)
            return;
        m_started = true;
        m_little = m_held.size() >= 2 && m_held[0] == '\xFF';
        at = 2;
    }
    QString text;
    text.reserve(static_cast<qsizetype>(m_held.size() / 2));
    for (; at + 1 < m_held.size(); at += 2) {
        const auto lo = static_cast<unsigned char>(m_held[m_little ? at : at + 1]);
        const auto hi = static_cast<unsigned char>(m_held[m_little ? at + 1 : at]);
        const auto unit = static_cast<char16_t>(hi << 8 | lo);
        // A high surrogate at the end waits for its other half.
        if (!last && at + 3 >= m_held.size() && QChar::isHighSurrogate(unit))
            break;
        text.append(QChar(unit));
    }
    const QByteArray utf8 = text.toUtf8();
    out.append(utf8.constData(), static_cast<size_t>(utf8.size()));
    m_held.erase(0, last ? m_held.size() : std::min(at, m_held.size()));
}

QByteArray utf8FromUtf16(std::string_view data)
{
    if (!Utf16Stream::startsUtf16(data))
        return {};
    std::string utf8;
    Utf16Stream().append(data, true, utf8);
    return QByteArray(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

std::string_view utf8Text(std::string_view data, std::string &buffer)
{
    const QByteArray converted = utf8FromUtf16(data);
    if (converted.isEmpty())
        return data;
    buffer.assign(converted.constData(), static_cast<size_t>(converted.size()));
    return buffer;
}

void Card::clear()
{
    m_properties.clear();
    m_parameters.clear();
    m_linesUsed = 0;
    m_version = Version::V30;
}

std::string &Card::lineBuffer()
{
    if (m_linesUsed == m_lines.size())
        m_lines.emplace_back();
    std::string &buffer = m_lines[m_linesUsed++];
    buffer.clear();
    return buffer;
}

Reader::Reader(std::string_view data)
    : m_data(data)
{
    if (m_data.size() >= 3 && std::memcmp(m_data.data(), "\xEF\xBB\xBF", 3) == 0)
        m_pos = 3;
}

size_t cardBoundary(std::string_view data, size_t from)
{
    // Every line starts after a LF, whatever else ends lines; from there on
    // lines are split as the reader splits them. An END line that starts
    // with a letter is never joined to the line before it (no fold, and
    // neither a soft line break nor a trailing backslash carries into an END
    // or a property), and a BEGIN line that starts with a letter continues
    // nothing: the reader is between cards there, as at the start of input.
    if (from >= data.size())
        return std::string_view::npos;
    const void *newline = std::memchr(data.data() + from, '\n', data.size() - from);
    if (!newline)
        return std::string_view::npos;
    size_t pos = static_cast<size_t>(static_cast<const char *>(newline) - data.data()) + 1;
    bool afterEnd = false;
    std::string_view line;
    size_t after = 0;
    NextNewline newlines;
    while (splitLine(data, pos, newlines, line, after)) {
        const bool ended = after > pos + line.size();
        const bool letter = !line.empty() && line.front() != ' ' && line.front() != '\t';
        if (!ended)
            break;
        if (afterEnd && letter && isBegin(line))
            return pos;
        afterEnd = letter && isEnd(line);
        pos = after;
    }
    return std::string_view::npos;
}

bool Reader::peekLine(std::string_view &line, size_t &after)
{
    if (m_peekedPos == m_pos && m_pos < m_data.size()) {
        line = m_peekedLine;
        after = m_peekedAfter;
        return true;
    }
    if (!splitLine(m_data, m_pos, m_newlines, line, after))
        return false;
    m_peekedPos = m_pos;
    m_peekedLine = line;
    m_peekedAfter = after;
    return true;
}

bool Reader::physicalLine(std::string_view &line)
{
    size_t after = 0;
    if (!peekLine(line, after))
        return false;
    m_pos = after;
    return true;
}

bool Reader::logicalLine(Card &card, std::string_view &line)
{
    if (!physicalLine(line))
        return false;
    std::string *joined = nullptr;
    auto join = [&](std::string_view more, size_t dropFromEnd, std::string_view between) {
        if (!joined) {
            joined = &card.lineBuffer();
            joined->assign(line);
        }
        joined->resize(joined->size() - dropFromEnd);
        joined->append(between);
        joined->append(more);
        line = *joined;
    };

    std::string_view next;
    size_t after = 0;
    while (peekLine(next, after)) {
        if (!line.empty() && line.back() == '=' && !isBegin(next) && !isEnd(next) && isQuotedPrintable(line)) {
            // A quoted-printable soft line break; a blank that starts the
            // next line belongs to the text.
            join(next, 1, {});
        } else if (!next.empty() && (next.front() == ' ' || next.front() == '\t')) {
            // Folding: the line break and one blank are not part of the value.
            join(next.substr(1), 0, {});
        } else if (!next.empty() && endsWithOddBackslashes(line) && !startsProperty(next)) {
            // Some phones end a line with a backslash to continue a value
            // on the next line, unfolded.
            join(next, 1, "\n");
        } else {
            break;
        }
        m_pos = after;
    }
    return true;
}

bool Reader::next(Card &card)
{
    card.clear();
    bool inCard = false;
    while (true) {
        const size_t lineStart = m_pos;
        std::string_view line;
        if (!logicalLine(card, line)) {
            m_cardEnd = m_pos;
            return inCard;
        }
        if (isBegin(line)) {
            if (inCard) {
                // A BEGIN inside a card: the card lacked its END, or holds an
                // agent's card. Either way no card is lost if it ends here.
                m_pos = lineStart;
                m_cardEnd = lineStart;
                return true;
            }
            inCard = true;
            m_cardBegin = lineStart;
            continue;
        }
        if (isEnd(line)) {
            if (inCard) {
                m_cardEnd = m_pos;
                return true;
            }
            continue;
        }
        Property property;
        if (!parseProperty(line, property, card.m_parameters))
            continue;
        if (!inCard) {
            // A card whose BEGIN line was lost still starts somewhere.
            if (!equalsIgnoreCase(property.name, "VERSION") && !equalsIgnoreCase(property.name, "FN")
                && !equalsIgnoreCase(property.name, "N")) {
                card.m_parameters.resize(property.firstParameter);
                continue;
            }
            inCard = true;
            m_cardBegin = lineStart;
        }
        if (equalsIgnoreCase(property.name, "VERSION")) {
            const std::string_view v = trimmed(property.value);
            card.m_version = v.starts_with("2.") ? Version::V21 : v.starts_with("4.") ? Version::V40 : Version::V30;
        }
        card.m_properties.push_back(property);
    }
}

} // namespace quarrelby::vcard
