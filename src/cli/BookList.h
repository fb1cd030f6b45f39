#pragma once

namespace quarrelby {

class ContactStore;
struct FoundBooks;

// Lists the books of the store on standard output, one line each in the
// order they are read: kind, number of contacts and path, tab-separated; a
// book that cannot be read with "-" for the number and the reason after the
// path. found holds at least one book. Returns the exit status.
[[nodiscard]] int listBooks(ContactStore &store, const FoundBooks &found);

} // namespace quarrelby
