#include "app/ScreenFit.h"

#include <QApplication>
#include <QEvent>
#include <QScreen>
#include <QScrollBar>
#include <QStyle>
#include <QTimer>
#include <QWidget>

#include <algorithm>

namespace quarrelby {

namespace {
// The least a shrunk window keeps, so that a control can still be reached.
const QSize kSmallest(240, 160);
} // namespace

ScreenFit::ScreenFit(QWidget *window)
    : QObject(window)
    , m_window(window)
    , m_design(window->size())
{
    setObjectName(QStringLiteral("ScreenFit"));
    for (QWidget *child : window->findChildren<QWidget *>(Qt::FindDirectChildrenOnly)) {
        if (child->objectName() == QLatin1String("TitleBar"))
            m_top = child->height();
        else
            m_places.emplace_back(child, child->pos());
    }
    window->installEventFilter(this);
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget *, QWidget *now) {
        if (now && m_window->isAncestorOf(now))
            scrollTo(now);
    });
}

void ScreenFit::fit()
{
    const QScreen *screen = m_window->screen() ? m_window->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect room = screen->availableGeometry();
    // Known once the desktop has framed the window; nothing before.
    const QSize frame = m_window->frameGeometry().size() - m_window->size();
    const QSize most = room.size() - frame;
    if (m_design.width() <= most.width() && m_design.height() <= most.height()) {
        m_window->setFixedSize(m_design);
    } else {
        m_window->setMinimumSize(kSmallest.boundedTo(m_design));
        m_window->setMaximumSize(m_design);
        m_window->resize(m_design.boundedTo(most));
    }
    layOut();
    // The title bar on the screen, whatever is cut.
    QRect placed = m_window->frameGeometry();
    if (!room.contains(placed)) {
        placed.moveLeft(std::clamp(placed.left(), room.left(), std::max(room.left(), room.right() - placed.width())));
        placed.moveTop(std::clamp(placed.top(), room.top(), std::max(room.top(), room.bottom() - placed.height())));
        m_window->move(placed.topLeft());
    }
}

QScrollBar *ScreenFit::bar(Qt::Orientation orientation)
{
    QScrollBar *&bar = orientation == Qt::Horizontal ? m_horizontal : m_vertical;
    if (!bar) {
        bar = new QScrollBar(orientation, m_window);
        bar->setFocusPolicy(Qt::NoFocus);
        connect(bar, &QScrollBar::valueChanged, this, &ScreenFit::layOut);
    }
    return bar;
}

bool ScreenFit::noticeTitleBar()
{
    if (m_top > 0)
        return false;
    const auto *bar = m_window->findChild<QWidget *>(QStringLiteral("TitleBar"), Qt::FindDirectChildrenOnly);
    if (!bar)
        return false;
    // A title bar added once the window was shown (a compositor that leaves
    // decorations to the program after the first frame) moved the controls
    // down by its height and grew the window by as much.
    m_top = bar->height();
    m_design.rheight() += m_top;
    for (auto &[control, place] : m_places)
        place.ry() += m_top;
    return true;
}

void ScreenFit::layOut()
{
    if (noticeTitleBar()) {
        QTimer::singleShot(0, this, &ScreenFit::fit);
        return;
    }
    const QSize shown(m_window->width(), m_window->height() - m_top);
    const QSize content(m_design.width(), m_design.height() - m_top);
    bool across = content.width() > shown.width();
    bool down = content.height() > shown.height();
    if (!across && !down && !m_horizontal && !m_vertical)
        return;
    const int thickness = m_window->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, m_window);
    // Each bar takes room from the other direction.
    down = down || (across && content.height() > shown.height() - thickness);
    across = across || (down && content.width() > shown.width() - thickness);
    const QSize view(shown.width() - (down ? thickness : 0), shown.height() - (across ? thickness : 0));

    QScrollBar *horizontal = bar(Qt::Horizontal);
    QScrollBar *vertical = bar(Qt::Vertical);
    horizontal->setRange(0, std::max(0, content.width() - view.width()));
    horizontal->setPageStep(view.width());
    horizontal->setSingleStep(20);
    horizontal->setGeometry(0, m_top + view.height(), view.width(), thickness);
    horizontal->setVisible(across);
    vertical->setRange(0, std::max(0, content.height() - view.height()));
    vertical->setPageStep(view.height());
    vertical->setSingleStep(20);
    vertical->setGeometry(view.width(), m_top, thickness, view.height());
    vertical->setVisible(down);

    const QPoint offset(across ? horizontal->value() : 0, down ? vertical->value() : 0);
    for (const auto &[control, place] : m_places) {
        if (control)
            control->move(place - offset);
    }
    horizontal->raise();
    vertical->raise();
}

void ScreenFit::scrollTo(QWidget *focus)
{
    if (!(m_horizontal && m_horizontal->isVisible()) && !(m_vertical && m_vertical->isVisible()))
        return;
    const QRect at(focus->mapTo(m_window, QPoint(0, 0)), focus->size());
    const QRect view(0, m_top, m_vertical && m_vertical->isVisible() ? m_vertical->x() : m_window->width(),
        (m_horizontal && m_horizontal->isVisible() ? m_horizontal->y() : m_window->height()) - m_top);
    const auto follow = [](QScrollBar *bar, int start, int end, int viewStart, int viewEnd) {
        if (!bar || !bar->isVisible())
            return;
        if (end > viewEnd)
            bar->setValue(bar->value() + std::min(end - viewEnd, start - viewStart));
        else if (start < viewStart)
            bar->setValue(bar->value() - (viewStart - start));
    };
    follow(m_horizontal, at.left(), at.right(), view.left(), view.right());
    follow(m_vertical, at.top(), at.bottom(), view.top(), view.bottom());
}

bool ScreenFit::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_window && event->type() == QEvent::Resize)
        layOut();
    else if (watched == m_window && event->type() == QEvent::ScreenChangeInternal)
        fit();
    return QObject::eventFilter(watched, event);
}

void fitToScreen(QWidget &window)
{
    auto *fit = window.findChild<ScreenFit *>(QStringLiteral("ScreenFit"), Qt::FindDirectChildrenOnly);
    if (!fit)
        fit = new ScreenFit(&window);
    fit->fit();
}

} // namespace quarrelby
