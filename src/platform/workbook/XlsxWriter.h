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

// One sheet of text cells. rows[r - 1][c - 1] is the cell at row r, column c;
// short or missing rows are empty cells.
struct ExcelSheet {
    std::vector<std::vector<QString>> rows;
    // Column (1-based) to width in characters, for the columns that were fitted.
    std::map<int, double> columnWidths;
};

// Writes the sheet as a new .xlsx file. Every value becomes a text cell, so
// nothing is read back as a formula, number or date. Throws Failure,
// naming the file, when the workbook cannot be written; no partial file is
// left behind.
void writeWorkbook(const QString &path, const ExcelSheet &sheet);

// Writes a sheet into a new .xlsx file on a thread of its own while the
// sheet is still being filled: rows are handed over in order as they are
// complete, so that writing a large workbook overlaps with making it. The
// file is the same as writeWorkbook's.
class WorkbookStream {
public:
    explicit WorkbookStream(const QString &path);
    // A stream that was not finished is abandoned: no file is left behind.
    ~WorkbookStream();
    WorkbookStream(const WorkbookStream &) = delete;
    WorkbookStream &operator=(const WorkbookStream &) = delete;

    // The next row of the sheet, rows counted from the first.
    void addRow(std::vector<QString> cells);
    // Gives the fitted columns their widths and completes the file. Throws
    // Failure as writeWorkbook does.
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

// The length of the text as the file stores it, in UTF-16 code units: a
// literal "_xHHHH_" is stored escaped, six characters longer. This is the
// length that must stay within kMaxCellLength.
[[nodiscard]] qsizetype storedLength(const QString &text);

// The width in characters that fits the text on one line.
[[nodiscard]] double fittedWidth(const QString &text);

} // namespace quarrelby
