"""Reads the running editor through the accessibility bus, as a screen reader
would: every control must say what it is and what it is called, and the About
window's link and button must be reachable from the keyboard.

Run by accessibility.sh inside a private session bus on a virtual display.
"""

import os
import subprocess
import sys
import time

# Importing pyatspi connects to the accessibility bus, which the session bus
# starts on demand; the editor then finds it up when it starts.
import pyatspi

STEP_SECONDS = 20
ABOUT_TITLE = "About this Program..."
HOME_PAGE = "https://orvane.example/"

# Roles that only group other objects and take no input of their own (a frame
# inside a window is a drawn border; the windows themselves are checked). Qt marks
# the tab widget focusable although it hands the focus on to its tab bar, so
# such a container is exempt even when it claims to be focusable.
CONTAINERS = {
    pyatspi.ROLE_FILLER, pyatspi.ROLE_PANEL, pyatspi.ROLE_LAYERED_PANE, pyatspi.ROLE_MENU_BAR,
    pyatspi.ROLE_POPUP_MENU, pyatspi.ROLE_SEPARATOR, pyatspi.ROLE_SCROLL_PANE,
    pyatspi.ROLE_VIEWPORT, pyatspi.ROLE_FRAME,
}
# Their children are rows of data, not controls: the combo box's drop-down and
# the names of an image.
ROWS_INSIDE = {pyatspi.ROLE_COMBO_BOX, pyatspi.ROLE_LIST}

failures = []


def check(condition, message):
    if not condition:
        failures.append(message)
        print("FAIL: " + message, file=sys.stderr)


def wait_until(what, probe):
    deadline = time.monotonic() + STEP_SECONDS
    while time.monotonic() < deadline:
        try:
            result = probe()
        except Exception:  # objects vanish and reappear while windows open
            result = None
        if result:
            return result
        time.sleep(0.1)
    raise SystemExit("gave up waiting for " + what)


def states(acc):
    return set(acc.getState().getStates())


def children(acc):
    for i in range(acc.childCount):
        child = acc.getChildAtIndex(i)
        if child is not None:
            yield child


def describe(acc):
    return "%s %r" % (acc.getRoleName(), acc.name)


def controls(top):
    """Every object under top that a user could reach, with its path."""
    pending = [(top, describe(top))]
    while pending:
        acc, path = pending.pop()
        role = acc.getRole()
        if role not in CONTAINERS or acc is top:
            yield acc, path
        if role in ROWS_INSIDE:
            continue
        for child in children(acc):
            pending.append((child, path + " > " + describe(child)))


def check_named(top):
    """Each control has a role and a name; returns them as (role name, name) pairs."""
    seen = set()
    for acc, path in controls(top):
        role = acc.getRole()
        check(role not in (pyatspi.ROLE_INVALID, pyatspi.ROLE_UNKNOWN), "no role: " + path)
        check(bool(acc.name.strip()), "no name: " + path)
        seen.add((acc.getRoleName(), acc.name))
    return seen


def find(top, role, name):
    for acc, _ in controls(top):
        if acc.getRole() == role and acc.name == name:
            return acc
    return None


def window(app, role, title):
    for child in children(app):
        if child.getRole() == role and child.name.startswith(title) \
                and pyatspi.STATE_SHOWING in states(child):
            return child
    return None


def editor_application(pid):
    desktop = pyatspi.Registry.getDesktop(0)
    for app in children(desktop):
        if app.get_process_id() == pid and window(app, pyatspi.ROLE_FRAME, "Orvane Name Editor"):
            return app
    return None


def xdotool(*args):
    return subprocess.run(["xdotool", *args], check=True, timeout=STEP_SECONDS,
                          capture_output=True, text=True).stdout


def main_window_reads_well(app):
    frame = window(app, pyatspi.ROLE_FRAME, "Orvane Name Editor")
    seen = check_named(frame)
    expected = [
        ("push button", "Save"), ("push button", "Quit"),
        ("radio button", "Characters"), ("radio button", "Monsters"),
        ("radio button", "Magic"), ("radio button", "Items"),
        ("list", "Character names"), ("list", "Monster names"),
        ("list", "Magic names"), ("list", "Item names"),
        ("combo box", "Leading byte"), ("text", "Name"), ("progress bar", "Loading progress"),
        ("page tab", "Name Editor"),
        ("menu item", "File"), ("menu item", "Open ROM"), ("menu item", "Close ROM"),
        ("menu item", "Quit"), ("menu item", "Help"), ("menu item", "About"),
    ]
    for role, name in expected:
        check((role, name) in seen, "main window has no %s %r" % (role, name))


def about_reachable_by_keyboard(app, pid):
    main = xdotool("search", "--onlyvisible", "--pid", str(pid), "--name", "^Orvane Name Editor")
    # Without a window manager nobody hands out the focus, so it is given directly.
    xdotool("windowfocus", "--sync", main.split()[0])
    xdotool("key", "F1")
    about = wait_until("the About window", lambda: window(app, pyatspi.ROLE_DIALOG, ABOUT_TITLE))
    check_named(about)

    link = find(about, pyatspi.ROLE_LABEL, HOME_PAGE)
    close = find(about, pyatspi.ROLE_PUSH_BUTTON, "Close")
    check(link is not None, "About window has no link labelled " + HOME_PAGE)
    check(close is not None, "About window has no Close button")
    if link is None or close is None:
        return
    check(pyatspi.STATE_FOCUSABLE in states(link), "the link cannot take the focus")

    def focus_on(acc, other):
        return pyatspi.STATE_FOCUSED in states(acc) and pyatspi.STATE_FOCUSED not in states(other)

    wait_until("the focus on Close as the window opens", lambda: focus_on(close, link))
    xdotool("key", "Tab")
    wait_until("Tab to move the focus to the link", lambda: focus_on(link, close))
    xdotool("key", "Tab")
    wait_until("Tab to bring the focus back to Close", lambda: focus_on(close, link))
    xdotool("key", "Return")
    wait_until("Enter on Close to close the About window",
               lambda: window(app, pyatspi.ROLE_DIALOG, ABOUT_TITLE) is None)


def main():
    env = dict(os.environ, QT_QPA_PLATFORM="xcb", QT_ACCESSIBILITY="1",
               QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1")
    editor = subprocess.Popen([sys.argv[1]], env=env, stdout=subprocess.DEVNULL,
                              stderr=subprocess.PIPE, text=True)
    try:
        app = wait_until("the editor on the accessibility bus",
                         lambda: editor.poll() is None and editor_application(editor.pid))
        main_window_reads_well(app)
        about_reachable_by_keyboard(app, editor.pid)
        check(editor.poll() is None, "the editor ended during the test")
    finally:
        if editor.poll() is None:
            editor.terminate()
        try:
            _, errors = editor.communicate(timeout=STEP_SECONDS)
        except subprocess.TimeoutExpired:
            editor.kill()
            _, errors = editor.communicate()
        if failures and errors:
            print("The editor said:\n" + errors, file=sys.stderr)
    if failures:
        sys.exit(1)
    print("Every control has a role and a name; the About link and button take the focus.")


if __name__ == "__main__":
    main()
