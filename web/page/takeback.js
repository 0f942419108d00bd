// Taking the work back: the edited image under the file's own name, or a
// patch from the file as opened, both made by the core; and a question
// before the tab closes on edits not yet saved.
//
// Where the browser saves through a file picker, the file is written through
// it and the work counts as saved once the write has finished. Elsewhere the
// file is offered as a download, which the browser, a policy or a full disk
// may refuse without the page ever knowing: the work counts as saved only
// once the user says so ("I have saved it") or opens another image.

const $ = (id) => document.getElementById(id);
let page;
// The session and step an offered download holds, until the user says it
// was saved.
let offered = null;

// Hands the bytes to the browser as a download; nothing leaves the computer.
export function download(bytes, name, type) {
  const url = URL.createObjectURL(new Blob([bytes], { type }));
  const link = document.createElement('a');
  link.href = url;
  link.download = name;
  document.body.append(link);
  link.click();
  link.remove();
  // The download has its own hold on the blob by the time the next task runs.
  setTimeout(() => URL.revokeObjectURL(url), 1000);
}

function say(text) {
  $('takeback-message').textContent = text;
}

function offer(session, step) {
  offered = { session, step };
  $('saved-it').hidden = false;
}

function withdrawOffer() {
  offered = null;
  $('saved-it').hidden = true;
}

async function writeThroughPicker(bytes, name) {
  const handle = await window.showSaveFilePicker({ suggestedName: name });
  const writable = await handle.createWritable();
  try {
    await writable.write(bytes);
    await writable.close();
  } catch (error) {
    // The file keeps what it held before: nothing half written.
    await writable.abort().catch(() => {});
    throw error;
  }
}

// Saves the bytes as the file named so and says how it went with tell;
// `marks` counts the names as saved at the step they were made from, once
// the file is written. `detail` follows the first sentence.
export async function takeBack(bytes, name, type, { say: tell, marks = false, detail = '' }) {
  const session = page.session;
  const step = session.step();
  if (!('showSaveFilePicker' in window)) {
    download(bytes, name, type);
    tell(`${name} was offered for download: check your downloads.${detail}`);
    if (marks)
      offer(session, step);
    return;
  }
  try {
    await writeThroughPicker(bytes, name);
  } catch (error) {
    tell(error.name === 'AbortError' ? `${name} was not saved: the save was cancelled.`
      : `${name} was not saved: ${error.message}`);
    return;
  }
  if (marks && session === page.session) {
    session.markSaved(step);
    page.updateCount();
  }
  tell(`Saved ${name}.${detail}`);
}

// Saves the image under its own name, with the warning the command gives
// of a patch when its checksum pair is no longer sound.
export function saveImage() {
  const fix = $('fix-checksum').checked;
  const bytes = page.session.image(fix);
  const warning = page.session.imageWarning(fix);
  return takeBack(bytes, page.info.name, 'application/octet-stream', {
    say, marks: true,
    detail: ` It holds ${page.grouped(bytes.length)} bytes${fix ? ', its checksum fixed' : ''}.`
      + (warning ? ` Warning: ${warning}` : ''),
  });
}

function savePatch() {
  const format = document.querySelector('input[name=patch-format]:checked').value;
  const made = page.session.patch(format, $('fix-checksum').checked);
  const name = `${page.stem()}.${format.toLowerCase()}`;
  if (made.error) {
    $('patch-summary').textContent = '';
    say(`${name}: ${made.error}`);
    return undefined;
  }
  // What the patch is and which image it applies to, beside the control.
  $('patch-summary').textContent = `${name}, made against ${against ?? `${page.info.name} as opened`}: ${made.summary}`;
  return takeBack(made.bytes, name, 'application/octet-stream', {
    say, marks: true, detail: ` ${made.summary}${made.warning ? ` Warning: ${made.warning}` : ''}`,
  });
}

// The name of the original given to "Patch against…", or null while patches
// are made against the file as opened.
let against = null;

function showOriginal() {
  $('against-note').textContent = against === null
    ? 'Patches are made against the file as opened.'
    : `Patches are made against ${against}, chosen with “Patch against…”, not the file as opened.`;
}

async function patchAgainst(file) {
  $('patch-summary').textContent = '';
  const bytes = await page.readChosen(file, 'original', say);
  if (!bytes)
    return;
  const why = page.session.patchAgainst(file.name, bytes);
  if (!why)
    against = file.name;
  say(why || `The next patch is made against ${file.name}.`);
  showOriginal();
}

function savedIt() {
  if (offered && offered.session === page.session) {
    page.session.markSaved(offered.step);
    page.updateCount();
    say('The download is counted as saved.');
  }
  withdrawOffer();
}

export function resetTakeBack() {
  say('');
  $('patch-summary').textContent = '';
  against = null;
  showOriginal();
  withdrawOffer();
}

export function setupTakeBack(shared) {
  page = shared;
  $('save-image').addEventListener('click', saveImage);
  $('save-patch').addEventListener('click', savePatch);
  $('saved-it').addEventListener('click', savedIt);
  const original = $('against-file');
  original.addEventListener('change', async () => {
    const file = original.files[0];
    if (file)
      await patchAgainst(file);
    original.value = '';
  });
  window.addEventListener('beforeunload', (event) => {
    if (page.session.isOpen() && page.session.unsaved()) {
      event.preventDefault();
      event.returnValue = '';
    }
  });
}
