#include "cli/TableExport.h"

#include "cli/Console.h"
#include "core/ContactRows.h"
#include "core/FieldCatalogue.h"
#include "core/ResultList.h"
#include "core/TableEncoders.h"
#include "platform/AddressBooks.h"
#include "platform/Failure.h"
#include "platform/workbook/XlsxWriter.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <functional>
#include <map>
#include <memory>
#include <vector>

namespace quarrelby {

namespace {

// The columns of the window's list: one per field, captioned as its box.
std::vector<QString> columnHeaders()
{
    std::vector<QString> headers;
    for (const ContactField &f : fieldCatalogue())
        headers.push_back(QString::fromLatin1(f.caption));
    return headers;
}

// Hands every contact of the walk that is no distribution list to take, in
// order. A failure of the walk is told and the walk goes on; returns false
// when there was any.
bool forEachContact(ContactWalk &walk, const std::function<void(const Contact &)> &take)
{
    bool allRead = true;
    Contact contact;
    while (true) {
        stopIfInterrupted();
        try {
            if (!walk.next(contact))
                break;
        } catch (const Failure &error) {
            tell(error.description());
            allRead = false;
            continue;
        }
        if (!contact.distributionList)
            take(contact);
    }
    return allRead;
}

// The aligned text needs every row before the first line: its column widths
// are those of the longest cell of the whole list.
bool writeAlignedText(ContactWalk &walk, ConsoleSystem &system, TextOutput &out)
{
    ResultList list;
    for (const QString &header : columnHeaders())
        list.addColumn(header);
    bool allRead = true;
    {
        ResultList::Batch batch(list);
        allRead = forEachContact(walk, [&](const Contact &contact) { addContactRow(list, contact); });
    }
    list.setCheckedRange(1, list.itemCount(), true);
    const std::vector<int> widths = measureColumnWidths(list, system, CountHeaders::Yes);
    encodeAlignedText(list, widths, system, [&](QByteArrayView bytes) { out.write(bytes); });
    return allRead;
}

// Row by row as the contacts come: a large book never lies in memory whole.
bool writeCommaDelimited(ContactWalk &walk, TextOutput &out)
{
    CommaDelimitedLines lines([&](QByteArrayView bytes) { out.write(bytes); });
    lines.header(columnHeaders());
    ContactCells cells;
    const bool allRead = forEachContact(walk, [&](const Contact &contact) {
        cells.fill(contact);
        lines.row(cells.views());
    });
    lines.flush();
    return allRead;
}

// The workbook is written under a name of its own beside the target and
// renamed to it when complete, so that the old file stays until then and a
// failure leaves nothing behind.
class WorkbookFile {
public:
    explicit WorkbookFile(const QString &target)
        : m_target(QFileInfo(target).isSymLink() ? QFileInfo(target).symLinkTarget() : target)
    {
        const QFileInfo info(m_target);
        QTemporaryFile reserved(info.absolutePath() + QLatin1String("/.") + info.fileName() + QLatin1String(".XXXXXX"));
        reserved.setAutoRemove(false);
        if (!reserved.open())
            throw Failure(QStringLiteral("Cannot create %1: %2").arg(target, reserved.errorString()));
        m_temporary = reserved.fileName();
    }
    ~WorkbookFile()
    {
        if (!m_temporary.isEmpty())
            QFile::remove(m_temporary);
    }
    WorkbookFile(const WorkbookFile &) = delete;
    WorkbookFile &operator=(const WorkbookFile &) = delete;

    [[nodiscard]] const QString &temporary() const { return m_temporary; }

    // Puts the written workbook in the target's place with the target's
    // permissions, or those of a new file.
    void commit()
    {
        const QByteArray from = QFile::encodeName(m_temporary);
        const QByteArray to = QFile::encodeName(m_target);
        struct stat old { };
        mode_t mode = 0;
        if (::stat(to.constData(), &old) == 0) {
            mode = old.st_mode & 07777;
        } else {
            const mode_t mask = ::umask(0);
            ::umask(mask);
            mode = 0666 & ~mask;
        }
        (void)::chmod(from.constData(), mode);
        if (std::rename(from.constData(), to.constData()) != 0)
            throw Failure(QStringLiteral("Cannot save %1: %2").arg(m_target, systemMessage(errno)));
        m_temporary.clear();
    }

private:
    QString m_target;
    QString m_temporary;
};

// A cell the sheet cannot hold stays empty and is told, as the window tells
// it and goes on with the next cell.
QString sheetCell(const QString &output, int row, int column, QString text, bool &allWritten)
{
    if (text.size() <= kMaxCellLength && storedLength(text) <= kMaxCellLength)
        return text;
    tell(QStringLiteral(
        "%1: row %2, column %3: the text takes %4 characters; a sheet cell holds at most 32,767 characters")
             .arg(output)
             .arg(row)
             .arg(column)
             .arg(storedLength(text)));
    allWritten = false;
    return {};
}

bool writeWorkbookFile(ContactWalk &walk, const QString &output)
{
    WorkbookFile file(output);
    WorkbookStream stream(file.temporary());
    std::vector<double> widths(kFieldCount, 0.0);
    bool allWritten = true;
    int sheetRow = 0;
    const auto addRow = [&](std::vector<QString> cells) {
        ++sheetRow;
        for (size_t c = 0; c < cells.size(); ++c) {
            cells[c] = sheetCell(output, sheetRow, static_cast<int>(c) + 1, std::move(cells[c]), allWritten);
            widths[c] = std::max(widths[c], fittedWidth(cells[c]));
        }
        stream.addRow(std::move(cells));
    };

    addRow(columnHeaders());
    ContactCells cells;
    const bool allRead = forEachContact(walk, [&](const Contact &contact) {
        cells.fill(contact);
        std::vector<QString> row;
        row.reserve(kFieldCount);
        for (const QStringView cell : cells.views())
            row.push_back(cell.toString());
        addRow(std::move(row));
    });

    std::map<int, double> fitted;
    for (size_t c = 0; c < widths.size(); ++c) {
        if (widths[c] > 0)
            fitted[static_cast<int>(c) + 1] = widths[c];
    }
    stopIfInterrupted();
    try {
        stream.finish(fitted);
    } catch (const Failure &error) {
        // The writer names the file it wrote, which the user never sees.
        QString description = error.description();
        throw Failure(description.replace(QDir::toNativeSeparators(file.temporary()), output));
    }
    file.commit();
    return allRead && allWritten;
}

} // namespace

int exportTable(AddressBooks &books, TableFormat format, const QString &output)
{
    std::unique_ptr<ContactWalk> walk;
    try {
        walk = books.open();
    } catch (const Failure &error) {
        tell(error.description());
        return kExitFailed;
    }
    try {
        if (format == TableFormat::Xlsx)
            return writeWorkbookFile(*walk, output) ? kExitOk : kExitFailed;
        ConsoleSystem system;
        TextOutput out(system, output);
        const bool allRead
            = format == TableFormat::Text ? writeAlignedText(*walk, system, out) : writeCommaDelimited(*walk, out);
        out.commit();
        return allRead ? kExitOk : kExitFailed;
    } catch (const Failure &error) {
        tell(error.description());
        return kExitFailed;
    }
}

} // namespace quarrelby
