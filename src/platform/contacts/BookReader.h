#pragma once

#include "format/Contact.h"
#include "platform/Failure.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace quarrelby {

// Where a book's reader puts what it reads, in book order. Each call but
// restart() returns false once the walk wants no more; the reader then
// returns at once.
class BookSink {
public:
    virtual ~BookSink() = default;
    // The vCard text of whole cards, one or several, as the book stores it.
    // rowUid stands in for the UID of a card that has none (a database's own
    // id of the row).
    virtual bool cards(std::string_view text, std::string_view rowUid = {}) = 0;
    // A contact the reader made itself, from a book that keeps no vCards.
    virtual bool contact(Contact contact) = 0;
    // What could not be read at this place; the reader goes on after it.
    virtual bool failure(Failure failure) = 0;
    // What is put from now on comes from sub-book `index` of the book,
    // counted from 0: a book read with its sub-books as one.
    virtual bool subBook(std::size_t index) = 0;
    // False once the walk wants no more: a reader that gathers rows before
    // it puts them asks between rows.
    [[nodiscard]] virtual bool wanted() const = 0;
    // What was put so far is void: the book changed while it was read, and
    // is read again from its start. Only a book shown WhenRead may restart.
    virtual void restart() = 0;
};

// One address book read from its first card to its last, plainly, on the
// thread that calls read(). The walk reads it through ReadAhead, which
// decides on which thread and how far ahead.
//
// A contact whole, for an output that loses nothing (vCard, import-ready
// CSV): the walk is to hand each contact, when asked, beside the parsed one:
//
//   struct WholeContact {
//       std::string card; // its vCard text as the book stores it
//       // or, from a book that keeps no vCard, what it holds of the contact
//       std::vector<std::pair<std::string, std::string>> properties;
//   };
//   ContactStore::open(found, Keep::WholeContacts) -> a walk whose
//   next(Contact &, WholeContact *) fills both.
//
// The readers put what that needs already: cards() gives each card's text
// as stored (a vCard file's pieces, a row of Evolution or Thunderbird), and
// ReadAhead will keep each parsed card's span of its job's text (where
// vcard::Reader began and ended it) only for a walk that asks; Thunderbird's
// cards kept before it stored vCards, and Outlook items, will put their rows
// or MAPI properties through a properties() call beside the card or contact
// made of them. The table's walk asks for none of it and keeps none of it.
class BookReader {
public:
    enum class Shown {
        // Contacts may be shown as soon as they are read: the reader waits
        // when the walk falls behind.
        AsRead,
        // Nothing is shown before read() has returned: a database is read
        // in one go, without waiting for the walk (no lock of the book is
        // held longer than its read), and one read without locks is checked
        // then, and read again (restart) when it changed meanwhile.
        WhenRead,
    };

    virtual ~BookReader() = default;

    [[nodiscard]] virtual Shown shown() const { return Shown::AsRead; }
    // About how many bytes the book holds, 0 when that is not known: a book
    // smaller than a piece of text is read on the walk's own thread.
    [[nodiscard]] virtual std::uint64_t size() { return 0; }
    // Reads the book into sink, a failure that leaves the rest readable at
    // its place. Throws Failure, naming the book, for one that ends it.
    virtual void read(BookSink &sink) = 0;
};

} // namespace quarrelby
