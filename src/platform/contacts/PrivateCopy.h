#pragma once

#include <QByteArray>

#include <memory>

namespace quarrelby {

class PrivateFolder;

// A copy of a database book and its write-ahead log in a private folder, for
// a book its program holds: SQLite would create or rewrite a shared-memory
// file beside any log it finds, and cannot read a log held in another
// program's memory. The copy goes with the object, and with the process
// (PrivateFolder).
class PrivateCopy {
public:
    // Throws Failure naming the book when the folder cannot be made.
    explicit PrivateCopy(const QByteArray &book);
    ~PrivateCopy();
    PrivateCopy(const PrivateCopy &) = delete;
    PrivateCopy &operator=(const PrivateCopy &) = delete;

    // The copy of the database, with its log beside it.
    [[nodiscard]] const QByteArray &database() const { return m_database; }

    // Copies the book, then its log. False when either changed meanwhile or
    // the log is gone (its program closed the book). Throws Failure naming
    // the book when a file cannot be read or written.
    [[nodiscard]] bool take();

private:
    QByteArray m_book;
    std::unique_ptr<PrivateFolder> m_folder;
    QByteArray m_database;
};

} // namespace quarrelby
