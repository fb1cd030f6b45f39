#include "actions/SaveAsTextFile.h"

#include "actions/FileExport.h"
#include "core/ActionContext.h"
#include "core/ReportNames.h"
#include "core/ResultList.h"
#include "core/Steps.h"
#include "core/TableEncoders.h"
#include "platform/Shell.h"

namespace quarrelby {

void writeAlignedText(Shell &shell, TextFileWriter &files, const ResultList &list, const QString &path)
{
    const quint64 revision = list.rowsRevision();
    const std::vector<int> widths = measureColumnWidths(list, shell, CountHeaders::Yes);
    saveEncoded(
        files, list, revision, path, [&](const ByteSink &sink) { encodeAlignedText(list, widths, shell, sink); });
}

void saveAsTextFile(ActionContext &context, TextFileWriter &files)
{
    using namespace reports::saveAsText;
    Steps steps(context.shell, place);
    const QString path = askForFileName(context.shell, steps);
    if (path.isEmpty())
        return;
    // A question that fails to show counts as No.
    MessageAnswer answer = MessageAnswer::Yes;
    if (context.shell.fileExists(path)) {
        answer = MessageAnswer::No;
        steps(askOverwrite, [&] { answer = context.shell.question(overwriteQuestion(path)); });
    }
    if (answer != MessageAnswer::Yes)
        return;
    steps(save, [&] { writeAlignedText(context.shell, files, context.list, path); });
}

} // namespace quarrelby
