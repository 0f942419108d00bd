// Lists of names: a list read and checked by the core and every change shown
// before any is made, then all applied as one step (undone as one) or none,
// a list's conflicts shown and taken over only when asked; and the names in
// any form, all or those changed, the same bytes as orvane-names dump.
import { takeBack } from './takeback.js';
import { showAll } from './names.js';
import { arrayOf } from './core.js';

const $ = (id) => document.getElementById(id);
let page;

function say(text) {
  $('list-message').textContent = text;
}

function cell(row, text, className) {
  const td = row.insertCell();
  td.textContent = text;
  if (className)
    td.className = className;
}

// Fills a preview's notes and its table of changes, each name with its old
// and new text and bytes; a list's and a patch's previews alike.
export function showChanges(notes, table, preview) {
  const body = table.tBodies[0];
  body.replaceChildren();
  notes.replaceChildren();
  for (const note of preview.notes) {
    const item = document.createElement('li');
    item.textContent = note;
    notes.append(item);
  }
  notes.hidden = preview.notes.length === 0;
  for (const change of preview.changes) {
    const row = body.insertRow();
    const th = document.createElement('th');
    th.scope = 'row';
    th.textContent = `${change.category} ${change.index}`;
    row.append(th);
    cell(row, change.before);
    cell(row, change.after);
    cell(row, `${change.beforeHex} → ${change.afterHex}`, 'hex');
  }
}

function fillList(list, lines) {
  list.replaceChildren();
  for (const line of lines) {
    const item = document.createElement('li');
    item.textContent = line;
    list.append(item);
  }
}

function counted(count, one, more) {
  return `${page.grouped(count)} ${count === 1 ? one : more}`;
}

function showPreview(name, preview) {
  const problems = $('preview-problems');
  // The first problems and conflicts and how many more, as apply --dry-run
  // prints them.
  fillList(problems, preview.problems);
  fillList($('preview-conflicts'), preview.conflicts);
  showChanges($('preview-notes'), $('preview-changes'), preview);
  const count = preview.changes.length;
  const usable = preview.problemCount === 0 && preview.conflictCount === 0;
  const why = [];
  if (preview.problemCount > 0)
    why.push(counted(preview.problemCount, 'problem', 'problems'));
  if (preview.conflictCount > 0)
    why.push(counted(preview.conflictCount, 'conflict', 'conflicts'));
  $('preview-heading').textContent = usable
    ? `${name}: ${count} ${count === 1 ? 'name' : 'names'} would change`
    : `${name}: nothing can be written (${why.join(', ')})`;
  problems.hidden = preview.problemCount === 0;
  $('preview-conflicts').hidden = preview.conflictCount === 0;
  // Offered while there are conflicts, and kept while taken.
  $('preview-overwrite-choice').hidden = preview.conflictCount === 0 && !$('preview-overwrite').checked;
  $('preview-changes').hidden = count === 0 || !usable;
  $('preview-apply').hidden = !usable || count === 0;
  $('preview-apply').textContent = `Apply all ${count}`;
  $('preview-cancel').textContent = usable && count > 0 ? 'Cancel' : 'Close';
  $('preview').hidden = false;
  $('preview-heading').focus();
}

function closePreview() {
  $('preview').hidden = true;
}

async function importList(file, started) {
  say('');
  closePreview();
  // As orvane-names apply: a list of names is far smaller than the core's limit.
  const limit = page.core.largestList;
  const bytes = await page.readChosen(file, 'list', say, file.size > limit
    ? `${file.name}: larger than ${limit / (1024 * 1024)} MiB, too large for a list of names; nothing was changed.`
    : '');
  if (!bytes)
    return;
  if (noneChosen()) {
    say('No category is chosen, so nothing would be read from the list.');
    return;
  }
  $('preview-overwrite').checked = false;
  page.list = { name: file.name, bytes };
  if (previewList())
    page.measureFrom('preview', started);
}

function noneChosen() {
  return !document.querySelector('input[name=only]:checked');
}

// The categories ticked, as the core's words ("" for all of them).
function only() {
  const boxes = [...document.querySelectorAll('input[name=only]')];
  const ticked = boxes.filter((box) => box.checked).map((box) => box.value);
  return ticked.length === boxes.length ? '' : ticked.join(',');
}

// Reads and checks the list last chosen, as the choices now are.
function previewList() {
  const { name, bytes } = page.list;
  const read = page.session.previewList(name, bytes, $('preview-overwrite').checked, only());
  const preview = { ...read, problems: arrayOf(read.problems), notes: arrayOf(read.notes),
                    changes: arrayOf(read.changes), conflicts: arrayOf(read.conflicts) };
  if (preview.unreadable) {
    say(preview.unreadable);
    return false;
  }
  page.list.count = preview.changes.length;
  showPreview(name, preview);
  return true;
}

function applyList() {
  const why = page.session.applyList();
  closePreview();
  if (why) {
    say(why);
    return;
  }
  showAll();
  page.edited();
  const { name, count } = page.list;
  say(`${name}: ${count} ${count === 1 ? 'name' : 'names'} changed; Undo takes them all back at once.`);
  $('list-file').focus();
}

// The names in the form chosen, as orvane-names dump writes them; with
// changed, only those that differ from the original patches are made from.
function exportList(changed) {
  const form = forms.find((each) => each.keyword === $('export-form').value);
  if (noneChosen()) {
    say('No category is chosen, so there is nothing to export.');
    return;
  }
  const made = page.session.exportList(form.keyword, only(), changed, $('export-bom').checked);
  const name = `${page.stem()}${changed ? '-changed' : ''}${form.ending}`;
  if (made.error) {
    say(`${name}: ${made.error}`);
    return;
  }
  const from = changed ? ` It holds the names that differ from ${page.session.originalName()}.` : '';
  takeBack(made.bytes, name, form.mediaType, { say, detail: from });
}

let forms = [];

export function resetLists() {
  say('');
  closePreview();
}

export function setupLists(shared) {
  page = shared;
  const input = $('list-file');
  input.addEventListener('change', async (event) => {
    const file = input.files[0];
    if (file)
      await importList(file, event.timeStamp);
    input.value = '';
  });
  $('preview-apply').addEventListener('click', applyList);
  $('preview-cancel').addEventListener('click', () => {
    closePreview();
    say('The list was not applied; nothing was changed.');
    input.focus();
  });
  forms = arrayOf(page.core.forms());
  for (const form of forms)
    $('export-form').add(new Option(form.name, form.keyword, false, form.keyword === 'csv'));
  $('export-list').addEventListener('click', () => exportList(false));
  $('export-changed').addEventListener('click', () => exportList(true));
  // The choice is the list's to make again: the preview follows it.
  $('preview-overwrite').addEventListener('change', () => {
    if (!$('preview').hidden)
      previewList();
  });
}
