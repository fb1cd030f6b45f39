#include "actions/SaveAsCommaDelimited.h"

#include "actions/SaveAsTextFile.h"
#include "core/ActionContext.h"
#include "core/MousePointer.h"
#include "core/ReportNames.h"
#include "core/ResultList.h"
#include "core/Steps.h"
#include "core/TableEncoders.h"
#include "platform/Shell.h"

namespace quarrelby {

void writeCommaDelimited(Shell &shell, TextFileWriter &files, const ResultList &list, const QString &path)
{
    if (shell.fileExists(path) && shell.question(overwriteQuestion(path)) != MessageAnswer::Yes)
        return;
    saveEncoded(
        files, list, list.rowsRevision(), path, [&](const ByteSink &sink) { encodeCommaDelimited(list, shell, sink); });
}

void saveAsCommaDelimited(ActionContext &context)
{
    Steps steps(context.shell, reportName(Action::SaveAsCommaDelimited));
    const QString path = askForTextFileName(context.shell, steps);
    if (path.isEmpty())
        return;
    context.pointer.setValue(MousePointer::Hourglass);
    steps(steps::saveAsCommaDelimited::save,
        [&] { writeCommaDelimited(context.shell, fileWriter(context), context.list, path); });
    context.pointer.setValue(MousePointer::Default);
}

} // namespace quarrelby
