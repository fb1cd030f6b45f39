#pragma once

#include <QByteArray>
#include <QString>

#include <sys/stat.h>

namespace quarrelby {

// Opens path for reading, only when it is a regular file: the open does not
// block (a named pipe would wait for a writer that may never come), and what
// opened is checked before anything is read (a device such as /dev/zero
// never ends). Returns the descriptor, which the caller closes, with its
// status in info; or -1 with the reason, as the user reads it, in failure.
[[nodiscard]] int openRegularFile(const char *path, struct stat &info, QString &failure);
// The same for a path relative to the open folder directory (AT_FDCWD for
// the working folder): a folder of many files is then not looked up anew
// for each.
[[nodiscard]] int openRegularFileAt(int directory, const char *path, struct stat &info, QString &failure);

// The same file, unchanged as far as its status tells: an edit in place, of
// the same size, still moves its modification and change times.
[[nodiscard]] bool sameFile(const struct stat &a, const struct stat &b);

// What the file system says of a path, to tell later whether the file there
// changed. Both absent counts as the same.
struct FileStatus {
    bool exists = false;
    struct stat info { };

    [[nodiscard]] static FileStatus of(const QByteArray &path);
    [[nodiscard]] bool operator==(const FileStatus &other) const
    {
        return exists == other.exists && (!exists || sameFile(info, other.info));
    }
};

// The first bytes of the regular file at path, size of them at the most;
// empty, with the reason in failure, when it cannot be read.
[[nodiscard]] QByteArray readFileStart(const char *path, qsizetype size, QString &failure);

} // namespace quarrelby
