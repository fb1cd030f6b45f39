#pragma once

#include "platform/ExcelObject.h"

#include <QString>
#include <QStringList>

#include <memory>

namespace quarrelby {

class Shell;

inline constexpr char kXlsxMimeType[] = "application/vnd.openxmlformats-officedocument.spreadsheetml.sheet";

// Throws AutomationError when the desktop has no application for .xlsx files
// (xdg-mime knows no default for the type), since nobody could then see the
// workbook.
void requireSpreadsheetApplication();

// Removes the folders that earlier workbooks were written into ("quarrelby-"
// folders of this user in the temporary folder), except those still in use: a
// spreadsheet program's lock file beside the workbook, a workbook that some
// process holds open, or anything changed in the last two minutes. Folders
// named in keep are left alone. Runs at start-up and whenever workbooks are
// published.
void removeUnusedWorkbookFolders(const QString &temporaryFolder, const QStringList &keep = {});

// "Excel.Application": requireSpreadsheetApplication(), then
// makeExcelApplication(shell).
[[nodiscard]] std::unique_ptr<AutomationObject> createExcelApplication(Shell &shell);

// The spreadsheet program's application object over workbooks kept in memory.
//   Application: Workbooks, Visible
//   Workbooks:   Add, Count
//   Workbook:    ActiveSheet
//   Worksheet:   Cells(row, column), Columns([index])
//   Range:       Value and the default property (cells), Autofit (columns)
// When the last reference to the application and the objects it handed out
// is released after it was made visible, each workbook is written as an .xlsx
// file into a new temporary folder and opened with "xdg-open". A failure then
// has no caller to go to, so it is told to the user through the shell, as the
// spreadsheet program itself would.
[[nodiscard]] std::unique_ptr<ExcelObject> makeExcelApplication(Shell &shell);

} // namespace quarrelby
