// A window of fixed size on a screen too small for it: it shrinks to the
// screen, keeps its top on it, and scrolls its controls to the focus.

#include "app/ScreenFit.h"

#include <QApplication>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QTest>

using namespace quarrelby;

class TestScreenFit : public QObject {
    Q_OBJECT

private slots:
    void fitsWhereItCan_data();
    void fitsWhereItCan();
};

void TestScreenFit::fitsWhereItCan_data()
{
    QTest::addColumn<QSize>("design");
    QTest::newRow("smaller than the screen") << QSize(400, 300);
    QTest::newRow("taller and wider") << QSize(2000, 1500);
}

void TestScreenFit::fitsWhereItCan()
{
    QFETCH(QSize, design);
    QWidget window;
    window.setFixedSize(design);
    auto *top = new QPushButton(QStringLiteral("top"), &window);
    top->setGeometry(10, 10, 100, 30);
    auto *bottom = new QPushButton(QStringLiteral("bottom"), &window);
    bottom->setGeometry(design.width() - 110, design.height() - 40, 100, 30);
    window.move(-500, -500);
    fitToScreen(window);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    const QRect room = window.screen()->availableGeometry();
    QVERIFY(room.contains(window.frameGeometry().topLeft()));
    const bool fits = design.width() <= room.width() && design.height() <= room.height();
    QCOMPARE(window.size(), fits ? design : design.boundedTo(room.size()));
    QCOMPARE(window.findChildren<QScrollBar *>().size(), fits ? 0 : 2);
    if (fits)
        return;

    // The focus brings a control into view, and back.
    QApplication::setActiveWindow(&window);
    const auto inView = [&window](QWidget *control) {
        return window.rect().contains(QRect(control->pos(), control->size()));
    };
    QVERIFY(inView(top) && !inView(bottom));
    bottom->setFocus(Qt::TabFocusReason);
    QVERIFY(inView(bottom) && !inView(top));
    top->setFocus(Qt::TabFocusReason);
    QVERIFY(inView(top));
}

QTEST_MAIN(TestScreenFit)
#include "tst_screenfit.moc"
