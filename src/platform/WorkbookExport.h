#pragma once

#include <QString>

#include <memory>

namespace quarrelby {

// A new workbook in the spreadsheet program, shown to the user from the start
// and filled as the export goes: the header in row 1, then the rows, in row
// order. When it is released its columns are fitted to their text and the
// workbook is handed to the spreadsheet program; a failure then has no caller
// to go to and is told to the user.
class WorkbookExport {
public:
    virtual ~WorkbookExport() = default;
    // Row and column count from 1; every value is a text cell. Throws
    // Failure for a cell the sheet cannot hold.
    virtual void setCell(int row, int column, const QString &text) = 0;
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
