#include "platform/contacts/DatabaseBook.h"

#include "platform/contacts/Logging.h"
#include "platform/contacts/PrivateCopy.h"
#include "platform/contacts/RegularFile.h"
#include "platform/contacts/SqliteConnection.h"

#include <QFile>

#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <thread>
#include <unistd.h>

namespace quarrelby {

using namespace sqlitebook;

namespace {

// How often a book whose log keeps changing is copied before it is reported
// as in use.
constexpr int kCopyAttempts = 5;

// The book and its write-ahead log, as the file system tells of them.
struct Files {
    FileStatus book;
    FileStatus log;

    static Files of(const QByteArray &path) { return {FileStatus::of(path), FileStatus::of(path + "-wal")}; }
    bool operator==(const Files &) const = default;
};

// Some program has the database open: SQLite holds a lock on it for as long
// as a connection in write-ahead-log mode is open.
bool held(const QByteArray &path)
{
    const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0)
        return true;
    struct flock lock { };
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    const bool locked = ::fcntl(fd, F_GETLK, &lock) != 0 || lock.l_type != F_UNLCK;
    ::close(fd);
    return locked;
}

// How a read opens the book.
struct Opened {
    QByteArray file; // what SQLite opens
    bool uri = false;
    bool lockless = false;
    std::unique_ptr<PrivateCopy> copy;
};

Opened open(const QByteArray &path)
{
    std::unique_ptr<PrivateCopy> copy;
    for (int attempt = 1;; ++attempt) {
        QString failure;
        const QByteArray header = readFileStart(path.constData(), 100, failure);
        if (!failure.isEmpty())
            throw Failure(bookError(path, failure));
        // and the header's terminating NUL: 16 bytes
        if (header.size() < 100 || std::memcmp(header.constData(), "SQLite format 3", 16) != 0)
            throw Failure(bookError(path, QStringLiteral("file is not a database")));
        const FileStatus log = FileStatus::of(path + "-wal");
        // Bytes 18 and 19 (the versions for writing and reading) are 2 in
        // write-ahead-log mode; SQLite goes by byte 19 alone.
        const bool walMode = header[18] == 2 || header[19] == 2;
        if ((!log.exists && walMode) || (log.exists && log.info.st_size == 0 && !held(path))) {
            QByteArray uri("file:");
            uri += path.toPercentEncoding("/");
            return {uri + "?mode=ro&immutable=1", true, true, nullptr};
        }
        if (!log.exists)
            return {path, false, false, nullptr};
        if (!copy)
            copy = std::make_unique<PrivateCopy>(path);
        if (copy->take()) {
            QByteArray database = copy->database();
            return {database, false, false, std::move(copy)};
        }
        if (attempt == kCopyAttempts)
            throw Failure(
                bookError(path, QStringLiteral("it is in use by another program and kept changing while it was read")));
        std::this_thread::sleep_for(std::chrono::milliseconds(20 * attempt));
    }
}

class DatabaseBook : public BookReader {
public:
    DatabaseBook(QByteArray path, DatabaseKind kind)
        : m_path(std::move(path))
        , m_kind(std::move(kind))
    {
    }

    bool waitsForWalk() const override { return false; }

    std::uint64_t size() override
    {
        const FileStatus status = FileStatus::of(m_path);
        return status.exists && S_ISREG(status.info.st_mode) ? static_cast<std::uint64_t>(status.info.st_size) : 0;
    }

    void read(BookSink &sink) override
    {
        const Deadline deadline = readDeadline(m_path);
        for (int read = 0;; ++read) {
            const Files before = Files::of(m_path);
            const Opened opened = open(m_path);
            Connection db(m_path, opened.file, opened.uri, deadline);
            const DatabaseRead reader = m_kind(db);
            if (opened.lockless)
                sink.showWhile([path = m_path, before] { return Files::of(path) == before; });
            // One transaction: a writer cannot commit in the middle of it.
            try {
                db.execute("BEGIN");
                reader(db, sink);
                db.execute("COMMIT");
            } catch (...) {
                // What came before a failure of a file that did not change
                // stands, as for a book read with locks.
                if (opened.lockless && Files::of(m_path) != before)
                    (void)sink.restart();
                throw;
            }
            if (!opened.lockless || !sink.wanted() || Files::of(m_path) == before)
                return;
            qCDebug(lcReads) << m_path << "changed while it was read without locks";
            if (!sink.restart())
                throw Failure(bookError(m_path, QStringLiteral("it changed while it was read")));
            if (read > 0)
                throw Failure(bookError(m_path, QStringLiteral("it kept changing while it was read")));
        }
    }

private:
    QByteArray m_path;
    DatabaseKind m_kind;
};

} // namespace

std::unique_ptr<BookReader> databaseBook(QByteArray path, DatabaseKind kind)
{
    return std::make_unique<DatabaseBook>(std::move(path), std::move(kind));
}

void lookIntoDatabase(const QByteArray &path, const std::function<void(Connection &db)> &look)
{
    const Opened opened = open(path);
    Connection db(path, opened.file, opened.uri, readDeadline(path));
    look(db);
}

} // namespace quarrelby
