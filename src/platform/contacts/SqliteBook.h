#pragma once

#include "platform/contacts/ContactSource.h"
#include "platform/contacts/RegularFile.h"

#include <QByteArray>
#include <QString>

#include <functional>
#include <initializer_list>
#include <memory>
#include <string_view>

struct sqlite3;
struct sqlite3_stmt;

namespace quarrelby::sqlitebook {

// How long a read waits for a writer's lock before it gives up.
inline constexpr int kBusyTimeoutMs = 3000;

// "The address book "<path>" cannot be read: <reason>".
[[nodiscard]] QString bookError(const QByteArray &path, const QString &reason);

// How long one step of a query may run before the read gives up, so that no
// book, damaged or made to be read without end, keeps its reader busy for
// good.
inline constexpr int kQueryLimitMs = 5000;

// A copy of a book and its write-ahead log in a private temporary folder.
class PrivateCopy;

// One read-only connection to an address book database. It never writes and
// never creates, changes or removes a file beside the book:
// - a book with a write-ahead log beside it (its program has it open, holds
//   it exclusively as Thunderbird does, or crashed) is read through a private
//   copy of the database and its log, taken while neither changes, since
//   SQLite would create or rewrite a shared-memory file beside any log it
//   finds, and cannot read a log held in another program's memory;
// - a book in write-ahead-log mode with no log beside it (nobody has it open)
//   is opened as immutable, with no locks, and the reader checks afterwards
//   that the file did not change meanwhile;
// - every other book (rollback journal) is opened with SQLite's ordinary
//   locks and a busy timeout.
// Every step of a query is bounded by kQueryLimitMs.
class Connection {
public:
    // Throws Failure naming the file when it cannot be opened or is
    // not an SQLite database, or when it kept changing while it was copied.
    explicit Connection(QByteArray path);
    ~Connection();
    Connection(const Connection &) = delete;
    Connection &operator=(const Connection &) = delete;

    [[nodiscard]] sqlite3 *handle() const { return m_db; }
    [[nodiscard]] const QByteArray &path() const { return m_path; }
    [[nodiscard]] bool lockless() const { return m_lockless; }

    void execute(const char *sql);
    // True when the database has a statement-usable table and column set:
    // preparing `sql` succeeds.
    [[nodiscard]] bool prepares(const char *sql);
    // True when `name` is a real table of the database: not a view, whose
    // query could be anything, nor a virtual table.
    [[nodiscard]] bool hasTable(const char *name);
    // False when the file (or its write-ahead log) changed since the
    // connection was opened; only meaningful for a lockless connection.
    [[nodiscard]] bool unchanged() const;
    // The same question, asked later from any thread.
    [[nodiscard]] std::function<bool()> unchangedCheck() const;

    // Starts the time limit of one step of a query.
    void startStep();

    [[noreturn]] void fail() const;

private:
    // The book and its write-ahead log.
    struct FileState {
        FileStatus book;
        FileStatus log;
        bool operator==(const FileState &) const = default;
    };
    [[nodiscard]] static FileState stateOf(const QByteArray &path);
    void open(const QByteArray &name, bool immutable);
    static int progress(void *connection);

    QByteArray m_path;
    sqlite3 *m_db = nullptr;
    bool m_lockless = false;
    FileState m_opened;
    std::unique_ptr<PrivateCopy> m_copy;
    long long m_stepDeadline = 0; // steady clock, nanoseconds
    bool m_overran = false;
};

class Statement {
public:
    Statement(Connection &connection, const char *sql);
    ~Statement();
    Statement(const Statement &) = delete;
    Statement &operator=(const Statement &) = delete;

    // The next row; false after the last. Throws Failure naming the
    // file when the database fails.
    bool step();
    // A column of the current row as bytes (empty for NULL).
    [[nodiscard]] std::string_view text(int column) const;

private:
    Connection &m_connection;
    sqlite3_stmt *m_statement = nullptr;
};

// Where a book's reader puts the vCard text of each row; put() returns
// false when the walk wants no more (the reader then returns at once).
class Sink {
public:
    virtual ~Sink() = default;
    // The cards of `text`, a row's vCard; `rowUid` stands in for a card
    // without UID.
    virtual bool put(std::string_view text, std::string_view rowUid) = 0;
    // False once the walk wants no more: a reader that holds rows before
    // it puts them asks between rows.
    [[nodiscard]] virtual bool wanted() { return true; }
    // The rows put from now on count at once: the book is read with locks.
    virtual void rowsCount() = 0;
    // The book is read without locks: the rows put from now on count while
    // `unchanged` says that the file has not changed since the read began,
    // and for good once readBook() returns.
    virtual void rowsCountWhile(std::function<bool()> unchanged) = 0;
    // The rows put so far are void: the book changed while it was read
    // without locks (it is then read once more), or the read failed.
    virtual void dropRows() = 0;
};

// Reads the book at path in one read transaction: reader(connection, sink)
// runs the queries and puts every row. A book read without locks is read
// once more when the file changed meanwhile (see Sink).
using BookReader = std::function<void(Connection &, Sink &)>;
void readBook(const QByteArray &path, const BookReader &reader, Sink &sink);

// A contact source over one database file, read on a thread of its own and
// parsed by a few more ahead of the walk, as a large vCard file is. Nothing
// is opened before start() or the first next(). The reading thread never
// waits for the walk: a transaction, and the lock it may hold, lasts only as
// long as the reading of the rows.
[[nodiscard]] std::unique_ptr<ContactSource> openThreadedBook(QByteArray path, BookReader reader);

// True when the file starts with the SQLite header and a read-only look at
// its schema prepares one of `probes`; true as well when the header is there
// but the schema cannot be read (locked, damaged), so that reading the book
// reports why.
[[nodiscard]] bool hasSchema(const QByteArray &path, std::initializer_list<const char *> probes);

} // namespace quarrelby::sqlitebook
