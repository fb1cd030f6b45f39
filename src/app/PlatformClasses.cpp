#include "app/PlatformClasses.h"

#include "platform/Automation.h"
#include "platform/Shell.h"
#include "platform/excel/ExcelApplication.h"

namespace quarrelby {

void registerPlatformClasses(AutomationFactory &automation, Shell &shell)
{
    (void)automation;
    (void)shell;
    automation.registerClass(QStringLiteral("Excel.Application"), [&shell] { return createExcelApplication(shell); });
}

} // namespace quarrelby
