"""Files the program cannot edit, chosen in the real dialog: each brings a
message box, changes nothing and leaves the program working. Odd bytes in the
cartridge title reach the window's caption intact."""

import os
import re
import stat

from desktop import PROBLEM_BOX, check, main

TITLE_OFFSET = 0x101C0
TITLE_LENGTH = 21


def refused(desktop, window, path):
    """Opens path and expects the program's own message box over the window."""
    desktop.open_image(window, path)
    box = desktop.window("^%s$" % re.escape(PROBLEM_BOX))
    check(desktop.caption(window) == desktop.version_caption, "the caption is " + desktop.caption(window))
    desktop.keys(box, "Return")
    desktop.wait_gone(box, "the message box")


def test(desktop, args):
    window = desktop.start_editor()

    # A FIFO with no writer blocks a plain open or read for ever.
    fifo = desktop.path("names.smc")
    os.mkfifo(fifo)
    refused(desktop, window, fifo)
    check(stat.S_ISFIFO(os.stat(fifo).st_mode), "the FIFO was replaced")

    # A device that never ends.
    refused(desktop, window, "/dev/zero")

    locked = desktop.path("locked.smc")
    original = desktop.make_demo(locked)
    os.chmod(locked, 0o444)
    refused(desktop, window, locked)
    with open(locked, "rb") as f:
        check(f.read() == original, "the read-only image changed")

    # The dialog itself answers for a name that is not there.
    missing = desktop.path("missing.smc")
    dialog = desktop.open_image(window, missing)
    box = desktop.window("^Open$", exclude=[dialog])
    desktop.keys(box, "Return")
    desktop.wait_gone(box, "the dialog's message box")
    desktop.keys(dialog, "Escape")
    desktop.wait_gone(dialog, "the file dialog")
    check(not os.path.exists(missing), "the missing file was created")
    check(desktop.caption(window) == desktop.version_caption, "the caption is " + desktop.caption(window))

    # Every control byte and every byte above 0x7F in the title.
    odd_bytes = list(range(0x00, 0x20)) + list(range(0x80, 0x100))
    image = desktop.path("title.smc")
    for start in range(0, len(odd_bytes), TITLE_LENGTH):
        title = bytes(odd_bytes[start:start + TITLE_LENGTH]).ljust(TITLE_LENGTH, b" ")
        demo = bytearray(desktop.make_demo(image))
        demo[TITLE_OFFSET:TITLE_OFFSET + TITLE_LENGTH] = title
        with open(image, "wb") as f:
            f.write(demo)
        desktop.open_image(window, image)
        desktop.wait_caption(window, desktop.version_caption + " - " + title.decode("latin-1"))

    desktop.keys(window, "ctrl+q")
    check(desktop.wait_exit() == 0, "the program did not end cleanly")


if __name__ == "__main__":
    raise SystemExit(main(test))
