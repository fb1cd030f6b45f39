#include "cli/BookList.h"

#include "cli/Console.h"
#include "cli/Output.h"
#include "platform/Failure.h"
#include "platform/contacts/ContactStore.h"

#include <sys/stat.h>

#include <cstddef>
#include <utility>

namespace quarrelby {

namespace {

QByteArray kindName(const FoundBook &book)
{
    switch (recogniseBook(book)) {
    case BookKind::VCard: {
        struct stat info { };
        const bool folder = ::stat(book.path.constData(), &info) == 0 && S_ISDIR(info.st_mode);
        return folder ? "vcard-folder" : "vcard";
    }
    case BookKind::Eds:
        return "evolution";
    case BookKind::Thunderbird:
        return "thunderbird";
    case BookKind::OutlookDataFile:
        return "outlook";
    case BookKind::Unknown:
    case BookKind::OtherDatabase:
        break;
    }
    return "unknown";
}

// Walks the book alone and prints its line. Returns the number of its
// contacts; failed is set when any part of it could not be read.
std::size_t listBook(ContactStore &store, const FoundBook &book, Output &out, bool &failed)
{
    FoundBooks one;
    one.books.push_back(book);
    std::size_t contacts = 0;
    QStringList failures;
    try {
        const std::unique_ptr<ContactWalk> walk = store.open(std::move(one));
        Contact contact;
        while (true) {
            stopIfInterrupted();
            try {
                if (!walk->next(contact))
                    break;
            } catch (const Failure &error) {
                failures << error.description();
                continue;
            }
            if (!contact.distributionList)
                ++contacts;
        }
    } catch (const Interrupted &) {
        throw;
    } catch (const Failure &error) {
        failures << error.description();
    }
    failed = failed || !failures.isEmpty();
    QByteArray line = kindName(book) + '\t';
    if (contacts == 0 && !failures.isEmpty()) {
        line += "-\t" + book.path + '\t' + oneLine(failures.takeFirst()).toUtf8();
    } else {
        line += QByteArray::number(static_cast<qulonglong>(contacts)) + '\t' + book.path;
    }
    out.write(line + '\n');
    // What could not be read of a book that was read in part.
    for (const QString &failure : failures)
        tell(failure);
    return contacts;
}

} // namespace

int listBooks(ContactStore &store, const FoundBooks &found)
{
    Output out({});
    bool failed = false;
    std::size_t contacts = 0;
    try {
        out.open();
        for (const FoundBook &book : found.books)
            contacts += listBook(store, book, out, failed);
        // The Outlook data files are read only when no other book holds a contact.
        if (contacts == 0) {
            for (const FoundBook &book : found.fallback)
                listBook(store, book, out, failed);
        }
        out.commit();
    } catch (const Failure &error) {
        if (!interrupted())
            tell(error.description());
        return kExitFailed;
    }
    return failed ? kExitFailed : kExitOk;
}

} // namespace quarrelby
