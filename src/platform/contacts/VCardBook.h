#pragma once

#include "platform/contacts/BookReader.h"

#include <QByteArray>

#include <memory>
#include <string_view>
#include <vector>

namespace quarrelby {

// A vCard address book: a folder of .vcf/.vcard files, or one such file.
// Files in name order, cards in file order, in pieces of whole cards; a file
// that cannot be read is a failure at its place, and the next file is read.
// A book with sub-books is read as one: folders names them all, in order
// (path is then only where they are), each a sub-book. Paths are kept as the
// bytes the file system uses.
[[nodiscard]] std::unique_ptr<BookReader> vcardBook(QByteArray path, std::vector<QByteArray> folders = {});

// Whether a folder book reads the file of this name: a .vcf or .vcard file,
// in any case.
[[nodiscard]] bool isVCardFileName(std::string_view name);

} // namespace quarrelby
