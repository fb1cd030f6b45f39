#include "platform/ExcelWorkbookWriter.h"

#include "platform/AutomationError.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringEncoder>

#include <xlsxwriter.h>

#include <algorithm>

namespace quarrelby {

namespace {

bool isHex(QChar c)
{
    return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
}

// Spreadsheet programs read "_xHHHH_" in a cell's text as an escaped
// character. The file format escapes a literal one by writing its underscore
// as "_x005F_". (Control characters are escaped by libxlsxwriter itself.)
QString escapeLiteralEscapes(const QString &text)
{
    if (!text.contains(u'_') || !text.contains(QLatin1String("_x")))
        return text;
    QString escaped;
    escaped.reserve(text.size() + 12);
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == u'_' && i + 6 < text.size() && text[i + 1] == u'x' && isHex(text[i + 2]) && isHex(text[i + 3])
            && isHex(text[i + 4]) && isHex(text[i + 5]) && text[i + 6] == u'_') {
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
        const qsizetype needed = m_encoder.requiredSpace(text.size()) + 1;
        if (m_bytes.size() < needed)
            m_bytes.resize(needed);
        char *end = m_encoder.appendToBuffer(m_bytes.data(), text);
        *end = '\0';
        return m_bytes.constData();
    }

private:
    QStringEncoder m_encoder {QStringEncoder::Utf8};
    QByteArray m_bytes;
};

QString cellName(lxw_row_t row, lxw_col_t column)
{
    char name[LXW_MAX_CELL_NAME_LENGTH];
    lxw_rowcol_to_cell(name, row, column);
    return QString::fromLatin1(name);
}

[[noreturn]] void fail(const QString &path, const QString &why)
{
    throw AutomationError(
        QStringLiteral("The workbook %1 could not be written: %2").arg(QDir::toNativeSeparators(path), why));
}

void writeSheet(lxw_worksheet *worksheet, const ExcelSheet &sheet, const QString &path)
{
    Utf8Buffer utf8;
    for (const auto &[column, width] : sheet.columnWidths) {
        const auto c = static_cast<lxw_col_t>(column - 1);
        const lxw_error error = worksheet_set_column(worksheet, c, c, std::min(width, kMaxColumnWidth), nullptr);
        if (error != LXW_NO_ERROR)
            fail(path, QString::fromUtf8(lxw_strerror(error)));
    }
    // Rows go out in order: the workbook is written in constant-memory mode.
    for (size_t r = 0; r < sheet.rows.size(); ++r) {
        const std::vector<QString> &row = sheet.rows[r];
        for (size_t c = 0; c < row.size(); ++c) {
            if (row[c].isEmpty())
                continue;
            const auto sheetRow = static_cast<lxw_row_t>(r);
            const auto sheetColumn = static_cast<lxw_col_t>(c);
            const lxw_error error
                = worksheet_write_string(worksheet, sheetRow, sheetColumn, utf8(escapeLiteralEscapes(row[c])), nullptr);
            if (error != LXW_NO_ERROR)
                fail(path,
                    QStringLiteral("cell %1: %2")
                        .arg(cellName(sheetRow, sheetColumn), QString::fromUtf8(lxw_strerror(error))));
        }
    }
}

} // namespace

double fittedWidth(const QString &text)
{
    if (text.isEmpty())
        return 0;
    // A character of the default font is about one width unit; the unit
    // leaves room for the cell's margins.
    return std::min(static_cast<double>(text.size()) + 1.0, kMaxColumnWidth);
}

void writeWorkbook(const QString &path, const ExcelSheet &sheet)
{
    if (sheet.rows.size() > static_cast<size_t>(kMaxSheetRows))
        fail(path, QStringLiteral("the sheet has more than %1 rows").arg(kMaxSheetRows));

    const QByteArray fileName = QFile::encodeName(path);
    // Constant-memory mode keeps its row data in temporary files; they belong
    // beside the workbook, not in whatever the C library thinks is temporary.
    QByteArray temporaryFolder = QFile::encodeName(QFileInfo(path).absolutePath());
    lxw_workbook_options options {};
    options.constant_memory = LXW_TRUE;
    options.tmpdir = temporaryFolder.data();

    lxw_workbook *workbook = workbook_new_opt(fileName.constData(), &options);
    if (!workbook)
        fail(path, QStringLiteral("the workbook could not be started"));
    lxw_worksheet *worksheet = workbook_add_worksheet(workbook, nullptr);
    try {
        if (!worksheet)
            fail(path, QStringLiteral("the sheet could not be added"));
        writeSheet(worksheet, sheet, path);
    } catch (...) {
        workbook_close(workbook);
        QFile::remove(path);
        throw;
    }
    const lxw_error error = workbook_close(workbook);
    if (error != LXW_NO_ERROR) {
        QFile::remove(path);
        fail(path, QString::fromUtf8(lxw_strerror(error)));
    }
}

} // namespace quarrelby
