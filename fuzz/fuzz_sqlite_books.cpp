// Writes arbitrary bytes as a database file and reads it as an Evolution and
// as a Thunderbird address book: every damaged file must end in a report
// naming it, never a crash or a hang, and nothing may appear beside it.

#include "platform/AutomationError.h"
#include "platform/contacts/EdsBook.h"
#include "platform/contacts/ThunderbirdBook.h"

#include <QByteArray>
#include <QDir>
#include <QFile>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <unistd.h>

using namespace quarrelby;

namespace {

const QByteArray &folder()
{
    static const QByteArray path = [] {
        QByteArray p = QDir::tempPath().toLocal8Bit() + "/fuzz-sqlite-books-" + QByteArray::number(::getpid());
        QDir().mkpath(QString::fromLocal8Bit(p));
        return p;
    }();
    return path;
}

void walk(std::unique_ptr<ContactSource> source, const QByteArray &path)
{
    Contact contact;
    try {
        for (int i = 0; i < 100000 && source->next(contact); ++i)
            (void)contact.value(FullName);
    } catch (const AutomationError &error) {
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
    {
        QFile file(QString::fromLocal8Bit(path));
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            std::abort();
        file.write(reinterpret_cast<const char *>(data), static_cast<qint64>(size));
    }
    (void)isEdsBook(path);
    (void)isThunderbirdBook(path);
    walk(openEdsBook(path), path);
    walk(openThunderbirdBook(path), path);
    if (QDir(QString::fromLocal8Bit(folder())).entryList(QDir::Files | QDir::Hidden).size() != 1)
        __builtin_trap();
    return 0;
}
