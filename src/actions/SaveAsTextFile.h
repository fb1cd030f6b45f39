#pragma once

#include <QString>

namespace quarrelby {

class Shell;
class ResultList;
class TextFileWriter;
struct ActionContext;

// "Save Results As Text File".
void saveAsTextFile(ActionContext &context, TextFileWriter &files);

// Writes the list as a column-aligned text file: every column padded to its
// widest text, header or cell of any row (ticked or not), each cell followed
// by a TAB; the header line, then one line per ticked row. Replaces an
// existing file without asking. Failures pass to the caller.
void writeAlignedText(Shell &shell, TextFileWriter &files, const ResultList &list, const QString &path);

} // namespace quarrelby
