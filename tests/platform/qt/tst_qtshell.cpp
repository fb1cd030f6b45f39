// The product's shell on real Qt widgets: where its message boxes open.

#include "core/ErrorReport.h"
#include "platform/qt/QtShell.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFile>
#include <QMessageBox>
#include <QProcess>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using namespace quarrelby;

namespace {

const QString kAdvice = QStringLiteral("Error 6631. A normal instance of Outlook could not be created.\r\n\r\n1. "
                                       "Please make sure Outlook is installed on this computer.");

struct ShownBox {
    QRect geometry; // where it stood when it was shown
    QRect button; // its OK button, on the screen
    QString text;
    QString detailedText;
};

// Shows a box through the shell and returns what it was like when shown.
ShownBox showBox(QtShell &shell, const QString &text = kAdvice)
{
    ShownBox seen;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box || !box->isVisible())
            return;
        seen.geometry = box->frameGeometry();
        const QWidget *ok = box->button(QMessageBox::Ok);
        seen.button = QRect(ok->mapToGlobal(QPoint(0, 0)), ok->size());
        seen.text = box->text();
        seen.detailedText = box->detailedText();
        box->accept();
    });
    poll.start(10);
    shell.message(text);
    return seen;
}

} // namespace

class TestQtShell : public QObject {
    Q_OBJECT

private slots:
    void messageBoxPlacement_data()
    {
        QTest::addColumn<bool>("windowShown");
        QTest::newRow("before the window is shown") << false;
        QTest::newRow("over the shown window") << true;
    }

    // Before the window is on screen a box is centred on the screen; once it
    // is, the box stands over the window, wherever the window is.
    void messageBoxPlacement()
    {
        QFETCH(bool, windowShown);
        QWidget window;
        window.setFixedSize(704, 465);
        window.move(0, 0);
        QtShell shell;
        shell.setMainWindow(&window);
        if (windowShown) {
            window.show();
            QVERIFY(QTest::qWaitForWindowExposed(&window));
        }

        const QRect box = showBox(shell).geometry;
        QVERIFY(box.isValid());
        const QRect screen = window.screen()->availableGeometry();
        QVERIFY2(screen.contains(box), "the box is off the screen");
        if (!windowShown) {
            QVERIFY2((box.center() - screen.center()).manhattanLength() <= 2,
                qPrintable(QStringLiteral("box centred at (%1, %2), screen at (%3, %4)")
                               .arg(box.center().x())
                               .arg(box.center().y())
                               .arg(screen.center().x())
                               .arg(screen.center().y())));
        } else {
            QVERIFY(window.frameGeometry().contains(box.center()));
            QVERIFY((box.center() - screen.center()).manhattanLength() > 40);
        }
    }

    // A text taller than the screen shows what fits, the whole of it under
    // the details button, and the button on the screen; a short text is
    // shown as it is.
    void messageBoxFitsTheScreen_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("cut");
        QTest::addColumn<QString>("lastLines"); // kept when it is cut
        QString lines;
        for (int k = 1; k <= 1000; ++k)
            lines += QStringLiteral("The contact file \"/home/ann/missing-%1.vcf\" could not be read\n").arg(k);
        QTest::newRow("short") << QStringLiteral("A short text\nin two lines") << false << QString();
        QTest::newRow("1,000 lines") << lines << true
                                     << QStringLiteral("The contact file \"/home/ann/missing-999.vcf\" could not be "
                                                       "read\nThe contact file \"/home/ann/missing-1000.vcf\" could "
                                                       "not be read\n");
        QTest::newRow("one long line") << QString(100000, u'x') << true << QString();
        // Where it happened and whom to send a screenshot are what the
        // screenshot must show, however long the names it gives.
        QString files = QStringLiteral("7 address books or contact files in a row could not be read. The first 5:");
        for (int k = 1; k <= 5; ++k)
            files += QStringLiteral("\r\nThe address book \"/home/ann/.local/share/contacts/%1/%2.vcf\" cannot be "
                                    "read: it is not a vCard file (no BEGIN:VCARD line at its start).")
                         .arg(QString(60, QLatin1Char('f')), QString(150, QLatin1Char('x')));
        QString report = errorReportText(QStringLiteral("Form1.GetAllContactsOutlook"), 104, files);
        report.replace(QLatin1String("\r\n"), QLatin1String("\n")).replace(QLatin1Char('\r'), QLatin1Char('\n'));
        QTest::newRow("an error report naming five files") << report << true << report.section(QLatin1Char('\n'), -3);
    }

    void messageBoxFitsTheScreen()
    {
        QFETCH(QString, text);
        QFETCH(bool, cut);
        QFETCH(QString, lastLines);
        QWidget window;
        QtShell shell;
        shell.setMainWindow(&window);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));

        const ShownBox box = showBox(shell, text);
        const QRect screen = window.screen()->availableGeometry();
        QVERIFY2(screen.contains(box.geometry),
            qPrintable(QStringLiteral("box %1 px high on a screen %2 px high")
                           .arg(box.geometry.height())
                           .arg(screen.height())));
        QVERIFY(screen.contains(box.button));
        if (!cut) {
            QCOMPARE(box.text, text);
            QCOMPARE(box.detailedText, QString());
            return;
        }
        QCOMPARE(box.detailedText, text);
        const QString mark = QStringLiteral("\n… (the whole text is under \"Show Details...\")\n");
        QVERIFY2(box.text.contains(mark), qPrintable(box.text));
        const QString shown = box.text.section(mark, 0, 0);
        QVERIFY(shown.size() > 20);
        QVERIFY(text.startsWith(shown));
        QCOMPARE(box.text.section(mark, 1), lastLines);
    }

    // The same on the smallest screen a user has, 640 x 480, where an error
    // report of five long file names did not show its last lines: the test
    // again, in a process of its own on such a screen.
    void messageBoxFitsASmallScreen()
    {
        if (qEnvironmentVariableIsSet("QUARRELBY_SMALL_SCREEN"))
            QSKIP("this is that process");
        QTemporaryDir folder;
        QFile screens(folder.filePath(QStringLiteral("screens.json")));
        QVERIFY(screens.open(QIODevice::WriteOnly));
        screens.write(R"({"screens": [{"name": "small", "x": 0, "y": 0, "width": 640, "height": 480,
                                       "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}]})");
        screens.close();
        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QUARRELBY_SMALL_SCREEN"), QStringLiteral("1"));
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen:configfile=") + screens.fileName());
        child.setProcessEnvironment(env);
        child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("messageBoxFitsTheScreen")});
        QVERIFY(child.waitForFinished(120000));
        QVERIFY2(child.exitCode() == 0, child.readAllStandardOutput().constData());
    }
};

int main(int argc, char *argv[])
{
    QTemporaryDir runtime;
    qputenv("XDG_RUNTIME_DIR", runtime.path().toLocal8Bit());
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    TestQtShell test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_qtshell.moc"
