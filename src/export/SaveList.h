#pragma once

#include <QString>

#include <vector>

namespace quarrelby {

class AutomationFactory;
class ErrorTrap;
class ResultList;
class DialogService;
class EventLoopService;
class Shell;
class TextStream;
struct FormContext;

// "Save Results As Text File".
void PushButton6_Click(FormContext &form);

// Writes the list as a column-aligned text file: every column padded to its
// widest text, header or cell of any row (ticked or not), each cell followed
// by a TAB; the header line, then one line per ticked row. Replaces an
// existing file without asking. Failures pass to the caller.
void SaveListAsText(Shell &shell, AutomationFactory &automation, const ResultList &list, const QString &path);

// The header line and the ticked rows, padded to widths.
void writeTextLines(
    const ResultList &list, const std::vector<int> &widths, TextStream &stream, EventLoopService &shell);

// The save dialog as both file exports set it up, each setting under its own
// line of the caller's trap. Empty when the user cancelled.
[[nodiscard]] QString askForTextFileName(DialogService &shell, ErrorTrap &trap);

[[nodiscard]] QString overwriteQuestion(const QString &path);

// Throws AutomationError when rows were removed or replaced since the list
// had the given revision: the file would hold a mix of two lists, or only
// some of the rows the user ticked, so it must not replace the user's file.
void requireSameRows(const ResultList &list, quint64 revision);

} // namespace quarrelby
