#include "platform/qt/ClipboardHandover.h"

#include <QAbstractNativeEventFilter>
#include <QClipboard>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QThread>
#include <QtGui/qguiapplication_platform.h>

#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>

namespace quarrelby {

namespace {

xcb_atom_t internAtom(xcb_connection_t *connection, const char *name)
{
    const auto cookie = xcb_intern_atom(connection, 0, static_cast<uint16_t>(std::strlen(name)), name);
    xcb_intern_atom_reply_t *reply = xcb_intern_atom_reply(connection, cookie, nullptr);
    if (!reply)
        return XCB_ATOM_NONE;
    const xcb_atom_t atom = reply->atom;
    std::free(reply);
    return atom;
}

xcb_window_t selectionOwner(xcb_connection_t *connection, xcb_atom_t selection)
{
    xcb_get_selection_owner_reply_t *reply
        = xcb_get_selection_owner_reply(connection, xcb_get_selection_owner(connection, selection), nullptr);
    if (!reply)
        return XCB_NONE;
    const xcb_window_t owner = reply->owner;
    std::free(reply);
    return owner;
}

// While the manager takes the clipboard, Qt goes on answering its requests
// for our data (SelectionRequest, and PropertyNotify for large texts sent in
// pieces). Everything else that arrives from the X server is dropped: the
// program is ending, and no click, key or close may start a handler now.
class HandoverFilter : public QAbstractNativeEventFilter {
public:
    explicit HandoverFilter(xcb_window_t requestor)
        : m_requestor(requestor)
    {
    }

    [[nodiscard]] bool answered() const { return m_answered; }

    bool nativeEventFilter(const QByteArray &eventType, void *message, qintptr *) override
    {
        if (eventType != "xcb_generic_event_t")
            return false;
        const auto *event = static_cast<const xcb_generic_event_t *>(message);
        switch (event->response_type & ~0x80) {
        case 0: // an error: Qt reports it
        case XCB_SELECTION_REQUEST:
        case XCB_SELECTION_CLEAR:
        case XCB_PROPERTY_NOTIFY:
            return false;
        case XCB_SELECTION_NOTIFY:
            if (reinterpret_cast<const xcb_selection_notify_event_t *>(event)->requestor != m_requestor)
                return false;
            m_answered = true;
            return true;
        default:
            // Core events (input, closing, painting) and XInput's generic
            // events; other extensions' events (XFixes selection owners) pass.
            return (event->response_type & ~0x80) <= XCB_GE_GENERIC;
        }
    }

private:
    xcb_window_t m_requestor;
    bool m_answered = false;
};

} // namespace

void handOverClipboard(int limitMs)
{
    // Wayland has no hand-over request: GNOME's and KDE's compositors keep
    // the last copied text themselves, a bare compositor lets it go with the
    // program. There is nothing to wait for, so the program ends at once.
    auto *x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    const QClipboard *clipboard = QGuiApplication::clipboard();
    if (!x11 || !x11->connection() || !clipboard || !clipboard->ownsClipboard())
        return;
    xcb_connection_t *connection = x11->connection();
    const xcb_atom_t manager = internAtom(connection, "CLIPBOARD_MANAGER");
    if (manager == XCB_ATOM_NONE || selectionOwner(connection, manager) == XCB_NONE)
        return;
    const xcb_atom_t saveTargets = internAtom(connection, "SAVE_TARGETS");
    const xcb_atom_t property = internAtom(connection, "QUARRELBY_HANDOVER");

    // A window of our own receives the manager's answer. The property is
    // left unset: the manager saves every format we offer.
    const xcb_screen_t *screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
    const xcb_window_t requestor = xcb_generate_id(connection);
    xcb_create_window(connection, XCB_COPY_FROM_PARENT, requestor, screen->root, 0, 0, 1, 1, 0,
        XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, 0, nullptr);

    HandoverFilter filter(requestor);
    QCoreApplication::instance()->installNativeEventFilter(&filter);
    xcb_convert_selection(connection, requestor, manager, saveTargets, property, XCB_CURRENT_TIME);
    xcb_flush(connection);

    constexpr auto flags
        = QEventLoop::ExcludeUserInputEvents | QEventLoop::ExcludeSocketNotifiers | QEventLoop::X11ExcludeTimers;
    QElapsedTimer waited;
    waited.start();
    qint64 ownerChecked = 0;
    while (!filter.answered() && waited.elapsed() < limitMs) {
        QCoreApplication::processEvents(flags);
        if (filter.answered())
            break;
        // A manager that went away will not answer.
        if (waited.elapsed() - ownerChecked >= 50) {
            ownerChecked = waited.elapsed();
            if (selectionOwner(connection, manager) == XCB_NONE)
                break;
        }
        QThread::msleep(1);
    }
    QCoreApplication::instance()->removeNativeEventFilter(&filter);
    xcb_destroy_window(connection, requestor);
    xcb_flush(connection);
}

} // namespace quarrelby
