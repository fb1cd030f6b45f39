#include "platform/contacts/VCardBook.h"

#include "format/vcard/VCardCutter.h"
#include "format/vcard/VCardReader.h"
#include "platform/contacts/RegularFile.h"

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace quarrelby {

namespace {

using vcard::Cutter;

Failure unreadableBook(const QByteArray &path, int error)
{
    return Failure(QStringLiteral("The address book \"%1\" cannot be read: %2")
                       .arg(QFile::decodeName(path), systemMessage(error)));
}

// The book's own file or a card file of a folder book: a failure is told
// the same way for either.
Failure unreadableFile(const QByteArray &path, const QString &reason)
{
    return Failure(QStringLiteral("The address book \"%1\" cannot be read: %2").arg(QFile::decodeName(path), reason));
}

// Reads up to count bytes onto the end of out; the error number, 0 when all
// went well. A read that comes back short once `expected` bytes have come
// has met the end (atEnd), without a second read to find it; a short read
// before that, as some network file systems give, is no end.
int readOnto(int fd, std::size_t count, std::size_t expected, std::string &out, bool &atEnd)
{
    const std::size_t start = out.size();
    out.resize(start + count);
    std::size_t filled = start;
    while (filled < out.size()) {
        const std::size_t wanted = out.size() - filled;
        const ssize_t got = ::read(fd, out.data() + filled, wanted);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            out.resize(filled);
            return errno;
        }
        filled += static_cast<std::size_t>(got);
        atEnd = got == 0 || (static_cast<std::size_t>(got) < wanted && filled - start >= expected);
        if (atEnd)
            break;
    }
    out.resize(filled);
    return 0;
}

// The card files of an open folder, in name order.
std::vector<std::string> cardFiles(DIR *dir)
{
    std::vector<std::string> names;
    while (const dirent *entry = ::readdir(dir)) {
        if (entry->d_type != DT_DIR && isVCardFileName(entry->d_name))
            names.emplace_back(entry->d_name);
    }
    std::sort(names.begin(), names.end());
    return names;
}

class VCardBook : public BookReader {
public:
    VCardBook(QByteArray path, std::vector<QByteArray> folders)
        : m_path(std::move(path))
        , m_folders(std::move(folders))
    {
    }

    // A file's size; a folder's is not known (its files are counted only as
    // they are read).
    std::uint64_t size() override
    {
        struct stat info { };
        if (!m_folders.empty() || ::stat(m_path.constData(), &info) != 0 || !S_ISREG(info.st_mode))
            return 0;
        return static_cast<std::uint64_t>(info.st_size);
    }

    void read(BookSink &sink) override
    {
        if (m_folders.empty()) {
            struct stat info { };
            if (::stat(m_path.constData(), &info) != 0)
                throw unreadableBook(m_path, errno);
            if (!S_ISDIR(info.st_mode)) {
                readFile(AT_FDCWD, m_path.constData(), {}, sink);
                return;
            }
            m_folders.push_back(m_path);
        }
        for (std::size_t book = 0; book < m_folders.size(); ++book) {
            if (!sink.subBook(book))
                return;
            const QByteArray &folder = m_folders[book];
            // Its files are opened from the open folder: 100,000 of them are
            // then not looked up from the root each.
            const std::unique_ptr<DIR, int (*)(DIR *)> dir(::opendir(folder.constData()), ::closedir);
            if (!dir) {
                if (!sink.failure(unreadableBook(folder, errno)))
                    return;
                continue;
            }
            const QByteArray prefix = folder.endsWith('/') ? folder : folder + '/';
            for (const std::string &name : cardFiles(dir.get())) {
                if (!readFile(::dirfd(dir.get()), name.c_str(), prefix, sink))
                    return;
            }
        }
    }

private:
    // Puts the cards of the file name in directory (its path is folder +
    // name); false once the walk wants no more.
    static bool readFile(int directory, const char *name, const QByteArray &folder, BookSink &sink)
    {
        const QByteArray path = folder + name;
        struct stat info { };
        QString failure;
        const int fd = openRegularFileAt(directory, name, info, failure);
        if (fd < 0)
            return sink.failure(unreadableFile(path, failure));
        Cutter cutter;
        std::vector<std::string> pieces;
        std::size_t left = static_cast<std::size_t>(std::max<off_t>(info.st_size, 0));
        // A small file in one read of one byte more than it holds: a folder
        // of 100,000 cards would spend more time in system calls than in
        // parsing.
        std::size_t block = std::min(left + 1, Cutter::kPieceBytes);
        int error = 0;
        for (bool done = false; !done;) {
            bool atEnd = false;
            const std::size_t before = cutter.buffer().size();
            error = readOnto(fd, block, left, cutter.buffer(), atEnd);
            const std::size_t got = cutter.buffer().size() - before;
            left -= std::min(left, got);
            block = Cutter::kPieceBytes;
            done = got > 0 && !cutter.take(got, pieces);
            if (!done && (atEnd || error != 0)) {
                cutter.take(0, pieces);
                done = true;
            }
            for (const std::string &piece : pieces) {
                if (!sink.cards(piece)) {
                    ::close(fd);
                    return false;
                }
            }
            pieces.clear();
        }
        ::close(fd);
        if (error != 0)
            return sink.failure(unreadableFile(path, systemMessage(error)));
        if (!cutter.refusal())
            return true;
        const auto megabytes = static_cast<int>(Cutter::kLargestCard / (1024 * 1024));
        switch (*cutter.refusal()) {
        case Cutter::Refusal::NotVCard:
            break;
        case Cutter::Refusal::NoCardEnd:
            return sink.failure(unreadableFile(path,
                QStringLiteral("the card that starts at byte %1 has no end within %2 MB; the rest of the file was not "
                               "read")
                    .arg(cutter.at())
                    .arg(megabytes)));
        case Cutter::Refusal::NoCard:
            return sink.failure(unreadableFile(path,
                QStringLiteral("from byte %1 on, after its last card, it holds no vCard text within %2 MB; the rest "
                               "of the file was not read")
                    .arg(cutter.at())
                    .arg(megabytes)));
        }
        return sink.failure(
            unreadableFile(path, QStringLiteral("it is not a vCard file (no BEGIN:VCARD line at its start).")));
    }

    const QByteArray m_path;
    std::vector<QByteArray> m_folders;
};

} // namespace

bool isVCardFileName(std::string_view name)
{
    auto endsWith = [&](std::string_view suffix) {
        return name.size() > suffix.size() && vcard::equalsIgnoreCase(name.substr(name.size() - suffix.size()), suffix);
    };
    return endsWith(".vcf") || endsWith(".vcard");
}

std::unique_ptr<BookReader> vcardBook(QByteArray path, std::vector<QByteArray> folders)
{
    return std::make_unique<VCardBook>(std::move(path), std::move(folders));
}

} // namespace quarrelby
