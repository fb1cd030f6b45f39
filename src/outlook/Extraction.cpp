#include "outlook/Extraction.h"

#include "core/ContactRows.h"
#include "core/ErrorTrap.h"
#include "core/FieldCatalogue.h"
#include "core/FormContext.h"
#include "core/MousePointer.h"
#include "core/ObjectReference.h"
#include "core/ResultList.h"
#include "platform/AddressBooks.h"
#include "platform/Shell.h"

#include <memory>
#include <utility>

namespace quarrelby {

bool IsOutlookInstalled(AddressBooks *books)
{
    try {
        return books && books->open() != nullptr;
    } catch (...) {
        return false;
    }
}

void PushButton2_Click(FormContext &form)
{
    ErrorTrap trap(form.shell, QStringLiteral("Form1.PushButton2_Click"));
    if (trap.test(100, [&] { return !IsOutlookInstalled(form.books); })) {
        trap(102, [&] {
            form.shell.message(QStringLiteral("MS Outlook does not appear to be installed on this computer."));
        });
        return;
    }
    trap(104, [&] { form.shell.sleep(100); });
    trap(106, [&] { form.pointer.setValue(MousePointer::Hourglass); });
    trap(108, [&] { GetAllContactsOutlook(form); });
    trap(110, [&] { form.shell.message(QStringLiteral("Done.")); });
    trap(112, [&] { form.pointer.setValue(MousePointer::Default); });
}

void GetAllContactsOutlook(FormContext &form)
{
    ErrorTrap trap(form.shell, QStringLiteral("Form1.GetAllContactsOutlook"));
    ResultList &list = form.list;
    std::unique_ptr<ContactWalk> walk;

    trap(100, [&] { form.pointer.setValue(MousePointer::Hourglass); });
    trap(102, [&] { walk = object(form.books).open(); });

    for (int n = 0; n < kFieldCount; ++n) {
        if (trap.test(112, [&] { return form.chkData(n) == 1; }))
            trap(114, [&] { list.setColumnWidth(n + 1, 1000); });
        else
            trap(116, [&] { list.setColumnWidth(n + 1, 1); });
    }

    trap(120, [&] { list.clearRows(); });

    {
        ResultList::Batch batch(list);
        Contact contact;
        int line = 122;
        while (true) {
            bool found = false;
            const bool advanced = trap(line, [&] { found = object(walk).next(contact); });
            line = 192;
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
                trap(126, [&] { addContactRow(list, contact); });
        }
    }

    trap(200, [&] { form.pointer.setValue(MousePointer::Default); });
}

} // namespace quarrelby
