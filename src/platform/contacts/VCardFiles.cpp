#include "platform/contacts/VCardFiles.h"

#include "format/vcard/VCardContact.h"
#include "format/vcard/VCardReader.h"
#include "format/vcard/VCardText.h"
#include "platform/AutomationError.h"
#include "platform/BoundedQueue.h"
#include "platform/contacts/RegularFile.h"

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <exception>
#include <fcntl.h>
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

// The cards of the book, resolved on a thread of its own some batches ahead
// of the walk: listing the folder, reading the files and parsing the cards
// overlap with whatever the walk does with each contact. A file that cannot
// be read travels with the batch in which it was reached, after the contacts
// before it, so that it is reported at its place in the walk.
class VCardFiles : public ContactSource {
public:
    explicit VCardFiles(QByteArray path)
        : m_path(std::move(path))
    {
    }

    ~VCardFiles() override
    {
        m_queue.cancel();
        if (m_thread.joinable())
            m_thread.join();
    }

    VCardFiles(const VCardFiles &) = delete;
    VCardFiles &operator=(const VCardFiles &) = delete;

    bool next(Contact &contact) override
    {
        if (!m_thread.joinable())
            m_thread = std::thread([this] { readAhead(); });
        while (true) {
            if (m_taken < m_current.contacts.size()) {
                contact = std::move(m_current.contacts[m_taken++]);
                return true;
            }
            if (m_current.failure)
                std::rethrow_exception(std::exchange(m_current.failure, nullptr));
            std::optional<Batch> batch = m_queue.pop();
            if (!batch)
                return false;
            m_current = std::move(*batch);
            m_taken = 0;
        }
    }

private:
    static constexpr size_t kBatch = 256;
    static constexpr size_t kQueuedBatches = 8;

    struct Batch {
        std::vector<Contact> contacts;
        // What stopped the reading after the contacts above.
        std::exception_ptr failure;
    };

    // Hands the batch over, with the failure that ended it if any; false
    // once the walk has gone.
    bool handOver(Batch &batch, std::exception_ptr failure = nullptr)
    {
        batch.failure = std::move(failure);
        const bool taken = m_queue.push(std::move(batch));
        batch = Batch();
        batch.contacts.reserve(kBatch);
        return taken;
    }

    // Reads one file's cards into the batches; false once the walk has gone.
    bool readFile(const std::string &path, Batch &batch)
    {
        if (const QString failure = readWholeFile(path, m_data); !failure.isEmpty()) {
            return handOver(batch,
                std::make_exception_ptr(AutomationError(QStringLiteral("The contact file \"%1\" could not be read: %2")
                                                            .arg(QFile::decodeName(path.c_str()), failure))));
        }
        const QByteArray converted = vcard::utf8FromUtf16(m_data);
        if (!converted.isEmpty())
            m_data.assign(converted.constData(), static_cast<size_t>(converted.size()));
        try {
            vcard::Reader reader(m_data);
            while (reader.next(m_card)) {
                batch.contacts.push_back(m_resolver.read(m_card));
                if (batch.contacts.size() == kBatch && !handOver(batch))
                    return false;
            }
        } catch (...) {
            return handOver(batch, std::current_exception());
        }
        return true;
    }

    void readAhead()
    {
        Batch batch;
        batch.contacts.reserve(kBatch);
        std::vector<std::string> files;
        try {
            files = listFiles(m_path);
        } catch (...) {
            handOver(batch, std::current_exception());
        }
        for (const std::string &file : files) {
            if (m_queue.cancelled() || !readFile(file, batch))
                return;
        }
        if (!batch.contacts.empty())
            handOver(batch);
        m_queue.close();
    }

    const QByteArray m_path;

    // The reading thread's own.
    std::string m_data;
    vcard::Card m_card;
    vcard::ContactReader m_resolver;

    BoundedQueue<Batch> m_queue {kQueuedBatches};
    // The walk's own: the batch it is taking contacts from.
    Batch m_current;
    size_t m_taken = 0;

    // Last: the thread uses everything above.
    std::thread m_thread;
};

} // namespace

std::unique_ptr<ContactSource> openVCardSource(const QByteArray &path)
{
    return std::make_unique<VCardFiles>(path);
}

} // namespace quarrelby
