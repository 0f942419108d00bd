"""The program started with its standard descriptors closed, as some
launchers start it: it opens /dev/null onto them before anything else, so
neither the image nor the toolkit's connections become descriptor 0, 1 or 2
and take its messages. After a close and a new load, Shift+Tab into the item
list gives it the focus without selecting an entry, so a Save then writes
nothing."""

import os

from desktop import ITEMS_OPTION, LIST_FIRST_ROW, NAME_BOX, check, main, wait_until

ITEMS_FIRST_NAME = 0x12B501
ITEM_SIZE = 13
NAME_LENGTH = 12


def field(image, item):
    with open(image, "rb") as f:
        f.seek(ITEMS_FIRST_NAME + item * ITEM_SIZE)
        return f.read(NAME_LENGTH)


def save_name(desktop, window, name):
    """Clicks into the name box, types the name over what it holds, Alt+S."""
    desktop.click(window, NAME_BOX)
    desktop.keys(window, "ctrl+a")
    desktop.type(window, name)
    desktop.keys(window, "alt+s")


def descriptors_on(pid, path):
    """The numbers of the process's descriptors that are open on path."""
    folder = "/proc/%d/fd" % pid
    found = []
    for name in os.listdir(folder):
        try:
            if os.path.samefile(os.path.join(folder, name), path):
                found.append(int(name))
        except OSError:
            pass
    return found


def test(desktop, args):
    image = desktop.path("demo.smc")
    original = desktop.make_demo(image)
    loaded = desktop.version_caption + " - ORVANE TEST IMAGE    "

    window = desktop.start_editor(closed_standard_descriptors=True)
    standard = [os.readlink("/proc/%d/fd/%d" % (desktop.editor.pid, fd)) for fd in range(3)]
    check(standard == ["/dev/null"] * 3, "descriptors 0 to 2 are %s" % standard)
    desktop.open_image(window, image)
    desktop.wait_caption(window, loaded)
    held = descriptors_on(desktop.editor.pid, image)
    check(held and min(held) > 2, "the image is open as descriptor(s) %s" % held)

    desktop.click(window, ITEMS_OPTION)
    desktop.keys(window, "ctrl+w")
    desktop.open_image(window, image)
    desktop.wait_caption(window, loaded)
    # Into the list by keyboard, back to the name box, a name, Alt+S.
    desktop.click(window, NAME_BOX)
    desktop.keys(window, "shift+Tab")
    save_name(desktop, window, "Slime")

    # Then a save the user did choose, into item 1; once it is in, the first
    # Save has been handled too.
    desktop.click(window, LIST_FIRST_ROW)
    desktop.keys(window, "Down")
    save_name(desktop, window, "Hero")
    hero = b"\x87\x9e\xab\xa8" + b"\xff" * (NAME_LENGTH - 4)
    wait_until(lambda: field(image, 1) == hero,
               lambda: "the chosen save in the file (the field holds %s)" % field(image, 1).hex())

    desktop.keys(window, "ctrl+q")
    check(desktop.wait_exit() == 0, "the program did not end cleanly")
    with open(image, "rb") as f:
        saved = f.read()
    start = ITEMS_FIRST_NAME + ITEM_SIZE
    changed = [i for i in range(len(original)) if saved[i] != original[i]]
    check(all(start <= i < start + NAME_LENGTH for i in changed),
          "bytes outside item 1's name changed, at %s" % [hex(i) for i in changed[:8]])


if __name__ == "__main__":
    raise SystemExit(main(test))
