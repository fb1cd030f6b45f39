#pragma once

#include "core/TableEncoders.h"

#include <QString>

#include <functional>

namespace quarrelby {

class DialogService;
class ResultList;
struct SaveDialogSettings;
class Steps;
class TextFileWriter;

// What the text-file and the comma-delimited export share.

// The save dialog, shown under the caller's steps. Empty when the user
// cancelled.
[[nodiscard]] QString askForFileName(DialogService &shell, Steps &steps);
// The same with another title and filters, under the given line.
[[nodiscard]] QString askForFileName(DialogService &shell, Steps &steps, const SaveDialogSettings &dialog, int line);

[[nodiscard]] QString overwriteQuestion(const QString &path);

// Writes the bytes encode hands to its sink into a new file at path, and
// puts it in place only when the list still has the rows it had at the given
// revision (throws Failure otherwise): a file holding a mix of two lists, or
// only some of the rows the user ticked, must not replace the user's file.
// Throws Failure when the list no longer has the rows it had at revision.
void requireUnchanged(const ResultList &list, quint64 revision);

void saveEncoded(TextFileWriter &files, const ResultList &list, quint64 revision, const QString &path,
    const std::function<void(const ByteSink &sink)> &encode);

} // namespace quarrelby
