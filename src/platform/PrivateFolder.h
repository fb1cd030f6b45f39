#pragma once

#include <QByteArray>

#include <sys/stat.h>

#include <functional>
#include <mutex>
#include <vector>

namespace quarrelby {

// The folder temporary files go in: $TMPDIR when it is set and not empty,
// otherwise /tmp, made absolute. Throws Failure when it does not exist or is
// no folder; the description is a clause such as
//   the temporary folder "/gone" (TMPDIR) does not exist
// to follow a caller's "...: ".
[[nodiscard]] QByteArray temporaryFolder();

// A folder of this program's own in the temporary folder, for files that
// must not outlive the process that made them: a private copy of an address
// book, a workbook being written.
//
//   PrivateFolder folder("book");                   // throws Failure
//   const QByteArray copy = folder.file("book");    // name it, then make it
//   const QByteArray log = folder.file("book-wal");
//   ... write copy and log, read them ...
//   // the destructor removes both, the marker and the folder
//
// What it promises:
// - The folder is "<temporary folder>/quarrelby-<purpose>-XXXXXX", made with
//   mkdtemp (readable by this user alone). Before anything else it gets a
//   marker, ".quarrelby-folder" (owner-only), that says the folder is this
//   program's, which process made it, and, one line each, the names of the
//   files the program writes there. It is made under a hidden name and
//   renamed once marked, so that a folder of that name always has its
//   marker, whenever the process is killed.
// - file(name) puts the name in the marker and returns its path; call it
//   before the file is made, so that no file of the program's is ever
//   unlisted. Names that are never made cost nothing (SQLite's -shm and
//   -journal files, say).
// - The destructor removes the listed files, the marker, then the folder.
//   Anything else in it (a file nobody listed) is left, and so is the folder.
// - Until then the folder is live: removeLiveFoldersNow() removes it from a
//   signal handler, and the program's end through exit() (std::exit, a
//   return from main) removes it too. After kill -9 or a crash,
//   sweepPrivateFolders() at the next start removes it.
// - handOver() is for a folder that another program reads after this one is
//   done with it (a workbook opened in the spreadsheet program): it stays on
//   disk and is no longer live; its marker says so, and the sweep leaves it
//   to the code that knows when that program is done (markedFolders()).
//
// file() may be called from any thread; the rest belongs to the owner's.
// Throws Failure (a clause, as above) when the folder or its marker cannot
// be made or written.
class PrivateFolder {
public:
    explicit PrivateFolder(const QByteArray &purpose);
    ~PrivateFolder();
    PrivateFolder(const PrivateFolder &) = delete;
    PrivateFolder &operator=(const PrivateFolder &) = delete;

    [[nodiscard]] const QByteArray &path() const { return m_path; }
    // The path of the file named name (no '/') in the folder, listed first.
    [[nodiscard]] QByteArray file(const QByteArray &name);
    void handOver();

private:
    void publish();
    void remove();

    QByteArray m_path;
    int m_fd = -1; // the folder itself, whatever its name comes to name
    std::mutex m_mutex;
    std::vector<QByteArray> m_files;
    int m_slot = -1; // where the signal handler finds it; -1: not live
};

// For a signal handler: removes the listed files, the marker and the folder
// of every live private folder of this process. Async-signal-safe (only
// unlinkat and rmdir, on names prepared beforehand); the objects stay valid,
// and their destructors later find nothing left to remove.
void removeLiveFoldersNow() noexcept;

// Makes SIGINT, SIGTERM and SIGHUP remove the live private folders before
// they end the program as they would have. A signal the program was started
// with ignored stays ignored. For the window, which no signal stops
// otherwise; the command line handles its own signals.
void removeLiveFoldersOnSignals();

// A private folder found in the temporary folder, as its marker tells.
struct MarkedFolder {
    QByteArray path;
    QByteArray purpose;
    std::vector<QByteArray> files; // the names the marker lists
    bool handedOver = false;
    bool makerRunning = false; // or cannot be told (another PID namespace)
};

// The private folders of this user directly in temporary: folders (not
// links) owned by this user, whose marker is a regular file of this user,
// not a link, in the marker's form. Anything else is not this program's.
[[nodiscard]] std::vector<MarkedFolder> markedFolders(const QByteArray &temporary);

// Removes from the folder the files its marker lists, except those spare
// keeps (given the name and its status), and only regular files of this
// user, never through a link; then the marker and the folder, when nothing
// else is left in it.
void removeMarkedFolder(
    const MarkedFolder &folder, const std::function<bool(const QByteArray &, const struct stat &)> &spare = {});

// At the start of either front end: removes what a process of this user that
// no longer runs left in the temporary folder (after kill -9 or a crash):
// each marked folder that was not handed over, as removeMarkedFolder does,
// and a hidden one killed in the making before its marker was whole, once it
// is ten minutes old and holds nothing else.
void sweepPrivateFolders();

} // namespace quarrelby
