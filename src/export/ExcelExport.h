#pragma once

namespace quarrelby {

struct FormContext;

inline constexpr char kExcelMissingProbeMessage[]
    = "Excel is not installed on this computer. You need to have it installed to use this software without error.";
inline constexpr char kExcelMissingMessage[]
    = "Excel is not installed on this computer. You need to have it installed to use this feature.";

// True when there is a spreadsheet program to show a workbook in; tells the
// user when there is none. Never throws.
[[nodiscard]] bool SaveResultsAsExcelFileIsExcelInstalled(FormContext &form);

// "Save Results As Excel File": the header row and the ticked rows into a new
// workbook that is left open for the user. Sheet row r + 1 belongs to list
// row r, ticked or not.
void PushButton1_Click(FormContext &form);

} // namespace quarrelby
