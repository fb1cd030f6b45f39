#pragma once

#include "platform/AddressBooks.h"
#include "platform/contacts/Discovery.h"

#include <QString>

#include <memory>
#include <optional>
#include <vector>

namespace quarrelby {

class BooksWalk;

// The user's address books walked as one: the books in the order found (files
// by name, cards in file order), then, when none of them held a contact, the
// Outlook data files found. A contact whose uid an earlier book listed is
// listed once. Books are opened as the walk reaches them; one that cannot be
// read is reported at its place, and the walk goes on with the next.
class ContactStore : public AddressBooks {
public:
    // The books that discoverAddressBooks() finds.
    ContactStore();
    // Only the book at location, a file or folder told by its content.
    explicit ContactStore(const QString &location);
    // Only the books at paths, in this order, each told by its content.
    explicit ContactStore(std::vector<QByteArray> paths);
    ~ContactStore() override;
    ContactStore(const ContactStore &) = delete;
    ContactStore &operator=(const ContactStore &) = delete;

    void discover() override;
    // The click's own read, begun as soon as its check has found the books,
    // so that its 100 ms wait is not time lost; the start-up check, which
    // discovers too, reads nothing. Measured (Release, 100,000 contacts,
    // two cores, bench/window_time.sh, medians of five): a Thunderbird book
    // took 557 ms from the click to "Done." without it, 1.28 times the same
    // cards from a .vcf (434 ms), and 444 ms with it, 1.00 times; its peak
    // fell from 247 to 195 MB.
    void readAhead() override;
    // Throws NoAddressBookError, naming the places searched, when nothing
    // was found.
    [[nodiscard]] std::unique_ptr<ContactWalk> open() override;
    [[nodiscard]] std::unique_ptr<ContactWalk> openWhole() override;

    // The books that open() would walk now, found afresh.
    [[nodiscard]] FoundBooks find() const;
    // A walk of these books alone, such as one book of find()'s; whole: one
    // that hands each contact whole, or, given transforms, each card as they
    // turn it, on the reading threads.
    [[nodiscard]] std::unique_ptr<ContactWalk> open(
        FoundBooks found, bool whole = false, CardTransforms transforms = {});

private:
    std::optional<QString> m_location;
    std::optional<std::vector<QByteArray>> m_paths;
    // What discover() found, for the open() after it, and its walk when it
    // reads ahead.
    std::optional<FoundBooks> m_found;
    std::unique_ptr<BooksWalk> m_ahead;
};

} // namespace quarrelby
