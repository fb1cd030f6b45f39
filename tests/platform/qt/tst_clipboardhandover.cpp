// The clipboard after the program has ended, on a real X server (Xvfb): the
// real window and shell copy the list and the window is closed; a clipboard
// manager that takes the text only when it is handed over must then hold it,
// and another process (xclip) must read it back.

#include "ExportFixture.h"
#include "RecordingWorkbook.h"
#include "ScriptedBooks.h"
#include "actions/CopyToClipboard.h"
#include "app/MainWindow.h"
#include "platform/qt/QtShell.h"

#include <QApplication>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <cstdlib>

using namespace quarrelby;

namespace {

const QString kCopied = QStringLiteral("Ann Lee          \t555-0101\r\nBj\u00f6rk            \t\r\n");

// Child mode: the real window over the real shell copies two ticked rows,
// then the window is closed ("close") or the process ends without any
// hand-over ("exit", the way the program ended before it handed over).
int copyAndEnd(int argc, char **argv, const QByteArray &ending)
{
    QApplication app(argc, argv);
    QtShell shell;
    test::ScriptedBooks books;
    test::RecordingSpreadsheets spreadsheets;
    MainWindow window(shell, books, spreadsheets);
    shell.setMainWindow(&window);
    window.show();
    test::fillList(window.list(), {QStringLiteral("Name"), QStringLiteral("Phone")},
        {{QStringLiteral("x"), QStringLiteral("Ann Lee"), QStringLiteral("555-0101")},
            {QString(), QStringLiteral("Christopher Smith"), QStringLiteral("12")},
            {QStringLiteral("x"), QStringLiteral("Bj\u00f6rk"), QString()}});
    QTimer::singleShot(0, &window, [&] {
        if (copyListToClipboard(shell, window.list()) != CopyOutcome::Copied)
            std::_Exit(4);
        if (ending == "exit")
            std::_Exit(0);
        window.close();
    });
    QApplication::exec();
    return 3;
}

} // namespace

class TestClipboardHandover : public QObject {
    Q_OBJECT

    QProcess m_server;
    QString m_display;
    QTemporaryDir m_runtime;

    [[nodiscard]] QProcessEnvironment environment() const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DISPLAY"), m_display);
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_runtime.path());
        env.remove(QStringLiteral("WAYLAND_DISPLAY"));
        return env;
    }

private slots:
    void initTestCase()
    {
        if (!QFileInfo::exists(QStringLiteral(QUARRELBY_CLIPBOARD_MANAGER)))
            QSKIP("the test clipboard manager was not built (no Xlib headers)");
        for (const char *tool : {"Xvfb", "xclip"}) {
            if (QStandardPaths::findExecutable(QLatin1String(tool)).isEmpty())
                QSKIP(qPrintable(
                    QStringLiteral("%1 is not installed (scripts/bootstrap.sh installs it)").arg(QLatin1String(tool))));
        }
        // Xvfb picks a free display and writes its number to standard output;
        // it must not reset when its last client (the manager) goes.
        m_server.start(QStringLiteral("Xvfb"),
            {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-nolisten"), QStringLiteral("tcp"),
                QStringLiteral("-noreset")});
        QVERIFY(m_server.waitForStarted());
        while (!m_server.canReadLine() && m_server.waitForReadyRead(10000)) { }
        const QByteArray number = m_server.readLine().trimmed();
        QVERIFY2(!number.isEmpty(), "Xvfb did not start");
        m_display = QLatin1Char(':') + QString::fromLatin1(number);
    }

    void cleanupTestCase()
    {
        if (m_server.state() != QProcess::NotRunning) {
            m_server.terminate();
            m_server.waitForFinished(5000);
        }
    }

    void textOutlivesTheProgram_data()
    {
        QTest::addColumn<QString>("manager");
        QTest::addColumn<QByteArray>("ending");
        QTest::addColumn<QString>("pasted");

        QTest::newRow("closing hands the text over") << "takes on hand-over" << QByteArray("close") << kCopied;
        // Shows that the manager really waits for the hand-over.
        QTest::newRow("ending without a hand-over loses it") << "takes on hand-over" << QByteArray("exit") << QString();
        QTest::newRow("no manager: the program just ends") << "none" << QByteArray("close") << QString();
        QTest::newRow("a manager that never answers: the program still ends")
            << "silent" << QByteArray("close") << QString();
    }

    void textOutlivesTheProgram()
    {
        QFETCH(QString, manager);
        QFETCH(QByteArray, ending);
        QFETCH(QString, pasted);

        QProcess managerProcess;
        managerProcess.setProcessEnvironment(environment());
        managerProcess.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        if (manager != QLatin1String("none")) {
            QStringList arguments;
            if (manager == QLatin1String("silent"))
                arguments << QStringLiteral("--silent");
            managerProcess.start(QStringLiteral(QUARRELBY_CLIPBOARD_MANAGER), arguments);
            while (!managerProcess.canReadLine() && managerProcess.waitForReadyRead(10000)) { }
            QCOMPARE(managerProcess.readLine(), QByteArray("ready\n"));
        }

        QProcess program;
        QProcessEnvironment env = environment();
        env.insert(QStringLiteral("QUARRELBY_TEST_HANDOVER"), QString::fromLatin1(ending));
        program.setProcessEnvironment(env);
        program.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        program.start(QCoreApplication::applicationFilePath(), {});
        QVERIFY(program.waitForFinished(60000));
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.exitCode(), 0);

        QProcess xclip;
        xclip.setProcessEnvironment(environment());
        xclip.start(
            QStringLiteral("xclip"), {QStringLiteral("-o"), QStringLiteral("-selection"), QStringLiteral("clipboard")});
        QVERIFY(xclip.waitForFinished(30000));
        QCOMPARE(QString::fromUtf8(xclip.readAllStandardOutput()), pasted);

        if (managerProcess.state() != QProcess::NotRunning) {
            managerProcess.kill();
            managerProcess.waitForFinished(5000);
        }
    }
};

int main(int argc, char *argv[])
{
    const QByteArray ending = qgetenv("QUARRELBY_TEST_HANDOVER");
    if (!ending.isEmpty())
        return copyAndEnd(argc, argv, ending);
    QCoreApplication app(argc, argv);
    TestClipboardHandover test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_clipboardhandover.moc"
