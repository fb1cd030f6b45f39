#pragma once

#include <QString>

namespace quarrelby {

class ResultList;
class Shell;
class TextFileWriter;
struct FormContext;

// "Save As Comma Delimited".
void PushButton4_Click(FormContext &form);

// Asks before replacing an existing file, then writes every row, ticked or
// not. Failures pass to the caller.
void SaveListAsCommaDelimited(Shell &shell, TextFileWriter &files, const ResultList &list, const QString &path);

} // namespace quarrelby
