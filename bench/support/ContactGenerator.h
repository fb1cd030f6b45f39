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
// must not exist): table folder_id with EDS's leading summary columns and the
// whole card in column vcard; false on a failure.
bool writeEdsBook(const QString &path, int count);

// Writes `count` cards as a Thunderbird book (abook.sqlite at `path`, which
// must not exist), as Thunderbird 102 and later leave it when they quit:
// table properties in write-ahead-log mode, each card a _vCard row (the
// card itself) beside DisplayName, FirstName and the like; false on a
// failure.
bool writeThunderbirdBook(const QString &path, int count);

} // namespace quarrelby::bench
