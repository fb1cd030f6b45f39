#include "platform/contacts/VCardFiles.h"

#include "format/vcard/VCardContact.h"
#include "format/vcard/VCardReader.h"
#include "format/vcard/VCardText.h"
#include "platform/AutomationError.h"
#include "platform/contacts/RegularFile.h"

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <dirent.h>
#include <exception>
#include <fcntl.h>
#include <mutex>
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
// more time in buffered streams than in parsing. Returns why it could not be
// read, empty when it was; only a regular file is read.
QString readWholeFile(const std::string &path, std::string &out)
{
    struct stat info { };
    QString failure;
    const int fd = openRegularFile(path.c_str(), info, failure);
    if (fd < 0)
        return failure;
    out.resize(info.st_size > 0 ? static_cast<size_t>(info.st_size) : 0);
    size_t filled = 0;
    while (true) {
        if (filled == out.size())
            out.resize(out.size() + 4096);
        const ssize_t got = ::read(fd, out.data() + filled, out.size() - filled);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            const int error = errno;
            ::close(fd);
            return systemError(error);
        }
        if (got == 0)
            break;
        filled += static_cast<size_t>(got);
    }
    ::close(fd);
    out.resize(filled);
    return {};
}

// The files of the book in name order: the book itself when it is a file.
std::vector<std::string> listFiles(const QByteArray &location)
{
    const std::string path = location.toStdString();
    const auto cannotRead = [&](int error) {
        return AutomationError(QStringLiteral("The address book \"%1\" cannot be read: %2")
                                   .arg(QFile::decodeName(location), systemError(error)));
    };
    struct stat info { };
    if (::stat(path.c_str(), &info) != 0)
        throw cannotRead(errno);
    if (!S_ISDIR(info.st_mode))
        return {path};

    DIR *dir = ::opendir(path.c_str());
    if (!dir)
        throw cannotRead(errno);
    std::vector<std::string> names;
    while (const dirent *entry = ::readdir(dir)) {
        if (entry->d_type != DT_DIR && isVCardName(entry->d_name))
            names.emplace_back(entry->d_name);
    }
    ::closedir(dir);
    std::sort(names.begin(), names.end());
    const std::string prefix = path.ends_with('/') ? path : path + '/';
    for (std::string &name : names)
        name.insert(0, prefix);
    return names;
}

// The contacts of one file's text, in order. A large file is resolved on a
// thread of its own, some batches ahead of the walk, so that reading cards
// and filling the caller's table overlap; the file itself has been read
// whole before, so a failure to read it still shows at its place in the walk.
class FileContacts {
public:
    // data must stay as it is until the object is gone; `shared` resolves
    // the cards of a small file, and keeps its charset converters between
    // files.
    FileContacts(std::string_view data, vcard::ContactReader &shared)
        : m_reader(data)
        , m_resolver(&shared)
    {
        if (data.size() >= kThreadedSize) {
            m_own = std::make_unique<vcard::ContactReader>();
            m_resolver = m_own.get();
            m_thread = std::thread([this] { resolveAhead(); });
        }
    }

    ~FileContacts()
    {
        if (!m_thread.joinable())
            return;
        {
            const std::lock_guard lock(m_mutex);
            m_stop = true;
        }
        m_changed.notify_all();
        m_thread.join();
    }

    FileContacts(const FileContacts &) = delete;
    FileContacts &operator=(const FileContacts &) = delete;

    // The next contact; false after the last.
    bool next(Contact &contact)
    {
        if (!m_thread.joinable())
            return resolve(contact);
        if (m_taken == m_current.size()) {
            std::unique_lock lock(m_mutex);
            m_changed.wait(lock, [this] { return !m_ready.empty() || m_done; });
            if (m_ready.empty()) {
                if (m_failure)
                    std::rethrow_exception(std::exchange(m_failure, nullptr));
                return false;
            }
            m_current = std::move(m_ready.front());
            m_ready.pop_front();
            m_taken = 0;
            lock.unlock();
            m_changed.notify_all();
        }
        contact = std::move(m_current[m_taken++]);
        return true;
    }

private:
    static constexpr size_t kThreadedSize = 256 * 1024;
    static constexpr size_t kBatch = 256;
    static constexpr size_t kQueuedBatches = 8;

    bool resolve(Contact &contact)
    {
        if (!m_reader.next(m_card))
            return false;
        contact = m_resolver->read(m_card);
        return true;
    }

    void resolveAhead()
    {
        bool more = true;
        while (more) {
            std::vector<Contact> batch;
            std::exception_ptr failure;
            try {
                batch.reserve(kBatch);
                Contact contact;
                while (batch.size() < kBatch && (more = resolve(contact)))
                    batch.push_back(std::move(contact));
            } catch (...) {
                failure = std::current_exception();
                more = false;
            }
            std::unique_lock lock(m_mutex);
            m_changed.wait(lock, [this] { return m_stop || m_ready.size() < kQueuedBatches; });
            if (m_stop)
                return;
            if (!batch.empty())
                m_ready.push_back(std::move(batch));
            if (!more) {
                m_failure = failure;
                m_done = true;
            }
            lock.unlock();
            m_changed.notify_all();
        }
    }

    vcard::Reader m_reader;
    vcard::Card m_card;
    vcard::ContactReader *m_resolver;
    std::unique_ptr<vcard::ContactReader> m_own;

    // Shared with the thread that resolves ahead.
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<std::vector<Contact>> m_ready;
    bool m_done = false;
    bool m_stop = false;
    std::exception_ptr m_failure;

    // The batch the walk is taking contacts from.
    std::vector<Contact> m_current;
    size_t m_taken = 0;

    std::thread m_thread;
};

class VCardFiles : public ContactSource {
public:
    explicit VCardFiles(QByteArray path)
        : m_path(std::move(path))
    {
    }

    bool next(Contact &contact) override
    {
        if (!m_listed) {
            m_listed = true;
            m_files = listFiles(m_path);
        }
        while (true) {
            if (m_file && m_file->next(contact))
                return true;
            m_file.reset();
            if (m_nextFile >= m_files.size())
                return false;
            const std::string &path = m_files[m_nextFile++];
            if (const QString failure = readWholeFile(path, m_data); !failure.isEmpty()) {
                throw AutomationError(QStringLiteral("The contact file \"%1\" could not be read: %2")
                                          .arg(QFile::decodeName(path.c_str()), failure));
            }
            const QByteArray converted = vcard::utf8FromUtf16(m_data);
            if (!converted.isEmpty())
                m_data.assign(converted.constData(), static_cast<size_t>(converted.size()));
            m_file = std::make_unique<FileContacts>(m_data, m_contacts);
        }
    }

private:
    QByteArray m_path;
    bool m_listed = false;
    std::vector<std::string> m_files;
    size_t m_nextFile = 0;
    std::string m_data;
    vcard::ContactReader m_contacts;
    // Declared last: it uses m_data and m_contacts until it is gone.
    std::unique_ptr<FileContacts> m_file;
};

} // namespace

std::unique_ptr<ContactSource> openVCardSource(const QByteArray &path)
{
    return std::make_unique<VCardFiles>(path);
}

} // namespace quarrelby
