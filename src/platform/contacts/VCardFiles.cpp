#include "platform/contacts/VCardFiles.h"

#include "format/vcard/VCardContact.h"
#include "format/vcard/VCardReader.h"
#include "format/vcard/VCardText.h"
#include "platform/Failure.h"
#include "platform/OrderedWork.h"
#include "platform/contacts/RegularFile.h"

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <dirent.h>
#include <exception>
#include <functional>
#include <limits>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <utility>
#include <vector>

namespace quarrelby {

bool isVCardFileName(std::string_view name)
{
    auto endsWith = [&](std::string_view suffix) {
        return name.size() > suffix.size() && vcard::equalsIgnoreCase(name.substr(name.size() - suffix.size()), suffix);
    };
    return endsWith(".vcf") || endsWith(".vcard");
}

namespace {

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

// A folder of the book, open while its files wait to be read.
// (One open and one listing for each: a book may have 100,000 sub-books.)
struct Folder {
    std::unique_ptr<DIR, int (*)(DIR *)> dir {nullptr, ::closedir};
    // Its path with a final slash.
    std::string prefix;
    // Its status as it was listed: a card added or removed later moves its
    // times.
    struct stat listed { };

    [[nodiscard]] int fd() const { return ::dirfd(dir.get()); }
};

// Opens the folder at path and lists its card files into names, in name
// order; the error number when it cannot, 0 when it could.
int openFolder(const std::string &path, Folder &folder, std::vector<std::string> &names)
{
    folder.dir.reset(::opendir(path.c_str()));
    if (!folder.dir)
        return errno;
    folder.prefix = path.ends_with('/') ? path : path + '/';
    if (::fstat(folder.fd(), &folder.listed) != 0)
        return errno;
    while (const dirent *entry = ::readdir(folder.dir.get())) {
        if (entry->d_type != DT_DIR && isVCardFileName(entry->d_name))
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

// A piece of the book for one worker: whole files to read, or the bytes of
// whole cards cut from a large file.
struct Unit {
    // The book's file it comes from, counted from 0 in reading order.
    size_t file = 0;
    // The sub-book it comes from, counted from 0 in reading order.
    size_t book = 0;
    // The file to read, in folder, when it is not empty.
    std::shared_ptr<const Folder> folder {};
    std::string path {};
    std::string bytes {};
    // What stopped the reading of the file here.
    std::exception_ptr failure {};
};

using Job = std::vector<Unit>;

// What a worker hands back: contacts in order, then the failure that came
// after them, if any.
struct Part {
    std::vector<Contact> contacts {};
    std::exception_ptr failure {};
    size_t file = 0;
    size_t book = 0;
    // The failure ended the file: its later pieces are not read.
    bool endsFile = false;
};

// A worker's own parser and buffers, reused from unit to unit.
struct Worker {
    vcard::Card card;
    vcard::ContactReader resolver;
    // The text of the contacts of the part being filled, shared by them.
    QString texts;
    qsizetype lastTextsSize = 0;
};

// Hands the part over with its contacts' shared text; false once the walk
// has gone.
template <class Publisher> bool handOver(Part &part, Worker &worker, Publisher &publisher)
{
    worker.lastTextsSize = std::max(worker.lastTextsSize, worker.texts.size());
    for (Contact &contact : part.contacts)
        contact.texts = worker.texts;
    worker.texts = QString();
    worker.texts.reserve(worker.lastTextsSize + worker.lastTextsSize / 8);
    const size_t weight = part.contacts.size() + (part.failure ? 1 : 0);
    return publisher.publish(std::exchange(part, Part {.file = part.file, .book = part.book}), weight);
}

Failure unreadableFile(const std::string &path, const QString &failure)
{
    return Failure(
        QStringLiteral("The contact file \"%1\" could not be read: %2").arg(QFile::decodeName(path.c_str()), failure));
}

// A large file is read and cut in pieces of about this size.
constexpr size_t kPieceBytes = 512 * 1024;
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
    if (m_checked || (m_pending.size() < kPieceBytes && !atEnd))
        return true;
    m_checked = true;
    if (isBlank(m_pending) || holdsVCard(std::string_view(m_pending).substr(0, kPieceBytes)))
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
                const size_t keep = m_pending.rfind('\n', kPieceBytes);
                m_pending.resize(keep == std::string::npos ? kPieceBytes : keep + 1);
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
        if (got < 0) {
            const int error = errno;
            pending.resize(filled);
            if (error == EINTR)
                continue;
            cutter.fail(systemMessage(error));
            return;
        }
        pending.resize(filled + static_cast<size_t>(got));
        if (!cutter.take(static_cast<size_t>(got)))
            return;
    }
}

// The cards of the book, read and parsed by a few threads ahead of the walk.
// A folder's files go to the workers a few dozen at a time and each is read
// whole; a single file is read by the thread that cuts the work, a block at
// a time, and cut into pieces of whole cards that the workers parse side by
// side. Contacts and failures reach the walk in the book's order; a file
// that cannot be read is reported at its own place, and the walk goes on
// with the next file.
class VCardFiles : public ContactSource {
public:
    VCardFiles(QByteArray path, std::vector<QByteArray> folders)
        : m_path(std::move(path))
        , m_folders(std::move(folders))
    {
    }

    ~VCardFiles() override
    {
        {
            const std::lock_guard lock(m_bytesMutex);
            m_stopping = true;
        }
        m_bytesRoom.notify_all();
        if (m_work)
            m_work->cancel();
        if (m_cutter.joinable())
            m_cutter.join();
        m_work.reset();
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

    bool next(Contact &contact) override
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
            std::optional<Part> part = m_work->take();
            if (!part)
                return false;
            if (m_failedFile == part->file)
                continue;
            m_current = std::move(*part);
            m_taken = 0;
        }
    }

    [[nodiscard]] size_t subBook() const override { return m_current.book; }

private:
    // Contacts in one part, and how many may wait for the walk, whatever the
    // size of the book: enough that a book started while the window waits
    // for the click (see the contact store) has a good part read by then:
    // about 35 MB, and never twice that.
    static constexpr size_t kPartContacts = 512;
    static constexpr size_t kContactsAhead = 32768;
    // Jobs cut and not yet taken: enough for the contacts above, so that a
    // book read ahead while the window waits gets that far.
    static constexpr size_t kJobsAhead = 48;
    // Bytes of a large file cut and not yet parsed: the pieces of those jobs
    // and a few more.
    static constexpr size_t kBytesAhead = 32 * 1024 * 1024;
    // Files of a folder handed to a worker at once.
    static constexpr size_t kFilesPerJob = 64;

    using Work = OrderedWork<Job, Part>;

    // One worker more than there are cores: the walk does not keep a core
    // busy all the time, and a worker waiting for the file system leaves
    // one free. Measured on two cores: three workers list 100,000 contacts
    // a tenth faster than two.
    static size_t workerCount()
    {
        const unsigned cores = std::thread::hardware_concurrency();
        return std::clamp<size_t>(cores + 1, 2, 5);
    }

    // Starts the reading threads once; ahead: the source is started before its walk, and the files of a
    // folder read before the walk are remembered, for readStillCurrent().
    void begin(bool ahead)
    {
        if (m_work)
            return;
        m_walkBegun = !ahead;
        m_workers = std::vector<Worker>(workerCount());
        m_work = std::make_unique<Work>(m_workers.size(), kJobsAhead, kContactsAhead,
            [this](Job &job, size_t worker, Work::Publisher &publisher) { doJob(job, m_workers[worker], publisher); });
        m_cutter = std::thread([this] { cut(); });
    }

    // The thread that lists the book and cuts it into jobs.
    void cut()
    {
        const std::string path = m_path.toStdString();
        struct stat info { };
        if (!m_folders.empty()) {
            cutFolders();
        } else if (::stat(path.c_str(), &info) != 0) {
            Job job;
            job.push_back({.failure = std::make_exception_ptr(unreadableBook(path, errno))});
            m_work->submit(std::move(job));
        } else if (!S_ISDIR(info.st_mode)) {
            cutFile(path);
        } else {
            m_folders.push_back(m_path);
            cutFolders();
        }
        m_work->close();
    }

    // The files of the folders, a sub-book each, in order, handed to the
    // workers a few dozen at a time, whichever folders they are in. A
    // folder that cannot be listed is reported at its place.
    void cutFolders()
    {
        Job job;
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
            if (error != 0)
                job.push_back(
                    {.file = file++, .book = book, .failure = std::make_exception_ptr(unreadableBook(path, error))});
            for (std::string &name : names)
                job.push_back({.file = file++, .book = book, .folder = folder, .path = std::move(name)});
            if (job.size() >= kFilesPerJob && !m_work->submit(std::exchange(job, Job())))
                return;
        }
        if (!job.empty())
            m_work->submit(std::move(job));
    }

    // Hands a piece of the file on once the pieces not yet parsed leave room
    // for it, so that a file of few and large cards is not held whole.
    bool submitPiece(std::string bytes, std::exception_ptr failure = nullptr)
    {
        {
            std::unique_lock lock(m_bytesMutex);
            m_bytesRoom.wait(
                lock, [&] { return m_stopping || m_bytesQueued == 0 || m_bytesQueued + bytes.size() <= kBytesAhead; });
            if (m_stopping)
                return false;
            m_bytesQueued += bytes.size();
        }
        Job job;
        job.push_back({.bytes = std::move(bytes), .failure = std::move(failure)});
        return m_work->submit(std::move(job));
    }

    void releaseBytes(size_t size)
    {
        if (size == 0)
            return;
        {
            const std::lock_guard lock(m_bytesMutex);
            m_bytesQueued -= size;
        }
        m_bytesRoom.notify_all();
    }

    // A folder listed, or a file of it opened, before the walk, as it was
    // then; a file that could not be opened counts as changed. Its status
    // is taken as it is opened: whatever is read from it later was written
    // before that, or moved its times.
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

    void cutFile(const std::string &path);
    bool readFolderFile(const Unit &unit, Worker &worker, Part &part, Work::Publisher &publisher);
    void doJob(Job &job, Worker &worker, Work::Publisher &publisher);
    bool parse(std::string_view data, Worker &worker, Part &part, Work::Publisher &publisher);

    const QByteArray m_path;
    // The folders of a folder book and its sub-books, once the cutter knows.
    std::vector<QByteArray> m_folders;
    std::vector<Worker> m_workers;
    // The files read before the walk, and reads under way then.
    std::mutex m_readMutex;
    std::condition_variable m_readsEnded;
    bool m_walkBegun = true;
    size_t m_readsUnderWay = 0;
    std::vector<ReadFile> m_readBefore;
    std::unique_ptr<Work> m_work;
    std::thread m_cutter;
    std::mutex m_bytesMutex;
    std::condition_variable m_bytesRoom;
    size_t m_bytesQueued = 0;
    bool m_stopping = false;

    // The walk's own: the part it is taking contacts from.
    Part m_current;
    size_t m_taken = 0;
    size_t m_failedFile = std::numeric_limits<size_t>::max();
};

// Reads the file a block at a time and hands it on in pieces of whole cards.
void VCardFiles::cutFile(const std::string &path)
{
    struct stat info { };
    QString failure;
    const int fd = openRegularFile(path.c_str(), info, failure);
    if (fd < 0) {
        submitPiece({}, std::make_exception_ptr(unreadableFile(path, failure)));
        return;
    }
    CardCutter cutter(path, [this](std::string piece, std::exception_ptr ending) {
        return submitPiece(std::move(piece), std::move(ending));
    });
    cutOpenFile(fd, cutter);
    ::close(fd);
}

// A file of a folder book, read and parsed by the worker: a small one in one
// read, a large one a block at a time. False once the walk has gone.
bool VCardFiles::readFolderFile(const Unit &unit, Worker &worker, Part &part, Work::Publisher &publisher)
{
    const std::string path = unit.folder->prefix + unit.path;
    struct stat info { };
    QString failure;
    const bool remembered = readBegins();
    const int fd = openRegularFileAt(unit.folder->fd(), unit.path.c_str(), info, failure);
    if (remembered)
        readEnded(path, info, fd >= 0);
    if (fd < 0) {
        part.failure = std::make_exception_ptr(unreadableFile(path, failure));
        part.endsFile = true;
        return handOver(part, worker, publisher);
    }
    bool gone = false;
    CardCutter cutter(path, [&](std::string piece, std::exception_ptr ending) {
        if (!piece.empty() && !parse(piece, worker, part, publisher)) {
            gone = true;
            return false;
        }
        if (ending && !part.failure) {
            part.failure = std::move(ending);
            part.endsFile = true;
        }
        if (!part.failure)
            return true;
        gone = !handOver(part, worker, publisher);
        return false;
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
    return !gone;
}

void VCardFiles::doJob(Job &job, Worker &worker, Work::Publisher &publisher)
{
    Part part;
    for (Unit &unit : job) {
        // A part holds the contacts of one sub-book.
        if (unit.book != part.book && !part.contacts.empty() && !handOver(part, worker, publisher))
            return;
        part.file = unit.file;
        part.book = unit.book;
        if (!unit.path.empty()) {
            const bool taken = readFolderFile(unit, worker, part, publisher);
            unit.folder.reset();
            if (!taken)
                return;
            continue;
        }
        const bool taken = unit.bytes.empty() || parse(unit.bytes, worker, part, publisher);
        releaseBytes(unit.bytes.size());
        if (!taken)
            return;
        if (unit.failure && !part.failure) {
            part.failure = std::move(unit.failure);
            part.endsFile = true;
        }
        if (part.failure && !handOver(part, worker, publisher))
            return;
    }
    if (!part.contacts.empty())
        handOver(part, worker, publisher);
}

// Parses the cards of data into the part, handing it over every few hundred
// contacts; false once the walk has gone.
bool VCardFiles::parse(std::string_view data, Worker &worker, Part &part, Work::Publisher &publisher)
{
    try {
        vcard::Reader reader(data);
        while (reader.next(worker.card)) {
            if (part.contacts.size() == kPartContacts && !handOver(part, worker, publisher))
                return false;
            if (part.contacts.empty())
                part.contacts.reserve(kPartContacts);
            part.contacts.push_back(worker.resolver.read(worker.card, worker.texts));
        }
    } catch (...) {
        part.failure = std::current_exception();
        part.endsFile = true;
    }
    return true;
}

} // namespace

std::unique_ptr<ContactSource> openVCardSource(const QByteArray &path, std::vector<QByteArray> folders)
{
    return std::make_unique<VCardFiles>(path, std::move(folders));
}

} // namespace quarrelby
