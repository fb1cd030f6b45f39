#include "actions/RequireAddressBooks.h"

#include "core/ErrorReport.h"
#include "platform/AddressBooks.h"
#include "platform/Shell.h"

namespace quarrelby {

QString noAddressBookText(const QString &searchedPlaces)
{
    const QString paragraph = QStringLiteral("\r\n\r\n");
    return QStringLiteral("Error 6631. A normal instance of Outlook could not be created.") + paragraph
        + QStringLiteral("1. Please make sure Outlook is installed on this computer.") + paragraph
        + QStringLiteral("2. Please make sure that you have properly configured Outlook such that the 'Getting "
                         "Started' wizard does not show.")
        + paragraph
        + QStringLiteral("3. Please open Outlook normally and make sure a clean inbox opens immediately without any "
                         "interrupting window (popups, messages).")
        + paragraph + QStringLiteral("Please email a screenshot of this message to ") + QLatin1String(kSupportAddress)
        + QStringLiteral(" if you have done all of above and are still having problems.")
        + (searchedPlaces.isEmpty() ? QString() : paragraph + searchedPlaces);
}

void requireAddressBooks(Shell &shell, AddressBooks &books)
{
    // The address books say where they looked when they found none.
    QString searchedPlaces;
    try {
        books.discover();
        return;
    } catch (const NoAddressBookError &error) {
        searchedPlaces = error.description();
    } catch (...) {
    }
    try {
        shell.message(noAddressBookText(searchedPlaces));
    } catch (...) {
    }
    shell.endProgram();
}

} // namespace quarrelby
