#pragma once

#include "format/Contact.h"
#include "platform/Failure.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string_view>

namespace quarrelby {

// Where a book's reader puts what it reads, in book order. Each call that
// puts returns false once the walk wants no more; the reader then returns at
// once.
class BookSink {
public:
    virtual ~BookSink() = default;
    // The vCard text of whole cards, one or several, as the book stores it.
    // rowUid stands in for the UID of a card that has none (a database's own
    // id of the row).
    virtual bool cards(std::string_view text, std::string_view rowUid = {}) = 0;
    // A contact the reader made itself, from a book that keeps no vCards,
    // and, when wholeContacts(), the vCard made of everything the book holds
    // of it (empty when the reader can make none).
    virtual bool contact(Contact contact, std::string_view card = {}) = 0;
    // Whether the walk hands each contact whole: a reader that makes its
    // contacts builds their vCards only then, and the table's walk, which
    // asks for none, costs nothing more.
    [[nodiscard]] virtual bool wholeContacts() const = 0;
    // What could not be read at this place; the reader goes on after it.
    virtual bool failure(Failure failure) = 0;
    // What is put from now on comes from sub-book `index` of the book,
    // counted from 0: a book read with its sub-books as one.
    virtual bool subBook(std::size_t index) = 0;
    // False once the walk wants no more: a reader that gathers rows before
    // it puts them asks between rows.
    [[nodiscard]] virtual bool wanted() const = 0;
    // A read without locks: what is put from now on is shown only while
    // unchanged() holds, until read() returns, having checked the book at its
    // end. The walk waits for that check when unchanged() fails.
    virtual void showWhile(std::function<bool()> unchanged) = 0;
    // The book changed while it was read without locks: what was put since
    // showWhile() and not shown yet is void, and the reader reads it again
    // from its start; false when the walk has shown some of it, and the
    // reader then fails instead, as the book changed under the walk.
    [[nodiscard]] virtual bool restart() = 0;
};

// One address book read from its first card to its last, plainly, on the
// thread that calls read(). The walk reads it through ReadAhead, which
// decides on which thread and how far ahead.
//
// A contact travels whole, for an output that loses nothing, as vCard text:
// cards() gives each card as its book stores it (a vCard file's pieces, a
// row of Evolution or Thunderbird, or the vCard Thunderbird's older cards
// and its mailing lists are turned into), and a walk opened whole hands
// each contact beside the span of that text its card took; a book that
// keeps no vCards puts the one it builds beside each contact(). The table's
// walk keeps none of it.
class BookReader {
public:
    virtual ~BookReader() = default;

    // False for a book read at its own pace, never waiting for the walk: a
    // database, whose locks are then held no longer than its read.
    [[nodiscard]] virtual bool waitsForWalk() const { return true; }
    // About how many bytes the book holds, 0 when that is not known: a book
    // smaller than a piece of text is read on the walk's own thread.
    [[nodiscard]] virtual std::uint64_t size() { return 0; }
    // Reads the book into sink, a failure that leaves the rest readable at
    // its place. Throws Failure, naming the book, for one that ends it.
    virtual void read(BookSink &sink) = 0;
};

} // namespace quarrelby
