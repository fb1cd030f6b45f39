#include "platform/contacts/ContactStore.h"

#include "platform/contacts/BookKinds.h"
#include "platform/contacts/ReadAhead.h"

#include "platform/Failure.h"

#include <QFile>
#include <QStringList>

#include <deque>
#include <exception>
#include <memory>
#include <optional>
#include <string>
#include <unordered_set>
#include <utility>
#include <vector>

namespace quarrelby {

namespace {

// Failures that came one after another in the walk, with no contact between
// them: a few are told one by one, as each came; more are told in one report
// that names the first few and counts the rest, instead of a box for each of
// 999 missing books.
class FailureRun {
public:
    static constexpr size_t kToldOneByOne = 3;

    void add(const Failure &error)
    {
        if (m_count++ < kToldOneByOne)
            m_first.push_back(std::current_exception());
        if (m_named.size() < kNamed)
            m_named << error.description();
    }

    [[nodiscard]] bool empty() const { return m_count == 0; }

    // The reports to throw, in order.
    [[nodiscard]] std::deque<std::exception_ptr> reports() const
    {
        if (m_count <= kToldOneByOne)
            return {m_first.begin(), m_first.end()};
        const auto named = static_cast<size_t>(m_named.size());
        QString text = QStringLiteral("%1 address books or contact files in a row could not be read").arg(m_count);
        text += named < m_count ? QStringLiteral(". The first %1:").arg(named) : QStringLiteral(":");
        for (const QString &description : m_named)
            text += QStringLiteral("\r\n") + description;
        if (named < m_count)
            text += QStringLiteral("\r\nand %1 more.").arg(m_count - named);
        return {std::make_exception_ptr(Failure(text))};
    }

private:
    static constexpr qsizetype kNamed = 5;
    size_t m_count = 0;
    std::vector<std::exception_ptr> m_first;
    QStringList m_named;
};

} // namespace

// Every book in turn; the fallback books only when the others held no
// contact.
class BooksWalk : public ContactWalk {
public:
    BooksWalk(FoundBooks found, bool whole, CardTransforms transforms)
        : m_books(std::move(found.books))
        , m_fallback(std::move(found.fallback))
        , m_whole(whole)
        , m_transforms(std::move(transforms))
    {
    }

    // Starts reading the first book before the first next().
    void readAhead()
    {
        if (!m_source && m_next == 0 && openNext())
            m_source->start();
    }

    bool next(Contact &contact) override { return take(contact, nullptr); }

    bool nextWhole(Contact &contact, std::string_view &card) override { return take(contact, &card); }

private:
    bool take(Contact &contact, std::string_view *card)
    {
        if (!m_reports.empty()) {
            const std::exception_ptr report = m_reports.front();
            m_reports.pop_front();
            std::rethrow_exception(report);
        }
        while (fetch(contact, card)) {
            if (const size_t subBook = m_source->subBook(); subBook != m_subBook) {
                m_subBook = subBook;
                m_listedBefore.merge(m_listedHere);
                m_listedHere.clear();
            }
            if (!contact.distributionList)
                m_heldContact = true;
            // One book may list a uid twice, as Outlook would; a uid that an
            // earlier book listed is the same contact synchronised twice.
            if (contact.uid.empty() || !m_listedBefore.contains(contact.uid)) {
                // Only a later book or sub-book can list it again: the last
                // book (often the only one) keeps no set of 100,000 uids.
                if (!contact.uid.empty() && !contact.distributionList && (m_next < m_books.size() || m_subBooks))
                    m_listedHere.insert(contact.uid);
                return true;
            }
        }
        return false;
    }

    // The next contact. Failures go on to the next contact or the end of
    // the walk, gathered; their reports are then thrown, one per call, and
    // the contact found after them is kept for the call after the last.
    bool fetch(Contact &contact, std::string_view *card)
    {
        // Its card is still the one the book gave last.
        if (m_waiting) {
            contact = std::move(*m_waiting);
            m_waiting.reset();
            if (card != nullptr)
                *card = m_waitingCard;
            return true;
        }
        FailureRun failures;
        bool found = false;
        while (true) {
            try {
                found = nextContact(contact, card);
                break;
            } catch (const Failure &error) {
                failures.add(error);
            }
        }
        if (failures.empty())
            return found;
        if (found) {
            m_waiting = std::move(contact);
            if (card != nullptr)
                m_waitingCard = *card;
        }
        m_reports = failures.reports();
        const std::exception_ptr first = m_reports.front();
        m_reports.pop_front();
        std::rethrow_exception(first);
    }

    // A failure of the current book passes to the caller; the book has
    // then moved past what failed, and the next call goes on with it.
    bool nextContact(Contact &contact, std::string_view *card)
    {
        while (true) {
            if (m_source && m_source->next(contact, card))
                return true;
            m_source.reset();
            m_listedBefore.merge(m_listedHere);
            m_listedHere.clear();
            if (!openNext())
                return false;
        }
    }

    // The next book to read in m_source; false after the last.
    bool openNext()
    {
        if (m_next == m_books.size() && !m_heldContact && !m_fallbackTaken) {
            m_fallbackTaken = true;
            m_books.insert(m_books.end(), m_fallback.begin(), m_fallback.end());
        }
        if (m_next == m_books.size())
            return false;
        const FoundBook &book = m_books[m_next++];
        m_source = std::make_unique<ReadAhead>(openBook(book), book.path, m_whole, m_transforms);
        m_subBooks = book.folders.size() > 1;
        m_subBook = 0;
        return true;
    }

    std::vector<FoundBook> m_books;
    std::vector<FoundBook> m_fallback;
    const bool m_whole;
    const CardTransforms m_transforms;
    size_t m_next = 0;
    bool m_heldContact = false;
    bool m_fallbackTaken = false;
    std::unique_ptr<ReadAhead> m_source;
    std::optional<Contact> m_waiting; // found after failures still to be told
    std::string_view m_waitingCard;
    std::deque<std::exception_ptr> m_reports; // failures still to be told
    // The current book has sub-books; the one its last contact came from.
    bool m_subBooks = false;
    size_t m_subBook = 0;
    std::unordered_set<std::string> m_listedBefore;
    std::unordered_set<std::string> m_listedHere;
};

ContactStore::ContactStore() = default;

ContactStore::ContactStore(const QString &location)
    : m_location(location)
{
}

ContactStore::ContactStore(std::vector<QByteArray> paths)
    : m_paths(std::move(paths))
{
}

ContactStore::~ContactStore() = default;

void ContactStore::discover()
{
    m_ahead.reset();
    m_found = find();
    if (m_found->empty())
        throw NoAddressBookError(searchedPlacesText(*m_found));
}

void ContactStore::readAhead()
{
    if (!m_found)
        return;
    m_ahead = std::make_unique<BooksWalk>(std::move(*m_found), false, CardTransforms());
    m_found.reset();
    m_ahead->readAhead();
}

std::unique_ptr<ContactWalk> ContactStore::open(FoundBooks found, bool whole, CardTransforms transforms)
{
    if (found.empty())
        throw NoAddressBookError(searchedPlacesText(found));
    return std::make_unique<BooksWalk>(std::move(found), whole, std::move(transforms));
}

FoundBooks ContactStore::find() const
{
    if (m_paths)
        return namedAddressBooks(*m_paths);
    return m_location ? namedAddressBooks(QFile::encodeName(*m_location)) : discoverAddressBooks();
}

std::unique_ptr<ContactWalk> ContactStore::open()
{
    if (m_ahead)
        return std::move(m_ahead);
    std::optional<FoundBooks> found = std::exchange(m_found, std::nullopt);
    return open(found ? std::move(*found) : find());
}

std::unique_ptr<ContactWalk> ContactStore::openWhole()
{
    m_ahead.reset();
    std::optional<FoundBooks> found = std::exchange(m_found, std::nullopt);
    return open(found ? std::move(*found) : find(), true);
}

} // namespace quarrelby
