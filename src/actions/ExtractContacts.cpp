#include "actions/ExtractContacts.h"

#include "core/ActionContext.h"
#include "core/ContactRows.h"
#include "core/FieldCatalogue.h"
#include "core/MousePointer.h"
#include "core/ObjectReference.h"
#include "core/ReportNames.h"
#include "core/ResultList.h"
#include "core/Steps.h"
#include "platform/AddressBooks.h"
#include "platform/Shell.h"

#include <memory>

namespace quarrelby {

bool haveAddressBooks(AddressBooks *books)
{
    try {
        if (!books)
            return false;
        books->discover();
        return true;
    } catch (...) {
        return false;
    }
}

void extractContacts(ActionContext &context)
{
    namespace line = steps::extractContacts;
    Steps steps(context.shell, reportName(Action::ExtractContacts));
    if (!haveAddressBooks(context.books)) {
        steps(line::noAddressBooks, [&] {
            context.shell.message(QStringLiteral("MS Outlook does not appear to be installed on this computer."));
        });
        return;
    }
    context.shell.sleep(100);
    steps(line::readAddressBooks, [&] { readAddressBooks(context); });
    steps(line::done, [&] { context.shell.message(QStringLiteral("Done.")); });
    context.pointer.setValue(MousePointer::Default);
}

void readAddressBooks(ActionContext &context)
{
    using namespace steps::readAddressBooks;
    Steps steps(context.shell, reportName(Action::ReadAddressBooks));
    ResultList &list = context.list;
    std::unique_ptr<ContactWalk> walk;

    context.pointer.setValue(MousePointer::Hourglass);
    steps(open, [&] { walk = object(context.books).open(); });
    for (int n = 0; n < kFieldCount; ++n) {
        const bool ticked = context.fieldTicked(n);
        steps(ticked ? showColumn : hideColumn, [&] { list.setColumnWidth(n + 1, ticked ? 1000 : 1); });
    }
    list.clearRows();

    {
        ResultList::Batch batch(list);
        Contact contact;
        int line = firstContact;
        while (true) {
            bool found = false;
            const bool advanced = steps(line, [&] { found = object(walk).next(contact); });
            line = nextContact;
            if (!advanced) {
                // What could not be read has been reported; the walk has
                // moved past it. Without a walk there is nothing to go on with.
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

    context.pointer.setValue(MousePointer::Default);
}

} // namespace quarrelby
