#include "platform/contacts/EdsBook.h"

#include "platform/contacts/SqliteConnection.h"

namespace quarrelby {

using namespace sqlitebook;

namespace {

// A local book: the whole vCard of every contact in table folder_id.
constexpr const char *kLocalBook = "SELECT uid, vcard FROM folder_id";
// An online account's cache; state 3 marks a contact deleted here and not yet
// deleted on the server, which EDS no longer shows.
constexpr const char *kCache = "SELECT ECacheUID, ECacheOBJ FROM ECacheObjects WHERE ECacheState IS NOT 3";

// The query of the book: only real tables are read, as a view of that name
// could be a query without end.
const char *queryOf(Connection &db)
{
    if (db.hasTable("folder_id") && db.prepares(kLocalBook))
        return kLocalBook;
    if (db.hasTable("ECacheObjects") && db.prepares(kCache))
        return kCache;
    return nullptr;
}

} // namespace

bool isEdsBook(Connection &db)
{
    return queryOf(db) != nullptr;
}

void readEdsBook(Connection &db, BookSink &sink)
{
    const char *query = queryOf(db);
    if (!query)
        throw Failure(bookError(db.path(), QStringLiteral("it is not an Evolution address book")));
    Statement statement(db, query);
    while (statement.step()) {
        if (!sink.cards(statement.text(1), statement.text(0)))
            return;
    }
}

} // namespace quarrelby
