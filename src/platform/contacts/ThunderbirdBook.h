#pragma once

#include "platform/contacts/ContactSource.h"

#include <QByteArray>

#include <memory>

namespace quarrelby {

// The contacts of a Thunderbird address book (abook.sqlite, abook-N.sqlite):
// the rows of table properties grouped by card, in the order the cards were
// first written. A card's _vCard property goes through the vCard mapping; a
// card without one (last saved before Thunderbird kept vCards) is mapped
// from its separate properties. Mailing lists are not contacts. Read-only,
// in one read transaction, on the first next().
[[nodiscard]] std::unique_ptr<ContactSource> openThunderbirdBook(const QByteArray &path);

// True when the file is an SQLite database with Thunderbird's properties
// table (or one whose tables cannot be read now: reading it then reports why).
[[nodiscard]] bool isThunderbirdBook(const QByteArray &path);

} // namespace quarrelby
