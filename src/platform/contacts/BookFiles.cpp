#include "platform/contacts/BookFiles.h"

#include "platform/contacts/VCardBook.h"

#include <dirent.h>
#include <sys/stat.h>

#include <cstdlib>
#include <memory>

namespace quarrelby {

namespace {

// The file asked about: its folder, its name, and the file when it exists.
struct Place {
    struct stat folder { };
    QByteArray name;
    bool exists = false;
    struct stat file { };
};

bool sameInode(const struct stat &a, const struct stat &b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Whether path (its folder's links resolved) is the place asked about.
bool isPlace(const QByteArray &path, const Place &place)
{
    struct stat info { };
    if (place.exists)
        return ::stat(path.constData(), &info) == 0 && sameInode(info, place.file);
    const qsizetype slash = path.lastIndexOf('/');
    const QByteArray folder = slash <= 0 ? QByteArray(slash == 0 ? "/" : ".") : path.left(slash);
    return path.mid(slash + 1) == place.name && ::stat(folder.constData(), &info) == 0 && sameInode(info, place.folder);
}

// A book's file, with its own links resolved: SQLite keeps its log beside
// the file a link leads to.
QByteArray resolved(const QByteArray &path)
{
    char *real = ::realpath(path.constData(), nullptr);
    if (!real)
        return path;
    QByteArray result(real);
    std::free(real);
    return result;
}

bool folderBookReads(const std::vector<QByteArray> &folders, const Place &place)
{
    const bool cardName = isVCardFileName(place.name.toStdString());
    for (const QByteArray &folder : folders) {
        struct stat info { };
        if (::stat(folder.constData(), &info) == 0 && sameInode(info, place.folder) && cardName)
            return true;
        if (!place.exists)
            continue;
        // A card of the folder that is a link to the file, or another name
        // of it.
        const std::unique_ptr<DIR, int (*)(DIR *)> listing(::opendir(folder.constData()), ::closedir);
        while (const dirent *entry = listing ? ::readdir(listing.get()) : nullptr) {
            if (isVCardFileName(entry->d_name) && isPlace(folder + '/' + entry->d_name, place))
                return true;
        }
    }
    return false;
}

} // namespace

bool bookReads(const FoundBook &book, const QByteArray &folder, const QByteArray &name)
{
    Place place;
    if (::stat(folder.constData(), &place.folder) != 0)
        return false;
    place.name = name;
    place.exists = ::stat((folder + '/' + name).constData(), &place.file) == 0;
    // A book the user named is a folder book, or a file that may be a
    // database.
    if (book.kind == BookKind::VCard || book.kind == BookKind::Unknown) {
        struct stat info { };
        if (!book.folders.empty())
            return folderBookReads(book.folders, place);
        if (::stat(book.path.constData(), &info) == 0 && S_ISDIR(info.st_mode))
            return folderBookReads({book.path}, place);
        if (book.kind == BookKind::VCard)
            return isPlace(resolved(book.path), place);
    }
    const QByteArray path = resolved(book.path);
    if (book.kind == BookKind::OutlookDataFile)
        return isPlace(path, place);
    for (const char *beside : {"", "-wal", "-shm", "-journal"}) {
        if (isPlace(path + beside, place))
            return true;
    }
    return false;
}

} // namespace quarrelby
