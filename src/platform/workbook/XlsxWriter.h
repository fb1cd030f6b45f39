#pragma once

#include <QString>

#include <map>
#include <memory>
#include <thread>
#include <vector>

namespace quarrelby {

// What a spreadsheet cell can hold, in UTF-16 code units. Counting code units
// rather than characters keeps every accepted value within the file format's
// own limit, which counts characters.
inline constexpr qsizetype kMaxCellLength = 32767;
inline constexpr int kMaxSheetRows = 1048576;
inline constexpr int kMaxSheetColumns = 16384;
inline constexpr double kMaxColumnWidth = 255;

// Writes a sheet into a new .xlsx file on a thread of its own while the
// sheet is still being filled: rows are handed over in order as they are
// complete, so that writing a large workbook overlaps with making it. Every
// value becomes a text cell, so nothing is read back as a formula, number or
// date.
class WorkbookStream {
public:
    explicit WorkbookStream(const QString &path);
    // A stream that was not finished is abandoned: no file is left behind.
    ~WorkbookStream();
    WorkbookStream(const WorkbookStream &) = delete;
    WorkbookStream &operator=(const WorkbookStream &) = delete;

    // The next row of the sheet, rows counted from the first.
    void addRow(std::vector<QString> cells);
    // Gives the columns (1-based) their widths in characters and completes
    // the file. Throws Failure, naming the file, when the workbook cannot be
    // written; no partial file is left behind.
    void finish(const std::map<int, double> &columnWidths);

private:
    struct Shared;

    void run();
    void handOver();

    std::unique_ptr<Shared> m_shared;
    // Rows not yet handed to the writer.
    std::vector<std::vector<QString>> m_pending;
    std::thread m_thread;
};

// A workbook of one sheet of text cells, written into a new file while it is
// filled: the one writer of the window's export and the command line's.
// Cells are set row by row, rows in order; a row goes to the stream once a
// later one starts, so a large export never holds the sheet whole. finish()
// fits every column to its text and completes the file. A file that was not
// finished is removed.
class WorkbookFile {
public:
    explicit WorkbookFile(const QString &path)
        : m_stream(path)
    {
    }

    // Row and column count from 1. Throws Failure, and the cell stays empty,
    // for a cell the sheet cannot hold or a row already written.
    void setCell(int row, int column, const QString &text);
    // Throws Failure, naming the file, when the workbook cannot be written.
    void finish();

private:
    void handOverRow();

    WorkbookStream m_stream;
    // The cells of the next row to hand over, and how many went before it.
    std::vector<QString> m_row;
    size_t m_handedOver = 0;
    // Column (0-based) to the widest fitted text so far.
    std::vector<double> m_widths;
};

} // namespace quarrelby
