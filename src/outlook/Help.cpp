#include "outlook/Help.h"

#include "core/ErrorTrap.h"
#include "platform/Shell.h"

namespace quarrelby {

namespace {
const QString kQuery = QStringLiteral("If you are getting a query message that says");
const QString kPrompt = QStringLiteral("\"Allow access for x minutes Yes No Help\"");
const QString kDeactivate = QStringLiteral(
    "You may want to deactivate it so that my software can work with Outlook for a longer period of time.");
const QString kLookFor = QStringLiteral("To deactivate this query message, look for an option resembling:");
const QString kMenuPath = QStringLiteral("Outlook > Tools > Trust Center > Allow programmatic access");
const QString kSeparator = QStringLiteral("\r\n\r\n");

QString joined(const QString (&texts)[5], const QString &separator)
{
    return texts[0] + separator + texts[1] + separator + texts[2] + separator + texts[3] + separator + texts[4];
}
} // namespace

QString helpText()
{
    const QString texts[5] = {kQuery, kPrompt, kDeactivate, kLookFor, kMenuPath};
    return joined(texts, kSeparator);
}

void PushButton13_Click(DialogService &shell)
{
    ErrorTrap trap(shell, QStringLiteral("Form1.PushButton13_Click"));
    QString texts[5];
    QString separator;
    trap(100, [&] { texts[0] = kQuery; });
    trap(102, [&] { texts[1] = kPrompt; });
    trap(104, [&] { texts[2] = kDeactivate; });
    trap(106, [&] { texts[3] = kLookFor; });
    trap(108, [&] { texts[4] = kMenuPath; });
    trap(110, [&] { separator = kSeparator; });
    trap(112, [&] { shell.message(joined(texts, separator)); });
}

} // namespace quarrelby
