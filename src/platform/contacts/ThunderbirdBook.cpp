#include "platform/contacts/ThunderbirdBook.h"

#include "format/thunderbird/LegacyCard.h"
#include "platform/AutomationError.h"
#include "platform/contacts/SqliteBook.h"

#include <string>
#include <utility>
#include <vector>

namespace quarrelby {

namespace {

using namespace sqlitebook;

// Every row of every card, a card's rows together, the cards in the order
// they were first written.
constexpr const char *kRows = "SELECT p.card, p.name, p.value FROM properties AS p"
                              " JOIN (SELECT card, MIN(rowid) AS first FROM properties GROUP BY card) AS f"
                              " ON f.card = p.card ORDER BY f.first, p.rowid";
// The same without the mailing lists that books of old versions (a `cards`
// table, user_version 1) keep as cards too: a card whose id is a list's.
constexpr const char *kRowsButLists = "SELECT p.card, p.name, p.value FROM properties AS p"
                                      " JOIN (SELECT card, MIN(rowid) AS first FROM properties"
                                      " WHERE card NOT IN (SELECT uid FROM lists WHERE uid IS NOT NULL)"
                                      " GROUP BY card) AS f"
                                      " ON f.card = p.card ORDER BY f.first, p.rowid";
constexpr const char *kProbe = "SELECT card, name, value FROM properties";
constexpr const char *kListProbe = "SELECT uid FROM lists";

class Cards {
public:
    explicit Cards(Sink &sink)
        : m_sink(sink)
    {
    }

    // Adds one row; false when the sink wants no more.
    bool add(std::string_view card, std::string_view name, std::string_view value)
    {
        if (card != m_card && !finish())
            return false;
        if (m_rows.empty())
            m_card.assign(card);
        m_rows.emplace_back(std::string(name), std::string(value));
        return true;
    }

    // Puts the card collected so far.
    bool finish()
    {
        if (m_rows.empty())
            return true;
        std::vector<thunderbird::CardProperty> properties;
        properties.reserve(m_rows.size());
        const std::string *vcard = nullptr;
        for (const auto &[name, value] : m_rows) {
            if (!vcard && name == "_vCard")
                vcard = &value;
            properties.push_back({name, value});
        }
        const bool more = vcard ? m_sink.put(*vcard, m_card) : m_sink.put(thunderbird::legacyVCard(properties), m_card);
        m_rows.clear();
        return more;
    }

private:
    Sink &m_sink;
    std::string m_card;
    std::vector<std::pair<std::string, std::string>> m_rows;
};

void readThunderbirdBook(Connection &db, Sink &sink)
{
    // Only real tables are read: a view of that name could be a query
    // without end.
    if (!db.hasTable("properties") || !db.prepares(kProbe))
        throw AutomationError(bookError(db.path(), QStringLiteral("it is not a Thunderbird address book")));
    const bool lists = db.hasTable("lists") && db.prepares(kListProbe);
    Cards cards(sink);
    Statement rows(db, lists ? kRowsButLists : kRows);
    while (rows.step()) {
        if (!cards.add(rows.text(0), rows.text(1), rows.text(2)))
            return;
    }
    cards.finish();
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
