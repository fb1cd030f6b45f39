#include "core/TableEncoders.h"

#include "core/ResultList.h"
#include "format/Utf8.h"
#include "platform/Failure.h"
#include "platform/Shell.h"

#include <algorithm>
#include <cstring>
#include <string_view>
#include <utility>

namespace quarrelby {

namespace {

// Large enough that writing costs little per byte, small enough to stay in
// the processor's cache between being filled and being written.
constexpr qsizetype kBlockSize = qsizetype(256) * 1024;

// Text encoded as UTF-8 straight into one buffer: with a sink, handed over
// in blocks; without, kept whole. A list would otherwise spend most of an
// export building and converting one line at a time.
class Utf8Buffer {
public:
    Utf8Buffer(const ByteSink *sink, qsizetype capacity)
        : m_sink(sink)
    {
        m_bytes.resize(std::max(capacity, qsizetype(64)));
    }

    void append(QStringView text)
    {
        const qsizetype n = text.size();
        char *out = room(3 * n); // no UTF-16 unit takes more than three bytes
        const char16_t *in = text.utf16();
        // Mostly ASCII: copy every unit narrowed and look afterwards whether
        // any was not ASCII; only then does the encoder do the work.
        char16_t seen = 0;
        for (qsizetype i = 0; i < n; ++i) {
            seen |= in[i];
            out[i] = static_cast<char>(in[i]);
        }
        m_used = seen < 0x80 ? m_used + n : encodeUtf8(out, text) - m_bytes.data();
    }

    void append(char ascii)
    {
        *room(1) = ascii;
        ++m_used;
    }

    void appendSpaces(qsizetype count)
    {
        if (count <= 0)
            return;
        std::memset(room(count), ' ', static_cast<size_t>(count));
        m_used += count;
    }

    void endLine()
    {
        append('\r');
        append('\n');
    }

    // Removes the spaces at the end; a space is one byte in UTF-8 and no
    // byte of a longer character.
    void chopSpaces()
    {
        while (m_used > 0 && m_bytes[m_used - 1] == ' ')
            --m_used;
    }

    void flush()
    {
        if (m_used == 0 || !m_sink)
            return;
        const qsizetype size = m_used;
        m_used = 0;
        (*m_sink)(QByteArrayView(m_bytes.constData(), size));
    }

    QByteArray take()
    {
        m_bytes.truncate(m_used);
        m_bytes.squeeze();
        return std::move(m_bytes);
    }

private:
    // Where the next bytes go, with room for at least count of them.
    char *room(qsizetype count)
    {
        if (m_bytes.size() - m_used < count)
            makeRoom(count);
        return m_bytes.data() + m_used;
    }

    void makeRoom(qsizetype count)
    {
        flush();
        if (m_bytes.size() - m_used < count)
            m_bytes.resize(std::max(m_used + count, 2 * m_bytes.size())); // new bytes stay unset
    }

    const ByteSink *m_sink;
    QByteArray m_bytes;
    qsizetype m_used = 0;
};

// The widths were measured before the first yield; a list that grew columns
// since then has no width for them.
inline int widthOf(const std::vector<int> &widths, int column)
{
    if (column < 0 || static_cast<size_t>(column) >= widths.size()) [[unlikely]]
        throw Failure(QStringLiteral("Subscript out of range"));
    return widths[static_cast<size_t>(column)];
}

void appendPadded(Utf8Buffer &out, QStringView text, int width)
{
    out.append(text);
    out.appendSpaces(width - text.size());
    out.append('\t');
}

enum class LastCell { Padded, Bare };

// One line per ticked row, every cell padded to its column's width and
// followed by a TAB. A bare last cell goes without either, and the line
// without its trailing spaces. A cell longer than its width (the list changed
// since it was measured) goes without filling.
void appendTickedRows(
    Utf8Buffer &out, const ResultList &list, const std::vector<int> &widths, EventLoopService &loop, LastCell last)
{
    const int rows = list.itemCount();
    for (int r = 0; r < rows; ++r) {
        loop.yield();
        if (!list.checked(r))
            continue;
        const int columns = list.headerCount();
        for (int c = 0; c < columns; ++c) {
            loop.yield();
            const int width = widthOf(widths, c);
            const QStringView cell = list.cellView(r, c);
            if (c + 1 < columns || last == LastCell::Padded)
                appendPadded(out, cell, width);
            else
                out.append(cell);
        }
        if (last == LastCell::Bare)
            out.chopSpaces();
        out.endLine();
    }
}

bool needsQuotes(QStringView value)
{
    for (const char16_t u : std::u16string_view(value.utf16(), static_cast<size_t>(value.size()))) {
        // All four lie at or below ','; most characters of a value do not.
        if (u <= u',' && (u == u',' || u == u'"' || u == u'\r' || u == u'\n'))
            return true;
    }
    return false;
}

void appendField(Utf8Buffer &out, QStringView value)
{
    if (!needsQuotes(value)) {
        out.append(value);
        return;
    }
    out.append('"');
    QStringView rest(value);
    for (qsizetype quote = rest.indexOf(u'"'); quote >= 0; quote = rest.indexOf(u'"')) {
        out.append(rest.first(quote + 1));
        out.append('"');
        rest = rest.sliced(quote + 1);
    }
    out.append(rest);
    out.append('"');
}

// The fields of one comma-delimited line, separated by commas: cellAt(c)
// for every column c.
template <typename CellAt> void appendCommaFields(Utf8Buffer &out, int columns, const CellAt &cellAt)
{
    for (int c = 0; c < columns; ++c) {
        appendField(out, cellAt(c));
        if (c + 1 != columns)
            out.append(',');
    }
}

// The header line: every header followed by a comma.
template <typename TextAt> void appendCommaHeader(Utf8Buffer &out, int columns, const TextAt &textAt)
{
    for (int c = 0; c < columns; ++c) {
        appendField(out, textAt(c));
        out.append(',');
    }
    out.endLine();
}

} // namespace

std::vector<int> measureColumnWidths(const ResultList &list, EventLoopService &loop, CountHeaders headers)
{
    const int columns = list.headerCount();
    std::vector<int> widths(static_cast<size_t>(std::max(columns, 0)), 0);
    if (headers == CountHeaders::Yes) {
        for (int c = 0; c < columns; ++c)
            widths[static_cast<size_t>(c)] = static_cast<int>(list.columnText(c).size());
    }
    // Row by row rather than column by column: the same widths and the same
    // yields, but a large list is read in the order it lies in memory.
    const int rows = list.itemCount();
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < columns; ++c) {
            loop.yield();
            int &width = widths[static_cast<size_t>(c)];
            width = std::max(width, static_cast<int>(list.cellView(r, c).size()));
        }
    }
    return widths;
}

void encodeAlignedText(
    const ResultList &list, const std::vector<int> &widths, EventLoopService &loop, const ByteSink &sink)
{
    Utf8Buffer out(&sink, kBlockSize);
    const int headers = list.headerCount();
    for (int c = 0; c < headers; ++c) {
        loop.yield();
        appendPadded(out, list.columnText(c), widthOf(widths, c));
    }
    out.endLine();
    appendTickedRows(out, list, widths, loop, LastCell::Padded);
    out.flush();
}

QString commaField(const QString &value)
{
    // Quoted as in the files, which hold valid UTF-8 only.
    Utf8Buffer out(nullptr, value.size());
    appendField(out, value);
    return QString::fromUtf8(out.take());
}

void encodeCommaDelimited(const ResultList &list, EventLoopService &loop, const ByteSink &sink)
{
    Utf8Buffer out(&sink, kBlockSize);
    const int headers = list.headerCount();
    if (headers > 1)
        appendCommaHeader(out, headers, [&](int c) { return QStringView(list.columnText(c)); });

    const int rows = list.itemCount();
    for (int r = 0; r < rows; ++r) {
        loop.yield();
        appendCommaFields(out, list.headerCount(), [&](int c) { return list.cellView(r, c); });
        // With one column there is no header, and every line but the last
        // carries a separator.
        if (list.headerCount() <= 1 && r + 1 != rows)
            out.append(',');
        out.endLine();
    }
    out.flush();
}

class CommaDelimitedLines::Buffer : public Utf8Buffer {
public:
    using Utf8Buffer::Utf8Buffer;
};

CommaDelimitedLines::CommaDelimitedLines(ByteSink sink)
    : m_sink(std::move(sink))
    , m_out(std::make_unique<Buffer>(&m_sink, kBlockSize))
{
}

CommaDelimitedLines::~CommaDelimitedLines() = default;

void CommaDelimitedLines::header(std::span<const QString> headers)
{
    appendCommaHeader(
        *m_out, static_cast<int>(headers.size()), [&](int c) { return QStringView(headers[static_cast<size_t>(c)]); });
}

void CommaDelimitedLines::row(std::span<const QStringView> cells)
{
    appendCommaFields(*m_out, static_cast<int>(cells.size()), [&](int c) { return cells[static_cast<size_t>(c)]; });
    m_out->endLine();
}

void CommaDelimitedLines::flush()
{
    m_out->flush();
}

QByteArray clipboardText(const ResultList &list, const std::vector<int> &widths, EventLoopService &loop)
{
    const int rows = list.itemCount();
    // One allocation for the whole text instead of a doubling buffer: the
    // text of a large list is of the order of the list itself, and mostly
    // ASCII, one byte a unit.
    qsizetype lineBound = 2;
    for (const int w : widths)
        lineBound += w + 1;
    qsizetype ticked = 0;
    for (int r = 0; r < rows; ++r)
        ticked += list.checked(r) ? 1 : 0;
    Utf8Buffer text(nullptr, ticked * lineBound);
    appendTickedRows(text, list, widths, loop, LastCell::Bare);
    return text.take();
}

} // namespace quarrelby
