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

} // namespace quarrelby
