#include "platform/contacts/PrivateCopy.h"

#include "platform/Failure.h"
#include "platform/PrivateFolder.h"
#include "platform/contacts/Logging.h"
#include "platform/contacts/RegularFile.h"
#include "platform/contacts/SqliteConnection.h"

#include <QFile>

#include <algorithm>
#include <array>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace quarrelby {

using sqlitebook::bookError;

namespace {

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

// What the copy is compared against: the book and its log as open files and
// as names (a file replaced or removed meanwhile counts as a change), and
// the log's header, whose salt a writer renews when it starts the log afresh
// over the old one.
struct CopiedState {
    struct stat book = {};
    struct stat log = {};
    struct stat bookName = {};
    struct stat logName = {};
    std::array<char, 32> logHeader {};
};

bool look(const QByteArray &path, int book, int log, CopiedState &s)
{
    if (::fstat(book, &s.book) != 0 || ::fstat(log, &s.log) != 0)
        return false;
    if (::stat(path.constData(), &s.bookName) != 0 || ::stat((path + "-wal").constData(), &s.logName) != 0)
        return false;
    s.logHeader.fill(0);
    return ::pread(log, s.logHeader.data(), s.logHeader.size(), 0) >= 0;
}

// A link to the file made or removed meanwhile counts as a change too.
bool sameLinks(const struct stat &a, const struct stat &b)
{
    return a.st_nlink == b.st_nlink && sameFile(a, b);
}

bool same(const CopiedState &a, const CopiedState &b)
{
    return sameLinks(a.book, b.book) && sameLinks(a.log, b.log) && sameLinks(a.book, b.bookName)
        && sameLinks(a.log, b.logName) && a.logHeader == b.logHeader;
}

QString copyFailure(const QByteArray &where)
{
    const QString reason = systemMessage(errno);
    return QStringLiteral("a private copy of it could not be made in \"%1\": %2").arg(QFile::decodeName(where), reason);
}

void copy(const QByteArray &book, int from, const QByteArray &to)
{
    const Descriptor out(::open(to.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0600));
    if (out.fd < 0)
        throw Failure(bookError(book, copyFailure(to)));
    std::vector<char> buffer(size_t(1) << 18);
    for (off_t offset = 0;;) {
        const ssize_t got = ::pread(from, buffer.data(), buffer.size(), offset);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            const QString reason = systemMessage(errno);
            throw Failure(bookError(book, reason));
        }
        if (got == 0)
            return;
        for (ssize_t put = 0; put < got;) {
            const ssize_t wrote = ::write(out.fd, buffer.data() + put, size_t(got - put));
            if (wrote < 0 && errno != EINTR)
                throw Failure(bookError(book, copyFailure(to)));
            put += std::max<ssize_t>(wrote, 0);
        }
        offset += got;
    }
}

} // namespace

PrivateCopy::PrivateCopy(const QByteArray &book)
    : m_book(book)
{
    try {
        m_folder = std::make_unique<PrivateFolder>("book");
        m_database = m_folder->file("book");
        // SQLite's own files beside the copy, should it make them.
        for (const char *file : {"book-wal", "book-shm", "book-journal"})
            (void)m_folder->file(file);
    } catch (const Failure &failure) {
        throw Failure(
            bookError(m_book, QStringLiteral("a private copy of it could not be made: ") + failure.description()));
    }
}

PrivateCopy::~PrivateCopy()
{
    qCDebug(lcCopies) << "removing the private copy" << m_database;
}

bool PrivateCopy::take()
{
    QString failure;
    struct stat info { };
    const Descriptor book(openRegularFile(m_book.constData(), info, failure));
    if (book.fd < 0)
        throw Failure(bookError(m_book, failure));
    const Descriptor log(openRegularFile((m_book + "-wal").constData(), info, failure));
    if (log.fd < 0) {
        if (!FileStatus::of(m_book + "-wal").exists)
            return false;
        throw Failure(bookError(m_book,
            QStringLiteral("its log \"%1\" cannot be read: %2").arg(QFile::decodeName(m_book + "-wal"), failure)));
    }
    CopiedState before;
    if (!look(m_book, book.fd, log.fd, before))
        return false;
    copy(m_book, book.fd, m_database);
    copy(m_book, log.fd, m_database + "-wal");
    CopiedState after;
    const bool taken = look(m_book, book.fd, log.fd, after) && same(before, after);
    qCDebug(lcCopies) << (taken ? "made a private copy of" : "changed while copied:") << m_book << "in" << m_database;
    return taken;
}

} // namespace quarrelby
