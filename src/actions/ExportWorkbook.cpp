#include "actions/ExportWorkbook.h"

#include "core/ActionContext.h"
#include "core/BusyState.h"
#include "core/ReportNames.h"
#include "core/ResultList.h"
#include "core/Steps.h"
#include "platform/Failure.h"
#include "platform/Shell.h"
#include "platform/WorkbookExport.h"

#include <memory>
#include <new>

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
// when the workbook is shown.
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

// Completes the workbook and hands it to the spreadsheet program. A failure
// there is told in a box of its own, as the spreadsheet program would tell
// it, not as an error of one of the export's steps. Never throws.
void showWorkbook(DialogService &shell, WorkbookExport &workbook)
{
    QString failure;
    try {
        workbook.show();
        return;
    } catch (const Failure &error) {
        failure = error.description();
    } catch (const std::bad_alloc &) {
        failure = QStringLiteral("The workbook could not be written: out of memory.");
    } catch (...) {
        failure = QStringLiteral("The workbook could not be written.");
    }
    try {
        shell.messageBox(
            {failure, shell.applicationTitle(), MessageButtons::Ok, MessageIcon::Exclamation, MessageAnswer::Ok});
    } catch (...) {
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
    std::unique_ptr<WorkbookExport> workbook;
    // Without a workbook every cell would fail alike: one report ends it.
    if (!steps(newWorkbook, [&] { workbook = spreadsheets.newWorkbook(); }))
        return;
    writeHeaderRow(context, steps, *workbook);
    writeTickedRows(context, steps, *workbook);
    // Also after rows that went away: the user gets what was written.
    showWorkbook(context.shell, *workbook);
}

} // namespace quarrelby
