#pragma once

#include "platform/contacts/BookKinds.h"

#include <QByteArray>

namespace quarrelby {

// Whether reading the book would open the file named name in folder (a
// folder that exists, its links resolved), whether that file exists yet or
// not: the book's own file, or SQLite's log, shared-memory or journal file
// beside a database, or a card file of a folder book; a file reached through
// links counts as the file it leads to (compared by device and inode). A new
// card file in a folder of a folder book would be read too.
[[nodiscard]] bool bookReads(const FoundBook &book, const QByteArray &folder, const QByteArray &name);

} // namespace quarrelby
