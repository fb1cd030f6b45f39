// The Help button's advice about Outlook's access prompt.

#include "Golden.h"
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
    QUARRELBY_COMPARE_GOLDEN(message.text.toUtf8(), QStringLiteral("outlook/help-advice.txt"));
    QCOMPARE(message.caption, QStringLiteral("Blue Harbor"));
    QCOMPARE(message.buttons, MessageButtons::Ok);
    QCOMPARE(message.icon, MessageIcon::None);
    QCOMPARE(helpText(), message.text);
}

QTEST_GUILESS_MAIN(TestHelp)
#include "tst_help.moc"
