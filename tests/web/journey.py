#!/usr/bin/python3
"""The page as a user works it, in headless Chromium or Firefox: the demo
image and its headerless copy opened in turn, a name refused and one edited
in each category by the keyboard, an edit undone and redone, the image and a patch
downloaded and compared with what orvane-names makes of the same names; then
a CSV list previewed and applied, and the names exported as CSV. Nothing may
leave the page's origin. Screenshots go to --out for a person to look at.

journey.py --page DIR --names ORVANE_NAMES --demo MAKE_DEMO_IMAGE --out DIR [--engine firefox]"""
import argparse
import base64
import json
import os
import shutil
import subprocess
import sys
import tempfile

from selenium.webdriver.common.action_chains import ActionChains
from selenium.webdriver.common.by import By
from selenium.webdriver.common.keys import Keys

from browser import Page, engine_option
from patches import apply_bps, apply_ips

# One name in each category, with the lossless text's byte and ellipsis.
EDITS = [('characters', 1, 'Zed'), ('monsters', 4, 'Sl<$C2>me'), ('magic', 2, 'Fir…'), ('items', 5, 'Ax')]
LIST = 'category,index,name\r\ncharacters,2,Kai\r\nitems,7,"Ax, Long"\r\n'
LIST_CHANGES = [['characters 2', 'Rogue', 'Kai'], ['items 7', 'Ether', 'Ax, Long']]


def names(arguments, *words):
    return subprocess.run([arguments.names, *words], check=True, capture_output=True).stdout


def count(page):
    return page.text('changed-count')


def type_name(page, category, index, text):
    page.click(f'tab-{category}')
    field = page.click(f'n-{category}-{index}')
    # Select all and type over it, as a person does (clearing would write an
    # empty name on the way).
    field.send_keys(Keys.CONTROL, 'a')
    field.send_keys(text)
    return field


def why(page, field):
    described = field.get_attribute('aria-describedby')
    return page.by_id(described).text if described else ''


def leaves_asking(page):
    return page.driver.execute_script(
        "const e = new Event('beforeunload', {cancelable: true}); dispatchEvent(e); return e.defaultPrevented")


# A save picker standing in for the browser's: it keeps what the page writes,
# or refuses as a cancelled picker (or a refused write) does.
PICKER = """
window.pickerSaved = {};
window.showSaveFilePicker = async ({suggestedName}) => {
  if (arguments[0]) throw new DOMException('The user aborted a request.', arguments[0]);
  return {createWritable: async () => {
    const parts = [];
    return {write: async (bytes) => { parts.push(new Uint8Array(bytes)); },
            close: async () => { window.pickerSaved[suggestedName] = new Blob(parts); },
            abort: async () => {}};
  }};
};"""


def picked(page, name):
    """The bytes the page wrote through the stand-in picker."""
    page.wait(lambda: page.driver.execute_script('return arguments[0] in window.pickerSaved', name),
              f'{name} was never written through the picker')
    encoded = page.driver.execute_async_script("""
        const done = arguments[1], reader = new FileReader();
        reader.onload = () => done(reader.result.slice(reader.result.indexOf(',') + 1));
        reader.readAsDataURL(window.pickerSaved[arguments[0]]);""", name)
    return base64.b64decode(encoded)


# Holds the next file read until released, to choose another file meanwhile.
HOLD = """
const read = Blob.prototype.arrayBuffer;
let release;
const held = new Promise((resolve) => { release = resolve; });
window.releaseRead = () => { release(); return new Promise((resolve) => setTimeout(resolve)); };
Blob.prototype.arrayBuffer = function () {
  Blob.prototype.arrayBuffer = read;
  const bytes = read.call(this);
  return held.then(() => bytes);
};"""


def overtaken(page, input_id, first, last, shown):
    """Chooses first, and last while first is still being read: last must
    stay once first's read has ended."""
    page.driver.execute_script(HOLD)
    page.choose(input_id, first)
    page.choose(input_id, last)
    page.wait(shown, f'{os.path.basename(last)} never showed')
    page.driver.execute_async_script('window.releaseRead().then(arguments[0])')
    assert shown(), f'{os.path.basename(first)}, read last, replaced {os.path.basename(last)} chosen after it'


def save(page, base, picker):
    """Save image, cancelled first; through the picker, or offered as a
    download that counts as saved only once the user says so."""
    if picker:
        page.driver.execute_script(PICKER, 'AbortError')
        page.click('save-image')
        page.wait(lambda: 'was not saved' in page.text('takeback-message'), 'a cancelled save said nothing')
        assert page.text('takeback-message') == f'{base} was not saved: the save was cancelled.'
        assert count(page).endswith('not saved') and leaves_asking(page), 'a cancelled save counted as saved'
        page.driver.execute_script(PICKER, '')
        page.click('save-image')
        saved = picked(page, base)
        page.wait(lambda: page.text('takeback-message').startswith(f'Saved {base}.'), 'the save never ended')
    else:
        page.driver.execute_script('delete window.showSaveFilePicker; delete Window.prototype.showSaveFilePicker')
        page.click('save-image')
        saved = page.downloaded(base)
        assert page.text('takeback-message').startswith(f'{base} was offered for download: check your downloads.')
        assert count(page).endswith('not saved') and leaves_asking(page), 'an offered download counted as saved'
        page.click('saved-it')
        assert not page.by_id('saved-it').is_displayed()
    assert not count(page).endswith('not saved') and not leaves_asking(page), 'closing after saving still asks'
    return saved


def refusals(page):
    # Shown while typing, before anything is written, and refused on Enter.
    field = type_name(page, 'characters', 0, 'Longername1')
    assert 'needs 11 bytes and the field holds 6' in why(page, field), why(page, field)
    field.send_keys(Keys.ENTER)
    field = type_name(page, 'characters', 0, 'Hé')
    assert 'without a code: "é"' in why(page, field), why(page, field)
    assert '--allow-blanks' not in why(page, field)
    field.send_keys(Keys.ESCAPE)
    assert field.get_attribute('value') == 'Hero' and not why(page, field)
    assert count(page).startswith('0 names changed'), count(page)


def journey(page, arguments, image, headered, fix, patch_format, work, before=None):
    base = os.path.basename(image)
    if before:
        # A name typed without Enter belongs to the image it was typed in.
        type_name(page, 'characters', 5, 'Typed')
        overtaken(page, 'image-file', before, image, lambda: page.text('fact-file') == base)
        assert count(page) == '0 names changed', count(page)
        own = names(arguments, 'dump', image).decode().split('\n')[5].split('\t')[3].rstrip()
        assert page.by_id('n-characters-5').get_attribute('value') == own
    else:
        page.choose('image-file', image)
        page.wait(lambda: page.text('fact-file') == base, f'{base} never opened')
    info = json.loads(names(arguments, 'info', '--json', image))
    expected = f"{'yes' if headered else 'no'} ({ {'size': 'from the size', 'internal header': 'from the internal header'}[info['headerEvidence']]})"
    assert info['copierHeader'] == headered and page.text('fact-header') == expected, page.text('fact-header')
    assert page.text('fact-checksum').startswith('sound' if info['checksumValid'] else 'not sound')
    if headered:
        refusals(page)

    for k, (category, index, text) in enumerate(EDITS):
        type_name(page, category, index, text).send_keys(Keys.ENTER)
        page.wait(lambda: count(page).startswith(f'{k + 1} name'), f'{category} {index} was not written')
    page.click('undo')
    assert count(page).startswith('3 names'), count(page)
    assert page.by_id('n-items-5').get_attribute('value') == 'Shield'
    # Redone from the keyboard, in a name box with nothing typed in it.
    page.click('n-items-5')
    ActionChains(page.driver).key_down(Keys.CONTROL).send_keys('y').key_up(Keys.CONTROL).perform()
    assert count(page).startswith('4 names') and page.by_id('n-items-5').get_attribute('value') == 'Ax'
    assert leaves_asking(page), 'closing with unsaved edits did not ask'

    if fix:
        page.click('fix-checksum')
    saved = save(page, base, picker=headered)
    expected = os.path.join(work, 'expected-' + base)
    shutil.copy(image, expected)
    for k, (category, index, text) in enumerate(EDITS):
        options = ['--fix-checksum'] if fix and k == len(EDITS) - 1 else []
        names(arguments, 'set', *options, expected, category, str(index), text)
    with open(expected, 'rb') as file:
        assert saved == file.read(), f'the saved {base} differs from orvane-names set of the same names'

    page.driver.find_element(By.CSS_SELECTOR, f'input[name=patch-format][value={patch_format}]').click()
    page.click('save-patch')
    stem = os.path.splitext(base)[0]
    patch_name = f'{stem}.{patch_format.lower()}'
    patch = picked(page, patch_name) if headered else page.downloaded(patch_name)
    made = os.path.join(work, patch_name)
    names(arguments, 'patch', image, expected, made)
    with open(made, 'rb') as file:
        assert patch == file.read(), f'the {patch_format} patch differs from orvane-names patch of the same images'

    with open(image, 'rb') as file:
        original = file.read()
    skip = 512 if headered else 0
    patched = (apply_bps if patch_format == 'BPS' else apply_ips)(original[skip:], patch)
    assert patched == saved[skip:], f'the {patch_format} patch does not make the saved image'
    assert f'{patch_format} patch of {len(patch)} bytes' in page.text('takeback-message')
    return saved


def lists(page, arguments, saved, base, work):
    listed = os.path.join(work, 'names.csv')
    with open(listed, 'w', newline='') as file:
        file.write(LIST)
    before = count(page)
    bad = os.path.join(work, 'bad.csv')
    with open(bad, 'w') as file:
        file.write('category,index,name\nmonsters,999,Ax\n')
    # The list chosen last is the one previewed, whichever is read last.
    heading = 'names.csv: 2 names would change'
    overtaken(page, 'list-file', bad, listed, lambda: page.text('preview-heading') == heading)
    rows = page.driver.find_elements(By.CSS_SELECTOR, '#preview-changes tbody tr')
    shown = [[cell.text for cell in row.find_elements(By.CSS_SELECTOR, 'th, td')][:3] for row in rows]
    assert shown == LIST_CHANGES, shown
    assert count(page) == before, 'the preview changed names'
    # The same changes, names and bytes, as apply --dry-run of the same list.
    copy = os.path.join(work, 'dry-' + base)
    with open(copy, 'wb') as file:
        file.write(saved)
    dry = names(arguments, 'apply', '--dry-run', copy, listed).decode().splitlines()
    previewed = page.driver.execute_script("""
        return [...document.querySelectorAll('#preview-changes tbody tr')].map((tr) => {
          const [entry, now, listed, bytes] = [...tr.cells].map((cell) => cell.textContent);
          return [...entry.split(' '), now, listed, ...bytes.split(' → ')].join('\t');
        });""")
    assert previewed == dry, f'the preview {previewed} is not apply --dry-run {dry}'

    # A preview made before an edit is never applied over it.
    type_name(page, 'characters', 3, 'Ax').send_keys(Keys.ENTER)
    page.click('preview-apply')
    page.wait(lambda: 'nothing was written' in page.text('list-message'), 'a stale preview was applied')
    assert page.by_id('n-characters-2').get_attribute('value') != 'Kai', 'a stale preview was applied'
    page.click('undo')
    assert count(page) == before, count(page)
    page.choose('list-file', listed)
    page.wait(lambda: page.text('preview-heading') == heading, 'the list was not previewed again')
    page.click('preview-apply')
    page.wait(lambda: count(page).startswith('6 names'), 'the list was not applied')
    assert page.by_id('n-items-7').get_attribute('value') == 'Ax, Long'

    page.click('export-csv')
    exported = page.downloaded(os.path.splitext(base)[0] + '.csv')
    expected = os.path.join(work, 'listed-' + base)
    with open(expected, 'wb') as file:
        file.write(saved)
    names(arguments, 'apply', expected, listed)
    assert exported == names(arguments, 'dump', '--csv', expected), 'Export CSV differs from dump --csv'


def rows_of(page, table):
    rows = page.driver.find_elements(By.CSS_SELECTOR, f'#{table} tbody tr')
    return [[cell.text for cell in row.find_elements(By.CSS_SELECTOR, 'th, td')][:3] for row in rows]


def published_patches(page, arguments, clean, work, out):
    """A team's second round: its saved image opened, one more name, and the
    patch made against the clean image as orvane-names patch makes it; then
    its published patch opened beside the clean image, applied and undone."""
    page.driver.execute_script('window.confirm = () => true')
    if page.by_id('fix-checksum').is_selected():
        page.click('fix-checksum')
    round1, round2 = os.path.join(work, 'Round1.smc'), os.path.join(work, 'round2.smc')
    shutil.copy(clean, round1)
    names(arguments, 'set', round1, 'characters', '0', 'Ax')
    names(arguments, 'set', round1, 'items', '5', 'Sword')
    published = os.path.join(work, 'round1.bps')
    names(arguments, 'patch', clean, round1, published)
    shutil.copy(round1, round2)
    names(arguments, 'set', round2, 'monsters', '3', 'Wisp')
    page.choose('image-file', round1)
    page.wait(lambda: page.text('fact-file') == 'Round1.smc', 'Round1.smc never opened')
    type_name(page, 'monsters', 3, 'Wisp').send_keys(Keys.ENTER)
    page.wait(lambda: count(page).startswith('1 name'), 'monsters 3 was not written')
    # An original of another layout is refused and changes nothing.
    page.choose('against-file', os.path.join(work, 'Bare.sfc'))
    page.wait(lambda: 'Patches are still made against the file as opened.' in page.text('takeback-message'),
              'an original without a copier header was taken')
    assert 'Round1.smc has a copier header and Bare.sfc has none' in page.text('takeback-message'), \
        page.text('takeback-message')
    page.choose('against-file', clean)
    page.wait(lambda: 'Demo.smc' in page.text('against-note'), 'the page never said which original')
    page.driver.find_element(By.CSS_SELECTOR, 'input[name=patch-format][value=BPS]').click()
    page.click('save-patch')
    against = page.downloaded('Round1.bps')
    made = os.path.join(work, 'round2.bps')
    names(arguments, 'patch', clean, round2, made)
    with open(made, 'rb') as file:
        assert against == file.read(), 'the patch against Demo.smc differs from orvane-names patch'
    assert 'made against Demo.smc' in page.text('patch-summary'), page.text('patch-summary')
    assert 'BPS patch of' in page.text('patch-summary'), page.text('patch-summary')

    # The published patch of round 1, opened beside the clean image.
    page.choose('image-file', clean)
    page.wait(lambda: page.text('fact-file') == 'Demo.smc', 'Demo.smc never opened again')
    page.choose('patch-file', published)
    page.wait(lambda: page.text('patch-heading').startswith('round1.bps: 2 names would change'),
              'the patch was not previewed')
    assert rows_of(page, 'patch-changes') == [['characters 0', 'Hero', 'Ax'], ['items 5', 'Shield', 'Sword']], \
        rows_of(page, 'patch-changes')
    assert count(page).startswith('0 names'), 'the preview changed names'
    os.makedirs(out, exist_ok=True)
    page.driver.execute_script("document.getElementById('patch-preview').scrollIntoView()")
    page.driver.save_screenshot(os.path.join(out, 'page-patch.png'))
    page.click('patch-apply')
    page.wait(lambda: count(page).startswith('2 names'), 'the patch was not applied')
    assert page.by_id('n-characters-0').get_attribute('value') == 'Ax'
    assert page.by_id('n-items-5').get_attribute('value') == 'Sword'
    page.click('undo')
    page.wait(lambda: count(page).startswith('0 names'), 'Undo did not take the patch back')
    assert page.by_id('n-characters-0').get_attribute('value') == 'Hero'
    assert page.by_id('n-items-5').get_attribute('value') == 'Shield'
    page.click('redo')
    page.wait(lambda: count(page).startswith('2 names'), 'Redo did not put the patch back')
    page.click('save-image')
    with open(round1, 'rb') as file:
        assert page.downloaded('Demo.smc') == file.read(), 'the patched image is not the one the patch was made of'
    page.click('saved-it')


def screenshots(page, out):
    os.makedirs(out, exist_ok=True)
    page.click('tab-items')
    page.driver.execute_script("document.getElementById('names').scrollIntoView()")
    page.screenshot(os.path.join(out, 'page-desktop.png'), 1024, 900)
    page.screenshot(os.path.join(out, 'page-320.png'), 320, 900)
    page.zoomed(os.path.join(out, 'page-zoom200.png'))
    page.dark()
    page.screenshot(os.path.join(out, 'page-dark.png'), 1024, 900)
    page.dark(False)


def main():
    parser = argparse.ArgumentParser()
    for option in ('--page', '--names', '--demo', '--out'):
        parser.add_argument(option, required=True)
    engine_option(parser)
    arguments = parser.parse_args()
    work = tempfile.mkdtemp(prefix='orvane-page-journey-')
    try:
        headered = os.path.join(work, 'Demo.smc')
        subprocess.run([arguments.demo, headered], check=True)
        headerless = os.path.join(work, 'Bare.sfc')
        with open(headered, 'rb') as source, open(headerless, 'wb') as target:
            target.write(source.read()[512:])
        with Page(arguments.page, engine=arguments.engine) as page:
            journey(page, arguments, headered, True, False, 'BPS', work)
            saved = journey(page, arguments, headerless, False, True, 'IPS', work, before=headered)
            lists(page, arguments, saved, 'Bare.sfc', work)
            published_patches(page, arguments, headered, work, arguments.out)
            screenshots(page, arguments.out)
            page.check_origin()
    finally:
        shutil.rmtree(work, ignore_errors=True)
    print(f'journey: passed in {arguments.engine}')


if __name__ == '__main__':
    sys.exit(main())
