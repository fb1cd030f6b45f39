#include "ScriptedOutlook.h"

namespace quarrelby::test {

namespace {

class Item : public OutlookItem {
public:
    Item(const ScriptedItem &item, OutlookLog &log)
        : m_item(item)
        , m_log(log)
    {
    }
    bool isContactItem() override
    {
        if (m_item.failTypeTest)
            throw AutomationError(QStringLiteral("Type test failed"));
        return m_item.contact;
    }
    QVariant property(ContactProperty id) override
    {
        ++m_log.propertyReads;
        if (m_item.failingProperties.contains(id))
            throw AutomationError(QStringLiteral("Cannot read property %1").arg(contactPropertyName(id)));
        return m_item.properties.value(id, QString());
    }

private:
    const ScriptedItem &m_item;
    OutlookLog &m_log;
};

class Items : public OutlookItems {
public:
    explicit Items(ScriptedOutlookData &data)
        : m_data(data)
    {
    }
    std::unique_ptr<OutlookItem> next() override
    {
        if (m_next >= m_data.items.size())
            return nullptr;
        const ScriptedItem &item = m_data.items.at(m_next++);
        if (item.failToRead)
            throw AutomationError(QStringLiteral("Cannot read item %1").arg(m_next));
        return std::make_unique<Item>(item, m_data.log);
    }

private:
    ScriptedOutlookData &m_data;
    qsizetype m_next = 0;
};

class Folder : public OutlookFolder {
public:
    explicit Folder(ScriptedOutlookData &data)
        : m_data(data)
    {
    }
    std::unique_ptr<OutlookItems> items() override
    {
        if (m_data.failItems)
            throw AutomationError(QStringLiteral("Items failed"));
        return std::make_unique<Items>(m_data);
    }

private:
    ScriptedOutlookData &m_data;
};

class Namespace : public OutlookNamespace {
public:
    explicit Namespace(ScriptedOutlookData &data)
        : m_data(data)
    {
    }
    std::unique_ptr<OutlookFolder> getDefaultFolder(int folderType) override
    {
        if (m_data.failFolder || folderType != olFolderContacts)
            throw AutomationError(QStringLiteral("GetDefaultFolder failed"));
        return std::make_unique<Folder>(m_data);
    }

private:
    ScriptedOutlookData &m_data;
};

class Application : public OutlookApplication {
public:
    explicit Application(ScriptedOutlookData &data)
        : m_data(data)
    {
    }
    std::unique_ptr<OutlookNamespace> getNamespace(const QString &type) override
    {
        if (m_data.failNamespace || type != QLatin1String("MAPI"))
            throw AutomationError(QStringLiteral("GetNamespace failed"));
        return std::make_unique<Namespace>(m_data);
    }
    void quit() override
    {
        ++m_data.log.quits;
        if (m_data.failQuit)
            throw AutomationError(QStringLiteral("Quit failed"));
    }

private:
    ScriptedOutlookData &m_data;
};

} // namespace

void registerScriptedOutlook(AutomationFactory &automation, ScriptedOutlookData &data)
{
    automation.registerClass(QStringLiteral("Outlook.Application"), [&data]() -> std::unique_ptr<AutomationObject> {
        if (data.failCreate)
            throw AutomationError(QStringLiteral("Cannot create Outlook.Application"));
        ++data.log.created;
        return std::make_unique<Application>(data);
    });
}

ScriptedItem fullContact(int n)
{
    ScriptedItem item;
    for (int i = 0; i < kContactPropertyCount; ++i)
        item.properties.insert(ContactProperty(i), QStringLiteral("%1 %2").arg(contactPropertyName(i)).arg(n));
    return item;
}

} // namespace quarrelby::test
