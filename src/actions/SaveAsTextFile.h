#pragma once

#include "core/TableEncoders.h"

#include <QString>

#include <functional>

namespace quarrelby {

class DialogService;
class ResultList;
class Shell;
class Steps;
class TextFileWriter;
struct ActionContext;

// "Save Results As Text File".
void saveAsTextFile(ActionContext &context);

// Writes the list as a column-aligned text file: every column padded to its
// widest text, header or cell of any row (ticked or not), each cell followed
// by a TAB; the header line, then one line per ticked row. Replaces an
// existing file without asking. Failures pass to the caller.
void writeAlignedText(Shell &shell, TextFileWriter &files, const ResultList &list, const QString &path);

// The save dialog as both file exports set it up, shown under the caller's
// steps. Empty when the user cancelled.
[[nodiscard]] QString askForTextFileName(DialogService &shell, Steps &steps);

// The context's file writer; throws Failure when it has none.
[[nodiscard]] TextFileWriter &fileWriter(const ActionContext &context);

[[nodiscard]] QString overwriteQuestion(const QString &path);

// Writes the bytes encode hands to its sink into a new file at path, and
// puts it in place only when the list still has the rows it had at the given
// revision (throws Failure otherwise): a file holding a mix of two lists, or
// only some of the rows the user ticked, must not replace the user's file.
void saveEncoded(TextFileWriter &files, const ResultList &list, quint64 revision, const QString &path,
    const std::function<void(const ByteSink &sink)> &encode);

} // namespace quarrelby
