// The Help button's advice about Outlook's access prompt.

#include "ScriptedShell.h"
#include "outlook/Help.h"

#include <QTest>

using namespace quarrelby;

class TestHelp : public QObject {
    Q_OBJECT

private slots:
    void adviceByteForByte();
};

void TestHelp::adviceByteForByte()
{
    test::ScriptedShell shell;
    shell.setApplicationTitle(QStringLiteral("Blue Harbor"));
    PushButton13_Click(shell);
    QCOMPARE(shell.messages.size(), 1);
    const MessageRequest &message = shell.messages.constFirst();
    const QByteArray expected = "If you are getting a query message that says\r\n\r\n"
                                "\"Allow access for x minutes Yes No Help\"\r\n\r\n"
                                "You may want to deactivate it so that my software can work with Outlook for a "
                                "longer period of time.\r\n\r\n"
                                "To deactivate this query message, look for an option resembling:\r\n\r\n"
                                "Outlook > Tools > Trust Center > Allow programmatic access";
    QCOMPARE(message.text.toUtf8(), expected);
    QCOMPARE(message.caption, QStringLiteral("Blue Harbor"));
    QCOMPARE(message.buttons, MessageButtons::Ok);
    QCOMPARE(message.icon, MessageIcon::None);
    QCOMPARE(helpText(), message.text);
}

QTEST_GUILESS_MAIN(TestHelp)
#include "tst_help.moc"
