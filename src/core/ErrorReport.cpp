#include "core/ErrorReport.h"

#include "platform/Shell.h"

namespace quarrelby {

QString errorReportText(const QString &location, int line, const QString &description)
{
    return description + QLatin1String("\r\nin QuarrelbyApp2021/08/31.") + location + QLatin1String(" at line ")
        + QString::number(line) + QLatin1String("\r\rPlease email screenshot of this message to ")
        + QLatin1String(kSupportAddress);
}

void ErrorReport(DialogService &shell, const QString &location, int line, const QString &description)
{
    shell.messageBox({errorReportText(location, line, description), QStringLiteral("Application Error"),
        MessageButtons::Ok, MessageIcon::Exclamation, MessageAnswer::Ok});
}

} // namespace quarrelby
