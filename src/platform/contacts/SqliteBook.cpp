#include "platform/contacts/SqliteBook.h"

#include "format/vcard/VCardContact.h"
#include "format/vcard/VCardReader.h"
#include "platform/Failure.h"
#include "platform/OrderedWork.h"
#include "platform/contacts/RegularFile.h"

#include <QDir>
#include <QFile>

#include <sqlite3.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <exception>
#include <fcntl.h>
#include <functional>
#include <limits>
#include <memory>
#include <mutex>
#include <new>
#include <optional>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <utility>
#include <vector>

namespace quarrelby::sqlitebook {

namespace {

constexpr char kHeader[] = "SQLite format 3"; // and its terminating NUL: 16 bytes

bool exists(const QByteArray &path)
{
    struct stat info { };
    return ::stat(path.constData(), &info) == 0;
}

// The database header: the first 100 bytes of the file.
QByteArray header(const QByteArray &path, QString &failure)
{
    return readFileStart(path.constData(), 100, failure);
}

bool isSqliteHeader(const QByteArray &bytes)
{
    return bytes.size() >= 100 && std::memcmp(bytes.constData(), kHeader, sizeof kHeader) == 0;
}

// Bytes 18 and 19 of the header (the versions for writing and reading) are 2
// for a database in write-ahead-log mode; SQLite goes by byte 19 alone.
bool isWalMode(const QByteArray &bytes)
{
    return bytes.size() >= 20 && (bytes[18] == 2 || bytes[19] == 2);
}

// A "file:" URI for SQLite that names the path byte for byte.
QByteArray immutableUri(const QByteArray &path)
{
    QByteArray uri("file:");
    uri += path.toPercentEncoding("/");
    uri += "?mode=ro&immutable=1";
    return uri;
}

long long steadyNow()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// How often a book whose log keeps changing is copied before it is reported
// as in use.
constexpr int kCopyAttempts = 5;

} // namespace

class PrivateCopy {
public:
    explicit PrivateCopy(const QByteArray &book)
        : m_book(book)
    {
        const QByteArray temporary = QFile::encodeName(QDir::tempPath());
        QByteArray pattern = temporary + "/quarrelby.book-XXXXXX";
        if (!::mkdtemp(pattern.data()))
            throw Failure(bookError(m_book, copyFailure(temporary)));
        m_folder = pattern;
        m_database = m_folder + "/book";
    }

    // Only SQLite's files of the copy are in the folder.
    ~PrivateCopy() { QDir(QFile::decodeName(m_folder)).removeRecursively(); }

    PrivateCopy(const PrivateCopy &) = delete;
    PrivateCopy &operator=(const PrivateCopy &) = delete;

    [[nodiscard]] const QByteArray &database() const { return m_database; }

    // Copies the book, then its log. False when either changed meanwhile or
    // the log is gone (its program closed the book).
    bool take()
    {
        QString failure;
        struct stat info { };
        const Descriptor book(openRegularFile(m_book.constData(), info, failure));
        if (book.fd < 0)
            throw Failure(bookError(m_book, failure));
        const Descriptor log(openRegularFile((m_book + "-wal").constData(), info, failure));
        if (log.fd < 0) {
            if (!exists(m_book + "-wal"))
                return false;
            throw Failure(bookError(m_book,
                QStringLiteral("its log \"%1\" cannot be read: %2").arg(QFile::decodeName(m_book + "-wal"), failure)));
        }
        CopiedState before;
        if (!look(book.fd, log.fd, before))
            return false;
        copy(book.fd, m_database);
        copy(log.fd, m_database + "-wal");
        CopiedState after;
        return look(book.fd, log.fd, after) && same(before, after);
    }

private:
    // What the copy is compared against: the book and its log as open files
    // and as names (a file replaced or removed meanwhile counts as a
    // change), and the log's header, whose salt a writer renews when it
    // starts the log afresh over the old one.
    struct CopiedState {
        struct stat book = {};
        struct stat log = {};
        struct stat bookName = {};
        struct stat logName = {};
        std::array<char, 32> logHeader {};
    };

    struct Descriptor {
        explicit Descriptor(int f)
            : fd(f)
        {
        }
        ~Descriptor()
        {
            if (fd >= 0)
                ::close(fd);
        }
        Descriptor(const Descriptor &) = delete;
        Descriptor &operator=(const Descriptor &) = delete;
        int fd;
    };

    static QString copyFailure(const QByteArray &where)
    {
        const QString reason = systemMessage(errno);
        return QStringLiteral("a private copy of it could not be made in \"%1\": %2")
            .arg(QFile::decodeName(where), reason);
    }

    bool look(int book, int log, CopiedState &s) const
    {
        if (::fstat(book, &s.book) != 0 || ::fstat(log, &s.log) != 0)
            return false;
        if (::stat(m_book.constData(), &s.bookName) != 0 || ::stat((m_book + "-wal").constData(), &s.logName) != 0)
            return false;
        s.logHeader.fill(0);
        return ::pread(log, s.logHeader.data(), s.logHeader.size(), 0) >= 0;
    }

    // A link to the file made or removed meanwhile counts as a change too.
    static bool sameLinks(const struct stat &a, const struct stat &b)
    {
        return a.st_nlink == b.st_nlink && sameFile(a, b);
    }

    static bool same(const CopiedState &a, const CopiedState &b)
    {
        return sameLinks(a.book, b.book) && sameLinks(a.log, b.log) && sameLinks(a.book, b.bookName)
            && sameLinks(a.log, b.logName) && a.logHeader == b.logHeader;
    }

    void copy(int from, const QByteArray &to) const
    {
        const Descriptor out(::open(to.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0600));
        if (out.fd < 0)
            throw Failure(bookError(m_book, copyFailure(to)));
        std::vector<char> buffer(size_t(1) << 18);
        for (off_t offset = 0;;) {
            const ssize_t got = ::pread(from, buffer.data(), buffer.size(), offset);
            if (got < 0 && errno == EINTR)
                continue;
            if (got < 0) {
                const QString reason = systemMessage(errno);
                throw Failure(bookError(m_book, reason));
            }
            if (got == 0)
                return;
            for (ssize_t put = 0; put < got;) {
                const ssize_t wrote = ::write(out.fd, buffer.data() + put, size_t(got - put));
                if (wrote < 0 && errno != EINTR)
                    throw Failure(bookError(m_book, copyFailure(to)));
                put += std::max<ssize_t>(wrote, 0);
            }
            offset += got;
        }
    }

    QByteArray m_book;
    QByteArray m_folder;
    QByteArray m_database;
};

QString bookError(const QByteArray &path, const QString &reason)
{
    return QStringLiteral("The address book \"%1\" cannot be read: %2").arg(QFile::decodeName(path), reason);
}

Connection::Connection(QByteArray path)
    : m_path(std::move(path))
{
    for (int attempt = 1;; ++attempt) {
        QString failure;
        const QByteArray bytes = header(m_path, failure);
        if (!failure.isEmpty())
            throw Failure(bookError(m_path, failure));
        if (!isSqliteHeader(bytes))
            throw Failure(bookError(m_path, QStringLiteral("file is not a database")));
        if (!exists(m_path + "-wal")) {
            // Opening a database in write-ahead-log mode with locks makes
            // SQLite create its -wal and -shm files, and a read-only
            // connection leaves them behind. With no log, no program has the
            // book open.
            m_lockless = isWalMode(bytes);
            m_opened = stateOf(m_path);
            open(m_lockless ? immutableUri(m_path) : m_path, m_lockless);
            return;
        }
        if (!m_copy)
            m_copy = std::make_unique<PrivateCopy>(m_path);
        if (m_copy->take()) {
            open(m_copy->database(), false);
            return;
        }
        if (attempt == kCopyAttempts) {
            throw Failure(bookError(
                m_path, QStringLiteral("it is in use by another program and kept changing while it was read")));
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20 * attempt));
    }
}

void Connection::open(const QByteArray &name, bool immutable)
{
    const int flags = SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX | (immutable ? SQLITE_OPEN_URI : 0);
    const int rc = sqlite3_open_v2(name.constData(), &m_db, flags, nullptr);
    if (rc != SQLITE_OK) {
        const QString reason = m_db ? QString::fromUtf8(sqlite3_errmsg(m_db)) : QString::fromUtf8(sqlite3_errstr(rc));
        sqlite3_close(m_db);
        m_db = nullptr;
        throw Failure(bookError(m_path, reason));
    }
    sqlite3_busy_timeout(m_db, kBusyTimeoutMs);
    startStep();
    sqlite3_progress_handler(m_db, 1000, &Connection::progress, this);
}

Connection::~Connection()
{
    sqlite3_close(m_db);
}

void Connection::startStep()
{
    m_stepDeadline = steadyNow() + kQueryLimitMs * 1000000LL;
}

int Connection::progress(void *connection)
{
    auto *self = static_cast<Connection *>(connection);
    if (steadyNow() < self->m_stepDeadline)
        return 0;
    self->m_overran = true;
    return 1;
}

void Connection::fail() const
{
    if (m_overran) {
        throw Failure(bookError(m_path,
            QStringLiteral(
                "a query on it did not finish within %1 seconds; its tables are not those of an address book")
                .arg(kQueryLimitMs / 1000)));
    }
    // A rollback journal left by a writer that stopped in the middle of a
    // commit: only a writer can put the book back as it was.
    if (sqlite3_extended_errcode(m_db) == SQLITE_READONLY_ROLLBACK) {
        throw Failure(bookError(m_path,
            QStringLiteral("it was left half-written by the program that keeps it; opening it there repairs it")));
    }
    throw Failure(bookError(m_path, QString::fromUtf8(sqlite3_errmsg(m_db))));
}

void Connection::execute(const char *sql)
{
    startStep();
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
    // %Q quotes the name as an SQL literal, whatever it holds.
    const std::unique_ptr<char, decltype(&sqlite3_free)> sql(
        sqlite3_mprintf("SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = %Q COLLATE NOCASE"
                        " AND sql NOT LIKE 'CREATE VIRTUAL%%'",
            name),
        &sqlite3_free);
    if (!sql)
        throw std::bad_alloc();
    Statement statement(*this, sql.get());
    return statement.step();
}

Connection::FileState Connection::stateOf(const QByteArray &path)
{
    return {FileStatus::of(path), FileStatus::of(path + "-wal")};
}

bool Connection::unchanged() const
{
    return stateOf(m_path) == m_opened;
}

std::function<bool()> Connection::unchangedCheck() const
{
    return [path = m_path, opened = m_opened] { return stateOf(path) == opened; };
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
    m_connection.startStep();
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

namespace {

// One transaction: the shared lock taken by the first read is held until
// the end, so a writer cannot commit in between.
void readOnce(Connection &db, const BookReader &reader, Sink &sink)
{
    db.execute("BEGIN");
    reader(db, sink);
    db.execute("COMMIT");
}

} // namespace

void readBook(const QByteArray &path, const BookReader &reader, Sink &sink)
{
    for (int attempt = 0;; ++attempt) {
        Connection db(path);
        if (!db.lockless()) {
            sink.rowsCount();
            readOnce(db, reader, sink);
            return;
        }
        sink.rowsCountWhile(db.unchangedCheck());
        try {
            readOnce(db, reader, sink);
        } catch (...) {
            // What came before a failure of a file that did not change
            // stands, as for a book read with locks.
            if (!db.unchanged())
                sink.dropRows();
            throw;
        }
        if (!sink.wanted() || db.unchanged())
            return;
        sink.dropRows();
        if (attempt > 0)
            throw Failure(bookError(path, QStringLiteral("it kept changing while it was read")));
    }
}

bool hasSchema(const QByteArray &path, std::initializer_list<const char *> probes)
{
    QString failure;
    if (!isSqliteHeader(header(path, failure)))
        return false;
    try {
        Connection db(path);
        for (const char *probe : probes) {
            if (db.prepares(probe))
                return true;
        }
        return false;
    } catch (const Failure &) {
        return true;
    }
}

namespace {

// Rows of the book for one worker to parse, or the failure that ended the
// read.
struct RowJob {
    // Each row's text then its uid, one after another: one allocation for
    // a few hundred rows.
    std::string bytes;
    // Where each row's uid begins and ends in bytes; its text ends where
    // its uid begins.
    std::vector<std::pair<size_t, size_t>> uids;
    std::exception_ptr failure;
};

// Contacts in the book's order, then the failure after them, if any.
struct ContactPart {
    std::vector<Contact> contacts;
    std::exception_ptr failure;
};

class ThreadedBook : public ContactSource {
public:
    ThreadedBook(QByteArray path, BookReader reader)
        : m_path(std::move(path))
        , m_reader(std::move(reader))
    {
    }

    ~ThreadedBook() override
    {
        m_stop = true;
        {
            const std::lock_guard lock(m_gateMutex);
            if (m_parsing)
                m_parsing->work.cancel();
        }
        if (m_thread.joinable())
            m_thread.join();
    }

    ThreadedBook(const ThreadedBook &) = delete;
    ThreadedBook &operator=(const ThreadedBook &) = delete;

    void start() override
    {
        if (m_parsing)
            return;
        m_parsing = std::make_shared<Parsing>(*this);
        m_thread = std::thread([this] { run(); });
    }

    bool next(Contact &contact) override
    {
        start();
        while (true) {
            if (m_taken < m_current.contacts.size()) {
                contact = std::move(m_current.contacts[m_taken++]);
                m_shown = true;
                return true;
            }
            if (m_current.failure) {
                m_ended = true;
                std::rethrow_exception(std::exchange(m_current.failure, nullptr));
            }
            std::optional<ContactPart> part = m_ended ? std::nullopt : takePart();
            if (!part)
                return false;
            m_current = std::move(*part);
            m_taken = 0;
        }
    }

private:
    // Rows handed to a worker at once, and contacts that may wait for the
    // walk once parsed, as for a vCard file. The rows themselves are all
    // taken from the database as fast as it gives them, so that no lock is
    // held while the walk is slower; they weigh less than the contacts.
    static constexpr size_t kRowsPerJob = 256;
    static constexpr size_t kContactsAhead = 32768;
    static constexpr size_t kJobsWithoutBound = std::numeric_limits<size_t>::max();

    using Work = OrderedWork<RowJob, ContactPart>;

    struct Worker {
        vcard::Card card;
        vcard::ContactReader contacts;
        // The text of the contacts of the part being filled, shared by them.
        QString texts;
    };

    // The workers of one read and their own parsers: a read started over
    // gets new ones, while the walk may still hold the old.
    struct Parsing {
        std::vector<Worker> workers;
        Work work;

        explicit Parsing(ThreadedBook &book)
            : workers(workerCount())
            , work(workers.size(), kJobsWithoutBound, kContactsAhead,
                  [this, &book](RowJob &job, size_t worker, Work::Publisher &publisher) {
                      book.parse(job, workers[worker], publisher);
                  })
        {
        }
    };

    // The next part the walk may show. A part of a read without locks
    // counts once the read is known good, or while the file is still as it
    // was when the read began; when it is not, and the walk has shown
    // nothing yet, the read's own try again decides.
    std::optional<ContactPart> takePart()
    {
        while (true) {
            std::shared_ptr<Parsing> parsing;
            std::function<bool()> unchanged;
            size_t generation = 0;
            {
                std::unique_lock lock(m_gateMutex);
                m_gateChanged.wait(lock, [this] { return m_gateOpen || m_unchanged; });
                parsing = m_parsing;
                unchanged = m_gateOpen ? nullptr : m_unchanged;
                generation = m_generation;
            }
            if (m_shown && generation != m_walkGeneration)
                changedWhileShown();
            m_walkGeneration = generation;
            std::optional<ContactPart> part = parsing->work.take();
            if (!unchanged || unchanged()) {
                const std::lock_guard lock(m_gateMutex);
                if (m_generation == generation)
                    return part;
            }
            if (m_shown)
                changedWhileShown();
            std::unique_lock lock(m_gateMutex);
            m_gateChanged.wait(lock, [&] { return m_gateOpen || m_generation != generation; });
        }
    }

    [[noreturn]] void changedWhileShown()
    {
        m_ended = true;
        throw Failure(bookError(m_path, QStringLiteral("it changed while it was read")));
    }

    // The walk may take what is put from now on.
    void openGate()
    {
        {
            const std::lock_guard lock(m_gateMutex);
            m_gateOpen = true;
        }
        m_gateChanged.notify_all();
    }

    // What the workers have of a read that turned out void goes.
    void dropWork()
    {
        std::shared_ptr<Parsing> dropped;
        {
            const std::lock_guard lock(m_gateMutex);
            if (m_stop)
                return;
            dropped = std::exchange(m_parsing, std::make_shared<Parsing>(*this));
            m_unchanged = nullptr;
            ++m_generation;
        }
        m_gateChanged.notify_all();
        dropped->work.cancel();
    }

    // As many workers as cores: the thread that steps through the rows
    // needs some of one.
    static size_t workerCount() { return std::clamp<size_t>(std::thread::hardware_concurrency(), 2, 4); }

    // Collects rows into jobs on the reading thread.
    class Rows : public Sink {
    public:
        explicit Rows(ThreadedBook &book)
            : m_book(book)
        {
        }

        bool put(std::string_view text, std::string_view rowUid) override
        {
            m_job.bytes += text;
            const size_t uid = m_job.bytes.size();
            m_job.bytes += rowUid;
            m_job.uids.emplace_back(uid, m_job.bytes.size());
            return m_job.uids.size() < kRowsPerJob || submit();
        }

        bool wanted() override { return !m_book.m_stop; }
        void rowsCount() override { m_book.openGate(); }
        void rowsCountWhile(std::function<bool()> unchanged) override
        {
            {
                const std::lock_guard lock(m_book.m_gateMutex);
                m_book.m_unchanged = std::move(unchanged);
            }
            m_book.m_gateChanged.notify_all();
        }
        void dropRows() override
        {
            m_job = RowJob();
            m_book.dropWork();
        }

        bool submit()
        {
            if (m_job.uids.empty() && !m_job.failure)
                return wanted();
            const size_t bytes = m_job.bytes.size();
            const bool taken = m_book.m_parsing->work.submit(std::exchange(m_job, RowJob()));
            m_job.bytes.reserve(bytes + bytes / 4);
            m_job.uids.reserve(kRowsPerJob);
            return taken;
        }

        void fail(std::exception_ptr failure) { m_job.failure = std::move(failure); }

    private:
        ThreadedBook &m_book;
        RowJob m_job;
    };

    void run()
    {
        Rows rows(*this);
        try {
            readBook(m_path, m_reader, rows);
        } catch (const Failure &) {
            rows.fail(std::current_exception());
        } catch (const std::exception &e) {
            rows.fail(std::make_exception_ptr(Failure(bookError(m_path, QString::fromLocal8Bit(e.what())))));
        }
        rows.submit();
        m_parsing->work.close();
        openGate();
    }

    void parse(RowJob &job, Worker &worker, Work::Publisher &publisher)
    {
        ContactPart part;
        part.contacts.reserve(job.uids.size());
        try {
            const std::string_view bytes = job.bytes;
            size_t start = 0;
            for (const auto &[uidStart, uidEnd] : job.uids) {
                const std::string_view uid = bytes.substr(uidStart, uidEnd - uidStart);
                vcard::Reader reader(bytes.substr(start, uidStart - start));
                start = uidEnd;
                while (reader.next(worker.card)) {
                    part.contacts.push_back(worker.contacts.read(worker.card, worker.texts));
                    if (part.contacts.back().uid.empty())
                        part.contacts.back().uid = uid;
                }
            }
        } catch (const std::exception &e) {
            part.failure = std::make_exception_ptr(Failure(bookError(m_path, QString::fromLocal8Bit(e.what()))));
        }
        if (!part.failure)
            part.failure = std::move(job.failure);
        if (part.contacts.empty() && !part.failure)
            return;
        for (Contact &contact : part.contacts)
            contact.texts = worker.texts;
        worker.texts = QString();
        const size_t weight = part.contacts.size() + (part.failure ? 1 : 0);
        publisher.publish(std::move(part), weight);
    }

    QByteArray m_path;
    BookReader m_reader;
    std::atomic<bool> m_stop = false;
    // Replaced by the reading thread, under the gate's mutex, when a read
    // without locks is started over.
    std::shared_ptr<Parsing> m_parsing;
    std::thread m_thread;
    // Open once the rows put count for good; before that, a read without
    // locks counts while m_unchanged holds.
    std::mutex m_gateMutex;
    std::condition_variable m_gateChanged;
    bool m_gateOpen = false;
    std::function<bool()> m_unchanged;
    size_t m_generation = 0;

    // The walk's own.
    ContactPart m_current;
    size_t m_taken = 0;
    bool m_ended = false;
    bool m_shown = false;
    size_t m_walkGeneration = 0;
};

} // namespace

std::unique_ptr<ContactSource> openThreadedBook(QByteArray path, BookReader reader)
{
    return std::make_unique<ThreadedBook>(std::move(path), std::move(reader));
}

} // namespace quarrelby::sqlitebook
