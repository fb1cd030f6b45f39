// The real main window under the offscreen platform: layout, captions, start
// states, tab order, pointer feedback, the list view and closing.

#include "RecordingWorkbook.h"
#include "TestWindow.h"
#include "app/FormColours.h"
#include "app/PointerFeedback.h"
#include "app/ResultView.h"
#include "app/Startup.h"
#include "platform/contacts/ContactStore.h"
#include "platform/qt/QtShell.h"
#include "platform/qt/SaveFileWriter.h"
#include "platform/workbook/ShownWorkbook.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QHeaderView>
#include <QMenu>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolTip>

#include <optional>

using namespace quarrelby;

namespace {

QRect twips(int left, int top, int width, int height)
{
    return MainWindow::twipsRect(left, top, width, height);
}

QWidget *control(MainWindow &window, const QString &name)
{
    if (name == QLatin1String("Form1"))
        return &window;
    auto *found = window.findChild<QWidget *>(name);
    if (!found)
        qFatal("no control %s", qPrintable(name));
    return found;
}

// Moves the mouse over the middle of a control (or a given point of it).
void hover(QWidget *widget, QPoint at = {})
{
    QTest::mouseMove(widget, at.isNull() ? widget->rect().center() : at);
}

// Child mode: shows the real window with the real shell, starts replacing
// save/contacts.txt through the real file-system object, and closes the
// window from inside a loop that yields like an export does between lines.
// The program must end inside that loop, leaving the old file as it was.
int closeDuringExport(int argc, char **argv)
{
    QApplication app(argc, argv);
    const QString folder = qEnvironmentVariable("QUARRELBY_TEST_CLOSE_DIR");
    QtShell shell;
    test::ScriptedBooks books;
    test::RecordingSpreadsheets spreadsheets;
    MainWindow window(shell, books, spreadsheets);
    shell.setMainWindow(&window);
    window.show();
    shell.addEndHook([folder] {
        QFile marker(folder + QStringLiteral("/hook-ran"));
        marker.open(QIODevice::WriteOnly);
    });
    SaveFileWriter files(shell);
    QTimer::singleShot(0, &window, [&] {
        auto file = files.create(folder + QStringLiteral("/save/contacts.txt"));
        QTimer::singleShot(50, &window, [&] { window.close(); });
        QElapsedTimer running;
        running.start();
        while (running.elapsed() < 10000) {
            file->write("Ann\tBob\t\r\n");
            shell.yield();
        }
        file->commit();
        QFile marker(folder + QStringLiteral("/export-finished"));
        marker.open(QIODevice::WriteOnly);
    });
    QApplication::exec();
    return 3;
}

// Child mode: the real window, shell and workbook export over a long list,
// with a spreadsheet program registered; the window is closed as soon as the
// workbook's folder exists. The program ends inside the export, and must not
// leave the folder behind.
int closeDuringWorkbook(int argc, char **argv)
{
    QApplication app(argc, argv);
    const QString folder = qEnvironmentVariable("QUARRELBY_TEST_CLOSE_WORKBOOK_DIR");
    QtShell shell;
    DesktopSpreadsheets spreadsheets(shell);
    test::ScriptedBooks books;
    MainWindow window(shell, books, spreadsheets);
    shell.setMainWindow(&window);
    for (int k = 1; k <= 3; ++k)
        window.list().addColumn(QStringLiteral("Column %1").arg(k));
    for (int r = 0; r < 200000; ++r) {
        window.list().addRow(QStringLiteral("Contact %1").arg(r));
        window.list().setCell(r, 1, QStringLiteral("mail%1@example.com").arg(r));
        window.list().setChecked(r, true);
    }
    window.show();
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, &window, [&] {
        if (QDir::temp().entryList({QStringLiteral("quarrelby-*")}, QDir::Dirs).isEmpty())
            return;
        QFile marker(folder + QStringLiteral("/saw-folder"));
        marker.open(QIODevice::WriteOnly);
        window.close();
    });
    watch.start(5);
    QTimer::singleShot(0, &window, [&] {
        window.workbookButton->click();
        QFile marker(folder + QStringLiteral("/export-finished"));
        marker.open(QIODevice::WriteOnly);
    });
    QApplication::exec();
    return 3;
}

} // namespace

class TestMainWindow : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();

    void window();
    void geometry_data();
    void geometry();
    void checkBoxes_data();
    void checkBoxes();
    void captionsFit_data();
    void captionsFit();
    void captionsReadOnAnyDesktop_data();
    void captionsReadOnAnyDesktop();
    void tabOrder();
    void keyboard_data();
    void keyboard();

    void hoverFeedback_data();
    void hoverFeedback();
    void cursorShapes();
    void hourglassDuringExtraction();

    void columnsFollowTheModel();
    void draggingADividerSetsTheWidth();
    void tickingARow();
    void spaceTicksTheSelectionByTheFocusedRow();
    void contextMenuTicks_data();
    void contextMenuTicks();
    void shiftF10OpensTheListMenu();
    void menuSavesTheTickedContacts_data();
    void menuSavesTheTickedContacts();
    void exportsTakeTheRowsTickedInTheView();
    void toolTips();
    void currentCellByKeyboard();
    void doubleClickRemovesARow_data();
    void doubleClickRemovesARow();
    void buttonsReachTheirActions();

    void closingEndsTheProgramDuringAnExport();
    void closingDuringAWorkbookLeavesNoFolder();
    void extractionDuringASave_data();
    void extractionDuringASave();
    void nestedActionLeavesTheOuterOneBusy();
};

void TestMainWindow::initTestCase()
{
    QApplication::setEffectEnabled(Qt::UI_AnimateTooltip, false);
}

void TestMainWindow::window()
{
    test::TestWindow t;
    MainWindow &window = t.show();
    QCOMPARE(window.size(), QSize(704, 465)); // 10560 x 6975 twips
    QCOMPARE(window.minimumSize(), window.maximumSize());
    QVERIFY(window.windowFlags() & Qt::WindowMinimizeButtonHint);
    QVERIFY(!(window.windowFlags() & Qt::WindowMaximizeButtonHint));
    QCOMPARE(window.palette().color(window.backgroundRole()), QColor(Qt::white));
    QCOMPARE(window.windowTitle(), QStringLiteral("Quarrelby"));
    QCOMPARE(window.pointer().shape(), PointerFeedback::Shape::Arrow);

    QCOMPARE(window.font().family(), QStringLiteral("Arial"));
    QCOMPARE(window.font().pointSizeF(), 9.0);
    QVERIFY(window.font().bold());
    for (QCheckBox *box : window.findChildren<QCheckBox *>())
        QCOMPARE(box->font(), window.font());
    for (QPushButton *button : window.findChildren<QPushButton *>()) {
        QCOMPARE(button->font().pointSizeF(), 11.25);
        QVERIFY(button->font().bold());
        QCOMPARE(button->palette().color(QPalette::Button), QColor(Qt::white));
    }
    for (QGroupBox *frame : {window.infoFrame(), window.phoneFrame()})
        QCOMPARE(frame->palette().color(frame->backgroundRole()), QColor(Qt::white));
    // Every control paints its background itself or shows the window's: one
    // that Qt counts as opaque is left see-through by a partial repaint into
    // a new buffer (a compositor switching title bars after the first frame).
    for (const QWidget *child : window.findChildren<QWidget *>()) {
        QVERIFY2(!child->autoFillBackground() && !child->testAttribute(Qt::WA_OpaquePaintEvent),
            child->metaObject()->className());
    }

    QCOMPARE(window.infoFrame()->title(), QStringLiteral("Contacts Info to extract"));
    QCOMPARE(window.phoneFrame()->title(), QStringLiteral("Contacts Phone to extract"));
    QCOMPARE(window.infoFrame()->findChildren<QCheckBox *>().size(), 14);
    QCOMPARE(window.phoneFrame()->findChildren<QCheckBox *>().size(), 19);
    QCOMPARE(window.listView()->toolTip(),
        QStringLiteral("Double-click item to remove it. Move | line to right and out of window to reveal full names."));

    // Centred on the screen (the frame, whose margins only some platforms know
    // before the window is first shown).
    const QRect screen = window.screen()->availableGeometry();
    QVERIFY(qAbs(window.geometry().center().x() - screen.center().x()) <= 4);
    QVERIFY(qAbs(window.geometry().center().y() - screen.center().y()) <= 4);
}

void TestMainWindow::geometry_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QRect>("expected");
    QTest::addColumn<QString>("caption");

    QTest::newRow("PushButton2") << "PushButton2" << twips(120, 120, 10320, 400) << "Extract Contacts From Outlook";
    QTest::newRow("Frame1") << "Frame1" << twips(135, 630, 4470, 2850) << "";
    QTest::newRow("Frame2") << "Frame2" << twips(4725, 630, 5720, 2850) << "";
    QTest::newRow("ListView1") << "ListView1" << twips(120, 3615, 10320, 2310) << "";
    QTest::newRow("PushButton6") << "PushButton6" << twips(120, 6000, 3375, 400) << "Save Results As Text File";
    QTest::newRow("PushButton4") << "PushButton4" << twips(3600, 6000, 3375, 400) << "Save As Comma Delimited";
    QTest::newRow("PushButton1") << "PushButton1" << twips(7080, 6000, 3360, 400) << "Save Results As Excel File";
    QTest::newRow("PushButton3") << "PushButton3" << twips(120, 6480, 3375, 405) << "Copy Results To Clipboard";
    QTest::newRow("PushButton7") << "PushButton7" << twips(3600, 6480, 3375, 405) << "Clear List";
    QTest::newRow("PushButton13") << "PushButton13" << twips(7080, 6480, 3360, 405) << "Help";
}

void TestMainWindow::geometry()
{
    QFETCH(QString, name);
    QFETCH(QRect, expected);
    QFETCH(QString, caption);
    test::TestWindow t;
    MainWindow &window = t.load();
    QWidget *widget = control(window, name);
    QCOMPARE(widget->parentWidget(), &window);
    QCOMPARE(widget->geometry(), expected);
    if (auto *button = qobject_cast<QPushButton *>(widget))
        QCOMPARE(button->text(), caption);
}

void TestMainWindow::checkBoxes_data()
{
    QTest::addColumn<int>("n");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("frame");
    QTest::addColumn<QRect>("expected");
    QTest::addColumn<bool>("ticked");

    struct Box {
        const char *caption;
        const char *frame;
        int left, top;
        bool ticked;
    };
    static constexpr Box kBoxes[] = {{"Fullname", "Frame1", 225, 270, true}, {"Birthday", "Frame1", 225, 630, true},
        {"Job Title", "Frame1", 225, 990, true}, {"Company Name", "Frame1", 225, 1350, true},
        {"File As", "Frame1", 225, 1710, true}, {"Email Address 1", "Frame1", 225, 2070, true},
        {"Email Address 2", "Frame1", 225, 2430, true}, {"Email Address 3", "Frame1", 2340, 270, true},
        {"Webpage", "Frame1", 2340, 630, true}, {"IM Address", "Frame1", 2340, 990, true},
        {"TTY/TDD Tel No", "Frame2", 225, 270, false}, {"Asst Tel No", "Frame2", 225, 630, false},
        {"Bus. Tel No 1", "Frame2", 225, 990, true}, {"Bus. Tel No 2", "Frame2", 225, 1350, true},
        {"Bus. Fax No", "Frame2", 225, 1710, true}, {"CallbackTel No", "Frame2", 225, 2070, false},
        {"Car Tel No", "Frame2", 225, 2430, false}, {"Company Tel No", "Frame2", 2070, 270, true},
        {"Home Tel No 1", "Frame2", 2070, 630, true}, {"Home Tel No 2", "Frame2", 2070, 990, true},
        {"Home Fax No", "Frame2", 2070, 1350, true}, {"ISDN No", "Frame2", 2070, 1710, false},
        {"Mobile No", "Frame2", 2070, 2070, true}, {"Other Tel No", "Frame2", 3825, 225, true},
        {"Other Fax No", "Frame2", 3825, 585, true}, {"Pager No", "Frame2", 3825, 945, false},
        {"Primary Tel No", "Frame2", 3825, 1305, false}, {"Radio Tel No", "Frame2", 3825, 1710, false},
        {"Telex Number", "Frame2", 3825, 2070, false}, {"Business Address", "Frame1", 2340, 1350, true},
        {"Home Address", "Frame1", 2340, 1710, true}, {"Other Address", "Frame1", 2340, 2070, true},
        {"Body/Notes", "Frame1", 2340, 2430, true}};
    for (int n = 0; n < 33; ++n) {
        const Box &b = kBoxes[n];
        QTest::addRow("chkData(%d)", n) << n << b.caption << b.frame << twips(b.left, b.top, n == 29 ? 1905 : 1680, 285)
                                        << b.ticked;
    }
}

void TestMainWindow::checkBoxes()
{
    QFETCH(int, n);
    QFETCH(QString, caption);
    QFETCH(QString, frame);
    QFETCH(QRect, expected);
    QFETCH(bool, ticked);
    test::TestWindow t;
    MainWindow &window = t.load();
    QCheckBox *box = window.fieldBox(n);
    QCOMPARE(box->text(), caption);
    QCOMPARE(box->parentWidget()->objectName(), frame);
    QCOMPARE(box->geometry(), expected);
    QCOMPARE(box->isChecked(), ticked);
    QCOMPARE(box->isEnabled(), n != 0);
    QCOMPARE(box->palette().color(box->backgroundRole()), QColor(Qt::white));
    // The column of field n carries the caption of its box.
    QCOMPARE(window.list().columnText(n), caption);
}

void TestMainWindow::captionsFit_data()
{
    QTest::addColumn<bool>("sampleSkin");
    QTest::newRow("plain") << false;
    QTest::newRow("sample skin") << true;
}

void TestMainWindow::captionsFit()
{
    QFETCH(bool, sampleSkin);
    test::TestWindow t;
    if (sampleSkin) {
        QFile skin(QStringLiteral(QUARRELBY_SOURCE_DIR "/samples/skin/x/o.cjs"));
        QVERIFY(skin.open(QIODevice::ReadOnly));
        t.writeProgramFile(QStringLiteral("x/o.cjs"), skin.readAll());
    }
    MainWindow &window = t.show();
    QVERIFY(t.shell.messages.isEmpty());
    for (QCheckBox *box : window.findChildren<QCheckBox *>()) {
        QStyleOptionButton option;
        option.initFrom(box);
        option.text = box->text();
        const QRect text = box->style()->subElementRect(QStyle::SE_CheckBoxContents, &option, box);
        QVERIFY2(box->fontMetrics().horizontalAdvance(box->text()) <= text.width(), qPrintable(box->text()));
    }
    for (QPushButton *button : window.findChildren<QPushButton *>()) {
        QVERIFY2(button->sizeHint().width() <= button->width(), qPrintable(button->text()));
        QVERIFY2(button->fontMetrics().height() < button->height(), qPrintable(button->text()));
        QVERIFY2(!button->text().contains(QLatin1Char('&')), qPrintable(button->text()));
    }
    for (QGroupBox *frame : {window.infoFrame(), window.phoneFrame()})
        QVERIFY(frame->sizeHint().width() <= frame->width());
}

void TestMainWindow::captionsReadOnAnyDesktop_data()
{
    QTest::addColumn<QPalette>("desktop");
    QTest::addColumn<bool>("kept");
    // What Qt takes from a GNOME desktop with Adwaita's dark style, and from
    // an inverse high-contrast scheme.
    QPalette dark(QColor(0xee, 0xee, 0xec), QColor(0x35, 0x35, 0x35), QColor(0x45, 0x45, 0x45),
        QColor(0x1b, 0x1b, 0x1b), QColor(0x28, 0x28, 0x28), QColor(0xee, 0xee, 0xec), QColor(0xff, 0xff, 0xff),
        QColor(0x2d, 0x2d, 0x2d), QColor(0x35, 0x35, 0x35));
    dark.setColor(QPalette::Highlight, QColor(0x15, 0x53, 0x9e));
    QPalette inverse(Qt::white, Qt::black, Qt::white, Qt::gray, Qt::gray, Qt::white, Qt::white, Qt::black, Qt::black);
    inverse.setColor(QPalette::Highlight, Qt::yellow);
    inverse.setColor(QPalette::HighlightedText, Qt::black);
    QPalette light = QApplication::palette();
    light.setColor(QPalette::Highlight, QColor(0x35, 0x84, 0xe4));
    QTest::newRow("Adwaita dark") << dark << false;
    QTest::newRow("high contrast, inverse") << inverse << false;
    QTest::newRow("light") << light << true;
}

// Every caption as painted, against the colour behind it: at least 4.5:1. A
// light desktop keeps its own colours; the focus ring stands out 3:1.
void TestMainWindow::captionsReadOnAnyDesktop()
{
    QFETCH(QPalette, desktop);
    QFETCH(bool, kept);
    const QPalette before = QApplication::palette();
    QApplication::setPalette(desktop);
    test::TestWindow t;
    MainWindow &window = t.show();
    QApplication::setPalette(before);

    int captions = 0;
    for (QWidget *control : window.findChildren<QWidget *>()) {
        // The disabled Fullname box is greyed, as disabled controls are.
        if ((!qobject_cast<QAbstractButton *>(control) && !qobject_cast<QGroupBox *>(control)) || !control->isEnabled())
            continue;
        const QImage image = control->grab().toImage();
        // The caption of a frame lies on its top line, left of the middle.
        const QRect text = qobject_cast<QGroupBox *>(control) ? QRect(0, 0, image.width() / 2, 14)
                                                              : image.rect().adjusted(4, 4, -4, -4);
        const QColor behind = image.pixelColor(text.topLeft() + QPoint(2, 0));
        double best = 1;
        for (int y = text.top(); y <= text.bottom(); ++y) {
            for (int x = text.left(); x <= text.right(); ++x)
                best = std::max(best, contrastRatio(image.pixelColor(x, y), behind));
        }
        const QString name = control->objectName();
        QVERIFY2(best >= 4.5, qPrintable(QStringLiteral("%1: %2:1").arg(name).arg(best)));
        ++captions;
    }
    QCOMPARE(captions, 32 + 2 + 7);
    QCOMPARE(window.palette().color(QPalette::WindowText) == desktop.color(QPalette::WindowText), kept);
    const QColor ring = focusRingColour(window.listView()->palette());
    for (QPalette::ColorRole role : {QPalette::Window, QPalette::Base, QPalette::Highlight})
        QVERIFY(contrastRatio(ring, window.listView()->palette().color(role)) >= 3);
}

void TestMainWindow::tabOrder()
{
    test::TestWindow t;
    MainWindow &window = t.show();
    QApplication::setActiveWindow(&window);
    QTRY_COMPARE(QApplication::focusWidget(), window.extractButton);
    // The first focus is drawn, as after a Tab.
    QVERIFY(window.testAttribute(Qt::WA_KeyboardFocusChange));

    QStringList visited;
    for (int i = 0; i < 42; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        visited << QApplication::focusWidget()->objectName();
    }
    // Reading order: the field boxes column by column, the list, the buttons
    // row by row.
    QStringList expected;
    for (int n : {1, 2, 3, 4, 5, 6, 7, 8, 9, 29, 30, 31, 32, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23, 24,
             25, 26, 27, 28})
        expected << QStringLiteral("chkData(%1)").arg(n);
    expected << "ListView1"
             << "PushButton6"
             << "PushButton4"
             << "PushButton1"
             << "PushButton3"
             << "PushButton7"
             << "PushButton13"
             << "PushButton2";
    QCOMPARE(visited.mid(0, expected.size()), expected);
}

void TestMainWindow::keyboard_data()
{
    QTest::addColumn<QString>("focus");
    QTest::addColumn<QKeyCombination>("key");
    QTest::addColumn<QString>("expected"); // the rows left, or the first message

    QTest::newRow("Delete") << "ListView1" << QKeyCombination(Qt::Key_Delete) << "ACD";
    QTest::newRow("BackSpace") << "ListView1" << QKeyCombination(Qt::Key_Backspace) << "ACD";
    QTest::newRow("Ctrl+Delete") << "ListView1" << QKeyCombination(Qt::ControlModifier, Qt::Key_Delete) << "ABCD";
    QTest::newRow("Enter on Clear List") << "PushButton7" << QKeyCombination(Qt::Key_Return) << "";
    QTest::newRow("keypad Enter on Help")
        << "PushButton13" << QKeyCombination(Qt::KeypadModifier, Qt::Key_Enter) << "If you are getting a query message";
    QTest::newRow("Alt+L from the list") << "ListView1" << QKeyCombination(Qt::AltModifier, Qt::Key_L) << "";
    QTest::newRow("Alt+H from a box") << "chkData(3)" << QKeyCombination(Qt::AltModifier, Qt::Key_H)
                                      << "If you are getting a query message";
}

// Rows A to D, B current and the focus on a given control.
void TestMainWindow::keyboard()
{
    QFETCH(QString, focus);
    QFETCH(QKeyCombination, key);
    QFETCH(QString, expected);
    test::TestWindow t;
    MainWindow &window = t.show();
    QApplication::setActiveWindow(&window);
    for (const char *name : {"A", "B", "C", "D"})
        window.list().addRow(QString::fromLatin1(name));
    window.list().setChecked(2, true);
    window.listView()->setCurrentIndex(window.list().index(1, 0));
    control(window, focus)->setFocus();
    QTRY_COMPARE(QApplication::focusWidget(), control(window, focus));
    QTest::keyClick(QApplication::focusWidget(), key.key(), key.keyboardModifiers());
    QTest::qWait(250); // a shortcut's click is animated
    QString rows;
    for (int i = 0; i < window.list().itemCount(); ++i)
        rows += window.list().cell(i, 0);
    if (t.shell.messages.isEmpty())
        QCOMPARE(rows, expected);
    else
        QVERIFY(t.shell.messages.constFirst().text.startsWith(expected));
    if (rows == QLatin1String("ACD")) // the tick stays with its row
        QVERIFY(window.list().checked(1));
}

void TestMainWindow::hoverFeedback_data()
{
    using Shape = PointerFeedback::Shape;
    QTest::addColumn<bool>("busy");
    QTest::addColumn<QStringList>("path");
    QTest::addColumn<Shape>("expected");

    const QStringList buttons {
        "PushButton2", "PushButton6", "PushButton4", "PushButton1", "PushButton3", "PushButton7", "PushButton13"};
    for (const QString &button : buttons)
        QTest::addRow("%s", qPrintable(button)) << false << QStringList {button} << Shape::Hand;
    QTest::newRow("button, then the list") << false << QStringList {"PushButton6", "ListView1"} << Shape::Arrow;
    QTest::newRow("button, then the header") << false << QStringList {"PushButton6", "header"} << Shape::Arrow;
    QTest::newRow("button, then the background") << false << QStringList {"PushButton6", "Form1"} << Shape::Arrow;
    QTest::newRow("button, then a frame") << false << QStringList {"PushButton2", "Frame2"} << Shape::Arrow;
    QTest::newRow("button, frame, check box")
        << false << QStringList {"PushButton2", "Frame1", "chkData(3)"} << Shape::Arrow;
    QTest::newRow("check box keeps the hand") << false << QStringList {"PushButton2", "chkData(3)"} << Shape::Hand;
    QTest::newRow("disabled box keeps the hand") << false << QStringList {"PushButton2", "chkData(0)"} << Shape::Hand;
    QTest::newRow("busy over a button") << true << QStringList {"PushButton4"} << Shape::Busy;
    QTest::newRow("busy over the list") << true << QStringList {"ListView1", "Frame1", "Form1"} << Shape::Busy;
}

void TestMainWindow::hoverFeedback()
{
    QFETCH(bool, busy);
    QFETCH(QStringList, path);
    QFETCH(PointerFeedback::Shape, expected);
    test::TestWindow t;
    MainWindow &window = t.show();
    window.list().addRow(QStringLiteral("Ann"));
    std::optional<BusyState::Scope> action;
    if (busy)
        action.emplace(window.busy());
    for (const QString &name : path) {
        if (name == QLatin1String("Form1"))
            hover(&window, {3, 3});
        else if (name == QLatin1String("Frame1") || name == QLatin1String("Frame2"))
            hover(control(window, name), {control(window, name)->width() / 2, 3}); // on the frame's caption line
        else if (name == QLatin1String("header"))
            hover(window.listView()->header()->viewport());
        else if (name == QLatin1String("ListView1"))
            hover(window.listView()->viewport());
        else
            hover(control(window, name));
    }
    QCOMPARE(window.pointer().shape(), expected);
}

void TestMainWindow::cursorShapes()
{
    test::TestWindow t;
    MainWindow &window = t.show();
    hover(window.clearButton);
    QCOMPARE(window.cursor().shape(), Qt::PointingHandCursor);
    QCOMPARE(window.clearButton->cursor().shape(), Qt::PointingHandCursor);
    hover(window.listView()->viewport());
    QCOMPARE(window.cursor().shape(), Qt::ArrowCursor);

    // The picture of the cursor file, with its own hotspot.
    window.pointer().setHandPicture(loadCursorFile(QStringLiteral(QUARRELBY_SOURCE_DIR "/data/program/HAND-M.CUR")));
    hover(window.clearButton);
    QCOMPARE(window.cursor().shape(), Qt::BitmapCursor);
    QCOMPARE(window.cursor().hotSpot(), QPoint(10, 1));
    QCOMPARE(window.cursor().pixmap().size(), QSize(32, 32));

    // The busy cursor covers the buttons too.
    {
        const BusyState::Scope busy(window.busy());
        QCOMPARE(window.extractButton->cursor().shape(), Qt::WaitCursor);
        QCOMPARE(window.listView()->viewport()->cursor().shape(), Qt::WaitCursor);
    }
    QCOMPARE(window.extractButton->cursor().shape(), Qt::ArrowCursor);
}

void TestMainWindow::hourglassDuringExtraction()
{
    test::TestWindow t;
    t.books.contacts = {test::fullContact(1), test::fullContact(2)};
    MainWindow &window = t.show();
    QList<bool> values;
    QList<Qt::CursorShape> shapes;
    connect(&window.busy(), &BusyState::changed, &window, [&](bool busy) {
        values << busy;
        shapes << window.saveTextButton->cursor().shape();
    });
    hover(window.extractButton);
    values.clear();
    shapes.clear();
    QTest::mouseClick(window.extractButton, Qt::LeftButton);
    QCOMPARE(window.list().itemCount(), 2);
    QCOMPARE(values, (QList<bool> {true, false}));
    // The watcher runs after the window's own handler has set the cursor.
    QCOMPARE(shapes, (QList<Qt::CursorShape> {Qt::WaitCursor, Qt::ArrowCursor}));
    QCOMPARE(t.shell.texts(), QStringList {QStringLiteral("Done.")});
}

void TestMainWindow::columnsFollowTheModel()
{
    test::TestWindow t;
    MainWindow &window = t.show();
    QHeaderView *header = window.listView()->header();
    QCOMPARE(header->count(), 33);
    for (int k = 0; k < 33; ++k)
        QCOMPARE(header->sectionSize(k), 133); // 2000 twips

    window.list().setColumnHidden(1, true);
    window.list().setColumnHidden(2, false);
    QVERIFY(header->isSectionHidden(1));
    QCOMPARE(header->sectionSize(2), 67); // 1000 twips, as the extraction shows it

    window.list().addRow(QStringLiteral("Ann"));
    window.list().clearRows();
    QVERIFY(header->isSectionHidden(1));
    QCOMPARE(header->sectionSize(2), 67);
    QCOMPARE(header->sectionSize(3), 133);
    window.list().setColumnHidden(1, false);
    QCOMPARE(header->sectionSize(1), 67);
}

// The view keeps what the user dragged, until an extraction lays the
// columns out anew.
void TestMainWindow::draggingADividerSetsTheWidth()
{
    test::TestWindow t;
    MainWindow &window = t.show();
    QHeaderView *header = window.listView()->header();
    QWidget *viewport = header->viewport();
    const int divider = header->sectionViewportPosition(0) + header->sectionSize(0) - 1;
    const int y = header->height() / 2;
    QTest::mouseMove(viewport, {divider, y});
    QTest::mousePress(viewport, Qt::LeftButton, {}, {divider, y});
    QTest::mouseMove(viewport, {divider + 40, y});
    QTest::mouseRelease(viewport, Qt::LeftButton, {}, {divider + 40, y});
    QCOMPARE(header->sectionSize(0), 173);
    QCOMPARE(header->sectionSize(1), 133);
    window.list().addRow(QStringLiteral("Ann"));
    window.list().clearRows();
    QCOMPARE(header->sectionSize(0), 173);
    QTest::mouseClick(window.extractButton, Qt::LeftButton);
    QCOMPARE(header->sectionSize(0), 67);
}

void TestMainWindow::tickingARow()
{
    test::TestWindow t;
    MainWindow &window = t.show();
    window.list().addRow(QStringLiteral("Ann"));
    window.list().addRow(QStringLiteral("Bob"));
    ResultView *view = window.listView();
    QStyleOptionViewItem option;
    option.rect = view->visualRect(window.list().index(1, 0));
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, {option.rect.left() + 9, option.rect.center().y()});
    QCOMPARE(window.list().checked(0), false);
    QCOMPARE(window.list().checked(1), true);
}

namespace {

// Rows named A, B, C, ... in a shown window.
void addRows(MainWindow &window, int count)
{
    for (int i = 0; i < count; ++i)
        window.list().addRow(QString(QLatin1Char(static_cast<char>('A' + i))));
}

// Clicks the name of row i, away from its tick box.
void clickRow(ResultView *view, int i, Qt::KeyboardModifiers modifiers = {})
{
    const QRect cell = view->visualRect(view->model()->index(i, 0));
    QTest::mouseClick(view->viewport(), Qt::LeftButton, modifiers, {cell.right() - 5, cell.center().y()});
}

QString ticks(const ResultList &list)
{
    QString shown;
    for (int i = 0; i < list.itemCount(); ++i)
        shown += list.checked(i) ? QLatin1Char('x') : QLatin1Char('.');
    return shown;
}

} // namespace

void TestMainWindow::spaceTicksTheSelectionByTheFocusedRow()
{
    test::TestWindow t;
    MainWindow &window = t.show();
    addRows(window, 5);
    ResultView *view = window.listView();
    view->setFocus();

    // Ctrl+A then Space ticks every row; Space again, on a ticked focus,
    // unticks them all.
    clickRow(view, 1);
    QCOMPARE(ticks(window.list()), QStringLiteral("....."));
    QTest::keyClick(view, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(view, Qt::Key_Space);
    QCOMPARE(ticks(window.list()), QStringLiteral("xxxxx"));
    QTest::keyClick(view, Qt::Key_Space);
    QCOMPARE(ticks(window.list()), QStringLiteral("....."));

    // Shift+click and Ctrl+click: the focused row's tick decides for the
    // whole selection, also for rows ticked differently.
    window.list().setChecked(3, true);
    clickRow(view, 0);
    clickRow(view, 2, Qt::ShiftModifier);
    clickRow(view, 3, Qt::ControlModifier); // focus on the ticked row D
    QTest::keyClick(view, Qt::Key_Space);
    QCOMPARE(ticks(window.list()), QStringLiteral("....."));
    clickRow(view, 4, Qt::ControlModifier); // focus on the unticked row E
    QTest::keyClick(view, Qt::Key_Space);
    QCOMPARE(ticks(window.list()), QStringLiteral("xxxxx"));

    // A plain click on one tick box still ticks only that row.
    window.list().setCheckedRange(0, 4, false);
    QTest::keyClick(view, Qt::Key_A, Qt::ControlModifier);
    const QRect box = view->visualRect(window.list().index(2, 0));
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, {box.left() + 9, box.center().y()});
    QCOMPARE(ticks(window.list()), QStringLiteral("..x.."));
    QVERIFY(t.shell.messages.isEmpty());
}

void TestMainWindow::contextMenuTicks_data()
{
    QTest::addColumn<QString>("action");
    QTest::addColumn<QString>("expected");
    // Before: rows B and E ticked; rows A, B and D selected.
    QTest::newRow("Tick All") << "Tick All"
                              << "xxxxx";
    QTest::newRow("Untick All") << "Untick All"
                                << ".....";
    QTest::newRow("Tick Selected") << "Tick Selected"
                                   << "xx.xx";
    QTest::newRow("Untick Selected") << "Untick Selected"
                                     << "....x";
}

void TestMainWindow::contextMenuTicks()
{
    QFETCH(QString, action);
    QFETCH(QString, expected);
    test::TestWindow t;
    MainWindow &window = t.show();
    addRows(window, 5);
    window.list().setChecked(1, true);
    window.list().setChecked(4, true);
    ResultView *view = window.listView();
    clickRow(view, 0);
    clickRow(view, 1, Qt::ShiftModifier);
    clickRow(view, 3, Qt::ControlModifier);

    // The real context menu, its entries in order; the chosen one is clicked.
    QStringList offered;
    QTimer::singleShot(0, view, [&] {
        auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
        if (!menu)
            return;
        for (QAction *entry : menu->actions()) {
            offered << entry->text();
            if (entry->text() == action)
                menu->setActiveAction(entry);
        }
        QTest::keyClick(menu, Qt::Key_Return);
    });
    const QPoint at = view->visualRect(window.list().index(3, 1)).center();
    QContextMenuEvent event(QContextMenuEvent::Mouse, at, view->viewport()->mapToGlobal(at));
    QApplication::sendEvent(view->viewport(), &event);

    QCOMPARE(offered,
        QStringList({"Tick All", "Untick All", "Tick Selected", "Untick Selected", "", "Save Ticked As vCard File",
            "Save Ticked As vCard 4.0 File", "Save Ticked As Outlook CSV File", "Save Ticked As Google CSV File"}));
    QCOMPARE(ticks(window.list()), expected);
    // Ticking leaves the rows and the selection alone.
    QCOMPARE(window.list().itemCount(), 5);
    QCOMPARE(view->selectionModel()->selectedRows().size(), 3);
}

void TestMainWindow::shiftF10OpensTheListMenu()
{
    test::TestWindow t;
    MainWindow &window = t.show();
    addRows(window, 2);
    ResultView *view = window.listView();
    view->setFocus();
    view->setCurrentIndex(window.list().index(1, 0));
    QStringList offered;
    QTimer::singleShot(0, view, [&] {
        auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
        if (!menu)
            return;
        for (QAction *entry : menu->actions())
            offered << entry->text();
        menu->close();
    });
    QTest::keyClick(view, Qt::Key_F10, Qt::ShiftModifier);
    QCOMPARE(offered.size(), 9);
}

void TestMainWindow::menuSavesTheTickedContacts_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<QByteArray>("starts");
    // The last entry, chosen by keys in the menu Shift+F10 opens.
    QTest::newRow("menu by keys") << "menu" << QByteArray("Name Prefix,First Name,");
    QTest::newRow("Alt+V from Extract") << "Alt+V" << QByteArray("BEGIN:VCARD\r\nVERSION:3.0\r\n");
}

// A real contact store under the real window: extracted, one row ticked,
// saved whole from the list's menu or its shortcut.
void TestMainWindow::menuSavesTheTickedContacts()
{
    QFETCH(QString, how);
    QFETCH(QByteArray, starts);
    QTemporaryDir dir;
    QFile book(dir.filePath(QStringLiteral("cards.vcf")));
    QVERIFY(book.open(QIODevice::WriteOnly));
    book.write("BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Ann Lee\r\nN:Lee;Ann;;;\r\nEND:VCARD\r\n"
               "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Bo Chen\r\nN:Chen;Bo;;;\r\nNICKNAME:Bobo\r\nEND:VCARD\r\n");
    book.close();
    test::TestWindow t;
    ContactStore store(book.fileName());
    MainWindow window(t.shell, store, t.spreadsheets);
    loadMainWindow(window, [] { return 0.5; });
    showCentred(window);
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QApplication::setActiveWindow(&window);
    window.extractButton->click();
    QCOMPARE(t.shell.texts(), QStringList {"Done."});
    window.list().setChecked(1, true);
    const QString out = dir.filePath(QStringLiteral("out"));
    t.shell.saveNames = {out};

    if (how == QLatin1String("menu")) {
        window.listView()->setFocus();
        QTimer::singleShot(0, &window, [] {
            if (QWidget *menu = QApplication::activePopupWidget()) {
                QTest::keyClick(menu, Qt::Key_Up);
                QTest::keyClick(menu, Qt::Key_Return);
            }
        });
        QTest::keyClick(window.listView(), Qt::Key_F10, Qt::ShiftModifier);
    } else {
        window.extractButton->setFocus();
        QTest::keyClick(window.extractButton, Qt::Key_V, Qt::AltModifier);
    }
    QTRY_COMPARE(t.shell.texts().size(), 2);
    QVERIFY2(t.shell.texts().last().startsWith("1 contact has been saved to " + out + '.'),
        qPrintable(t.shell.texts().last()));
    QFile written(out);
    QVERIFY(written.open(QIODevice::ReadOnly));
    const QByteArray text = written.readAll();
    QVERIFY2(text.startsWith(starts), text.constData());
    QVERIFY(text.contains("Bo") && !text.contains("Ann"));
}

void TestMainWindow::exportsTakeTheRowsTickedInTheView()
{
    test::TestWindow t;
    MainWindow &window = t.show();
    addRows(window, 6);
    ResultView *view = window.listView();
    view->setFocus();
    clickRow(view, 1);
    clickRow(view, 3, Qt::ShiftModifier);
    QTest::keyClick(view, Qt::Key_Space); // B, C, D
    clickRow(view, 2);
    QTest::keyClick(view, Qt::Key_Space); // C unticked again
    clickRow(view, 5);
    view->tickSelected(true); // F
    // A double-click removes the one row under the pointer, whatever is
    // selected: E goes, the ticks stay with their rows.
    clickRow(view, 0, Qt::ControlModifier);
    const QRect e = view->visualRect(window.list().index(4, 0));
    QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, {e.right() - 5, e.center().y()});
    QCOMPARE(window.list().itemCount(), 5);
    QCOMPARE(ticks(window.list()), QStringLiteral(".x.xx"));

    QTest::mouseClick(window.clipboardButton, Qt::LeftButton);
    QStringList names;
    for (const QString &line : t.shell.clipboardText.split(QLatin1String("\r\n"), Qt::SkipEmptyParts))
        names << line.section(QLatin1Char('\t'), 0, 0).trimmed();
    QCOMPARE(names, QStringList({"B", "D", "F"}));
}

void TestMainWindow::toolTips()
{
    test::TestWindow t;
    MainWindow &window = t.show();
    window.list().addRow(QStringLiteral("Ann"));
    window.list().setCell(0, 1, QStringLiteral("Main Street 1\r\nAustin"));
    ResultView *view = window.listView();
    auto tipAt = [view](QPoint at) {
        QHelpEvent help(QEvent::ToolTip, at, view->viewport()->mapToGlobal(at));
        QApplication::sendEvent(view->viewport(), &help);
        return QToolTip::text();
    };
    const QString listTip = view->toolTip();
    QCOMPARE(tipAt(view->visualRect(window.list().index(0, 1)).center()), QStringLiteral("Main Street 1\r\nAustin"));
    QCOMPARE(tipAt(view->visualRect(window.list().index(0, 2)).center()), listTip); // an empty cell
    QCOMPARE(tipAt({20, view->viewport()->height() - 5}), listTip); // below the rows
}

// Left and Right go from cell to shown cell; F2 shows the whole text.
void TestMainWindow::currentCellByKeyboard()
{
    test::TestWindow t;
    MainWindow &window = t.show();
    window.list().addRow(QStringLiteral("Ann"));
    window.list().setCell(0, 1, QStringLiteral("Main Street 1\r\nAustin"));
    window.list().setColumnHidden(2, true);
    ResultView *view = window.listView();
    view->setFocus();
    view->setCurrentIndex(window.list().index(0, 0));
    QTest::keyClick(view, Qt::Key_Right);
    QCOMPARE(view->currentIndex().column(), 1);
    QTest::keyClick(view, Qt::Key_F2);
    QCOMPARE(QToolTip::text(), QStringLiteral("Main Street 1\r\nAustin"));
    QTest::keyClick(view, Qt::Key_Right); // past the hidden column
    QCOMPARE(view->currentIndex().column(), 3);
    QTest::keyClick(view, Qt::Key_Left);
    QCOMPARE(view->currentIndex().column(), 1);
}

void TestMainWindow::doubleClickRemovesARow_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<bool>("onTick");
    QTest::addColumn<bool>("busy");
    QTest::addColumn<QStringList>("remaining");

    QTest::newRow("middle row") << 1 << false << false << QStringList {"Ann", "Cid"};
    QTest::newRow("last row") << 2 << false << false << QStringList {"Ann", "Bob"};
    QTest::newRow("on its tick box") << 1 << true << false << QStringList {"Ann", "Bob", "Cid"};
    QTest::newRow("while busy") << 1 << false << true << QStringList {"Ann", "Bob", "Cid"};
}

void TestMainWindow::doubleClickRemovesARow()
{
    QFETCH(int, row);
    QFETCH(bool, onTick);
    QFETCH(bool, busy);
    QFETCH(QStringList, remaining);
    test::TestWindow t;
    MainWindow &window = t.show();
    for (const char *name : {"Ann", "Bob", "Cid"})
        window.list().addRow(QString::fromLatin1(name));
    std::optional<BusyState::Scope> action;
    if (busy)
        action.emplace(window.busy());
    ResultView *view = window.listView();
    const QRect cell = view->visualRect(window.list().index(row, 0));
    const QPoint at(onTick ? cell.left() + 9 : cell.right() - 5, cell.center().y());
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, at);
    QStringList names;
    for (int i = 0; i < window.list().itemCount(); ++i)
        names << window.list().cell(i, 0);
    QCOMPARE(names, remaining);
    QVERIFY(t.shell.messages.isEmpty());
}

void TestMainWindow::buttonsReachTheirActions()
{
    test::TestWindow t;
    MainWindow &window = t.show();
    window.list().addRow(QStringLiteral("Ann"));
    QTest::mouseClick(window.clearButton, Qt::LeftButton);
    QCOMPARE(window.list().itemCount(), 0);
    QTest::mouseClick(window.helpButton, Qt::LeftButton);
    QCOMPARE(t.shell.messages.size(), 1);
    QVERIFY(t.shell.messages.constFirst().text.startsWith(QLatin1String("If you are getting a query message")));
    // The check boxes decide the columns shown at the next extraction.
    window.fieldBox(3)->setChecked(false);
    QTest::mouseClick(window.extractButton, Qt::LeftButton);
    QVERIFY(window.list().columnHidden(3));
    QVERIFY(window.listView()->header()->isSectionHidden(3));
    QCOMPARE(window.listView()->header()->sectionSize(0), 67);
}

void TestMainWindow::closingEndsTheProgramDuringAnExport()
{
    QTemporaryDir folder;
    QVERIFY(QDir(folder.path()).mkdir(QStringLiteral("save")));
    QFile old(folder.filePath(QStringLiteral("save/contacts.txt")));
    QVERIFY(old.open(QIODevice::WriteOnly) && old.write("the user's old file\r\n") > 0);
    old.close();
    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QUARRELBY_TEST_CLOSE_DIR"), folder.path());
    child.setProcessEnvironment(environment);
    child.start(QCoreApplication::applicationFilePath(), {});
    QVERIFY(child.waitForFinished(30000));
    QCOMPARE(child.exitStatus(), QProcess::NormalExit);
    QCOMPARE(child.exitCode(), 0);
    QVERIFY(QFile::exists(folder.filePath(QStringLiteral("hook-ran"))));
    QVERIFY(!QFile::exists(folder.filePath(QStringLiteral("export-finished"))));
    QDir save(folder.filePath(QStringLiteral("save")));
    QCOMPARE(save.entryList(QDir::Files | QDir::Hidden | QDir::System), QStringList {"contacts.txt"});
    QVERIFY(old.open(QIODevice::ReadOnly));
    QCOMPARE(old.readAll(), QByteArray("the user's old file\r\n"));
}

void TestMainWindow::closingDuringAWorkbookLeavesNoFolder()
{
    QTemporaryDir folder;
    const QString temp = folder.filePath(QStringLiteral("tmp"));
    const QString bin = folder.filePath(QStringLiteral("bin"));
    QVERIFY(QDir().mkpath(temp) && QDir().mkpath(bin));
    // A desktop with a spreadsheet program that is never reached.
    for (const char *name : {"xdg-mime", "xdg-open"}) {
        QFile script(bin + QLatin1Char('/') + QLatin1String(name));
        QVERIFY(script.open(QIODevice::WriteOnly));
        script.write("#!/bin/sh\necho libreoffice-calc.desktop\n");
        script.close();
        QVERIFY(script.setPermissions(QFile::ReadOwner | QFile::ExeOwner));
    }
    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QUARRELBY_TEST_CLOSE_WORKBOOK_DIR"), folder.path());
    environment.insert(QStringLiteral("TMPDIR"), temp);
    const QString runtime = folder.filePath(QStringLiteral("runtime"));
    QVERIFY(QDir().mkpath(runtime)
        && QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime);
    environment.insert(QStringLiteral("PATH"), bin + QLatin1Char(':') + environment.value(QStringLiteral("PATH")));
    child.setProcessEnvironment(environment);
    child.start(QCoreApplication::applicationFilePath(), {});
    QVERIFY(child.waitForFinished(60000));
    QCOMPARE(child.exitStatus(), QProcess::NormalExit);
    QCOMPARE(child.exitCode(), 0);
    QVERIFY(QFile::exists(folder.filePath(QStringLiteral("saw-folder"))));
    QVERIFY(!QFile::exists(folder.filePath(QStringLiteral("export-finished"))));
    QCOMPARE(QDir(temp).entryList({QStringLiteral("quarrelby-*")}, QDir::AllEntries | QDir::Hidden), QStringList {});
}

void TestMainWindow::extractionDuringASave_data()
{
    QTest::addColumn<bool>("commaDelimited");
    QTest::addColumn<int>("atYield");
    QTest::newRow("text file, measuring") << false << 50;
    QTest::newRow("text file, writing") << false << 140;
    QTest::newRow("comma-delimited") << true << 2;
}

// A new extraction clicked while a save yields replaces the rows under it
// (unticked, possibly others): the save must say so and keep the old file
// rather than write only some of the rows.
void TestMainWindow::extractionDuringASave()
{
    QFETCH(bool, commaDelimited);
    QFETCH(int, atYield);
    test::TestWindow t;
    t.books.contacts = {test::fullContact(1), test::fullContact(2), test::fullContact(3)};
    MainWindow &window = t.show();
    QTest::mouseClick(window.extractButton, Qt::LeftButton);
    QCOMPARE(window.list().itemCount(), 3);
    for (int i = 0; i < 3; ++i)
        window.list().setChecked(i, true);

    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("contacts.txt"));
    QFile old(path);
    QVERIFY(old.open(QIODevice::WriteOnly) && old.write("the user's old file\r\n") > 0);
    old.close();
    t.shell.realFileSystem = true;
    t.shell.saveNames = {path};
    t.shell.messages.clear();
    t.shell.onYield = [&](int n) {
        if (n == atYield)
            QTest::mouseClick(window.extractButton, Qt::LeftButton);
    };
    QTest::mouseClick(commaDelimited ? window.saveCommaButton : window.saveTextButton, Qt::LeftButton);

    const QStringList texts = t.shell.texts();
    QCOMPARE(texts.size(), 3); // the overwrite question, the nested "Done.", the report
    QCOMPARE(texts.at(1), QStringLiteral("Done."));
    QVERIFY2(texts.last().contains(QLatin1String("The list changed while it was being saved; the file was not saved.")),
        qPrintable(texts.last()));
    QVERIFY(old.open(QIODevice::ReadOnly));
    QCOMPARE(old.readAll(), QByteArray("the user's old file\r\n"));
    QCOMPARE(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden), QStringList {QStringLiteral("contacts.txt")});
}

// An extraction clicked inside the workbook export's yield ends before the
// export does: Clear List must still wait for the export.
void TestMainWindow::nestedActionLeavesTheOuterOneBusy()
{
    test::TestWindow t;
    t.books.contacts = {test::fullContact(1), test::fullContact(2)};
    MainWindow &window = t.show();
    QTest::mouseClick(window.extractButton, Qt::LeftButton);
    t.shell.onYield = [&](int n) {
        if (n == 1)
            QTest::mouseClick(window.extractButton, Qt::LeftButton);
        if (n == 2)
            QTest::mouseClick(window.clearButton, Qt::LeftButton);
    };
    QTest::mouseClick(window.workbookButton, Qt::LeftButton);
    QCOMPARE(window.list().itemCount(), 2);
    QVERIFY(!window.busy().busy());
    QCOMPARE(t.spreadsheets.made, 1);
}

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsSet("QUARRELBY_TEST_CLOSE_DIR"))
        return closeDuringExport(argc, argv);
    if (qEnvironmentVariableIsSet("QUARRELBY_TEST_CLOSE_WORKBOOK_DIR"))
        return closeDuringWorkbook(argc, argv);
    QApplication app(argc, argv);
    TestMainWindow test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_mainwindow.moc"
