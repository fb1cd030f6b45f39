#include "actions/ExportWorkbook.h"

#include "core/ActionContext.h"
#include "core/MousePointer.h"
#include "core/ObjectReference.h"
#include "core/ReportNames.h"
#include "core/ResultList.h"
#include "core/Steps.h"
#include "platform/Shell.h"
#include "platform/WorkbookExport.h"

#include <memory>

namespace quarrelby {

namespace {

// True when there is a spreadsheet program to show a workbook in; tells the
// user when there is none. Never throws.
bool haveSpreadsheets(ActionContext &context)
{
    try {
        object(context.spreadsheets).require();
        return true;
    } catch (...) {
    }
    try {
        context.shell.message(QString::fromLatin1(kExcelMissingProbeMessage));
    } catch (...) {
    }
    return false;
}

// The column headers in the first row. The columns are fitted to their text
// when the workbook is released.
void writeHeaderRow(ActionContext &context, Steps &steps, const std::unique_ptr<WorkbookExport> &workbook)
{
    using namespace steps::exportWorkbook;
    const ResultList &list = context.list;
    const int headers = list.headerCount();
    for (int c = 1; c <= headers; ++c) {
        context.shell.yield();
        // The first header has a line of its own in the reports.
        steps(c == 1 ? firstHeader : header, [&] { object(workbook).setCell(1, c, list.columnText(c)); });
    }
}

// The ticked rows, sheet row r + 1 for list row r. A row that is gone means
// the list changed under the export (a nested extraction found fewer
// contacts): that is reported once and the rows end there, rather than once
// for every cell that is left, which on a large list is more boxes than anyone
// can click away.
void writeTickedRows(ActionContext &context, Steps &steps, const std::unique_ptr<WorkbookExport> &workbook)
{
    using namespace steps::exportWorkbook;
    const ResultList &list = context.list;
    const int rows = list.itemCount();
    const auto rowGone = [&](int r) { return r > list.itemCount(); };
    for (int r = 1; r <= rows; ++r) {
        context.shell.yield();
        const bool ticked = steps.test(rowTicked, [&] { return list.checked(r); });
        if (rowGone(r))
            return;
        if (!ticked)
            continue;
        const int cells = list.headerCount();
        for (int c = 1; c <= cells; ++c) {
            context.shell.yield();
            // Every value is a text cell, so "=" is kept: no value can be
            // taken for a formula.
            steps(c == 1 ? firstCell : cell, [&] { object(workbook).setCell(r + 1, c, list.cell(r, c)); });
            if (rowGone(r))
                return;
        }
    }
}

} // namespace

void exportWorkbook(ActionContext &context)
{
    using namespace steps::exportWorkbook;
    Steps steps(context.shell, reportName(Action::ExportWorkbook));
    // Released when the action ends: the workbook is then handed to the
    // spreadsheet program and stays open in the user's hands.
    std::unique_ptr<WorkbookExport> workbook;
    if (!haveSpreadsheets(context)) {
        steps(noSpreadsheets, [&] { context.shell.message(QString::fromLatin1(kExcelMissingMessage)); });
        return;
    }
    context.pointer.setValue(MousePointer::Hourglass);
    if (context.list.itemCount() > 0) {
        // Made before the first cell, so that the user watches the sheet fill.
        steps(newWorkbook, [&] { workbook = object(context.spreadsheets).newWorkbook(); });
        writeHeaderRow(context, steps, workbook);
        writeTickedRows(context, steps, workbook);
    }
    context.pointer.setValue(MousePointer::Default);
}

} // namespace quarrelby
