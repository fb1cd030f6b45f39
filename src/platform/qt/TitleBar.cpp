#include "app/TitleBar.h"

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
const QColor kBar(0xef, 0xef, 0xef);
constexpr int kGlyph = 16;

// A dash or a cross, in the plain strokes of the rest of the window.
QIcon drawGlyph(TitleBar::Glyph glyph)
{
    QPixmap pixmap(kGlyph, kGlyph);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor(0x20, 0x20, 0x20), 2));
    if (glyph == TitleBar::Glyph::Minimise) {
        painter.drawLine(QPointF(4, 11), QPointF(12, 11));
    } else {
        painter.drawLine(QPointF(4, 4), QPointF(12, 12));
        painter.drawLine(QPointF(4, 12), QPointF(12, 4));
    }
    return QIcon(pixmap);
}
} // namespace

bool TitleBar::needed()
{
    return QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}

TitleBar::TitleBar(QWidget *window)
    : QWidget(window)
{
    setObjectName(QStringLiteral("TitleBar"));
    setGeometry(0, 0, window->width(), kHeight);
    setAttribute(Qt::WA_OpaquePaintEvent);
    QFont font = window->font();
    font.setPixelSize(14);
    font.setBold(false);
    setFont(font);
    QToolButton *close = button("TitleBarClose", Glyph::Close, QStringLiteral("Close"));
    close->move(width() - kMargin - kButtonSize, (kHeight - kButtonSize) / 2);
    QToolButton *minimise = button("TitleBarMinimise", Glyph::Minimise, QStringLiteral("Minimise"));
    minimise->move(close->x() - kMargin - kButtonSize, close->y());
    connect(close, &QToolButton::clicked, window, &QWidget::close);
    connect(minimise, &QToolButton::clicked, window, &QWidget::showMinimized);
    // The window's title, icon and activation change after the bar is made.
    window->installEventFilter(this);
}

QToolButton *TitleBar::button(const char *name, Glyph glyph, const QString &tip)
{
    auto *b = new QToolButton(this);
    b->setObjectName(QString::fromLatin1(name));
    b->setAutoRaise(true);
    b->setFocusPolicy(Qt::NoFocus);
    b->setIcon(drawGlyph(glyph));
    b->setToolTip(tip);
    b->setFixedSize(kButtonSize, kButtonSize);
    return b;
}

bool TitleBar::eventFilter(QObject *watched, QEvent *event)
{
    const QEvent::Type type = event->type();
    if (type == QEvent::WindowTitleChange || type == QEvent::WindowIconChange || type == QEvent::ActivationChange)
        update();
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
        icon.paint(&painter, QRect(kMargin + 4, (kHeight - kIconSize) / 2, kIconSize, kIconSize));
    // Centred on the window, clear of the icon and the buttons.
    const int side = kMargin + 2 * (kButtonSize + kMargin);
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
