#include "platform/contacts/ThunderbirdBook.h"

#include "format/thunderbird/LegacyCard.h"
#include "platform/contacts/SqliteConnection.h"

#include <functional>
#include <limits>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace quarrelby {

using namespace sqlitebook;

namespace {

// Every row, in the order written. A card's rows are gathered here rather
// than by the query: grouping and sorting 600,000 rows in SQLite takes
// seconds where one pass over the table takes a tenth of that.
constexpr const char *kRows = "SELECT card, name, value FROM properties WHERE card IS NOT NULL ORDER BY rowid";
constexpr const char *kProbe = "SELECT card, name, value FROM properties";
// The mailing lists, which books of old versions (a `cards` table,
// user_version 1) keep as cards too: a card whose id is a list's is left out.
constexpr const char *kLists = "SELECT uid FROM lists WHERE uid IS NOT NULL";
constexpr const char *kListDetails = "SELECT uid, name, nickName, description FROM lists WHERE uid IS NOT NULL";
constexpr const char *kListMembers = "SELECT list, card FROM list_cards WHERE list IS NOT NULL AND card IS NOT NULL";

// Card ids and their places in one open-addressed table, the ids in one
// buffer: each card is looked up once and added once, and a map of strings
// spent a good part of the read in allocations and cache misses.
class CardIndex {
public:
    static constexpr size_t kAbsent = std::numeric_limits<size_t>::max();

    // The value of id, or kAbsent.
    [[nodiscard]] size_t find(std::string_view id) const
    {
        if (m_slots.empty())
            return kAbsent;
        const size_t hash = std::hash<std::string_view>()(id);
        for (size_t i = hash & (m_slots.size() - 1);; i = (i + 1) & (m_slots.size() - 1)) {
            const Slot &slot = m_slots[i];
            if (slot.value == kAbsent)
                return kAbsent;
            if (slot.hash == hash && keyOf(slot) == id)
                return slot.value;
        }
    }

    // Adds id, which is not there yet, with value (not kAbsent).
    void add(std::string_view id, size_t value)
    {
        if ((m_used + 1) * 2 > m_slots.size())
            grow();
        Slot slot {std::hash<std::string_view>()(id), m_keys.size(), id.size(), value};
        m_keys += id;
        place(slot);
        ++m_used;
    }

private:
    struct Slot {
        size_t hash = 0;
        size_t key = 0;
        size_t length = 0;
        size_t value = kAbsent;
    };

    [[nodiscard]] std::string_view keyOf(const Slot &slot) const
    {
        return std::string_view(m_keys).substr(slot.key, slot.length);
    }

    void place(const Slot &slot)
    {
        size_t i = slot.hash & (m_slots.size() - 1);
        while (m_slots[i].value != kAbsent)
            i = (i + 1) & (m_slots.size() - 1);
        m_slots[i] = slot;
    }

    void grow()
    {
        std::vector<Slot> old(m_slots.empty() ? 1024 : m_slots.size() * 2);
        old.swap(m_slots);
        for (const Slot &slot : old) {
            if (slot.value != kAbsent)
                place(slot);
        }
    }

    std::vector<Slot> m_slots;
    std::string m_keys;
    size_t m_used = 0;
};

// The cards of the book in the order they were first written, each its own
// vCard or, for a card written before Thunderbird kept one, its properties.
// A first pass over the rows keeps only the vCards, and puts each card as
// soon as it and every card before it have theirs; only when a card has none
// does a second pass keep the properties of such cards.
class Cards {
public:
    // Leaves out the card of this id.
    void leaveOut(std::string_view card)
    {
        if (m_index.find(card) == CardIndex::kAbsent)
            m_index.add(card, kLeftOut);
    }

    // A row of the first pass: the card's place, and its vCard. False when
    // the sink wants no more.
    bool add(std::string_view card, std::string_view name, std::string_view value, BookSink &sink)
    {
        const size_t at = placeOf(card);
        if (at == kLeftOut)
            return true;
        Card &c = m_cards[at];
        if (c.hasVCard || name != "_vCard")
            return true;
        c.hasVCard = true;
        --m_withoutVCard;
        // The usual case: the next card to put, put straight from the row.
        if (at == m_put) {
            ++m_put;
            const bool more = sink.cards(value, c.id);
            c = Card {{}, {}, true, {}};
            if (!more)
                return false;
        } else {
            c.vcard.assign(value);
        }
        while (m_put < m_cards.size() && m_cards[m_put].hasVCard) {
            if (!put(m_cards[m_put++], sink))
                return false;
        }
        return true;
    }

    [[nodiscard]] bool allHaveVCards() const { return m_withoutVCard == 0; }

    // A row of the second pass: a property of a card without vCard.
    void addProperty(std::string_view card, std::string_view name, std::string_view value)
    {
        const size_t at = m_index.find(card);
        if (at != CardIndex::kAbsent && at != kLeftOut && !m_cards[at].hasVCard)
            m_cards[at].properties.emplace_back(std::string(name), std::string(value));
    }

    // Puts every card not put yet.
    void putRest(BookSink &sink)
    {
        std::vector<thunderbird::CardProperty> properties;
        for (; m_put < m_cards.size(); ++m_put) {
            Card &card = m_cards[m_put];
            if (!card.hasVCard) {
                properties.clear();
                for (const auto &[name, value] : card.properties)
                    properties.push_back({name, value});
                card.vcard = thunderbird::legacyVCard(properties);
            }
            if (!put(card, sink))
                return;
        }
    }

private:
    static constexpr size_t kLeftOut = CardIndex::kAbsent - 1;

    struct Card {
        std::string id;
        std::string vcard;
        bool hasVCard = false;
        std::vector<std::pair<std::string, std::string>> properties;
    };

    static bool put(Card &card, BookSink &sink)
    {
        const bool more = sink.cards(card.vcard, card.id);
        card = Card {{}, {}, true, {}};
        return more;
    }

    // A card's rows mostly follow each other: the last card is looked at
    // first.
    size_t placeOf(std::string_view card)
    {
        if (m_last != kLeftOut && m_cards[m_last].id == card)
            return m_last;
        size_t at = m_index.find(card);
        if (at == CardIndex::kAbsent) {
            at = m_cards.size();
            m_index.add(card, at);
            m_cards.push_back({std::string(card), {}, false, {}});
            ++m_withoutVCard;
        }
        if (at != kLeftOut)
            m_last = at;
        return at;
    }

    std::vector<Card> m_cards;
    CardIndex m_index;
    size_t m_last = kLeftOut;
    size_t m_withoutVCard = 0;
    // The cards before this one have been put.
    size_t m_put = 0;
};

// Steps through every row of properties while row() returns true; false
// when it did not.
template <class Row> bool eachRow(Connection &db, Row row)
{
    Statement rows(db, kRows);
    while (rows.step()) {
        if (!row(rows.text(0), rows.text(1), rows.text(2)))
            return false;
    }
    return true;
}

// The mailing lists as vCard groups with their members, after the cards: a
// walk that hands contacts whole carries them, the table has none.
void putLists(Connection &db, BookSink &sink)
{
    if (!sink.wanted() || !db.hasTable("lists") || !db.prepares(kListDetails))
        return;
    std::unordered_map<std::string, std::vector<std::string>> members;
    if (db.hasTable("list_cards") && db.prepares(kListMembers)) {
        Statement rows(db, kListMembers);
        while (rows.step())
            members[std::string(rows.text(0))].emplace_back(rows.text(1));
    }
    Statement lists(db, kListDetails);
    while (lists.step()) {
        const auto found = members.find(std::string(lists.text(0)));
        const std::span<const std::string> of
            = found == members.end() ? std::span<const std::string>() : std::span<const std::string>(found->second);
        if (!sink.cards(thunderbird::listVCard(lists.text(1), lists.text(2), lists.text(3), of), lists.text(0)))
            return;
    }
}

} // namespace

// Only real tables are read: a view of that name could be a query without
// end.
bool isThunderbirdBook(Connection &db)
{
    return db.hasTable("properties") && db.prepares(kProbe);
}

void readThunderbirdBook(Connection &db, BookSink &sink)
{
    if (!isThunderbirdBook(db))
        throw Failure(bookError(db.path(), QStringLiteral("it is not a Thunderbird address book")));
    Cards cards;
    if (db.hasTable("lists") && db.prepares(kLists)) {
        Statement lists(db, kLists);
        while (lists.step())
            cards.leaveOut(lists.text(0));
    }
    using V = std::string_view;
    if (!eachRow(db, [&](V card, V name, V value) { return cards.add(card, name, value, sink); }))
        return;
    size_t count = 0;
    if (!cards.allHaveVCards() && !eachRow(db, [&](V card, V name, V value) {
            cards.addProperty(card, name, value);
            return (++count & 4095) != 0 || sink.wanted();
        }))
        return;
    cards.putRest(sink);
    if (sink.wholeContacts())
        putLists(db, sink);
}

} // namespace quarrelby
