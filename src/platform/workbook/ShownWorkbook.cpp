#include "platform/workbook/ShownWorkbook.h"

#include "platform/Failure.h"
#include "platform/PrivateFolder.h"
#include "platform/Shell.h"
#include "platform/workbook/XlsxWriter.h"

#include <QCursor>
#include <QDir>
#include <QGuiApplication>
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

// A new workbook, shown when it is released.
class ShownWorkbook : public WorkbookExport {
public:
    explicit ShownWorkbook(Shell &shell)
        : m_shell(shell)
    {
    }
    ~ShownWorkbook() override;
    ShownWorkbook(const ShownWorkbook &) = delete;
    ShownWorkbook &operator=(const ShownWorkbook &) = delete;

    void setCell(int row, int column, const QString &text) override;

private:
    void beforeWrite(int row);
    void handOverRow();
    void fitColumns();
    void makeFolder();
    void dropFolder();
    void startStream();
    void publish();
    [[nodiscard]] const QString &bookPath() const { return m_bookPath; }

    Shell &m_shell;
    ExcelSheet m_sheet;
    // The sheet is written while it is filled, in row order. A row handed
    // over to the stream is no longer held here: a large export would
    // otherwise keep a second copy of the whole list until the end
    // (bench_all_exports, 100,000 contacts: the workbook step peaks at
    // 224 MB against 397 MB with the copy). The folder is declared first so
    // that it outlives the stream; handed over to the spreadsheet program
    // once the workbook is published.
    std::unique_ptr<PrivateFolder> m_folder;
    QString m_bookPath;
    std::unique_ptr<WorkbookStream> m_stream;
    size_t m_handedOver = 0; // rows given to the stream
    // Column (0-based) to the widest fitted text among the rows handed over.
    std::vector<double> m_handedOverWidths;
    bool m_streamable = true;
};

ShownWorkbook::~ShownWorkbook()
{
    try {
        fitColumns();
    } catch (...) {
        // Shown with the widths it has.
    }
    // Folders of earlier workbooks that the spreadsheet program has let go of.
    try {
        removeUnusedWorkbookFolders(temporaryFolder());
    } catch (const Failure &) {
        // No temporary folder: nothing of earlier ones either.
    }
    // Writing a large workbook takes seconds, after the export has already
    // given the arrow back: the wait cursor shows meanwhile, where there is a
    // GUI. The failure is told once the cursor is back.
    const bool gui = qobject_cast<QGuiApplication *>(QCoreApplication::instance()) != nullptr;
    if (gui)
        QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
    std::optional<QString> failure;
    try {
        publish();
    } catch (const Failure &error) {
        failure = error.description();
    } catch (const std::bad_alloc &) {
        failure = QStringLiteral("The workbook could not be written: out of memory.");
    } catch (...) {
        failure = QStringLiteral("The workbook could not be written.");
    }
    if (gui)
        QGuiApplication::restoreOverrideCursor();
    dropFolder(); // kept on disk where published
    if (!failure)
        return;
    try {
        m_shell.messageBox(
            {*failure, m_shell.applicationTitle(), MessageButtons::Ok, MessageIcon::Exclamation, MessageAnswer::Ok});
    } catch (...) {
    }
}

void ShownWorkbook::setCell(int row, int column, const QString &text)
{
    if (row < 1 || row > kMaxSheetRows)
        throw Failure(QStringLiteral("Row %1 lies outside the sheet (rows 1 to %2)").arg(row).arg(kMaxSheetRows));
    if (column < 1 || column > kMaxSheetColumns)
        throw Failure(
            QStringLiteral("Column %1 lies outside the sheet (columns 1 to %2)").arg(column).arg(kMaxSheetColumns));
    if (text.size() > kMaxCellLength)
        throw Failure(QStringLiteral("The text is %1 characters long; a sheet cell holds at most 32,767 characters")
                          .arg(text.size()));
    if (const qsizetype stored = storedLength(text); stored > kMaxCellLength)
        throw Failure(QStringLiteral("The text takes %1 characters in the workbook, where each \"_xHHHH_\" "
                                     "in it is stored escaped; a sheet cell holds at most 32,767 characters")
                          .arg(stored));
    beforeWrite(row);
    const auto r = static_cast<size_t>(row);
    const auto c = static_cast<size_t>(column);
    auto &rows = m_sheet.rows;
    // An empty cell past the end of the sheet is there already.
    if (text.isEmpty() && (rows.size() < r || rows[r - 1].size() < c))
        return;
    if (rows.size() < r)
        rows.resize(r);
    if (rows[r - 1].size() < c)
        rows[r - 1].resize(c);
    rows[r - 1][c - 1] = text;
}

// Called before a cell of the given row (1-based) changes.
void ShownWorkbook::beforeWrite(int row)
{
    const auto r = static_cast<size_t>(row);
    if (r <= m_handedOver)
        throw Failure(
            QStringLiteral("Row %1 has already been written to the workbook; a shown sheet is filled row by row")
                .arg(row));
    if (!m_stream && m_streamable)
        startStream();
    if (!m_stream)
        return;
    // Rows are filled in order: every row before this one is complete.
    while (m_handedOver + 1 < r)
        handOverRow();
}

// Moves the next row to the stream, keeping only what fitting the columns
// later needs of it.
void ShownWorkbook::handOverRow()
{
    auto &rows = m_sheet.rows;
    const size_t index = m_handedOver++;
    std::vector<QString> cells = index < rows.size() ? std::exchange(rows[index], {}) : std::vector<QString>();
    if (m_handedOverWidths.size() < cells.size())
        m_handedOverWidths.resize(cells.size(), 0.0);
    for (size_t c = 0; c < cells.size(); ++c)
        m_handedOverWidths[c] = std::max(m_handedOverWidths[c], fittedWidth(cells[c]));
    m_stream->addRow(std::move(cells));
}

// Fits every column to its text, as the export leaves it. A column without
// text keeps its width.
void ShownWorkbook::fitColumns()
{
    std::vector<double> widths = m_handedOverWidths;
    for (const auto &cells : m_sheet.rows) {
        if (widths.size() < cells.size())
            widths.resize(cells.size(), 0.0);
        for (size_t c = 0; c < cells.size(); ++c)
            widths[c] = std::max(widths[c], fittedWidth(cells[c]));
    }
    for (size_t c = 0; c < widths.size(); ++c) {
        if (widths[c] > 0)
            m_sheet.columnWidths[static_cast<int>(c + 1)] = widths[c];
    }
}

// The folder is the program's own: only what it wrote there goes, never the
// folder's whole content, also when the program ends at once (the window
// closed in the middle of an export) or by a signal.
void ShownWorkbook::makeFolder()
{
    try {
        m_folder = std::make_unique<PrivateFolder>(kPurpose);
        m_bookPath = QFile::decodeName(m_folder->file(kBookName));
    } catch (const Failure &error) {
        m_folder.reset();
        throw Failure(
            QStringLiteral("No temporary folder could be made for the workbook: %1").arg(error.description()));
    }
}

// Removes the folder, unless it was handed over.
void ShownWorkbook::dropFolder()
{
    m_folder.reset();
}

void ShownWorkbook::startStream()
{
    try {
        makeFolder();
        m_stream = std::make_unique<WorkbookStream>(bookPath());
    } catch (...) {
        // Written at release instead, where a failure is told to the user.
        dropFolder();
        m_streamable = false;
    }
}

void ShownWorkbook::publish()
{
    if (m_stream) {
        while (m_handedOver < m_sheet.rows.size())
            handOverRow();
        m_stream->finish(m_sheet.columnWidths);
    } else {
        makeFolder();
        writeWorkbook(bookPath(), m_sheet);
    }
    // Read-only, the spreadsheet program opens it as a document that cannot
    // be saved where it is: a save asks for a name and a place. Only a help:
    // a temporary folder on a file system without modes (FAT) refuses it,
    // and the workbook is shown all the same.
    const QString path = bookPath();
    (void)QFile::setPermissions(path, QFileDevice::ReadOwner);
    // The spreadsheet program reads the file after this process has let go of
    // it; a later sweep removes it once nothing holds it open.
    m_folder->handOver();
    if (!m_shell.startDetached(kOpener, {path}))
        throw Failure(QStringLiteral("The workbook was written to %1, but \"%2\" could not be started to open it.")
                          .arg(QDir::toNativeSeparators(path), kOpener));
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
