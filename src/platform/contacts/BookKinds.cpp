#include "platform/contacts/BookKinds.h"

#include "platform/Failure.h"
#include "platform/contacts/EdsBook.h"
#include "platform/contacts/OutlookDataFile.h"
#include "platform/contacts/ThunderbirdBook.h"
#include "platform/contacts/VCardFiles.h"

#include <QFile>

namespace quarrelby {

namespace {

// A book that cannot be read at all: one report at its place in the walk,
// then nothing.
class UnreadableBook : public ContactSource {
public:
    explicit UnreadableBook(QString description)
        : m_description(std::move(description))
    {
    }

    bool next(Contact &) override
    {
        if (m_reported)
            return false;
        m_reported = true;
        throw Failure(m_description);
    }

private:
    QString m_description;
    bool m_reported = false;
};

} // namespace

BookKind databaseKind(const QByteArray &path)
{
    if (isThunderbirdBook(path))
        return BookKind::Thunderbird;
    if (isEdsBook(path))
        return BookKind::Eds;
    return BookKind::OtherDatabase;
}

std::unique_ptr<ContactSource> openBook(const FoundBook &book)
{
    switch (book.kind) {
    case BookKind::VCard:
        return openVCardSource(book.path, book.folders);
    case BookKind::Eds:
        return openEdsBook(book.path);
    case BookKind::Thunderbird:
        return openThunderbirdBook(book.path);
    case BookKind::OutlookDataFile:
        return openOutlookDataFile(book.path);
    case BookKind::OtherDatabase:
        break;
    }
    return std::make_unique<UnreadableBook>(
        QStringLiteral("The database \"%1\" holds no address book that Quarrelby can read.")
            .arg(QFile::decodeName(book.path)));
}

} // namespace quarrelby
