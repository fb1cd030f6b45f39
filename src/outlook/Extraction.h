#pragma once

#include "core/ContactRows.h"

namespace quarrelby {

class AddressBooks;
struct FormContext;

// True when the address books open; never throws.
[[nodiscard]] bool IsOutlookInstalled(AddressBooks *books);

// "Extract Contacts From Outlook".
void PushButton2_Click(FormContext &form);

// Sets the column widths from the check boxes and fills the list with one row
// of 33 cells per contact of the address books (distribution lists left out).
void GetAllContactsOutlook(FormContext &form);

} // namespace quarrelby
