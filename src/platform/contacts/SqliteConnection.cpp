#include "platform/contacts/SqliteConnection.h"

#include "platform/Failure.h"

#include <QFile>

#include <sqlite3.h>

#include <memory>
#include <new>
#include <sys/stat.h>

namespace quarrelby::sqlitebook {

namespace {

// How long a read waits for a writer's lock before it gives up.
constexpr int kBusyTimeoutMs = 3000;
// The whole read of a small book; a larger one has a second more for every
// kBytesPerSecond of its file and log.
constexpr std::chrono::seconds kReadLimit(5);
constexpr off_t kBytesPerSecond = 32 * 1024 * 1024;

off_t fileSize(const QByteArray &path)
{
    struct stat info { };
    return ::stat(path.constData(), &info) == 0 ? info.st_size : 0;
}

} // namespace

QString bookError(const QByteArray &path, const QString &reason)
{
    return QStringLiteral("The address book \"%1\" cannot be read: %2").arg(QFile::decodeName(path), reason);
}

Deadline readDeadline(const QByteArray &path)
{
    const std::chrono::seconds limit
        = kReadLimit + std::chrono::seconds((fileSize(path) + fileSize(path + "-wal")) / kBytesPerSecond);
    return {std::chrono::steady_clock::now() + limit, static_cast<long long>(limit.count())};
}

Connection::Connection(const QByteArray &book, const QByteArray &file, bool uri, Deadline deadline)
    : m_book(book)
    , m_deadline(deadline)
{
    const int flags = SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX | (uri ? SQLITE_OPEN_URI : 0);
    if (const int rc = sqlite3_open_v2(file.constData(), &m_db, flags, nullptr); rc != SQLITE_OK) {
        const QString reason = m_db ? QString::fromUtf8(sqlite3_errmsg(m_db)) : QString::fromUtf8(sqlite3_errstr(rc));
        sqlite3_close(m_db);
        throw Failure(bookError(m_book, reason));
    }
    // Nothing the file says runs more than the read: no function of the
    // schema's that is not known harmless, no view, no trigger.
    for (const int option : {SQLITE_DBCONFIG_DEFENSIVE, SQLITE_DBCONFIG_TRUSTED_SCHEMA, SQLITE_DBCONFIG_ENABLE_VIEW,
             SQLITE_DBCONFIG_ENABLE_TRIGGER})
        sqlite3_db_config(m_db, option, option == SQLITE_DBCONFIG_DEFENSIVE ? 1 : 0, nullptr);
    sqlite3_busy_timeout(m_db, kBusyTimeoutMs);
    sqlite3_progress_handler(m_db, 1000, &Connection::progress, this);
}

Connection::~Connection()
{
    sqlite3_close(m_db);
}

int Connection::progress(void *connection)
{
    auto *self = static_cast<Connection *>(connection);
    if (std::chrono::steady_clock::now() < self->m_deadline.at)
        return 0;
    self->m_overran = true;
    return 1;
}

void Connection::fail() const
{
    if (m_overran) {
        throw Failure(bookError(m_book,
            QStringLiteral(
                "a query on it did not finish within %1 seconds; its tables are not those of an address book")
                .arg(m_deadline.seconds)));
    }
    // A rollback journal left by a writer that stopped in the middle of a
    // commit: only a writer can put the book back as it was.
    if (sqlite3_extended_errcode(m_db) == SQLITE_READONLY_ROLLBACK) {
        throw Failure(bookError(m_book,
            QStringLiteral("it was left half-written by the program that keeps it; opening it there repairs it")));
    }
    throw Failure(bookError(m_book, QString::fromUtf8(sqlite3_errmsg(m_db))));
}

void Connection::execute(const char *sql)
{
    if (sqlite3_exec(m_db, sql, nullptr, nullptr, nullptr) != SQLITE_OK)
        fail();
}

bool Connection::prepares(const char *sql)
{
    sqlite3_stmt *statement = nullptr;
    const int rc = sqlite3_prepare_v2(m_db, sql, -1, &statement, nullptr);
    sqlite3_finalize(statement);
    if (rc == SQLITE_OK)
        return true;
    // A missing table or column is an answer; a lock or damage is not.
    if (rc == SQLITE_ERROR)
        return false;
    fail();
}

bool Connection::hasTable(const char *name)
{
    // %Q quotes the name as an SQL literal, whatever it holds. Hidden
    // columns are those of virtual tables, 2 and 3 generated ones.
    const std::unique_ptr<char, decltype(&sqlite3_free)> sql(
        sqlite3_mprintf("SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = %Q COLLATE NOCASE"
                        " AND sql NOT LIKE 'CREATE VIRTUAL%%'"
                        " AND NOT EXISTS (SELECT 1 FROM pragma_table_xinfo(%Q) WHERE hidden != 0)"
                        " AND NOT EXISTS (SELECT 1 FROM sqlite_master WHERE type = 'trigger'"
                        " AND tbl_name = %Q COLLATE NOCASE)",
            name, name, name),
        &sqlite3_free);
    if (!sql)
        throw std::bad_alloc();
    Statement statement(*this, sql.get());
    return statement.step();
}

Statement::Statement(Connection &connection, const char *sql)
    : m_connection(connection)
{
    if (sqlite3_prepare_v2(connection.handle(), sql, -1, &m_statement, nullptr) != SQLITE_OK) {
        sqlite3_finalize(m_statement);
        m_statement = nullptr;
        connection.fail();
    }
}

Statement::~Statement()
{
    sqlite3_finalize(m_statement);
}

bool Statement::step()
{
    const int rc = sqlite3_step(m_statement);
    if (rc == SQLITE_ROW)
        return true;
    if (rc == SQLITE_DONE)
        return false;
    m_connection.fail();
}

std::string_view Statement::text(int column) const
{
    const auto *bytes = static_cast<const char *>(sqlite3_column_blob(m_statement, column));
    const int size = sqlite3_column_bytes(m_statement, column);
    return bytes && size > 0 ? std::string_view(bytes, static_cast<size_t>(size)) : std::string_view();
}

} // namespace quarrelby::sqlitebook
