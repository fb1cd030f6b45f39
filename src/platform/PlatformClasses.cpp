#include "platform/PlatformClasses.h"

#include "platform/Automation.h"
#include "platform/FileSystemObject.h"
#include "platform/Shell.h"

namespace quarrelby {

void registerPlatformClasses(AutomationFactory &automation, Shell &shell)
{
    (void)automation;
    (void)shell;
    automation.registerClass(QStringLiteral("Scripting.FileSystemObject"),
        [&shell] { return std::make_unique<FileSystemObject>(shell); });
}

} // namespace quarrelby
