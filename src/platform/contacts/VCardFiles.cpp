#include "platform/contacts/VCardFiles.h"

#include "format/vcard/VCardContact.h"
#include "format/vcard/VCardReader.h"
#include "format/vcard/VCardText.h"
#include "platform/BoundedQueue.h"
#include "platform/Failure.h"
#include "platform/contacts/RegularFile.h"

#include <QFile>
#include <QFuture>
#include <QThread>
#include <QThreadPool>
#include <QtConcurrentRun>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <dirent.h>
#include <exception>
#include <fcntl.h>
#include <functional>
#include <limits>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace quarrelby {

namespace {

bool isVCardName(std::string_view name)
{
    auto endsWith = [&](std::string_view suffix) {
        return name.size() > suffix.size() && vcard::equalsIgnoreCase(name.substr(name.size() - suffix.size()), suffix);
    };
    return endsWith(".vcf") || endsWith(".vcard");
}

// The whole of a small file in one read: a folder of 100,000 small cards
// would spend more time in buffered streams than in parsing. Appends to out.
// Returns why it could not be read, empty when it was.
QString readSmallFile(int fd, size_t size, std::string &out)
{
    // One byte more than the file holds: once all of it has come, a read
    // that comes back short has met the end, without a second read to find
    // it. (A short read before that, as some network file systems give, is
    // no end.)
    const size_t start = out.size();
    out.resize(start + size + 1);
    size_t filled = start;
    while (true) {
        if (filled == out.size())
            out.resize(out.size() + 4096);
        const size_t wanted = out.size() - filled;
        const ssize_t got = ::read(fd, out.data() + filled, wanted);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            out.resize(filled);
            return systemMessage(errno);
        }
        filled += static_cast<size_t>(got);
        if (got == 0 || (static_cast<size_t>(got) < wanted && filled - start >= size))
            break;
    }
    out.resize(filled);
    return {};
}

// The same file, unchanged as far as its status tells: an edit in place, of
// the same size, still moves its modification and change times.
bool sameFile(const struct stat &a, const struct stat &b)
{
    const auto sameTime
        = [](const timespec &x, const timespec &y) { return x.tv_sec == y.tv_sec && x.tv_nsec == y.tv_nsec; };
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino && a.st_size == b.st_size && sameTime(a.st_mtim, b.st_mtim)
        && sameTime(a.st_ctim, b.st_ctim);
}

bool isBeginLine(std::string_view data, size_t at)
{
    constexpr std::string_view begin = "BEGIN:VCARD";
    return data.size() - at >= begin.size() && vcard::equalsIgnoreCase(data.substr(at, begin.size()), begin);
}

// The start of the first line at or after from that begins a card, npos
// when none does.
size_t beginLineAfter(std::string_view data, size_t from)
{
    size_t at = from;
    while (at < data.size()) {
        const void *newline = std::memchr(data.data() + at, '\n', data.size() - at);
        if (!newline)
            return std::string_view::npos;
        at = static_cast<size_t>(static_cast<const char *>(newline) - data.data()) + 1;
        if (isBeginLine(data, at))
            return at;
    }
    return std::string_view::npos;
}

// The start of the last line of data that begins a card, npos when no line
// but the first does.
size_t lastBeginLine(std::string_view data)
{
    size_t end = data.size();
    while (end > 0) {
        const void *newline = ::memrchr(data.data(), '\n', end);
        if (!newline)
            return std::string_view::npos;
        const auto at = static_cast<size_t>(static_cast<const char *>(newline) - data.data());
        if (isBeginLine(data, at + 1))
            return at + 1;
        end = at;
    }
    return std::string_view::npos;
}

// Whether the start of a file reads as vCard text: a BEGIN:VCARD line, or a
// card the lenient reader finds without one.
bool holdsVCard(std::string_view start)
{
    if (isBeginLine(start, 0) || beginLineAfter(start, 0) != std::string_view::npos)
        return true;
    vcard::Reader reader(start);
    vcard::Card card;
    return reader.next(card);
}

// Nothing but blanks, after a UTF-8 byte-order mark if there is one.
bool isBlank(std::string_view text)
{
    if (text.starts_with("\xEF\xBB\xBF"))
        text.remove_prefix(3);
    return std::all_of(text.begin(), text.end(), [](char c) { return c == ' ' || (c >= '\t' && c <= '\r'); });
}

// A folder of the book, open while its files are read.
struct Folder {
    DIR *dir = nullptr;
    // Its path with a final slash.
    std::string prefix;
    // Its status as it was listed: a card added or removed later moves its
    // times.
    struct stat listed { };

    Folder() = default;
    Folder(const Folder &) = delete;
    Folder &operator=(const Folder &) = delete;
    ~Folder()
    {
        if (dir)
            ::closedir(dir);
    }

    [[nodiscard]] int fd() const { return ::dirfd(dir); }
};

// Opens the folder at path and lists its card files into names, in name
// order; the error number when it cannot, 0 when it could.
int openFolder(const std::string &path, Folder &folder, std::vector<std::string> &names)
{
    folder.dir = ::opendir(path.c_str());
    if (!folder.dir)
        return errno;
    folder.prefix = path.ends_with('/') ? path : path + '/';
    if (::fstat(::dirfd(folder.dir), &folder.listed) != 0)
        return errno;
    while (const dirent *entry = ::readdir(folder.dir)) {
        if (entry->d_type != DT_DIR && isVCardName(entry->d_name))
            names.emplace_back(entry->d_name);
    }
    std::sort(names.begin(), names.end());
    return 0;
}

Failure unreadableBook(const std::string &path, int error)
{
    return Failure(QStringLiteral("The address book \"%1\" cannot be read: %2")
                       .arg(QFile::decodeName(path.c_str()), systemMessage(error)));
}

Failure unreadableFile(const std::string &path, const QString &failure)
{
    return Failure(
        QStringLiteral("The contact file \"%1\" could not be read: %2").arg(QFile::decodeName(path.c_str()), failure));
}

// A large file is read and cut in pieces of about this size.
constexpr size_t kPieceBytes = 64 * 1024;
// So much of a file must read as vCard text before more is read.
constexpr size_t kStartBytes = 512 * 1024;
// No card is larger: a photo of a few megabytes fits many times. Past it
// without a card's end the text is taken for damaged, and what follows is
// not read, so that no file is held whole.
constexpr size_t kLargestCard = 32 * 1024 * 1024;

// Cuts the text of one vCard file, fed a block at a time, into pieces of
// whole cards for the parsers. UTF-16 is converted as it comes. Nothing is
// held past the piece being cut: a file whose start is not vCard text is
// reported after its first block, and text that runs on for kLargestCard
// with no place to cut is reported where it starts.
class CardCutter {
public:
    // The piece and the failure that ends the file after it, if any; false
    // to stop.
    using Emit = std::function<bool(std::string piece, std::exception_ptr failure)>;

    CardCutter(std::string path, Emit onPiece)
        : m_path(std::move(path))
        , m_emit(std::move(onPiece))
    {
    }

    // The text read so far and not yet cut: read the next block onto its end.
    std::string &buffer() { return m_pending; }

    // Cuts what the last read added, the `got` bytes at the end of buffer(),
    // none at the end of the file. False when the file is done with: at its
    // end, after a failure, or when emit said to stop.
    bool take(size_t got);

    // A read failed: what was read goes on with the failure.
    void fail(const QString &failure)
    {
        m_emit(std::exchange(m_pending, {}), std::make_exception_ptr(unreadableFile(m_path, failure)));
    }

private:
    bool checkStart(bool atEnd);
    bool cutPieces();

    const std::string m_path;
    const Emit m_emit;
    std::string m_pending;
    // Where the next cut is looked for in m_pending.
    size_t m_searchFrom = kPieceBytes;
    // Bytes of the file (as UTF-8) cut off before m_pending.
    size_t m_offset = 0;
    bool m_started = false;
    bool m_checked = false;
    std::optional<vcard::Utf16Stream> m_utf16;
};

bool CardCutter::take(size_t got)
{
    const bool atEnd = got == 0;
    size_t fresh = got;
    if (!m_started && (m_pending.size() >= 2 || atEnd)) {
        m_started = true;
        fresh = m_pending.size();
        if (vcard::Utf16Stream::startsUtf16(m_pending))
            m_utf16.emplace();
    }
    if (m_utf16) {
        const std::string bytes = m_pending.substr(m_pending.size() - fresh);
        m_pending.resize(m_pending.size() - fresh);
        m_utf16->append(bytes, atEnd, m_pending);
    }
    if (!checkStart(atEnd))
        return false;
    if (atEnd) {
        if (!m_pending.empty())
            m_emit(std::exchange(m_pending, {}), nullptr);
        return false;
    }
    return !m_checked || cutPieces();
}

// A file's first block, or the whole of a smaller file, must read as vCard
// text: a file of zeros or some other kind is not read on to its end. One
// with nothing in it but blanks is a book with no card.
bool CardCutter::checkStart(bool atEnd)
{
    if (m_checked || (m_pending.size() < kStartBytes && !atEnd))
        return true;
    m_checked = true;
    if (isBlank(m_pending) || holdsVCard(std::string_view(m_pending).substr(0, kStartBytes)))
        return true;
    m_emit({},
        std::make_exception_ptr(Failure(
            QStringLiteral("The address book \"%1\" cannot be read: it is not a vCard file (no BEGIN:VCARD line "
                           "at its start).")
                .arg(QFile::decodeName(m_path.c_str())))));
    return false;
}

bool CardCutter::cutPieces()
{
    while (m_pending.size() > m_searchFrom) {
        size_t cut = vcard::cardBoundary(m_pending, m_searchFrom);
        if (cut == std::string_view::npos && m_pending.size() > kLargestCard) {
            // Cards with no END line, or blank lines between them, have no
            // place cardBoundary vouches for; cut before the last BEGIN
            // line, so that what is left is small.
            cut = lastBeginLine(m_pending);
            if (cut == std::string_view::npos) {
                // What starts a card holds no other card's start; its own
                // first lines go on, as a card the reader may make
                // something of.
                const size_t keep = m_pending.rfind('\n', kStartBytes);
                m_pending.resize(keep == std::string::npos ? kStartBytes : keep + 1);
                m_emit(std::exchange(m_pending, {}),
                    std::make_exception_ptr(unreadableFile(m_path,
                        QStringLiteral("from byte %1 on it holds no card's end within %2 MB; the rest of the file "
                                       "was not read")
                            .arg(m_offset)
                            .arg(kLargestCard / (1024 * 1024)))));
                return false;
            }
        }
        if (cut == std::string_view::npos) {
            // Look again from near the end once more has been read.
            m_searchFrom = std::max(m_searchFrom, m_pending.size() > 4096 ? m_pending.size() - 4096 : 0);
            return true;
        }
        std::string rest = m_pending.substr(cut);
        m_pending.resize(cut);
        m_offset += cut;
        if (!m_emit(std::exchange(m_pending, std::move(rest)), nullptr))
            return false;
        m_searchFrom = kPieceBytes;
    }
    return true;
}

// Reads the open file fd to its end through the cutter, a block at a time.
void cutOpenFile(int fd, CardCutter &cutter)
{
    while (true) {
        std::string &pending = cutter.buffer();
        const size_t filled = pending.size();
        pending.resize(filled + kPieceBytes);
        const ssize_t got = ::read(fd, pending.data() + filled, kPieceBytes);
        if (got < 0 && errno == EINTR) {
            pending.resize(filled);
            continue;
        }
        if (got < 0) {
            const int error = errno;
            pending.resize(filled);
            cutter.fail(systemMessage(error));
            return;
        }
        pending.resize(filled + static_cast<size_t>(got));
        if (!cutter.take(static_cast<size_t>(got)))
            return;
    }
}

// How many cards the text holds, near enough to weigh it.
size_t cardCount(std::string_view text)
{
    constexpr std::string_view begin = "BEGIN:VCARD";
    size_t count = 0;
    for (size_t at = text.find(begin); at != std::string_view::npos; at = text.find(begin, at + begin.size()))
        ++count;
    return count;
}

// Whole cards of one file of the book, or the failure that ended the file
// after them.
struct Piece {
    // The book's file it comes from, counted from 0 in reading order.
    size_t file = 0;
    // The sub-book it comes from, counted from 0 in reading order.
    size_t book = 0;
    std::string bytes {};
    std::exception_ptr failure {};
    // Or a small file of a folder, of about this size, for the worker to
    // read.
    std::shared_ptr<const Folder> folder {};
    std::string name {};
    size_t size = 0;
};

// What a worker hands back: contacts in order, then the failure that came
// after them, if any.
struct Part {
    std::vector<Contact> contacts;
    std::exception_ptr failure;
    size_t file = 0;
    size_t book = 0;
    // The failure ended the file: its later pieces are not read.
    bool endsFile = false;
};

// A worker's own parser for one job.
struct Parser {
    vcard::Card card;
    vcard::ContactReader resolver;
    // The text of the contacts of the part being filled, shared by them.
    QString texts;
};

// Ends the part, its contacts sharing one text, and starts the next.
void handOver(Part &part, Parser &parser, std::vector<Part> &parts)
{
    for (Contact &contact : part.contacts)
        contact.texts = parser.texts;
    parser.texts = QString();
    const size_t file = part.file;
    const size_t book = part.book;
    parts.push_back(std::exchange(part, Part()));
    part.file = file;
    part.book = book;
}

// Parses the cards of data into the part.
void parse(std::string_view data, Parser &parser, Part &part)
{
    try {
        vcard::Reader reader(data);
        while (reader.next(parser.card))
            part.contacts.push_back(parser.resolver.read(parser.card, parser.texts));
    } catch (...) {
        part.failure = std::current_exception();
        part.endsFile = true;
    }
}

// Parses one piece into the part, handing the part over at a failure.
void parsePiece(Piece &piece, Parser &parser, Part &part, std::vector<Part> &parts)
{
    // A part holds the contacts of one sub-book.
    if (piece.book != part.book && !part.contacts.empty())
        handOver(part, parser, parts);
    part.file = piece.file;
    part.book = piece.book;
    parse(piece.bytes, parser, part);
    std::string().swap(piece.bytes);
    if (piece.failure && !part.failure) {
        part.failure = std::move(piece.failure);
        part.endsFile = true;
    }
    if (part.failure)
        handOver(part, parser, parts);
}

// The contacts of a job's pieces, in order; read() turns a small file to read
// into pieces of its text.
std::vector<Part> parsePieces(std::vector<Piece> &pieces, const std::atomic<bool> &stopping,
    const std::function<std::vector<Piece>(const Piece &)> &read)
{
    std::vector<Part> parts;
    Parser parser;
    Part part;
    for (Piece &piece : pieces) {
        if (stopping)
            break;
        if (!piece.name.empty()) {
            for (Piece &text : read(piece))
                parsePiece(text, parser, part, parts);
            continue;
        }
        parsePiece(piece, parser, part, parts);
    }
    if (!part.contacts.empty())
        handOver(part, parser, parts);
    return parts;
}

// The cards of the book, read ahead of the walk: one thread lists the book
// and reads its large files in order a block at a time, cut into pieces of
// whole cards; a few more read the small files of a folder, a few dozen a
// job, and parse the pieces side by side. The jobs' results wait for the walk, in
// the book's order, as futures in a window bounded by the bytes they were
// parsed from, so that neither a folder of 100,000 cards nor a file of
// gigabytes is held whole. A file that cannot be read is reported at its own
// place, and the walk goes on with the next file.
class VCardFiles : public ContactSource {
public:
    VCardFiles(QByteArray path, std::vector<QByteArray> folders)
        : m_path(std::move(path))
        , m_folders(std::move(folders))
    {
        // The reading thread and one worker more than there are cores: the
        // walk does not keep a core busy all the time, and a worker waiting
        // for the file system leaves one free.
        m_pool.setMaxThreadCount(1 + std::clamp<int>(QThread::idealThreadCount() + 1, 2, 5));
    }

    ~VCardFiles() override
    {
        m_stopping = true;
        m_window.cancel();
        m_pool.waitForDone();
    }

    VCardFiles(const VCardFiles &) = delete;
    VCardFiles &operator=(const VCardFiles &) = delete;

    void start() override { begin(true); }

    // What a folder's files were when they were read before the walk: the
    // files that a read has begun on from now are read after it.
    bool readStillCurrent() override
    {
        std::unique_lock lock(m_readMutex);
        m_walkBegun = true;
        m_readsEnded.wait(lock, [this] { return m_readsUnderWay == 0; });
        const std::vector<ReadFile> read = std::exchange(m_readBefore, {});
        lock.unlock();
        return std::all_of(read.begin(), read.end(), [](const ReadFile &file) {
            struct stat now { };
            return file.read && ::stat(file.path.c_str(), &now) == 0 && sameFile(file.info, now);
        });
    }

    bool next(Contact &contact) override;

    [[nodiscard]] size_t subBook() const override { return m_current.book; }

private:
    // What the window holds, read and parsed or not, weighed in bytes: a
    // piece weighs its bytes or what its contacts cost to hold, about a
    // kilobyte each, whichever is more. About 32,768 contacts, whatever the
    // size of the book: enough that a book started while the window waits
    // for the click (see the contact store) has a good part read by then.
    static constexpr size_t kBytesAhead = 32 * 1024 * 1024;
    static constexpr size_t kContactWeight = 1024;
    // Each file of a folder read before the walk is looked at again when the
    // walk takes the read over (readStillCurrent), on the window's thread:
    // a piece weighs at least this much, so that they are a few thousand.
    static constexpr size_t kLeastWeight = 8 * 1024;
    // A job: a few dozen small files, or a piece of a large one.
    static constexpr size_t kJobWeight = 64 * 1024;
    static constexpr size_t kFilesPerJob = 64;

    // Starts the reading once; ahead: the source is started before its walk,
    // and the files of a folder read before the walk are remembered, for
    // readStillCurrent().
    void begin(bool ahead)
    {
        if (m_begun)
            return;
        m_begun = true;
        m_walkBegun = !ahead;
        m_pool.start([this] {
            cut();
            m_window.close();
        });
    }

    // Lists the book and reads it into jobs, on the reading thread.
    void cut()
    {
        const std::string path = m_path.toStdString();
        struct stat info { };
        if (!m_folders.empty()) {
            cutFolders();
        } else if (::stat(path.c_str(), &info) != 0) {
            add({.failure = std::make_exception_ptr(unreadableBook(path, errno))});
        } else if (!S_ISDIR(info.st_mode)) {
            cutFile(AT_FDCWD, path, path, 0, 0, m_add);
        } else {
            m_folders.push_back(m_path);
            cutFolders();
        }
        submit();
    }

    // The files of the folders, a sub-book each, in order. A folder that
    // cannot be listed is reported at its place.
    void cutFolders()
    {
        size_t file = 0;
        std::vector<std::string> names;
        for (size_t book = 0; book < m_folders.size(); ++book) {
            const std::string path = m_folders[book].toStdString();
            auto folder = std::make_shared<Folder>();
            names.clear();
            const bool remembered = readBegins();
            const int error = openFolder(path, *folder, names);
            if (remembered)
                readEnded(path, folder->listed, error == 0);
            if (error != 0
                && !add(
                    {.file = file++, .book = book, .failure = std::make_exception_ptr(unreadableBook(path, error))}))
                return;
            for (std::string &name : names) {
                // A small file is read by a worker; what is not one is read
                // here, a large file cut in pieces, or reported.
                struct stat info { };
                const bool small = ::fstatat(folder->fd(), name.c_str(), &info, 0) == 0 && S_ISREG(info.st_mode)
                    && static_cast<size_t>(info.st_size) <= kStartBytes;
                const bool wanted = small ? add({.file = file,
                                        .book = book,
                                        .folder = folder,
                                        .name = std::move(name),
                                        .size = size_t(info.st_size)})
                                          : cutFile(folder->fd(), name, folder->prefix + name, file, book, m_add);
                ++file;
                if (!wanted)
                    return;
            }
        }
    }

    using Sink = std::function<bool(Piece)>;
    bool cutFile(
        int folder, const std::string &name, const std::string &path, size_t file, size_t book, const Sink &sink);

    // Adds a piece to the job being gathered, and hands the job on once it
    // is full; false once the walk has gone.
    bool add(Piece piece)
    {
        // A file to read weighs as if its cards were small.
        const size_t contacts = piece.name.empty() ? cardCount(piece.bytes) : piece.size / 64;
        m_jobWeight += std::max({piece.bytes.size(), contacts * kContactWeight, kLeastWeight});
        m_job.push_back(std::move(piece));
        return (m_jobWeight < kJobWeight && m_job.size() < kFilesPerJob) || submit();
    }

    // Hands the job gathered to a worker, waiting while the window is full.
    bool submit()
    {
        if (m_job.empty())
            return !m_stopping;
        const size_t weight = std::exchange(m_jobWeight, 0);
        return m_window.push(
            QtConcurrent::run(&m_pool,
                [this, job = std::exchange(m_job, {})]() mutable { return parsePieces(job, m_stopping, m_read); }),
            weight);
    }

    // A folder listed, or a file opened, before the walk, as it was then; a
    // file that could not be opened counts as changed. Its status is taken
    // as it is opened: whatever is read from it later was written before
    // that, or moved its times.
    struct ReadFile {
        std::string path;
        struct stat info;
        bool read;
    };
    // True when an open or a listing that begins now comes before the walk,
    // and is to be remembered by readEnded().
    bool readBegins()
    {
        const std::lock_guard lock(m_readMutex);
        if (m_walkBegun)
            return false;
        ++m_readsUnderWay;
        return true;
    }
    void readEnded(std::string path, const struct stat &info, bool read)
    {
        {
            const std::lock_guard lock(m_readMutex);
            m_readBefore.push_back({std::move(path), info, read});
            --m_readsUnderWay;
        }
        m_readsEnded.notify_all();
    }

    const QByteArray m_path;
    // The folders of a folder book and its sub-books, once the reading
    // thread knows.
    std::vector<QByteArray> m_folders;
    bool m_begun = false;
    std::atomic<bool> m_stopping = false;
    // The files read before the walk, and a read under way then.
    std::mutex m_readMutex;
    std::condition_variable m_readsEnded;
    bool m_walkBegun = true;
    size_t m_readsUnderWay = 0;
    std::vector<ReadFile> m_readBefore;

    const Sink m_add = [this](Piece piece) { return add(std::move(piece)); };
    // A worker's: a small file of a folder read into pieces.
    const std::function<std::vector<Piece>(const Piece &)> m_read = [this](const Piece &file) {
        std::vector<Piece> pieces;
        cutFile(file.folder->fd(), file.name, file.folder->prefix + file.name, file.file, file.book, [&](Piece piece) {
            pieces.push_back(std::move(piece));
            return !m_stopping;
        });
        return pieces;
    };
    // The reading thread's: the job being gathered.
    std::vector<Piece> m_job;
    size_t m_jobWeight = 0;
    BoundedQueue<QFuture<std::vector<Part>>> m_window {kBytesAhead};

    // The walk's own: the parts of the job it is on, and the part it is
    // taking contacts from.
    std::vector<Part> m_parts;
    size_t m_nextPart = 0;
    Part m_current;
    size_t m_taken = 0;
    size_t m_failedFile = std::numeric_limits<size_t>::max();

    // Last, so that its threads end before anything they use.
    QThreadPool m_pool;
};

bool VCardFiles::next(Contact &contact)
{
    begin(false);
    while (true) {
        if (m_taken < m_current.contacts.size()) {
            contact = std::move(m_current.contacts[m_taken++]);
            return true;
        }
        if (m_current.failure) {
            if (m_current.endsFile)
                m_failedFile = m_current.file;
            std::rethrow_exception(std::exchange(m_current.failure, nullptr));
        }
        if (m_nextPart == m_parts.size()) {
            std::optional<QFuture<std::vector<Part>>> job = m_window.pop();
            if (!job)
                return false;
            m_parts = job->takeResult();
            m_nextPart = 0;
            continue;
        }
        Part &part = m_parts[m_nextPart++];
        if (m_failedFile != part.file) {
            m_current = std::move(part);
            m_taken = 0;
        }
    }
}

// Reads a file of the book, whole when it is small and a block at a time
// when not, and hands it on in pieces of whole cards. False once the walk
// has gone.
bool VCardFiles::cutFile(
    int folder, const std::string &name, const std::string &path, size_t file, size_t book, const Sink &sink)
{
    struct stat info { };
    QString failure;
    const bool remembered = readBegins();
    const int fd = openRegularFileAt(folder, name.c_str(), info, failure);
    if (remembered)
        readEnded(path, info, fd >= 0);
    if (fd < 0)
        return sink({.file = file, .book = book, .failure = std::make_exception_ptr(unreadableFile(path, failure))});
    bool wanted = true;
    CardCutter cutter(path, [&](std::string bytes, std::exception_ptr ending) {
        wanted = sink({.file = file, .book = book, .bytes = std::move(bytes), .failure = std::move(ending)});
        return wanted;
    });
    const size_t size = info.st_size > 0 ? static_cast<size_t>(info.st_size) : 0;
    if (size <= kPieceBytes) {
        std::string &buffer = cutter.buffer();
        buffer.reserve(size + 1);
        if (const QString readFailure = readSmallFile(fd, size, buffer); !readFailure.isEmpty())
            cutter.fail(readFailure);
        else if (cutter.take(buffer.size()))
            cutter.take(0);
    } else {
        cutOpenFile(fd, cutter);
    }
    ::close(fd);
    return wanted;
}

} // namespace

std::unique_ptr<ContactSource> openVCardSource(const QByteArray &path, std::vector<QByteArray> folders)
{
    return std::make_unique<VCardFiles>(path, std::move(folders));
}

std::unique_ptr<ContactSource> openVCardSource(const QByteArray &path)
{
    return std::make_unique<VCardFiles>(path, std::vector<QByteArray>());
}

} // namespace quarrelby
