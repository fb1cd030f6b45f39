#pragma once

#include <QString>

#include <string>

namespace quarrelby::bench {

// Deterministic, varied vCards for benchmarks: non-ASCII names, multi-line
// addresses, notes with commas and quotes, all three vCard versions. The
// same index always gives the same card.
[[nodiscard]] std::string generatedCard(int index);

// Writes `count` cards into one .vcf file at `path`; false on a write error.
bool writeAddressBookFile(const QString &path, int count);

// Writes one file per card (contact-000001.vcf, ...) into the folder `path`,
// which must exist; false on a write error.
bool writeAddressBookFolder(const QString &path, int count);

// Writes `count` cards as a local Evolution book (contacts.db at `path`, which
// must not exist) in the schema Evolution Data Server 3.46 writes: each card
// with a UID and a REV, in column vcard of table folder_id beside its
// summary, its e-mail addresses and numbers in their own tables. The sort
// keys of the *_localized columns come from EDS's own collator: they are
// left empty, and with no country code stored the daemon makes them (and its
// E.164 forms of the numbers) anew when it first opens the book, as after a
// change of locale. bench/check-eds-book.sh opens such a book with the real
// daemon. False on a failure.
bool writeEdsBook(const QString &path, int count);

// Writes `count` cards as a Thunderbird book (abook.sqlite at `path`, which
// must not exist), as Thunderbird 102 and later leave it when they quit:
// table properties in write-ahead-log mode, each card a _vCard row (the
// card itself) beside DisplayName, FirstName and the like; false on a
// failure.
bool writeThunderbirdBook(const QString &path, int count);

} // namespace quarrelby::bench
