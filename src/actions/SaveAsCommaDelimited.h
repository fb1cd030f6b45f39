#pragma once

#include <QString>

namespace quarrelby {

class ResultList;
class Shell;
class TextFileWriter;
struct ActionContext;

// "Save As Comma Delimited".
void saveAsCommaDelimited(ActionContext &context, TextFileWriter &files);

// Asks before replacing an existing file, then writes every row, ticked or
// not. Failures pass to the caller.
void writeCommaDelimited(Shell &shell, TextFileWriter &files, const ResultList &list, const QString &path);

} // namespace quarrelby
