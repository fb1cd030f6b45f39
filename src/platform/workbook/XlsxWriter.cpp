#include "platform/workbook/XlsxWriter.h"

#include "format/Utf8.h"
#include "platform/BoundedQueue.h"
#include "platform/Failure.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <minizip/zip.h>
#include <xlsxwriter.h>

#include <dlfcn.h>

#include <algorithm>
#include <cerrno>
#include <exception>
#include <optional>
#include <utility>

// libxlsxwriter packs the workbook with minizip at zlib's default level,
// and has no setting for it. For a large sheet that compression is most of
// the time the user waits for the workbook. bench_excel, 100,000 contacts:
// BM_ExcelWriter/0 3.3-4.2 s at the fastest level against 6.3-6.7 s at the
// default, the whole export (BM_ExcelExport/0/0) 6.6 s against 8.8 s; the
// file is 9.1 MB instead of 7.4 MB. The workbook's parts are opened through
// this function, which the dynamic linker resolves to this definition before
// minizip's own; it asks for the fastest level where the caller left the
// level to the library, and changes nothing else. That holds only while
// libxlsxwriter calls the shared minizip: tst_workbookcompression reads the
// level back from the written file and fails when the override is bypassed.
extern "C" int zipOpenNewFileInZip4_64(zipFile file, const char *filename, const zip_fileinfo *zipfi,
    const void *extrafield_local, uInt size_extrafield_local, const void *extrafield_global,
    uInt size_extrafield_global, const char *comment, int method, int level, int raw, int windowBits, int memLevel,
    int strategy, const char *password, uLong crcForCrypting, uLong versionMadeBy, uLong flagBase, int zip64)
{
    using Open = decltype(&zipOpenNewFileInZip4_64);
    static const auto minizip = reinterpret_cast<Open>(dlsym(RTLD_NEXT, "zipOpenNewFileInZip4_64"));
    if (!minizip)
        return ZIP_INTERNALERROR;
    if (method == Z_DEFLATED && level == Z_DEFAULT_COMPRESSION)
        level = Z_BEST_SPEED;
    return minizip(file, filename, zipfi, extrafield_local, size_extrafield_local, extrafield_global,
        size_extrafield_global, comment, method, level, raw, windowBits, memLevel, strategy, password, crcForCrypting,
        versionMadeBy, flagBase, zip64);
}

namespace quarrelby {

namespace {

bool isHex(QChar c)
{
    return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
}

// Spreadsheet programs read "_xHHHH_" in a cell's text as an escaped
// character. The file format escapes a literal one by writing its underscore
// as "_x005F_". (Control characters are escaped by libxlsxwriter itself.)
bool startsLiteralEscape(const QString &text, qsizetype i)
{
    return text[i] == u'_' && i + 6 < text.size() && text[i + 1] == u'x' && isHex(text[i + 2]) && isHex(text[i + 3])
        && isHex(text[i + 4]) && isHex(text[i + 5]) && text[i + 6] == u'_';
}

bool mayHoldLiteralEscape(const QString &text)
{
    return text.contains(QLatin1String("_x"));
}

QString escapeLiteralEscapes(const QString &text)
{
    if (!mayHoldLiteralEscape(text))
        return text;
    QString escaped;
    escaped.reserve(text.size() + 12);
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (startsLiteralEscape(text, i)) {
            escaped += QLatin1String("_x005F_");
            continue;
        }
        escaped += text[i];
    }
    return escaped;
}

// Converts to NUL-terminated UTF-8 in a buffer that is reused from cell to
// cell: a workbook of 100,000 contacts has millions of cells.
class Utf8Buffer {
public:
    const char *operator()(const QString &text)
    {
        if (m_bytes.size() < 3 * text.size() + 1)
            m_bytes.resize(3 * text.size() + 1);
        *encodeUtf8(m_bytes.data(), text) = '\0';
        return m_bytes.constData();
    }

private:
    QByteArray m_bytes;
};

QString cellName(lxw_row_t row, lxw_col_t column)
{
    char name[LXW_MAX_CELL_NAME_LENGTH];
    lxw_rowcol_to_cell(name, row, column);
    return QString::fromLatin1(name);
}

// libxlsxwriter names a failed file operation by its own code ("Zip generic
// error ZIP_ERRNO"); the reason the user can act on ("No space left on
// device") is the system's, left in errno.
QString closeFailure(lxw_error error, int systemError)
{
    switch (error) {
    case LXW_ERROR_CREATING_XLSX_FILE:
    case LXW_ERROR_CREATING_TMPFILE:
    case LXW_ERROR_READING_TMPFILE:
    case LXW_ERROR_ZIP_FILE_OPERATION:
    case LXW_ERROR_ZIP_FILE_ADD:
    case LXW_ERROR_ZIP_CLOSE:
        if (systemError != 0)
            return systemMessage(systemError);
        break;
    default:
        break;
    }
    return QString::fromUtf8(lxw_strerror(error));
}

[[noreturn]] void fail(const QString &path, const QString &why)
{
    throw Failure(QStringLiteral("The workbook %1 could not be written: %2").arg(QDir::toNativeSeparators(path), why));
}

// The length of the text as the file stores it, in UTF-16 code units: a
// literal "_xHHHH_" is stored escaped, six characters longer. This is the
// length that must stay within kMaxCellLength.
qsizetype storedLength(const QString &text)
{
    // An escape takes seven characters and adds six, and escapes may share
    // an underscore: the stored text is at most about twice as long.
    if (text.size() <= (kMaxCellLength - 7) / 2 || !mayHoldLiteralEscape(text))
        return text.size();
    qsizetype length = text.size();
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (startsLiteralEscape(text, i))
            length += 6;
    }
    return length;
}

// The width in characters that fits the text on one line.
double fittedWidth(const QString &text)
{
    if (text.isEmpty())
        return 0;
    // A character of the default font is about one width unit; the unit
    // leaves room for the cell's margins.
    return std::min(static_cast<double>(text.size()) + 1.0, kMaxColumnWidth);
}

} // namespace

// One workbook of one sheet being written with libxlsxwriter in
// constant-memory mode, where rows must arrive in order.
class SheetWriter {
public:
    explicit SheetWriter(const QString &path)
        : m_path(path)
    {
        const QByteArray fileName = QFile::encodeName(path);
        // Constant-memory mode keeps its row data in temporary files; they
        // belong beside the workbook, not in whatever the C library thinks
        // is temporary.
        QByteArray temporaryFolder = QFile::encodeName(QFileInfo(path).absolutePath());
        lxw_workbook_options options {};
        options.constant_memory = LXW_TRUE;
        options.tmpdir = temporaryFolder.data();
        m_workbook = workbook_new_opt(fileName.constData(), &options);
        if (!m_workbook)
            fail(path, QStringLiteral("the workbook could not be started"));
        m_worksheet = workbook_add_worksheet(m_workbook, nullptr);
        if (!m_worksheet) {
            abandon();
            fail(path, QStringLiteral("the sheet could not be added"));
        }
    }

    ~SheetWriter() { abandon(); }

    SheetWriter(const SheetWriter &) = delete;
    SheetWriter &operator=(const SheetWriter &) = delete;

    // Row index counts from 0; a row after the last one written.
    void writeRow(size_t index, const std::vector<QString> &cells)
    {
        if (index >= static_cast<size_t>(kMaxSheetRows))
            failAndAbandon(QStringLiteral("the sheet has more than %1 rows").arg(kMaxSheetRows));
        const auto sheetRow = static_cast<lxw_row_t>(index);
        for (size_t c = 0; c < cells.size(); ++c) {
            if (cells[c].isEmpty())
                continue;
            const auto sheetColumn = static_cast<lxw_col_t>(c);
            const lxw_error error = worksheet_write_string(
                m_worksheet, sheetRow, sheetColumn, m_utf8(escapeLiteralEscapes(cells[c])), nullptr);
            if (error != LXW_NO_ERROR)
                failAndAbandon(QStringLiteral("cell %1: %2")
                                   .arg(cellName(sheetRow, sheetColumn), QString::fromUtf8(lxw_strerror(error))));
        }
    }

    void finish(const std::map<int, double> &columnWidths)
    {
        for (const auto &[column, width] : columnWidths) {
            const auto c = static_cast<lxw_col_t>(column - 1);
            const lxw_error error = worksheet_set_column(m_worksheet, c, c, std::min(width, kMaxColumnWidth), nullptr);
            if (error != LXW_NO_ERROR)
                failAndAbandon(QString::fromUtf8(lxw_strerror(error)));
        }
        errno = 0;
        const lxw_error error = workbook_close(std::exchange(m_workbook, nullptr));
        const int systemError = errno;
        if (error != LXW_NO_ERROR) {
            QFile::remove(m_path);
            fail(m_path, closeFailure(error, systemError));
        }
    }

    // Closes an unfinished workbook and removes what was written of it.
    void abandon()
    {
        if (!m_workbook)
            return;
        workbook_close(std::exchange(m_workbook, nullptr));
        QFile::remove(m_path);
    }

private:
    [[noreturn]] void failAndAbandon(const QString &why)
    {
        abandon();
        fail(m_path, why);
    }

    QString m_path;
    lxw_workbook *m_workbook = nullptr;
    lxw_worksheet *m_worksheet = nullptr;
    Utf8Buffer m_utf8;
};

// Rows travel to the writer in batches: one hand-over per row would cost a
// wake-up of the writer per row.
constexpr size_t kRowsPerBatch = 256;
// The export runs ahead of the writer by at most this many batches.
constexpr size_t kQueuedBatches = 64;

struct WorkbookStream::Shared {
    QString path;
    BoundedQueue<std::vector<std::vector<QString>>> batches {kQueuedBatches};
    // Set before the queue is closed, read by the writer after the last batch.
    std::map<int, double> columnWidths;
    // The writer's; read after it has ended.
    std::exception_ptr failure;
};

WorkbookStream::WorkbookStream(const QString &path)
    : m_shared(std::make_unique<Shared>())
{
    m_shared->path = path;
    m_pending.reserve(kRowsPerBatch);
    m_thread = std::thread([this] { run(); });
}

WorkbookStream::~WorkbookStream()
{
    if (!m_thread.joinable())
        return;
    m_shared->batches.cancel();
    m_thread.join();
}

void WorkbookStream::addRow(std::vector<QString> cells)
{
    m_pending.push_back(std::move(cells));
    if (m_pending.size() >= kRowsPerBatch)
        handOver();
}

void WorkbookStream::handOver()
{
    // After a failure the queue takes nothing more: nothing more is written.
    m_shared->batches.push(std::exchange(m_pending, {}));
    m_pending.reserve(kRowsPerBatch);
}

void WorkbookStream::finish(const std::map<int, double> &columnWidths)
{
    if (!m_pending.empty())
        handOver();
    m_shared->columnWidths = columnWidths;
    m_shared->batches.close();
    m_thread.join();
    if (m_shared->failure)
        std::rethrow_exception(m_shared->failure);
}

void WorkbookStream::run()
{
    Shared &shared = *m_shared;
    try {
        SheetWriter writer(shared.path);
        size_t written = 0;
        while (std::optional<std::vector<std::vector<QString>>> batch = shared.batches.pop()) {
            for (const std::vector<QString> &row : *batch) {
                // An abandoned stream stops within its backlog.
                if (shared.batches.cancelled())
                    return; // the writer removes what it wrote
                writer.writeRow(written++, row);
            }
        }
        if (!shared.batches.cancelled())
            writer.finish(shared.columnWidths);
    } catch (...) {
        // Told when the stream is finished; rows handed over after this are
        // not looked at.
        shared.failure = std::current_exception();
        shared.batches.cancel();
    }
}

void WorkbookFile::setCell(int row, int column, const QString &text)
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
    const auto r = static_cast<size_t>(row);
    if (r <= m_handedOver)
        throw Failure(
            QStringLiteral("Row %1 has already been written to the workbook; a sheet is filled row by row").arg(row));
    // Rows are filled in order: every row before this one is complete.
    while (m_handedOver + 1 < r)
        handOverRow();
    const auto c = static_cast<size_t>(column);
    // An empty cell past the end of the row is there already.
    if (text.isEmpty() && m_row.size() < c)
        return;
    if (m_row.size() < c)
        m_row.resize(c);
    m_row[c - 1] = text;
}

// Moves the next row to the stream, keeping only what fitting the columns
// needs of it.
void WorkbookFile::handOverRow()
{
    if (m_widths.size() < m_row.size())
        m_widths.resize(m_row.size(), 0.0);
    for (size_t c = 0; c < m_row.size(); ++c)
        m_widths[c] = std::max(m_widths[c], fittedWidth(m_row[c]));
    m_stream.addRow(std::exchange(m_row, {}));
    ++m_handedOver;
}

void WorkbookFile::finish()
{
    if (!m_row.empty())
        handOverRow();
    // A column without text keeps its width.
    std::map<int, double> fitted;
    for (size_t c = 0; c < m_widths.size(); ++c) {
        if (m_widths[c] > 0)
            fitted[static_cast<int>(c + 1)] = m_widths[c];
    }
    m_stream.finish(fitted);
}

} // namespace quarrelby
