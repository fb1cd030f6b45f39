#include "platform/workbook/ShownWorkbook.h"

#include "platform/Failure.h"
#include "platform/Shell.h"
#include "platform/workbook/XlsxWriter.h"

#include <QCursor>
#include <QDir>
#include <QGuiApplication>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <functional>
#include <optional>
#include <vector>

namespace quarrelby {

namespace {

const QString kOpener = QStringLiteral("xdg-open");
const QString kFolderPrefix = QStringLiteral("quarrelby-");
const QString kFolderTemplate = QStringLiteral("XXXXXX");
// A folder this recent may still be in the making, or its workbook on its
// way into a spreadsheet program that is starting.
constexpr qint64 kFolderGraceSeconds = 120;

// The names this program gives its workbook folders: the prefix and the six
// letters or digits QTemporaryDir puts for the template. A folder of the
// user's such as "quarrelby-projects" does not fit.
bool isWorkbookFolderName(const QString &name)
{
    static const QRegularExpression pattern(QRegularExpression::anchoredPattern(
        QRegularExpression::escape(kFolderPrefix) + QStringLiteral("[A-Za-z0-9]{%1}").arg(kFolderTemplate.size())));
    return pattern.match(name).hasMatch();
}

// The files this program writes into its folder: the workbooks, and the
// workbook writer's scratch files ("tmp." and random letters, unlinked as
// soon as they are made unless the program died in between).
bool isOwnFileName(const QString &name)
{
    static const QRegularExpression pattern(
        QRegularExpression::anchoredPattern(QStringLiteral("Book[1-9][0-9]*\\.xlsx|tmp\\.[A-Za-z0-9]{10}")));
    return pattern.match(name).hasMatch();
}

// Removes from the folder the files this program writes there, then the
// folder if nothing else is left in it. Links are never followed: the folder
// is opened without following one, and only regular files of this user are
// removed, by name within it. When onlyUnchanged is set, a workbook is removed
// only while it is still read-only, as this program left it: one that can be
// written is the user's own, saved over it from the spreadsheet program.
void removeOwnFiles(const QString &path, bool onlyUnchanged)
{
    const QByteArray folder = QFile::encodeName(path);
    const int dir = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (dir < 0)
        return;
    const QStringList names
        = QDir(path).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QString &name : names) {
        if (!isOwnFileName(name))
            continue;
        const QByteArray entry = QFile::encodeName(name);
        struct stat info { };
        if (::fstatat(dir, entry.constData(), &info, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(info.st_mode)
            || info.st_uid != ::geteuid())
            continue;
        const bool workbook = name.endsWith(QLatin1String(".xlsx"));
        if (onlyUnchanged && workbook && (info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) != 0)
            continue;
        (void)::unlinkat(dir, entry.constData(), 0);
    }
    ::close(dir);
    // Fails, as it should, where anything else is left, or on a link.
    (void)::rmdir(folder.constData());
}

void removeWorkbookFolder(const QString &path)
{
    removeOwnFiles(path, false);
}

void checkRow(int row)
{
    if (row < 1 || row > kMaxSheetRows)
        throw Failure(
            QStringLiteral("Row %1 lies outside the sheet (rows 1 to %2)").arg(row).arg(kMaxSheetRows));
}

void checkColumn(int column)
{
    if (column < 1 || column > kMaxSheetColumns)
        throw Failure(
            QStringLiteral("Column %1 lies outside the sheet (columns 1 to %2)").arg(column).arg(kMaxSheetColumns));
}

// The wait cursor over the whole program while it lives, where there is a GUI.
class BusyCursor {
public:
    BusyCursor()
        : m_gui(qobject_cast<QGuiApplication *>(QCoreApplication::instance()) != nullptr)
    {
        if (m_gui)
            QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
    }
    ~BusyCursor()
    {
        if (m_gui)
            QGuiApplication::restoreOverrideCursor();
    }
    BusyCursor(const BusyCursor &) = delete;
    BusyCursor &operator=(const BusyCursor &) = delete;

private:
    bool m_gui;
};

struct Workbook {
    explicit Workbook(int n)
        : number(n)
    {
    }

    ExcelSheet sheet;
    int number; // the file is Book<number>.xlsx

    // The sheet is written while it is filled, in row order. A row handed over to the stream is no longer
    // held here: a large export would otherwise keep a second copy of the
    // whole list until the end (bench_all_exports, 100,000 contacts: the
    // workbook step peaks at 224 MB against 397 MB with the copy). The
    // folder is declared first so that it outlives the stream.
    std::unique_ptr<QTemporaryDir> folder;
    int folderEndHook = 0; // removes the folder if the program ends first
    bool published = false; // handed to the spreadsheet program: kept
    std::unique_ptr<WorkbookStream> stream;
    size_t handedOver = 0; // rows given to the stream
    // Column (0-based) to the widest fitted text among the rows handed over.
    std::vector<double> handedOverWidths;
    bool streamable = true;
};

// What a shown workbook holds; it publishes the workbook when it is released.
class Session {
public:
    explicit Session(Shell &shell)
        : m_shell(shell)
    {
    }
    ~Session();
    Session(const Session &) = delete;
    Session &operator=(const Session &) = delete;

    std::vector<std::unique_ptr<Workbook>> workbooks;

    // Called before a cell of the given row (1-based) changes.
    void beforeWrite(Workbook &workbook, int row);

private:
    void makeFolder(Workbook &workbook);
    void dropFolder(Workbook &workbook);
    void startStream(Workbook &workbook);
    void handOverRow(Workbook &workbook);
    void abandonStream(Workbook &workbook);
    void publish(Workbook &workbook);
    void open(const QString &path);
    void tell(const QString &text) noexcept;

    Shell &m_shell;
};

Session::~Session()
{
    // Folders of earlier workbooks that the spreadsheet program has let go of.
    QStringList own;
    for (const auto &workbook : workbooks) {
        if (workbook->folder)
            own << workbook->folder->path();
    }
    removeUnusedWorkbookFolders(QDir::tempPath(), own);
    // Writing a large workbook takes seconds, after the export has already
    // given the arrow back. The failures are told once the cursor is back.
    QStringList failures;
    {
        BusyCursor busy;
        for (size_t i = 0; i < workbooks.size(); ++i) {
            try {
                publish(*workbooks[i]);
            } catch (const Failure &error) {
                failures << error.description();
            } catch (const std::bad_alloc &) {
                failures << QStringLiteral("The workbook could not be written: out of memory.");
            } catch (...) {
                failures << QStringLiteral("The workbook could not be written.");
            }
        }
    }
    for (auto &workbook : workbooks)
        dropFolder(*workbook); // kept on disk where published
    for (const QString &failure : failures)
        tell(failure);
}

std::unique_ptr<QTemporaryDir> newFolder()
{
    auto folder
        = std::make_unique<QTemporaryDir>(QDir::tempPath() + QLatin1Char('/') + kFolderPrefix + kFolderTemplate);
    if (!folder->isValid())
        throw Failure(
            QStringLiteral("No temporary folder could be made for the workbook: %1").arg(folder->errorString()));
    return folder;
}

QString bookPath(const QTemporaryDir &folder, int number)
{
    return folder.filePath(QStringLiteral("Book%1.xlsx").arg(number));
}

[[noreturn]] void rowWritten(int row)
{
    throw Failure(
        QStringLiteral("Row %1 has already been written to the workbook; a shown sheet is filled row by row").arg(row));
}

void Session::beforeWrite(Workbook &workbook, int row)
{
    const auto r = static_cast<size_t>(row);
    if (r <= workbook.handedOver)
        rowWritten(row);
    if (!workbook.streamable)
        return;
    if (!workbook.stream) {
        startStream(workbook);
        if (!workbook.stream)
            return;
    }
    // Rows are filled in order: every row before this one is complete.
    while (workbook.handedOver + 1 < r)
        handOverRow(workbook);
}

// Moves the next row to the stream, keeping only what fitting the columns
// later needs of it.
void Session::handOverRow(Workbook &workbook)
{
    auto &rows = workbook.sheet.rows;
    const size_t index = workbook.handedOver++;
    std::vector<QString> cells = index < rows.size() ? std::exchange(rows[index], {}) : std::vector<QString>();
    auto &widths = workbook.handedOverWidths;
    if (widths.size() < cells.size())
        widths.resize(cells.size(), 0.0);
    for (size_t c = 0; c < cells.size(); ++c)
        widths[c] = std::max(widths[c], fittedWidth(cells[c]));
    workbook.stream->addRow(std::move(cells));
}

// The folder goes when the program ends at once (the window closed in the
// middle of an export), when no destructor runs.
void Session::makeFolder(Workbook &workbook)
{
    workbook.folder = newFolder();
    // Only what this program wrote goes, never the folder's whole content.
    workbook.folder->setAutoRemove(false);
    workbook.folderEndHook = m_shell.addEndHook([path = workbook.folder->path()] { removeWorkbookFolder(path); });
}

// Removes the folder, unless it was published.
void Session::dropFolder(Workbook &workbook)
{
    m_shell.removeEndHook(std::exchange(workbook.folderEndHook, 0));
    if (workbook.folder && !workbook.published)
        removeWorkbookFolder(workbook.folder->path());
    workbook.folder.reset();
}

void Session::startStream(Workbook &workbook)
{
    try {
        makeFolder(workbook);
        workbook.stream = std::make_unique<WorkbookStream>(bookPath(*workbook.folder, workbook.number));
    } catch (...) {
        // Written at release instead, where a failure is told to the user.
        abandonStream(workbook);
    }
}

void Session::abandonStream(Workbook &workbook)
{
    workbook.stream.reset();
    dropFolder(workbook);
    workbook.streamable = false;
}

void Session::publish(Workbook &workbook)
{
    if (workbook.stream) {
        while (workbook.handedOver < workbook.sheet.rows.size())
            handOverRow(workbook);
        workbook.stream->finish(workbook.sheet.columnWidths);
    } else {
        makeFolder(workbook);
        writeWorkbook(bookPath(*workbook.folder, workbook.number), workbook.sheet);
    }
    // Read-only, the spreadsheet program opens it as a document that cannot
    // be saved where it is: a save asks for a name and a place. Only a help:
    // a temporary folder on a file system without modes (FAT) refuses it,
    // and the workbook is shown all the same.
    const QString path = bookPath(*workbook.folder, workbook.number);
    (void)QFile::setPermissions(path, QFileDevice::ReadOwner);
    // The spreadsheet program reads the file after this process has let go of
    // it; a later sweep removes it once nothing holds it open.
    workbook.published = true;
    open(path);
}

void Session::open(const QString &path)
{
    if (!m_shell.startDetached(kOpener, {path}))
        throw Failure(
            QStringLiteral("The workbook was written to %1, but \"%2\" could not be started to open it.")
                .arg(QDir::toNativeSeparators(path), kOpener));
}

void Session::tell(const QString &text) noexcept
{
    try {
        m_shell.messageBox(
            {text, m_shell.applicationTitle(), MessageButtons::Ok, MessageIcon::Exclamation, MessageAnswer::Ok});
    } catch (...) {
    }
}

void setCell(Session &session, Workbook &workbook, int row, int column, const QString &text)
{
    checkRow(row);
    checkColumn(column);
    if (text.size() > kMaxCellLength)
        throw Failure(
            QStringLiteral("The text is %1 characters long; a sheet cell holds at most 32,767 characters")
                .arg(text.size()));
    if (const qsizetype stored = storedLength(text); stored > kMaxCellLength)
        throw Failure(QStringLiteral("The text takes %1 characters in the workbook, where each \"_xHHHH_\" "
                                             "in it is stored escaped; a sheet cell holds at most 32,767 characters")
                                  .arg(stored));
    session.beforeWrite(workbook, row);
    auto &rows = workbook.sheet.rows;
    if (rows.size() < static_cast<size_t>(row)) {
        if (text.isEmpty())
            return;
        rows.resize(static_cast<size_t>(row));
    }
    auto &cells = rows[static_cast<size_t>(row - 1)];
    if (cells.size() < static_cast<size_t>(column)) {
        if (text.isEmpty())
            return;
        cells.resize(static_cast<size_t>(column));
    }
    cells[static_cast<size_t>(column - 1)] = text;
}

// Fits the columns from first to last (1-based) to their text as it is now. A
// column without text keeps its width.
void autofit(Workbook &workbook, int first, int last)
{
    ExcelSheet &sheet = workbook.sheet;
    std::vector<double> widths(static_cast<size_t>(last - first + 1), 0.0);
    const auto &handedOver = workbook.handedOverWidths;
    for (int c = first; c <= std::min(last, static_cast<int>(handedOver.size())); ++c)
        widths[static_cast<size_t>(c - first)] = handedOver[static_cast<size_t>(c - 1)];
    for (const auto &cells : sheet.rows) {
        const int end = std::min(last, static_cast<int>(cells.size()));
        for (int c = first; c <= end; ++c) {
            double &width = widths[static_cast<size_t>(c - first)];
            width = std::max(width, fittedWidth(cells[static_cast<size_t>(c - 1)]));
        }
    }
    for (int c = first; c <= last; ++c) {
        const double width = widths[static_cast<size_t>(c - first)];
        if (width > 0)
            sheet.columnWidths[c] = width;
    }
}

// A workbook of its own session, shown from the start.
class ShownWorkbook : public WorkbookExport {
public:
    explicit ShownWorkbook(Shell &shell)
        : m_session(std::make_shared<Session>(shell))
    {
        m_session->workbooks.push_back(std::make_unique<Workbook>(1));
    }
    ~ShownWorkbook() override
    {
        // Every column fitted to its text, as the export leaves it.
        Workbook &workbook = *m_session->workbooks.back();
        size_t used = workbook.handedOverWidths.size();
        for (const auto &cells : workbook.sheet.rows)
            used = std::max(used, cells.size());
        try {
            if (used > 0)
                autofit(workbook, 1, static_cast<int>(used));
        } catch (...) {
            // Shown with the widths it has.
        }
    }
    ShownWorkbook(const ShownWorkbook &) = delete;
    ShownWorkbook &operator=(const ShownWorkbook &) = delete;

    void setCell(int row, int column, const QString &text) override
    {
        quarrelby::setCell(*m_session, *m_session->workbooks.back(), row, column, text);
    }

private:
    std::shared_ptr<Session> m_session;
};

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
bool folderInUse(const QDir &folder, const QDateTime &graceStart, const std::function<const QSet<QString> &()> &held)
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
    if (held().contains(folder.canonicalPath()))
        return true;
    return std::any_of(entries.begin(), entries.end(),
        [&](const QFileInfo &entry) { return held().contains(entry.canonicalFilePath()); });
}

} // namespace

void removeUnusedWorkbookFolders(const QString &temporaryFolder, const QStringList &keep)
{
    const QDir top(temporaryFolder);
    const QFileInfoList candidates = top.entryInfoList(
        {kFolderPrefix + QLatin1Char('*')}, QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
    const QDateTime graceStart = QDateTime::currentDateTimeUtc().addSecs(-kFolderGraceSeconds);
    std::optional<QSet<QString>> held; // looked up once, when needed
    const auto heldOpen = [&held]() -> const QSet<QString> & {
        if (!held)
            held = filesHeldOpen();
        return *held;
    };
    for (const QFileInfo &candidate : candidates) {
        // Only folders this program could have made for this user; another
        // user's are theirs to keep.
        if (!isWorkbookFolderName(candidate.fileName()) || candidate.isSymLink() || candidate.ownerId() != ::geteuid()
            || keep.contains(candidate.absoluteFilePath()))
            continue;
        const QDir folder(candidate.absoluteFilePath());
        if (!folderInUse(folder, graceStart, heldOpen))
            removeOwnFiles(folder.path(), true);
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
