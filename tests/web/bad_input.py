#!/usr/bin/python3
"""Files the page must turn away, in headless Chromium or Firefox: each gets
a message naming the file and the reason, nothing is offered for download,
and the page goes on to open the next file. A bad file while an image is open leaves
that image and its edits alone; a bad list changes no name.

bad_input.py --page DIR --names ORVANE_NAMES --demo MAKE_DEMO_IMAGE [--engine firefox]"""
import argparse
import os
import shutil
import subprocess
import sys
import tempfile

from selenium.webdriver.common.keys import Keys

from browser import Page, engine_option

MiB = 1 << 20

# The file's name, its bytes (made from the demo image's, or a size for a
# sparse file), the picker it is given to (or, after "drop:", the element it
# is dropped on), and the start of the message it must get.
CASES = [
    ('empty.smc', lambda demo: b'', 'image-file', 'empty.smc: the file is empty.'),
    ('notes.txt', lambda demo: 'Hero\tSlime\tAx\n'.encode() * 300, 'image-file',
     'notes.txt: it holds text, not a cartridge image.'),
    ('huge.smc', None, 'image-file', 'huge.smc: 67108864 bytes, 64 MiB or more'),
    ('cut.smc', lambda demo: demo[:2 * MiB + 512], 'image-file',
     'cut.smc: the file ends at byte 2097664 (0x200200), before the end of the magic names at 0x26F8E1'),
    # Told by what they are, as the command tells them.
    ('names.zip', lambda demo: b'PK\x03\x04' + demo[4:], 'image-file',
     'names.zip: It is a ZIP archive, not an image: unpack it first.'),
    ('fix.bps', lambda demo: b'BPS1' + demo[4:4096], 'image-file', 'fix.bps: It is a BPS patch, not an image'),
    ('shot.png', lambda demo: b'\x89PNG\r\n\x1a\n' + demo[8:70000], 'image-file', 'shot.png: It is a PNG picture'),
    ('one.smc', lambda demo: b'\x01', 'image-file', 'one.smc: It is too small to be an image'),
    # Dropped on the page, or on the image's panel, a file is read as an image.
    ('dropped.txt', lambda demo: b'Hero\tSlime\n' * 300, 'drop:names-heading',
     'dropped.txt: it holds text, not a cartridge image.'),
    ('dropped.smc', lambda demo: b'\x01', 'drop:drop', 'dropped.smc: It is too small to be an image'),
    ('swapped.csv', lambda demo: demo, 'list-file', 'swapped.csv: holds NUL bytes'),
    # One byte past the largest list the core reads: refused before it is read.
    ('big.csv', lambda demo: 16 * MiB + 1, 'list-file',
     'big.csv: larger than 16 MiB, too large for a list of names; nothing was changed.'),
    ('bad.csv', lambda demo: b'category,index,name\nmagic,1,Longername1\nmonsters,999,Ax\n', 'list-file',
     'bad.csv: nothing can be written (2 problems)'),
    # On the lists panel, as a list, whatever it holds.
    ('dropped.csv', lambda demo: b'category,index,name\nitems,256,Ax\n', 'drop:lists-heading',
     'dropped.csv: nothing can be written (1 problem)'),
    ('dropped.sfc', lambda demo: demo[:4096], 'drop:list-message', 'dropped.sfc: holds NUL bytes'),
    # Shown as the command shows it: the first problems and how many more.
    ('long.csv', lambda demo: b'category,index,name\n' + b''.join(b'monsters,%d,Ax\n' % (400 + k % 600)
                                                                   for k in range(100000)),
     'list-file', 'long.csv: nothing can be written (100,000 problems)'),
]


def opens_image(picker):
    return picker == 'image-file' or picker in ('drop:names-heading', 'drop:drop')


def message(page, picker):
    if opens_image(picker):
        return page.text('open-message')
    return page.text('preview-heading') if page.by_id('preview').is_displayed() else page.text('list-message')


def same_problems(page, arguments, image, path):
    """The problems the preview lists are those apply --dry-run prints."""
    name = os.path.basename(path)
    run = subprocess.run([arguments.names, 'apply', '--dry-run', image, name], cwd=os.path.dirname(path),
                         capture_output=True, text=True)
    lines = [line.removeprefix('orvane-names: ') for line in run.stderr.splitlines()]
    printed = [line for line in lines if line.startswith(name + ':')]
    shown = page.driver.execute_script(
        "return [...document.querySelectorAll('#preview-problems li')].map((li) => li.textContent)")
    assert run.returncode == 2 and shown == printed, f'the page lists {shown}, apply --dry-run {printed}'


def refused(page, path, picker, expected, opened, arguments=None, image=None):
    before = page.text('changed-count')
    if picker.startswith('drop:'):
        with open(path, 'rb') as file:
            page.drop(picker[5:], os.path.basename(path), file.read())
    else:
        page.choose(picker, path)
    page.wait(lambda: message(page, picker).startswith(expected),
              f'{os.path.basename(path)}: expected "{expected}", the page says "{message(page, picker)}"')
    if opens_image(picker):
        # The image that was open, if any, is still open; nothing else is offered.
        assert page.by_id('takeback').is_displayed() == bool(opened)
        assert page.text('fact-file') == (opened or ''), page.text('fact-file')
    else:
        assert not page.by_id('preview-apply').is_displayed(), 'a bad list could be applied'
        if page.by_id('preview').is_displayed():
            same_problems(page, arguments, image, path)
    assert page.text('changed-count') == before, 'a bad file changed names'


def sees_stranger(page):
    try:
        page.check_origin()
    except AssertionError as error:
        return 'stranger.png' in str(error)
    return False


def main():
    parser = argparse.ArgumentParser()
    for option in ('--page', '--names', '--demo'):
        parser.add_argument(option, required=True)
    engine_option(parser)
    arguments = parser.parse_args()
    work = tempfile.mkdtemp(prefix='orvane-page-bad-')
    try:
        demo_path = os.path.join(work, 'Demo.smc')
        subprocess.run([arguments.demo, demo_path], check=True)
        with open(demo_path, 'rb') as file:
            demo = file.read()
        paths = {}
        for name, make, _, _ in CASES:
            paths[name] = os.path.join(work, name)
            with open(paths[name], 'wb') as file:
                made = make(demo) if make else 64 * MiB
                if isinstance(made, int):
                    file.truncate(made)  # sparse: nothing is written to the disk
                else:
                    file.write(made)
        with Page(arguments.page, engine=arguments.engine) as page:
            for name, _, picker, expected in CASES:
                if picker == 'image-file' or picker == 'drop:drop':
                    refused(page, paths[name], picker, expected, None)
            # Still usable: the good image opens, then is kept, with its edit,
            # through every bad file after it.
            page.choose('image-file', demo_path)
            page.wait(lambda: page.text('fact-file') == 'Demo.smc', 'the demo image did not open after bad files')
            name = page.click('n-characters-0')
            name.send_keys(Keys.CONTROL, 'a')
            name.send_keys('Ax', Keys.ENTER)
            page.wait(lambda: page.text('changed-count').startswith('1 name'), 'the edit was not written')
            for name, _, picker, expected in CASES:
                refused(page, paths[name], picker, expected, 'Demo.smc', arguments, demo_path)
            assert page.by_id('n-characters-0').get_attribute('value') == 'Ax'
            assert page.download_count() == 0, 'a download was offered'
            page.check_origin()
            # Opened as a file, where Chromium refuses the page's modules, it
            # says how to serve it (in a tab of its own: this one has an edit).
            page.driver.switch_to.new_window('tab')
            page.driver.get('file://' + os.path.abspath(os.path.join(arguments.page, 'index.html')))
            page.wait(lambda: page.by_id('unserved').is_displayed(), 'opened as a file, the page said nothing')
            assert './scripts/page' in page.text('unserved'), page.text('unserved')
            assert not page.by_id('image-file').is_displayed(), 'a picker that never wakes is still offered'
            # And the check sees a request the page's policy blocks, in either engine.
            page.driver.execute_script("new Image().src = 'http://192.0.2.1/stranger.png'")
            page.wait(lambda: sees_stranger(page), 'check_origin missed a blocked request')
            # A wait for an element still to come goes on waiting, in either engine.
            page.driver.execute_script("setTimeout(() => document.body.append("
                                       "Object.assign(document.createElement('p'), {id: 'later'})), 500)")
            page.wait(lambda: page.by_id('later'), 'a wait for an element still to come gave up')
    finally:
        shutil.rmtree(work, ignore_errors=True)
    print(f'bad_input: passed in {arguments.engine}')


if __name__ == '__main__':
    sys.exit(main())
