#include "platform/Automation.h"

namespace quarrelby {

void AutomationFactory::registerClass(const QString &progId, Creator creator)
{
    m_classes.insert(progId.toLower(), std::move(creator));
}

void AutomationFactory::unregisterClass(const QString &progId)
{
    m_classes.remove(progId.toLower());
}

std::unique_ptr<AutomationObject> AutomationFactory::createObject(const QString &progId) const
{
    // Programmatic identifiers are not case sensitive.
    const auto it = m_classes.constFind(progId.toLower());
    if (it == m_classes.cend() || !*it)
        throw Failure(QStringLiteral("ActiveX component can't create object"));
    auto object = (*it)();
    if (!object)
        throw Failure(QStringLiteral("ActiveX component can't create object"));
    return object;
}

} // namespace quarrelby
