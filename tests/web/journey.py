#!/usr/bin/python3
"""The page as a user works it, in headless Chromium or Firefox: the demo
image and its headerless copy opened in turn, a name refused and one edited
in each category by the keyboard, an edit undone and redone, the image and a patch
downloaded and compared with what orvane-names makes of the same names; then
a CSV list previewed and applied, and the names exported as CSV; a
translator's changed names merged over a conflict, and the changed names
exported as dump --changed-from lists them; PO files of a team's kinds
previewed as apply --dry-run reads them, and the names exported as PO, the
bytes of dump --po; a team's character table refused, used, and replaced.
Nothing may
leave the page's origin. Screenshots go to --out for a person to look at.

journey.py --page DIR --names ORVANE_NAMES --demo MAKE_DEMO_IMAGE --out DIR [--engine firefox]"""
import argparse
import base64
import json
import os
import re
import shutil
import subprocess
import sys
import tempfile

from selenium.webdriver.common.action_chains import ActionChains
from selenium.webdriver.common.by import By
from selenium.webdriver.common.keys import Keys
from selenium.webdriver.support.ui import Select

from browser import Page, engine_option
from patches import apply_bps, apply_ips

# One name in each category, with the lossless text's byte and ellipsis.
EDITS = [('characters', 1, 'Zed'), ('monsters', 4, 'Sl<$C2>me'), ('magic', 2, 'Fir…'), ('items', 5, 'Ax')]
LIST = 'category,index,name\r\ncharacters,2,Kai\r\nitems,7,"Ax, Long"\r\n'
LIST_CHANGES = [['characters 2', 'Rogue', 'Kai'], ['items 7', 'Ether', 'Ax, Long']]
# Typed over characters 0 ("Hero") in turn: what is typed, the key that ends
# it (Tab leaves the box), why it is refused as it is typed, then what the
# box holds and how many names are changed. Enter or leaving writes a name,
# Escape puts it back; a refused one stays in its box with the reason.
TYPED = [
    ('Longername1', Keys.ENTER, 'needs 11 bytes and the field holds 6', 'Longername1', 0),
    ('Hé', Keys.ESCAPE, 'without a code: "é"', 'Hero', 0),
    ('Ax', Keys.ESCAPE, '', 'Hero', 0),
    ('Ax', Keys.TAB, '', 'Ax', 1),
    ('Longername1', Keys.TAB, 'needs 11 bytes', 'Longername1', 1),
]
# A search from the characters' tab: the tab it moves to and its label, and
# what it says of every category.
SEARCHES = [
    ('slime', 'monsters', 'Monsters (1 of 384)', 'Found 1 in monsters.'),
    ('potion', 'items', 'Items (1 of 256)', 'Found 1 in items.'),
    ('no such name', 'characters', 'Characters (0 of 64)', 'No name matches.'),
]


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


# Holds the next read of a whole image (of a megabyte or more) until
# window.settleWhole(fails) gives its bytes, or fails it.
HOLD_WHOLE = """
const read = Blob.prototype.arrayBuffer;
let settle;
window.settleWhole = (fails) => settle(fails);
Blob.prototype.arrayBuffer = function () {
  if (this.size < 1024 * 1024)
    return read.call(this);
  Blob.prototype.arrayBuffer = read;
  const bytes = read.call(this);
  return new Promise((resolve, reject) => {
    settle = (fails) => (fails ? reject(new DOMException('held and failed', 'NotReadableError')) : resolve(bytes));
  });
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
        # Control+S, wherever the focus is.
        ActionChains(page.driver).key_down(Keys.CONTROL).send_keys('s').key_up(Keys.CONTROL).perform()
        saved = picked(page, base)
        page.wait(lambda: page.text('takeback-message').startswith(f'Saved {base}.'), 'the save never ended')
        said = page.text('takeback-message')
    else:
        page.driver.execute_script('delete window.showSaveFilePicker; delete Window.prototype.showSaveFilePicker')
        # From the end of the longest list, without scrolling back.
        page.click('tab-monsters')
        last = "document.querySelector('#panel-monsters tbody tr:last-child')"
        page.driver.execute_script(f'{last}.scrollIntoView()')
        assert page.driver.execute_script('return scrollY') > 3000 and in_view(page, 'save-image'), \
            'Save image is out of reach at the end of Monsters'
        page.by_id('save-image').click()
        saved = page.downloaded(base)
        assert page.driver.execute_script(f'const box = {last}.getBoundingClientRect(); '
                                          'return box.top >= 0 && box.bottom <= innerHeight'), 'saving scrolled away'
        said = page.text('takeback-message')
        assert said.startswith(f'{base} was offered for download: check your downloads.'), said
        assert count(page).endswith('not saved') and leaves_asking(page), 'an offered download counted as saved'
        page.click('saved-it')
        assert not page.by_id('saved-it').is_displayed()
    assert not count(page).endswith('not saved') and not leaves_asking(page), 'closing after saving still asks'
    return saved, said


def in_view(page, id):
    """The element is inside the window and nothing lies over its middle."""
    return page.driver.execute_script("""
        const element = document.getElementById(arguments[0]), box = element.getBoundingClientRect();
        return box.top >= 0 && box.bottom <= innerHeight && box.left >= 0 && box.right <= innerWidth
          && element.contains(document.elementFromPoint((box.left + box.right) / 2, (box.top + box.bottom) / 2));""", id)


def refusals(page):
    for text, key, refusal, holds, changed in TYPED:
        field = type_name(page, 'characters', 0, text)
        # Shown while typing, before anything is written.
        assert refusal in why(page, field) and bool(refusal) == bool(why(page, field)), (text, why(page, field))
        assert '--allow-blanks' not in why(page, field)
        field.send_keys(key)
        page.wait(lambda: count(page).startswith(f'{changed} name'), f'{text}: {count(page)}')
        assert field.get_attribute('value') == holds, (text, field.get_attribute('value'))
        assert key != Keys.ESCAPE or not why(page, field), f'{text}: Escape left the reason'
    # Undo takes back the refused typing first, then the name written, and
    # no step besides.
    page.click('undo')
    assert page.by_id('n-characters-0').get_attribute('value') == 'Ax' and count(page).startswith('1 name')
    page.click('undo')
    page.wait(lambda: count(page).startswith('0 names changed'), 'Undo did not take back the name left')
    assert page.by_id('n-characters-0').get_attribute('value') == 'Hero' and not page.by_id('undo').is_enabled()
    page.click('redo')
    page.wait(lambda: count(page).startswith('1 name'), 'Redo did not put the name back')
    page.click('undo')


def skip_links(page):
    """The skip links at the top move the keyboard's focus where they say."""
    for link, target in (('Skip to the names', 'names-heading'), ('Skip to saving', 'takeback-heading')):
        element = page.driver.find_element(By.CSS_SELECTOR, f'.skip a[href="#{target}"]')
        page.driver.execute_script('arguments[0].focus()', element)
        assert element.text == link, f'"{link}" stays hidden when focused'
        element.send_keys(Keys.ENTER)
        page.wait(lambda: page.driver.switch_to.active_element.get_attribute('id') == target, f'"{link}" led nowhere')


def searches(page):
    """A search shows the matches of every category, on the first tab that has any."""
    for term, tab, label, said in SEARCHES:
        page.click('tab-characters')
        box = page.click('filter')
        box.send_keys(Keys.CONTROL, 'a')
        box.send_keys(term)
        page.wait(lambda: page.by_id(f'tab-{tab}').get_attribute('aria-selected') == 'true',
                  f'"{term}" did not show {tab}')
        assert page.text(f'tab-{tab}').startswith(label), page.text(f'tab-{tab}')
        assert page.text('filter-result').startswith(said), page.text('filter-result')
    box.send_keys(Keys.CONTROL, 'a')
    box.send_keys(Keys.BACKSPACE)
    page.wait(lambda: page.text('tab-monsters') == 'Monsters (384)', 'the counts did not come back')


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
        searches(page)
        skip_links(page)

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
    saved, said = save(page, base, picker=headered)
    expected = os.path.join(work, 'expected-' + base)
    shutil.copy(image, expected)
    for k, (category, index, text) in enumerate(EDITS):
        options = ['--fix-checksum'] if fix and k == len(EDITS) - 1 else []
        names(arguments, 'set', *options, expected, category, str(index), text)
    with open(expected, 'rb') as file:
        assert saved == file.read(), f'the saved {base} differs from orvane-names set of the same names'
    # Warned of an unsound checksum pair exactly where orvane-names patch warns.
    warned = 'warning: its checksum pair is not sound' in subprocess.run(
        [arguments.names, 'patch', image, expected, os.path.join(work, f'warned-{base}.bps')],
        check=True, capture_output=True, text=True).stderr
    assert warned == (not fix) and warned == ("Warning: The edited image's checksum pair is not sound" in said), said

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
    # Dropped on the lists panel, the file is read as a list, not an image.
    page.drop('list-help', 'names.csv', LIST.encode())
    page.wait(lambda: page.text('preview-heading') == heading, 'the list was not previewed again')
    page.click('preview-apply')
    page.wait(lambda: count(page).startswith('6 names'), 'the list was not applied')
    assert page.by_id('n-items-7').get_attribute('value') == 'Ax, Long'

    page.click('export-list')
    exported = page.downloaded(os.path.splitext(base)[0] + '.csv')
    expected = os.path.join(work, 'listed-' + base)
    with open(expected, 'wb') as file:
        file.write(saved)
    names(arguments, 'apply', expected, listed)
    assert exported == names(arguments, 'dump', '--csv', expected), 'Export CSV differs from dump --csv'
    return expected


def team_lists(page, arguments, now, base, work, out):
    """A translator's changed names merged into the page's image, which
    changed one of them since the translator started: the conflict shown
    as apply shows it, the list's name taken when asked; then the page's
    changed names and its CSV with a byte-order mark, as dump writes them."""
    clean = os.path.join(work, base)
    mine = os.path.join(work, 'mine-' + base)
    shutil.copy(clean, mine)
    names(arguments, 'set', mine, 'characters', '2', 'Lina')
    names(arguments, 'set', mine, 'monsters', '0', 'Wisp')
    handed = os.path.join(work, 'mine.csv')
    with open(handed, 'wb') as file:
        file.write(names(arguments, 'dump', '--csv', '--changed-from', clean, mine))
    page.choose('list-file', handed)
    page.wait(lambda: page.text('preview-heading') == 'mine.csv: nothing can be written (1 conflict)',
              'the conflict was not previewed')
    conflict = page.text('preview-conflicts')
    assert conflict == ('mine.csv:2: characters 2 changed since the list was made: "Rogue" then, "Kai" in the '
                        'image now, "Lina" in the list.'), conflict
    dry = subprocess.run([arguments.names, 'apply', '--dry-run', now, handed], capture_output=True)
    assert dry.returncode == 2 and conflict.split(':', 1)[1] in dry.stderr.decode(), dry.stderr
    assert page.by_id('preview-apply').get_attribute('hidden') is not None, 'a list with a conflict can be applied'
    os.makedirs(out, exist_ok=True)
    page.driver.execute_script("document.getElementById('preview').scrollIntoView()")
    page.driver.save_screenshot(os.path.join(out, 'page-conflict.png'))
    page.click('preview-overwrite')
    page.wait(lambda: page.text('preview-heading') == 'mine.csv: 2 names would change', 'the overwrite was not taken')
    page.click('preview-apply')
    page.wait(lambda: page.by_id('n-characters-2').get_attribute('value') == 'Lina', 'the list was not applied')
    names(arguments, 'apply', '--overwrite', now, handed)

    page.click('export-changed')
    changed = page.downloaded(os.path.splitext(base)[0] + '-changed.csv')
    assert changed == names(arguments, 'dump', '--csv', '--changed-from', clean, now), \
        'Export changed names differs from dump --changed-from'
    page.click('export-bom')
    page.click('export-list')
    marked = page.downloaded(os.path.splitext(base)[0] + '.csv')
    assert marked == names(arguments, 'dump', '--csv', '--bom', now), 'the export with a mark differs from --bom'
    page.click('export-bom')


def po_files(arguments, image):
    """PO files of the kinds a team's translation platform and gettext's
    tools make: another charset with a translator's comment, a fuzzy and an
    obsolete entry and a max-length flag; Windows-1252 with CRLF; a plural
    entry; the image's own dump, filled and wrapped by msgcat -w 30."""
    header = 'msgid ""\nmsgstr ""\n"Content-Type: text/plain; charset={}\\n"\n\n'
    latin1 = (header.format('ISO-8859-1') + '# café au lait\n#, max-length:6\nmsgctxt "characters 4"\n'
              'msgid "Hero"\nmsgstr "Ax"\n\n#, fuzzy\nmsgctxt "characters 5"\nmsgid "Hero"\nmsgstr "Bo"\n\n'
              '#, fuzzy\n#~ msgctxt "items 1"\n#~ msgid "Potion"\n#~ msgstr "Orc"\n').encode('latin-1')
    cp1252 = (header.format('CP1252') + '# naïve\nmsgctxt "items 2"\nmsgid "Ether"\nmsgstr "Ax…"\n'
              ).replace('\n', '\r\n').encode('cp1252')
    plural = (header.format('UTF-8') + 'msgctxt "magic 1"\nmsgid "Ice"\nmsgid_plural "Ices"\n'
              'msgstr[0] "Ax"\nmsgstr[1] "Axes"\n\nmsgctxt "magic 2"\nmsgid "Fire"\nmsgstr "Bo"\n').encode()
    dumped = names(arguments, 'dump', '--po', image).decode()
    filled = re.sub(r'(msgctxt "monsters 3"\nmsgid "[^"]*"\nmsgstr )""', r'\1"Orc"', dumped)
    filled = re.sub(r'(msgctxt "items 9"\nmsgid "[^"]*"\nmsgstr )""', r'\1"Long Sword"', filled)
    filled += '\n#~ msgctxt "items 1"\n#~ msgid "Potion"\n#~ msgstr "Bo"\n'
    wrapped = subprocess.run(['msgcat', '-w', '30', '-'], input=filled.encode(), check=True,
                             capture_output=True).stdout
    return {'latin1.po': latin1, 'windows.po': cp1252, 'plural.po': plural, 'wrapped.po': wrapped}


def po_lists(page, arguments, saved, base, work):
    """Each PO file previewed in the page shows what apply --dry-run says of
    it, changes and problems; the page's PO export is dump --po."""
    folder = os.path.join(work, 'po')
    os.makedirs(folder, exist_ok=True)
    image = os.path.join(folder, base)
    with open(image, 'wb') as file:
        file.write(saved)
    for name, content in po_files(arguments, image).items():
        listed = os.path.join(folder, name)
        with open(listed, 'wb') as file:
            file.write(content)
        page.choose('list-file', listed)
        page.wait(lambda: page.text('preview-heading').startswith(name), f'{name} was not previewed')
        # Named as the page names them, by the file's name alone.
        dry = subprocess.run([arguments.names, 'apply', '--dry-run', base, name], cwd=folder, capture_output=True)
        problems = [item.text for item in page.driver.find_elements(By.CSS_SELECTOR, '#preview-problems li')]
        if dry.returncode == 2:
            assert problems and all(problem in dry.stderr.decode() for problem in problems), \
                f'{name}: the preview says {problems}, apply --dry-run {dry.stderr}'
        else:
            previewed = page.driver.execute_script("""
                return [...document.querySelectorAll('#preview-changes tbody tr')].map((tr) => {
                  const [entry, now, listed, bytes] = [...tr.cells].map((cell) => cell.textContent);
                  return [...entry.split(' '), now, listed, ...bytes.split(' → ')].join('\t');
                });""")
            assert dry.returncode == 0 and not problems, f'{name}: {problems}, exit {dry.returncode}'
            assert previewed and previewed == dry.stdout.decode().splitlines(), \
                f'{name}: the preview {previewed} is not apply --dry-run {dry.stdout}'
        page.click('preview-cancel')
    Select(page.by_id('export-form')).select_by_value('po')
    page.click('export-list')
    exported = page.downloaded(os.path.splitext(base)[0] + '.po')
    Select(page.by_id('export-form')).select_by_value('csv')
    assert exported == names(arguments, 'dump', '--po', image), 'Export PO differs from dump --po'


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

    # The names of a large file show before the whole of it is read, with
    # nothing to act on until it is; a file that then cannot be read whole
    # gives the open image back as it was, edits and all.
    # Read in one call: the rows are replaced as the file opens.
    shown = lambda name: page.driver.execute_script(
        "return document.getElementById('n-characters-0').value") == name
    held = "return [...document.querySelectorAll('.bar, #names, #lists')].map((e) => e.inert)"
    for fails in (True, False):
        page.driver.execute_script(HOLD_WHOLE)
        page.choose('image-file', clean)
        page.wait(lambda: shown('Hero'), 'the names of Demo.smc did not show while it was read')
        assert page.driver.execute_script(held) == [True] * 3 and page.text('fact-file') == '…'
        page.driver.execute_script('window.settleWhole(arguments[0])', fails)
        if fails:
            page.wait(lambda: page.text('open-message').startswith('Demo.smc: the file could not be read'),
                      'a file that could not be read whole was not reported')
            assert shown('Ax') and page.driver.execute_script(held) == [False] * 3 and count(page).startswith('1 name') \
                and page.text('fact-file') == 'Round1.smc'
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


def character_table(page, arguments, work, out):
    """A team's table: a refused one keeps the table in use, the team's
    writes its letters and its two-letter code, and another one chosen
    reads every name through it."""
    def write(name, text):
        path = os.path.join(work, name)
        with open(path, 'wb') as file:
            file.write(text.encode() if isinstance(text, str) else text)
        return path
    assert page.text('table-chars').startswith("The game's table writes: A B C"), page.text('table-chars')
    page.choose('table-file', write('bad.tbl', 'C2=é\nc2=ñ\n'))
    page.wait(lambda: page.text('table-message') == 'bad.tbl:2: byte C2 is already given on line 1. '
              'The table in use stays.', 'a refused table was not named with its line')
    page.choose('table-file', write('team.tbl', '# ours\nC2=é\nC3=\\"\nE3=th\n'))
    page.wait(lambda: page.text('table-message').startswith('team.tbl is in use'), 'the table was not taken')
    assert page.text('table-chars').startswith('team.tbl writes: A B C') and ' é ' in page.text('table-chars') \
        and page.text('table-chars').endswith(' th'), page.text('table-chars')
    field = type_name(page, 'characters', 2, 'Bñ')
    assert 'without a code: "ñ"; a character table that has them ("Use a character table")' in why(page, field)
    field = type_name(page, 'characters', 2, 'Béth')
    assert not why(page, field), why(page, field)
    field.send_keys(Keys.ENTER)
    row = page.by_id('n-characters-2').find_element(By.XPATH, './ancestor::tr')
    page.wait(lambda: row.find_elements(By.TAG_NAME, 'td')[-1].text == '81C2E3FFFFFF', 'Béth was not written')
    # A quote and a backslash come back whole from the core's rows of a step.
    before = page.by_id('n-characters-3').get_attribute('value')
    field = type_name(page, 'characters', 3, 'Q\\"')
    field.send_keys(Keys.ENTER)
    page.wait(lambda: field.get_property('defaultValue') == 'Q\\"', 'Q\\" was not written')
    for button, value in (('undo', before), ('redo', 'Q\\"')):
        page.click(button)
        page.wait(lambda: field.get_attribute('value') == value, f'{button} did not bring back {value}')
    page.driver.execute_script("document.getElementById('table-file').scrollIntoView()")
    page.screenshot(os.path.join(out, 'page-table.png'), 1024, 900)
    page.choose('table-file', write('game.tbl', names(arguments, 'table')))
    page.wait(lambda: page.driver.execute_script("return document.getElementById('n-characters-2').value")
              == 'B<$C2><$E3>',
              'the names were not read again through the table chosen')


def screenshots(page, out):
    os.makedirs(out, exist_ok=True)
    page.click('tab-items')
    for dark in (False, True):
        page.dark(dark)
        suffix = '-dark' if dark else ''
        page.driver.execute_script("document.getElementById('names').scrollIntoView()")
        page.screenshot(os.path.join(out, f'page-desktop{suffix}.png'), 1024, 900)
        page.screenshot(os.path.join(out, f'page-320{suffix}.png'), 320, 900)
        # Every name box as wide as the next at 320 px.
        widths = page.driver.execute_script(
            "return new Set([...document.querySelectorAll('#panel-items input')].map((i) => i.offsetWidth)).size")
        assert widths == 1, f'the name boxes at 320 px have {widths} widths'
        page.zoomed(os.path.join(out, f'page-zoom200{suffix}.png'))
    page.dark(False)
    page.driver.execute_script('scrollTo(0, 0)')
    page.screenshot(os.path.join(out, 'page-desktop-top.png'), 1024, 900)


def offline(page, image):
    """Installable, and once visited, working with the server gone: the
    page reloads from its service worker and opens an image."""
    page.wait(lambda: page.driver.execute_script('return !!navigator.serviceWorker.controller'),
              'no service worker took the page over')
    if page.runs('installable', firefox='Firefox on the desktop installs no web apps, so it has no such check'):
        errors = page.driver.execute_cdp_cmd('Page.getInstallabilityErrors', {})['installabilityErrors']
        assert not errors, f'the browser would not offer to install the page: {errors}'
    page.stop_server()
    # A reload as the user makes one, which the worker answers (a driver's
    # own refresh may go past it).
    page.driver.execute_script('window.beforeReload = true; location.reload()')
    page.wait(lambda: page.driver.execute_script('return !window.beforeReload')
              and page.by_id('image-file').is_enabled(), 'the page did not start again with no network')
    page.choose('image-file', image)
    page.wait(lambda: page.text('fact-file') == os.path.basename(image), 'no image opened with no network')
    # One cache, of this build's version, holding the page's own files and
    # nothing of an image.
    with open(os.path.join(page.folder, 'sw.js')) as file:
        version = re.search(r"const VERSION = '(\w+)';", file.read()).group(1)
    kept = page.driver.execute_async_script("""
        const done = arguments[arguments.length - 1];
        (async () => {
          const names = await caches.keys();
          const urls = await Promise.all(names.map(async (name) => (await (await caches.open(name)).keys()).map((r) => r.url)));
          done({names, files: urls.flat().map((url) => url.slice(url.lastIndexOf('/') + 1))});
        })();""")
    assert kept['names'] == [f'orvane-page-{version}'], kept['names']
    own = set(os.listdir(page.folder)) - {'sw.js'}
    assert set(kept['files']) == own, f'the cache holds {sorted(kept["files"])}, not the page\'s own files {sorted(own)}'


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
        # A sound checksum pair, which the first image's edits then break.
        names(arguments, 'checksum', '--fix', headered)
        headerless = os.path.join(work, 'Bare.sfc')
        with open(headered, 'rb') as source, open(headerless, 'wb') as target:
            target.write(source.read()[512:])
        with Page(arguments.page, engine=arguments.engine) as page:
            journey(page, arguments, headered, True, False, 'BPS', work)
            saved = journey(page, arguments, headerless, False, True, 'IPS', work, before=headered)
            now = lists(page, arguments, saved, 'Bare.sfc', work)
            team_lists(page, arguments, now, 'Bare.sfc', work, arguments.out)
            with open(now, 'rb') as listed:
                po_lists(page, arguments, listed.read(), 'Bare.sfc', work)
            published_patches(page, arguments, headered, work, arguments.out)
            character_table(page, arguments, work, arguments.out)
            screenshots(page, arguments.out)
            page.check_origin()
            offline(page, headered)
    finally:
        shutil.rmtree(work, ignore_errors=True)
    print(f'journey: passed in {arguments.engine}')


if __name__ == '__main__':
    sys.exit(main())
