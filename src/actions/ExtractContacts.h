#pragma once

namespace quarrelby {

class AddressBooks;
struct ActionContext;

// True when there is an address book, none of them read; never throws.
[[nodiscard]] bool haveAddressBooks(AddressBooks &books);

// "Extract Contacts From Outlook".
void extractContacts(ActionContext &context, AddressBooks &books);

// Sets the column widths from the check boxes and fills the list with one row
// of 33 cells per contact of the address books (distribution lists left out).
void readAddressBooks(ActionContext &context, AddressBooks &books);

} // namespace quarrelby
