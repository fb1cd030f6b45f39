#include "platform/qt/TitleBar.h"

#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QToolButton>
#include <QWindow>

namespace quarrelby {

namespace {
constexpr int kButtonSize = 24;
constexpr int kMargin = 4;
constexpr int kIconSize = 22;
constexpr int kIconLeft = kMargin + 4;
const QColor kBar(0xef, 0xef, 0xef);
constexpr int kGlyph = 16;

// A dash or a cross, in the plain strokes of the rest of the window.
QIcon drawGlyph(bool minimise)
{
    QPixmap pixmap(kGlyph, kGlyph);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor(0x20, 0x20, 0x20), 2));
    if (minimise) {
        painter.drawLine(QPointF(4, 11), QPointF(12, 11));
    } else {
        painter.drawLine(QPointF(4, 4), QPointF(12, 12));
        painter.drawLine(QPointF(4, 12), QPointF(12, 4));
    }
    return QIcon(pixmap);
}
} // namespace

TitleBar::TitleBar(QWidget *window, Buttons buttons)
    : QWidget(window)
{
    setObjectName(QStringLiteral("TitleBar"));
    setFont(barFont());
    m_close = addButton("TitleBarClose", Glyph::Close, QStringLiteral("Close"));
    connect(m_close, &QToolButton::clicked, window, &QWidget::close);
    if (buttons == Buttons::MinimiseAndClose) {
        m_minimise = addButton("TitleBarMinimise", Glyph::Minimise, QStringLiteral("Minimise"));
        connect(m_minimise, &QToolButton::clicked, window, &QWidget::showMinimized);
    }
    fitWindow();
    // The window's size, title, icon and activation change after the bar
    // is made, and its line is drawn with the window.
    window->installEventFilter(this);
}

QFont TitleBar::barFont()
{
    // The desktop's font, as on the bars the desktop draws; every window's
    // bar alike.
    QFont font = QGuiApplication::font();
    font.setPixelSize(14);
    font.setBold(false);
    return font;
}

QToolButton *TitleBar::addButton(const char *name, Glyph glyph, const QString &label)
{
    auto *b = new QToolButton(this);
    b->setObjectName(QString::fromLatin1(name));
    b->setAutoRaise(true);
    b->setFocusPolicy(Qt::NoFocus);
    b->setIcon(drawGlyph(glyph == Glyph::Minimise));
    b->setToolTip(label);
    b->setAccessibleName(label);
    b->setFixedSize(kButtonSize, kButtonSize);
    return b;
}

int TitleBar::titleSide(Buttons buttons)
{
    const int count = buttons == Buttons::MinimiseAndClose ? 2 : 1;
    return std::max(kMargin + count * (kButtonSize + kMargin), kIconLeft + kIconSize + kMargin);
}

int TitleBar::widthForTitle(const QString &title, Buttons buttons)
{
    return 2 * titleSide(buttons) + QFontMetrics(barFont()).horizontalAdvance(title) + 2;
}

int TitleBar::widthForTitle() const
{
    return widthForTitle(window()->windowTitle(), buttons());
}

void TitleBar::widenForTitle(QWidget &window, Buttons buttons, const QString &title)
{
    const int needed = widthForTitle(title, buttons);
    if (window.width() >= needed)
        return;
    // A message box sizes itself to its text, a fixed size.
    if (window.minimumWidth() == window.maximumWidth())
        window.setFixedWidth(needed);
    else
        window.setMinimumWidth(needed);
}

void TitleBar::fitWindow()
{
    QWidget *window = parentWidget();
    widenForTitle(*window, buttons(), window->windowTitle());
    setGeometry(0, 0, window->width(), kHeight);
    m_close->move(width() - kMargin - kButtonSize, (kHeight - kButtonSize) / 2);
    if (m_minimise)
        m_minimise->move(m_close->x() - kMargin - kButtonSize, m_close->y());
}

bool TitleBar::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::Resize:
    case QEvent::WindowTitleChange:
        fitWindow();
        update();
        break;
    case QEvent::WindowIconChange:
    case QEvent::ActivationChange:
        update();
        break;
    case QEvent::Paint: {
        // Without the desktop's frame, a line tells the window from a light
        // desktop. Drawn before the window paints; its controls keep clear
        // of its edge.
        QPainter painter(parentWidget());
        painter.setPen(QColor(kEdge));
        painter.drawRect(parentWidget()->rect().adjusted(0, 0, -1, -1));
        break;
    }
    default:
        break;
    }
    return QWidget::eventFilter(watched, event);
}

void TitleBar::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), kBar);
    painter.setPen(QColor(kEdge));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
    const QWidget *window = this->window();
    const QIcon icon = window->windowIcon();
    if (!icon.isNull())
        icon.paint(&painter, QRect(kIconLeft, (kHeight - kIconSize) / 2, kIconSize, kIconSize));
    // Centred on the window, clear of the icon and the buttons.
    const int side = titleSide(buttons());
    painter.setPen(palette().color(isActiveWindow() ? QPalette::Active : QPalette::Disabled, QPalette::WindowText));
    painter.drawText(rect().adjusted(side, 0, -side, -1), Qt::AlignCenter,
        fontMetrics().elidedText(window->windowTitle(), Qt::ElideRight, width() - 2 * side));
}

void TitleBar::mousePressEvent(QMouseEvent *event)
{
    // The compositor moves the window; a program cannot place itself there.
    if (event->button() == Qt::LeftButton && window()->windowHandle())
        window()->windowHandle()->startSystemMove();
    event->accept();
}

} // namespace quarrelby
