#pragma once

#include "platform/WorkbookExport.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <memory>

namespace quarrelby {

class Shell;

inline constexpr char kXlsxMimeType[] = "application/vnd.openxmlformats-officedocument.spreadsheetml.sheet";

// Throws Failure when the desktop has no application for .xlsx files
// (xdg-mime knows no default for the type), since nobody could then see the
// workbook.
void requireSpreadsheetApplication();

// Removes what earlier workbook exports left in the temporary folder: the
// private folders (PrivateFolder.h) handed over to the spreadsheet program,
// and in each only the workbook this program wrote, while it is still
// read-only; then the folder, when nothing else is left in it. Files of the
// user's (a workbook saved beside ours, or over it) and their folders stay.
// Folders still in use are left alone: a spreadsheet program's lock file
// beside the workbook, a file in it that some process holds open, a process
// working in it, or anything changed in the last two minutes. Runs at
// start-up and whenever workbooks are published.
void removeUnusedWorkbookFolders(const QByteArray &temporaryFolder);

// A new workbook, written into a new private folder of the temporary folder
// while it is filled, row by row; show() completes it, sweeps the folders of
// earlier ones and opens it with "xdg-open". One that is never shown leaves
// nothing behind.
[[nodiscard]] std::unique_ptr<WorkbookExport> makeShownWorkbook(Shell &shell);

// The desktop's spreadsheet program: requireSpreadsheetApplication() and
// makeShownWorkbook().
class DesktopSpreadsheets : public Spreadsheets {
public:
    explicit DesktopSpreadsheets(Shell &shell)
        : m_shell(shell)
    {
    }
    void require() override { requireSpreadsheetApplication(); }
    std::unique_ptr<WorkbookExport> newWorkbook() override { return makeShownWorkbook(m_shell); }

private:
    Shell &m_shell;
};

} // namespace quarrelby
