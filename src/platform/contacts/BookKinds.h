#pragma once

#include "platform/contacts/BookReader.h"

#include <QByteArray>

#include <memory>
#include <vector>

namespace quarrelby {

// What kind of address book a file or folder is, and so which reader opens it.
enum class BookKind {
    Unknown, // named by the user: told by its content when opened
    VCard, // a .vcf file or a folder of them
    Eds, // an Evolution Data Server contacts.db or cache.db
    Thunderbird, // a Thunderbird abook*.sqlite
    OutlookDataFile, // a .pst or .ost
    OtherDatabase, // an SQLite file that is none of the above
};

struct FoundBook {
    // As where it was found says; Unknown for a book the user named.
    BookKind kind = BookKind::Unknown;
    QByteArray path; // the bytes the file system uses
    // A vCard book read with its sub-books as one: their folders, in
    // reading order, path being where they are. Empty for any other book.
    std::vector<QByteArray> folders {};
};

// The one place that knows kinds of books: it tells a book by its content
// and opens it with its reader.

// The book's kind: the one it was found as, else what its content says. A
// database is looked into as its read would open it.
[[nodiscard]] BookKind recogniseBook(const FoundBook &book);

// The reader of the book, which opens it when it reads.
[[nodiscard]] std::unique_ptr<BookReader> openBook(const FoundBook &book);

} // namespace quarrelby
