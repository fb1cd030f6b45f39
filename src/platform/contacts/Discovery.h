#pragma once

#include "platform/contacts/BookKinds.h"

#include <QByteArray>
#include <QString>

#include <vector>

namespace quarrelby {

struct FoundBooks {
    // Read in this order.
    std::vector<FoundBook> books;
    // Outlook data files found in the user's document folders: read only
    // when none of `books` held a contact.
    std::vector<FoundBook> fallback;
    // The places looked at, for a user who has no address book yet.
    std::vector<QByteArray> searched;
    // True when the places came from QUARRELBY_CONTACTS.
    bool named = false;
    // Where a user would put a .vcf file and a .pst file.
    QByteArray vcardFolder;
    QByteArray documentsFolder;

    [[nodiscard]] bool empty() const { return books.empty() && fallback.empty(); }
};

// The user's address books: those named by QUARRELBY_CONTACTS when it is
// set, otherwise every book found in the places the desktop's programs keep
// them. Looks only at names: no book is opened.
[[nodiscard]] FoundBooks discoverAddressBooks();

// The books named in a ':'-separated list, each told by its content when it
// is read. None of them exists: no book at all. Some exist: every one is a
// book, so a missing one is reported at its place in the walk.
[[nodiscard]] FoundBooks namedAddressBooks(const QByteArray &list);
// The same for books given one by one (a path may then hold a ':').
[[nodiscard]] FoundBooks namedAddressBooks(const std::vector<QByteArray> &paths);

// The paragraph that tells a user with no address book where Quarrelby
// looked and where to put one.
[[nodiscard]] QString searchedPlacesText(const FoundBooks &found);

} // namespace quarrelby
