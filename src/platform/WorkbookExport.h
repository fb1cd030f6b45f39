#pragma once

#include <QString>

#include <memory>

namespace quarrelby {

// A new workbook for the spreadsheet program, filled as the export goes: the
// header in row 1, then the rows, in row order. show() completes it (its
// columns fitted to their text) and hands it to the spreadsheet program; a
// workbook released without being shown leaves nothing behind.
class WorkbookExport {
public:
    virtual ~WorkbookExport() = default;
    // Row and column count from 1; every value is a text cell. Throws
    // Failure for a cell the sheet cannot hold.
    virtual void setCell(int row, int column, const QString &text) = 0;
    // Throws Failure, with what the user is told, when the workbook cannot
    // be written or shown.
    virtual void show() = 0;
};

// The spreadsheet program, as far as the workbook export needs it.
class Spreadsheets {
public:
    virtual ~Spreadsheets() = default;
    // Throws Failure when there is no spreadsheet program.
    virtual void require() = 0;
    // Throws Failure when no workbook can be shown.
    [[nodiscard]] virtual std::unique_ptr<WorkbookExport> newWorkbook() = 0;
};

} // namespace quarrelby
