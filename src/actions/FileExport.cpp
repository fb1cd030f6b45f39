#include "actions/FileExport.h"

#include "core/ReportNames.h"
#include "core/ResultList.h"
#include "core/Steps.h"
#include "platform/Failure.h"
#include "platform/Shell.h"
#include "platform/TextFileWriter.h"

namespace quarrelby {

QString askForFileName(DialogService &shell, Steps &steps)
{
    // The same text-file filters for both exports, and no default suffix: a
    // name typed without one is used as typed.
    const SaveDialogSettings dialog {
        QStringLiteral("Save"), {QStringLiteral("Text Files (*.txt)"), QStringLiteral("All Files (*)")}};
    return askForFileName(shell, steps, dialog, reports::askFileName::showDialog);
}

QString askForFileName(DialogService &shell, Steps &steps, const SaveDialogSettings &dialog, int line)
{
    QString path;
    steps(line, [&] { path = shell.showSave(dialog); });
    return path;
}

void requireUnchanged(const ResultList &list, quint64 revision)
{
    if (list.rowsRevision() != revision)
        throw Failure(QStringLiteral("The list changed while it was being saved; the file was not saved."));
}

QString overwriteQuestion(const QString &path)
{
    return QLatin1String("Are you sure you wish to overwrite ") + path + QLatin1String(" ?");
}

void saveEncoded(TextFileWriter &files, const ResultList &list, quint64 revision, const QString &path,
    const std::function<void(const ByteSink &sink)> &encode)
{
    auto file = files.create(path);
    encode([&file](QByteArrayView bytes) { file->write(bytes); });
    requireUnchanged(list, revision);
    file->commit();
}

} // namespace quarrelby
