#pragma once

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

} // namespace quarrelby
