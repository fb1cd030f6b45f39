#include "platform/ContactStore.h"

#include "platform/VCardContact.h"
#include "platform/VCardReader.h"
#include "platform/VCardText.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <array>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <dirent.h>
#include <exception>
#include <fcntl.h>
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
// more time in buffered streams than in parsing.
int readWholeFile(const std::string &path, std::string &out)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return errno;
    struct stat info { };
    if (::fstat(fd, &info) != 0) {
        const int error = errno;
        ::close(fd);
        return error;
    }
    if (S_ISDIR(info.st_mode)) {
        ::close(fd);
        return EISDIR;
    }
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
            return error;
        }
        if (got == 0)
            break;
        filled += static_cast<size_t>(got);
    }
    ::close(fd);
    out.resize(filled);
    return 0;
}

class ContactItem : public OutlookItem {
public:
    explicit ContactItem(vcard::Contact contact)
        : m_contact(std::move(contact))
    {
    }

    bool isContactItem() override { return !m_contact.distributionList; }

    QVariant property(const QString &name) override
    {
        // The extraction asks for the properties in one fixed order, so the
        // one after the last is nearly always the one asked for.
        // A size test and a memcmp: QString's own comparisons go through
        // the general collation-free comparison, character by character.
        static const std::array<QString, vcard::kContactPropertyCount> names = [] {
            std::array<QString, vcard::kContactPropertyCount> all;
            for (int i = 0; i < vcard::kContactPropertyCount; ++i)
                all[static_cast<size_t>(i)] = vcard::contactPropertyName(i);
            return all;
        }();
        const auto expected = [&](const QString &candidate) {
            return name.size() == candidate.size()
                && std::memcmp(name.constData(), candidate.constData(), static_cast<size_t>(name.size()) * 2) == 0;
        };
        const int index = m_next < vcard::kContactPropertyCount && expected(names[static_cast<size_t>(m_next)])
            ? m_next
            : vcard::contactPropertyIndex(name);
        if (index < 0)
            throw AutomationError(QStringLiteral("The contact has no property named \"%1\".").arg(name));
        m_next = index + 1;
        return m_contact.value(index);
    }

private:
    vcard::Contact m_contact;
    int m_next = 0;
};

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
    bool next(vcard::Contact &contact)
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

    bool resolve(vcard::Contact &contact)
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
            std::vector<vcard::Contact> batch;
            std::exception_ptr failure;
            try {
                batch.reserve(kBatch);
                vcard::Contact contact;
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
    std::deque<std::vector<vcard::Contact>> m_ready;
    bool m_done = false;
    bool m_stop = false;
    std::exception_ptr m_failure;

    // The batch the walk is taking contacts from.
    std::vector<vcard::Contact> m_current;
    size_t m_taken = 0;

    std::thread m_thread;
};

class ContactItems : public OutlookItems {
public:
    explicit ContactItems(std::vector<std::string> files)
        : m_files(std::move(files))
    {
    }

    std::unique_ptr<OutlookItem> next() override
    {
        while (true) {
            vcard::Contact contact;
            if (m_file && m_file->next(contact))
                return std::make_unique<ContactItem>(std::move(contact));
            m_file.reset();
            if (m_nextFile >= m_files.size())
                return nullptr;
            const std::string &path = m_files[m_nextFile++];
            if (const int error = readWholeFile(path, m_data)) {
                throw AutomationError(QStringLiteral("The contact file \"%1\" could not be read: %2")
                                          .arg(QFile::decodeName(path.c_str()), systemError(error)));
            }
            const QByteArray converted = vcard::utf8FromUtf16(m_data);
            if (!converted.isEmpty())
                m_data.assign(converted.constData(), static_cast<size_t>(converted.size()));
            m_file = std::make_unique<FileContacts>(m_data, m_contacts);
        }
    }

private:
    std::vector<std::string> m_files;
    size_t m_nextFile = 0;
    std::string m_data;
    vcard::ContactReader m_contacts;
    // Declared last: it uses m_data and m_contacts until it is gone.
    std::unique_ptr<FileContacts> m_file;
};

class ContactsFolder : public OutlookFolder {
public:
    explicit ContactsFolder(QString location)
        : m_location(std::move(location))
    {
    }

    std::unique_ptr<OutlookItems> items() override
    {
        const std::string path = QFile::encodeName(m_location).toStdString();
        struct stat info { };
        if (::stat(path.c_str(), &info) != 0) {
            throw AutomationError(
                QStringLiteral("The address book \"%1\" cannot be read: %2").arg(m_location, systemError(errno)));
        }
        if (!S_ISDIR(info.st_mode))
            return std::make_unique<ContactItems>(std::vector<std::string> {path});

        DIR *dir = ::opendir(path.c_str());
        if (!dir) {
            throw AutomationError(
                QStringLiteral("The address book \"%1\" cannot be read: %2").arg(m_location, systemError(errno)));
        }
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
        return std::make_unique<ContactItems>(std::move(names));
    }

private:
    QString m_location;
};

class ContactsNamespace : public OutlookNamespace {
public:
    explicit ContactsNamespace(QString location)
        : m_location(std::move(location))
    {
    }

    std::unique_ptr<OutlookFolder> getDefaultFolder(int folderType) override
    {
        if (folderType != olFolderContacts)
            throw AutomationError(QStringLiteral("The address book has no folder of type %1.").arg(folderType));
        return std::make_unique<ContactsFolder>(m_location);
    }

private:
    QString m_location;
};

} // namespace

QString contactStoreLocation()
{
    const QString configured = qEnvironmentVariable("QUARRELBY_CONTACTS");
    if (!configured.isEmpty())
        return configured;
    QString dataHome = qEnvironmentVariable("XDG_DATA_HOME");
    // The base directory specification ignores a relative XDG_DATA_HOME.
    if (dataHome.isEmpty() || QDir::isRelativePath(dataHome))
        dataHome = QDir::homePath() + QLatin1String("/.local/share");
    return dataHome + QLatin1String("/contacts");
}

ContactStoreApplication::ContactStoreApplication(QString location)
    : m_location(std::move(location))
{
    const std::string path = QFile::encodeName(m_location).toStdString();
    struct stat info { };
    if (m_location.isEmpty() || ::stat(path.c_str(), &info) != 0) {
        throw AutomationError(QStringLiteral("The address book \"%1\" does not exist.").arg(m_location));
    }
    const bool readable
        = S_ISDIR(info.st_mode) ? ::access(path.c_str(), R_OK | X_OK) == 0 : ::access(path.c_str(), R_OK) == 0;
    if (!readable) {
        throw AutomationError(
            QStringLiteral("The address book \"%1\" cannot be read: %2").arg(m_location, systemError(errno)));
    }
}

std::unique_ptr<OutlookNamespace> ContactStoreApplication::getNamespace(const QString &type)
{
    if (m_quit)
        throw AutomationError(QStringLiteral("The address book has been closed."));
    if (type.compare(QLatin1String("MAPI"), Qt::CaseInsensitive) != 0)
        throw AutomationError(QStringLiteral("The address book has no namespace \"%1\".").arg(type));
    return std::make_unique<ContactsNamespace>(m_location);
}

void ContactStoreApplication::quit()
{
    m_quit = true;
}

void registerContactStore(AutomationFactory &automation)
{
    automation.registerClass(QStringLiteral("Outlook.Application"),
        [] { return std::make_unique<ContactStoreApplication>(contactStoreLocation()); });
}

} // namespace quarrelby
