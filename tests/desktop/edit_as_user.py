"""A user renames an item through the real program and its file dialog, in an
image with a copier header and in one without; the image then differs from
the original in that name field and nowhere else."""

import os

from desktop import (ITEMS_OPTION, LIST_FIRST_ROW, NAME_BOX, NO_IMAGE_CAPTION,
                     check, main, wait_until)

ITEMS_FIRST_NAME = 0x12B501
ITEM_SIZE = 13
NAME_LENGTH = 12
ROW = 5


def encoded(name):
    codes = []
    for c in name.ljust(NAME_LENGTH):
        if "A" <= c <= "Z":
            codes.append(0x80 + ord(c) - ord("A"))
        elif "a" <= c <= "z":
            codes.append(0x9A + ord(c) - ord("a"))
        else:
            codes.append(0xFF)
    return bytes(codes)


def field_bytes(image, offset):
    with open(image, "rb") as f:
        f.seek(offset)
        return f.read(NAME_LENGTH)


def show_item_row(desktop, window, row):
    desktop.click(window, ITEMS_OPTION)
    # A click on the first row gives the list the focus; the arrows walk down.
    desktop.click(window, LIST_FIRST_ROW)
    desktop.keys(window, *["Down"] * row)


def test(desktop, args):
    # The path goes through the dialog's name box, spaces and accents included.
    folder = desktop.path("spiele mit ümlaut")
    os.mkdir(folder)
    headered = os.path.join(folder, "ärger über öl ß.smc")
    desktop.make_demo(headered)
    # The same image as most dumps are today: no copier header, a size that
    # is a multiple of 1024, named .sfc.
    headerless = os.path.join(folder, "ohne kopf.sfc")
    with open(headered, "rb") as f, open(headerless, "wb") as out:
        out.write(f.read()[512:])
    rename(desktop, headered, ITEMS_FIRST_NAME)
    rename(desktop, headerless, ITEMS_FIRST_NAME - 512)


def rename(desktop, image, first_name):
    with open(image, "rb") as f:
        original = f.read()
    loaded = desktop.version_caption + " - ORVANE TEST IMAGE    "

    window = desktop.start_editor()
    desktop.open_image(window, image)
    desktop.wait_caption(window, loaded)
    show_item_row(desktop, window, ROW)
    desktop.click(window, NAME_BOX)
    desktop.expect_copied(window, ["ctrl+a"], "Shield      ")
    desktop.type(window, "Slime Ax")
    desktop.keys(window, "alt+s")
    # Every Save is in the file at once, before any close.
    field = first_name + ROW * ITEM_SIZE
    wait_until(lambda: field_bytes(image, field) == encoded("Slime Ax"),
               lambda: "the new name in the file (the field holds %s)" % field_bytes(image, field).hex())
    check(not desktop.windows("^Orvane Name Editor$"), "Save showed a problem")

    desktop.keys(window, "ctrl+w")
    desktop.wait_caption(window, NO_IMAGE_CAPTION)
    desktop.open_image(window, image)
    desktop.wait_caption(window, loaded)
    show_item_row(desktop, window, ROW)
    # The list shows a name with its blanks, as loaded from the file.
    desktop.expect_copied(window, [], "Slime Ax    ")

    desktop.keys(window, "ctrl+q")
    check(desktop.wait_exit() == 0, "the program did not end cleanly")

    with open(image, "rb") as f:
        saved = f.read()
    check(len(saved) == len(original), "the image changed its size")
    check(saved[field:field + NAME_LENGTH] == encoded("Slime Ax"), "the name field holds other bytes")
    changed = [i for i in range(len(original)) if saved[i] != original[i]]
    check(all(field <= i < field + NAME_LENGTH for i in changed),
          "bytes outside the name field changed, at %s" % [hex(i) for i in changed[:8]])
    check(desktop.dump(image)[("items", ROW)] == "Slime Ax    ", "orvane-names reads another name")


if __name__ == "__main__":
    raise SystemExit(main(test))
