#pragma once

#include "platform/contacts/ContactSource.h"

#include <QByteArray>

#include <memory>

namespace quarrelby {

// True when the bytes begin as an Outlook data file (.pst or .ost) does:
// "!BDN". Four bytes are enough.
[[nodiscard]] bool isOutlookDataFile(const QByteArray &firstBytes);

// The contact items of an Outlook data file (.pst, .ost), read with libpff:
// every folder, depth first, the folder's items before its subfolders.
// Items of class IPM.Contact or IPM.Contact.<form> are contacts; IPM.DistList
// items come back as distribution lists; other items are passed over. The
// file is opened read-only at the first next(); a file that cannot be opened
// or an item that cannot be read throws an Failure naming the file,
// after which the walk goes on with the next item.
[[nodiscard]] std::unique_ptr<ContactSource> openOutlookDataFile(const QByteArray &path);

} // namespace quarrelby
