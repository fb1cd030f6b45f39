#pragma once

#include "platform/Failure.h"

#include <QHash>
#include <QString>

#include <functional>
#include <memory>

namespace quarrelby {

// Base of every object made by programmatic identifier.
class AutomationObject {
public:
    virtual ~AutomationObject() = default;
};

// Creates automation objects by programmatic identifier, the way late binding
// does. The product registers the real stand-ins; tests register scripted ones.
class AutomationFactory {
public:
    using Creator = std::function<std::unique_ptr<AutomationObject>()>;

    void registerClass(const QString &progId, Creator creator);
    void unregisterClass(const QString &progId);

    // Throws Failure when nothing is registered under progId or the
    // creator itself fails.
    [[nodiscard]] std::unique_ptr<AutomationObject> createObject(const QString &progId) const;

    template <class T> [[nodiscard]] std::unique_ptr<T> create(const QString &progId) const
    {
        auto object = createObject(progId);
        auto *typed = dynamic_cast<T *>(object.get());
        if (!typed)
            throw Failure(QStringLiteral("Object doesn't support this property or method"));
        object.release();
        return std::unique_ptr<T>(typed);
    }

private:
    QHash<QString, Creator> m_classes;
};

} // namespace quarrelby
