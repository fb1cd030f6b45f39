#pragma once

namespace quarrelby {

class ContactStore;

// Lists the books of the store on standard output, one line each in the
// order they are read: kind, number of contacts and path, tab-separated; a
// book that cannot be read with "-" for the number and the reason after the
// path. With no book at all the places searched go to standard error.
// Returns the exit status.
[[nodiscard]] int listBooks(ContactStore &store);

} // namespace quarrelby
