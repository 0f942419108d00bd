// Opening an image, picked or dropped: its names are shown from the few
// spans of the file that hold them, read first, and the image is opened in
// a session of its own once the whole file is read. A file dropped on the
// lists panel goes to that panel instead.
import { arrayOf } from './core.js';
import { showAll, showRows, adoptRows } from './names.js';
import { resetLists } from './lists.js';
import { keepTable, resetTable } from './chartable.js';
import { resetPatches } from './patches.js';
import { resetTakeBack } from './takeback.js';

const $ = (id) => document.getElementById(id);
let page;

// Counts the images chosen: the last choice wins, and a file still being
// read when another is chosen is dropped once it has been read.
let choices = 0;

// The spans of the file that hold its names, read first, and what the core
// makes of them (Glanced); rejected as a read of the file is.
async function glanceAt(file) {
  const spans = arrayOf(page.core.Session.glanceSpans(file.size));
  const parts = await Promise.all(spans.map((span) => file.slice(span.offset, span.offset + span.length)
    .arrayBuffer()));
  const joined = new Uint8Array(parts.reduce((sum, part) => sum + part.byteLength, 0));
  let at = 0;
  for (const part of parts) {
    joined.set(new Uint8Array(part), at);
    at += part.byteLength;
  }
  return { spans, joined, glanced: page.session.glance(file.name, file.size, joined) };
}

// Whether the whole file holds what the glance showed of it: a file changed
// on the disk in between is shown again from the whole.
function sameAsGlance(bytes, glance) {
  let at = 0;
  for (const span of glance.spans) {
    const part = glance.joined.subarray(at, at + Math.max(0, Math.min(span.length, bytes.length - span.offset)));
    at += part.length;
    if (part.some((byte, k) => byte !== bytes[span.offset + k]))
      return false;
  }
  return true;
}

// While the names shown come from a glance and the whole file is still
// being read, nothing on the page acts on them or on the image open before.
function hold(held) {
  page.opening = held;
  for (const element of [document.querySelector('.bar'), $('names'), $('takeback'), $('lists')])
    element.inert = held;
}

// Shows the page as the session open now has it again, where the names of
// a file that is not opened after all were shown from a glance.
function giveUp() {
  if (!page.opening)
    return;
  hold(false);
  const open = page.session.isOpen();
  for (const id of ['facts', 'names', 'takeback', 'lists'])
    $(id).hidden = !open;
  if (open) {
    page.showFacts();
    showAll();
  }
}

function askToDrop(file) {
  const old = page.session;
  return !(old.isOpen() && old.unsaved())
    || window.confirm(`${page.info.name} has edits that were not saved. Open ${file.name} and drop them?`);
}

// The names are shown from the spans that hold them as soon as those are
// read (measured as "open"), and the image is opened once the whole file
// is (measured as "ready").
async function openImage(file, started) {
  const choice = ++choices;
  $('open-message').textContent = '';
  // Refused from the size alone, before a byte is read into memory.
  const refusal = page.core.Session.refusal(file.name, file.size);
  if (refusal)
    return page.refuse(refusal);
  let glance = null;
  let shown = false;
  let bytes;
  try {
    glance = await glanceAt(file);
    if (choice !== choices)
      return undefined;
    if (glance.glanced.refusal) {
      giveUp();
      return page.refuse(glance.glanced.refusal);
    }
    if (glance.glanced.rows) {
      if (!askToDrop(file)) {
        giveUp();
        return undefined;
      }
      hold(true);
      // The facts come with the whole file; their place is kept meanwhile,
      // so that the names do not move when they come.
      for (const fact of $('facts').querySelectorAll('dd'))
        fact.textContent = '…';
      showRows(glance.glanced.rows, null);
      for (const id of ['facts', 'names', 'takeback', 'lists'])
        $(id).hidden = false;
      shown = true;
      page.measureFrom('open', started);
      // The whole file is read once the names are painted: read alongside,
      // its parts would take turns with building them.
      await page.painted();
    }
    bytes = new Uint8Array(await file.arrayBuffer());
  } catch (error) {
    if (choice === choices) {
      giveUp();
      page.refuse(`${file.name}: the file could not be read (${error.message}).`);
    }
    return undefined;
  }
  if (choice !== choices)
    return undefined;
  // A session of its own, so that a file the page turns away, or the user
  // thinks better of, leaves the open image and its edits as they were.
  const opened = new page.core.Session();
  keepTable(opened);
  const why = opened.open(file.name, bytes);
  if (why || (!shown && !askToDrop(file))) {
    opened.delete();
    giveUp();
    return why ? page.refuse(why) : undefined;
  }
  hold(false);
  page.session.delete();
  page.session = opened;
  page.showFacts();
  if (shown && sameAsGlance(bytes, glance))
    adoptRows(opened);
  else
    showAll();
  resetLists();
  resetTable();
  resetPatches();
  resetTakeBack();
  for (const id of ['names', 'takeback', 'lists'])
    $(id).hidden = false;
  page.updateCount();
  page.announce(`${file.name} is open.`);
  if (!shown)
    page.measureFrom('open', started);
  page.measureFrom('ready', started);
  return undefined;
}

// The core's reading of a file's first spans, done once on blank bytes
// while the page waits for a file: the browser compiles the core's code as
// it first runs, which would otherwise fall on the first image.
function warmUp() {
  const size = 4 * 1024 * 1024;
  const length = arrayOf(page.core.Session.glanceSpans(size)).reduce((sum, span) => sum + span.length, 0);
  page.session.glance('', size, new Uint8Array(length));
}

export function setupOpening(shared) {
  page = shared;
  if (window.requestIdleCallback)
    requestIdleCallback(warmUp, { timeout: 100 });
  else
    setTimeout(warmUp);
  const input = $('image-file');
  input.addEventListener('change', async (event) => {
    const file = input.files[0];
    if (file)
      await openImage(file, event.timeStamp);
    // So that choosing the same file again opens it again.
    input.value = '';
  });
  // A file dropped on the lists panel is a list (or, by its name, a patch)
  // for it; anywhere else it is an image.
  const drop = $('drop');
  const lists = $('lists');
  const onLists = (event) => !lists.hidden && lists.contains(event.target);
  const mark = (event) => {
    const listed = onLists(event);
    drop.classList.toggle('dragging', !listed);
    lists.classList.toggle('lists-dragging', listed);
  };
  const unmark = () => {
    drop.classList.remove('dragging');
    lists.classList.remove('lists-dragging');
  };
  document.addEventListener('dragover', (event) => {
    event.preventDefault();
    mark(event);
  });
  document.addEventListener('dragleave', (event) => {
    if (!event.relatedTarget)
      unmark();
  });
  document.addEventListener('drop', (event) => {
    event.preventDefault();
    unmark();
    const file = event.dataTransfer.files[0];
    if (!file)
      return;
    if (!onLists(event)) {
      openImage(file, event.timeStamp);
      return;
    }
    // Handed to the panel's own picker, as if chosen there.
    const input = $(/\.(bps|ips)$/i.test(file.name) ? 'patch-file' : 'list-file');
    input.files = event.dataTransfer.files;
    input.dispatchEvent(new Event('change', { bubbles: true }));
  });
}

