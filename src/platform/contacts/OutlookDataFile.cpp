#include "platform/contacts/OutlookDataFile.h"

#include "format/Utf8.h"
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
constexpr std::uint32_t kTypeBoolean = 0x000B;
constexpr std::uint32_t kTypeMultiString8 = 0x101E;
constexpr std::uint32_t kTypeMultiUnicode = 0x101F;
constexpr std::uint32_t kTypeMultiBinary = 0x1102;

constexpr PropertyKey kHasPicture = 0x8015; // PidLidHasPicture
// The categories have no key of their own; their damage is told under this.
constexpr PropertyKey kKeywordsKey = 0;
constexpr std::uint32_t kAttachmentContactPhoto = 0x7FFF; // PidTagAttachmentContactPhoto
// Outlook scales a contact's picture down to a few kilobytes; a larger
// attachment claimed by a damaged file is not read into memory.
constexpr std::uint64_t kMaxPhotoBytes = 16 * 1024 * 1024;

// {00062004-0000-0000-C000-000000000046} as stored.
constexpr std::uint8_t kPsetidAddress[16]
    = {0x04, 0x20, 0x06, 0x00, 0x00, 0x00, 0x00, 0x00, 0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};
// PS_PUBLIC_STRINGS, {00020329-0000-0000-C000-000000000046}, whose
// "Keywords" are an item's categories.
constexpr std::uint8_t kPsPublicStrings[16]
    = {0x29, 0x03, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00, 0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};

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

// Named properties of the PSETID_Address set by their LID, the categories
// apart, other named properties not at all. The map from an entry's local id
// to its name is the same for every item of a file, so each id is resolved
// once.
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
        if (known == kNone || known == kKeywords)
            return std::nullopt;
        return static_cast<PropertyKey>(known);
    }
    // After key() gave none for it: whether the entry holds the categories.
    [[nodiscard]] bool keywords(std::uint32_t entryType) const
    {
        return entryType >= 0x8000 && entryType <= 0xFFFF && m_keys[entryType - 0x8000] == kKeywords;
    }

private:
    static constexpr std::uint32_t kUnresolved = 0xFFFFFFFF;
    static constexpr std::uint32_t kNone = 0;
    static constexpr std::uint32_t kKeywords = 0x10000;

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
            || libpff_name_to_id_map_entry_get_guid(name, guid, sizeof guid, error.out()) != 1)
            return kNone;
        if (type == LIBPFF_NAME_TO_ID_MAP_ENTRY_TYPE_STRING)
            return std::memcmp(guid, kPsPublicStrings, sizeof guid) == 0 && isKeywords(name) ? kKeywords : kNone;
        if (type != LIBPFF_NAME_TO_ID_MAP_ENTRY_TYPE_NUMERIC || std::memcmp(guid, kPsetidAddress, sizeof guid) != 0
            || libpff_name_to_id_map_entry_get_number(name, &number, error.out()) != 1)
            return kNone;
        return number >= 0x8000 && number <= 0xFFFF ? number : kNone;
    }

    static bool isKeywords(libpff_name_to_id_map_entry_t *name)
    {
        static constexpr char kName[] = "Keywords";
        std::uint8_t text[sizeof kName] = {};
        size_t size = 0;
        return libpff_name_to_id_map_entry_get_utf8_string_size(name, &size, nullptr) == 1 && size == sizeof kName
            && libpff_name_to_id_map_entry_get_utf8_string(name, text, sizeof text, nullptr) == 1
            && std::memcmp(text, kName, sizeof kName) == 0;
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
        if (m_keywords != nullptr)
            libpff_record_entry_free(&m_keywords, nullptr);
    }
    MessageProperties(const MessageProperties &) = delete;
    MessageProperties &operator=(const MessageProperties &) = delete;

    bool text(PropertyKey key, std::string &out) override;
    bool filetime(PropertyKey key, std::uint64_t &out) override;
    bool rtfBody(std::string &out) override;
    bool textList(PropertyKey key, std::vector<std::string> &out) override;
    bool binaries(PropertyKey key, std::vector<std::string> &out) override;
    bool categories(std::vector<std::string> &out) override;
    bool photo(std::string &out) override;

    [[nodiscard]] const QString &damage() const { return m_damage; }
    [[nodiscard]] bool has(PropertyKey key) const
    {
        return std::any_of(m_entries.begin(), m_entries.end(), [key](const auto &entry) { return entry.first == key; });
    }

private:
    libpff_record_entry_t *find(PropertyKey key, std::uint32_t &valueType);
    void damaged(PropertyKey key, const PffError &error);
    void damaged(const QString &reason);
    bool multiValue(
        libpff_record_entry_t *entry, PropertyKey key, std::uint32_t valueType, std::vector<std::string> &out);
    bool attachmentPhoto(libpff_item_t *attachment, std::string &out);

    libpff_item_t *m_message;
    std::vector<std::pair<PropertyKey, libpff_record_entry_t *>> m_entries;
    libpff_record_entry_t *m_keywords = nullptr;
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
        } else if (m_keywords == nullptr && names.keywords(entryType)) {
            m_keywords = entry;
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
    damaged(key == kKeywordsKey
            ? QStringLiteral("its categories: %1").arg(error.reason())
            : QStringLiteral("property %1: %2").arg(key, 4, 16, QLatin1Char('0')).arg(error.reason()));
}

void MessageProperties::damaged(const QString &reason)
{
    if (m_damage.isEmpty())
        m_damage = reason;
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

// The values of a multi-valued property, read from its data as the file
// lays it out (a count, the offset of each value, the values): libpff
// 20180714 counts no value in some of them, a list's member entries among
// them. Strings come as UTF-8; 8-bit ones that are not are taken as Latin-1.
bool MessageProperties::multiValue(
    libpff_record_entry_t *entry, PropertyKey key, std::uint32_t valueType, std::vector<std::string> &out)
{
    out.clear();
    PffError error;
    size_t size = 0;
    std::string data;
    if (libpff_record_entry_get_data_size(entry, &size, error.out()) == 1 && size > 0) {
        data.resize(size);
        if (libpff_record_entry_get_data(entry, reinterpret_cast<std::uint8_t *>(data.data()), size, error.out())
            != 1) {
            damaged(key, error);
            return false;
        }
    }
    const auto word = [&data](size_t at) {
        std::uint32_t value = 0;
        for (int i = 3; i >= 0; --i)
            value = value << 8 | static_cast<unsigned char>(data[at + static_cast<size_t>(i)]);
        return value;
    };
    const size_t count = data.size() >= 4 ? word(0) : 0;
    if (count > (data.size() - 4) / 4) {
        damaged(QStringLiteral("property %1: its values run past its data").arg(key, 4, 16, QLatin1Char('0')));
        return false;
    }
    for (size_t i = 0; i < count; ++i) {
        const size_t begin = word(4 + 4 * i);
        const size_t end = i + 1 < count ? word(4 + 4 * (i + 1)) : data.size();
        if (begin < 4 + 4 * count || begin > end || end > data.size()) {
            damaged(QStringLiteral("property %1: its values run past its data").arg(key, 4, 16, QLatin1Char('0')));
            return false;
        }
        std::string_view value = std::string_view(data).substr(begin, end - begin);
        std::string &text = out.emplace_back();
        if (valueType == kTypeMultiUnicode) {
            QString unicode;
            for (size_t c = 0; c + 1 < value.size(); c += 2) {
                const auto unit = static_cast<char16_t>(
                    static_cast<unsigned char>(value[c]) | static_cast<unsigned char>(value[c + 1]) << 8);
                if (unit == 0)
                    break;
                unicode.append(QChar(unit));
            }
            appendUtf8(text, unicode);
        } else if (valueType == kTypeMultiString8) {
            value = value.substr(0, value.find('\0'));
            if (QByteArrayView(value.data(), static_cast<qsizetype>(value.size())).isValidUtf8())
                text.assign(value);
            else
                appendUtf8(text, QString::fromLatin1(value.data(), static_cast<qsizetype>(value.size())));
        } else {
            text.assign(value);
        }
    }
    return true;
}

bool MessageProperties::textList(PropertyKey key, std::vector<std::string> &out)
{
    out.clear();
    std::uint32_t valueType = 0;
    libpff_record_entry_t *entry = find(key, valueType);
    return entry != nullptr && (valueType == kTypeMultiUnicode || valueType == kTypeMultiString8)
        && multiValue(entry, key, valueType, out);
}

bool MessageProperties::binaries(PropertyKey key, std::vector<std::string> &out)
{
    out.clear();
    std::uint32_t valueType = 0;
    libpff_record_entry_t *entry = find(key, valueType);
    return entry != nullptr && valueType == kTypeMultiBinary && multiValue(entry, key, valueType, out);
}

bool MessageProperties::categories(std::vector<std::string> &out)
{
    out.clear();
    std::uint32_t valueType = 0;
    return m_keywords != nullptr && libpff_record_entry_get_value_type(m_keywords, &valueType, nullptr) == 1
        && (valueType == kTypeMultiUnicode || valueType == kTypeMultiString8)
        && multiValue(m_keywords, kKeywordsKey, valueType, out);
}

bool MessageProperties::photo(std::string &out)
{
    out.clear();
    // Only a contact that says it has a picture is looked at: reading the
    // attachments of every item would cost every item.
    std::uint32_t valueType = 0;
    libpff_record_entry_t *flag = find(kHasPicture, valueType);
    std::uint8_t hasPicture = 0;
    if (flag == nullptr || valueType != kTypeBoolean
        || libpff_record_entry_get_data_as_boolean(flag, &hasPicture, nullptr) != 1 || hasPicture == 0)
        return false;
    PffError error;
    int count = 0;
    if (libpff_message_get_number_of_attachments(m_message, &count, error.out()) != 1) {
        damaged(kHasPicture, error);
        return false;
    }
    for (int i = 0; i < count; ++i) {
        libpff_item_t *raw = nullptr;
        if (libpff_message_get_attachment(m_message, i, &raw, error.out()) != 1) {
            damaged(kHasPicture, error);
            return false;
        }
        const ItemPtr attachment(raw);
        if (attachmentPhoto(attachment.get(), out))
            return true;
    }
    return false;
}

// The bytes of the attachment when it is the contact's photo.
bool MessageProperties::attachmentPhoto(libpff_item_t *attachment, std::string &out)
{
    PffError error;
    libpff_record_set_t *set = nullptr;
    libpff_record_entry_t *entry = nullptr;
    std::uint8_t isPhoto = 0;
    if (libpff_item_get_record_set_by_index(attachment, 0, &set, nullptr) == 1
        && libpff_record_set_get_entry_by_type(set, kAttachmentContactPhoto, kTypeBoolean, &entry, 0, nullptr) == 1)
        libpff_record_entry_get_data_as_boolean(entry, &isPhoto, nullptr);
    if (entry != nullptr)
        libpff_record_entry_free(&entry, nullptr);
    if (set != nullptr)
        libpff_record_set_free(&set, nullptr);
    int type = 0;
    if (isPhoto == 0 || libpff_attachment_get_type(attachment, &type, nullptr) != 1
        || type != LIBPFF_ATTACHMENT_TYPE_DATA)
        return false;
    size64_t size = 0;
    if (libpff_attachment_get_data_size(attachment, &size, error.out()) != 1) {
        damaged(kHasPicture, error);
        return false;
    }
    if (size > kMaxPhotoBytes) {
        damaged(QStringLiteral("its photo is larger than %1 MB").arg(kMaxPhotoBytes >> 20));
        return false;
    }
    out.resize(size);
    size_t done = 0;
    while (done < out.size()) {
        const ssize_t read = libpff_attachment_data_read_buffer(
            attachment, reinterpret_cast<std::uint8_t *>(out.data()) + done, out.size() - done, error.out());
        if (read <= 0) {
            damaged(kHasPicture, error);
            out.clear();
            return false;
        }
        done += static_cast<size_t>(read);
    }
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
