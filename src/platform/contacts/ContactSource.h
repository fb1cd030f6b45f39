#pragma once

#include "format/Contact.h"

#include <cstddef>

namespace quarrelby {

// One address book, walked once from its first contact to its last. Opening
// is lazy: the first next() opens the book, so that a book that cannot be
// read is reported at its place in the walk.
class ContactSource {
public:
    virtual ~ContactSource() = default;
    // The next contact; false after the last. Throws Failure, naming
    // the file, for a book or an item that cannot be read; the source has
    // then moved past it, and the next call goes on from there.
    virtual bool next(Contact &contact) = 0;
    // Starts reading ahead, if the source reads ahead at all, without
    // waiting for anything; a failure still shows at its place in the walk.
    virtual void start() { }
    // The sub-book the contact last given comes from, counted from 0: a
    // book read with its sub-books as one gives them in order. A contact
    // listed again in a later sub-book is the same contact synchronised
    // twice, as between books.
    [[nodiscard]] virtual std::size_t subBook() const { return 0; }
    // Asked once, before the first next(), of a source that was started
    // ahead: false when what it has read may no longer be what the book
    // holds. The caller has checked the book's own file (or folder) by what
    // the file system says of it; a source that reads other files, such as
    // the cards of a folder, checks those.
    [[nodiscard]] virtual bool readStillCurrent() { return true; }
};

} // namespace quarrelby
