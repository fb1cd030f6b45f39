#pragma once

#include "platform/ExcelObject.h"

#include <QList>
#include <QMap>
#include <QSet>
#include <QString>
#include <QStringList>

#include <utility>

namespace quarrelby::test {

// What the recording "Excel.Application" saw. Calls are recorded as
//   Application.Workbooks, Workbooks.add, Application.Visible=true,
//   Workbook.ActiveSheet, Sheet.cells(1,2)=text (a header assignment),
//   Sheet.cells(2,1) then Cell(2,1).Value=text, Sheet.Columns(3) then
//   Columns(3).Autofit, Sheet.Columns then Columns.Autofit,
// with member names spelled as the caller wrote them.
struct RecordingExcelData {
    bool failCreate = false;
    // Calls (as recorded, without "=value") that throw instead of acting.
    QSet<QString> failing;

    QStringList calls;
    QMap<std::pair<int, int>, QString> cells; // (row, column) -> text
    int created = 0;
    int released = 0;
    bool visible = false;
};

// Registers "Excel.Application" over data (which must outlive the factory).
void registerRecordingExcel(AutomationFactory &automation, RecordingExcelData &data);

} // namespace quarrelby::test
