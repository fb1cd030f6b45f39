#include "platform/contacts/RegularFile.h"

#include "platform/Failure.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace quarrelby {

namespace {

QString notARegularFile(mode_t mode)
{
    if (S_ISDIR(mode))
        return systemMessage(EISDIR);
    if (S_ISFIFO(mode))
        return QStringLiteral("Not a regular file but a named pipe");
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return QStringLiteral("Not a regular file but a device");
    if (S_ISSOCK(mode))
        return QStringLiteral("Not a regular file but a socket");
    return QStringLiteral("Not a regular file");
}

} // namespace

int openRegularFile(const char *path, struct stat &info, QString &failure)
{
    return openRegularFileAt(AT_FDCWD, path, info, failure);
}

int openRegularFileAt(int directory, const char *path, struct stat &info, QString &failure)
{
    const int fd = ::openat(directory, path, O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) {
        failure = systemMessage(errno);
        return -1;
    }
    if (::fstat(fd, &info) != 0) {
        failure = systemMessage(errno);
        ::close(fd);
        return -1;
    }
    if (!S_ISREG(info.st_mode)) {
        failure = notARegularFile(info.st_mode);
        ::close(fd);
        return -1;
    }
    return fd;
}

bool sameFile(const struct stat &a, const struct stat &b)
{
    const auto sameTime
        = [](const timespec &x, const timespec &y) { return x.tv_sec == y.tv_sec && x.tv_nsec == y.tv_nsec; };
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino && a.st_size == b.st_size && sameTime(a.st_mtim, b.st_mtim)
        && sameTime(a.st_ctim, b.st_ctim);
}

FileStatus FileStatus::of(const QByteArray &path)
{
    FileStatus status;
    status.exists = ::stat(path.constData(), &status.info) == 0;
    return status;
}

QByteArray readFileStart(const char *path, qsizetype size, QString &failure)
{
    struct stat info { };
    const int fd = openRegularFile(path, info, failure);
    if (fd < 0)
        return {};
    QByteArray bytes(size, '\0');
    ssize_t got;
    do
        got = ::read(fd, bytes.data(), static_cast<size_t>(size));
    while (got < 0 && errno == EINTR);
    if (got < 0)
        failure = systemMessage(errno);
    ::close(fd);
    bytes.resize(got > 0 ? got : 0);
    return bytes;
}

} // namespace quarrelby
