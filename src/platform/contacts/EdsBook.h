#pragma once

#include "platform/contacts/BookReader.h"

namespace quarrelby {

namespace sqlitebook {
class Connection;
}

// True when the open database is an Evolution Data Server book: a local
// book's contacts.db (table folder_id) or an online account's cache.db
// (table ECacheObjects).
[[nodiscard]] bool isEdsBook(sqlitebook::Connection &db);

// Puts the cards of the open Evolution book, each row's whole vCard with the
// row's uid standing in for a card without UID, leaving out the rows of a
// cache deleted locally and not yet synchronised.
void readEdsBook(sqlitebook::Connection &db, BookSink &sink);

} // namespace quarrelby
