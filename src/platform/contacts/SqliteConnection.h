#pragma once

#include <QByteArray>
#include <QString>

#include <chrono>
#include <string_view>

struct sqlite3;
struct sqlite3_stmt;

namespace quarrelby::sqlitebook {

// When the read of a book must be over, and how many seconds that allowed.
struct Deadline {
    std::chrono::steady_clock::time_point at;
    long long seconds;
};

// "The address book "<path>" cannot be read: <reason>".
[[nodiscard]] QString bookError(const QByteArray &path, const QString &reason);

// How long the whole read of a book may take: long enough for a million
// contacts read from a slow disk, and no book, damaged or made to be read
// without end, keeps its reader for longer.
[[nodiscard]] Deadline readDeadline(const QByteArray &path);

// One read-only connection to an address book database, made to read what a
// stranger may have written: SQLite's defensive mode, no trust in what the
// schema asks for (its functions, views, triggers), and every step of every
// statement bounded by one deadline.
class Connection {
public:
    // file is what SQLite opens (the book, its private copy, or a "file:"
    // URI when uri is true); book is the book, for messages. Throws Failure
    // when it cannot be opened.
    Connection(const QByteArray &book, const QByteArray &file, bool uri, Deadline deadline);
    ~Connection();
    Connection(const Connection &) = delete;
    Connection &operator=(const Connection &) = delete;

    [[nodiscard]] sqlite3 *handle() const { return m_db; }
    [[nodiscard]] const QByteArray &path() const { return m_book; }

    void execute(const char *sql);
    // True when preparing sql succeeds: its tables and columns are there.
    [[nodiscard]] bool prepares(const char *sql);
    // True when name is a plain table such as an address book has: not a
    // view, nor a virtual table, with no generated or hidden column and no
    // trigger, so that reading it runs nothing but the read.
    [[nodiscard]] bool hasTable(const char *name);

    // Throws the failure of the last call, naming the book.
    [[noreturn]] void fail() const;

private:
    static int progress(void *connection);

    QByteArray m_book;
    sqlite3 *m_db = nullptr;
    Deadline m_deadline;
    bool m_overran = false;
};

class Statement {
public:
    Statement(Connection &connection, const char *sql);
    ~Statement();
    Statement(const Statement &) = delete;
    Statement &operator=(const Statement &) = delete;

    // The next row; false after the last. Throws Failure naming the book
    // when the database fails.
    bool step();
    // A column of the current row as bytes (empty for NULL).
    [[nodiscard]] std::string_view text(int column) const;

private:
    Connection &m_connection;
    sqlite3_stmt *m_statement = nullptr;
};

} // namespace quarrelby::sqlitebook
