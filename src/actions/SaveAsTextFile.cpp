#include "actions/SaveAsTextFile.h"

#include "core/ActionContext.h"
#include "core/ReportNames.h"
#include "core/ResultList.h"
#include "core/Steps.h"
#include "platform/Failure.h"
#include "platform/Shell.h"
#include "platform/TextFileWriter.h"

namespace quarrelby {

constexpr quint32 kSaveFlags = 0x280201;

QString overwriteQuestion(const QString &path)
{
    return QLatin1String("Are you sure you wish to overwrite ") + path + QLatin1String(" ?");
}

QString askForTextFileName(DialogService &shell, Steps &steps)
{
    const SaveDialogSettings dialog {
        {}, kSaveFlags, QStringLiteral("Save"), QStringLiteral("Text Files (*.txt)|*.txt|All Files (*.*)|*.*|")};
    QString path;
    steps(steps::askFileName::showDialog, [&] { path = shell.showSave(dialog); });
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

void writeAlignedText(Shell &shell, TextFileWriter &files, const ResultList &list, const QString &path)
{
    const quint64 revision = list.rowsRevision();
    const std::vector<int> widths = measureColumnWidths(list, shell, CountHeaders::Yes);
    saveEncoded(
        files, list, revision, path, [&](const ByteSink &sink) { encodeAlignedText(list, widths, shell, sink); });
}

TextFileWriter &fileWriter(const ActionContext &context)
{
    if (!context.files)
        throw Failure(QStringLiteral("No file can be written here."));
    return *context.files;
}

void saveAsTextFile(ActionContext &context)
{
    using namespace steps::saveAsText;
    Steps steps(context.shell, reportName(Action::SaveAsText));
    const QString path = askForTextFileName(context.shell, steps);
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
    steps(save, [&] { writeAlignedText(context.shell, fileWriter(context), context.list, path); });
}

} // namespace quarrelby
