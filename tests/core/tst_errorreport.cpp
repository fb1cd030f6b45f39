#include "ScriptedShell.h"
#include "core/Steps.h"

#include <QTest>

using namespace quarrelby;
using quarrelby::test::ScriptedShell;

class TestErrorReport : public QObject {
    Q_OBJECT

private slots:
    void reportTextIsExact()
    {
        const QString text = errorReportText(QStringLiteral("Form1.Form_Load"), 106, QStringLiteral("Invalid picture"));
        QCOMPARE(text,
            QStringLiteral("Invalid picture\r\nin QuarrelbyApp2021/08/31.Form1.Form_Load at line 106\r\r"
                           "Please email screenshot of this message to support@quarrelby.org"));
    }

    void reportBoxIsApplicationErrorWithExclamation()
    {
        ScriptedShell shell;
        shell.setApplicationTitle(QStringLiteral("Something else"));
        ErrorReport(shell, QStringLiteral("Form1.PushButton7_Click"), 100, QStringLiteral("x"));
        QCOMPARE(shell.messages.size(), 1);
        const MessageRequest &box = shell.messages.first();
        QCOMPARE(box.caption, QStringLiteral("Application Error"));
        QCOMPARE(box.icon, MessageIcon::Exclamation);
        QCOMPARE(box.buttons, MessageButtons::Ok);
    }

    void stepsReportEachFailureInOrderAndGoOn()
    {
        ScriptedShell shell;
        Steps steps(shell, "Form1.Test");
        QStringList ran;
        QVERIFY(steps(100, [&] { ran << "100"; }));
        QVERIFY(!steps(102, [&] { throw Failure(QStringLiteral("first")); }));
        QVERIFY(steps(104, [&] { ran << "104"; }));
        QVERIFY(!steps(106, [&] { throw Failure(QStringLiteral("second")); }));
        // Two statements counted under one number report the same number.
        QVERIFY(!steps(106, [&] { throw std::runtime_error("third"); }));
        QVERIFY(steps(108, [&] { ran << "108"; }));

        QCOMPARE(ran, (QStringList {"100", "104", "108"}));
        QCOMPARE(shell.messages.size(), 3);
        QCOMPARE(shell.messages[0].text.section(QLatin1Char('\r'), 0, 0), QStringLiteral("first"));
        QVERIFY(shell.messages[0].text.contains(QLatin1String("Form1.Test at line 102\r\r")));
        QVERIFY(shell.messages[1].text.startsWith(QLatin1String("second\r\n")));
        QVERIFY(shell.messages[1].text.contains(QLatin1String("at line 106\r\r")));
        QVERIFY(shell.messages[2].text.startsWith(QLatin1String("third\r\n")));
        QVERIFY(shell.messages[2].text.contains(QLatin1String("at line 106\r\r")));
    }

    void failingTestTakesTheThenBranch()
    {
        ScriptedShell shell;
        Steps steps(shell, "Form1.Test");
        QVERIFY(steps.holdsOrFailed(112, []() -> bool { throw Failure(QStringLiteral("no")); }));
        QVERIFY(!steps.holdsOrFailed(112, [] { return false; }));
        QVERIFY(steps.holdsOrFailed(112, [] { return true; }));
        QCOMPARE(shell.messages.size(), 1);
    }

    void calleeFailureIsReportedUnderTheCallersLine()
    {
        ScriptedShell shell;
        Steps steps(shell, "Form1.Caller");
        bool restOfCalleeRan = false;
        auto callee = [&] {
            throw Failure(QStringLiteral("deep"));
            restOfCalleeRan = true; // skipped: the callee has no steps of its own
        };
        bool afterCall = false;
        steps(128, callee);
        steps(130, [&] { afterCall = true; });
        QVERIFY(!restOfCalleeRan);
        QVERIFY(afterCall);
        QCOMPARE(shell.messages.size(), 1);
        QVERIFY(shell.messages[0].text.contains(QLatin1String("Form1.Caller at line 128")));
    }
};

QTEST_GUILESS_MAIN(TestErrorReport)
#include "tst_errorreport.moc"
