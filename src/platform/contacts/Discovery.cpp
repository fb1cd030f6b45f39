#include "platform/contacts/Discovery.h"

#include "platform/contacts/Logging.h"

#include <QFile>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <map>
#include <pwd.h>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

namespace quarrelby {

namespace {

FoundBooks discoverHomeBooks();

void logFound(const FoundBooks &found)
{
    for (const FoundBook &book : found.books)
        qCDebug(lcBooks) << "found" << book.path << "and" << book.folders.size() << "folders of its sub-books";
    for (const FoundBook &book : found.fallback)
        qCDebug(lcBooks) << "found" << book.path << "(read only when no other book holds a contact)";
}

// Everything here works on the bytes the file system uses: a name that is
// not valid UTF-8 must reach open() exactly as the environment gave it.

QByteArray join(const QByteArray &folder, const QByteArray &name)
{
    if (folder.isEmpty() || folder.endsWith('/'))
        return folder + name;
    return folder + '/' + name;
}

bool isDirectory(const QByteArray &path)
{
    struct stat info { };
    return ::stat(path.constData(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool isRegularFile(const QByteArray &path)
{
    struct stat info { };
    return ::stat(path.constData(), &info) == 0 && S_ISREG(info.st_mode);
}

// The entries of a folder in byte order, hidden ones left out: the
// subfolders when folders is true, otherwise the regular files. Each comes
// with whether the listing itself said what it is: a link, or an entry of
// unknown type, is looked up by its path.
std::vector<std::pair<QByteArray, bool>> entries(const QByteArray &folder, bool folders)
{
    std::vector<std::pair<QByteArray, bool>> names;
    DIR *dir = ::opendir(folder.constData());
    if (!dir)
        return names;
    while (const dirent *entry = ::readdir(dir)) {
        if (entry->d_name[0] == '.')
            continue;
        const QByteArray name(entry->d_name);
        const bool listed = entry->d_type == DT_DIR || entry->d_type == DT_REG;
        if (!listed && entry->d_type != DT_UNKNOWN && entry->d_type != DT_LNK)
            continue;
        if ((listed ? entry->d_type == DT_DIR : isDirectory(join(folder, name))) == folders)
            names.emplace_back(name, listed);
    }
    ::closedir(dir);
    std::sort(names.begin(), names.end());
    return names;
}

// A small settings file, whole; empty when it is missing, not a regular
// file, or unreasonably large for settings.
QByteArray readSettingsFile(const QByteArray &path)
{
    const int fd = ::open(path.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return {};
    QFile file;
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return {};
    }
    struct stat info { };
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_size >= 1024 * 1024)
        return {};
    return file.read(info.st_size);
}

// Calls f(section, key, value) for every "key = value" line of an INI-style
// file; the section is its header line as written ("[Profile0]",
// "[[family]]"), empty before the first one.
template <class F> void forEachSetting(const QByteArray &text, F f)
{
    QByteArray section;
    for (const QByteArray &raw : text.split('\n')) {
        const QByteArray line = raw.trimmed();
        if (line.isEmpty() || line.startsWith('#') || line.startsWith(';'))
            continue;
        if (line.startsWith('[')) {
            section = line;
            continue;
        }
        const qsizetype equals = line.indexOf('=');
        if (equals > 0)
            f(section, line.left(equals).trimmed(), line.mid(equals + 1).trimmed());
    }
}

QByteArray unquoted(const QByteArray &value)
{
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
        return value.mid(1, value.size() - 2);
    return value;
}

struct Home {
    QByteArray home;
    QByteArray dataHome;
    QByteArray configHome;
    QByteArray cacheHome;

    // "~/x" and "$HOME/x" as the home folder's own x.
    [[nodiscard]] QByteArray expanded(const QByteArray &path) const
    {
        if (path == "~" || path.startsWith("~/"))
            return home + path.mid(1);
        if (path == "$HOME" || path.startsWith("$HOME/"))
            return home + path.mid(5);
        return path;
    }
};

Home currentHome()
{
    Home h;
    h.home = qgetenv("HOME");
    if (h.home.isEmpty()) {
        if (const passwd *user = ::getpwuid(::getuid()))
            h.home = user->pw_dir;
    }
    // The base directory specification ignores a relative path.
    const auto base = [&](const char *variable, const char *fallback) {
        const QByteArray value = qgetenv(variable);
        return value.startsWith('/') ? value : join(h.home, fallback);
    };
    h.dataHome = base("XDG_DATA_HOME", ".local/share");
    h.configHome = base("XDG_CONFIG_HOME", ".config");
    h.cacheHome = base("XDG_CACHE_HOME", ".cache");
    return h;
}

// Folders compared by where they really are, so a book reached through two
// configurations or a link is read once.
class SeenPlaces {
public:
    bool firstTime(const QByteArray &path) { return m_seen.insert(resolved(path)).second; }
    // The same for a folder known to be where resolvedParent/name is.
    bool firstTimeAt(const QByteArray &resolvedParent, const QByteArray &name)
    {
        return m_seen.insert(join(resolvedParent, name)).second;
    }

    static QByteArray resolved(const QByteArray &path)
    {
        char buffer[PATH_MAX];
        return ::realpath(path.constData(), buffer) ? QByteArray(buffer) : path;
    }

private:
    std::set<QByteArray> m_seen;
};

bool edsBookEnabled(const Home &h, const QByteArray &uid)
{
    // The built-in Personal book keeps its data in system/ and its
    // definition under the source uid system-address-book.
    const QByteArray source = uid == "system" ? QByteArray("system-address-book") : uid;
    const QByteArray text = readSettingsFile(join(h.configHome, "evolution/sources/" + source + ".source"));
    bool enabled = true;
    forEachSetting(text, [&](const QByteArray &section, const QByteArray &key, const QByteArray &value) {
        if (section == "[Data Source]" && key == "Enabled")
            enabled = value.toLower() != "false";
    });
    return enabled;
}

// Evolution's books under folder, each <uid>/fileName; the "system" book
// (Personal) first.
void findEdsBooks(const Home &h, const QByteArray &folder, const char *fileName, FoundBooks &found)
{
    found.searched.push_back(folder);
    auto uids = entries(folder, true);
    std::stable_partition(uids.begin(), uids.end(), [](const auto &uid) { return uid.first == "system"; });
    for (const auto &[uid, listed] : uids) {
        const QByteArray path = join(join(folder, uid), fileName);
        struct stat info { };
        if (uid == "trash" || ::stat(path.constData(), &info) != 0 || !edsBookEnabled(h, uid)) {
            qCDebug(lcBooks) << "passed over" << path << (uid == "trash" ? "(trash)" : "(missing or switched off)");
            continue;
        }
        // What is there but no file (a named pipe, a link to a device) is
        // handed to the reader that reports it by name, as when it is named
        // in QUARRELBY_CONTACTS; never to SQLite, which could wait on it.
        found.books.push_back({S_ISREG(info.st_mode) ? BookKind::Eds : BookKind::VCard, path});
    }
}

// The profile folder Thunderbird uses: the [Install...] section's Default=,
// else the profile marked Default=1, else the only profile.
QByteArray thunderbirdProfile(const QByteArray &ini)
{
    const QByteArray text = readSettingsFile(ini);
    const QByteArray folder = ini.left(ini.lastIndexOf('/'));
    const auto resolved = [&](const QByteArray &path) { return path.startsWith('/') ? path : join(folder, path); };
    struct Profile {
        QByteArray path;
        bool isDefault = false;
    };
    QByteArray installDefault;
    std::map<QByteArray, Profile> profiles;
    forEachSetting(text, [&](const QByteArray &section, const QByteArray &key, const QByteArray &value) {
        if (section.startsWith("[Install") && key == "Default" && installDefault.isEmpty())
            installDefault = value;
        if (!section.startsWith("[Profile"))
            return;
        if (key == "Path")
            profiles[section].path = value;
        else if (key == "Default")
            profiles[section].isDefault = value == "1";
    });
    if (!installDefault.isEmpty() && isDirectory(resolved(installDefault)))
        return resolved(installDefault);
    for (const auto &[section, profile] : profiles) {
        if (profile.isDefault && !profile.path.isEmpty())
            return resolved(profile.path);
    }
    if (profiles.size() == 1 && !profiles.begin()->second.path.isEmpty())
        return resolved(profiles.begin()->second.path);
    return {};
}

// abook.sqlite, then abook-N.sqlite by N; never history.sqlite, the
// addresses collected from mail.
void findThunderbirdBooks(const QByteArray &ini, FoundBooks &found)
{
    found.searched.push_back(ini);
    const QByteArray profile = thunderbirdProfile(ini);
    if (profile.isEmpty()) {
        qCDebug(lcBooks) << "no Thunderbird profile in" << ini;
        return;
    }
    std::vector<std::pair<long, QByteArray>> books;
    for (const auto &[name, listed] : entries(profile, false)) {
        if (name == "abook.sqlite") {
            books.emplace_back(-1, name);
        } else if (name.startsWith("abook-") && name.endsWith(".sqlite")) {
            bool number = false;
            const long n = name.mid(6, name.size() - 13).toLong(&number);
            if (number)
                books.emplace_back(n, name);
        }
    }
    std::sort(books.begin(), books.end());
    for (const auto &book : books)
        found.books.push_back({BookKind::Thunderbird, join(profile, book.second)});
}

// The subfolders of folder not seen before, in byte order, hidden ones left
// out, appended to folders. A subfolder that is no link is where its parent
// really is, plus its name: one realpath() for the parent, not one for each
// of 100,000 sub-books.
void addSubfolders(const QByteArray &folder, SeenPlaces &seen, std::vector<QByteArray> &folders)
{
    const QByteArray real = SeenPlaces::resolved(folder);
    for (const auto &[name, plain] : entries(folder, true)) {
        const QByteArray path = join(folder, name);
        if (plain ? seen.firstTimeAt(real, name) : seen.firstTime(path))
            folders.push_back(path);
    }
}

// Folders of one book and its sub-books, at parent: one book read as one,
// however many sub-books it has (a book each would start threads of its
// own for each).
void addVCardFolders(const QByteArray &parent, std::vector<QByteArray> folders, FoundBooks &found)
{
    if (folders.size() == 1)
        found.books.push_back({BookKind::VCard, folders.front()});
    else if (!folders.empty())
        found.books.push_back({BookKind::VCard, parent, std::move(folders)});
}

// vdirsyncer's filesystem storages of .vcf files: each subfolder of the
// storage's path is one address book.
void findVdirsyncerBooks(const Home &h, const QByteArray &config, SeenPlaces &seen, FoundBooks &found)
{
    found.searched.push_back(config);
    struct Storage {
        QByteArray type, path, fileext;
    };
    std::map<QByteArray, Storage> storages;
    forEachSetting(
        readSettingsFile(config), [&](const QByteArray &section, const QByteArray &key, const QByteArray &value) {
            if (!section.startsWith("[storage "))
                return;
            Storage &storage = storages[section];
            if (key == "type")
                storage.type = unquoted(value);
            else if (key == "path")
                storage.path = h.expanded(unquoted(value));
            else if (key == "fileext")
                storage.fileext = unquoted(value);
        });
    for (const auto &[section, storage] : storages) {
        if (storage.type == "filesystem" && storage.fileext.toLower() == ".vcf" && !storage.path.isEmpty()) {
            std::vector<QByteArray> folders;
            addSubfolders(storage.path, seen, folders);
            addVCardFolders(storage.path, std::move(folders), found);
        }
    }
}

// khard's address books: [addressbooks] -> [[name]] -> path = ...
void findKhardBooks(const Home &h, SeenPlaces &seen, FoundBooks &found)
{
    const QByteArray config = join(h.configHome, "khard/khard.conf");
    found.searched.push_back(config);
    // configobj nesting: [[name]] sections belong to the [section] above them.
    bool inBooks = false;
    std::vector<QByteArray> paths;
    for (const QByteArray &raw : readSettingsFile(config).split('\n')) {
        const QByteArray line = raw.trimmed();
        if (line.startsWith('[') && !line.startsWith("[[")) {
            inBooks = line.toLower() == "[addressbooks]";
            continue;
        }
        const qsizetype equals = line.indexOf('=');
        if (inBooks && equals > 0 && line.left(equals).trimmed() == "path")
            paths.push_back(h.expanded(unquoted(line.mid(equals + 1).trimmed())));
    }
    for (const QByteArray &path : paths) {
        if (isDirectory(path) && seen.firstTime(path))
            found.books.push_back({BookKind::VCard, path});
        else
            qCDebug(lcBooks) << "passed over" << path << "of khard (no folder, or read already)";
    }
}

void findVCardBooks(const Home &h, FoundBooks &found)
{
    SeenPlaces seen;
    // KDE's Akonadi keeps its Personal Contacts here, sub-books one level down.
    found.vcardFolder = join(h.dataHome, "contacts");
    found.searched.push_back(found.vcardFolder);
    std::vector<QByteArray> personal;
    if (isDirectory(found.vcardFolder) && seen.firstTime(found.vcardFolder))
        personal.push_back(found.vcardFolder);
    addSubfolders(found.vcardFolder, seen, personal);
    addVCardFolders(found.vcardFolder, std::move(personal), found);

    findVdirsyncerBooks(h, join(h.configHome, "vdirsyncer/config"), seen, found);
    findVdirsyncerBooks(h, join(h.home, ".vdirsyncer/config"), seen, found);
    findKhardBooks(h, seen, found);
    const QByteArray dotContacts = join(h.home, ".contacts");
    found.searched.push_back(dotContacts);
    std::vector<QByteArray> folders;
    addSubfolders(dotContacts, seen, folders);
    addVCardFolders(dotContacts, std::move(folders), found);

    for (const char *kde : {".kde/share/apps/kabc/std.vcf", ".kde4/share/apps/kabc/std.vcf"}) {
        const QByteArray path = join(h.home, kde);
        found.searched.push_back(path);
        if (isRegularFile(path) && seen.firstTime(path))
            found.books.push_back({BookKind::VCard, path});
    }
}

// The value of a user-dirs.dirs line as the shell that sources the file reads
// it: in double quotes, where a backslash takes the character after it as it
// is (\" and \\); "$HOME" and "${HOME}" at the start are the home folder.
// An unquoted value is taken as it stands.
QByteArray userDirsValue(const Home &h, const QByteArray &value)
{
    QByteArray path;
    if (value.startsWith('"')) {
        bool closed = false;
        for (qsizetype i = 1; i < value.size() && !closed; ++i) {
            if (value[i] == '\\' && i + 1 < value.size())
                path += value[++i];
            else if (value[i] == '"')
                closed = true;
            else
                path += value[i];
        }
        if (!closed)
            return {};
    } else {
        path = unquoted(value);
    }
    if (path == "${HOME}" || path.startsWith("${HOME}/"))
        return h.home + path.mid(7);
    return h.expanded(path);
}

// An XDG user folder from user-dirs.dirs ("XDG_DOCUMENTS_DIR=...", perhaps
// after "export "), else its usual name in the home.
QByteArray userFolder(const Home &h, const QByteArray &dirs, const QByteArray &key, const char *usual)
{
    QByteArray folder;
    for (const QByteArray &raw : dirs.split('\n')) {
        QByteArray line = raw.trimmed();
        if (line.startsWith("export ") || line.startsWith("export\t"))
            line = line.mid(7).trimmed();
        const qsizetype equals = line.indexOf('=');
        if (equals > 0 && !line.startsWith('#') && line.left(equals).trimmed() == key)
            folder = userDirsValue(h, line.mid(equals + 1).trimmed());
    }
    return folder.startsWith('/') ? folder : join(h.home, usual);
}

bool isOutlookDataFileName(const QByteArray &name)
{
    const QByteArray lower = name.toLower();
    return lower.size() > 4 && (lower.endsWith(".pst") || lower.endsWith(".ost"));
}

void findOutlookDataFiles(const Home &h, FoundBooks &found)
{
    const QByteArray dirs = readSettingsFile(join(h.configHome, "user-dirs.dirs"));
    const QByteArray documents = userFolder(h, dirs, "XDG_DOCUMENTS_DIR", "Documents");
    found.documentsFolder = documents;
    SeenPlaces seen;
    for (const QByteArray &folder : {documents, userFolder(h, dirs, "XDG_DESKTOP_DIR", "Desktop"),
             userFolder(h, dirs, "XDG_DOWNLOAD_DIR", "Downloads"), join(documents, "Outlook Files")}) {
        found.searched.push_back(folder);
        if (!isDirectory(folder) || !seen.firstTime(folder))
            continue;
        for (const auto &[name, listed] : entries(folder, false)) {
            if (isOutlookDataFileName(name))
                found.fallback.push_back({BookKind::OutlookDataFile, join(folder, name)});
        }
    }
}

} // namespace

FoundBooks namedAddressBooks(const QByteArray &list)
{
    const QList<QByteArray> paths = list.split(':');
    return namedAddressBooks(std::vector<QByteArray>(paths.begin(), paths.end()));
}

FoundBooks namedAddressBooks(const std::vector<QByteArray> &paths)
{
    FoundBooks found;
    found.named = true;
    bool anyExists = false;
    for (const QByteArray &path : paths) {
        if (path.isEmpty())
            continue;
        found.searched.push_back(path);
        struct stat info { };
        anyExists = anyExists || ::stat(path.constData(), &info) == 0;
        found.books.push_back({BookKind::Unknown, path});
    }
    if (!anyExists)
        found.books.clear();
    logFound(found);
    return found;
}

FoundBooks discoverAddressBooks()
{
    const QByteArray named = qgetenv("QUARRELBY_CONTACTS");
    return named.isEmpty() ? discoverHomeBooks() : namedAddressBooks(named);
}

namespace {

FoundBooks discoverHomeBooks()
{
    const Home h = currentHome();
    FoundBooks found;
    findEdsBooks(h, join(h.dataHome, "evolution/addressbook"), "contacts.db", found);
    findEdsBooks(h, join(h.cacheHome, "evolution/addressbook"), "cache.db", found);
    findThunderbirdBooks(join(h.home, ".thunderbird/profiles.ini"), found);
    findThunderbirdBooks(join(h.home, ".var/app/org.mozilla.Thunderbird/.thunderbird/profiles.ini"), found);
    findThunderbirdBooks(join(h.home, "snap/thunderbird/common/.thunderbird/profiles.ini"), found);
    findVCardBooks(h, found);
    findOutlookDataFiles(h, found);
    logFound(found);
    return found;
}

} // namespace

QString searchedPlacesText(const FoundBooks &found)
{
    QString text = found.named ? QStringLiteral("None of the address books named in QUARRELBY_CONTACTS exists:")
                               : QStringLiteral("Quarrelby found no address book. It looked in these places:");
    // A thousand names would make a box taller than any screen.
    constexpr size_t kListed = 20;
    const size_t listed = found.searched.size() <= kListed + 1 ? found.searched.size() : kListed;
    for (size_t i = 0; i < listed; ++i)
        text += QStringLiteral("\r\n") + QFile::decodeName(found.searched[i]);
    if (listed < found.searched.size())
        text += QStringLiteral("\r\nand %1 more.").arg(found.searched.size() - listed);
    if (!found.named) {
        text += QStringLiteral("\r\nTo read exported contacts, put the .vcf file in %1 or the Outlook data file (.pst) "
                               "in %2, or name the file in the environment variable QUARRELBY_CONTACTS.")
                    .arg(QFile::decodeName(found.vcardFolder), QFile::decodeName(found.documentsFolder));
    }
    return text;
}

} // namespace quarrelby
