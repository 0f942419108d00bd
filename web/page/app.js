// The page's start: loads the core, hands images (picked or dropped) to
// opening.js, shows what the image is, keeps the count of changed names and undo and redo in
// view, and hands the session to the modules for names, lists and taking the
// work back.
import createCore from './core.mjs';
import { setupOpening } from './opening.js';
import { setupNames, redrawRows, takeBackTyping } from './names.js';
import { setupLists } from './lists.js';
import { setupCharTable } from './chartable.js';
import { setupPatches } from './patches.js';
import { setupTakeBack, saveImage } from './takeback.js';

const $ = (id) => document.getElementById(id);

// As orvane-names info words what decided the copier header, by the
// core's word for it; filled once the core is loaded.
const evidence = {};

function wordEvidence(words) {
  evidence[words.option] = 'as given';
  evidence[words.internalHeader] = 'from the internal header';
  evidence[words.size] = 'from the size';
  evidence[words.assumed] = 'assumed: neither the size nor the internal header tells';
}

// 3146240 as "3,146,240", without waking the browser's locale data for it.
function grouped(number) {
  return String(number).replace(/\B(?=(\d{3})+(?!\d))/g, ',');
}

// How many files were chosen for each purpose ("list", "patch", ...).
const chosen = {};

// The bytes of a file chosen for a purpose, or null: when refused before it
// is read (the refusal is told), when it could not be read (told), or when,
// by the time it is read, another file was chosen for the same purpose or
// another image was opened. The file chosen last wins.
async function readChosen(file, purpose, tell, refusal = '') {
  const choice = chosen[purpose] = (chosen[purpose] ?? 0) + 1;
  const session = page.session;
  if (refusal) {
    tell(refusal);
    return null;
  }
  const current = () => choice === chosen[purpose] && session === page.session;
  try {
    const bytes = new Uint8Array(await file.arrayBuffer());
    return current() ? bytes : null;
  } catch (error) {
    if (current())
      tell(`${file.name}: the file could not be read (${error.message}); nothing was changed.`);
    return null;
  }
}

const page = {
  grouped,
  measureFrom,
  readChosen,
  core: null,
  session: null,
  // True while the names shown are a glance at a file not yet open.
  opening: false,
  info: null,
  // The file's name without its last extension, for the files made from it.
  stem() {
    const name = page.info.name;
    const dot = name.lastIndexOf('.');
    return dot > 0 ? name.slice(0, dot) : name;
  },
  announce(text) {
    // Emptied first, so the same sentence twice is read twice.
    $('announcer').textContent = '';
    requestAnimationFrame(() => { $('announcer').textContent = text; });
  },
  edited(text) {
    updateCount();
    // What the bar said of the last save is over once the names change.
    $('takeback-message').textContent = '';
    if (text)
      page.announce(text);
  },
};

function updateCount() {
  const session = page.session;
  const count = session.changedCount();
  $('changed-count').textContent = `${count} ${count === 1 ? 'name' : 'names'} changed`
    + (session.unsaved() ? ', not saved' : '');
  $('undo').disabled = !session.canUndo();
  $('redo').disabled = !session.canRedo();
  $('save-image').disabled = $('save-patch').disabled = !session.isOpen();
}
page.updateCount = updateCount;

function showFacts() {
  const info = page.session.info();
  page.info = info;
  $('fact-file').textContent = info.name;
  $('fact-size').textContent = `${grouped(info.size)} bytes`;
  $('fact-title').textContent = info.title === null ? 'absent' : `“${info.title}”`;
  $('fact-header').textContent = `${info.copierHeader ? 'yes' : 'no'} (${evidence[info.evidence]})`;
  $('fact-checksum').textContent = info.checksumValid
    ? `sound (${info.storedChecksum}, complement ${info.storedComplement})`
    : `not sound (stored ${info.storedChecksum ?? 'absent'}, complement ${info.storedComplement ?? 'absent'}; `
      + `computed ${info.computedChecksum})`;
  $('facts').hidden = false;
}

function refuse(text) {
  $('open-message').textContent = text;
}
page.refuse = refuse;
page.showFacts = showFacts;

// Once the page has painted what changed: a frame, then the task after it.
function painted() {
  return new Promise((resolve) => {
    requestAnimationFrame(() => setTimeout(resolve));
  });
}
page.painted = painted;

function measureFrom(name, started) {
  painted().then(() => performance.measure(name, { start: started, end: performance.now() }));
}

function undoOrRedo(redo) {
  const started = performance.now();
  const session = page.session;
  if (!session.isOpen())
    return;
  // A name typed and not written is taken back before any step.
  if (!redo && takeBackTyping())
    return;
  const places = redrawRows(redo ? session.redo() : session.undo());
  if (!places.length)
    return;
  measureFrom(redo ? 'redo' : 'undo', started);
  const what = places.length === 1 ? `entry ${places[0].index} of ${places[0].word}` : `${places.length} names`;
  page.edited(`${redo ? 'Redid' : 'Undid'} the change to ${what}.`);
}

// Control+Z and Control+Y (or Shift+Control+Z) undo and redo the page's
// edits, except where a text box has typing of its own to undo; Control+S
// saves the image, where the browser lets the page have it.
function shortcut(event) {
  if (!(event.ctrlKey || event.metaKey) || event.altKey || page.opening)
    return;
  const key = event.key.toLowerCase();
  if (key === 's' && !event.shiftKey) {
    event.preventDefault();
    if (page.session.isOpen()) {
      // A name being typed is written first, as leaving its box writes it.
      document.activeElement?.blur();
      saveImage();
    }
    return;
  }
  if (key !== 'z' && key !== 'y')
    return;
  const target = event.target;
  const typing = target.tagName === 'INPUT' && (target.type === 'text' || target.type === 'search')
    && !(target.closest('.names') && target.value === target.defaultValue);
  if (typing)
    return;
  event.preventDefault();
  undoOrRedo(key === 'y' || event.shiftKey);
}

// The skip links move the keyboard's focus too, and to the image's picker
// while no image is open.
function setupSkipLinks() {
  for (const link of document.querySelectorAll('.skip a')) {
    link.addEventListener('click', (event) => {
      event.preventDefault();
      const target = $(link.hash.slice(1));
      if (target.closest('[hidden]'))
        $('image-file').focus();
      else
        target.focus();
    });
  }
}

// What the sticky bar covers, for what is scrolled into view to clear it.
function followBar() {
  const bar = document.querySelector('.bar');
  new ResizeObserver(() => {
    document.documentElement.style.setProperty('--bar-height', `${bar.offsetHeight}px`);
  }).observe(bar);
}

// The page's own files kept for use with no network (sw.js); nothing is
// lost but that where the browser has no service workers or refuses one.
function keepOffline() {
  if (!('serviceWorker' in navigator) || location.protocol === 'file:')
    return;
  navigator.serviceWorker.register('sw.js').catch((error) => {
    console.warn(`The page will not work offline: ${error.message}`);
  });
}

async function start() {
  try {
    page.core = await createCore();
    page.session = new page.core.Session();
    wordEvidence(page.core.evidenceWords());
  } catch (error) {
    refuse(`The page could not start its core: ${error.message ?? error}`
      + (location.protocol === 'file:' ? '. Serve the page instead of opening it as a file.' : ''));
    const unserved = location.protocol === 'file:';
    $('unserved').hidden = !unserved;
    $('drop').hidden = unserved;
    return;
  }
  $('unserved').hidden = true;
  $('drop').hidden = false;
  setupOpening(page);
  setupNames(page);
  setupLists(page);
  setupCharTable(page);
  setupPatches(page);
  setupTakeBack(page);
  $('undo').addEventListener('click', () => undoOrRedo(false));
  $('redo').addEventListener('click', () => undoOrRedo(true));
  document.addEventListener('keydown', shortcut);
  setupSkipLinks();
  followBar();
  // A browser that restores a form on reload (the pickers say
  // autocomplete="off" too) would show a file chosen that no image came
  // from, and choosing that file again would not count as a change.
  for (const input of document.querySelectorAll('input[type=file]'))
    input.value = '';
  $('image-file').disabled = false;
  document.body.dataset.ready = '1';
  keepOffline();
}

start();
