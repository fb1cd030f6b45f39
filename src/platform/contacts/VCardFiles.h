#pragma once

#include "platform/contacts/ContactSource.h"

#include <QByteArray>

#include <memory>
#include <string_view>
#include <vector>

namespace quarrelby {

// The contacts of a vCard address book: a folder of .vcf/.vcard files, or
// one such file. Files in name order, cards in file order. The source lists
// and cuts the book on a thread of its own; one thread more than there are
// cores reads and parses it, about 32,768 contacts ahead of the walk. A
// book with sub-books is read as one: folders names them all, in order
// (path is then only where they are), each a sub-book (see
// ContactSource::subBook). Paths are kept as the bytes the file system uses.
[[nodiscard]] std::unique_ptr<ContactSource> openVCardSource(
    const QByteArray &path, std::vector<QByteArray> folders = {});

// Whether a folder book reads the file of this name: a .vcf or .vcard file,
// in any case.
[[nodiscard]] bool isVCardFileName(std::string_view name);

} // namespace quarrelby
