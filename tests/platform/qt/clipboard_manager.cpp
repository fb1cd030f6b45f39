// A clipboard manager that takes the clipboard only when its owner hands it
// over at its end (a SAVE_TARGETS request to CLIPBOARD_MANAGER), as some
// desktops' managers do; it never copies eagerly. It then owns CLIPBOARD and
// serves the saved text as UTF8_STRING. Prints "ready" once it owns
// CLIPBOARD_MANAGER. With --silent it never answers a hand-over.

#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <climits>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

void reply(Display *display, const XSelectionRequestEvent &request, Atom property)
{
    XEvent answer {};
    answer.xselection.type = SelectionNotify;
    answer.xselection.display = display;
    answer.xselection.requestor = request.requestor;
    answer.xselection.selection = request.selection;
    answer.xselection.target = request.target;
    answer.xselection.property = property;
    answer.xselection.time = request.time;
    XSendEvent(display, request.requestor, False, NoEventMask, &answer);
    XFlush(display);
}

} // namespace

int main(int argc, char **argv)
{
    const bool silent = argc > 1 && std::strcmp(argv[1], "--silent") == 0;
    Display *display = XOpenDisplay(nullptr);
    if (!display) {
        std::fprintf(stderr, "clipboard_manager: cannot open the display\n");
        return 2;
    }
    const Window window = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 1, 1, 0, 0, 0);
    const Atom manager = XInternAtom(display, "CLIPBOARD_MANAGER", False);
    const Atom clipboard = XInternAtom(display, "CLIPBOARD", False);
    const Atom saveTargets = XInternAtom(display, "SAVE_TARGETS", False);
    const Atom targets = XInternAtom(display, "TARGETS", False);
    const Atom utf8 = XInternAtom(display, "UTF8_STRING", False);
    const Atom incoming = XInternAtom(display, "MANAGER_SAVED", False);
    XSetSelectionOwner(display, manager, window, CurrentTime);
    if (XGetSelectionOwner(display, manager) != window) {
        std::fprintf(stderr, "clipboard_manager: another manager runs\n");
        return 2;
    }
    std::printf("ready\n");
    std::fflush(stdout);

    std::string text;
    bool haveText = false;
    XSelectionRequestEvent handover {};
    bool saving = false;
    for (;;) {
        XEvent event;
        XNextEvent(display, &event);
        if (event.type == SelectionRequest) {
            const XSelectionRequestEvent &request = event.xselectionrequest;
            if (request.selection == manager && request.target == saveTargets) {
                if (silent)
                    continue;
                // Fetch the text from the clipboard's owner, answer once it is here.
                handover = request;
                saving = true;
                XConvertSelection(display, clipboard, utf8, incoming, window, CurrentTime);
                continue;
            }
            Atom answered = None;
            const Atom property = request.property == None ? request.target : request.property;
            if (request.selection == clipboard && haveText && request.target == targets) {
                const Atom offered[] = {targets, utf8};
                XChangeProperty(display, request.requestor, property, XA_ATOM, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char *>(offered), 2);
                answered = property;
            } else if (request.selection == clipboard && haveText && request.target == utf8) {
                XChangeProperty(display, request.requestor, property, utf8, 8, PropModeReplace,
                    reinterpret_cast<const unsigned char *>(text.data()), static_cast<int>(text.size()));
                answered = property;
            }
            reply(display, request, answered);
        } else if (event.type == SelectionNotify && saving) {
            saving = false;
            if (event.xselection.property != None) {
                Atom type = None;
                int format = 0;
                unsigned long count = 0, after = 0;
                unsigned char *data = nullptr;
                XGetWindowProperty(display, window, incoming, 0, LONG_MAX / 4, True, AnyPropertyType, &type, &format,
                    &count, &after, &data);
                if (data && type == utf8) {
                    text.assign(reinterpret_cast<const char *>(data), count);
                    haveText = true;
                    XSetSelectionOwner(display, clipboard, window, CurrentTime);
                }
                if (data)
                    XFree(data);
            }
            reply(display, handover, haveText ? handover.property : None);
        } else if (event.type == SelectionClear && event.xselectionclear.selection == clipboard) {
            haveText = false;
        }
    }
}
