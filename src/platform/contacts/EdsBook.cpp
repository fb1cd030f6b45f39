#include "platform/contacts/EdsBook.h"

#include "platform/Failure.h"
#include "platform/contacts/SqliteBook.h"

namespace quarrelby {

namespace {

using namespace sqlitebook;

// A local book: the whole vCard of every contact in table folder_id.
constexpr const char *kLocalBook = "SELECT uid, vcard FROM folder_id";
// An online account's cache; state 3 marks a contact deleted here and not yet
// deleted on the server, which EDS no longer shows.
constexpr const char *kCache = "SELECT ECacheUID, ECacheOBJ FROM ECacheObjects WHERE ECacheState IS NOT 3";

void readRows(Connection &db, const char *query, Sink &sink)
{
    Statement statement(db, query);
    while (statement.step()) {
        if (!sink.put(statement.text(1), statement.text(0)))
            return;
    }
}

// Only real tables are read: a view of that name could be a query without
// end.
void readEdsBook(Connection &db, Sink &sink)
{
    if (db.hasTable("folder_id") && db.prepares(kLocalBook))
        readRows(db, kLocalBook, sink);
    else if (db.hasTable("ECacheObjects") && db.prepares(kCache))
        readRows(db, kCache, sink);
    else
        throw Failure(bookError(db.path(), QStringLiteral("it is not an Evolution address book")));
}

} // namespace

std::unique_ptr<ContactSource> openEdsBook(const QByteArray &path)
{
    return openThreadedBook(path, readEdsBook);
}

bool isEdsBook(const QByteArray &path)
{
    return hasSchema(path, {kLocalBook, kCache});
}

} // namespace quarrelby
