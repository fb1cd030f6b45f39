#include "actions/ExtractContacts.h"

#include "core/ActionContext.h"
#include "core/BusyState.h"
#include "core/ContactRows.h"
#include "core/FieldCatalogue.h"
#include "core/ReportNames.h"
#include "core/ResultList.h"
#include "core/Steps.h"
#include "platform/AddressBooks.h"
#include "platform/Shell.h"

#include <memory>

namespace quarrelby {

bool haveAddressBooks(AddressBooks &books)
{
    try {
        books.discover();
        books.readAhead();
        return true;
    } catch (...) {
        return false;
    }
}

void extractContacts(ActionContext &context, AddressBooks &books)
{
    namespace line = reports::extractContacts;
    Steps steps(context.shell, line::place);
    if (!haveAddressBooks(books)) {
        steps(line::noAddressBooks, [&] {
            context.shell.message(QStringLiteral("MS Outlook does not appear to be installed on this computer."));
        });
        return;
    }
    context.shell.sleep(100);
    steps(line::readAddressBooks, [&] { readAddressBooks(context, books); });
    steps(line::done, [&] { context.shell.message(QStringLiteral("Done.")); });
}

void readAddressBooks(ActionContext &context, AddressBooks &books)
{
    using namespace reports::readAddressBooks;
    Steps steps(context.shell, place);
    ResultList &list = context.list;
    std::unique_ptr<ContactWalk> walk;

    const BusyState::Scope busy(context.busy);
    steps(open, [&] { walk = books.open(); });
    for (int n = 0; n < kFieldCount; ++n) {
        const bool ticked = context.fieldTicked(n);
        steps(ticked ? showColumn : hideColumn, [&] { list.setColumnHidden(n, !ticked); });
    }
    list.clearRows();

    ResultList::Batch batch(list);
    Contact contact;
    int line = firstContact;
    while (true) {
        bool found = false;
        const bool advanced = steps(line, [&] {
            // Books that failed to open are reported once more here, at the
            // first read, as they always have been; then the walk ends.
            if (!walk)
                throw Failure(QStringLiteral("Object variable or With block variable not set"));
            found = walk->next(contact);
        });
        line = nextContact;
        if (!advanced) {
            // What could not be read has been reported; the walk has moved
            // past it. Without a walk there is nothing to go on with.
            if (!walk)
                break;
            continue;
        }
        if (!found)
            break;
        if (!contact.distributionList)
            steps(addRow, [&] { addContactRow(list, contact); });
    }
}

} // namespace quarrelby
