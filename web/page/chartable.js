// The team's character table: a file of HH=text lines laid over the game's
// table, as orvane-names --table reads it. The core checks it and reads and
// writes every name through it until another is chosen; an image opened
// later is read through it too. The line under the control shows what the
// table in use can write.
import { showAll } from './names.js';
import { arrayOf } from './core.js';

const $ = (id) => document.getElementById(id);
let page;
// The table in use, as chosen: its name and bytes, or null for the game's.
let chosen = null;

function say(text) {
  $('table-message').textContent = text;
}

function showWritable() {
  const texts = arrayOf(page.session.writable());
  $('table-chars').textContent = `${chosen ? chosen.name : 'The game\'s table'} writes: ${texts.join(' ')}`;
}

async function useTable(file) {
  say('');
  const bytes = await page.readChosen(file, 'table', say, file.size > 1024 * 1024
    ? `${file.name}: larger than 1 MiB, too large for a character table; the table in use stays.` : '');
  if (!bytes)
    return;
  const why = page.session.useTable(file.name, bytes);
  if (why) {
    say(`${why} The table in use stays.`);
    return;
  }
  chosen = { name: file.name, bytes };
  showAll();
  showWritable();
  say(`${file.name} is in use: every name is read and written through it.`);
}

// Puts the table in use into a session just opened, before its names are shown.
export function keepTable(session) {
  if (chosen)
    session.useTable(chosen.name, chosen.bytes);
}

export function resetTable() {
  say('');
  showWritable();
}

export function setupCharTable(shared) {
  page = shared;
  const input = $('table-file');
  input.addEventListener('change', async () => {
    const file = input.files[0];
    if (file)
      await useTable(file);
    input.value = '';
  });
}
