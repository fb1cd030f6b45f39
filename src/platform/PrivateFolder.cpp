#include "platform/PrivateFolder.h"

#include "platform/Failure.h"
#include "platform/Signals.h"

#include <QFile>
#include <QString>

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <string>
#include <string_view>
#include <utility>

namespace quarrelby {

namespace {

constexpr char kPrefix[] = "quarrelby-";
constexpr char kMarker[] = ".quarrelby-folder";
constexpr char kMarkerTitle[] = "Quarrelby's private folder: the files below go when the process that made it ends.";
// A hidden folder without a marker this old was not left in the making.
constexpr time_t kStagingGraceSeconds = 600;
// Far more than a marker of a few names takes; a larger file is not one.
constexpr off_t kMarkerLimit = 64 * 1024;

QByteArray readSmall(const char *path)
{
    QFile file(QFile::decodeName(path));
    return file.open(QIODevice::ReadOnly | QIODevice::Unbuffered) ? file.read(4096) : QByteArray();
}

// The field of /proc/<pid>/stat that tells a process from a later one with
// the same number: its start time, in clock ticks after boot. Empty when it
// cannot be read.
QByteArray startTime(const QByteArray &pid)
{
    const QByteArray stat = readSmall("/proc/" + pid + "/stat");
    // The command name in parentheses may hold spaces and parentheses.
    const qsizetype end = stat.lastIndexOf(')');
    if (end < 0)
        return {};
    const QList<QByteArray> fields = stat.mid(end + 2).split(' ');
    // Fields counted from the state, the third of the line; the start time is the 22nd.
    return fields.size() > 19 ? fields[19] : QByteArray();
}

QByteArray pidNamespace()
{
    std::array<char, 64> link {};
    const ssize_t size = ::readlink("/proc/self/ns/pid", link.data(), link.size() - 1);
    return size > 0 ? QByteArray(link.data(), size) : QByteArray("-");
}

// "<pid> <start time> <boot id> <pid namespace>": this process, told apart
// from one of another boot, another namespace, or a later one of its number.
const QByteArray &processIdentity()
{
    static const QByteArray identity = [] {
        const QByteArray pid = QByteArray::number(::getpid());
        const QByteArray start = startTime(pid);
        const QByteArray boot = readSmall("/proc/sys/kernel/random/boot_id").trimmed();
        return pid + ' ' + (start.isEmpty() ? "-" : start) + ' ' + (boot.isEmpty() ? "-" : boot) + ' ' + pidNamespace();
    }();
    return identity;
}

// Whether the process that wrote identity may still run. Where that cannot
// be told (another PID namespace sees other processes), it may.
bool mayRun(const QByteArray &identity)
{
    const QList<QByteArray> maker = identity.split(' ');
    const QList<QByteArray> self = processIdentity().split(' ');
    if (maker.size() != 4 || self.size() != 4 || maker[3] != self[3])
        return true;
    if (maker[2] != "-" && self[2] != "-" && maker[2] != self[2])
        return false; // made before the last boot
    bool number = false;
    const pid_t pid = maker[0].toInt(&number);
    if (!number || pid <= 0)
        return true;
    if (::kill(pid, 0) != 0 && errno == ESRCH)
        return false;
    const QByteArray start = startTime(maker[0]);
    return maker[1] == "-" || start.isEmpty() || start == maker[1];
}

bool isPlainName(const QByteArray &name)
{
    return !name.isEmpty() && name != "." && name != ".." && name != kMarker && !name.contains('/')
        && !name.contains('\n') && !name.contains('\0');
}

bool writeAll(int fd, const QByteArray &bytes)
{
    for (qsizetype done = 0; done < bytes.size();) {
        const ssize_t put = ::write(fd, bytes.constData() + done, static_cast<size_t>(bytes.size() - done));
        if (put < 0 && errno == EINTR)
            continue;
        if (put <= 0)
            return false;
        done += put;
    }
    return true;
}

bool appendToMarker(int folder, const QByteArray &line, int flags = 0)
{
    const int fd = ::openat(folder, kMarker, O_WRONLY | O_APPEND | O_NOFOLLOW | O_CLOEXEC | flags, 0600);
    if (fd < 0)
        return false;
    const bool written = writeAll(fd, line);
    return ::close(fd) == 0 && written;
}

QString folderFailure(const QByteArray &folder, int error)
{
    return QStringLiteral("no private folder could be made in \"%1\": %2")
        .arg(QFile::decodeName(folder), systemMessage(error));
}

bool sameFile(const struct stat &a, const struct stat &b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Removes the folder at path when it is the one open as fd, and empty.
void removeFolder(const QByteArray &path, int fd)
{
    struct stat open { };
    struct stat named { };
    if (::fstat(fd, &open) == 0 && ::lstat(path.constData(), &named) == 0 && sameFile(open, named))
        (void)::rmdir(path.constData());
}

// Whether the folder open as fd holds nothing but, perhaps, its marker.
bool holdsOnlyMarker(int fd)
{
    const int copy = ::dup(fd);
    if (copy < 0)
        return false;
    const std::unique_ptr<DIR, int (*)(DIR *)> listing(::fdopendir(copy), ::closedir);
    if (!listing) {
        ::close(copy);
        return false;
    }
    while (const dirent *entry = ::readdir(listing.get())) {
        const std::string_view name(entry->d_name);
        if (name != "." && name != ".." && name != kMarker)
            return false;
    }
    return true;
}

// Removes the marker and the folder at path (open as fd) when nothing else is
// left in it. The marker goes only with the folder: a folder that keeps a
// file of the user's stays marked, and what it lists stays listed.
void removeEmptyFolder(const QByteArray &path, int fd)
{
    if (holdsOnlyMarker(fd) && (::unlinkat(fd, kMarker, 0) == 0 || errno == ENOENT))
        removeFolder(path, fd);
}

// Removes a folder of temporary (open as top) that holds nothing but a
// marker that is not whole, or no marker.
void removeUnmarked(int top, const char *name)
{
    const int folder = ::openat(top, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (folder < 0)
        return;
    struct stat marker { };
    const bool hasMarker = ::fstatat(folder, kMarker, &marker, AT_SYMLINK_NOFOLLOW) == 0;
    // A whole marker names at least the process: this one never got so far.
    if (holdsOnlyMarker(folder)
        && (!hasMarker || (S_ISREG(marker.st_mode) && marker.st_size < off_t(sizeof kMarkerTitle) + 8))
        && (!hasMarker || ::unlinkat(folder, kMarker, 0) == 0))
        (void)::unlinkat(top, name, AT_REMOVEDIR);
    ::close(folder);
}

// What a signal handler removes of a live folder: every path prepared here,
// the folder last. A published set is never changed; a new one takes its
// slot.
struct LivePaths {
    std::vector<std::string> files; // the listed files, then the marker
    std::string folder;
};

constexpr int kSlots = 64;
std::array<std::atomic<const LivePaths *>, kSlots> g_live {};
// Handlers walking g_live now. A set replaced meanwhile is not freed: the
// handler may be reading it (and the program is about to end).
std::atomic<int> g_removing {0};
std::mutex g_slotsMutex;

void retire(const LivePaths *paths)
{
    if (paths && g_removing.load() == 0)
        delete paths;
}

void removeOnExit()
{
    removeLiveFoldersNow();
}

extern "C" void removeAndEnd(int signal)
{
    removeLiveFoldersNow();
    ::signal(signal, SIG_DFL);
    ::raise(signal);
}

} // namespace

QByteArray temporaryFolder()
{
    QByteArray folder = qgetenv("TMPDIR");
    const bool named = !folder.isEmpty();
    if (!named)
        folder = "/tmp";
    if (!folder.startsWith('/')) {
        std::array<char, 4096> current {};
        if (::getcwd(current.data(), current.size()))
            folder = QByteArray(current.data()) + '/' + folder;
    }
    while (folder.size() > 1 && folder.endsWith('/'))
        folder.chop(1);
    const QString shown = QStringLiteral("the temporary folder \"%1\"%2")
                              .arg(QFile::decodeName(folder), named ? QStringLiteral(" (TMPDIR)") : QString());
    struct stat info { };
    if (::stat(folder.constData(), &info) != 0) {
        throw Failure(errno == ENOENT ? shown + QStringLiteral(" does not exist")
                                      : shown + QStringLiteral(" cannot be used: ") + systemMessage(errno));
    }
    if (!S_ISDIR(info.st_mode))
        throw Failure(shown + QStringLiteral(" is not a folder"));
    return folder;
}

PrivateFolder::PrivateFolder(const QByteArray &purpose)
{
    static std::once_flag atExit;
    std::call_once(atExit, [] { std::atexit(removeOnExit); });

    // Made under a hidden name, marked, then given its name in one step: a
    // folder of the program's name always has its marker, whenever the
    // process is killed. A hidden one left without a marker is empty.
    const QByteArray temporary = temporaryFolder();
    const QByteArray marker
        = QByteArray(kMarkerTitle) + "\nprocess " + processIdentity() + "\npurpose " + purpose + '\n';
    for (int attempt = 0; m_fd < 0; ++attempt) {
        QByteArray staging = temporary + "/." + kPrefix + purpose + "-XXXXXX";
        if (!::mkdtemp(staging.data()))
            throw Failure(folderFailure(temporary, errno));
        m_fd = ::open(staging.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        const bool marked = m_fd >= 0 && appendToMarker(m_fd, marker, O_CREAT | O_EXCL);
        m_path = temporary + '/' + kPrefix + purpose + staging.right(7);
        if (marked && ::renameat2(AT_FDCWD, staging.constData(), AT_FDCWD, m_path.constData(), RENAME_NOREPLACE) == 0)
            break;
        // A file system that cannot rename so: the hidden name stays.
        if (marked && errno == EINVAL) {
            m_path = staging;
            break;
        }
        const int error = errno;
        if (m_fd >= 0) {
            (void)::unlinkat(m_fd, kMarker, 0);
            removeFolder(staging, m_fd);
            ::close(std::exchange(m_fd, -1));
        } else {
            (void)::rmdir(staging.constData());
        }
        if (!marked || error != EEXIST || attempt == 10)
            throw Failure(folderFailure(temporary, error));
    }
    publish();
}

PrivateFolder::~PrivateFolder()
{
    remove();
}

QByteArray PrivateFolder::file(const QByteArray &name)
{
    if (!isPlainName(name))
        throw Failure(QStringLiteral("\"%1\" is no name for a file of a private folder").arg(QFile::decodeName(name)));
    const std::lock_guard lock(m_mutex);
    if (m_fd < 0 || !appendToMarker(m_fd, "file " + name + '\n')) {
        throw Failure(QStringLiteral("the private folder \"%1\" cannot be written: %2")
                          .arg(QFile::decodeName(m_path), systemMessage(m_fd < 0 ? EBADF : errno)));
    }
    m_files.push_back(name);
    publish();
    return m_path + '/' + name;
}

void PrivateFolder::handOver()
{
    const std::lock_guard lock(m_mutex);
    if (m_fd < 0)
        return;
    (void)appendToMarker(m_fd, "handed-over\n");
    const std::lock_guard slotsLock(g_slotsMutex);
    if (m_slot >= 0)
        retire(g_live[static_cast<size_t>(m_slot)].exchange(nullptr));
    m_slot = -1;
    ::close(std::exchange(m_fd, -1));
}

// Called with m_mutex held, or from the constructor.
void PrivateFolder::publish()
{
    auto paths = std::make_unique<LivePaths>();
    for (const QByteArray &name : m_files)
        paths->files.push_back((m_path + '/' + name).toStdString());
    paths->files.push_back((m_path + '/' + kMarker).toStdString());
    paths->folder = m_path.toStdString();
    const std::lock_guard slotsLock(g_slotsMutex);
    if (m_slot < 0) {
        for (int slot = 0; slot < kSlots && m_slot < 0; ++slot) {
            if (!g_live[static_cast<size_t>(slot)].load())
                m_slot = slot;
        }
        // All taken: the destructor, exit and the next start's sweep still
        // remove it; only a signal does not.
        if (m_slot < 0)
            return;
    }
    retire(g_live[static_cast<size_t>(m_slot)].exchange(paths.release()));
}

void PrivateFolder::remove()
{
    const std::lock_guard lock(m_mutex);
    if (m_fd < 0)
        return;
    {
        const std::lock_guard slotsLock(g_slotsMutex);
        if (m_slot >= 0)
            retire(g_live[static_cast<size_t>(m_slot)].exchange(nullptr));
        m_slot = -1;
    }
    for (const QByteArray &name : m_files) {
        struct stat info { };
        if (::fstatat(m_fd, name.constData(), &info, AT_SYMLINK_NOFOLLOW) == 0 && !S_ISDIR(info.st_mode))
            (void)::unlinkat(m_fd, name.constData(), 0);
    }
    removeEmptyFolder(m_path, m_fd);
    ::close(std::exchange(m_fd, -1));
}

void removeLiveFoldersNow() noexcept
{
    g_removing.fetch_add(1);
    for (const std::atomic<const LivePaths *> &slot : g_live) {
        const LivePaths *paths = slot.load();
        if (!paths)
            continue;
        for (const std::string &file : paths->files)
            (void)::unlink(file.c_str());
        (void)::rmdir(paths->folder.c_str());
    }
    g_removing.fetch_sub(1);
}

void removeLiveFoldersOnSignals()
{
    handleUnlessIgnored({SIGINT, SIGTERM, SIGHUP}, removeAndEnd);
}

std::vector<MarkedFolder> markedFolders(const QByteArray &temporary)
{
    std::vector<MarkedFolder> found;
    const int top = ::open(temporary.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (top < 0)
        return found;
    const std::unique_ptr<DIR, int (*)(DIR *)> listing(::fdopendir(top), ::closedir);
    if (!listing) {
        ::close(top);
        return found;
    }
    const uid_t self = ::geteuid();
    while (const dirent *entry = ::readdir(listing.get())) {
        const QByteArray name(entry->d_name);
        struct stat info { };
        const bool staging = name.startsWith('.') && name.mid(1).startsWith(kPrefix);
        if ((!name.startsWith(kPrefix) && !staging) || ::fstatat(top, entry->d_name, &info, AT_SYMLINK_NOFOLLOW) != 0
            || !S_ISDIR(info.st_mode) || info.st_uid != self)
            continue;
        // A folder killed in the making, before its marker was whole, is
        // removed once it is no longer in the making.
        if (staging && info.st_mtime < ::time(nullptr) - kStagingGraceSeconds)
            removeUnmarked(top, entry->d_name);
        const int folder = ::openat(top, entry->d_name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (folder < 0)
            continue;
        const int marker = ::openat(folder, kMarker, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        ::close(folder);
        if (marker < 0)
            continue;
        QByteArray text;
        if (::fstat(marker, &info) == 0 && S_ISREG(info.st_mode) && info.st_uid == self && (info.st_mode & 077) == 0
            && info.st_size <= kMarkerLimit) {
            text.resize(static_cast<qsizetype>(info.st_size));
            const ssize_t got = ::pread(marker, text.data(), static_cast<size_t>(text.size()), 0);
            text.resize(got > 0 ? got : 0);
        }
        ::close(marker);
        // Only whole lines count: a name is listed before its file is made,
        // so a line cut short names no file.
        QList<QByteArray> lines = text.left(text.lastIndexOf('\n') + 1).split('\n');
        if (lines.size() < 3 || lines[0] != kMarkerTitle || !lines[1].startsWith("process "))
            continue;
        MarkedFolder marked;
        marked.path = temporary + '/' + name;
        marked.makerRunning = mayRun(lines[1].mid(8));
        for (const QByteArray &line : lines) {
            if (line.startsWith("purpose "))
                marked.purpose = line.mid(8);
            else if (line.startsWith("file ") && isPlainName(line.mid(5)))
                marked.files.push_back(line.mid(5));
            else if (line == "handed-over")
                marked.handedOver = true;
        }
        found.push_back(std::move(marked));
    }
    return found;
}

void removeMarkedFolder(
    const MarkedFolder &folder, const std::function<bool(const QByteArray &, const struct stat &)> &spare)
{
    const int fd = ::open(folder.path.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return;
    const uid_t self = ::geteuid();
    for (const QByteArray &name : folder.files) {
        struct stat info { };
        if (isPlainName(name) && ::fstatat(fd, name.constData(), &info, AT_SYMLINK_NOFOLLOW) == 0
            && S_ISREG(info.st_mode) && info.st_uid == self && !(spare && spare(name, info)))
            (void)::unlinkat(fd, name.constData(), 0);
    }
    removeEmptyFolder(folder.path, fd);
    ::close(fd);
}

void sweepPrivateFolders()
{
    QByteArray temporary;
    try {
        temporary = temporaryFolder();
    } catch (const Failure &) {
        return; // nothing was made there
    }
    for (const MarkedFolder &folder : markedFolders(temporary)) {
        if (!folder.handedOver && !folder.makerRunning)
            removeMarkedFolder(folder);
    }
}

} // namespace quarrelby
