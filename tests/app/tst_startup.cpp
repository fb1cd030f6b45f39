// Start-up of the main window with and without its optional files
// in a temporary program folder, the title rule, the home page draw and the
// refusal to run without a contact store.

#include "Golden.h"
#include "TestWindow.h"
#include "app/PointerFeedback.h"
#include "app/ResultView.h"
#include "app/Startup.h"

#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QGroupBox>
#include <QHeaderView>
#include <QPushButton>
#include <QTest>

using namespace quarrelby;

namespace {

const QString kReportTail = QStringLiteral("\r\rPlease email screenshot of this message to support@quarrelby.org");

QByteArray sourceFile(const char *relative)
{
    QFile file(QStringLiteral(QUARRELBY_SOURCE_DIR "/") + QLatin1String(relative));
    if (!file.open(QIODevice::ReadOnly))
        qFatal("cannot read %s", relative);
    return file.readAll();
}

QColor background(QWidget *widget)
{
    return widget->palette().color(widget->backgroundRole());
}

} // namespace

class TestStartup : public QObject {
    Q_OBJECT

private slots:
    void titleRule_data();
    void titleRule();

    void startupFiles_data();
    void startupFiles();
    void shippedCursor();

    void homePage_data();
    void homePage();
    void homePageThatCannotOpen();

    void contactStoreMissing();
};

void TestStartup::titleRule_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("title");

    QTest::newRow("one word") << "Quarrelby"
                              << "Quarrelby";
    QTest::newRow("31 characters lose one word") << "Blue Harbor Contact Export Tool"
                                                 << "Blue Harbor Contact Export";
    QTest::newRow("54 characters lose four words") << "Blue Harbor Contact Export Tool For Every Desk And Day"
                                                   << "Blue Harbor Contact Export Tool For";
    QTest::newRow("a long word stops the cutting") << "Supercalifragilisticexpialidocious-Extended Tool"
                                                   << "Supercalifragilisticexpialidocious-Extended";
    QTest::newRow("trailing space") << "Quarrelby "
                                    << "Quarrelby";
    QTest::newRow("empty") << ""
                           << "";
}

void TestStartup::titleRule()
{
    QFETCH(QString, name);
    QFETCH(QString, title);
    QCOMPARE(applicationTitleFor(name), title);
}

void TestStartup::startupFiles_data()
{
    QTest::addColumn<QByteArray>("skin");
    QTest::addColumn<QByteArray>("cursor");
    QTest::addColumn<QStringList>("reports");
    QTest::addColumn<bool>("skinned");
    QTest::addColumn<bool>("sheetApplied");
    QTest::addColumn<bool>("mouseIcon");

    const QByteArray none;
    const QByteArray sampleSkin = sourceFile("samples/skin/x/o.cjs");
    const QByteArray cursor = sourceFile("data/program/HAND-M.CUR");
    const QString broken = QStringLiteral("in QuarrelbyApp2021/08/31.Form1.Form_Load at line %1");

    QTest::newRow("neither file") << none << none << QStringList {} << false << false << false;
    QTest::newRow("cursor file") << none << cursor << QStringList {} << false << false << true;
    QTest::newRow("damaged cursor file") << none << QByteArray("MZ not a cursor")
                                         << QStringList {QStringLiteral("Invalid picture\r\n") + broken.arg(106)
                                                + kReportTail}
                                         << false << false << false;
    // A skin that leaves the backgrounds alone shows the colour step.
    const QByteArray plainSkin("QTreeView { color: #16324f; }");
    QTest::newRow("skin") << plainSkin << none << QStringList {} << true << true << false;
    QTest::newRow("both files") << plainSkin << cursor << QStringList {} << true << true << true;
    QTest::newRow("sample skin") << sampleSkin << none << QStringList {} << true << true << false;
    QTest::newRow("skin that does not parse")
        << QByteArray("QPushButton { color: red") << cursor
        << QStringList {QStringLiteral("The skin file is not a style sheet\r\n") + broken.arg(100) + kReportTail}
        << true << false << true;
    QTest::newRow("skin that is not text")
        << QByteArray("\xff\xfe\x00Q") << none
        << QStringList {QStringLiteral("The skin file is not a style sheet\r\n") + broken.arg(100) + kReportTail}
        << true << false << false;
}

void TestStartup::startupFiles()
{
    QFETCH(QByteArray, skin);
    QFETCH(QByteArray, cursor);
    QFETCH(QStringList, reports);
    QFETCH(bool, skinned);
    QFETCH(bool, sheetApplied);
    QFETCH(bool, mouseIcon);

    test::TestWindow t;
    if (!skin.isNull())
        t.writeProgramFile(QStringLiteral("x/o.cjs"), skin);
    if (!cursor.isNull())
        t.writeProgramFile(QStringLiteral("HAND-M.CUR"), cursor);
    t.shell.setApplicationTitle(QStringLiteral("before start-up"));
    MainWindow &window = t.load();

    QCOMPARE(t.shell.texts(), reports);
    for (const MessageRequest &report : t.shell.messages) {
        QCOMPARE(report.caption, QStringLiteral("Application Error"));
        QCOMPARE(report.icon, MessageIcon::Exclamation);
    }

    // Whatever failed, the rest of start-up ran.
    QCOMPARE(window.windowTitle(), QStringLiteral("Quarrelby"));
    QCOMPARE(t.shell.applicationTitle(), QStringLiteral("Quarrelby"));
    const QList<QSize> sizes = window.windowIcon().availableSizes();
    for (int size : {32, 48, 128, 256})
        QVERIFY2(sizes.contains(QSize(size, size)), qPrintable(QString::number(size)));
    QCOMPARE(window.list().headerCount(), 33);
    for (int k = 0; k < 33; ++k) {
        QCOMPARE(window.list().columnText(k), window.fieldBox(k)->text());
        QCOMPARE(window.listView()->header()->sectionSize(k), 133); // 2000 twips
        QVERIFY(!window.list().columnHidden(k));
    }
    QCOMPARE(window.list().itemCount(), 0);
    QCOMPARE(window.pointer().shape(), PointerFeedback::Shape::Arrow);
    QVERIFY(!window.isVisible());
    QVERIFY(t.shell.started.isEmpty());
    QCOMPARE(window.pointer().handPicture().has_value(), mouseIcon);
    if (mouseIcon)
        QCOMPARE(window.pointer().handPicture()->hotSpot(), QPoint(10, 1));

    // The skin step: the window, its frames and check boxes take the
    // button-face colour; buttons and the list keep theirs.
    const QColor expected = skinned ? QApplication::palette().color(QPalette::Button) : QColor(Qt::white);
    QCOMPARE(window.styleSheet(), sheetApplied ? QString::fromUtf8(skin) : QString());
    if (QTest::currentDataTag() == QLatin1String("sample skin"))
        return; // its own colours take over from here
    QCOMPARE(background(&window), expected);
    for (QGroupBox *frame : {window.infoFrame(), window.phoneFrame()})
        QCOMPARE(background(frame), expected);
    for (int n = 0; n < 33; ++n)
        QCOMPARE(background(window.fieldBox(n)), expected);
    for (QPushButton *button : window.findChildren<QPushButton *>())
        QCOMPARE(background(button), QColor(Qt::white));
    QCOMPARE(window.listView()->palette().color(QPalette::Base), QApplication::palette().color(QPalette::Base));
}

void TestStartup::shippedCursor()
{
    const QByteArray bytes = sourceFile("data/program/HAND-M.CUR");
    QCOMPARE(bytes.mid(0, 4), QByteArray("\x00\x00\x02\x00", 4)); // a cursor, not an icon
    const QCursor cursor = loadCursorFile(QStringLiteral(QUARRELBY_SOURCE_DIR "/data/program/HAND-M.CUR"));
    QCOMPARE(cursor.pixmap().size(), QSize(32, 32));
    QCOMPARE(cursor.hotSpot(), QPoint(10, 1));
    // The tip of the finger is drawn where the hotspot is.
    const QImage image = cursor.pixmap().toImage();
    QVERIFY(qAlpha(image.pixel(10, 2)) > 0);
}

void TestStartup::homePage_data()
{
    QTest::addColumn<double>("draw");
    QTest::addColumn<bool>("opens");

    QTest::newRow("0 gives 1") << 0.0 << false;
    QTest::newRow("0.059 gives 6") << 0.059 << false;
    QTest::newRow("0.06 gives 7") << 0.06 << true;
    QTest::newRow("0.0699 gives 7") << 0.0699 << true;
    QTest::newRow("0.07 gives 8") << 0.07 << false;
    QTest::newRow("0.9999 gives 100") << 0.9999 << false;
}

void TestStartup::homePage()
{
    QFETCH(double, draw);
    QFETCH(bool, opens);
    test::TestWindow t;
    t.load(draw);
    const QList<QStringList> expected = opens
        ? QList<QStringList> {{QStringLiteral("xdg-open"), QStringLiteral("https://quarrelby.org/")}}
        : QList<QStringList> {};
    QCOMPARE(t.shell.started, expected);
    QVERIFY(t.shell.messages.isEmpty());
}

void TestStartup::homePageThatCannotOpen()
{
    test::TestWindow t;
    t.shell.startSucceeds = false;
    MainWindow &window = t.load(0.065);
    QCOMPARE(t.shell.texts(),
        QStringList {QStringLiteral("File not found: xdg-open\r\nin QuarrelbyApp2021/08/31.Form1.Form_Load at line 108")
            + kReportTail});
    QCOMPARE(window.windowTitle(), QStringLiteral("Quarrelby"));
    QCOMPARE(window.list().headerCount(), 33);
}

void TestStartup::contactStoreMissing()
{
    test::TestWindow t;
    t.books.failOpen = true;
    bool hookRan = false;
    t.shell.addEndHook([&] { hookRan = true; });
    MainWindow &window = t.create();
    QVERIFY_THROWS_EXCEPTION(test::ProgramEnded, loadMainWindow(window, [] { return 0.5; }));
    QCOMPARE(t.shell.endCount, 1);
    QVERIFY(hookRan);
    QVERIFY(!window.isVisible());
    QCOMPARE(t.shell.messages.size(), 1);
    const MessageRequest &message = t.shell.messages.constFirst();
    QUARRELBY_COMPARE_GOLDEN(message.text.toUtf8(), QStringLiteral("app/no-address-book.txt"));
    QCOMPARE(message.caption, QStringLiteral("Quarrelby"));
    QCOMPARE(message.buttons, MessageButtons::Ok);
    QCOMPARE(message.icon, MessageIcon::None);
    // The check came last: the columns were made before it.
    QCOMPARE(window.list().headerCount(), 33);
}

QTEST_MAIN(TestStartup)
#include "tst_startup.moc"
