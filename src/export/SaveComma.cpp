#include "export/SaveComma.h"

#include "core/ErrorTrap.h"
#include "core/FormContext.h"
#include "core/MousePointer.h"
#include "core/ResultList.h"
#include "core/TableEncoders.h"
#include "export/SaveList.h"
#include "platform/Shell.h"

namespace quarrelby {

void SaveListAsCommaDelimited(Shell &shell, TextFileWriter &files, const ResultList &list, const QString &path)
{
    MessageAnswer answer = MessageAnswer::Yes;
    if (FileExists(shell, path))
        answer = shell.question(overwriteQuestion(path));
    if (answer != MessageAnswer::Yes)
        return;
    saveEncoded(
        files, list, list.rowsRevision(), path, [&](const ByteSink &sink) { encodeCommaDelimited(list, shell, sink); });
}

void PushButton4_Click(FormContext &form)
{
    ErrorTrap trap(form.shell, QStringLiteral("Form1.PushButton4_Click"));
    const QString path = askForTextFileName(form.shell, trap);
    if (trap.test(118, [&] { return path.isEmpty(); }))
        return;
    trap(120, [&] { form.pointer.setValue(MousePointer::Hourglass); });
    trap(122, [&] { SaveListAsCommaDelimited(form.shell, fileWriter(form), form.list, path); });
    trap(124, [&] { form.pointer.setValue(MousePointer::Default); });
}

} // namespace quarrelby
