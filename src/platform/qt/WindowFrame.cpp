#include "platform/qt/WindowFrame.h"

#include <QDialog>
#include <QGuiApplication>
#include <QLayout>
#include <QTimer>
#include <QWindow>
#include <QtWaylandClient/QWaylandClientExtension>
#include <qpa/qplatformnativeinterface.h>

#include <wayland-client.h>

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

// GNOME's compositor (mutter 43) places a window over the one it belongs to
// only when it knows it for a dialog, and a Wayland window becomes one only
// through gtk-shell's set_modal; xdg_toplevel.set_parent alone leaves it
// where a new main window goes, the top-left corner. Qt does not speak
// gtk-shell: these are the messages of its version 1 that are sent or may
// arrive, as the compositor numbers them.
const wl_interface *g_noTypes[6] = {};
const wl_message kGtkSurfaceRequests[] = {{"set_dbus_properties", "?s?s?s?s?s?s", g_noTypes},
    {"set_modal", "", g_noTypes}, {"unset_modal", "", g_noTypes}, {"present", "u", g_noTypes}};
const wl_message kGtkSurfaceEvents[] = {{"configure", "a", g_noTypes}};
const wl_interface kGtkSurface = {"gtk_surface1", 1, 4, kGtkSurfaceRequests, 1, kGtkSurfaceEvents};
const wl_interface *g_gtkSurfaceTypes[] = {&kGtkSurface, &wl_surface_interface};
const wl_message kGtkShellRequests[]
    = {{"get_gtk_surface", "no", g_gtkSurfaceTypes}, {"set_startup_id", "?s", g_noTypes}};
const wl_message kGtkShellEvents[] = {{"capabilities", "u", g_noTypes}};
const wl_interface kGtkShell = {"gtk_shell1", 1, 2, kGtkShellRequests, 1, kGtkShellEvents};
constexpr uint32_t kGetGtkSurface = 0;
constexpr uint32_t kSetModal = 1;

class GtkShell : public QWaylandClientExtension {
public:
    GtkShell()
        : QWaylandClientExtension(1)
    {
        initialize();
    }

    [[nodiscard]] const wl_interface *extensionInterface() const override { return &kGtkShell; }
    void bind(wl_registry *registry, int id, int) override
    {
        m_shell = static_cast<wl_proxy *>(wl_registry_bind(registry, static_cast<uint32_t>(id), &kGtkShell, 1));
    }

    // Before the window's first frame, when the compositor places it.
    void setModal(QWindow &window)
    {
        auto *surface = static_cast<wl_surface *>(
            QGuiApplication::platformNativeInterface()->nativeResourceForWindow("surface", &window));
        if (!m_shell || !surface)
            return;
        wl_proxy *gtkSurface = wl_proxy_marshal_constructor(m_shell, kGetGtkSurface, &kGtkSurface, nullptr, surface);
        wl_proxy_marshal(gtkSurface, kSetModal);
        // Version 1 has no request that ends it; the compositor's side goes
        // with the window's surface.
        wl_proxy_destroy(gtkSurface);
    }

private:
    wl_proxy *m_shell = nullptr;
};

// Only GNOME's compositor offers gtk-shell. Bound once and kept: Qt's
// connection ends before the application's objects would.
GtkShell *gtkShell()
{
    static GtkShell *const shell = new GtkShell;
    return shell->isActive() ? shell : nullptr;
}

// Has the compositor treat a modal dialog as one; see treatAsDialog().
class DialogOfWindow : public QObject {
public:
    explicit DialogOfWindow(QDialog &dialog)
        : QObject(&dialog)
        , m_dialog(dialog)
    {
        dialog.installEventFilter(this);
        QWidget *owner = dialog.parentWidget() ? dialog.parentWidget()->window() : nullptr;
        if (!owner)
            return;
        // Qt's X11 client hands the focus of a blocked window on to the
        // window that blocks it; its Wayland client does not.
        connect(qGuiApp, &QGuiApplication::focusWindowChanged, this, [this, owner](QWindow *focused) {
            // Not activateWindow(): a dialog counts as active while the
            // window it belongs to has the focus.
            if (focused && focused == owner->windowHandle() && m_dialog.isVisible() && m_dialog.windowHandle())
                m_dialog.windowHandle()->requestActivate();
        });
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        QWindow *handle = m_dialog.windowHandle();
        if (watched == &m_dialog && event->type() == QEvent::Show && handle)
            handle->installEventFilter(this);
        if (watched == &m_dialog && (event->type() == QEvent::Show || event->type() == QEvent::Resize)
            && !m_dialog.findChild<TitleBar *>(QString(), Qt::FindDirectChildrenOnly)) {
            // The desktop's bar: Qt widens a message box by a measure of
            // Windows' bar, too narrow for KWin's, which then shows no title,
            // and which numbers a second window of the same title (" <2>").
            TitleBar::widenForTitle(
                m_dialog, TitleBar::Buttons::MinimiseAndClose, m_dialog.windowTitle() + QStringLiteral(" <2>"));
        } else if (watched == handle && event->type() == QEvent::Expose && !m_marked) {
            // The first exposure comes before the first frame.
            m_marked = true;
            if (GtkShell *shell = gtkShell())
                shell->setModal(*handle);
        }
        return false;
    }

private:
    QDialog &m_dialog;
    bool m_marked = false;
};

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
        m_switch.setSingleShot(true);
        m_switch.setInterval(0);
        connect(&m_switch, &QTimer::timeout, this, &LateTitleBar::switchToOwnBar);
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
            m_switch.start();
        }
        return false;
    }

private:
    void switchToOwnBar()
    {
        g_leftToWindows = true;
        addOwnTitleBar(m_window, TitleBar::Buttons::Close);
        deleteLater();
    }

    QWidget &m_window;
    QTimer m_switch;
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

void treatAsDialog(QDialog &dialog)
{
    if (onWayland())
        new DialogOfWindow(dialog);
}

} // namespace quarrelby
