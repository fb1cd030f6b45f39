#pragma once

#include <QString>

namespace quarrelby {

class AddressBooks;
class Shell;

// The advice shown when the contact store cannot be opened; searchedPlaces,
// when given, is added as its last paragraph.
[[nodiscard]] QString noAddressBookText(const QString &searchedPlaces = {});

// Returns when the contact store can be opened; otherwise shows the advice and
// ends the program.
void requireAddressBooks(Shell &shell, AddressBooks &books);

} // namespace quarrelby
