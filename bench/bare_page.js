// The floor under the page's first open, for bench_page: the page's own
// index.html and style.css with this script in place of the page's, which,
// when a file is chosen, builds the same 758 rows as the page does, by the
// same template, from a ready array (rows.json, which bench_page writes from
// the page it opened), and measures "open" as the page does: from the file
// input's change event to the task after the next frame. No file is read and
// no core is loaded: what is left is the browser's own work.
const $ = (id) => document.getElementById(id);

const escapes = { '&': '&amp;', '<': '&lt;', '>': '&gt;', '"': '&quot;' };
const escape = (text) => text.replace(/[&<>"]/g, (c) => escapes[c]);

// As web/page/names.js makes a row; bench_page checks that the rows made
// here are the page's, character for character.
function rowHtml(category, row) {
  return `<tr data-index="${row.index}"${row.changed ? ' class="changed"' : ''}><th scope="row">${row.index}</th>`
    + (category.leading ? `<td class="byte">${row.leading}</td>` : '')
    + `<td class="name"><input id="n-${category.word}-${row.index}" value="${escape(row.name)}"`
    + ` aria-label="${category.label} ${row.index}"${row.changed ? ' aria-description="changed"' : ''}`
    + '></td>'
    + `<td class="used">${row.used}/${row.length}</td><td class="hex">${row.hex}</td></tr>`;
}

function measureFrom(name, started) {
  requestAnimationFrame(() => setTimeout(() => {
    performance.measure(name, { start: started, end: performance.now() });
  }));
}

// The tabs and the empty tables, as the page makes them once its core is loaded.
function buildPanels(categories) {
  const bodies = [];
  categories.forEach((category, k) => {
    const tab = document.createElement('button');
    tab.type = 'button';
    tab.id = `tab-${category.word}`;
    tab.setAttribute('role', 'tab');
    tab.setAttribute('aria-controls', `panel-${category.word}`);
    tab.setAttribute('aria-selected', String(k === 0));
    tab.tabIndex = k === 0 ? 0 : -1;
    tab.textContent = `${category.label} (0)`;
    $('tabs').append(tab);
    const panel = document.createElement('div');
    panel.id = `panel-${category.word}`;
    panel.className = 'names-panel';
    panel.setAttribute('role', 'tabpanel');
    panel.setAttribute('aria-labelledby', tab.id);
    panel.hidden = k !== 0;
    panel.innerHTML = `<table class="names" spellcheck="false"><caption class="hidden">${category.label}</caption><thead><tr>`
      + '<th scope="col">#</th>' + (category.leading ? '<th scope="col" class="byte">Byte</th>' : '')
      + '<th scope="col">Name</th><th scope="col" class="used">Used</th><th scope="col" class="hex">Field bytes</th>'
      + '</tr></thead><tbody></tbody></table>';
    $('panels').append(panel);
    bodies.push(panel.querySelector('tbody'));
  });
  return bodies;
}

function showAll(categories, bodies) {
  categories.forEach((category, k) => {
    const body = document.createElement('tbody');
    body.innerHTML = category.rows.map((row) => rowHtml(category, row)).join('');
    bodies[k].replaceWith(body);
    bodies[k] = body;
    $(`tab-${category.word}`).textContent = `${category.label} (${category.rows.length})`;
  });
}

async function start() {
  const categories = await (await fetch('rows.json')).json();
  const bodies = buildPanels(categories);
  const input = $('image-file');
  input.addEventListener('change', (event) => {
    showAll(categories, bodies);
    for (const id of ['facts', 'names', 'takeback', 'lists'])
      $(id).hidden = false;
    $('fact-file').textContent = input.files[0].name;
    $('changed-count').textContent = '0 names changed';
    measureFrom('open', event.timeStamp);
    input.value = '';
  });
  input.disabled = false;
  document.body.dataset.ready = '1';
}

start();
