// The product's shell on real Qt widgets: where its message boxes open.

#include "platform/qt/QtShell.h"

#include <QApplication>
#include <QMessageBox>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using namespace quarrelby;

namespace {

// Shows a box through the shell and returns where it stood when it was shown.
QRect shownBoxGeometry(QtShell &shell)
{
    QRect seen;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box || !box->isVisible())
            return;
        seen = box->frameGeometry();
        box->accept();
    });
    poll.start(10);
    shell.message(QStringLiteral("Error 6631. A normal instance of Outlook could not be created.\r\n\r\n1. Please "
                                 "make sure Outlook is installed on this computer."));
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

        const QRect box = shownBoxGeometry(shell);
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
