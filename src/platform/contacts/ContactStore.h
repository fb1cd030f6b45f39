#pragma once

#include "platform/AddressBooks.h"
#include "platform/contacts/Discovery.h"

#include <QString>

#include <optional>

namespace quarrelby {

// The user's address books walked as one: the books in the order found (files
// by name, cards in file order), then, when none of them held a contact, the
// Outlook data files found. A contact whose uid an earlier book listed is
// listed once. Books are opened as the walk reaches them; one that cannot be
// read is reported at its place, and the walk goes on with the next.
class ContactStore : public AddressBooks {
public:
    // The books that discoverAddressBooks() finds at each open.
    ContactStore() = default;
    // Only the book at location, a file or folder recognised by its content.
    explicit ContactStore(const QString &location);

    // Throws NoAddressBookError, naming the places searched, when nothing
    // was found. The first book starts reading ahead.
    [[nodiscard]] std::unique_ptr<ContactWalk> open() override;

    // A walk over the books found.
    [[nodiscard]] static std::unique_ptr<ContactWalk> open(FoundBooks found);

private:
    std::optional<QString> m_location;
};

} // namespace quarrelby
