// Writes arbitrary bytes as a database file and reads it as an Evolution and
// as a Thunderbird address book: every damaged file must end in a report
// naming it, never a crash or a hang, and nothing may appear beside it.
// From the first write-ahead-log magic number after the database header on,
// the bytes are the book's log instead, as a program that has the book open
// or crashed leaves it; the private copy such a book is read through must be
// gone afterwards.

#include "platform/Failure.h"
#include "platform/contacts/DatabaseBook.h"
#include "platform/contacts/EdsBook.h"
#include "platform/contacts/ReadAhead.h"
#include "platform/contacts/SqliteConnection.h"
#include "platform/contacts/ThunderbirdBook.h"

#include <QByteArray>
#include <QDir>
#include <QFile>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string_view>
#include <unistd.h>

using namespace quarrelby;

namespace {

const QByteArray &folder()
{
    static const QByteArray path = [] {
        QByteArray p = QDir::tempPath().toLocal8Bit() + "/fuzz-sqlite-books-" + QByteArray::number(::getpid());
        QDir().mkpath(QString::fromLocal8Bit(p + "/tmp"));
        // The readers' private copies go here, where they can be counted.
        qputenv("TMPDIR", p + "/tmp");
        return p;
    }();
    return path;
}

void write(const QByteArray &path, QByteArrayView bytes)
{
    QFile file(QString::fromLocal8Bit(path));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        std::abort();
    file.write(bytes.data(), bytes.size());
}

qsizetype logStart(QByteArrayView bytes)
{
    for (const char *magic : {"\x37\x7f\x06\x82", "\x37\x7f\x06\x83"}) {
        const qsizetype at = bytes.indexOf(QByteArrayView(magic, 4));
        if (at >= 100)
            return at;
    }
    return -1;
}

void walk(DatabaseRead read, const QByteArray &path)
{
    // Whole, so that what only a lossless export reads (Thunderbird's
    // lists) is read too.
    const auto source = std::make_unique<ReadAhead>(
        databaseBook(path, [read](sqlitebook::Connection &) { return read; }), path, true);
    Contact contact;
    std::string_view card;
    try {
        for (int i = 0; i < 100000 && source->next(contact, &card); ++i)
            (void)contact.value(FullName);
    } catch (const Failure &error) {
        if (!error.description().contains(QFile::decodeName(path)))
            __builtin_trap();
        if (source->next(contact))
            __builtin_trap();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray path = folder() + "/book.db";
    const QByteArrayView bytes(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    const qsizetype log = logStart(bytes);
    write(path, log < 0 ? bytes : bytes.first(log));
    if (log < 0)
        QFile::remove(QString::fromLocal8Bit(path + "-wal"));
    else
        write(path + "-wal", bytes.sliced(log));
    try {
        lookIntoDatabase(path, [](sqlitebook::Connection &db) { (void)(isEdsBook(db) || isThunderbirdBook(db)); });
    } catch (const Failure &) {
    }
    walk(&readEdsBook, path);
    walk(&readThunderbirdBook, path);
    if (QDir(QString::fromLocal8Bit(folder())).entryList(QDir::Files | QDir::Hidden).size() != (log < 0 ? 1 : 2))
        __builtin_trap();
    if (!QDir(QString::fromLocal8Bit(folder() + "/tmp"))
             .isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden))
        __builtin_trap();
    return 0;
}
