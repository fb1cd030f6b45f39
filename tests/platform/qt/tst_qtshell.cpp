// The product's shell on real Qt widgets: where its message boxes open.

#include "platform/qt/QtShell.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
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
        QString lines;
        for (int k = 1; k <= 1000; ++k)
            lines += QStringLiteral("The contact file \"/home/ann/missing-%1.vcf\" could not be read\n").arg(k);
        QTest::newRow("short") << QStringLiteral("A short text\nin two lines") << false;
        QTest::newRow("1,000 lines") << lines << true;
        QTest::newRow("one long line") << QString(100000, u'x') << true;
    }

    void messageBoxFitsTheScreen()
    {
        QFETCH(QString, text);
        QFETCH(bool, cut);
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
        QVERIFY(box.text.endsWith(QStringLiteral("\n…\nThe whole text is under \"Show Details...\".")));
        const QString shown = box.text.section(QStringLiteral("\n…\n"), 0, 0);
        QVERIFY(shown.size() > 20);
        QVERIFY(text.startsWith(shown));
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
