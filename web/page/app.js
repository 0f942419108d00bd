// The page's start: loads the core, opens images (picked or dropped), shows
// what the image is, keeps the count of changed names and undo and redo in
// view, and hands the session to the modules for names, lists and taking the
// work back.
import createCore from './core.mjs';
import { setupNames, showAll, redrawRows } from './names.js';
import { setupLists, resetLists } from './lists.js';
import { setupCharTable, keepTable, resetTable } from './chartable.js';
import { setupPatches, resetPatches } from './patches.js';
import { setupTakeBack, resetTakeBack } from './takeback.js';

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
  const message = $('open-message');
  message.textContent = text;
  message.hidden = false;
}

// Measured once the page has painted what changed: a frame, then the task after it.
function measureFrom(name, started) {
  requestAnimationFrame(() => setTimeout(() => {
    performance.measure(name, { start: started, end: performance.now() });
  }));
}

// Counts the images chosen: the last choice wins, and a file still being
// read when another is chosen is dropped once it has been read.
let choices = 0;

async function openImage(file, started) {
  const choice = ++choices;
  $('open-message').hidden = true;
  // Refused from the size alone, before a byte is read into memory.
  const refusal = page.core.Session.refusal(file.name, file.size);
  if (refusal)
    return refuse(refusal);
  let bytes;
  try {
    bytes = new Uint8Array(await file.arrayBuffer());
  } catch (error) {
    if (choice === choices)
      refuse(`${file.name}: the file could not be read (${error.message}).`);
    return undefined;
  }
  if (choice !== choices)
    return undefined;
  // A session of its own, so that a file the page turns away, or the user
  // thinks better of, leaves the open image and its edits as they were.
  const opened = new page.core.Session();
  const why = opened.open(file.name, bytes);
  const old = page.session;
  if (why || (old.isOpen() && old.unsaved()
      && !window.confirm(`${page.info.name} has edits that were not saved. Open ${file.name} and drop them?`))) {
    opened.delete();
    return why ? refuse(why) : undefined;
  }
  old.delete();
  keepTable(opened);
  page.session = opened;
  showFacts();
  showAll();
  resetLists();
  resetTable();
  resetPatches();
  resetTakeBack();
  for (const id of ['names', 'takeback', 'lists'])
    $(id).hidden = false;
  updateCount();
  page.announce(`${file.name} is open.`);
  measureFrom('open', started);
}

function undoOrRedo(redo) {
  const started = performance.now();
  const session = page.session;
  if (!session.isOpen())
    return;
  const places = redrawRows(redo ? session.redo() : session.undo());
  if (!places.length)
    return;
  measureFrom(redo ? 'redo' : 'undo', started);
  const what = places.length === 1 ? `${places[0].label} ${places[0].index}` : `${places.length} names`;
  page.edited(`${redo ? 'Redid' : 'Undid'} the change to ${what}.`);
}

// Control+Z and Control+Y (or Shift+Control+Z) undo and redo the page's
// edits, except where a text box has typing of its own to undo.
function shortcut(event) {
  if (!(event.ctrlKey || event.metaKey) || event.altKey)
    return;
  const key = event.key.toLowerCase();
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

function setupOpening() {
  const input = $('image-file');
  input.addEventListener('change', async (event) => {
    const file = input.files[0];
    if (file)
      await openImage(file, event.timeStamp);
    // So that choosing the same file again opens it again.
    input.value = '';
  });
  const drop = $('drop');
  document.addEventListener('dragover', (event) => {
    event.preventDefault();
    drop.classList.add('dragging');
  });
  document.addEventListener('dragleave', (event) => {
    if (!event.relatedTarget)
      drop.classList.remove('dragging');
  });
  document.addEventListener('drop', (event) => {
    event.preventDefault();
    drop.classList.remove('dragging');
    const file = event.dataTransfer.files[0];
    if (file)
      openImage(file, event.timeStamp);
  });
}

async function start() {
  try {
    page.core = await createCore();
    page.session = new page.core.Session();
    wordEvidence(page.core.evidenceWords());
  } catch (error) {
    refuse(`The page could not start its core: ${error.message ?? error}`);
    return;
  }
  setupOpening();
  setupNames(page);
  setupLists(page);
  setupCharTable(page);
  setupPatches(page);
  setupTakeBack(page);
  $('undo').addEventListener('click', () => undoOrRedo(false));
  $('redo').addEventListener('click', () => undoOrRedo(true));
  document.addEventListener('keydown', shortcut);
  $('image-file').disabled = false;
  document.body.dataset.ready = '1';
}

start();
