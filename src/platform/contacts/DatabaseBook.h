#pragma once

#include "platform/contacts/BookReader.h"

#include <QByteArray>

#include <functional>
#include <memory>

namespace quarrelby {

namespace sqlitebook {
class Connection;
}

// Reads the cards of a database book on its open connection, within one
// read transaction, and puts every one.
using DatabaseRead = void (*)(sqlitebook::Connection &db, BookSink &sink);
// Tells from the tables of the open book which read it takes; throws
// Failure, naming the book, for one it cannot read.
using DatabaseKind = std::function<DatabaseRead(sqlitebook::Connection &db)>;

// An address book in an SQLite database, read without ever writing,
// creating, changing or removing a file beside it:
// - with no write-ahead log beside it, and in write-ahead-log mode, or with
//   an empty log that no program holds (Thunderbird leaves one after a clean
//   quit): read without locks from the file as it is (SQLite would create
//   its -wal and -shm files to lock it), and checked (BookSink::showWhile);
//   a book that changed meanwhile is read again, or reported when some of it
//   was shown already;
// - in rollback-journal mode with no log: with SQLite's ordinary locks;
// - with a log that holds something, or one a program holds (Thunderbird
//   keeps its books open and its log's index in its own memory): from a
//   private copy of both, taken while neither changed.
// It is read at its own pace, never waiting for the walk.
[[nodiscard]] std::unique_ptr<BookReader> databaseBook(QByteArray path, DatabaseKind kind);

// Opens the book at path as its read would, and lets look() look into it.
// Throws Failure naming the book when it cannot be opened.
void lookIntoDatabase(const QByteArray &path, const std::function<void(sqlitebook::Connection &db)> &look);

} // namespace quarrelby
