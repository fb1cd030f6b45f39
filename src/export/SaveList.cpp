#include "export/SaveList.h"

#include "core/ErrorTrap.h"
#include "core/FormContext.h"
#include "core/ResultList.h"
#include "export/ColumnWidths.h"
#include "export/EncodedLines.h"
#include "platform/Automation.h"
#include "platform/FileSystemObject.h"
#include "platform/Shell.h"

namespace quarrelby {

namespace {

constexpr quint32 kSaveFlags = 0x280201;

// The widths were measured before the first yield; a list that grew columns
// since then has no width for them.
[[noreturn]] void subscriptOutOfRange()
{
    throw AutomationError(QStringLiteral("Subscript out of range"));
}

inline int widthOf(const std::vector<int> &widths, int k)
{
    if (k < 1 || static_cast<size_t>(k) > widths.size()) [[unlikely]]
        subscriptOutOfRange();
    return widths[static_cast<size_t>(k - 1)];
}

void appendPadded(EncodedLines &lines, QStringView text, int width)
{
    lines.append(text);
    lines.appendSpaces(width - text.size());
    lines.append('\t');
}

} // namespace

QString overwriteQuestion(const QString &path)
{
    return QLatin1String("Are you sure you wish to overwrite ") + path + QLatin1String(" ?");
}

QString askForTextFileName(DialogService &shell, ErrorTrap &trap)
{
    SaveDialogSettings dialog;
    QString path;
    trap(106, [&] { dialog.fileName.clear(); });
    trap(108, [&] { dialog.flags = kSaveFlags; });
    trap(110, [&] { dialog.title = QStringLiteral("Save"); });
    trap(112, [&] { dialog.filter = QStringLiteral("Text Files (*.txt)|*.txt|All Files (*.*)|*.*|"); });
    trap(114, [&] { dialog.fileName = shell.showSave(dialog); });
    trap(116, [&] { path = dialog.fileName; });
    return path;
}

void writeTextLines(const ResultList &list, const std::vector<int> &widths, TextStream &stream, EventLoopService &shell)
{
    EncodedLines lines(stream);
    const int headers = list.headerCount();
    for (int k = 1; k <= headers; ++k) {
        shell.yield();
        appendPadded(lines, list.columnText(k), widthOf(widths, k));
    }
    lines.endLine();

    const int rows = list.itemCount();
    for (int r = 1; r <= rows; ++r) {
        shell.yield();
        if (!list.checked(r))
            continue;
        const int columns = list.headerCount();
        for (int k = 1; k <= columns; ++k) {
            shell.yield();
            appendPadded(lines, list.cellView(r, k), widthOf(widths, k));
        }
        lines.endLine();
    }
    lines.flush();
}

void requireSameRows(const ResultList &list, quint64 revision)
{
    if (list.rowsRevision() != revision)
        throw AutomationError(QStringLiteral("The list changed while it was being saved; the file was not saved."));
}

void SaveListAsText(Shell &shell, AutomationFactory &automation, const ResultList &list, const QString &path)
{
    const quint64 revision = list.rowsRevision();
    const std::vector<int> widths = measureColumnWidths(list, shell, CountHeaders::Yes);
    auto files = automation.create<FileSystemObject>(QStringLiteral("Scripting.FileSystemObject"));
    auto stream = files->CreateTextFile(path, true);
    writeTextLines(list, widths, *stream, shell);
    requireSameRows(list, revision);
    stream->Close();
}

void PushButton6_Click(FormContext &form)
{
    ErrorTrap trap(form.shell, QStringLiteral("Form1.PushButton6_Click"));
    const QString path = askForTextFileName(form.shell, trap);
    if (trap.test(118, [&] { return path.isEmpty(); }))
        return;
    MessageAnswer answer = MessageAnswer::No;
    if (trap.test(120, [&] { return FileExists(form.shell, path); }))
        trap(122, [&] { answer = form.shell.question(overwriteQuestion(path)); });
    else
        trap(124, [&] { answer = MessageAnswer::Yes; });
    if (trap.test(126, [&] { return answer != MessageAnswer::Yes; }))
        return;
    trap(128, [&] { SaveListAsText(form.shell, form.automation, form.list, path); });
}

} // namespace quarrelby
