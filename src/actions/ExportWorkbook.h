#pragma once

namespace quarrelby {

class Spreadsheets;
struct ActionContext;

inline constexpr char kExcelMissingProbeMessage[]
    = "Excel is not installed on this computer. You need to have it installed to use this software without error.";
inline constexpr char kExcelMissingMessage[]
    = "Excel is not installed on this computer. You need to have it installed to use this feature.";

// "Save Results As Excel File": the header row and the ticked rows into a new
// workbook that is left open for the user. The sheet's row 1 holds the
// headers; every row of the list has the sheet row below, ticked or not.
void exportWorkbook(ActionContext &context, Spreadsheets &spreadsheets);

} // namespace quarrelby
