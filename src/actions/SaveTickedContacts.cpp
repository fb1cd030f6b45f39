#include "actions/SaveTickedContacts.h"

#include "actions/FileExport.h"
#include "core/ActionContext.h"
#include "core/BusyState.h"
#include "core/ContactRows.h"
#include "core/ReportNames.h"
#include "core/ResultList.h"
#include "core/Steps.h"
#include "platform/AddressBooks.h"
#include "platform/Shell.h"

#include <QHash>

#include <memory>
#include <string>
#include <unordered_map>
#include <unordered_set>

namespace quarrelby {

namespace {

// The ticked rows as the walk meets their contacts. A uid is unique in the
// walk (a contact whose uid was listed before is skipped); a contact without
// one is known only by what its row shows, and two such rows alike stand for
// two contacts alike.
class TickedRows {
public:
    explicit TickedRows(const ResultList &list)
        : m_list(list)
    {
        for (int row = 0; row < list.itemCount(); ++row) {
            if (!list.checked(row))
                continue;
            ++m_count;
            if (const std::string_view uid = list.uid(row); !uid.empty())
                m_uids.emplace(uid);
            else
                m_byCells.emplace(rowHash(row), row);
        }
    }

    [[nodiscard]] int count() const { return m_count; }

    // Whether the contact is a ticked row's not met before. Reads the list:
    // only while it holds the rows it held when this was made.
    [[nodiscard]] bool take(const Contact &contact)
    {
        if (!contact.uid.empty() && m_uids.erase(contact.uid) > 0)
            return true;
        if (m_byCells.empty())
            return false;
        m_cells.fill(contact);
        const auto [first, last] = m_byCells.equal_range(hash(m_cells.views()));
        for (auto it = first; it != last; ++it) {
            if (sameCells(it->second)) {
                m_byCells.erase(it);
                return true;
            }
        }
        return false;
    }

private:
    static size_t hash(const std::array<QStringView, kFieldCount> &cells)
    {
        size_t seed = 0;
        for (const QStringView cell : cells)
            seed = qHash(cell, seed);
        return seed;
    }

    size_t rowHash(int row) const
    {
        std::array<QStringView, kFieldCount> cells {};
        for (int n = 0; n < kFieldCount; ++n)
            cells[static_cast<size_t>(n)] = m_list.cellView(row, n);
        return hash(cells);
    }

    bool sameCells(int row) const
    {
        for (int n = 0; n < kFieldCount; ++n) {
            if (m_list.cellView(row, n) != m_cells.views()[static_cast<size_t>(n)])
                return false;
        }
        return true;
    }

    const ResultList &m_list;
    int m_count = 0;
    std::unordered_set<std::string> m_uids;
    std::unordered_multimap<size_t, int> m_byCells;
    ContactCells m_cells;
};

SaveDialogSettings saveDialog(CardFormat format)
{
    const bool vcard = format == CardFormat::VCard3 || format == CardFormat::VCard4;
    return {QStringLiteral("Save"),
        {vcard ? QStringLiteral("vCard Files (*.vcf)") : QStringLiteral("CSV Files (*.csv)"),
            QStringLiteral("All Files (*)")}};
}

QString contacts(int count)
{
    return count == 1 ? QStringLiteral("1 ticked contact") : QStringLiteral("%1 ticked contacts").arg(count);
}

} // namespace

QString tickedSavedMessage(const TickedOutcome &outcome, CardFormat format)
{
    const QString paragraph = QStringLiteral("\r\n\r\n");
    QString text = (outcome.saved == 1 ? QStringLiteral("1 contact has been saved to ")
                                       : QStringLiteral("%1 contacts have been saved to ").arg(outcome.saved))
        + outcome.path + QLatin1Char('.');
    const bool csv = format == CardFormat::OutlookCsv || format == CardFormat::GoogleCsv;
    const QString warning = omissionWarning(
        outcome.omitted, u"the file", csv ? u"a vCard file keeps every field" : u"a vCard 4.0 file keeps every field");
    if (!warning.isEmpty())
        text += paragraph + warning + QLatin1Char('.');
    if (outcome.gone > 0) {
        text += paragraph + contacts(outcome.gone)
            + (outcome.gone == 1 ? QStringLiteral(" is no longer in the address books and is not in the file.")
                                 : QStringLiteral(" are no longer in the address books and are not in the file."));
    }
    if (outcome.notWhole > 0) {
        text += paragraph + contacts(outcome.notWhole)
            + (outcome.notWhole == 1 ? QStringLiteral(" could not be read whole and is not in the file.")
                                     : QStringLiteral(" could not be read whole and are not in the file."));
    }
    return text;
}

namespace {

// Busy from the walk to the commit, not while the closing message waits.
bool saveWhole(ActionContext &context, AddressBooks &books, TextFileWriter &files, CardFormat format, Steps &steps,
    TickedOutcome &outcome)
{
    using namespace reports::saveTickedContacts;
    ResultList &list = context.list;
    const BusyState::Scope busy(context.busy);
    // The rows as they are now: the dialogs before ran the event loop.
    const quint64 revision = list.rowsRevision();
    TickedRows ticked(list);
    std::unique_ptr<ContactWalk> walk;
    if (!steps(open, [&] {
            books.discover();
            walk = books.openWhole();
        }))
        return false;

    return steps(save, [&] {
        saveEncoded(files, list, revision, outcome.path, [&](const ByteSink &sink) {
            CardEncoder encoder(format, sink);
            Contact contact;
            std::string_view card;
            int matched = 0;
            while (true) {
                bool more = false;
                // What could not be read has been reported; the walk has
                // moved past it.
                if (!steps(readContact, [&] { more = walk->nextWhole(contact, card); }))
                    continue;
                if (!more)
                    break;
                context.shell.yield();
                requireUnchanged(list, revision);
                // The list never shows a distribution list.
                if (contact.distributionList || !ticked.take(contact))
                    continue;
                ++matched;
                if (card.empty()) {
                    ++outcome.notWhole;
                    continue;
                }
                encoder.add(card);
                ++outcome.saved;
            }
            encoder.finish();
            outcome.omitted = encoder.omitted();
            outcome.gone = ticked.count() - matched;
            if (outcome.saved == 0) {
                throw Failure(QStringLiteral("None of the ticked contacts could be read from the address books; "
                                             "the file was not saved."));
            }
        });
    });
}

} // namespace

void saveTickedContacts(ActionContext &context, AddressBooks &books, TextFileWriter &files, CardFormat format)
{
    using namespace reports::saveTickedContacts;
    Steps steps(context.shell, place);
    const ResultList &list = context.list;
    bool anyTicked = false;
    for (int row = 0; row < list.itemCount() && !anyTicked; ++row)
        anyTicked = list.checked(row);
    if (!anyTicked) {
        steps(tellUser, [&] { context.shell.message(QStringLiteral("No contacts are ticked.")); });
        return;
    }
    TickedOutcome outcome;
    outcome.path = askForFileName(context.shell, steps, saveDialog(format), showDialog);
    if (outcome.path.isEmpty())
        return;
    // A question that fails to show counts as No.
    if (context.shell.fileExists(outcome.path)) {
        MessageAnswer answer = MessageAnswer::No;
        steps(askOverwrite, [&] { answer = context.shell.question(overwriteQuestion(outcome.path)); });
        if (answer != MessageAnswer::Yes)
            return;
    }

    if (saveWhole(context, books, files, format, steps, outcome))
        steps(tellUser, [&] { context.shell.message(tickedSavedMessage(outcome, format)); });
}

} // namespace quarrelby
