#include "app/PlatformClasses.h"

#include "platform/Automation.h"
#include "platform/Shell.h"

namespace quarrelby {

void registerPlatformClasses(AutomationFactory &automation, Shell &shell)
{
    (void)automation;
    (void)shell;
}

} // namespace quarrelby
