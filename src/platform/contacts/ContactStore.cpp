#include "platform/contacts/ContactStore.h"

#include "platform/contacts/VCardFiles.h"

#include "platform/AutomationError.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace quarrelby {

namespace {

QString systemError(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

class ContactItem : public OutlookItem {
public:
    explicit ContactItem(Contact contact)
        : m_contact(std::move(contact))
    {
    }

    bool isContactItem() override { return !m_contact.distributionList; }

    QVariant property(ContactProperty id) override
    {
        if (id < 0 || id >= kContactPropertyCount)
            throw AutomationError(QStringLiteral("The contact has no property number %1.").arg(int(id)));
        return m_contact.value(id);
    }

private:
    Contact m_contact;
};

// The contacts of the address book as Outlook items.
class ContactItems : public OutlookItems {
public:
    explicit ContactItems(std::unique_ptr<ContactSource> source)
        : m_source(std::move(source))
    {
    }

    std::unique_ptr<OutlookItem> next() override
    {
        Contact contact;
        if (!m_source->next(contact))
            return nullptr;
        return std::make_unique<ContactItem>(std::move(contact));
    }

private:
    std::unique_ptr<ContactSource> m_source;
};

class ContactsFolder : public OutlookFolder {
public:
    explicit ContactsFolder(QString location)
        : m_location(std::move(location))
    {
    }

    std::unique_ptr<OutlookItems> items() override
    {
        return std::make_unique<ContactItems>(openVCardSource(QFile::encodeName(m_location)));
    }

private:
    QString m_location;
};

class ContactsNamespace : public OutlookNamespace {
public:
    explicit ContactsNamespace(QString location)
        : m_location(std::move(location))
    {
    }

    std::unique_ptr<OutlookFolder> getDefaultFolder(int folderType) override
    {
        if (folderType != olFolderContacts)
            throw AutomationError(QStringLiteral("The address book has no folder of type %1.").arg(folderType));
        return std::make_unique<ContactsFolder>(m_location);
    }

private:
    QString m_location;
};

} // namespace

QString contactStoreLocation()
{
    const QString configured = qEnvironmentVariable("QUARRELBY_CONTACTS");
    if (!configured.isEmpty())
        return configured;
    QString dataHome = qEnvironmentVariable("XDG_DATA_HOME");
    // The base directory specification ignores a relative XDG_DATA_HOME.
    if (dataHome.isEmpty() || QDir::isRelativePath(dataHome))
        dataHome = QDir::homePath() + QLatin1String("/.local/share");
    return dataHome + QLatin1String("/contacts");
}

ContactStoreApplication::ContactStoreApplication(QString location)
    : m_location(std::move(location))
{
    const std::string path = QFile::encodeName(m_location).toStdString();
    struct stat info { };
    if (m_location.isEmpty() || ::stat(path.c_str(), &info) != 0) {
        throw AutomationError(QStringLiteral("The address book \"%1\" does not exist.").arg(m_location));
    }
    const bool readable
        = S_ISDIR(info.st_mode) ? ::access(path.c_str(), R_OK | X_OK) == 0 : ::access(path.c_str(), R_OK) == 0;
    if (!readable) {
        throw AutomationError(
            QStringLiteral("The address book \"%1\" cannot be read: %2").arg(m_location, systemError(errno)));
    }
}

std::unique_ptr<OutlookNamespace> ContactStoreApplication::getNamespace(const QString &type)
{
    if (m_quit)
        throw AutomationError(QStringLiteral("The address book has been closed."));
    if (type.compare(QLatin1String("MAPI"), Qt::CaseInsensitive) != 0)
        throw AutomationError(QStringLiteral("The address book has no namespace \"%1\".").arg(type));
    return std::make_unique<ContactsNamespace>(m_location);
}

void ContactStoreApplication::quit()
{
    m_quit = true;
}

void registerContactStore(AutomationFactory &automation)
{
    automation.registerClass(QStringLiteral("Outlook.Application"),
        [] { return std::make_unique<ContactStoreApplication>(contactStoreLocation()); });
}

} // namespace quarrelby
