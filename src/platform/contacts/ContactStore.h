#pragma once

#include "platform/Outlook.h"
#include "platform/contacts/Discovery.h"

#include <QString>

#include <memory>

namespace quarrelby {

// "Outlook.Application" over the user's address books, walked as one
// Contacts folder: the books in the order found (files by name, cards in
// file order), then, when none of them held a contact, the Outlook data
// files found. A contact whose uid an earlier book listed is listed once. Books
// are opened as the walk reaches them; one that cannot be read is reported
// at its place, and the walk goes on with the next.
class ContactStoreApplication : public OutlookApplication {
public:
    // Throws NoAddressBookError, naming the places searched, when nothing
    // was found.
    explicit ContactStoreApplication(FoundBooks found);
    // Only the book at location, a file or folder recognised by its content.
    explicit ContactStoreApplication(const QString &location);

    [[nodiscard]] std::unique_ptr<OutlookNamespace> getNamespace(const QString &type) override;
    void quit() override;

    [[nodiscard]] const FoundBooks &books() const { return *m_found; }

private:
    std::shared_ptr<const FoundBooks> m_found;
    bool m_quit = false;
};

class AutomationFactory;

// Registers "Outlook.Application" as the contact store over the books that
// discoverAddressBooks() finds at each creation.
void registerContactStore(AutomationFactory &automation);

} // namespace quarrelby
