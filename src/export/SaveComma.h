#pragma once

#include <QString>

namespace quarrelby {

class AutomationFactory;
class ResultList;
class EventLoopService;
class Shell;
class TextStream;
struct FormContext;

// "Save As Comma Delimited".
void PushButton4_Click(FormContext &form);

// Asks before replacing an existing file, then writes every row, ticked or
// not. Failures pass to the caller.
void SaveListAsCommaDelimited(Shell &shell, AutomationFactory &automation, const ResultList &list, const QString &path);

// The header line (with two or more columns) and one line per row.
void writeCommaLines(const ResultList &list, TextStream &stream, EventLoopService &shell);

// The value as one field: in double quotes, inner quotes doubled, when it
// holds a comma, a double quote, CR or LF (RFC 4180); as it is otherwise.
[[nodiscard]] QString commaField(const QString &value);

} // namespace quarrelby
