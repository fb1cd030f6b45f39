#include "export/ExcelExport.h"

#include "core/ErrorTrap.h"
#include "core/FormContext.h"
#include "core/MousePointer.h"
#include "core/ObjectReference.h"
#include "core/ResultList.h"
#include "platform/ExcelObject.h"
#include "platform/Shell.h"

#include <memory>

namespace quarrelby {

namespace {

const QString kExcelProgId = QStringLiteral("Excel.Application");

} // namespace

bool SaveResultsAsExcelFileIsExcelInstalled(FormContext &form)
{
    bool result = true;
    bool failed = false;
    bool obtained = false;
    try {
        // Released at once: the probe only asks whether one can be made.
        obtained = form.automation.create<ExcelObject>(kExcelProgId) != nullptr;
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

// Lines 118 to 134: the column headers in the first row, each column fitted.
template <class ActiveSheet> void writeHeaderRow(FormContext &form, ErrorTrap &trap, const ActiveSheet &activeSheet)
{
    const ResultList &list = form.list;
    int column = 0;
    trap(118, [&] { column = 1; });
    int headers = 0;
    trap(120, [&] { headers = list.headerCount(); });
    for (int c = 1; c <= headers; ++c) {
        trap(122, [&] { form.shell.yield(); });
        if (trap.test(124, [&] { return c == 1; })) {
            trap(126, [&] { object(activeSheet()).put(u"cells", {1, column}, list.columnText(c)); });
            trap(128, [&] { ++column; });
        } else {
            trap(130, [&] { object(activeSheet()).put(u"cells", {1, column}, list.columnText(c)); });
            trap(132, [&] { ++column; });
        }
        trap(134, [&] { object(object(activeSheet()).invoke(u"Columns", {c})).invoke(u"Autofit"); });
    }
}

} // namespace

void PushButton1_Click(FormContext &form)
{
    ErrorTrap trap(form.shell, QStringLiteral("Form1.PushButton1_Click"));
    ResultList &list = form.list;

    // The references are released when the handler ends, the application
    // last; the workbook stays open in the user's hands.
    std::unique_ptr<ExcelObject> application;
    ExcelObject::Ref workbook;
    // Asked for afresh at every use: the user may switch sheets meanwhile.
    auto activeSheet = [&] { return object(workbook).invoke(u"ActiveSheet"); };

    if (trap.test(100, [&] { return !SaveResultsAsExcelFileIsExcelInstalled(form); })) {
        trap(172, [&] { form.shell.message(QString::fromLatin1(kExcelMissingMessage)); });
        return;
    }

    trap(108, [&] { form.pointer.setValue(MousePointer::Hourglass); });
    if (!trap.test(110, [&] { return list.itemCount() <= 0; })) {
        trap(112, [&] { application = form.automation.create<ExcelObject>(kExcelProgId); });
        trap(114, [&] { workbook = object(object(application).invoke(u"Workbooks")).invoke(u"add"); });
        // Shown before the first cell, so that the user watches the sheet fill.
        trap(116, [&] { object(application).put(u"Visible", {}, true); });

        writeHeaderRow(form, trap, activeSheet);

        int column = 0;
        int row = 0;
        trap(138, [&] { row = 2; });
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
                trap(146, [&] { column = 1; });
                int cells = 0;
                trap(148, [&] { cells = list.headerCount(); });
                for (int c = 1; c <= cells; ++c) {
                    trap(150, [&] { form.shell.yield(); });
                    if (trap.test(152, [&] { return c == 1; })) {
                        trap(154, [&] {
                            object(object(activeSheet()).invoke(u"cells", {row, column}))
                                .put(u"Value", {}, list.text(r));
                        });
                        trap(156, [&] { ++column; });
                    } else {
                        // Every value is a text cell, so "=" is kept: no value can be
                        // taken for a formula.
                        trap(158, [&] {
                            object(object(activeSheet()).invoke(u"cells", {row, column}))
                                .put(u"Value", {}, list.subItem(r, c - 1));
                        });
                        trap(160, [&] { ++column; });
                    }
                    if (rowGone(r))
                        break;
                }
                if (rowGone(r))
                    break;
            }
            trap(164, [&] { ++row; });
        }

        trap(168, [&] { object(object(activeSheet()).invoke(u"Columns")).invoke(u"Autofit"); });
    }
    trap(170, [&] { form.pointer.setValue(MousePointer::Default); });
}

} // namespace quarrelby
