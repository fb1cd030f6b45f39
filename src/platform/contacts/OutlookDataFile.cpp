#include "platform/contacts/OutlookDataFile.h"

#include "format/outlook/OutlookCard.h"
#include "format/outlook/OutlookItem.h"
#include "platform/Failure.h"
#include "platform/contacts/RegularFile.h"

#include <QFile>

#include <libpff.h>

#include <algorithm>
#include <cstring>
#include <optional>
#include <unistd.h>
#include <utility>
#include <vector>

namespace quarrelby {

namespace {

using outlook::PropertyKey;

constexpr std::uint32_t kTypeString8 = 0x001E;
constexpr std::uint32_t kTypeUnicode = 0x001F;
constexpr std::uint32_t kTypeFiletime = 0x0040;

// {00062004-0000-0000-C000-000000000046} as stored.
constexpr std::uint8_t kPsetidAddress[16]
    = {0x04, 0x20, 0x06, 0x00, 0x00, 0x00, 0x00, 0x00, 0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};

// Owns a libpff error and turns it into a short reason: the innermost
// message of its backtrace, without the function name.
class PffError {
public:
    PffError() = default;
    ~PffError() { clear(); }
    PffError(const PffError &) = delete;
    PffError &operator=(const PffError &) = delete;

    [[nodiscard]] libpff_error_t **out() { return &m_error; }
    void clear()
    {
        if (m_error != nullptr)
            libpff_error_free(&m_error);
    }
    [[nodiscard]] QString reason() const
    {
        if (m_error == nullptr)
            return QStringLiteral("unknown error");
        char buffer[2048] = {};
        libpff_error_backtrace_sprint(m_error, buffer, sizeof buffer);
        QString line = QString::fromUtf8(buffer).section(QLatin1Char('\n'), 0, 0).trimmed();
        const qsizetype colon = line.indexOf(QLatin1String(": "));
        if (colon >= 0 && !line.left(colon).contains(QLatin1Char(' ')))
            line = line.mid(colon + 2);
        while (line.endsWith(QLatin1Char('.')))
            line.chop(1);
        return line.isEmpty() ? QStringLiteral("unknown error") : line;
    }

private:
    libpff_error_t *m_error = nullptr;
};

struct ItemDeleter {
    void operator()(libpff_item_t *item) const { libpff_item_free(&item, nullptr); }
};
using ItemPtr = std::unique_ptr<libpff_item_t, ItemDeleter>;

// Named properties of the PSETID_Address set by their LID, other named
// properties not at all. The map from an entry's local id to its name is the
// same for every item of a file, so each id is resolved once.
class NamedProperties {
public:
    NamedProperties()
        : m_keys(0x8000, kUnresolved)
    {
    }

    std::optional<PropertyKey> key(libpff_record_entry_t *entry, std::uint32_t entryType)
    {
        if (entryType < 0x8000)
            return static_cast<PropertyKey>(entryType);
        if (entryType > 0xFFFF)
            return std::nullopt;
        std::uint32_t &known = m_keys[entryType - 0x8000];
        if (known == kUnresolved)
            known = resolve(entry);
        if (known == kNone)
            return std::nullopt;
        return static_cast<PropertyKey>(known);
    }

private:
    static constexpr std::uint32_t kUnresolved = 0xFFFFFFFF;
    static constexpr std::uint32_t kNone = 0;

    static std::uint32_t resolve(libpff_record_entry_t *entry)
    {
        PffError error;
        libpff_name_to_id_map_entry_t *name = nullptr;
        if (libpff_record_entry_get_name_to_id_map_entry(entry, &name, error.out()) != 1 || name == nullptr)
            return kNone;
        std::uint8_t type = 0;
        std::uint8_t guid[16] = {};
        std::uint32_t number = 0;
        if (libpff_name_to_id_map_entry_get_type(name, &type, error.out()) != 1
            || type != LIBPFF_NAME_TO_ID_MAP_ENTRY_TYPE_NUMERIC
            || libpff_name_to_id_map_entry_get_guid(name, guid, sizeof guid, error.out()) != 1
            || std::memcmp(guid, kPsetidAddress, sizeof guid) != 0
            || libpff_name_to_id_map_entry_get_number(name, &number, error.out()) != 1)
            return kNone;
        return number >= 0x8000 && number <= 0xFFFF ? number : kNone;
    }

    std::vector<std::uint32_t> m_keys;
};

// The properties of one message, gathered in one pass over its record set.
// A property that is there but cannot be read is remembered, so that the
// item can be reported after what could be read has been listed.
class MessageProperties : public outlook::PropertyBag {
public:
    MessageProperties(libpff_item_t *message, NamedProperties &names);
    ~MessageProperties() override
    {
        for (auto &[key, entry] : m_entries)
            libpff_record_entry_free(&entry, nullptr);
    }
    MessageProperties(const MessageProperties &) = delete;
    MessageProperties &operator=(const MessageProperties &) = delete;

    bool text(PropertyKey key, std::string &out) override;
    bool filetime(PropertyKey key, std::uint64_t &out) override;
    bool rtfBody(std::string &out) override;

    [[nodiscard]] const QString &damage() const { return m_damage; }
    [[nodiscard]] bool has(PropertyKey key) const
    {
        return std::any_of(m_entries.begin(), m_entries.end(), [key](const auto &entry) { return entry.first == key; });
    }

private:
    libpff_record_entry_t *find(PropertyKey key, std::uint32_t &valueType);
    void damaged(PropertyKey key, const PffError &error);

    libpff_item_t *m_message;
    std::vector<std::pair<PropertyKey, libpff_record_entry_t *>> m_entries;
    QString m_damage;
};

MessageProperties::MessageProperties(libpff_item_t *message, NamedProperties &names)
    : m_message(message)
{
    PffError error;
    libpff_record_set_t *set = nullptr;
    int count = 0;
    if (libpff_item_get_record_set_by_index(message, 0, &set, error.out()) != 1
        || libpff_record_set_get_number_of_entries(set, &count, error.out()) != 1) {
        if (set != nullptr)
            libpff_record_set_free(&set, nullptr);
        m_damage = error.reason();
        return;
    }
    m_entries.reserve(static_cast<size_t>(std::max(count, 0)));
    for (int i = 0; i < count; ++i) {
        libpff_record_entry_t *entry = nullptr;
        std::uint32_t entryType = 0;
        if (libpff_record_set_get_entry_by_index(set, i, &entry, error.out()) != 1
            || libpff_record_entry_get_entry_type(entry, &entryType, error.out()) != 1) {
            if (m_damage.isEmpty())
                m_damage = error.reason();
            error.clear();
        } else if (const auto key = names.key(entry, entryType)) {
            m_entries.emplace_back(*key, entry);
            continue;
        }
        if (entry != nullptr)
            libpff_record_entry_free(&entry, nullptr);
    }
    libpff_record_set_free(&set, nullptr);
}

libpff_record_entry_t *MessageProperties::find(PropertyKey key, std::uint32_t &valueType)
{
    for (auto &[k, entry] : m_entries) {
        if (k == key && libpff_record_entry_get_value_type(entry, &valueType, nullptr) == 1)
            return entry;
    }
    return nullptr;
}

void MessageProperties::damaged(PropertyKey key, const PffError &error)
{
    if (m_damage.isEmpty())
        m_damage = QStringLiteral("property %1: %2").arg(key, 4, 16, QLatin1Char('0')).arg(error.reason());
}

bool MessageProperties::text(PropertyKey key, std::string &out)
{
    out.clear();
    std::uint32_t valueType = 0;
    libpff_record_entry_t *entry = find(key, valueType);
    if (entry == nullptr || (valueType != kTypeUnicode && valueType != kTypeString8))
        return false;
    PffError error;
    size_t dataSize = 0;
    if (libpff_record_entry_get_data_size(entry, &dataSize, error.out()) != 1) {
        damaged(key, error);
        return false;
    }
    if (dataSize == 0)
        return true; // libpff refuses to convert an empty string
    size_t size = 0;
    if (libpff_record_entry_get_data_as_utf8_string_size(entry, &size, error.out()) != 1) {
        damaged(key, error);
        return false;
    }
    out.resize(size);
    if (size > 0
        && libpff_record_entry_get_data_as_utf8_string(
               entry, reinterpret_cast<std::uint8_t *>(out.data()), size, error.out())
            != 1) {
        damaged(key, error);
        out.clear();
        return false;
    }
    out.resize(std::strlen(out.c_str())); // the terminating NUL, and anything after one
    return true;
}

bool MessageProperties::filetime(PropertyKey key, std::uint64_t &out)
{
    std::uint32_t valueType = 0;
    libpff_record_entry_t *entry = find(key, valueType);
    if (entry == nullptr || valueType != kTypeFiletime)
        return false;
    PffError error;
    if (libpff_record_entry_get_data_as_filetime(entry, &out, error.out()) != 1) {
        damaged(key, error);
        return false;
    }
    return true;
}

bool MessageProperties::rtfBody(std::string &out)
{
    out.clear();
    PffError error;
    size_t size = 0;
    const int found = libpff_message_get_rtf_body_size(m_message, &size, error.out());
    if (found == 0)
        return false;
    if (found == 1)
        out.resize(size);
    if (found != 1
        || (size > 0
            && libpff_message_get_rtf_body(m_message, reinterpret_cast<std::uint8_t *>(out.data()), size, error.out())
                != 1)) {
        damaged(outlook::tag::RtfCompressed, error);
        out.clear();
        return false;
    }
    out.resize(std::strlen(out.c_str()));
    return true;
}

class OutlookDataFile : public BookReader {
public:
    explicit OutlookDataFile(QByteArray path)
        : m_path(std::move(path))
    {
    }
    ~OutlookDataFile() override
    {
        m_folders.clear();
        if (m_file != nullptr) {
            libpff_file_close(m_file, nullptr);
            libpff_file_free(&m_file, nullptr);
        }
    }
    OutlookDataFile(const OutlookDataFile &) = delete;
    OutlookDataFile &operator=(const OutlookDataFile &) = delete;

    std::uint64_t size() override
    {
        const FileStatus status = FileStatus::of(m_path);
        return status.exists && S_ISREG(status.info.st_mode) ? static_cast<std::uint64_t>(status.info.st_size) : 0;
    }

    void read(BookSink &sink) override
    {
        open();
        Contact contact;
        std::string card;
        std::string *const whole = sink.wholeContacts() ? &card : nullptr;
        while (true) {
            try {
                if (!next(contact, whole))
                    return;
            } catch (const Failure &failure) {
                if (!sink.failure(failure))
                    return;
                continue;
            }
            if (!sink.contact(std::exchange(contact, Contact()), card))
                return;
        }
    }

private:
    struct Folder {
        ItemPtr item;
        int messages = -1; // not counted yet
        int nextMessage = 0;
        int subfolders = -1;
        int nextFolder = 0;
    };

    void open();
    // The next contact; false after the last. Throws Failure for an item
    // that cannot be read, after which it goes on with the next. card, when
    // given, receives the contact whole, as vCard text.
    bool next(Contact &contact, std::string *card);
    bool readMessage(Folder &folder, Contact &contact, std::string *card);
    void enterSubfolder(Folder &folder);
    [[nodiscard]] Failure itemError(const QString &reason) const
    {
        return Failure(QStringLiteral("An item in the Outlook data file \"%1\" cannot be read: %2.")
                           .arg(QFile::decodeName(m_path), reason));
    }

    QByteArray m_path;
    libpff_file_t *m_file = nullptr;
    std::vector<Folder> m_folders;
    NamedProperties m_names;
    outlook::ContactMapper m_mapper;
    QString m_deferred; // the damage of the item listed last, told at the next call
};

void OutlookDataFile::open()
{
    // The system's reason first: a missing or unreadable file says so
    // better than libpff does, and a pipe or a device is never handed to it.
    struct stat info { };
    QString failure;
    const int fd = openRegularFile(m_path.constData(), info, failure);
    if (fd < 0) {
        throw Failure(
            QStringLiteral("The Outlook data file \"%1\" cannot be read: %2.").arg(QFile::decodeName(m_path), failure));
    }
    ::close(fd);
    PffError error;
    libpff_item_t *root = nullptr;
    if (libpff_file_initialize(&m_file, error.out()) != 1
        || libpff_file_open(m_file, m_path.constData(), LIBPFF_OPEN_READ, error.out()) != 1
        || libpff_file_get_root_folder(m_file, &root, error.out()) != 1) {
        throw Failure(QStringLiteral(
            "The Outlook data file \"%1\" cannot be read: it is damaged or not an Outlook data file (%2).")
                          .arg(QFile::decodeName(m_path), error.reason()));
    }
    m_folders.push_back(Folder {ItemPtr(root)});
}

bool OutlookDataFile::next(Contact &contact, std::string *card)
{
    if (!m_deferred.isEmpty())
        throw itemError(std::exchange(m_deferred, QString()));
    while (!m_folders.empty()) {
        Folder &folder = m_folders.back();
        if (folder.messages < 0) {
            folder.messages = 0;
            PffError error;
            if (libpff_folder_get_number_of_sub_messages(folder.item.get(), &folder.messages, error.out()) != 1) {
                folder.messages = 0;
                throw itemError(error.reason());
            }
        }
        if (folder.nextMessage < folder.messages) {
            if (readMessage(folder, contact, card))
                return true;
            continue;
        }
        if (folder.subfolders < 0) {
            folder.subfolders = 0;
            PffError error;
            if (libpff_folder_get_number_of_sub_folders(folder.item.get(), &folder.subfolders, error.out()) != 1) {
                folder.subfolders = 0;
                throw itemError(error.reason());
            }
        }
        if (folder.nextFolder < folder.subfolders)
            enterSubfolder(folder); // may add to m_folders: folder is not used after it
        else
            m_folders.pop_back();
    }
    return false;
}

bool OutlookDataFile::readMessage(Folder &folder, Contact &contact, std::string *card)
{
    PffError error;
    libpff_item_t *raw = nullptr;
    if (libpff_folder_get_sub_message(folder.item.get(), folder.nextMessage++, &raw, error.out()) != 1)
        throw itemError(error.reason());
    const ItemPtr message(raw);
    MessageProperties properties(message.get(), m_names);
    const bool listed = m_mapper.read(properties, contact);
    // The whole contact is everything the item's properties answer: what the
    // table shows, and what only a lossless output asks for (the bag's
    // textList, binaries, categories and photo).
    if (listed && card != nullptr)
        *card = outlook::itemVCard(properties);
    if (!properties.damage().isEmpty()) {
        // Damage in an item that is no contact does not matter, unless it
        // hides what the item is.
        if (listed)
            m_deferred = properties.damage();
        else if (!properties.has(outlook::tag::MessageClass))
            throw itemError(properties.damage());
    }
    return listed;
}

void OutlookDataFile::enterSubfolder(Folder &folder)
{
    PffError error;
    libpff_item_t *raw = nullptr;
    if (libpff_folder_get_sub_folder(folder.item.get(), folder.nextFolder++, &raw, error.out()) != 1)
        throw itemError(error.reason());
    m_folders.push_back(Folder {ItemPtr(raw)});
}

} // namespace

bool isOutlookDataFile(const QByteArray &firstBytes)
{
    return firstBytes.startsWith("!BDN");
}

std::unique_ptr<BookReader> outlookDataFile(QByteArray path)
{
    return std::make_unique<OutlookDataFile>(std::move(path));
}

} // namespace quarrelby
