#pragma once

#include "platform/contacts/ContactSource.h"

#include <QByteArray>

#include <memory>

namespace quarrelby {

// The contacts of a vCard address book: a folder of .vcf/.vcard files, or
// one such file. Files in name order, cards in file order. Files are read as
// the walk reaches them, so only one file is held at a time. The path is
// kept as the bytes the file system uses.
[[nodiscard]] std::unique_ptr<ContactSource> openVCardSource(const QByteArray &path);

} // namespace quarrelby
