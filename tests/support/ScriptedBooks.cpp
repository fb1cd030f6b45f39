#include "ScriptedBooks.h"

namespace quarrelby::test {

namespace {

class Walk : public ContactWalk {
public:
    explicit Walk(const ScriptedBooks &books)
        : m_books(books)
    {
    }

    bool next(Contact &contact) override
    {
        if (m_next >= m_books.contacts.size())
            return false;
        const qsizetype at = m_next++;
        if (m_books.unreadable.contains(at))
            throw Failure(QStringLiteral("Cannot read item %1").arg(at + 1));
        contact = m_books.contacts.at(at);
        return true;
    }

private:
    const ScriptedBooks &m_books;
    qsizetype m_next = 0;
};

} // namespace

void ScriptedBooks::discover()
{
    ++discoveries;
    if (failOpen)
        throw Failure(QStringLiteral("Cannot open the address books"));
}

std::unique_ptr<ContactWalk> ScriptedBooks::open()
{
    ++opens;
    if (failOpen)
        throw Failure(QStringLiteral("Cannot open the address books"));
    return std::make_unique<Walk>(*this);
}

Contact fullContact(int n)
{
    Contact contact;
    for (int i = 0; i < kContactPropertyCount; ++i) {
        const QString value = QStringLiteral("%1 %2").arg(contactPropertyName(i)).arg(n);
        if (i == Birthday)
            contact.birthday = value;
        contact.appendUtf8(i, i == Birthday ? std::string() : value.toStdString());
    }
    return contact;
}

} // namespace quarrelby::test
