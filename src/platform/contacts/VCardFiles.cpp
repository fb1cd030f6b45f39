#include "platform/contacts/VCardFiles.h"

#include "format/vcard/VCardContact.h"
#include "format/vcard/VCardReader.h"
#include "format/vcard/VCardText.h"
#include "platform/AutomationError.h"
#include "platform/OrderedWork.h"
#include "platform/contacts/RegularFile.h"

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <dirent.h>
#include <exception>
#include <fcntl.h>
#include <limits>
#include <mutex>
#include <optional>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <utility>
#include <vector>

namespace quarrelby {

namespace {

QString systemError(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

bool isVCardName(std::string_view name)
{
    auto endsWith = [&](std::string_view suffix) {
        return name.size() > suffix.size() && vcard::equalsIgnoreCase(name.substr(name.size() - suffix.size()), suffix);
    };
    return endsWith(".vcf") || endsWith(".vcard");
}

// The whole file in one read: a folder of 100,000 small cards would spend
// more time in buffered streams than in parsing. path is relative to the
// open folder directory. Returns why it could not be read, empty when it
// was, with the status of what was opened in info; only a regular file is
// read.
QString readWholeFile(int directory, const char *path, std::string &out, struct stat &info)
{
    QString failure;
    const int fd = openRegularFileAt(directory, path, info, failure);
    if (fd < 0)
        return failure;
    // One byte more than the file holds: once all of it has come, a read
    // that comes back short has met the end, without a second read to find
    // it. (A short read before that, as some network file systems give, is
    // no end.)
    const size_t size = info.st_size > 0 ? static_cast<size_t>(info.st_size) : 0;
    out.resize(size > 0 ? size + 1 : 4096);
    size_t filled = 0;
    while (true) {
        if (filled == out.size())
            out.resize(out.size() + out.size() / 2 + 4096);
        const size_t wanted = out.size() - filled;
        const ssize_t got = ::read(fd, out.data() + filled, wanted);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            const int error = errno;
            ::close(fd);
            return systemError(error);
        }
        filled += static_cast<size_t>(got);
        if (got == 0 || (static_cast<size_t>(got) < wanted && filled >= size))
            break;
    }
    ::close(fd);
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

// The card files of the open folder directory, in name order.
std::vector<std::string> listFolder(int directory)
{
    const int listing = ::dup(directory);
    DIR *dir = listing < 0 ? nullptr : ::fdopendir(listing);
    if (!dir) {
        const int error = errno;
        if (listing >= 0)
            ::close(listing);
        throw error;
    }
    std::vector<std::string> names;
    while (const dirent *entry = ::readdir(dir)) {
        if (entry->d_type != DT_DIR && isVCardName(entry->d_name))
            names.emplace_back(entry->d_name);
    }
    ::closedir(dir);
    std::sort(names.begin(), names.end());
    return names;
}

// A piece of the book for one worker: whole files to read, or the bytes of
// whole cards cut from a large file.
struct Unit {
    // The book's file it comes from, counted from 0 in name order.
    size_t file = 0;
    // The file to read whole, in the book's folder, when it is not empty.
    std::string path;
    std::string bytes;
    // What stopped the reading of the file here.
    std::exception_ptr failure;
};

struct Job {
    std::vector<Unit> units;
};

// What a worker hands back: contacts in order, then the failure that came
// after them, if any.
struct Part {
    std::vector<Contact> contacts;
    std::exception_ptr failure;
    size_t file = 0;
    // The failure ended the file: its later pieces are not read.
    bool endsFile = false;
};

// A worker's own parser and buffers, reused from unit to unit.
struct Worker {
    std::string data;
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
    const size_t file = part.file;
    const bool taken = publisher.publish(std::exchange(part, Part()), weight);
    part.file = file;
    return taken;
}

AutomationError unreadableFile(const std::string &path, const QString &failure)
{
    return AutomationError(
        QStringLiteral("The contact file \"%1\" could not be read: %2").arg(QFile::decodeName(path.c_str()), failure));
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
    explicit VCardFiles(QByteArray path)
        : m_path(std::move(path))
    {
    }

    ~VCardFiles() override
    {
        if (m_work)
            m_work->cancel();
        if (m_cutter.joinable())
            m_cutter.join();
        m_work.reset();
        if (m_folder >= 0)
            ::close(m_folder);
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
        return std::all_of(read.begin(), read.end(), [this](const ReadFile &file) {
            struct stat now { };
            return file.read && ::fstatat(m_folder, file.name.c_str(), &now, 0) == 0 && sameFile(file.info, now);
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
    // A large file is read and cut in pieces of about this size.
    static constexpr size_t kPieceBytes = 512 * 1024;
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
        try {
            const std::string path = m_path.toStdString();
            struct stat info { };
            if (::stat(path.c_str(), &info) != 0)
                throw errno;
            if (!S_ISDIR(info.st_mode)) {
                cutFile(path);
            } else {
                m_folder = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
                if (m_folder < 0)
                    throw errno;
                m_prefix = path.ends_with('/') ? path : path + '/';
                cutFolder(listFolder(m_folder));
            }
        } catch (int error) {
            Job job;
            job.units.push_back({0, {}, {},
                std::make_exception_ptr(AutomationError(QStringLiteral("The address book \"%1\" cannot be read: %2")
                                                            .arg(QFile::decodeName(m_path), systemError(error))))});
            m_work->submit(std::move(job));
        }
        m_work->close();
    }

    void cutFolder(const std::vector<std::string> &files)
    {
        Job job;
        for (size_t i = 0; i < files.size(); ++i) {
            job.units.push_back({i, files[i], {}, {}});
            if (job.units.size() == kFilesPerJob && !m_work->submit(std::exchange(job, Job())))
                return;
        }
        if (!job.units.empty())
            m_work->submit(std::move(job));
    }

    bool submitPiece(std::string bytes, std::exception_ptr failure = nullptr)
    {
        Job job;
        job.units.push_back({0, {}, std::move(bytes), std::move(failure)});
        return m_work->submit(std::move(job));
    }

    // A file of a folder, as it was when it was read before the walk; one
    // that could not be read then counts as changed.
    struct ReadFile {
        std::string name;
        struct stat info;
        bool read;
    };
    // True when a read that begins now comes before the walk, and is to be
    // remembered by readEnded().
    bool readBegins()
    {
        const std::lock_guard lock(m_readMutex);
        if (m_walkBegun)
            return false;
        ++m_readsUnderWay;
        return true;
    }
    void readEnded(const std::string &name, const struct stat &info, bool read)
    {
        {
            const std::lock_guard lock(m_readMutex);
            m_readBefore.push_back({name, info, read});
            --m_readsUnderWay;
        }
        m_readsEnded.notify_all();
    }

    void cutFile(const std::string &path);
    void doJob(Job &job, Worker &worker, Work::Publisher &publisher);
    bool parse(std::string_view data, Worker &worker, Part &part, Work::Publisher &publisher);

    const QByteArray m_path;
    // A folder book: the folder, open, and its path with a final slash.
    int m_folder = -1;
    std::string m_prefix;
    std::vector<Worker> m_workers;
    // The files read before the walk, and reads under way then.
    std::mutex m_readMutex;
    std::condition_variable m_readsEnded;
    bool m_walkBegun = true;
    size_t m_readsUnderWay = 0;
    std::vector<ReadFile> m_readBefore;
    std::unique_ptr<Work> m_work;
    std::thread m_cutter;

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
    std::string pending;
    size_t searchFrom = kPieceBytes;
    bool atStart = true;
    while (true) {
        const size_t filled = pending.size();
        pending.resize(filled + kPieceBytes);
        const ssize_t got = ::read(fd, pending.data() + filled, kPieceBytes);
        if (got < 0 && errno == EINTR) {
            pending.resize(filled);
            continue;
        }
        if (got < 0) {
            const int error = errno;
            ::close(fd);
            pending.resize(filled);
            submitPiece(std::move(pending), std::make_exception_ptr(unreadableFile(path, systemError(error))));
            return;
        }
        pending.resize(filled + static_cast<size_t>(got));
        if (got == 0)
            break;
        if (atStart && pending.size() >= 2) {
            atStart = false;
            // Text in UTF-16 goes whole to one worker, which converts it.
            const auto first = static_cast<unsigned char>(pending[0]);
            if (first == 0xFF || first == 0xFE)
                searchFrom = std::string::npos;
        }
        while (searchFrom != std::string::npos && pending.size() > searchFrom) {
            const size_t cut = vcard::cardBoundary(pending, searchFrom);
            if (cut == std::string_view::npos) {
                // Look again from near the end once more has been read.
                searchFrom = std::max(searchFrom, pending.size() > 4096 ? pending.size() - 4096 : 0);
                break;
            }
            std::string rest = pending.substr(cut);
            pending.resize(cut);
            if (!submitPiece(std::exchange(pending, std::move(rest)))) {
                ::close(fd);
                return;
            }
            searchFrom = kPieceBytes;
        }
    }
    ::close(fd);
    submitPiece(std::move(pending));
}

void VCardFiles::doJob(Job &job, Worker &worker, Work::Publisher &publisher)
{
    Part part;
    for (Unit &unit : job.units) {
        part.file = unit.file;
        std::string_view data = unit.bytes;
        if (!unit.path.empty()) {
            const bool remembered = readBegins();
            struct stat info { };
            const QString failure = readWholeFile(m_folder, unit.path.c_str(), worker.data, info);
            if (remembered)
                readEnded(unit.path, info, failure.isEmpty());
            if (failure.isEmpty())
                data = worker.data;
            else
                unit.failure = std::make_exception_ptr(unreadableFile(m_prefix + unit.path, failure));
        }
        data = vcard::utf8Text(data, worker.data);
        if (!data.empty() && !parse(data, worker, part, publisher))
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

std::unique_ptr<ContactSource> openVCardSource(const QByteArray &path)
{
    return std::make_unique<VCardFiles>(path);
}

} // namespace quarrelby
