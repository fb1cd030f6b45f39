#pragma once

#include <QByteArray>
#include <QString>

#include <vector>

namespace quarrelby {

// What kind of address book a file or folder is, and so which reader opens it.
enum class BookKind {
    VCard, // a .vcf file or a folder of them
    Eds, // an Evolution Data Server contacts.db or cache.db
    Thunderbird, // a Thunderbird abook*.sqlite
    OutlookDataFile, // a .pst or .ost
    OtherDatabase, // an SQLite file that is none of the above
};

struct FoundBook {
    BookKind kind = BookKind::VCard;
    QByteArray path; // the bytes the file system uses
    // A vCard book read with its sub-books as one: their folders, in
    // reading order, path being where they are. Empty for any other book.
    std::vector<QByteArray> folders {};
};

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
// them. Looks only at names and the first bytes of named files; nothing is
// opened for reading contacts yet.
[[nodiscard]] FoundBooks discoverAddressBooks();

// The books named in a ':'-separated list, each recognised by its content.
// None of them exists: no book at all. Some exist: every one is a book, so a
// missing one is reported at its place in the walk.
[[nodiscard]] FoundBooks namedAddressBooks(const QByteArray &list);
// The same for books given one by one (a path may then hold a ':').
[[nodiscard]] FoundBooks namedAddressBooks(const std::vector<QByteArray> &paths);

// The kind of the book at path, from its content.
[[nodiscard]] BookKind recogniseBook(const QByteArray &path);

// The paragraph that tells a user with no address book where Quarrelby
// looked and where to put one.
[[nodiscard]] QString searchedPlacesText(const FoundBooks &found);

} // namespace quarrelby
