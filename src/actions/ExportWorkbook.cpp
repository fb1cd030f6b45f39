#include "actions/ExportWorkbook.h"

#include "core/ActionContext.h"
#include "core/BusyState.h"
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
bool haveSpreadsheets(Spreadsheets &spreadsheets, DialogService &shell)
{
    try {
        spreadsheets.require();
        return true;
    } catch (...) {
    }
    try {
        shell.message(QString::fromLatin1(kExcelMissingProbeMessage));
    } catch (...) {
    }
    return false;
}

// The column headers in the first row. The columns are fitted to their text
// when the workbook is released.
void writeHeaderRow(ActionContext &context, Steps &steps, WorkbookExport &workbook)
{
    using namespace reports::exportWorkbook;
    const ResultList &list = context.list;
    const int headers = list.headerCount();
    for (int c = 1; c <= headers; ++c) {
        context.shell.yield();
        // The first header has a line of its own in the reports.
        steps(c == 1 ? firstHeader : header, [&] { workbook.setCell(1, c, list.columnText(c)); });
    }
}

// The ticked rows, sheet row r + 1 for list row r. A row that is gone means
// the list changed under the export (a nested extraction found fewer
// contacts): every cell left would fail alike, so the rows end there.
void writeTickedRows(ActionContext &context, Steps &steps, WorkbookExport &workbook)
{
    using namespace reports::exportWorkbook;
    const ResultList &list = context.list;
    const int rows = list.itemCount();
    const auto rowGone = [&](int r) { return r > list.itemCount(); };
    for (int r = 1; r <= rows; ++r) {
        context.shell.yield();
        const bool ticked = steps.holdsOrFailed(rowTicked, [&] { return list.checked(r); });
        if (rowGone(r))
            return;
        if (!ticked)
            continue;
        const int cells = list.headerCount();
        for (int c = 1; c <= cells; ++c) {
            context.shell.yield();
            // Every value is a text cell, so "=" is kept: no value can be
            // taken for a formula.
            steps(c == 1 ? firstCell : cell, [&] { workbook.setCell(r + 1, c, list.cell(r, c)); });
            if (rowGone(r))
                return;
        }
    }
}

} // namespace

void exportWorkbook(ActionContext &context, Spreadsheets &spreadsheets)
{
    using namespace reports::exportWorkbook;
    Steps steps(context.shell, place);
    if (!haveSpreadsheets(spreadsheets, context.shell)) {
        steps(noSpreadsheets, [&] { context.shell.message(QString::fromLatin1(kExcelMissingMessage)); });
        return;
    }
    const BusyState::Scope busy(context.busy);
    if (context.list.itemCount() <= 0)
        return;
    // Made before the first cell, so that the user watches the sheet fill.
    // Released when the action ends: the workbook is then handed to the
    // spreadsheet program and stays open in the user's hands.
    std::unique_ptr<WorkbookExport> workbook;
    // Without a workbook every cell would fail alike: one report ends it.
    if (!steps(newWorkbook, [&] { workbook = spreadsheets.newWorkbook(); }))
        return;
    writeHeaderRow(context, steps, *workbook);
    writeTickedRows(context, steps, *workbook);
}

} // namespace quarrelby
