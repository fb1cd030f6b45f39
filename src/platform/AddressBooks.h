#pragma once

#include "format/Contact.h"
#include "platform/Failure.h"

#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace quarrelby {

// One pass over the contacts of the address books, first to last.
class ContactWalk {
public:
    virtual ~ContactWalk() = default;
    // The next contact into contact; false after the last. A throw
    // (Failure) reports what could not be read at its place; the
    // walk has then moved past it, and the next call goes on.
    [[nodiscard]] virtual bool next(Contact &contact) = 0;
    // The same, and the contact whole as vCard text, valid until the next
    // call: the card as its book stores it, or the one built of what the
    // book holds. Empty from a walk not opened whole.
    [[nodiscard]] virtual bool nextWhole(Contact &contact, std::string_view &card)
    {
        card = {};
        return next(contact);
    }
};

// What a walk that hands contacts whole does with each card where it is
// parsed, on a reading thread: turns it into the bytes of an output (out),
// counting what the output has no room for. The walk then hands those bytes
// in place of the card, and those counts as the contact's omitted; of a
// contact read from vCard text it fills only the uid and whether it is a
// distribution list, all the walk needs to list each contact once.
class CardTransform {
public:
    virtual ~CardTransform() = default;
    virtual void transform(std::string_view card, std::string &out, Omissions &omitted) = 0;
};
// Makes a CardTransform for each thread that reads.
using CardTransforms = std::function<std::unique_ptr<CardTransform>()>;

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
    // The same walk, handing each contact whole (ContactWalk::nextWhole),
    // for an output that loses nothing. It reads afresh, whatever
    // readAhead() began.
    [[nodiscard]] virtual std::unique_ptr<ContactWalk> openWhole() { return open(); }
};

// The user has no address book at all. The description is a paragraph
// naming the places that were searched.
class NoAddressBookError : public Failure {
public:
    using Failure::Failure;
};

} // namespace quarrelby
