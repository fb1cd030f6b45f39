#include "app/PlatformClasses.h"

#include "platform/Automation.h"
#include "platform/Shell.h"
#include "platform/contacts/ContactStore.h"
#include "platform/excel/ExcelApplication.h"

namespace quarrelby {

void registerPlatformClasses(AutomationFactory &automation, Shell &shell)
{
    (void)automation;
    (void)shell;
    registerContactStore(automation);
    automation.registerClass(QStringLiteral("Excel.Application"), [&shell] { return createExcelApplication(shell); });
}

} // namespace quarrelby
