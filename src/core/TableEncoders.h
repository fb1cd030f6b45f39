#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <functional>
#include <memory>
#include <span>
#include <vector>

namespace quarrelby {

class ResultList;
class EventLoopService;

// The list as the bytes of each text output: UTF-8 without a byte-order mark,
// every line ended by CR LF, an unpaired surrogate written as U+FFFD. The
// window, the tests and any other front end use these same functions. Each
// yields to the event loop as it goes; a list changed under it meanwhile
// (a cell index out of range) throws Failure.

// Receives the bytes of a file in blocks of a few hundred kilobytes.
using ByteSink = std::function<void(QByteArrayView bytes)>;

enum class CountHeaders { No, Yes };

// The width of every column in UTF-16 code units: its longest cell over all
// rows, ticked or not, and its header too when asked. Yields once per cell.
[[nodiscard]] std::vector<int> measureColumnWidths(
    const ResultList &list, EventLoopService &loop, CountHeaders headers);

// The header line and one line per ticked row, every cell padded with
// spaces to its column's width and followed by a TAB.
void encodeAlignedText(
    const ResultList &list, const std::vector<int> &widths, EventLoopService &loop, const ByteSink &sink);

// The header line (with two or more columns) and one line per row, ticked or
// not, fields separated by commas and quoted as commaField does.
void encodeCommaDelimited(const ResultList &list, EventLoopService &loop, const ByteSink &sink);

// Comma-delimited lines given a row at a time, for a front end that never
// holds the whole list: the bytes of encodeCommaDelimited for a list of
// these headers and rows (two or more columns). Hands them to the sink in
// blocks; flush() hands over the rest.
class CommaDelimitedLines {
public:
    explicit CommaDelimitedLines(ByteSink sink);
    ~CommaDelimitedLines();
    CommaDelimitedLines(const CommaDelimitedLines &) = delete;
    CommaDelimitedLines &operator=(const CommaDelimitedLines &) = delete;

    void header(std::span<const QString> headers);
    void row(std::span<const QStringView> cells);
    void flush();

private:
    class Buffer;
    ByteSink m_sink;
    std::unique_ptr<Buffer> m_out;
};

// The value as one field: in double quotes, inner quotes doubled, when it
// holds a comma, a double quote, CR or LF (RFC 4180); as it is otherwise.
[[nodiscard]] QString commaField(const QString &value);

// One line per ticked row, cells padded to widths and TAB-separated, the last
// cell bare and the line's trailing spaces removed, as UTF-8.
[[nodiscard]] QByteArray clipboardText(const ResultList &list, const std::vector<int> &widths, EventLoopService &loop);

} // namespace quarrelby
