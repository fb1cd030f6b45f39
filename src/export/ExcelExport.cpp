#include "export/ExcelExport.h"

#include "core/ErrorTrap.h"
#include "core/FormContext.h"
#include "core/MousePointer.h"
#include "core/ObjectReference.h"
#include "core/ResultList.h"
#include "platform/Shell.h"
#include "platform/WorkbookExport.h"

#include <memory>

namespace quarrelby {

bool SaveResultsAsExcelFileIsExcelInstalled(FormContext &form)
{
    bool result = true;
    bool failed = false;
    bool obtained = false;
    try {
        object(form.spreadsheets).require();
        obtained = true;
    } catch (...) {
        failed = true;
    }
    if (!obtained) {
        try {
            form.shell.message(QString::fromLatin1(kExcelMissingProbeMessage));
        } catch (...) {
            failed = true;
        }
    }
    if (failed)
        result = false;
    return result;
}

namespace {

// Lines 118 to 134: the column headers in the first row. The columns are
// fitted to their text when the workbook is released.
void writeHeaderRow(FormContext &form, ErrorTrap &trap, const std::unique_ptr<WorkbookExport> &workbook)
{
    const ResultList &list = form.list;
    int column = 1;
    int headers = 0;
    trap(120, [&] { headers = list.headerCount(); });
    for (int c = 1; c <= headers; ++c) {
        trap(122, [&] { form.shell.yield(); });
        // The first header has a line of its own, so that a failure there is
        // reported at it.
        if (trap.test(124, [&] { return c == 1; }))
            trap(126, [&] { object(workbook).setCell(1, column, list.columnText(c)); });
        else
            trap(130, [&] { object(workbook).setCell(1, column, list.columnText(c)); });
        ++column;
    }
}

} // namespace

void PushButton1_Click(FormContext &form)
{
    ErrorTrap trap(form.shell, QStringLiteral("Form1.PushButton1_Click"));
    ResultList &list = form.list;

    // Released when the handler ends: the workbook is then handed to the
    // spreadsheet program and stays open in the user's hands.
    std::unique_ptr<WorkbookExport> workbook;

    if (trap.test(100, [&] { return !SaveResultsAsExcelFileIsExcelInstalled(form); })) {
        trap(172, [&] { form.shell.message(QString::fromLatin1(kExcelMissingMessage)); });
        return;
    }

    trap(108, [&] { form.pointer.setValue(MousePointer::Hourglass); });
    if (!trap.test(110, [&] { return list.itemCount() <= 0; })) {
        // Shown before the first cell, so that the user watches the sheet fill.
        trap(112, [&] { workbook = object(form.spreadsheets).newWorkbook(); });

        writeHeaderRow(form, trap, workbook);

        int row = 2;
        int rows = 0;
        trap(140, [&] { rows = list.itemCount(); });
        // A row that is gone means the list changed under the export (a
        // nested extraction found fewer contacts): report that once and stop,
        // rather than once for every cell that is left, which on a large
        // list is more boxes than anyone can click away.
        auto rowGone = [&](int r) { return r > list.itemCount(); };
        for (int r = 1; r <= rows; ++r) {
            trap(142, [&] { form.shell.yield(); });
            const bool ticked = trap.test(144, [&] { return list.checked(r); });
            if (rowGone(r))
                break;
            if (ticked) {
                int column = 1;
                int cells = 0;
                trap(148, [&] { cells = list.headerCount(); });
                for (int c = 1; c <= cells; ++c) {
                    trap(150, [&] { form.shell.yield(); });
                    // Every value is a text cell, so "=" is kept: no value can
                    // be taken for a formula.
                    if (trap.test(152, [&] { return c == 1; }))
                        trap(154, [&] { object(workbook).setCell(row, column, list.text(r)); });
                    else
                        trap(158, [&] { object(workbook).setCell(row, column, list.subItem(r, c - 1)); });
                    ++column;
                    if (rowGone(r))
                        break;
                }
                if (rowGone(r))
                    break;
            }
            ++row;
        }
    }
    trap(170, [&] { form.pointer.setValue(MousePointer::Default); });
}

} // namespace quarrelby
