"""orvane-names apply of every name, stopped at random moments with SIGKILL
and SIGINT, and two applies at once on one image. Afterwards every name field
holds wholly its old or wholly a new name, no byte outside the name fields has
changed, and a run stopped by SIGINT says truly how many names went in, then
ends by SIGINT."""

import argparse
import os
import random
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import time

# category, entries, entry size, first entry, name offset in the entry, name length
TABLES = [("characters", 64, 6, 0x47AC0, 0, 6), ("monsters", 384, 10, 0xFC250, 0, 10),
          ("magic", 54, 7, 0x26F767, 1, 6), ("items", 256, 13, 0x12B500, 1, 12)]
RUNS = 60          # stopped runs at the least
MOST_RUNS = 240    # while too few of them fell among the writes
PART_WAY = 15      # runs that must stop with some names in and some not
LIMIT = 60


def fields():
    for category, entries, size, first, offset, length in TABLES:
        for i in range(entries):
            yield category, i, first + i * size + offset, length


def encoded(name, length):
    """The field a save of a name made of letters and digits leaves."""
    codes = []
    for c in name.ljust(length):
        if c.isupper():
            codes.append(0x80 + ord(c) - ord("A"))
        elif c.islower():
            codes.append(0x9A + ord(c) - ord("a"))
        elif c.isdigit():
            codes.append(0xB4 + ord(c) - ord("0"))
        else:
            codes.append(0xFF)
    return bytes(codes)


def name_list(prefix):
    """A list that renames every entry, and the fields it leaves."""
    lines, after = [], {}
    for category, i, offset, length in fields():
        name = "%s%d" % (prefix, i)
        lines.append("%s\t%d\t-\t%s\n" % (category, i, name))
        after[offset] = encoded(name, length)
    return "".join(lines), after


def check_image(image, original, lists):
    """Every field is the original or one of the lists' versions; every other
    byte is as it was. Returns how many fields hold each list's version."""
    with open(image, "rb") as f:
        now = f.read()
    if len(now) != len(original):
        raise AssertionError("the image changed its size")
    counts = [0] * len(lists)
    rest_now, rest_then, last = [], [], 0
    for _, _, offset, length in sorted(fields(), key=lambda f: f[2]):
        field = now[offset:offset + length]
        versions = [after[offset] for after in lists]
        if field in versions:
            counts[versions.index(field)] += 1
        elif field != original[offset:offset + length]:
            raise AssertionError("the field at 0x%x is torn: %s" % (offset, field.hex()))
        rest_now.append(now[last:offset])
        rest_then.append(original[last:offset])
        last = offset + length
    if b"".join(rest_now) + now[last:] != b"".join(rest_then) + original[last:]:
        raise AssertionError("bytes outside the name fields changed")
    return counts


def wait_for_first_write(image, offset, before, process):
    """Returns once the field at offset no longer holds before, or the
    program has ended: the writes have begun."""
    fd = os.open(image, os.O_RDONLY)
    try:
        while os.pread(fd, len(before), offset) == before and process.poll() is None:
            pass
    finally:
        os.close(fd)


def apply(names, image, listing):
    return subprocess.Popen([names, "apply", image, listing], stdout=subprocess.PIPE,
                            stderr=subprocess.PIPE)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--names", required=True)
    parser.add_argument("--demo", required=True)
    args = parser.parse_args()
    signal.alarm(280)
    work = tempfile.mkdtemp(prefix="orvane-crash-")
    try:
        pristine = os.path.join(work, "pristine.smc")
        subprocess.run([args.demo, pristine], check=True, timeout=LIMIT)
        with open(pristine, "rb") as f:
            original = f.read()
        image = os.path.join(work, "image.smc")
        lists = []
        for prefix in ("Zq", "Yx"):
            text, after = name_list(prefix)
            path = os.path.join(work, prefix + ".txt")
            with open(path, "w") as f:
                f.write(text)
            lists.append((path, after))
        total = sum(1 for _ in fields())
        # The list's first name, which the program writes first.
        first_offset = next(fields())[2]
        first_before = original[first_offset:first_offset + next(fields())[3]]

        # The stops are aimed at the writes: for half the runs the window
        # narrows to where a stop last found some names in and some not, and
        # widens a little each run, so it follows the program whatever its
        # speed; the other half wait for the first name to go in.
        low, high = 0.0, 0.5
        rng = random.Random(20261207)
        seen = {"whole": 0, "none": 0, "part": 0}
        run = 0
        while run < RUNS or (seen["part"] < PART_WAY and run < MOST_RUNS):
            shutil.copyfile(pristine, image)
            stop = signal.SIGKILL if run % 2 else signal.SIGINT
            process = apply(args.names, image, lists[0][0])
            moment = rng.uniform(low, high)
            if run % 4 < 2:
                time.sleep(moment)
            else:
                # The writes may take less time than a start varies by:
                # every other pair of runs watches for the first name to go
                # in, then stops the program a moment later.
                wait_for_first_write(image, first_offset, first_before, process)
                time.sleep(rng.uniform(0, 0.002))
            process.send_signal(stop)
            _, err = process.communicate(timeout=LIMIT)
            err = err.decode(errors="replace")
            new = check_image(image, original, [lists[0][1]])[0]
            seen["whole" if new == total else "none" if new == 0 else "part"] += 1
            if run % 4 < 2:
                if new == total:
                    high = moment
                elif new == 0:
                    low = moment
                low, high = max(0.0, low - 0.002), high + 0.002
            if stop == signal.SIGINT:
                # Whenever it comes, Ctrl+C ends the run by SIGINT, so that a
                # calling loop stops too; what went in was said first.
                code = process.returncode
                said = re.search(r"(\d+) of (\d+) name\(s\) went in and are synced", err)
                if code == 0:
                    # It ended before the signal was sent.
                    assert new == total, "run %d: done, but %d of %d names went in" % (run, new, total)
                elif code != -signal.SIGINT:
                    raise AssertionError("run %d: exit %d, not SIGINT: %s" % (run, code, err))
                elif said:
                    if int(said.group(1)) != new or int(said.group(2)) != total:
                        raise AssertionError("run %d: %d names went in, but it said: %s" % (run, new, err))
                elif "%d name(s) changed" % total in err:
                    assert new == total, "run %d: done, but %d of %d names went in" % (run, new, total)
                else:
                    assert new == 0, "run %d: %d names went in unsaid: %s" % (run, new, err)
            run += 1
        print("%d stopped runs: %d with every name in, %d with none, %d part-way"
              % (run, seen["whole"], seen["none"], seen["part"]))
        if seen["part"] < PART_WAY:
            raise AssertionError("too few runs were stopped among the writes to prove anything")

        # Two applies at once: each field ends as one list or the other has it.
        for _ in range(5):
            shutil.copyfile(pristine, image)
            both = [apply(args.names, image, path) for path, _ in lists]
            for process in both:
                _, err = process.communicate(timeout=LIMIT)
                if process.returncode != 0:
                    raise AssertionError("a concurrent apply failed: %s" % err.decode(errors="replace"))
            counts = check_image(image, original, [after for _, after in lists])
            if sum(counts) != total:
                raise AssertionError("fields left unchanged after two whole applies: %s" % counts)
        print("PASS")
        return 0
    except AssertionError as failure:
        print("FAIL:", failure, file=sys.stderr)
        return 1
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
