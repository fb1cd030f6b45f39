#include "export/SaveList.h"

#include "core/ErrorTrap.h"
#include "core/FormContext.h"
#include "core/ResultList.h"
#include "platform/Failure.h"
#include "platform/Shell.h"
#include "platform/TextFileWriter.h"

namespace quarrelby {

namespace {

constexpr quint32 kSaveFlags = 0x280201;

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

void saveEncoded(TextFileWriter &files, const ResultList &list, quint64 revision, const QString &path,
    const std::function<void(const ByteSink &sink)> &encode)
{
    auto file = files.create(path);
    encode([&file](QByteArrayView bytes) { file->write(bytes); });
    if (list.rowsRevision() != revision)
        throw Failure(QStringLiteral("The list changed while it was being saved; the file was not saved."));
    file->commit();
}

void SaveListAsText(Shell &shell, TextFileWriter &files, const ResultList &list, const QString &path)
{
    const quint64 revision = list.rowsRevision();
    const std::vector<int> widths = measureColumnWidths(list, shell, CountHeaders::Yes);
    saveEncoded(
        files, list, revision, path, [&](const ByteSink &sink) { encodeAlignedText(list, widths, shell, sink); });
}

TextFileWriter &fileWriter(const FormContext &form)
{
    if (!form.files)
        throw Failure(QStringLiteral("No file can be written here."));
    return *form.files;
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
    trap(128, [&] { SaveListAsText(form.shell, fileWriter(form), form.list, path); });
}

} // namespace quarrelby
