#pragma once

#include "platform/contacts/ContactSource.h"
#include "platform/contacts/Discovery.h"

#include <QByteArray>

#include <memory>

namespace quarrelby {

// The one place that knows which reader opens which kind of book.

// The kind of an SQLite file, from its tables.
[[nodiscard]] BookKind databaseKind(const QByteArray &path);

// A source over the book, opened at its first next().
[[nodiscard]] std::unique_ptr<ContactSource> openBook(const FoundBook &book);

} // namespace quarrelby
