#include "actions/ShowHelp.h"

#include "core/ReportNames.h"
#include "core/Steps.h"
#include "platform/Shell.h"

namespace quarrelby {

QString helpText()
{
    return QStringLiteral("If you are getting a query message that says\r\n\r\n"
                          "\"Allow access for x minutes Yes No Help\"\r\n\r\n"
                          "You may want to deactivate it so that my software can work with Outlook for a longer "
                          "period of time.\r\n\r\n"
                          "To deactivate this query message, look for an option resembling:\r\n\r\n"
                          "Outlook > Tools > Trust Center > Allow programmatic access");
}

void showHelp(DialogService &shell)
{
    Steps steps(shell, reports::showHelp::place);
    steps(reports::showHelp::show, [&] { shell.message(helpText()); });
}

} // namespace quarrelby
