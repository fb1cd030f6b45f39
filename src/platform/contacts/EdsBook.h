#pragma once

#include "platform/contacts/ContactSource.h"

#include <QByteArray>

#include <memory>

namespace quarrelby {

// The contacts of an Evolution Data Server book: a local book's contacts.db
// (table folder_id) or an online account's cache.db (table ECacheObjects,
// leaving out rows deleted locally and not yet synchronised). Each row's
// vCard goes through the vCard mapping; the row's uid stands in for a card
// without UID. Read-only, in one read transaction, on the first next().
[[nodiscard]] std::unique_ptr<ContactSource> openEdsBook(const QByteArray &path);

// True when the file is an SQLite database with either table (or one whose
// tables cannot be read now: reading it then reports why).
[[nodiscard]] bool isEdsBook(const QByteArray &path);

} // namespace quarrelby
