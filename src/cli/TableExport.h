#pragma once

#include <QString>

namespace quarrelby {

class ContactStore;
class Output;
struct FoundBooks;

enum class TableFormat { Text, Csv, Xlsx };

// Writes the table of every contact of the books as the window writes it
// with every row ticked: text as "Save Results As Text File", csv as "Save
// As Comma Delimited", xlsx with the cells of the workbook it shows. text
// and csv go to standard output when output is empty; xlsx needs a file. A
// book that cannot be read is told on standard error and the others are
// written. The output is opened before the first book is read, and the new
// table put in its place once complete (Output.h). Returns the exit status.
[[nodiscard]] int exportTable(ContactStore &store, FoundBooks books, TableFormat format, Output &output);

} // namespace quarrelby
