#include "format/vcard/VCardCutter.h"

#include "format/vcard/VCardReader.h"

#include <algorithm>
#include <cstring>
#include <string_view>

namespace quarrelby::vcard {

namespace {

bool isBeginLine(std::string_view data, size_t at)
{
    constexpr std::string_view begin = "BEGIN:VCARD";
    return data.size() - at >= begin.size() && equalsIgnoreCase(data.substr(at, begin.size()), begin);
}

// The start of the last line of data that begins a card, npos when no line
// but the first does.
size_t lastBeginLine(std::string_view data)
{
    size_t end = data.size();
    while (end > 0) {
        const void *newline = ::memrchr(data.data(), '\n', end);
        if (!newline)
            return std::string_view::npos;
        const auto at = static_cast<size_t>(static_cast<const char *>(newline) - data.data());
        if (isBeginLine(data, at + 1))
            return at + 1;
        end = at;
    }
    return std::string_view::npos;
}

bool isEndLine(std::string_view data, size_t at)
{
    constexpr std::string_view end = "END:VCARD";
    return data.size() - at >= end.size() && equalsIgnoreCase(data.substr(at, end.size()), end);
}

// Where the line after the last END:VCARD line of data starts, npos when no
// line is one.
size_t afterLastEndLine(std::string_view data)
{
    for (size_t end = data.size();;) {
        const void *newline = end > 0 ? ::memrchr(data.data(), '\n', end) : nullptr;
        const size_t line = newline ? static_cast<size_t>(static_cast<const char *>(newline) - data.data()) + 1 : 0;
        if (isEndLine(data, line)) {
            const void *after = std::memchr(data.data() + line, '\n', data.size() - line);
            return after ? static_cast<size_t>(static_cast<const char *>(after) - data.data()) + 1 : data.size();
        }
        if (!newline)
            return std::string_view::npos;
        end = line - 1;
    }
}

// Whether the start of a text reads as vCard text: a BEGIN:VCARD line, or a
// card the lenient reader finds without one.
bool holdsVCard(std::string_view start)
{
    for (size_t at = 0; at < start.size();) {
        if (isBeginLine(start, at))
            return true;
        const void *newline = std::memchr(start.data() + at, '\n', start.size() - at);
        if (!newline)
            break;
        at = static_cast<size_t>(static_cast<const char *>(newline) - start.data()) + 1;
    }
    Reader reader(start);
    Card card;
    return reader.next(card);
}

// Nothing but blanks, after a UTF-8 byte-order mark if there is one.
bool isBlank(std::string_view text)
{
    if (text.starts_with("\xEF\xBB\xBF"))
        text.remove_prefix(3);
    return std::all_of(text.begin(), text.end(), [](char c) { return c == ' ' || (c >= '\t' && c <= '\r'); });
}

} // namespace

bool Cutter::take(size_t got, std::vector<std::string> &pieces)
{
    const bool atEnd = got == 0;
    size_t fresh = got;
    if (!m_started && (m_pending.size() >= 2 || atEnd)) {
        m_started = true;
        fresh = m_pending.size();
        if (Utf16Stream::startsUtf16(m_pending))
            m_utf16.emplace();
    }
    if (m_utf16) {
        const std::string bytes = m_pending.substr(m_pending.size() - fresh);
        m_pending.resize(m_pending.size() - fresh);
        m_utf16->append(bytes, atEnd, m_pending);
    }
    if (!checkStart(atEnd))
        return false;
    if (atEnd) {
        if (!m_pending.empty())
            pieces.push_back(std::exchange(m_pending, {}));
        return false;
    }
    return !m_checked || cutPieces(pieces);
}

// The first piece's worth, or the whole of a smaller text, must read as
// vCard text; one with nothing in it but blanks is a book with no card.
bool Cutter::checkStart(bool atEnd)
{
    if (m_checked || (m_pending.size() < m_pieceBytes && !atEnd))
        return true;
    m_checked = true;
    if (isBlank(m_pending) || holdsVCard(std::string_view(m_pending).substr(0, m_pieceBytes)))
        return true;
    m_pending.clear();
    m_refusal = Refusal::NotVCard;
    return false;
}

bool Cutter::cutPieces(std::vector<std::string> &pieces)
{
    while (m_pending.size() > m_searchFrom) {
        size_t cut = cardBoundary(m_pending, m_searchFrom);
        if (cut == std::string_view::npos && m_pending.size() > m_largestCard) {
            // Cards with no END line, or blank lines between them, have no
            // place cardBoundary vouches for; cut before the last BEGIN
            // line, so that what is left is small.
            cut = lastBeginLine(m_pending);
            if (cut == std::string_view::npos) {
                // What is left holds no other card's start. Its cards that
                // end go on, and after the last END line the text holds no
                // card. With no END line the card that starts here has no
                // end: its first lines go on, as a card the reader may make
                // something of.
                const size_t ended = afterLastEndLine(m_pending);
                if (ended != std::string_view::npos) {
                    m_pending.resize(ended);
                    m_offset += ended;
                    m_refusal = Refusal::NoCard;
                } else {
                    const size_t keep = m_pending.rfind('\n', m_pieceBytes);
                    m_pending.resize(keep == std::string::npos ? m_pieceBytes : keep + 1);
                    m_refusal = Refusal::NoCardEnd;
                }
                pieces.push_back(std::exchange(m_pending, {}));
                return false;
            }
        }
        if (cut == std::string_view::npos) {
            // Look again from near the end once more has been read.
            m_searchFrom = std::max(m_searchFrom, m_pending.size() > 4096 ? m_pending.size() - 4096 : 0);
            return true;
        }
        std::string rest = m_pending.substr(cut);
        m_pending.resize(cut);
        m_offset += cut;
        pieces.push_back(std::exchange(m_pending, std::move(rest)));
        m_searchFrom = m_pieceBytes;
    }
    return true;
}

} // namespace quarrelby::vcard
