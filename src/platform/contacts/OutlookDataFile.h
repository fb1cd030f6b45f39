#pragma once

#include "platform/contacts/BookReader.h"

#include <QByteArray>

#include <memory>

namespace quarrelby {

// True when the bytes begin as an Outlook data file (.pst or .ost) does:
// "!BDN". Four bytes are enough.
[[nodiscard]] bool isOutlookDataFile(const QByteArray &firstBytes);

// The contact items of an Outlook data file (.pst, .ost), read with libpff:
// every folder, depth first, the folder's items before its subfolders.
// Items of class IPM.Contact or IPM.Contact.<form> are contacts; IPM.DistList
// items come as distribution lists; other items are passed over. The file is
// opened read-only; an item that cannot be read is a failure at its place,
// naming the file.
[[nodiscard]] std::unique_ptr<BookReader> outlookDataFile(QByteArray path);

} // namespace quarrelby
