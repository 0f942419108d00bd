// The four categories as tabs, each a table of every entry, the filter, and
// the editing of a name in place. Every check and every write is the core's:
// this module only shows what it answers.
import { arrayOf, tablesOf } from './core.js';

// The core's categories in its order, each with its label:
// [{ word, label, leading, nameLength }].
const categories = [];

let page;          // what app.js shares: the session and its callbacks
let current = 0;   // the category shown
const tabs = [];
const bodies = [];
// The box last left with a name the core refused, until a name is written.
let unwritten = null;
// The session each table body's rows were made for. Rows are replaced with
// their body, so a box of old rows (Chromium sends a focused box's change
// as it goes) never reaches the session of the rows after it.
const owners = new WeakMap();

const escapes = { '&': '&amp;', '<': '&lt;', '>': '&gt;', '"': '&quot;' };
const escape = (text) => text.replace(/[&<>"]/g, (c) => escapes[c]);

// Kept small, as 758 of them are made at once: the reason a name is refused
// is added only when there is one, and the name last written is the input's
// default value, which Escape puts back.
function rowHtml(category, row) {
  return `<tr data-index="${row.index}"${row.changed ? ' class="changed"' : ''}><th scope="row">${row.index}</th>`
    + (category.leading ? `<td class="byte">${row.leading}</td>` : '')
    + `<td class="name"><input id="n-${category.word}-${row.index}" value="${escape(row.name)}"`
    + ` aria-label="${category.label} ${row.index}"${row.changed ? ' aria-description="changed"' : ''}`
    + '></td>'
    + `<td class="used">${row.used}/${row.length}</td><td class="hex">${row.hex}</td></tr>`;
}

function buildPanels() {
  for (const category of arrayOf(page.core.categories())) {
    categories.push({
      word: category.word,
      label: category.word[0].toUpperCase() + category.word.slice(1),
      leading: category.hasLeadingByte,
      nameLength: category.nameLength,
    });
  }
  const tablist = document.getElementById('tabs');
  const panels = document.getElementById('panels');
  categories.forEach((category, k) => {
    const tab = document.createElement('button');
    tab.type = 'button';
    tab.id = `tab-${category.word}`;
    tab.setAttribute('role', 'tab');
    tab.setAttribute('aria-controls', `panel-${category.word}`);
    tab.dataset.k = k;
    tablist.append(tab);
    tabs.push(tab);

    const panel = document.createElement('div');
    panel.id = `panel-${category.word}`;
    panel.className = 'names-panel';
    panel.setAttribute('role', 'tabpanel');
    panel.setAttribute('aria-labelledby', tab.id);
    panel.dataset.k = k;
    // Names are no language a spelling checker knows; the inputs inherit this.
    panel.innerHTML = `<table class="names" spellcheck="false"><caption class="hidden">${category.label}</caption><thead><tr>`
      + '<th scope="col">#</th>' + (category.leading ? '<th scope="col" class="byte">Byte</th>' : '')
      + '<th scope="col">Name</th><th scope="col" class="used">Used</th><th scope="col" class="hex">Field bytes</th>'
      + '</tr></thead><tbody></tbody></table>';
    panels.append(panel);
    bodies.push(panel.querySelector('tbody'));
  });
  show(0);
}

function show(k) {
  current = k;
  tabs.forEach((tab, j) => {
    tab.setAttribute('aria-selected', String(j === k));
    tab.tabIndex = j === k ? 0 : -1;
    document.getElementById(tab.getAttribute('aria-controls')).hidden = j !== k;
  });
}

function choose(k, focus) {
  show(k);
  if (focus)
    tabs[k].focus();
}

// Which rows the filter keeps, in every category: a name holding the text,
// or an index equal to it. The tabs say how many each keeps; when the one
// shown keeps none, the first that keeps any is shown instead.
function filter() {
  const term = document.getElementById('filter').value.trim().toLowerCase();
  const found = [];
  categories.forEach((category, k) => {
    const rows = bodies[k].rows;
    let shown = rows.length;
    if (term || bodies[k].dataset.filtered) {
      shown = 0;
      for (const tr of rows) {
        const keep = !term || tr.dataset.index === term
          || tr.querySelector('input').value.toLowerCase().includes(term);
        tr.hidden = !keep;
        shown += keep;
      }
    }
    // A table the filter never touched has nothing to show again.
    bodies[k].dataset.filtered = term ? '1' : '';
    tabs[k].textContent = term ? `${category.label} (${shown} of ${rows.length})` : `${category.label} (${rows.length})`;
    if (shown > 0)
      found.push({ k, text: `${shown} in ${category.word}` });
  });
  const result = document.getElementById('filter-result');
  if (!term) {
    result.textContent = '';
    return;
  }
  if (!found.length) {
    result.textContent = 'No name matches.';
    return;
  }
  result.textContent = `Found ${found.map((f) => f.text).join(', ')}.`;
  if (!found.some((f) => f.k === current))
    show(found[0].k);
}

// Shows every row from the core's rows (rows(), or a glance at a file), as
// made for the session given; null, for a glance, until
// adoptRows gives them the session that opened the file.
export function showRows(rows, session) {
  // A list of rows for each category, in the same order.
  const tables = tablesOf(rows);
  categories.forEach((category, k) => {
    const body = document.createElement('tbody');
    body.innerHTML = tables[k].map((row) => rowHtml(category, row)).join('');
    owners.set(body, session);
    const old = bodies[k];
    bodies[k] = body;
    old.replaceWith(body);
  });
  filter();
}

export function showAll() {
  showRows(page.session.rows(), page.session);
}

export function adoptRows(session) {
  for (const body of bodies)
    owners.set(body, session);
}

// The row of a name box, or null when the box belongs to rows made for
// another session than the page's, or while another file is being opened:
// what was typed there is dropped.
function rowOf(input) {
  const tr = input.closest('tr');
  if (!tr || page.opening || owners.get(tr.parentElement) !== page.session)
    return null;
  const k = Number(tr.closest('.names-panel').dataset.k);
  return { tr, category: categories[k], index: Number(tr.dataset.index) };
}

// Shows why the name cannot be written, or takes the reason away (why empty).
function showRefusal(input, why) {
  let note = input.nextElementSibling;
  if (!why) {
    input.removeAttribute('aria-invalid');
    input.removeAttribute('aria-describedby');
    note?.remove();
    return;
  }
  if (!note) {
    note = document.createElement('span');
    note.className = 'why';
    note.id = `w-${input.id}`;
    input.after(note);
  }
  note.textContent = why;
  input.setAttribute('aria-invalid', 'true');
  input.setAttribute('aria-describedby', note.id);
}

// The row as the image now holds it: the core's row, or the session's
// when none is given.
function redraw(category, index, row = page.session.row(category.word, index)) {
  const input = document.getElementById(`n-${category.word}-${index}`);
  const tr = input.closest('tr');
  if (input.value !== row.name)
    input.value = row.name;
  input.defaultValue = row.name;
  showRefusal(input, '');
  if (row.changed)
    input.setAttribute('aria-description', 'changed');
  else
    input.removeAttribute('aria-description');
  tr.cells[tr.cells.length - 2].textContent = `${row.used}/${row.length}`;
  tr.cells[tr.cells.length - 1].textContent = row.hex;
  tr.classList.toggle('changed', row.changed);
  tr.classList.remove('pending');
}

// Redraws the rows an undo or a redo gives (a list for each category), and
// says which entries they are: [{ word, index }].
export function redrawRows(rows) {
  const touched = [];
  tablesOf(rows).forEach((list, k) => {
    const category = categories[k];
    for (const row of list) {
      redraw(category, row.index, row);
      touched.push({ word: category.word, index: row.index });
    }
  });
  return touched;
}

// While a name is typed: what the field would hold, or why it cannot.
function preview(input) {
  const row = rowOf(input);
  if (!row)
    return;
  const { tr, category, index } = row;
  const check = page.session.check(category.word, index, input.value);
  showRefusal(input, check.refusal);
  if (check.refusal) {
    // Nothing of this name would be written: the row shows the field as it is.
    const held = page.session.row(category.word, index);
    tr.querySelector('.used').textContent = `${held.used}/${held.length}`;
    tr.querySelector('.hex').textContent = held.hex;
    tr.classList.remove('pending');
    return;
  }
  tr.querySelector('.used').textContent = `${check.used}/${category.nameLength}`;
  tr.querySelector('.hex').textContent = check.hex;
  tr.classList.toggle('pending', check.changes);
}

function commit(input) {
  const row = rowOf(input);
  if (!row || input.value === input.defaultValue)
    return;
  const { category, index } = row;
  const why = page.session.set(category.word, index, input.value);
  if (why) {
    showRefusal(input, why);
    unwritten = input;
    page.announce(`Not written: ${why}`);
    return;
  }
  unwritten = null;
  redraw(category, index);
  page.edited(input.value.trim() ? `Entry ${index} of ${category.word} is now “${input.value}”.`
    : `Entry ${index} of ${category.word} is now blank.`);
}

function revert(input) {
  input.value = input.defaultValue;
  const row = rowOf(input);
  if (row)
    redraw(row.category, row.index);
}

// Puts back a name typed and not written (one the core refused, left in its
// box with the reason), and says so; false when there is none, and Undo
// takes back a step instead.
export function takeBackTyping() {
  const typed = unwritten;
  unwritten = null;
  if (!typed?.isConnected || typed.value === typed.defaultValue || !rowOf(typed))
    return false;
  const { category, index } = rowOf(typed);
  revert(typed);
  page.announce(`The name typed in entry ${index} of ${category.word}, not written, is taken back.`);
  return true;
}

export function setupNames(shared) {
  page = shared;
  buildPanels();
  const tablist = document.getElementById('tabs');
  tablist.addEventListener('click', (event) => {
    const tab = event.target.closest('[role=tab]');
    if (tab)
      choose(Number(tab.dataset.k), true);
  });
  tablist.addEventListener('keydown', (event) => {
    const moves = { ArrowLeft: current - 1, ArrowRight: current + 1, Home: 0, End: tabs.length - 1 };
    if (!(event.key in moves))
      return;
    event.preventDefault();
    choose((moves[event.key] + tabs.length) % tabs.length, true);
  });
  document.getElementById('filter').addEventListener('input', filter);

  const panels = document.getElementById('panels');
  panels.addEventListener('input', (event) => preview(event.target));
  panels.addEventListener('change', (event) => commit(event.target));
  panels.addEventListener('keydown', (event) => {
    if (event.target.tagName !== 'INPUT')
      return;
    if (event.key === 'Enter') {
      event.preventDefault();
      commit(event.target);
    } else if (event.key === 'Escape') {
      event.preventDefault();
      revert(event.target);
    }
  });
}
