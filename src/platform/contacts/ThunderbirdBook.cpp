#include "platform/contacts/ThunderbirdBook.h"

#include "format/thunderbird/LegacyCard.h"
#include "platform/AutomationError.h"
#include "platform/contacts/SqliteBook.h"

#include <limits>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

namespace quarrelby {

namespace {

using namespace sqlitebook;

// Every row, in the order written. A card's rows are gathered here rather
// than by the query: grouping and sorting 600,000 rows in SQLite takes
// seconds where one pass over the table takes a tenth of that.
constexpr const char *kRows = "SELECT card, name, value FROM properties WHERE card IS NOT NULL ORDER BY rowid";
constexpr const char *kProbe = "SELECT card, name, value FROM properties";
// The mailing lists, which books of old versions (a `cards` table,
// user_version 1) keep as cards too: a card whose id is a list's is left out.
constexpr const char *kLists = "SELECT uid FROM lists WHERE uid IS NOT NULL";

// The cards of the book in the order they were first written, each its own
// vCard or, for a card written before Thunderbird kept one, its properties.
class Cards {
public:
    // Leaves out the card of this id.
    void leaveOut(std::string_view card) { m_index.try_emplace(std::string(card), kLeftOut); }

    void add(std::string_view card, std::string_view name, std::string_view value)
    {
        const auto [at, added] = m_index.try_emplace(std::string(card), m_cards.size());
        if (at->second == kLeftOut)
            return;
        if (added)
            m_cards.push_back({std::string(card), {}, false, {}});
        Card &c = m_cards[at->second];
        if (c.hasVCard)
            return;
        if (name == "_vCard") {
            c.vcard.assign(value);
            c.hasVCard = true;
            c.properties.clear();
            c.properties.shrink_to_fit();
        } else {
            c.properties.emplace_back(std::string(name), std::string(value));
        }
    }

    // Puts every card; false when the sink wants no more.
    bool putAll(Sink &sink)
    {
        m_index.clear();
        std::vector<thunderbird::CardProperty> properties;
        for (Card &card : m_cards) {
            if (card.hasVCard) {
                if (!sink.put(card.vcard, card.id))
                    return false;
                std::string().swap(card.vcard);
                continue;
            }
            properties.clear();
            for (const auto &[name, value] : card.properties)
                properties.push_back({name, value});
            if (!sink.put(thunderbird::legacyVCard(properties), card.id))
                return false;
        }
        return true;
    }

private:
    static constexpr size_t kLeftOut = std::numeric_limits<size_t>::max();

    struct Card {
        std::string id;
        std::string vcard;
        bool hasVCard;
        std::vector<std::pair<std::string, std::string>> properties;
    };

    std::vector<Card> m_cards;
    std::unordered_map<std::string, size_t> m_index;
};

void readThunderbirdBook(Connection &db, Sink &sink)
{
    // Only real tables are read: a view of that name could be a query
    // without end.
    if (!db.hasTable("properties") || !db.prepares(kProbe))
        throw AutomationError(bookError(db.path(), QStringLiteral("it is not a Thunderbird address book")));
    Cards cards;
    if (db.hasTable("lists") && db.prepares(kLists)) {
        Statement lists(db, kLists);
        while (lists.step())
            cards.leaveOut(lists.text(0));
    }
    Statement rows(db, kRows);
    size_t count = 0;
    while (rows.step()) {
        cards.add(rows.text(0), rows.text(1), rows.text(2));
        if ((++count & 4095) == 0 && !sink.wanted())
            return;
    }
    cards.putAll(sink);
}

} // namespace

std::unique_ptr<ContactSource> openThunderbirdBook(const QByteArray &path)
{
    return openThreadedBook(path, readThunderbirdBook);
}

bool isThunderbirdBook(const QByteArray &path)
{
    return hasSchema(path, {kProbe});
}

} // namespace quarrelby
