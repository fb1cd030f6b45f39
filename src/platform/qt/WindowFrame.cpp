#include "platform/qt/WindowFrame.h"

#include <QDialog>
#include <QGuiApplication>
#include <QLayout>
#include <QTimer>
#include <QWindow>
#include <QtWaylandClient/QWaylandClientExtension>

#include <wayland-util.h>

namespace quarrelby {

namespace {
// Set once a compositor that offered to decorate windows has left a window's
// bar to it after all: the windows shown from then on bring their own.
bool g_leftToWindows = false;

bool onWayland()
{
    // "wayland", "wayland-egl", ...: every one is Qt's Wayland client.
    return QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}

// Qt's connection has learnt the compositor's globals before any window
// shows; this asks it whether one of them is the given interface, without
// binding it.
class Advertised : public QWaylandClientExtension {
public:
    explicit Advertised(const char *interface)
        : QWaylandClientExtension(1)
        , m_interface {interface, 1, 0, nullptr, 0, nullptr}
    {
        initialize();
    }

    [[nodiscard]] const wl_interface *extensionInterface() const override { return &m_interface; }
    void bind(wl_registry *, int, int) override { }

private:
    const wl_interface m_interface;
};

bool compositorDecorates()
{
    static const bool offered = Advertised("zxdg_decoration_manager_v1").isActive();
    return offered;
}

void addOwnTitleBar(QWidget &window, TitleBar::Buttons buttons)
{
    // Qt drops the frameless hint while title-bar buttons are asked for.
    const Qt::WindowFlags flags = (window.windowFlags() & Qt::WindowType_Mask) | Qt::FramelessWindowHint;
    if (window.isVisible() && window.windowHandle()) {
        // setWindowFlags() would hide the window, which ends a dialog.
        window.overrideWindowFlags(flags);
        window.windowHandle()->setFlags(flags);
    } else {
        window.setWindowFlags(flags);
    }
    if (QLayout *layout = window.layout(); layout != nullptr) {
        QMargins margins = window.contentsMargins();
        margins.setTop(margins.top() + TitleBar::kHeight);
        window.setContentsMargins(margins);
    } else {
        for (QWidget *child : window.findChildren<QWidget *>(Qt::FindDirectChildrenOnly)) {
            if (!child->isWindow())
                child->move(child->x(), child->y() + TitleBar::kHeight);
        }
    }
    // A window that sizes itself to its layout grows when it is shown.
    const QSize grown(window.width(), window.height() + TitleBar::kHeight);
    if (window.minimumSize() == window.maximumSize())
        window.setFixedSize(grown);
    else if (window.isVisible())
        window.resize(grown);
    auto *bar = new TitleBar(&window, buttons);
    bar->setVisible(true);
}

// A compositor that offers to decorate windows may still leave that to the
// program once a window is shown: sway does with a "border csd" rule, after
// the first frame. Qt then draws its own frame, with a maximise button that
// does nothing; the window takes its own bar instead. That compositor may
// have no minimising (sway has none), so the bar offers only closing.
class LateTitleBar : public QObject {
public:
    explicit LateTitleBar(QWidget &window)
        : QObject(&window)
        , m_window(window)
    {
        window.installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        QWindow *handle = m_window.windowHandle();
        if (watched == &m_window) {
            if (event->type() == QEvent::Show && handle)
                handle->installEventFilter(this);
        } else if (watched == handle && !m_switching
            && (event->type() == QEvent::Expose || event->type() == QEvent::UpdateRequest)
            && !handle->frameMargins().isNull()) {
            // Not while Qt delivers the event to the window it changes.
            m_switching = true;
            QTimer::singleShot(0, this, [this] {
                g_leftToWindows = true;
                addOwnTitleBar(m_window, TitleBar::Buttons::Close);
                deleteLater();
            });
        }
        return false;
    }

private:
    QWidget &m_window;
    bool m_switching = false;
};
} // namespace

TitleBars titleBarsHere()
{
    if (!onWayland())
        return TitleBars::Desktop;
    return compositorDecorates() && !g_leftToWindows ? TitleBars::Desktop : TitleBars::Own;
}

void provideTitleBar(QWidget &window, TitleBar::Buttons buttons)
{
    if (!onWayland())
        return;
    if (titleBarsHere() == TitleBars::Own)
        addOwnTitleBar(window, buttons);
    else
        new LateTitleBar(window);
}

void keepInFront(QDialog &dialog)
{
    QWidget *owner = dialog.parentWidget() ? dialog.parentWidget()->window() : nullptr;
    if (!owner || !onWayland())
        return;
    // Qt's X11 client hands the focus of a blocked window on to the window
    // that blocks it; its Wayland client does not.
    QObject::connect(qGuiApp, &QGuiApplication::focusWindowChanged, &dialog, [&dialog, owner](QWindow *focused) {
        // Not activateWindow(): a dialog counts as active while the window
        // it belongs to has the focus.
        if (focused && focused == owner->windowHandle() && dialog.isVisible() && dialog.windowHandle())
            dialog.windowHandle()->requestActivate();
    });
}

} // namespace quarrelby
