#pragma once

#include "platform/contacts/ContactSource.h"

#include <QByteArray>

#include <memory>

namespace quarrelby {

// The contacts of a vCard address book: a folder of .vcf/.vcard files, or
// one such file. Files in name order, cards in file order. A thread of the
// source lists, reads and parses a few thousand contacts ahead of the walk,
// holding one file at a time. The path is kept as the bytes the file system
// uses.
[[nodiscard]] std::unique_ptr<ContactSource> openVCardSource(const QByteArray &path);

} // namespace quarrelby
