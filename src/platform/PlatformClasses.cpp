#include "platform/PlatformClasses.h"

#include "platform/Automation.h"
#include "platform/ContactStore.h"
#include "platform/ExcelApplication.h"
#include "platform/FileSystemObject.h"
#include "platform/Shell.h"

namespace quarrelby {

void registerPlatformClasses(AutomationFactory &automation, Shell &shell)
{
    (void)automation;
    (void)shell;
    registerContactStore(automation);
    automation.registerClass(
        QStringLiteral("Scripting.FileSystemObject"), [&shell] { return std::make_unique<FileSystemObject>(shell); });
    automation.registerClass(QStringLiteral("Excel.Application"), [&shell] { return createExcelApplication(shell); });
}

} // namespace quarrelby
