#!/usr/bin/python3
"""The real window as a screen reader meets it: through AT-SPI, under Xvfb,
with a session bus and an accessibility bus of its own, driven by keys.

    atspi_window.py PROGRAM BOOK

Exits 77 (skipped) when Xvfb, xdotool, dbus-daemon or pyatspi is missing.
"""
import atexit
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time

SKIP = 77
program, book = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
for tool in ("Xvfb", "xdotool", "dbus-daemon"):
    if not shutil.which(tool):
        print(f"SKIP: {tool} is missing")
        sys.exit(SKIP)

started = []


def start(args, **kwargs):
    process = subprocess.Popen(args, start_new_session=True, **kwargs)
    started.append(process)
    return process


def stop_all():
    for process in reversed(started):
        try:
            os.killpg(process.pid, signal.SIGTERM)
        except ProcessLookupError:
            pass
        try:
            process.wait(timeout=5)
        except subprocess.TimeoutExpired:
            os.killpg(process.pid, signal.SIGKILL)


# Whatever ends the script, ctest's timeout included, ends what it started.
atexit.register(stop_all)
signal.signal(signal.SIGTERM, lambda *_: sys.exit(1))

work = tempfile.mkdtemp(prefix="quarrelby-atspi-")
atexit.register(shutil.rmtree, work, True)
runtime = os.path.join(work, "run")
os.mkdir(runtime, 0o700)
read_fd, write_fd = os.pipe()
start(["Xvfb", "-displayfd", str(write_fd), "-screen", "0", "1280x1024x24", "-nolisten", "tcp"],
      pass_fds=[write_fd], stderr=subprocess.DEVNULL)
os.close(write_fd)
display = ":" + os.read(read_fd, 16).decode().strip()
bus = start(["dbus-daemon", "--session", "--nofork", "--print-address=1"], stdout=subprocess.PIPE,
            stderr=subprocess.DEVNULL)
address = bus.stdout.readline().decode().strip()
os.environ.update(DISPLAY=display, DBUS_SESSION_BUS_ADDRESS=address, XDG_RUNTIME_DIR=runtime)

try:
    import pyatspi
    from gi.repository import GLib
except ImportError:
    print("SKIP: python3-pyatspi is missing")
    sys.exit(SKIP)

failures = []


def check(condition, what):
    print(("ok   " if condition else "FAIL ") + what)
    if not condition:
        failures.append(what)


def pump(seconds):
    end = time.monotonic() + seconds
    context = GLib.MainContext.default()
    while time.monotonic() < end:
        if not context.iteration(False):
            time.sleep(0.01)


def wait_for(predicate, seconds=10):
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        pump(0.05)
        value = predicate()
        if value:
            return value
    return None


def key(*names):
    subprocess.run(["xdotool", "key", "--delay", "40", *names], check=True)
    pump(0.3)


def application():
    desktop = pyatspi.Registry.getDesktop(0)
    for app in desktop:
        if app is not None and app.name == "quarrelby":
            return app
    return None


def controls(node):
    """The window's objects, not descending into the list's cells."""
    yield node
    if node.getRole() == pyatspi.ROLE_TABLE:
        return
    for child in node:
        if child is not None:
            yield from controls(child)


def focused(app):
    for node in controls(app):
        if node.getState().contains(pyatspi.STATE_FOCUSED) and node.getRole() != pyatspi.ROLE_FRAME:
            return node
    return None


def find(app, role, name=None):
    for node in controls(app):
        if node.getRole() == role and (name is None or node.name == name):
            return node
    return None


events = []
pyatspi.Registry.registerEventListener(
    lambda event: events.append((event.type, event.source, event.detail1)), "object:state-changed")

environment = dict(os.environ, QT_QPA_PLATFORM="xcb", QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1",
                   QUARRELBY_CONTACTS=book, LANG="C.UTF-8")
start([program], env=environment, cwd=work, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
try:
    app = wait_for(application, 30)
    if app is None:
        raise SystemExit("FAIL the window did not appear on the accessibility bus")
    window = wait_for(lambda: find(app, pyatspi.ROLE_FRAME, "Quarrelby"))
    check(window is not None, "the main window is a frame named Quarrelby")
    xid = wait_for(lambda: subprocess.run(["xdotool", "search", "--onlyvisible", "--name", "^Quarrelby$"],
                                          capture_output=True, text=True).stdout.split())

    def refocus():
        # Without a window manager, the X focus does not come back to the
        # window by itself when a message box closes.
        subprocess.run(["xdotool", "windowfocus", "--sync", xid[0]], check=True)
        pump(0.5)

    refocus()

    first = wait_for(lambda: focused(app))
    check(first is not None and first.name == "Extract Contacts From Outlook", "the focus starts on Extract")
    extract = find(app, pyatspi.ROLE_PUSH_BUTTON, "Extract Contacts From Outlook")
    bindings = extract.queryAction().getKeyBinding(0) if extract else ""
    check("E" in bindings.upper() and "ALT" in bindings.upper(), f"Extract announces its shortcut ({bindings})")

    # Tab runs in reading order; the list sits between the boxes and the
    # buttons.
    order = []
    for _ in range(40):
        key("Tab")
        node = focused(app)
        order.append("" if node is None else (node.name or node.getRoleName()))
    check(order[:3] == ["Birthday", "Job Title", "Company Name"], f"Tab starts with the first column: {order[:3]}")
    check(order[31:33] == ["Telex Number", "Contacts"], f"the list follows the last field box: {order[31:33]}")
    check(order[33:40] == ["Save Results As Text File", "Save As Comma Delimited", "Save Results As Excel File",
                           "Copy Results To Clipboard", "Clear List", "Help", "Extract Contacts From Outlook"],
          f"then the buttons row by row: {order[33:40]}")

    # Enter presses the focused button: Extract, then "Done.".
    key("Return")
    done = wait_for(lambda: find(app, pyatspi.ROLE_LABEL, "Done."))
    check(done is not None, "Enter on Extract extracts (the Done. box)")
    key("Return")
    wait_for(lambda: find(app, pyatspi.ROLE_LABEL, "Done.") is None, 5)
    refocus()

    table = find(app, pyatspi.ROLE_TABLE)
    check(table is not None and table.name == "Contacts", "the list is a table named Contacts")
    rows = table.queryTable().nRows
    check(rows > 2, f"it lists the sample contacts ({rows})")
    check(table.description.startswith(f"{rows} contacts, 0 ticked."), f"its description: {table.description}")
    columns = table.queryTable().nColumns
    check(columns == 24, f"only the 24 columns of ticked fields are there ({columns})")
    header = table.queryTable().getColumnHeader(1)
    check(header is not None and header.name == "Birthday", "cells have their column header")

    key("alt+o")
    first_cell = table.queryTable().getAccessibleAt(0, 0)
    check(wait_for(lambda: first_cell.getState().contains(pyatspi.STATE_FOCUSED)),
          "Alt+O moves the focus to the first cell")
    # Qt 6.4's bridge has no "checkable" state; Orca 43 speaks a cell with a
    # "toggle" action as a check box: "checked" or "not checked".
    state = first_cell.getState()
    action = first_cell.queryAction()
    names = [action.getName(i) for i in range(action.nActions)]
    check("toggle" in names and not state.contains(pyatspi.STATE_CHECKED),
          f"an unticked row has a toggle action and is not checked ({names})")

    def ticked():
        t = table.queryTable()
        return [t.getAccessibleAt(r, 0).getState().contains(pyatspi.STATE_CHECKED) for r in range(t.nRows)]

    def checked_events():
        return [detail for kind, _, detail in events if kind == "object:state-changed:checked"]

    events.clear()
    key("space")
    wait_for(checked_events, 3)
    check(ticked()[0] and not any(ticked()[1:]), "Space ticks the current row")
    check(checked_events() == [1], f"and says so ({checked_events()})")

    # The focused row decides for the whole selection: ticked, so all untick.
    events.clear()
    key("ctrl+a", "space")
    wait_for(lambda: len(checked_events()) >= 5, 3)
    check(not any(ticked()), "Ctrl+A, Space on a ticked row unticks every row")
    check(len(checked_events()) >= 5 and not any(checked_events()),
          f"with an event for every row on screen ({checked_events()})")
    events.clear()
    key("space")
    wait_for(lambda: len(checked_events()) >= 5, 3)
    check(all(ticked()), "Space again ticks every row")
    check(len(checked_events()) >= 5 and all(checked_events()), f"with their events ({checked_events()})")
    check(f"{rows} ticked" in table.description, "the description counts the ticks")

    events.clear()
    key("shift+F10", "Down")
    item = wait_for(lambda: [s for kind, s, d in events if kind == "object:state-changed:focused" and d == 1
                             and s.getRole() == pyatspi.ROLE_MENU_ITEM], 3)
    check(item and item[0].name == "Tick All", "Shift+F10 opens the list's menu")
    events.clear()
    key("Down", "Return")  # Untick All
    wait_for(lambda: len(checked_events()) >= 5, 3)
    check(not any(ticked()), "the menu's Untick All unticks every row")
    check(len(checked_events()) >= 5 and not any(checked_events()), "with their events")

    key("Down", "Delete")
    check(table.queryTable().nRows == rows - 1, "Delete removes the current row")
    check(table.description.startswith(f"{rows - 1} contacts"), "the description follows")

    # Enter on Help shows its message.
    key("alt+h")
    helped = wait_for(lambda: find(app, pyatspi.ROLE_ALERT) or find(app, pyatspi.ROLE_DIALOG), 5)
    check(helped is not None, "Alt+H presses Help")
finally:
    stop_all()

print(f"{len(failures)} failed" if failures else "all passed")
sys.exit(1 if failures else 0)
