// A published patch read back beside the open image: the core applies it to
// the image as it now is, by the rule of orvane-names diff IMAGE PATCH, the
// page shows every name it changes, and Apply puts it in as one step that
// one Undo takes back.
import { showAll } from './names.js';
import { arrayOf } from './core.js';
import { showChanges } from './lists.js';

const $ = (id) => document.getElementById(id);
let page;

function say(text) {
  $('patch-message').textContent = text;
}

function showPreview(name, preview) {
  showChanges($('patch-notes'), $('patch-changes'), preview);
  const count = preview.changes.length;
  const other = preview.otherBytes;
  $('patch-heading').textContent = `${name}: ${count} ${count === 1 ? 'name' : 'names'} would change`
    + (other > 0 ? `, and ${page.grouped(other)} ${other === 1 ? 'byte' : 'bytes'} outside the names` : '');
  $('patch-changes').hidden = count === 0;
  $('patch-apply').hidden = count === 0 && other === 0;
  $('patch-cancel').textContent = $('patch-apply').hidden ? 'Close' : 'Cancel';
  $('patch-preview').hidden = false;
  $('patch-heading').focus();
}

function closePreview() {
  $('patch-preview').hidden = true;
}

// The name of the patch last previewed.
let previewed = '';

async function openPatch(file) {
  say('');
  closePreview();
  const bytes = await page.readChosen(file, 'patch', say);
  if (!bytes)
    return;
  const read = page.session.previewPatch(file.name, bytes);
  const preview = { ...read, notes: arrayOf(read.notes), changes: arrayOf(read.changes) };
  if (preview.refusal) {
    say([...preview.notes, preview.refusal].join(' '));
    return;
  }
  previewed = file.name;
  showPreview(file.name, preview);
}

function applyPatch() {
  const why = page.session.applyPatch();
  closePreview();
  if (why) {
    say(why);
    return;
  }
  showAll();
  page.edited(`${previewed} applied.`);
  say(`${previewed} applied to ${page.info.name}; Undo takes it all back at once.`);
  $('patch-file').focus();
}

export function resetPatches() {
  say('');
  closePreview();
}

export function setupPatches(shared) {
  page = shared;
  const input = $('patch-file');
  input.addEventListener('change', async () => {
    const file = input.files[0];
    if (file)
      await openPatch(file);
    input.value = '';
  });
  $('patch-apply').addEventListener('click', applyPatch);
  $('patch-cancel').addEventListener('click', () => {
    closePreview();
    say('The patch was not applied; nothing was changed.');
    input.focus();
  });
}
