#include "app/PlatformClasses.h"

#include "platform/Automation.h"
#include "platform/contacts/ContactStore.h"
#include "platform/excel/ExcelApplication.h"
#include "platform/qt/SaveFileSystem.h"
#include "platform/Shell.h"

namespace quarrelby {

void registerPlatformClasses(AutomationFactory &automation, Shell &shell)
{
    (void)automation;
    (void)shell;
    registerContactStore(automation);
    automation.registerClass(
        QStringLiteral("Scripting.FileSystemObject"), [&shell] { return std::make_unique<SaveFileSystemObject>(shell); });
    automation.registerClass(QStringLiteral("Excel.Application"), [&shell] { return createExcelApplication(shell); });
}

} // namespace quarrelby
