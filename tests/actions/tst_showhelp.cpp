// The Help button's advice about Outlook's access prompt.

#include "Golden.h"
#include "ScriptedShell.h"
#include "actions/ShowHelp.h"

#include <QTest>

using namespace quarrelby;

class TestShowHelp : public QObject {
    Q_OBJECT

private slots:
    void adviceByteForByte();
};

void TestShowHelp::adviceByteForByte()
{
    test::ScriptedShell shell;
    shell.setApplicationTitle(QStringLiteral("Blue Harbor"));
    showHelp(shell);
    QCOMPARE(shell.messages.size(), 1);
    const MessageRequest &message = shell.messages.constFirst();
    QUARRELBY_COMPARE_GOLDEN(message.text.toUtf8(), QStringLiteral("actions/help-advice.txt"));
    QCOMPARE(message.caption, QStringLiteral("Blue Harbor"));
    QCOMPARE(message.buttons, MessageButtons::Ok);
    QCOMPARE(message.icon, MessageIcon::None);
    QCOMPARE(helpText(), message.text);
}

QTEST_GUILESS_MAIN(TestShowHelp)
#include "tst_showhelp.moc"
