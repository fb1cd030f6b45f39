#include "platform/workbook/ShownWorkbook.h"

#include "platform/Failure.h"
#include "platform/PrivateFolder.h"
#include "platform/Shell.h"
#include "platform/workbook/XlsxWriter.h"

#include <QDir>
#include <QProcess>
#include <QSet>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <optional>
#include <vector>

namespace quarrelby {

namespace {

const QString kOpener = QStringLiteral("xdg-open");
constexpr char kPurpose[] = "workbook";
constexpr char kBookName[] = "Book1.xlsx";
// A folder this recent may still be in the making, or its workbook on its
// way into a spreadsheet program that is starting.
constexpr qint64 kFolderGraceSeconds = 120;

// A new workbook in a private folder of its own, shown when asked to.
class ShownWorkbook : public WorkbookExport {
public:
    explicit ShownWorkbook(Shell &shell);

    void setCell(int row, int column, const QString &text) override;
    void show() override;

private:
    Shell &m_shell;
    // The program's own folder: only what it wrote there goes, never the
    // folder's whole content, also when the program ends at once (the window
    // closed in the middle of an export) or by a signal. Declared before the
    // file, which it outlives; handed over to the spreadsheet program once
    // the workbook is shown.
    std::unique_ptr<PrivateFolder> m_folder;
    QString m_path;
    std::optional<WorkbookFile> m_file;
    // Why there is no file: told when the workbook is to be shown, once,
    // rather than at every cell.
    QString m_noFile;
};

ShownWorkbook::ShownWorkbook(Shell &shell)
    : m_shell(shell)
{
    try {
        m_folder = std::make_unique<PrivateFolder>(kPurpose);
        m_path = QFile::decodeName(m_folder->file(kBookName));
        m_file.emplace(m_path);
    } catch (const Failure &error) {
        m_folder.reset();
        m_noFile = QStringLiteral("No temporary folder could be made for the workbook: %1").arg(error.description());
    }
}

void ShownWorkbook::setCell(int row, int column, const QString &text)
{
    if (m_file)
        m_file->setCell(row, column, text);
}

void ShownWorkbook::show()
{
    if (!m_file)
        throw Failure(m_noFile);
    // Folders of earlier workbooks that the spreadsheet program has let go of.
    try {
        removeUnusedWorkbookFolders(temporaryFolder());
    } catch (const Failure &) {
        // No temporary folder: nothing of earlier ones either.
    }
    m_file->finish();
    // Read-only, the spreadsheet program opens it as a document that cannot
    // be saved where it is: a save asks for a name and a place. Only a help:
    // a temporary folder on a file system without modes (FAT) refuses it,
    // and the workbook is shown all the same.
    (void)QFile::setPermissions(m_path, QFileDevice::ReadOwner);
    // The spreadsheet program reads the file after this process has let go of
    // it; a later sweep removes it once nothing holds it open.
    m_folder->handOver();
    if (!m_shell.startDetached(kOpener, {m_path}))
        throw Failure(QStringLiteral("The workbook was written to %1, but \"%2\" could not be started to open it.")
                          .arg(QDir::toNativeSeparators(m_path), kOpener));
}

// The files that some process of this user holds open, and the folders
// processes work in, as /proc shows them.
QSet<QString> filesHeldOpen()
{
    QSet<QString> held;
    const QDir proc(QStringLiteral("/proc"));
    for (const QString &pid : proc.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        if (pid.isEmpty() || !pid.front().isDigit())
            continue;
        const QString cwd = QFile::symLinkTarget(proc.filePath(pid + QStringLiteral("/cwd")));
        if (!cwd.isEmpty())
            held.insert(cwd);
        const QDir fds(proc.filePath(pid + QStringLiteral("/fd")));
        for (const QString &fd : fds.entryList(QDir::System | QDir::Files | QDir::NoDotAndDotDot)) {
            const QString target = QFile::symLinkTarget(fds.filePath(fd));
            if (!target.isEmpty())
                held.insert(target);
        }
    }
    return held;
}

// A folder is in use while a spreadsheet program holds a workbook in it: its
// lock file lies beside the workbook, something in it changed within the
// grace period, or a process has a file in it open or works in it. The last
// is the costly test (every process's open files), so it is asked only when
// the others found nothing.
bool folderInUse(const QDir &folder, const QDateTime &graceStart, std::optional<QSet<QString>> &held)
{
    if (QFileInfo(folder.path()).lastModified() > graceStart)
        return true;
    const QFileInfoList entries
        = folder.entryInfoList(QDir::Files | QDir::Hidden | QDir::System | QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QFileInfo &entry : entries) {
        const QString name = entry.fileName();
        if ((name.startsWith(QLatin1String(".~lock.")) && name.endsWith(u'#')) || entry.lastModified() > graceStart)
            return true;
    }
    if (!held)
        held = filesHeldOpen();
    if (held->contains(folder.canonicalPath()))
        return true;
    return std::any_of(entries.begin(), entries.end(),
        [&](const QFileInfo &entry) { return held->contains(entry.canonicalFilePath()); });
}

} // namespace

void removeUnusedWorkbookFolders(const QByteArray &temporaryFolder)
{
    const QDateTime graceStart = QDateTime::currentDateTimeUtc().addSecs(-kFolderGraceSeconds);
    std::optional<QSet<QString>> held; // looked up once, when needed
    for (const MarkedFolder &marked : markedFolders(temporaryFolder)) {
        if (!marked.handedOver || marked.purpose != kPurpose)
            continue;
        const QDir folder(QFile::decodeName(marked.path));
        if (folderInUse(folder, graceStart, held))
            continue;
        // A workbook that can be written is the user's own, saved over ours
        // from the spreadsheet program: ours was left read-only.
        removeMarkedFolder(marked, [](const QByteArray &name, const struct stat &info) {
            return name.endsWith(".xlsx") && (info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) != 0;
        });
    }
}

void requireSpreadsheetApplication()
{
    const QString missing = QStringLiteral("No spreadsheet program is registered for .xlsx workbooks (%1)");
    QProcess query;
    query.start(QStringLiteral("xdg-mime"),
        {QStringLiteral("query"), QStringLiteral("default"), QString::fromLatin1(kXlsxMimeType)});
    query.closeWriteChannel();
    if (!query.waitForStarted(5000))
        throw Failure(missing.arg(QStringLiteral("\"xdg-mime\" could not be run")));
    if (!query.waitForFinished(10000)) {
        query.kill();
        query.waitForFinished(1000);
        throw Failure(missing.arg(QStringLiteral("\"xdg-mime\" did not answer")));
    }
    const bool answered = query.exitStatus() == QProcess::NormalExit && query.exitCode() == 0;
    if (!answered || query.readAllStandardOutput().trimmed().isEmpty())
        throw Failure(missing.arg(
            QStringLiteral("the desktop has no default application for %1").arg(QString::fromLatin1(kXlsxMimeType))));
}

std::unique_ptr<WorkbookExport> makeShownWorkbook(Shell &shell)
{
    return std::make_unique<ShownWorkbook>(shell);
}

} // namespace quarrelby
