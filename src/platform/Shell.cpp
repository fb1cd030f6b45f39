#include "platform/Shell.h"

namespace quarrelby {

void DialogService::message(const QString &text)
{
    messageBox({text, m_applicationTitle, MessageButtons::Ok, MessageIcon::None, MessageAnswer::Ok});
}

MessageAnswer DialogService::question(const QString &text)
{
    return messageBox({text, m_applicationTitle, MessageButtons::YesNo, MessageIcon::None, MessageAnswer::Yes});
}

int SystemService::addEndHook(std::function<void()> hook)
{
    const int handle = ++m_nextEndHook;
    m_endHooks.emplace(handle, std::move(hook));
    return handle;
}

void SystemService::runEndHooks()
{
    auto hooks = std::move(m_endHooks);
    m_endHooks.clear();
    for (auto &[handle, hook] : hooks) {
        try {
            hook();
        } catch (...) {
        }
    }
}

} // namespace quarrelby
