#pragma once

#include "format/Contact.h"
#include "platform/Failure.h"

#include <memory>

namespace quarrelby {

// One pass over the contacts of the address books, first to last.
class ContactWalk {
public:
    virtual ~ContactWalk() = default;
    // The next contact into contact; false after the last. A throw
    // (Failure) reports what could not be read at its place; the
    // walk has then moved past it, and the next call goes on.
    [[nodiscard]] virtual bool next(Contact &contact) = 0;
};

// The user's address books.
class AddressBooks {
public:
    virtual ~AddressBooks() = default;
    // Looks for the books, reading none of them: the next open() walks the
    // books found here. Throws NoAddressBookError when there is none.
    virtual void discover() = 0;
    // Starts reading the books discover() found, for the open() after it:
    // the click reads while it waits its moment (see ContactStore).
    virtual void readAhead() { }
    // A walk of the books discover() found last, or, when it was not asked
    // since the last open(), of those found now. Throws NoAddressBookError
    // when there is none, Failure when the books cannot be opened.
    [[nodiscard]] virtual std::unique_ptr<ContactWalk> open() = 0;
};

// The user has no address book at all. The description is a paragraph
// naming the places that were searched.
class NoAddressBookError : public Failure {
public:
    using Failure::Failure;
};

} // namespace quarrelby
