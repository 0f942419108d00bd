// Lists of names: a list read and checked by the core and every change shown
// before any is made, then all applied as one step (undone as one) or none;
// and the names as CSV or PO, the same bytes as orvane-names dump --csv or --po.
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

function showPreview(name, preview) {
  const problems = $('preview-problems');
  problems.replaceChildren();
  // The first problems and how many more, as apply --dry-run prints them.
  for (const problem of preview.problems) {
    const item = document.createElement('li');
    item.textContent = problem;
    problems.append(item);
  }
  showChanges($('preview-notes'), $('preview-changes'), preview);
  const count = preview.changes.length;
  const usable = preview.problemCount === 0;
  $('preview-heading').textContent = usable
    ? `${name}: ${count} ${count === 1 ? 'name' : 'names'} would change`
    : `${name}: nothing can be written (${page.grouped(preview.problemCount)} `
      + `${preview.problemCount === 1 ? 'problem' : 'problems'})`;
  problems.hidden = usable;
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
  const read = page.session.previewList(file.name, bytes);
  const preview = { ...read, problems: arrayOf(read.problems), notes: arrayOf(read.notes),
                    changes: arrayOf(read.changes) };
  if (preview.unreadable) {
    say(preview.unreadable);
    return;
  }
  page.list = { name: file.name, count: preview.changes.length };
  showPreview(file.name, preview);
  page.measureFrom('preview', started);
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

function exportList() {
  const form = arrayOf(page.core.listForms()).find((each) => each.keyword === $('export-form').value);
  takeBack(page.session.exportList(form.keyword), `${page.stem()}${form.ending}`, form.mediaType, { say });
}

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
  $('export-csv').addEventListener('click', exportList);
}
