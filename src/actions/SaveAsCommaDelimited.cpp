#include "actions/SaveAsCommaDelimited.h"

#include "actions/FileExport.h"
#include "core/ActionContext.h"
#include "core/BusyState.h"
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

void saveAsCommaDelimited(ActionContext &context, TextFileWriter &files)
{
    using namespace reports::saveAsCommaDelimited;
    Steps steps(context.shell, place);
    const QString path = askForFileName(context.shell, steps);
    if (path.isEmpty())
        return;
    const BusyState::Scope busy(context.busy);
    steps(save, [&] { writeCommaDelimited(context.shell, files, context.list, path); });
}

} // namespace quarrelby
