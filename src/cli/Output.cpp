#include "cli/Output.h"

#include "cli/Console.h"
#include "platform/Failure.h"

#include <QFile>

#include <fcntl.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdlib>

namespace quarrelby {

namespace {

// Links followed before the output is taken for a loop, as the kernel does.
constexpr int kMaxLinks = 40;
// How much is written before the disk is set writing it.
constexpr off_t kWritebackStep = off_t(4) * 1024 * 1024;

// /dev/stdout, /dev/fd/N and /proc/self/fd/N lead into /proc, where a "link"
// is an open file of this process (or another) rather than a name: what it
// leads to is written into, as the shell does, never replaced.
bool isProcessFolder(const QByteArray &folder)
{
    return folder == "/proc" || folder.startsWith("/proc/");
}

bool sameFile(const struct stat &a, const struct stat &b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

} // namespace

Output::Output(const QByteArray &path)
    : m_path(path)
    , m_shown(QFile::decodeName(path))
{
    if (path.isEmpty() || path == "-") {
        m_stream = true;
        m_fd = STDOUT_FILENO;
        m_shown = QStringLiteral("standard output");
        return;
    }
    const auto cannot
        = [&](int error) { return Failure(QStringLiteral("Cannot create %1: %2").arg(m_shown, systemMessage(error))); };
    QByteArray current = path;
    for (int links = 0; links <= kMaxLinks; ++links) {
        const qsizetype slash = current.lastIndexOf('/');
        const QByteArray name = current.mid(slash + 1);
        if (name.isEmpty() || name == "." || name == "..") {
            struct stat info { };
            if (::stat(current.constData(), &info) != 0)
                throw cannot(errno);
            throw Failure(QStringLiteral("%1 is a folder: --output needs the name of a file").arg(m_shown));
        }
        const QByteArray folder = slash < 0 ? QByteArray(".") : slash == 0 ? QByteArray("/") : current.left(slash);
        char *resolved = ::realpath(folder.constData(), nullptr);
        if (!resolved)
            throw cannot(errno);
        const QByteArray real(resolved);
        std::free(resolved);
        if (isProcessFolder(real)) {
            m_stream = true;
            return;
        }
        const QByteArray at = (real == "/" ? QByteArray() : real) + '/' + name;
        struct stat info { };
        if (::lstat(at.constData(), &info) != 0) {
            if (errno != ENOENT)
                throw cannot(errno);
            m_file = at; // a new file
            return;
        }
        if (S_ISLNK(info.st_mode)) {
            std::array<char, 4096> target {};
            const ssize_t size = ::readlink(at.constData(), target.data(), target.size());
            if (size <= 0 || static_cast<size_t>(size) >= target.size())
                throw cannot(size < 0 ? errno : ENAMETOOLONG);
            const QByteArray to(target.data(), size);
            current = to.startsWith('/') ? to : real + '/' + to;
            continue;
        }
        if (S_ISREG(info.st_mode)) {
            m_file = at;
            return;
        }
        if (S_ISCHR(info.st_mode) || S_ISFIFO(info.st_mode)) {
            m_stream = true;
            return;
        }
        if (S_ISDIR(info.st_mode))
            throw Failure(QStringLiteral("%1 is a folder: --output needs the name of a file").arg(m_shown));
        if (S_ISBLK(info.st_mode))
            throw Failure(QStringLiteral("%1 is a disk (a block device): nothing is written to it").arg(m_shown));
        throw Failure(QStringLiteral("%1 is a socket: --output needs the name of a file").arg(m_shown));
    }
    throw cannot(ELOOP);
}

Output::~Output()
{
    if (m_ownsFd)
        ::close(m_fd);
    if (m_folder >= 0) {
        if (!m_inPlace && !m_temporary.isEmpty())
            (void)::unlinkat(m_folder, m_temporary.constData(), 0);
        ::close(m_folder);
    }
}

void Output::open()
{
    if (m_stream)
        openStream();
    else
        openFile();
}

void Output::openStream()
{
    if (m_fd >= 0)
        return;
    // The program's own standard output or error, named: written through
    // the descriptor it was given, which keeps the caller's ">>".
    struct stat named { };
    if (::stat(m_path.constData(), &named) == 0) {
        for (const int fd : {STDOUT_FILENO, STDERR_FILENO}) {
            struct stat given { };
            if (::fstat(fd, &given) == 0 && sameFile(given, named)) {
                m_fd = fd;
                return;
            }
        }
    }
    m_fd = ::open(m_path.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_NOCTTY | O_CLOEXEC, 0666);
    if (m_fd < 0)
        throw Failure(QStringLiteral("Cannot write %1: %2").arg(m_shown, systemMessage(errno)));
    m_ownsFd = true;
}

void Output::openFile()
{
    const qsizetype slash = m_file.lastIndexOf('/');
    const QByteArray folder = slash == 0 ? QByteArray("/") : m_file.left(slash);
    m_name = m_file.mid(slash + 1);
    m_folder = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (m_folder < 0)
        throw Failure(QStringLiteral("Cannot create %1: %2").arg(m_shown, systemMessage(errno)));
    struct stat old { };
    const bool exists = ::fstatat(m_folder, m_name.constData(), &old, 0) == 0;
    // As ">" would, a file that may not be written is not replaced either.
    if (exists && ::faccessat(m_folder, m_name.constData(), W_OK, AT_EACCESS) != 0)
        throw Failure(QStringLiteral("Cannot write %1: %2").arg(m_shown, systemMessage(errno)));
    m_fd = ::openat(m_folder, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
    // File systems without unnamed files: a hidden name of its own.
    if (m_fd < 0 && (errno == EOPNOTSUPP || errno == EISDIR)) {
        for (int attempt = 0; attempt < 100; ++attempt) {
            const QByteArray name = temporaryName(attempt);
            m_fd = ::openat(m_folder, name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
            if (m_fd >= 0)
                m_temporary = name;
            if (m_fd >= 0 || errno != EEXIST)
                break;
        }
    }
    if (m_fd < 0) {
        const int error = errno;
        if (exists && (error == EACCES || error == EPERM || error == EROFS)) {
            throw Failure(QStringLiteral("Cannot write %1: its folder does not allow a new file (%2), and the file is "
                                         "replaced only by a complete new one")
                              .arg(m_shown, systemMessage(error)));
        }
        throw Failure(QStringLiteral("Cannot create %1: %2").arg(m_shown, systemMessage(error)));
    }
    m_ownsFd = true;
    if (exists)
        (void)::fchmod(m_fd, old.st_mode & 07777);
}

// ".name.<pid>-<n>": hidden, and the program's own by its number.
QByteArray Output::temporaryName(int attempt) const
{
    return '.' + m_name + '.' + QByteArray::number(::getpid()) + '-' + QByteArray::number(attempt);
}

[[noreturn]] void Output::failWrite(int error) const
{
    throw Failure(QString::fromLatin1(m_path.isEmpty() ? "Cannot write to %1: %2" : "Cannot write %1: %2")
                      .arg(m_shown, systemMessage(error)));
}

void Output::write(QByteArrayView bytes)
{
    const char *data = bytes.data();
    auto left = static_cast<size_t>(bytes.size());
    while (left > 0) {
        const ssize_t written = ::write(m_fd, data, left);
        if (written < 0 && errno == EINTR) {
            stopIfInterrupted();
            continue;
        }
        if (written <= 0)
            failWrite(written < 0 ? errno : EIO);
        data += written;
        left -= static_cast<size_t>(written);
        m_written += written;
        // A signal that came while a pipe took part of the block.
        if (left > 0)
            stopIfInterrupted();
    }
    // Sets the disk writing what has gathered, without waiting: the commit
    // then waits only for the last few megabytes.
    if (m_folder >= 0 && m_written - m_writebackStart >= kWritebackStep) {
        (void)::sync_file_range(m_fd, m_writebackStart, m_written - m_writebackStart, SYNC_FILE_RANGE_WRITE);
        m_writebackStart = m_written;
    }
}

void Output::commit()
{
    outputCommitting();
    stopIfInterrupted();
    if (m_folder >= 0)
        putInPlace();
    outputInPlace();
}

// On the disk first, so that a crash after the rename finds the new
// content, not an empty file; then under the target's name in one step.
void Output::putInPlace()
{
    const auto cannotSave
        = [&](int error) { return Failure(QStringLiteral("Cannot save %1: %2").arg(m_shown, systemMessage(error))); };
    if (::fdatasync(m_fd) != 0)
        throw cannotSave(errno);
    if (m_temporary.isEmpty()) {
        const QByteArray self = "/proc/self/fd/" + QByteArray::number(m_fd);
        for (int attempt = 0; m_temporary.isEmpty(); ++attempt) {
            const QByteArray name = temporaryName(attempt);
            if (::linkat(AT_FDCWD, self.constData(), m_folder, name.constData(), AT_SYMLINK_FOLLOW) == 0)
                m_temporary = name;
            else if (errno != EEXIST || attempt == 100)
                throw cannotSave(errno);
        }
    }
    if (::renameat(m_folder, m_temporary.constData(), m_folder, m_name.constData()) != 0)
        throw cannotSave(errno);
    m_inPlace = true;
}

} // namespace quarrelby
