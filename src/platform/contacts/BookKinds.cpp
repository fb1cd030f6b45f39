#include "platform/contacts/BookKinds.h"

#include "platform/contacts/DatabaseBook.h"
#include "platform/contacts/EdsBook.h"
#include "platform/contacts/OutlookDataFile.h"
#include "platform/contacts/RegularFile.h"
#include "platform/contacts/SqliteConnection.h"
#include "platform/contacts/ThunderbirdBook.h"
#include "platform/contacts/VCardBook.h"

#include <QFile>

namespace quarrelby {

namespace {

// The kind the first bytes of a file tell; a database is OtherDatabase
// until its tables are looked at.
BookKind kindByFirstBytes(const QByteArray &path)
{
    // Only a regular file is looked into, and a named pipe must not stop
    // the program here; the vCard reader reports anything else by name.
    QString failure;
    const QByteArray first = readFileStart(path.constData(), 16, failure);
    if (isOutlookDataFile(first))
        return BookKind::OutlookDataFile;
    if (first == QByteArray("SQLite format 3", 16))
        return BookKind::OtherDatabase;
    return BookKind::VCard;
}

BookKind databaseKind(sqlitebook::Connection &db)
{
    if (isThunderbirdBook(db))
        return BookKind::Thunderbird;
    return isEdsBook(db) ? BookKind::Eds : BookKind::OtherDatabase;
}

Failure noAddressBook(const QByteArray &path)
{
    return Failure(QStringLiteral("The database \"%1\" holds no address book that Quarrelby can read.")
                       .arg(QFile::decodeName(path)));
}

} // namespace

BookKind recogniseBook(const FoundBook &book)
{
    if (book.kind != BookKind::Unknown)
        return book.kind;
    BookKind kind = kindByFirstBytes(book.path);
    if (kind == BookKind::OtherDatabase) {
        try {
            lookIntoDatabase(book.path, [&](sqlitebook::Connection &db) { kind = databaseKind(db); });
        } catch (const Failure &) {
        }
    }
    return kind;
}

std::unique_ptr<BookReader> openBook(const FoundBook &book)
{
    const BookKind kind = book.kind == BookKind::Unknown ? kindByFirstBytes(book.path) : book.kind;
    switch (kind) {
    case BookKind::Unknown:
    case BookKind::VCard:
        return vcardBook(book.path, book.folders);
    case BookKind::Eds:
        return databaseBook(book.path, [](sqlitebook::Connection &) { return &readEdsBook; });
    case BookKind::Thunderbird:
        return databaseBook(book.path, [](sqlitebook::Connection &) { return &readThunderbirdBook; });
    case BookKind::OutlookDataFile:
        return outlookDataFile(book.path);
    case BookKind::OtherDatabase:
        break;
    }
    // A database the user named is told by its tables as it is read.
    return databaseBook(book.path, [path = book.path](sqlitebook::Connection &db) -> DatabaseRead {
        switch (databaseKind(db)) {
        case BookKind::Thunderbird:
            return &readThunderbirdBook;
        case BookKind::Eds:
            return &readEdsBook;
        default:
            throw noAddressBook(path);
        }
    });
}

} // namespace quarrelby
