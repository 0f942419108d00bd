#!/usr/bin/python3
"""The page as a user works it, in headless Chromium: the demo image and its
headerless copy opened in turn, a name refused and one edited in each
category by the keyboard, an edit undone and redone, the image and a patch
downloaded and compared with what orvane-names makes of the same names; then
a CSV list previewed and applied, and the names exported as CSV. Nothing may
leave the page's origin. Screenshots go to --out for a person to look at.

journey.py --page DIR --names ORVANE_NAMES --demo MAKE_DEMO_IMAGE --out DIR"""
import argparse
import json
import os
import shutil
import subprocess
import sys
import tempfile

from selenium.webdriver.common.action_chains import ActionChains
from selenium.webdriver.common.by import By
from selenium.webdriver.common.keys import Keys

from browser import Page
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


def journey(page, arguments, image, headered, fix, patch_format, work):
    base = os.path.basename(image)
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
    page.click('save-image')
    saved = page.downloaded(base)
    expected = os.path.join(work, 'expected-' + base)
    shutil.copy(image, expected)
    for k, (category, index, text) in enumerate(EDITS):
        options = ['--fix-checksum'] if fix and k == len(EDITS) - 1 else []
        names(arguments, 'set', *options, expected, category, str(index), text)
    with open(expected, 'rb') as file:
        assert saved == file.read(), f'the saved {base} differs from orvane-names set of the same names'
    assert not leaves_asking(page), 'closing after saving still asks'

    page.driver.find_element(By.CSS_SELECTOR, f'input[name=patch-format][value={patch_format}]').click()
    page.click('save-patch')
    stem = os.path.splitext(base)[0]
    patch = page.downloaded(f'{stem}.{patch_format.lower()}')
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
    page.choose('list-file', listed)
    page.wait(lambda: page.by_id('preview').is_displayed(), 'the preview never showed')
    assert page.text('preview-heading') == 'names.csv: 2 names would change', page.text('preview-heading')
    rows = page.driver.find_elements(By.CSS_SELECTOR, '#preview-changes tbody tr')
    shown = [[cell.text for cell in row.find_elements(By.CSS_SELECTOR, 'th, td')][:3] for row in rows]
    assert shown == LIST_CHANGES, shown
    assert count(page) == before, 'the preview changed names'
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


def screenshots(page, out):
    os.makedirs(out, exist_ok=True)
    page.click('tab-items')
    page.driver.execute_script("document.getElementById('names').scrollIntoView()")
    page.screenshot(os.path.join(out, 'page-desktop.png'), 1024, 900)
    page.screenshot(os.path.join(out, 'page-320.png'), 320, 900)
    # 200% zoom of a 1280 px window: 640 CSS pixels, each drawn twice as large.
    page.driver.execute_cdp_cmd('Emulation.setDeviceMetricsOverride',
                                {'width': 640, 'height': 450, 'deviceScaleFactor': 2, 'mobile': False})
    page.driver.save_screenshot(os.path.join(out, 'page-zoom200.png'))
    page.driver.execute_cdp_cmd('Emulation.clearDeviceMetricsOverride', {})


def main():
    parser = argparse.ArgumentParser()
    for option in ('--page', '--names', '--demo', '--out'):
        parser.add_argument(option, required=True)
    arguments = parser.parse_args()
    work = tempfile.mkdtemp(prefix='orvane-page-journey-')
    try:
        headered = os.path.join(work, 'Demo.smc')
        subprocess.run([arguments.demo, headered], check=True)
        headerless = os.path.join(work, 'Bare.sfc')
        with open(headered, 'rb') as source, open(headerless, 'wb') as target:
            target.write(source.read()[512:])
        with Page(arguments.page) as page:
            journey(page, arguments, headered, True, False, 'BPS', work)
            saved = journey(page, arguments, headerless, False, True, 'IPS', work)
            lists(page, arguments, saved, 'Bare.sfc', work)
            screenshots(page, arguments.out)
            page.check_origin()
    finally:
        shutil.rmtree(work, ignore_errors=True)
    print('journey: passed')


if __name__ == '__main__':
    sys.exit(main())
