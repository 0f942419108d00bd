"""The built editor on a private virtual X display, worked with xdotool the way
a user works it: shortcuts, clicks and typing into the real file dialog.

Every wait has a limit, so a program that hangs fails the test instead of
holding it up; whatever was started is stopped again on the way out. The
limits grow with the machine's load (ORVANE_TEST_TIME_FACTOR sets the factor
instead), and the waits end on what the program does, never on a pause.
"""

import argparse
import os
import random
import re
import select
import shutil
import signal
import subprocess
import sys
import tempfile
import time



def time_factor():
    """How much longer than on a quiet machine any step may take: three times
    at least, more as the load per core grows, or as the environment says."""
    given = os.environ.get("ORVANE_TEST_TIME_FACTOR")
    if given:
        return max(1.0, float(given))
    return min(10.0, max(3.0, 3.0 * os.getloadavg()[0] / (os.cpu_count() or 1)))


TIME_FACTOR = time_factor()
STEP_SECONDS = 20 * TIME_FACTOR
# Below the limit CTest sets (tests/CMakeLists.txt).
WHOLE_RUN_SECONDS = int(min(150 * TIME_FACTOR, 840))
NO_IMAGE_CAPTION = "Orvane Name Editor - No ROM loaded."
PROBLEM_BOX = "Orvane Name Editor"

# Where the controls lie in the window's client area, below the menu bar.
CLIENT_HEIGHT = 309
ITEMS_OPTION = (312 + 20, 80 + 8)
LIST_FIRST_ROW = (20 + 30, 38 + 5)
NAME_BOX = (200 + 50, 54 + 10)


class Failed(Exception):
    pass


def arguments():
    parser = argparse.ArgumentParser()
    parser.add_argument("--editor", required=True)
    parser.add_argument("--names", required=True)
    parser.add_argument("--demo", required=True)
    # As the window's caption shows it, "0.58" for 0.5.8.
    parser.add_argument("--version-text", required=True)
    return parser.parse_args()


def check(condition, message):
    if not condition:
        raise Failed(message)


def wait_until(probe, what, seconds=STEP_SECONDS):
    """Returns probe()'s first true value; fails after the given time. what
    may be a function, so the failure tells the state at the end."""
    deadline = time.monotonic() + seconds
    while True:
        value = probe()
        if value:
            return value
        if time.monotonic() > deadline:
            raise Failed("timed out waiting for " + (what() if callable(what) else what))
        time.sleep(0.05)


def out_of_time(*_):
    raise Failed("the test ran out of time")


def main(test):
    """Runs test(desktop, args) and turns its outcome into an exit status."""
    args = arguments()
    # The whole run gets a hard limit too, below the one CTest sets.
    signal.signal(signal.SIGALRM, out_of_time)
    signal.alarm(WHOLE_RUN_SECONDS)
    try:
        with Desktop(args) as desktop:
            try:
                test(desktop, args)
            except Failed:
                desktop.dump_log()
                desktop.take_picture(os.path.splitext(os.path.basename(sys.argv[0]))[0] + "-failed.png")
                raise
    except Failed as failure:
        print("FAIL:", failure, file=sys.stderr)
        return 1
    print("PASS")
    return 0


class Desktop:
    def __init__(self, args):
        self.args = args
        # The caption of the window with no image open yet.
        self.version_caption = "Orvane Name Editor (v%s)" % args.version_text
        self.work = tempfile.mkdtemp(prefix="orvane-desktop-")
        self.xvfb = None
        self.editor = None
        self.spy = None
        self.spied = b""
        self.env = dict(os.environ)
        # Typed text and file names are UTF-8 whatever the caller's locale.
        self.env["LC_ALL"] = "C.UTF-8"
        self.env["QT_QPA_PLATFORM"] = "xcb"
        self.env["XDG_RUNTIME_DIR"] = self.path("runtime")
        os.mkdir(self.env["XDG_RUNTIME_DIR"], 0o700)
        self.log_path = self.path("editor.log")

    def path(self, *parts):
        return os.path.join(self.work, *parts)

    def __enter__(self):
        # A display number of its own at random, rather than the lowest free
        # one that every other X server started at the same moment reaches for.
        for number in random.sample(range(200, 1000), 5):
            if self.start_xvfb(number):
                break
        else:
            self.__exit__(None, None, None)
            raise Failed("Xvfb did not start")
        self.env["DISPLAY"] = ":%d" % number
        # A German keyboard has keys for the accented letters the tests type;
        # xdotool would otherwise remap a key for each, which the program can
        # miss while it reloads the keyboard map.
        self.run("setxkbmap", "de")
        return self

    def start_xvfb(self, number):
        """Starts Xvfb on the display; False when it ends instead (the
        display is taken)."""
        read_end, write_end = os.pipe()
        with open(self.path("xvfb.log"), "wb") as log:
            self.xvfb = subprocess.Popen(
                # Without -noreset the server starts afresh whenever its last
                # client leaves, refusing connections for that moment and
                # forgetting the keyboard map.
                ["Xvfb", ":%d" % number, "-displayfd", str(write_end), "-screen", "0", "1024x768x24",
                 "-nolisten", "tcp", "-noreset"],
                pass_fds=(write_end,), stdout=log, stderr=subprocess.STDOUT, env=self.env)
        os.close(write_end)
        # It writes the number once it takes connections, and the line's end
        # separately: the pipe must stay open until that has come too.
        written = b""
        while not written.endswith(b"\n"):
            ready, _, _ = select.select([read_end], [], [], STEP_SECONDS)
            chunk = os.read(read_end, 64) if ready else b""
            if not chunk:
                break
            written += chunk
        os.close(read_end)
        if written.strip() == str(number).encode():
            return True
        self.xvfb.kill()
        self.xvfb.wait()
        return False

    def __exit__(self, *_):
        for process in (self.spy, self.editor, self.xvfb):
            if process and process.poll() is None:
                # Xvfb removes its lock file and socket only when let to end.
                process.terminate()
                try:
                    process.wait(5)
                except subprocess.TimeoutExpired:
                    process.kill()
                    process.wait()
        shutil.rmtree(self.work, ignore_errors=True)

    def dump_log(self):
        for name in ("xvfb.log", "editor.log"):
            if os.path.exists(self.path(name)):
                with open(self.path(name), errors="replace") as log:
                    sys.stderr.write("--- %s on %s ---\n%s" % (name, self.env.get("DISPLAY"), log.read()))

    def take_picture(self, name):
        """Leaves a picture of the screen in the working folder for a look."""
        if self.run("import", "-window", "root", name, check_status=False).returncode == 0:
            sys.stderr.write("The screen at the failure: %s\n" % os.path.abspath(name))

    # -- tools --------------------------------------------------------------

    def run(self, *argv, check_status=True):
        try:
            done = subprocess.run(argv, env=self.env, capture_output=True, timeout=STEP_SECONDS)
        except subprocess.TimeoutExpired:
            raise Failed("no answer from " + " ".join(argv))
        if check_status and done.returncode != 0:
            raise Failed("%s failed: %s" % (" ".join(argv), done.stderr.decode(errors="replace")))
        return done

    def xdotool(self, *argv):
        return self.run("xdotool", *argv).stdout.decode(errors="replace")

    def make_demo(self, path):
        self.run(self.args.demo, path)
        with open(path, "rb") as image:
            return image.read()

    def dump(self, image):
        """The names as orvane-names prints them: {(category, index): name}."""
        names = {}
        for line in self.run(self.args.names, "dump", image).stdout.decode().splitlines():
            category, index, _, name, _ = line.split("\t")
            names[(category, int(index))] = name
        return names

    # -- the program --------------------------------------------------------

    def start_editor(self, closed_standard_descriptors=False):
        log = open(self.log_path, "wb")
        command = [self.args.editor]
        if closed_standard_descriptors:
            # The shell closes them and becomes the program, keeping its pid.
            command = ["sh", "-c", 'exec "$0" <&- >&- 2>&-', self.args.editor]
        self.editor = subprocess.Popen(command, env=self.env, stdout=log, stderr=subprocess.STDOUT)
        log.close()
        return self.window("^" + re.escape(NO_IMAGE_CAPTION) + "$")

    def running(self):
        return self.editor.poll() is None

    def windows(self, title_regex):
        check(self.running(), "the program ended with status %s" % self.editor.returncode)
        found = self.run("xdotool", "search", "--all", "--onlyvisible", "--pid", str(self.editor.pid),
                         "--name", title_regex, check_status=False)
        return found.stdout.decode().split()

    def window(self, title_regex, exclude=()):
        def fresh():
            return next((w for w in self.windows(title_regex) if w not in exclude), None)
        return wait_until(fresh, "a window titled " + title_regex)

    def wait_gone(self, window_id, what):
        wait_until(lambda: window_id not in self.windows("."), what + " to close")

    CAPTION_FORMAT = ("-notype", "-f", "_NET_WM_NAME", "8x", " $0+\n", "_NET_WM_NAME")

    @staticmethod
    def caption_of(line):
        """The caption in a line of xprop's, as UTF-8 bytes in hex."""
        text = line.split(" ", 1)[1].strip() if " " in line else ""
        if not text or "not found" in text:
            return ""
        return bytes(int(b, 16) for b in text.split(", ")).decode("utf-8", errors="replace")

    def caption(self, window_id):
        """The window's title exactly as X holds it (Qt writes it as UTF-8)."""
        return self.caption_of(self.run("xprop", "-id", window_id, *self.CAPTION_FORMAT).stdout.decode())

    def spy_captions(self, window_id):
        """From now on, every caption the window takes, in order, as X tells
        of each change (xprop -spy)."""
        if self.spy:
            self.spy.kill()
            self.spy.wait()
        self.spy = subprocess.Popen(["stdbuf", "-oL", "xprop", "-spy", "-id", window_id, *self.CAPTION_FORMAT],
                                    env=self.env, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        self.spied = b""
        # It tells the caption as it is first, once it listens for changes.
        wait_until(self.captions_seen, "xprop to watch the caption")

    def captions_seen(self):
        while select.select([self.spy.stdout], [], [], 0)[0]:
            chunk = os.read(self.spy.stdout.fileno(), 65536)
            if not chunk:
                break
            self.spied += chunk
        lines = self.spied.decode(errors="replace").split("\n")[:-1]
        return [self.caption_of(line) for line in lines]

    def wait_caption(self, window_id, expected):
        """Waits for the caption. After an open, the title also shows before
        the lists load, so a load counts as finished only once the caption
        goes from loading the last list to the title."""
        def loaded():
            seen = self.captions_seen()
            loading = [k for k, text in enumerate(seen) if " - Loading Items..." in text]
            return bool(loading) and expected in seen[loading[-1] + 1:]
        if self.spy and " - " in expected and expected.startswith(self.version_caption):
            wait_until(loaded, lambda: "the load to end with the caption %r (it took %r)"
                       % (expected, self.captions_seen()))
            return
        wait_until(lambda: self.caption(window_id) == expected,
                   lambda: "the caption %r (it is %r)" % (expected, self.caption(window_id)))

    def wait_exit(self):
        try:
            return self.editor.wait(STEP_SECONDS)
        except subprocess.TimeoutExpired:
            raise Failed("the program did not end")

    # -- the user's hands ---------------------------------------------------

    def keys(self, window_id, *keys):
        # No window manager runs, so the focus is given directly.
        self.xdotool("windowfocus", "--sync", window_id)
        self.xdotool("key", "--delay", "30", *keys)

    def type(self, window_id, text):
        self.xdotool("windowfocus", "--sync", window_id)
        self.xdotool("type", "--delay", "20", text)

    def click(self, window_id, client_point):
        """Clicks at a point of the client area."""
        height = int(re.search(r"Geometry: \d+x(\d+)", self.xdotool("getwindowgeometry", window_id)).group(1))
        x, y = client_point
        self.xdotool("mousemove", "--window", window_id, str(x), str(y + height - CLIENT_HEIGHT), "click", "1")

    def clipboard(self):
        return self.run("xclip", "-o", "-selection", "clipboard", "-t", "UTF8_STRING",
                        check_status=False).stdout.decode()

    def expect_copied(self, window_id, keys, expected):
        """Presses keys then Ctrl+C, and waits for expected on the clipboard."""
        self.keys(window_id, *keys, "ctrl+c")
        wait_until(lambda: self.clipboard() == expected,
                   lambda: "%r on the clipboard (it holds %r)" % (expected, self.clipboard()), seconds=5)

    def type_path(self, dialog, path):
        """Types the path into the dialog's name box and checks that the box
        holds exactly that, so a mistyped path cannot pass for a refusal."""
        self.type(dialog, path)
        self.expect_copied(dialog, ["ctrl+a"], path)

    def open_image(self, main_window, path):
        """File, Open ROM; types the path into the real dialog and presses Enter."""
        self.keys(main_window, "ctrl+o")
        dialog = self.window("^Open$")
        self.type_path(dialog, path)
        self.spy_captions(main_window)
        self.keys(dialog, "Return")
        return dialog
