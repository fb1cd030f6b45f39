#include "cli/TableExport.h"

#include "cli/Console.h"
#include "cli/ContactWalking.h"
#include "cli/Output.h"
#include "core/ContactRows.h"
#include "core/FieldCatalogue.h"
#include "core/ResultList.h"
#include "core/TableEncoders.h"
#include "platform/AddressBooks.h"
#include "platform/Failure.h"
#include "platform/PrivateFolder.h"
#include "platform/contacts/ContactStore.h"
#include "platform/workbook/XlsxWriter.h"

#include <QDir>
#include <QFile>

#include <functional>
#include <memory>
#include <optional>
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
// order, and counts in omitted what the table has no room for: the lists,
// and the fields of a contact past its columns. Returns false when a
// failure was told.
bool forEachContact(ContactWalk &walk, Omissions &omitted, const std::function<void(const Contact &)> &take)
{
    return forEachContact(walk, [&](const Contact &contact, std::string_view) {
        if (contact.distributionList) {
            omitted.add(Omission::DistributionList);
            return;
        }
        omitted += contact.omitted;
        take(contact);
    });
}

// The aligned text needs every row before the first line: its column widths
// are those of the longest cell of the whole list.
bool writeAlignedText(ContactWalk &walk, Omissions &omitted, ConsoleSystem &system, Output &out)
{
    ResultList list;
    for (const QString &header : columnHeaders())
        list.addColumn(header);
    bool allRead = true;
    {
        ResultList::Batch batch(list);
        allRead = forEachContact(walk, omitted, [&](const Contact &contact) { addContactRow(list, contact); });
    }
    list.setCheckedRange(0, list.itemCount() - 1, true);
    const std::vector<int> widths = measureColumnWidths(list, system, CountHeaders::Yes);
    encodeAlignedText(list, widths, system, [&](QByteArrayView bytes) { out.write(bytes); });
    return allRead;
}

// Row by row as the contacts come: a large book never lies in memory whole.
bool writeCommaDelimited(ContactWalk &walk, Omissions &omitted, Output &out)
{
    CommaDelimitedLines lines([&](QByteArrayView bytes) { out.write(bytes); });
    lines.header(columnHeaders());
    ContactCells cells;
    const bool allRead = forEachContact(walk, omitted, [&](const Contact &contact) {
        cells.fill(contact);
        lines.row(cells.views());
    });
    lines.flush();
    return allRead;
}

class PrivateWorkbook {
public:
    PrivateWorkbook()
    {
        try {
            m_folder = std::make_unique<PrivateFolder>("export");
            m_path = QFile::decodeName(m_folder->file("Book1.xlsx"));
        } catch (const Failure &error) {
            throw Failure(
                QStringLiteral("No temporary folder could be made for the workbook: %1").arg(error.description()));
        }
    }

    bool write(ContactWalk &walk, Omissions &omitted, Output &output)
    {
        const QString shown = output.shown();
        WorkbookFile sheet(m_path);
        bool allWritten = true;
        int row = 0;
        // A cell the sheet cannot hold stays empty and is told, as the window
        // tells it and goes on with the next cell.
        const auto addRow = [&](const auto &cells) {
            ++row;
            int column = 0;
            for (const auto &cell : cells) {
                try {
                    sheet.setCell(row, ++column, QStringView(cell).toString());
                } catch (const Failure &error) {
                    tell(QStringLiteral("%1: row %2, column %3: %4")
                             .arg(shown)
                             .arg(row)
                             .arg(column)
                             .arg(error.description()));
                    allWritten = false;
                }
            }
        };

        addRow(columnHeaders());
        ContactCells cells;
        const bool allRead = forEachContact(walk, omitted, [&](const Contact &contact) {
            cells.fill(contact);
            addRow(cells.views());
        });
        stopIfInterrupted();
        try {
            sheet.finish();
        } catch (const Failure &error) {
            // The writer names the file it wrote, which the user never sees.
            QString description = error.description();
            throw Failure(description.replace(QDir::toNativeSeparators(m_path), shown));
        }
        copyInto(output);
        return allRead && allWritten;
    }

private:
    void copyInto(Output &output) const
    {
        QFile book(m_path);
        if (!book.open(QIODevice::ReadOnly))
            throw Failure(QStringLiteral("The workbook could not be read back: %1").arg(book.errorString()));
        QByteArray block(1 << 20, Qt::Uninitialized);
        while (true) {
            stopIfInterrupted();
            const qint64 got = book.read(block.data(), block.size());
            if (got < 0)
                throw Failure(QStringLiteral("The workbook could not be read back: %1").arg(book.errorString()));
            if (got == 0)
                return;
            output.write(QByteArrayView(block.constData(), got));
        }
    }

    std::unique_ptr<PrivateFolder> m_folder;
    QString m_path;
};

} // namespace

int exportTable(ContactStore &store, FoundBooks books, TableFormat format, Output &output)
{
    try {
        std::optional<PrivateWorkbook> workbook;
        if (format == TableFormat::Xlsx)
            workbook.emplace();
        ConsoleSystem system;
        output.open();
        const std::unique_ptr<ContactWalk> walk = store.open(std::move(books));
        bool allRead = true;
        Omissions omitted;
        if (workbook)
            allRead = workbook->write(*walk, omitted, output);
        else if (format == TableFormat::Text)
            allRead = writeAlignedText(*walk, omitted, system, output);
        else
            allRead = writeCommaDelimited(*walk, omitted, output);
        output.commit();
        // The table is the window's; what it could not hold is told, and the
        // status is the export's.
        tellOmissions(omitted, QStringLiteral("the table"));
        return allRead ? kExitOk : kExitFailed;
    } catch (const Failure &error) {
        // A signal says for itself why the program ends.
        if (!interrupted())
            tell(error.description());
        return kExitFailed;
    }
}

} // namespace quarrelby
