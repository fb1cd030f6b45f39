#pragma once

#include <QString>

namespace quarrelby {

class AddressBooks;

enum class TableFormat { Text, Csv, Xlsx };

// Writes the table of every contact of the books as the window writes it
// with every row ticked: text as "Save Results As Text File", csv as "Save
// As Comma Delimited", xlsx with the cells of the workbook it shows. text
// and csv go to standard output when output is empty; xlsx needs a file. A
// book that cannot be read is told on standard error and the others are
// written. Returns the exit status.
[[nodiscard]] int exportTable(AddressBooks &books, TableFormat format, const QString &output);

} // namespace quarrelby
