#pragma once

#include "platform/contacts/BookReader.h"

namespace quarrelby {

namespace sqlitebook {
class Connection;
}

// True when the open database is a Thunderbird address book (abook.sqlite,
// abook-N.sqlite): a real table properties of cards, names and values.
[[nodiscard]] bool isThunderbirdBook(sqlitebook::Connection &db);

// Puts the cards of the open Thunderbird book, grouped from the rows of
// table properties, in the order the cards were first written: a card's
// _vCard property, or for a card without one (last saved before Thunderbird
// kept vCards) the vCard its separate properties make. Mailing lists are not
// contacts: only a walk that hands contacts whole gets them, after the cards,
// as vCard groups of their members. The card's id stands in for a card
// without UID.
void readThunderbirdBook(sqlitebook::Connection &db, BookSink &sink);

} // namespace quarrelby
